// The device-inventory concern on Windows: SetupAPI over all present devices.
#pragma once

#include "platform/device_inventory.h"

namespace quarro::platform::win32 {

class Win32DeviceInventory : public IDeviceInventory {
public:
    DeviceInfoSet OpenPresentDevices() override;
    void CloseDevices(DeviceInfoSet set) override;
    bool EnumDevice(DeviceInfoSet set, std::uint32_t index, DeviceMember* member) override;
    bool ReadProperty(DeviceInfoSet set, const DeviceMember& member, std::uint32_t property, char16_t* buffer,
                      std::uint32_t units) override;
    bool ReadInstanceId(DeviceInfoSet set, const DeviceMember& member, char16_t* buffer,
                        std::uint32_t units) override;
};

}  // namespace quarro::platform::win32
