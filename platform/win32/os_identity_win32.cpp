// The OS identity concern on Windows: GetVersionExW, GetNativeSystemInfo, GetSystemMetrics and
// GetProductInfo (the last two looked up at run time: older systems lack them).
#include "platform/concerns.h"
#include "platform/os_identity.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

static_assert(sizeof(OSVERSIONINFOEXW) == kOsVersionInfoExSize, "OSVERSIONINFOEXW layout");
static_assert(sizeof(OSVERSIONINFOW) == kOsVersionInfoSize, "OSVERSIONINFOW layout");

namespace {

class Win32OsIdentity : public IOsIdentity {
public:
    bool GetNativeSystemInfo(SystemInfo* info) override {
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

    bool GetVersionRecord(OsVersionInfoEx* info) override {
        if (!info) return false;
        // The record has the layout of OSVERSIONINFOEXW; its size field tells the call how much
        // to fill, exactly as the caller set it.
        return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != FALSE;
    }

    int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }

    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                        std::uint32_t* productType) override {
        using ProductInfo = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
        static const auto getProductInfo = LoadedExport<ProductInfo>(L"kernel32.dll", "GetProductInfo");
        if (!getProductInfo || !productType) return false;
        DWORD type = 0;
        if (!getProductInfo(major, minor, spMajor, spMinor, &type)) return false;
        *productType = type;
        return true;
    }
};

}  // namespace

std::shared_ptr<IOsIdentity> MakeWin32OsIdentity() { return std::make_shared<Win32OsIdentity>(); }

}  // namespace quarro::platform::win32
