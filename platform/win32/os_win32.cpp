#include <cstring>

#include "platform/win32/win32_os.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

static_assert(sizeof(OSVERSIONINFOEXW) == kOsVersionInfoExSize, "OSVERSIONINFOEXW layout");
static_assert(sizeof(OSVERSIONINFOW) == kOsVersionInfoSize, "OSVERSIONINFOW layout");

bool Win32OsIdentity::GetNativeSystemInfo(SystemInfo* info) {
    // Missing before Windows XP; looked up in the already loaded kernel32.
    using NativeSystemInfo = void(WINAPI*)(LPSYSTEM_INFO);
    static const auto getNativeSystemInfo = LoadedExport<NativeSystemInfo>(L"kernel32.dll", "GetNativeSystemInfo");
    if (!getNativeSystemInfo || !info) return false;
    SYSTEM_INFO native{};
    getNativeSystemInfo(&native);
    info->processorArchitecture = native.wProcessorArchitecture;
    info->reserved = native.wReserved;
    info->pageSize = native.dwPageSize;
    info->minimumApplicationAddress = reinterpret_cast<std::uintptr_t>(native.lpMinimumApplicationAddress);
    info->maximumApplicationAddress = reinterpret_cast<std::uintptr_t>(native.lpMaximumApplicationAddress);
    info->activeProcessorMask = static_cast<std::uintptr_t>(native.dwActiveProcessorMask);
    info->numberOfProcessors = native.dwNumberOfProcessors;
    info->processorType = native.dwProcessorType;
    info->allocationGranularity = native.dwAllocationGranularity;
    info->processorLevel = native.wProcessorLevel;
    info->processorRevision = native.wProcessorRevision;
    return true;
}

bool Win32OsIdentity::GetVersionRecord(OsVersionInfoEx* info) {
    if (!info) return false;
    // The record has the layout of OSVERSIONINFOEXW; its size field tells the call how much
    // to fill, exactly as the caller set it.
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != FALSE;
}

int Win32OsIdentity::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

bool Win32OsIdentity::GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor,
                                     std::uint32_t spMinor, std::uint32_t* productType) {
    using ProductInfo = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    static const auto getProductInfo = LoadedExport<ProductInfo>(L"kernel32.dll", "GetProductInfo");
    if (!getProductInfo || !productType) return false;
    DWORD type = 0;
    if (!getProductInfo(major, minor, spMajor, spMinor, &type)) return false;
    *productType = type;
    return true;
}

bool Win32Security::CheckAdministratorsMembership(bool* isMember) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    if (!checked || !isMember) return false;
    *isMember = member != FALSE;
    return true;
}

int Win32Prompt::ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), W(text), W(caption), style);
}

MutexHandle Win32NamedMutexes::Create(const char16_t* name, bool* alreadyExisted) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, W(name));
    const DWORD error = GetLastError();
    if (alreadyExisted) *alreadyExisted = mutex && error == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<MutexHandle>(mutex);
}

void Win32NamedMutexes::Close(MutexHandle mutex) {
    if (mutex) CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

}  // namespace quarro::platform::win32
