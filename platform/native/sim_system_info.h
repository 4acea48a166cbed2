// The system-information concern of the native build, served from a machine snapshot's
// "systemInfo" section (an empty one when machine.json has none).
//
// machine.json:
//   "systemInfo": {
//     "uiLanguage": 1033,
//     "totalPhysicalBytes": 8589934592,
//     "files": { "C:\\util\\version.doc": "Kestrel V3.10L05\n" }
//   }
// Missing members read as: language 0, memory not available, no file. File paths compare
// without regard to ASCII case, as Windows paths do.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/system_info.h"

namespace quarro::platform::sim {

class MachineSnapshot;

class SimSystemInfo : public ISystemInfo {
public:
    SimSystemInfo() = default;
    explicit SimSystemInfo(const nlohmann::json* section);

    std::uint16_t UserDefaultUiLanguage() override { return language_; }
    bool TotalPhysicalMemory(std::uint64_t* bytes) override;
    bool ReadTextFile(const char16_t* path, std::size_t maxBytes, std::string* bytes) override;

    // --- for tests -----------------------------------------------------------------------------
    void SetLanguage(std::uint16_t language) { language_ = language; }
    void SetMemory(std::optional<std::uint64_t> bytes) { memory_ = bytes; }
    void SetFile(const std::u16string& path, const std::string& bytes);

private:
    std::uint16_t language_ = 0;
    std::optional<std::uint64_t> memory_;
    std::map<std::u16string, std::string> files_;  // by lower-case path
};

}  // namespace quarro::platform::sim
