// The device-interface concern on Windows: SetupAPI to find a device by its interface class and
// read its driver key, CreateFileW / DeviceIoControl / CloseHandle to talk to it.
#pragma once

#include "platform/device_io.h"

namespace quarro::platform::win32 {

class Win32DeviceInterfaces : public IDeviceInterfaces {
public:
    DeviceInfoSet GetClassDevs(const Guid& interfaceClass, std::uint32_t flags) override;
    void DestroyDeviceInfoList(DeviceInfoSet set) override;
    bool EnumDeviceInterfaces(DeviceInfoSet set, const Guid& interfaceClass, std::uint32_t index,
                              DeviceInterfaceRef* out) override;
    bool GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceRef& iface, std::uint32_t room,
                                  std::uint32_t* requiredSize, std::u16string* devicePath,
                                  DeviceInstanceRef* instance) override;
    long QueryDriverKeyValue(DeviceInfoSet set, const DeviceInstanceRef& instance, const char16_t* name,
                             std::uint32_t* type, std::uint8_t* data, std::uint32_t* size, bool* opened) override;
    DeviceHandle CreateFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition) override;
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override;
    void CloseHandle(DeviceHandle device) override;
};

}  // namespace quarro::platform::win32
