// The device-inventory concern served from a machine snapshot's "devices" list.
//
// machine.json:
//   "devices": [
//     { "deviceDesc": "Disk drive", "friendlyName": "HGST HTS725050A7E630 ATA Device",
//       "mfg": "(Standard disk drives)", "class": "DiskDrive",
//       "driver": "{4d36e967-e325-11ce-bfc1-08002be10318}\\0000",
//       "instanceId": "IDE\\DISKHGST_HTS725050A7E630\\5&2C5B2E0&0&0.0.0" },
//     ...
//   ]
// A property the entry does not give as a string does not read, as for a device that lacks it.
// "present": false leaves an entry out of the set (it is not a present device). An entry without
// "instanceId" gets "ROOT\SIMULATED\<index>". "devices": null (or anything but a list) describes
// a machine whose device set cannot be had.
//
// Behaviour, as SetupAPI gives it:
//   OpenPresentDevices  a new set; 0 with ERROR_INVALID_DATA when the set cannot be had
//   EnumDevice          members in list order; ERROR_NO_MORE_ITEMS past the last one
//   ReadProperty        the text and its terminator; ERROR_INVALID_DATA when the device lacks
//                       the property, ERROR_INSUFFICIENT_BUFFER when it does not fit
//   ReadInstanceId      ERROR_INSUFFICIENT_BUFFER when it does not fit with its terminator
// An unknown set gives ERROR_INVALID_HANDLE, a member of another set ERROR_INVALID_PARAMETER.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/device_inventory.h"

namespace quarro::platform::sim {

class MachineSnapshot;

class SimDeviceInventory : public IDeviceInventory {
public:
    struct Device {
        // Unset properties (no value in the snapshot) do not read.
        std::map<std::uint32_t, std::u16string> properties;
        std::u16string instanceId;
    };

    // `devices`: the "devices" member of machine.json.
    explicit SimDeviceInventory(const nlohmann::json& devices);
    explicit SimDeviceInventory(std::vector<Device> devices);

    DeviceInfoSet OpenPresentDevices() override;
    void CloseDevices(DeviceInfoSet set) override;
    bool EnumDevice(DeviceInfoSet set, std::uint32_t index, DeviceMember* member) override;
    bool ReadProperty(DeviceInfoSet set, const DeviceMember& member, std::uint32_t property, char16_t* buffer,
                      std::uint32_t units) override;
    bool ReadInstanceId(DeviceInfoSet set, const DeviceMember& member, char16_t* buffer,
                        std::uint32_t units) override;

    // --- for tests -----------------------------------------------------------------------------
    const std::vector<Device>& Devices() const { return devices_; }
    void SetAvailable(bool available) { available_ = available; }
    // Sets not yet closed (a leak check for callers).
    std::size_t OpenSets() const;
    // Members handed out by EnumDevice so far, over all sets.
    std::uint32_t Enumerated() const { return enumerated_; }

private:
    const Device* Find(DeviceInfoSet set, const DeviceMember& member) const;
    void Lock() const;
    void Unlock() const;

    std::vector<Device> devices_;
    bool available_ = true;
    std::uint32_t enumerated_ = 0;
    std::uint32_t nextSet_ = 0xDE0;
    std::map<DeviceInfoSet, bool> sets_;
    mutable std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
};

// The snapshot's devices, or null when machine.json has no "devices" member, so that the caller
// keeps the real inventory.
std::shared_ptr<IDeviceInventory> MakeSimDeviceInventory(const MachineSnapshot& machine);

// A machine with no devices at all: the set opens and is empty.
std::shared_ptr<IDeviceInventory> MakeEmptyDeviceInventory();

}  // namespace quarro::platform::sim
