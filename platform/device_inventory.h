// The device-inventory concern: every device present in the machine, whatever its class, with
// the few registry properties SetupAPI keeps for it and its device instance id.
//
// It mirrors SetupDiGetClassDevsW(NULL, NULL, NULL, DIGCF_PRESENT | DIGCF_ALLCLASSES),
// SetupDiEnumDeviceInfo, SetupDiGetDeviceRegistryPropertyW and SetupDiGetDeviceInstanceIdW, and
// keeps their three ways of failing apart: the set cannot be had, the enumeration has ended, one
// property of one device does not read. Failures set the thread's last error as SetupAPI does.
#pragma once

#include <cstdint>

#include "platform/device_io.h"

namespace quarro::platform {

// SPDRP_* property codes.
inline constexpr std::uint32_t kSpdrpDeviceDesc = 0x00;
inline constexpr std::uint32_t kSpdrpClass = 0x07;
inline constexpr std::uint32_t kSpdrpDriver = 0x09;
inline constexpr std::uint32_t kSpdrpMfg = 0x0B;
inline constexpr std::uint32_t kSpdrpFriendlyName = 0x0C;

// One member of a device set, as SetupDiEnumDeviceInfo gave it.
struct DeviceMember {
    std::uint32_t index = 0;      // member index in the set
    std::uint32_t devInst = 0;    // SP_DEVINFO_DATA.DevInst
    std::uintptr_t reserved = 0;  // implementation's own reference
};

class IDeviceInventory {
public:
    virtual ~IDeviceInventory() = default;

    // The set of all present devices; 0 when it cannot be had.
    virtual DeviceInfoSet OpenPresentDevices() = 0;
    virtual void CloseDevices(DeviceInfoSet set) = 0;
    // Member `index` of the set. False past the last member (ERROR_NO_MORE_ITEMS) or on failure.
    virtual bool EnumDevice(DeviceInfoSet set, std::uint32_t index, DeviceMember* member) = 0;
    // One SPDRP_* property into `buffer` (`units` wide characters). False when it does not read:
    // the device has no such property, or it does not fit (ERROR_INSUFFICIENT_BUFFER). What is
    // written is the property's bytes as stored; the caller terminates.
    virtual bool ReadProperty(DeviceInfoSet set, const DeviceMember& member, std::uint32_t property,
                              char16_t* buffer, std::uint32_t units) = 0;
    // The device instance id, terminated, into `buffer` (`units` wide characters); false when it
    // does not fit.
    virtual bool ReadInstanceId(DeviceInfoSet set, const DeviceMember& member, char16_t* buffer,
                                std::uint32_t units) = 0;
};

}  // namespace quarro::platform
