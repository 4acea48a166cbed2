// The system-information concern: the few facts of the running Windows the Setup page shows
// that no other concern covers: the user's default user-interface language, the total physical
// memory, and a small text file read by its Windows path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarro::platform {

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    // GetUserDefaultUILanguage: a language identifier (primary language in the low 10 bits).
    virtual std::uint16_t UserDefaultUiLanguage() = 0;
    // GlobalMemoryStatusEx's total physical memory in bytes; false when it cannot be had.
    virtual bool TotalPhysicalMemory(std::uint64_t* bytes) = 0;
    // The first `maxBytes` bytes of the file at the Windows path `path` (e.g. "C:\util\version.doc");
    // false when it cannot be opened.
    virtual bool ReadTextFile(const char16_t* path, std::size_t maxBytes, std::string* bytes) = 0;
};

}  // namespace quarro::platform
