// Facet06.dll: the "PC Status" tab. It needs the viewer's driver session: without one InitTabDLL
// fails. The start-up utility's library is loaded from the program-files folder for the
// collection only and freed afterwards.
#include "common/module_strings.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "tabs/pcstatus/session_status.h"
#include "tabs/pcstatus/status_module.h"

namespace pcstatus {

namespace {

namespace pf = quarro::platform;

constexpr char16_t kVelostartFolder[] = u"\\Mirelta\\velostart\\VELOSTLIB.dll";

// The maker's library: each query takes a pointer to its result (the configuration a record of
// three words) and returns non-zero on success; the TPM query also takes the driver session.
#if defined(_WIN32) && !defined(_WIN64)
#define VELOSTART_CALL __stdcall
#else
#define VELOSTART_CALL
#endif
using VelostartGet = int(VELOSTART_CALL*)(std::uint32_t* result);
using VelostartGetTpm = int(VELOSTART_CALL*)(void* session, std::uint32_t* result);

class LoadedVelostart : public IVelostart {
public:
    LoadedVelostart(pf::LibraryHandle library, void* session) : library_(library), session_(session) {}
    ~LoadedVelostart() override { pf::Modules().Free(library_); }
    LoadedVelostart(const LoadedVelostart&) = delete;
    LoadedVelostart& operator=(const LoadedVelostart&) = delete;

    bool Query(VelostartQuery query, std::uint32_t words[3]) override {
        void* entry = pf::Modules().GetExport(library_, kVelostartExports[query]);
        if (!entry) return false;
        if (query == kUseTpm) return reinterpret_cast<VelostartGetTpm>(entry)(session_, words) != 0;
        std::uint32_t record[8] = {};  // room beyond the three words the record is known to use
        if (reinterpret_cast<VelostartGet>(entry)(record) == 0) return false;
        for (int i = 0; i < 3; ++i) words[i] = record[i];
        return true;
    }

private:
    pf::LibraryHandle library_;
    void* session_;
};

std::unique_ptr<LoadedVelostart> LoadVelostart(void* session) {
    std::u16string folder;
    if (!pf::Folders().GetKnownFolderPath(pf::KnownFolder::ProgramFiles, &folder)) return nullptr;
    const std::u16string path = folder + kVelostartFolder;
    const pf::LibraryHandle library = pf::Modules().Load(path.c_str(), true);
    if (!library) return nullptr;
    return std::make_unique<LoadedVelostart>(library, session);
}

StatusFacts Facts() {
    const CWinVersion version;
    StatusFacts facts;
    facts.osType = version.OsType;
    const std::uint16_t arch = version.SystemInfo.processorArchitecture;
    facts.sixtyFourBit = arch == pf::kProcessorArchitectureAmd64 || arch == pf::kProcessorArchitectureIa64;
    return facts;
}

}  // namespace

std::u16string StatusModule::Text(std::uint32_t id) { return quarro::resources::LoadModuleString(id); }

bool StatusModule::BuildData(const TabInitRecord& record) {
    if (!record.Session) return false;
    facts_ = Facts();
    data_ = std::make_unique<StatusData>();
    SessionStatusFirmware firmware(*record.Session);
    std::unique_ptr<LoadedVelostart> velostart = LoadVelostart(record.Session);
    CollectStatus(*data_, firmware, velostart.get(), facts_, &Text);
    return true;
}

bool StatusModule::Refresh() {
    if (!data_ || !Record().Session) return false;
    if (Saving()) return true;
    data_->elapsed = ElapsedText(facts_);
    if (data_->acState >= 0) {
        SessionStatusFirmware firmware(*Record().Session);
        RefreshAcAdaptor(*data_, firmware);
    }
    CollectProcesses(data_->lists[kProcessList], facts_);
    return true;
}

tabframe::ReportStatus StatusModule::WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) {
    const StatusFacts facts = facts_;
    return WriteStatusReport(
        writer, resume, *data_, &Text, [](const std::u16string& text) { return pf::CodePage().WideToAnsi(text); },
        [facts](StatusData& data, int list) {
            if (list == kProcessList) {
                CollectProcesses(data.lists[kProcessList], facts);
            } else if (list == kRunList) {
                // One pass collects the four start-up lists and the processes.
                CollectLists(data, facts);
            }
        });
}

}  // namespace pcstatus

namespace {
pcstatus::StatusModule theModule;
}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
