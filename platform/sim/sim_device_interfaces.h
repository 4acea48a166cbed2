// The device-interface concern served from a machine snapshot: the Mirelta Misc Driver's device
// interface, class {80DCC0C5-BD3E-4BC0-8A06-11EAE4AE7224}, present when machine.json's
// "miscDriver" section says so. Every other interface class enumerates empty.
//
// Behaviour, as SetupAPI and the file calls give it:
//   GetClassDevs            a new set for any class and flags (DestroyDeviceInfoList frees it)
//   EnumDeviceInterfaces    index 0 of the driver's class when present and the set was asked
//                           with DIGCF_DEVICEINTERFACE; else ERROR_NO_MORE_ITEMS
//   GetDeviceInterfaceDetail  room below the detail size (4 + path bytes with the terminator):
//                           ERROR_INSUFFICIENT_BUFFER and the size; else the path and instance
//   QueryDriverKeyValue     "DriverVersion", "DriverDesc", "ProviderName" (REG_SZ), Win32 query
//                           rules (too small: ERROR_MORE_DATA with the size)
//   CreateFile              only the published path (case-insensitive), OPEN_EXISTING; the device
//                           is exclusive: a second open fails with ERROR_SHARING_VIOLATION
//   DeviceIoControl         the open handle only, served by SimMiscDriver
// Every failure sets the last error.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/device_io.h"
#include "platform/sim/misc_driver.h"

namespace quarro::platform::sim {

inline constexpr Guid kMiscDriverInterfaceClass = {
    0x80DCC0C5, 0xBD3E, 0x4BC0, {0x8A, 0x06, 0x11, 0xEA, 0xE4, 0xAE, 0x72, 0x24}};
inline constexpr char16_t kMiscDriverDevicePath[] =
    u"\\\\?\\ROOT#MIRELTA_MISC#0000#{80dcc0c5-bd3e-4bc0-8a06-11eae4ae7224}";

class SimDeviceInterfaces : public IDeviceInterfaces {
public:
    // `machine`: the whole machine.json. The driver's device is present when it has a
    // "miscDriver" object whose "present" is not false.
    explicit SimDeviceInterfaces(const nlohmann::json& machine);
    ~SimDeviceInterfaces() override;

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
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                         void* out, std::uint32_t outSize, std::uint32_t* returned) override;
    void CloseHandle(DeviceHandle device) override;

    // --- for tests -----------------------------------------------------------------------------
    SimMiscDriver& Driver() { return *driver_; }
    bool Present() const { return present_; }
    void SetPresent(bool present) { present_ = present; }
    bool DeviceOpen() const { return open_ != 0; }
    // Number of device-info sets not yet destroyed (a leak check for callers).
    std::size_t OpenInfoSets() const { return sets_.size(); }
    // CreateFile on the device path fails with this error while it is non-zero.
    void SetCreateFileError(std::uint32_t error) { createError_ = error; }
    // Opening the driver key fails (QueryDriverKeyValue reports *opened = false).
    void SetDriverKeyMissing(bool missing) { driverKeyMissing_ = missing; }

private:
    struct SetInfo {
        Guid interfaceClass;
        std::uint32_t flags;
    };
    bool Lists(const SetInfo& set) const;
    void Lock();
    void Unlock();

    std::unique_ptr<SimMiscDriver> driver_;
    bool present_ = false;
    bool driverKeyMissing_ = false;
    std::uint32_t createError_ = 0;
    std::uint32_t nextSet_ = 0x5E7;
    std::uint32_t nextHandle_ = 0xD1C;
    DeviceHandle open_ = 0;
    std::map<DeviceInfoSet, SetInfo> sets_;
    std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
};

}  // namespace quarro::platform::sim
