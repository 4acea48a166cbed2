// The process concern on Windows: EnumProcesses and GetProcessImageFileNameW from PSAPI,
// QueryFullProcessImageNameW and IsWow64Process loaded by name from kernel32 (neither exists on
// every supported system), and QueryDosDeviceW for the drive letters' devices.
// PSAPI's own entry points (psapi.dll), which every supported system has; the K32 names exist
// only from Windows 7 on.
#define PSAPI_VERSION 1
#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "platform/concerns.h"
#include "platform/processes.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

std::vector<DosDevice> DriveDevices() {
    std::vector<DosDevice> devices;
    wchar_t drives[512] = {};
    const DWORD length = GetLogicalDriveStringsW(511, drives);
    if (length == 0 || length > 511) return devices;
    for (const wchar_t* drive = drives; *drive; drive += lstrlenW(drive) + 1) {
        const wchar_t name[3] = {drive[0], L':', 0};
        wchar_t target[MAX_PATH] = {};
        if (QueryDosDeviceW(name, target, MAX_PATH)) devices.emplace_back(U(name), U(target));
    }
    return devices;
}

class Win32Processes : public IProcesses {
public:
    std::vector<std::uint32_t> ProcessIds(std::size_t maxIds) override {
        std::vector<DWORD> ids(maxIds);
        DWORD bytes = 0;
        if (maxIds == 0 || !EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
        ids.resize(std::min<std::size_t>(bytes / sizeof(DWORD), maxIds));
        return {ids.begin(), ids.end()};
    }

    bool ImagePath(std::uint32_t id, ImagePathKind kind, std::u16string* path, bool* wow64) override {
        quarro::win32::UniqueKernelHandle process(
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) return false;
        wchar_t buffer[MAX_PATH] = {};
        std::u16string found;
        if (kind == ImagePathKind::kFull) {
            using QueryFullName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
            const auto query = LoadedExport<QueryFullName>(L"kernel32.dll", "QueryFullProcessImageNameW");
            DWORD size = MAX_PATH;
            if (!query || !query(process.Get(), 0, buffer, &size) || size == 0 || size >= MAX_PATH) return false;
            found.assign(U(buffer), size);
        } else {
            const DWORD size = GetProcessImageFileNameW(process.Get(), buffer, MAX_PATH);
            if (size == 0 || size >= MAX_PATH) return false;
            found = DevicePathToDosPath(std::u16string(U(buffer), size), DriveDevices());
        }
        if (wow64) {
            *wow64 = false;
            using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
            BOOL under = FALSE;
            if (const auto isWow64 = LoadedExport<IsWow64>(L"kernel32.dll", "IsWow64Process")) {
                if (isWow64(process.Get(), &under)) *wow64 = under != FALSE;
            }
        }
        if (path) *path = std::move(found);
        return true;
    }
};

}  // namespace

std::shared_ptr<IProcesses> MakeWin32Processes() { return std::make_shared<Win32Processes>(); }

}  // namespace quarro::platform::win32
