// The storage concern on Windows: the real system folder, CreateFileW, DeviceIoControl and
// GetDevicePowerState.
#include <windows.h>
#include <winioctl.h>

#include <memory>

#include "platform/concerns.h"
#include "platform/storage.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

// The portable layouts are the Windows ones.
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY == kIoctlDiskGetDriveGeometry, "geometry code");
static_assert(IOCTL_STORAGE_GET_DEVICE_NUMBER == kIoctlStorageGetDeviceNumber, "device number code");
static_assert(SMART_GET_VERSION == kSmartGetVersion, "version code");
static_assert(SMART_SEND_DRIVE_COMMAND == kSmartSendDriveCommand, "command code");
static_assert(SMART_RCV_DRIVE_DATA == kSmartRcvDriveData, "receive code");
static_assert(sizeof(DISK_GEOMETRY) == sizeof(DiskGeometry), "DISK_GEOMETRY");
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == sizeof(StorageDeviceNumber), "STORAGE_DEVICE_NUMBER");
static_assert(sizeof(GETVERSIONINPARAMS) == sizeof(SmartVersion), "GETVERSIONINPARAMS");
static_assert(sizeof(SENDCMDINPARAMS) - 1 == sizeof(SmartCommandIn), "SENDCMDINPARAMS");
static_assert(sizeof(SENDCMDOUTPARAMS) - 1 == sizeof(SmartCommandOut), "SENDCMDOUTPARAMS");
static_assert(FixedMedia == kFixedMedia, "FixedMedia");

namespace {

HANDLE H(StorageHandle device) { return reinterpret_cast<HANDLE>(device); }

class Win32Storage : public IStorage {
public:
    bool SystemFolder(std::u16string* folder) override {
        wchar_t path[MAX_PATH + 1] = {};
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length > MAX_PATH) return false;
        folder->assign(U(path), length);
        return true;
    }

    StorageHandle Open(const char16_t* path, std::uint32_t access) override {
        HANDLE device = CreateFileW(W(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        return device == INVALID_HANDLE_VALUE ? kInvalidStorage : reinterpret_cast<StorageHandle>(device);
    }

    bool DeviceIoControl(StorageHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override {
        DWORD got = 0;
        const BOOL ok = ::DeviceIoControl(H(device), code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr);
        *returned = ok ? got : 0;
        return ok != FALSE;
    }

    bool GetDevicePowerState(StorageHandle device, bool* on) override {
        BOOL state = FALSE;
        if (!::GetDevicePowerState(H(device), &state)) return false;
        *on = state != FALSE;
        return true;
    }

    void Close(StorageHandle device) override { CloseHandle(H(device)); }
};

}  // namespace

std::shared_ptr<IStorage> MakeWin32Storage() { return std::make_shared<Win32Storage>(); }

}  // namespace quarro::platform::win32
