#include "platform/sim/sim_raw_smbios.h"

#include <filesystem>
#include <system_error>

#include "platform/concerns.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/smbios_dump.h"

namespace quarro::platform::sim {

namespace {
constexpr std::uintmax_t kMaxDumpBytes = 16u << 20;
}  // namespace

SimRawSmbiosTables::SimRawSmbiosTables(const std::string& dump, bool answers) {
    if (!answers) return;
    answers_ = ParseSmbiosDump(reinterpret_cast<const std::uint8_t*>(dump.data()), dump.size(), &record_, &error_);
}

bool SimRawSmbiosTables::ReadRawTable(RawSmbiosRecord* record) {
    if (!answers_ || !record) return false;
    *record = record_;
    return true;
}

std::shared_ptr<IRawSmbiosTables> MakeSimRawSmbiosTables(const MachineSnapshot& machine) {
    const std::string path = machine.FilePath("smbios.bin");
    if (path.empty()) return nullptr;
    // A dump is an entry point and a table of at most 4 GB in theory, a few kilobytes in practice:
    // a file beyond kMaxDumpBytes is not a dump and is not read into memory.
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    std::string dump;
    if (ec || bytes > kMaxDumpBytes || !ReadWholeFile(path, &dump)) {
        return std::make_shared<SimRawSmbiosTables>(std::string(), false);
    }
    return std::make_shared<SimRawSmbiosTables>(dump, true);
}

std::shared_ptr<IRawSmbiosTables> MakeAbsentRawSmbiosTables() {
    return std::make_shared<SimRawSmbiosTables>(std::string(), false);
}

}  // namespace quarro::platform::sim
