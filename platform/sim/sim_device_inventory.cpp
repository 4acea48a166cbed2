#include "platform/sim/sim_device_inventory.h"

#include <string>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

constexpr std::uintptr_t kMemberToken = 0x44455649;  // "DEVI": marks members this inventory made
constexpr std::uint32_t kFirstDevInst = 0x100;

bool Fail(long error) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return false;
}

struct PropertyName {
    const char* key;
    std::uint32_t code;
};
constexpr PropertyName kPropertyNames[] = {
    {"deviceDesc", kSpdrpDeviceDesc}, {"class", kSpdrpClass},         {"driver", kSpdrpDriver},
    {"mfg", kSpdrpMfg},               {"friendlyName", kSpdrpFriendlyName},
};

std::vector<SimDeviceInventory::Device> DevicesFromJson(const nlohmann::json& list) {
    std::vector<SimDeviceInventory::Device> devices;
    if (!list.is_array()) return devices;
    std::size_t index = 0;
    for (const auto& entry : list) {
        ++index;
        if (!entry.is_object()) continue;
        auto present = entry.find("present");
        if (present != entry.end() && present->is_boolean() && !present->get<bool>()) continue;
        SimDeviceInventory::Device device;
        for (const auto& name : kPropertyNames) {
            auto it = entry.find(name.key);
            if (it != entry.end() && it->is_string()) {
                device.properties[name.code] = Utf8ToUtf16(it->get<std::string>());
            }
        }
        auto id = entry.find("instanceId");
        if (id != entry.end() && id->is_string()) {
            device.instanceId = Utf8ToUtf16(id->get<std::string>());
        } else {
            device.instanceId = Utf8ToUtf16("ROOT\\SIMULATED\\" + std::to_string(index - 1));
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

// Copies `text` and its terminator when `units` leave room for both.
bool CopyOut(const std::u16string& text, char16_t* buffer, std::uint32_t units) {
    if (!buffer) return Fail(kErrorInvalidParameter);
    if (text.size() + 1 > units) return Fail(kErrorInsufficientBuffer);
    for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = text[i];
    buffer[text.size()] = 0;
    SetLastErrorCode(0);
    return true;
}

}  // namespace

SimDeviceInventory::SimDeviceInventory(const nlohmann::json& devices)
    : devices_(DevicesFromJson(devices)), available_(devices.is_array()) {}

SimDeviceInventory::SimDeviceInventory(std::vector<Device> devices) : devices_(std::move(devices)) {}

void SimDeviceInventory::Lock() const {
    while (lock_.test_and_set(std::memory_order_acquire)) {
    }
}

void SimDeviceInventory::Unlock() const { lock_.clear(std::memory_order_release); }

std::size_t SimDeviceInventory::OpenSets() const {
    Lock();
    const std::size_t count = sets_.size();
    Unlock();
    return count;
}

DeviceInfoSet SimDeviceInventory::OpenPresentDevices() {
    if (!available_) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidData));
        return 0;
    }
    Lock();
    const DeviceInfoSet set = nextSet_;
    nextSet_ += 0x10;
    sets_[set] = true;
    Unlock();
    SetLastErrorCode(0);
    return set;
}

void SimDeviceInventory::CloseDevices(DeviceInfoSet set) {
    Lock();
    const bool known = sets_.erase(set) != 0;
    Unlock();
    SetLastErrorCode(known ? 0 : static_cast<std::uint32_t>(kErrorInvalidHandle));
}

bool SimDeviceInventory::EnumDevice(DeviceInfoSet set, std::uint32_t index, DeviceMember* member) {
    Lock();
    const bool known = sets_.count(set) != 0;
    if (known && member && index < devices_.size()) ++enumerated_;
    Unlock();
    if (!known) return Fail(kErrorInvalidHandle);
    if (!member) return Fail(kErrorInvalidParameter);
    if (index >= devices_.size()) return Fail(kErrorNoMoreItems);
    member->index = index;
    member->devInst = kFirstDevInst + index;
    member->reserved = kMemberToken ^ set;
    SetLastErrorCode(0);
    return true;
}

const SimDeviceInventory::Device* SimDeviceInventory::Find(DeviceInfoSet set, const DeviceMember& member) const {
    Lock();
    const bool known = sets_.count(set) != 0;
    Unlock();
    if (!known) {
        Fail(kErrorInvalidHandle);
        return nullptr;
    }
    if (member.reserved != (kMemberToken ^ set) || member.index >= devices_.size() ||
        member.devInst != kFirstDevInst + member.index) {
        Fail(kErrorInvalidParameter);
        return nullptr;
    }
    return &devices_[member.index];
}

bool SimDeviceInventory::ReadProperty(DeviceInfoSet set, const DeviceMember& member, std::uint32_t property,
                                      char16_t* buffer, std::uint32_t units) {
    const Device* device = Find(set, member);
    if (!device) return false;
    auto it = device->properties.find(property);
    if (it == device->properties.end()) return Fail(kErrorInvalidData);
    return CopyOut(it->second, buffer, units);
}

bool SimDeviceInventory::ReadInstanceId(DeviceInfoSet set, const DeviceMember& member, char16_t* buffer,
                                        std::uint32_t units) {
    const Device* device = Find(set, member);
    if (!device) return false;
    return CopyOut(device->instanceId, buffer, units);
}

std::shared_ptr<IDeviceInventory> MakeSimDeviceInventory(const MachineSnapshot& machine) {
    const nlohmann::json* devices = machine.Section("devices");
    if (!devices) return nullptr;
    return std::make_shared<SimDeviceInventory>(*devices);
}

std::shared_ptr<IDeviceInventory> MakeEmptyDeviceInventory() {
    return std::make_shared<SimDeviceInventory>(std::vector<SimDeviceInventory::Device>());
}

}  // namespace quarro::platform::sim
