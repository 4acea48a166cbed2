#include "platform/win32/system_info_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/concerns.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

std::uint16_t Win32SystemInfo::UserDefaultUiLanguage() { return GetUserDefaultUILanguage(); }

bool Win32SystemInfo::TotalPhysicalMemory(std::uint64_t* bytes) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return false;
    *bytes = status.ullTotalPhys;
    return true;
}

bool Win32SystemInfo::ReadTextFile(const char16_t* path, std::size_t maxBytes, std::string* bytes) {
    if (!path) return false;
    const quarro::win32::UniqueHandle<quarro::win32::FileHandleTraits> file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes->clear();
    char buffer[4096];
    while (bytes->size() < maxBytes) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes - bytes->size()));
        if (!ReadFile(file.Get(), buffer, want, &read, nullptr) || read == 0) break;
        bytes->append(buffer, read);
    }
    return true;
}

std::shared_ptr<ISystemInfo> MakeWin32SystemInfo() { return std::make_shared<Win32SystemInfo>(); }

}  // namespace quarro::platform::win32
