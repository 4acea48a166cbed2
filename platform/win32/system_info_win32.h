// The system-information concern on Windows: GetUserDefaultUILanguage, GlobalMemoryStatusEx and
// a plain read of the file.
#pragma once

#include "platform/system_info.h"

namespace quarro::platform::win32 {

class Win32SystemInfo : public ISystemInfo {
public:
    std::uint16_t UserDefaultUiLanguage() override;
    bool TotalPhysicalMemory(std::uint64_t* bytes) override;
    bool ReadTextFile(const char16_t* path, std::size_t maxBytes, std::string* bytes) override;
};

}  // namespace quarro::platform::win32
