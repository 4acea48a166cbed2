// The device-interface concern: finding a device by its interface class (SetupAPI), reading its
// driver key, opening it and sending it device-control requests. The steps are kept separate so
// that callers can tell which one failed.
//
// Failures set the thread's last error (quarro::platform::SetLastErrorCode) as the Win32 calls do.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32_errors.h"

namespace quarro::platform {

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.data4[i] != b.data4[i]) return false;
    }
    return true;
}

using DeviceInfoSet = std::uintptr_t;   // HDEVINFO; 0 when it could not be had
using DeviceHandle = std::uintptr_t;     // HANDLE
inline constexpr DeviceHandle kInvalidDevice = ~static_cast<DeviceHandle>(0);  // INVALID_HANDLE_VALUE

// SP_DEVICE_INTERFACE_DATA and SP_DEVINFO_DATA, reduced to what callers pass back.
struct DeviceInterfaceRef {
    Guid interfaceClass{};
    std::uint32_t index = 0;
    std::uintptr_t reserved = 0;  // implementation's own reference
};
struct DeviceInstanceRef {
    std::uint32_t devInst = 0;
    std::uintptr_t reserved = 0;
};

// Win32 values used with this concern.
inline constexpr std::uint32_t kDigcfPresent = 0x02;
inline constexpr std::uint32_t kDigcfDeviceInterface = 0x10;
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kOpenExisting = 3;

class IDeviceInterfaces {
public:
    virtual ~IDeviceInterfaces() = default;

    // SetupDiGetClassDevsW(&interfaceClass, NULL, NULL, flags): 0 on failure.
    virtual DeviceInfoSet GetClassDevs(const Guid& interfaceClass, std::uint32_t flags) = 0;
    virtual void DestroyDeviceInfoList(DeviceInfoSet set) = 0;
    // SetupDiEnumDeviceInterfaces: false with ERROR_NO_MORE_ITEMS past the last one.
    virtual bool EnumDeviceInterfaces(DeviceInfoSet set, const Guid& interfaceClass, std::uint32_t index,
                                      DeviceInterfaceRef* out) = 0;
    // SetupDiGetDeviceInterfaceDetailW in its two calls: first with no room (must fail with
    // ERROR_INSUFFICIENT_BUFFER and give the size in bytes of the detail record), then with
    // `room` bytes, giving the device path and the device instance.
    virtual bool GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceRef& iface, std::uint32_t room,
                                          std::uint32_t* requiredSize, std::u16string* devicePath,
                                          DeviceInstanceRef* instance) = 0;
    // SetupDiOpenDevRegKey(DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ) then RegQueryValueExW on the
    // driver key. *opened tells whether the key opened (so the caller can tell which step failed).
    // Returns a Win32 error code.
    virtual long QueryDriverKeyValue(DeviceInfoSet set, const DeviceInstanceRef& instance, const char16_t* name,
                                     std::uint32_t* type, std::uint8_t* data, std::uint32_t* size, bool* opened) = 0;

    // CreateFileW on a device path; kInvalidDevice on failure.
    virtual DeviceHandle CreateFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition) = 0;
    // DeviceIoControl; *returned is always written (0 on failure unless the driver returned bytes).
    virtual bool DeviceIoControl(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* returned) = 0;
    virtual void CloseHandle(DeviceHandle device) = 0;
};

}  // namespace quarro::platform
