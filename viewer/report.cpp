#include "viewer/report.h"

#include <memory>
#include <new>

#include "common/ansi.h"
#include "common/format.h"
#include "common/misc_common.h"
#include "common/module_strings.h"
#include "common/product_lines.h"
#include "common/reg.h"
#include "common/text.h"
#include "platform/owner.h"
#include "platform/platform.h"
#include "viewer/viewer_strings.h"

namespace pf = quarro::platform;
using quarro::resources::LoadModuleString;

namespace {

const std::string kRule(119, '-');

// The report file, closed on every path (a failed write or an exception while the header or a
// module's text is put together must not leave it open).
struct FileTraits {
    using Interface = pf::IFiles;
    using Handle = pf::FileHandle;
    static pf::FileHandle None() { return pf::kInvalidFile; }
    static void Close(pf::IFiles& files, pf::FileHandle file) { files.Close(file); }
};
using OwnedFile = pf::SeamOwner<FileTraits>;

// Clears a read-only attribute of an existing report file, keeping the others. Returns the
// attributes to create the new file with: Windows refuses CREATE_ALWAYS over a hidden or system
// file unless those attributes are asked for again, so a hidden report would otherwise silently
// not be written.
std::uint32_t PrepareTarget(const std::u16string& path) {
    const std::uint32_t attributes = pf::Files().GetAttributes(path.c_str());
    if (attributes == pf::kInvalidFileAttributes) return pf::kFileAttributeNormal;
    if (attributes & pf::kFileAttributeReadOnly) {
        pf::Files().SetAttributes(path.c_str(), attributes & ~pf::kFileAttributeReadOnly);
    }
    const std::uint32_t kept = attributes & (pf::kFileAttributeHidden | pf::kFileAttributeSystem);
    return kept ? kept : pf::kFileAttributeNormal;
}

// The zero-filled text buffer the modules write into.
struct TextBuffer {
    std::unique_ptr<char[]> bytes{new (std::nothrow) char[kReportBufferSize]()};
    explicit operator bool() const { return static_cast<bool>(bytes); }
    void Clear() { std::fill(bytes.get(), bytes.get() + kReportBufferSize, '\0'); }
    std::uint32_t Length() const {
        return static_cast<std::uint32_t>(quarro::text::LengthBounded(bytes.get(), kReportBufferSize));
    }
};

// Writes one module's text: chunk after chunk, each written as soon as it is complete; a negative
// result ends the module's text.
void WriteModuleText(pf::FileHandle file, const CTab& tab, TextBuffer& buffer, int separator) {
    for (int chunk = 0;; ++chunk) {
        buffer.Clear();
        const int result = tab.GetStringData(chunk, buffer.bytes.get(), kReportBufferSize, separator);
        if (result < 0) return;
        pf::Files().Write(file, buffer.bytes.get(), buffer.Length());
        if (result == 0) return;
    }
}

void WriteReport(pf::FileHandle file, const std::vector<CTab*>& range, TextBuffer& buffer, int separator) {
    const std::string header = ReportHeader(ProductLine(), MakerLine());
    pf::Files().Write(file, header.data(), static_cast<std::uint32_t>(header.size()));
    for (const CTab* tab : range) WriteModuleText(file, *tab, buffer, separator);
}

// Lines of a text-mode read: CR LF and LF end a line; a last line without its end still counts.
void AppendLines(const std::string& content, std::string& out) {
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool ended = end != std::string::npos;
        if (!ended) end = content.size();
        std::size_t stop = end;
        if (ended && stop > start && content[stop - 1] == '\r') --stop;
        out.append(content, start, stop - start);
        out += "\r\n";
        start = end + 1;
    }
}

}  // namespace

std::u16string ProductLine() { return quarro::product::ProductLine(LoadModuleString(IDS_PRODUCT)); }

std::u16string MakerLine() { return quarro::product::MakerLine(LoadModuleString(IDS_MAKER)); }

std::string ReportHeader(const std::u16string& productLine, const std::u16string& makerLine) {
    return kRule + "\r\n" + quarro::product::ProductAndMakerLines(productLine, makerLine) + kRule + "\r\n\r\n\r\n";
}

int SaveReportToFile(const std::u16string& path, const std::vector<CTab*>& range, bool allPages,
                     std::uint32_t serviceStateAtStart) {
    const std::uint32_t attributes = PrepareTarget(path);
    TextBuffer buffer;
    if (!buffer) return kSaveNoBuffer;
    for (const CTab* tab : range) tab->CommandMessage(kTabCommandSaveBegin);
    OwnedFile file(pf::Files(), pf::Files().CreateForWriting(path.c_str(), attributes));
    if (!file) {
        for (const CTab* tab : range) tab->CommandMessage(kTabCommandSaveEnd);
        return kSaveNoFile;
    }
    WriteReport(file.Get(), range, buffer, 0);
    file.Reset();
    for (const CTab* tab : range) tab->CommandMessage(kTabCommandSaveEnd);
    if (allPages && serviceStateAtStart == pf::kServiceRunning) AppendServiceLogs(path);
    return 0;
}

void WriteReportRun(const ReportSwitches& switches, bool smartIdNames) {
    const std::u16string path = ReportFilePath(switches);
    if (path.empty()) return;

    MiscCommon::CMiscCommon session;
    if (session.Open() != 0) {
        const std::u16string text = LoadModuleString(IDS_DRIVER_UNAVAILABLE);
        const std::u16string caption = LoadModuleString(IDS_PRODUCT);
        pf::Prompt().ShowMessage(0, text.c_str(), caption.c_str(), pf::kMbIconError);
        return;
    }

    std::vector<std::unique_ptr<CTab>> accepted;
    for (int n = 1; n <= 20; ++n) {
        char16_t name[32];
        const std::string narrow = quarro::text::Format("Facet%02d.dll", n);
        quarro::text::CopyBounded(name, 32, quarro::text::FromUtf8(narrow));
        auto tab = std::make_unique<CTab>();
        if (!tab->Load(name)) continue;
        const TabInitRecord record{static_cast<std::int32_t>(accepted.size()), kTabRefreshPeriod, &session,
                                   smartIdNames ? 1 : 0};
        if (tab->InitTabDLL(&record) == 0) continue;  // unloaded without TermTabDLL
        accepted.push_back(std::move(tab));
    }

    std::vector<CTab*> range;
    const int page = ReportPage(switches, static_cast<int>(accepted.size()));
    for (int i = 0; i < static_cast<int>(accepted.size()); ++i) {
        if (page < 0 || page == i) range.push_back(accepted[static_cast<std::size_t>(i)].get());
    }

    const std::uint32_t attributes = PrepareTarget(path);
    {
        TextBuffer buffer;
        OwnedFile file(pf::Files(), buffer ? pf::Files().CreateForWriting(path.c_str(), attributes) : pf::kInvalidFile);
        if (file) WriteReport(file.Get(), range, buffer, switches.separator);
    }
    for (auto& tab : accepted) {
        tab->TermTabDLL();
        tab->Unload();
    }
    accepted.clear();
    session.Close();

    if (ReportAppendsLogs(switches)) AppendServiceLogs(path);
}

int AppendServiceLogs(const std::u16string& reportPath) {
    const pf::SystemTime today = pf::Clock().LocalNow();
    if (today.year == 0 || today.month == 0) return 0;
    const int previousYear = today.month == 1 ? today.year - 1 : today.year;
    const int previousMonth = today.month == 1 ? 12 : today.month - 1;

    const std::u16string program = pf::Modules().ProgramFileName();
    const std::size_t slash = program.find_last_of(std::u16string{u'\\', pf::Files().Separator()});
    const std::u16string folder =
        (slash == std::u16string::npos ? std::u16string() : program.substr(0, slash)) + u"\\Log\\";

    if (!pf::Files().Append(reportPath.c_str(), std::string())) return 0;
    std::string logs;
    const int months[2][2] = {{previousYear, previousMonth}, {today.year, today.month}};
    for (const auto& month : months) {
        const std::u16string pattern =
            quarro::text::FromUtf8(quarro::text::Format("*_%04d%02d.txt", month[0], month[1]));
        for (const std::u16string& name : pf::Files().FindFiles(folder.c_str(), pattern.c_str())) {
            std::string content;
            if (!pf::Files().ReadAll((folder + name).c_str(), &content)) continue;
            AppendLines(content, logs);
        }
    }
    pf::Files().Append(reportPath.c_str(), logs);
    return 1;
}
