#include "platform/sim/sim_devices.h"

#include <cstring>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/sim_device_interfaces.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

constexpr std::uint32_t kDevInst = 1;
constexpr std::uintptr_t kInterfaceToken = 0x4D495343;  // identifies our interface in a DeviceInterfaceRef
constexpr std::uint32_t kDetailHeaderSize = 4;           // cbSize of SP_DEVICE_INTERFACE_DETAIL_DATA_W

bool Fail(long error) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return false;
}

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SamePath(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        if (Fold(*a) != Fold(*b)) return false;
        if (*a == 0) return true;
    }
}

const nlohmann::json* DriverSection(const nlohmann::json& machine) {
    if (!machine.is_object()) return nullptr;
    auto it = machine.find("miscDriver");
    if (it == machine.end() || !it->is_object()) return nullptr;
    return &*it;
}

// A device set that lists nothing, for machines without any simulated device.
class AbsentDeviceInterfaces : public SimDeviceInterfaces {
public:
    AbsentDeviceInterfaces() : SimDeviceInterfaces(nlohmann::json::object()) {}
};

}  // namespace

SimDeviceInterfaces::SimDeviceInterfaces(const nlohmann::json& machine) {
    const nlohmann::json* section = DriverSection(machine);
    driver_ = std::make_unique<SimMiscDriver>(section);
    present_ = false;
    if (section) {
        auto it = section->find("present");
        present_ = it == section->end() || !it->is_boolean() || it->get<bool>();
    }
}

SimDeviceInterfaces::~SimDeviceInterfaces() = default;

void SimDeviceInterfaces::Lock() {
    while (lock_.test_and_set(std::memory_order_acquire)) {
    }
}

void SimDeviceInterfaces::Unlock() { lock_.clear(std::memory_order_release); }

bool SimDeviceInterfaces::Lists(const SetInfo& set) const {
    return present_ && set.interfaceClass == kMiscDriverInterfaceClass && (set.flags & kDigcfDeviceInterface) != 0;
}

DeviceInfoSet SimDeviceInterfaces::GetClassDevs(const Guid& interfaceClass, std::uint32_t flags) {
    Lock();
    const DeviceInfoSet set = nextSet_;
    nextSet_ += 0x10;
    sets_[set] = SetInfo{interfaceClass, flags};
    Unlock();
    SetLastErrorCode(0);
    return set;
}

void SimDeviceInterfaces::DestroyDeviceInfoList(DeviceInfoSet set) {
    Lock();
    const bool known = sets_.erase(set) != 0;
    Unlock();
    SetLastErrorCode(known ? 0 : static_cast<std::uint32_t>(kErrorInvalidHandle));
}

bool SimDeviceInterfaces::EnumDeviceInterfaces(DeviceInfoSet set, const Guid& interfaceClass, std::uint32_t index,
                                               DeviceInterfaceRef* out) {
    Lock();
    auto it = sets_.find(set);
    const bool known = it != sets_.end();
    const bool lists = known && Lists(it->second) && interfaceClass == kMiscDriverInterfaceClass;
    Unlock();
    if (!known) return Fail(kErrorInvalidHandle);
    if (!out) return Fail(kErrorInvalidParameter);
    if (!lists || index != 0) return Fail(kErrorNoMoreItems);
    out->interfaceClass = kMiscDriverInterfaceClass;
    out->index = 0;
    out->reserved = kInterfaceToken;
    SetLastErrorCode(0);
    return true;
}

bool SimDeviceInterfaces::GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceRef& iface,
                                                   std::uint32_t room, std::uint32_t* requiredSize,
                                                   std::u16string* devicePath, DeviceInstanceRef* instance) {
    Lock();
    auto it = sets_.find(set);
    const bool known = it != sets_.end();
    const bool ours = known && Lists(it->second) && iface.reserved == kInterfaceToken &&
                      iface.interfaceClass == kMiscDriverInterfaceClass && iface.index == 0;
    Unlock();
    if (!known) return Fail(kErrorInvalidHandle);
    if (!ours) return Fail(kErrorInvalidParameter);
    const std::u16string path = kMiscDriverDevicePath;
    const auto needed = static_cast<std::uint32_t>(kDetailHeaderSize + (path.size() + 1) * sizeof(char16_t));
    if (requiredSize) *requiredSize = needed;
    if (room < needed) return Fail(kErrorInsufficientBuffer);
    if (devicePath) *devicePath = path;
    if (instance) {
        instance->devInst = kDevInst;
        instance->reserved = kInterfaceToken;
    }
    SetLastErrorCode(0);
    return true;
}

long SimDeviceInterfaces::QueryDriverKeyValue(DeviceInfoSet set, const DeviceInstanceRef& instance,
                                              const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                                              std::uint32_t* size, bool* opened) {
    if (opened) *opened = false;
    Lock();
    auto it = sets_.find(set);
    const bool known = it != sets_.end();
    const bool ours = known && Lists(it->second) && instance.devInst == kDevInst && instance.reserved == kInterfaceToken;
    const std::string version = driver_->DriverVersion();
    const bool missing = driverKeyMissing_;
    Unlock();
    if (!known) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidHandle));
        return kErrorInvalidHandle;
    }
    if (!ours || missing) {
        // SetupDiOpenDevRegKey fails: no such device, or no driver key.
        const long error = ours ? kErrorFileNotFound : kErrorInvalidParameter;
        SetLastErrorCode(static_cast<std::uint32_t>(error));
        return error;
    }
    if (opened) *opened = true;

    // The driver key's values (REG_SZ with terminator), as RegQueryValueExW gives them.
    std::u16string text;
    const std::u16string wanted = name ? name : u"";
    if (SamePath(wanted.c_str(), u"DriverVersion")) {
        text = Utf8ToUtf16(version);
    } else if (SamePath(wanted.c_str(), u"DriverDesc")) {
        text = u"Mirelta Misc Driver";
    } else if (SamePath(wanted.c_str(), u"ProviderName")) {
        text = u"Mirelta";
    } else {
        return kErrorFileNotFound;
    }
    const auto bytes = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
    if (data && !size) return kErrorInvalidParameter;
    if (type) *type = kRegSz;
    if (!data) {
        if (size) *size = bytes;
        return kErrorSuccess;
    }
    if (*size < bytes) {
        *size = bytes;
        return kErrorMoreData;
    }
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char16_t unit = i < text.size() ? text[i] : u'\0';
        data[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
        data[2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    *size = bytes;
    return kErrorSuccess;
}

DeviceHandle SimDeviceInterfaces::CreateFile(const char16_t* path, std::uint32_t, std::uint32_t,
                                             std::uint32_t disposition) {
    Lock();
    long error = 0;
    DeviceHandle handle = kInvalidDevice;
    if (!path || !present_ || !SamePath(path, kMiscDriverDevicePath)) {
        error = kErrorFileNotFound;
    } else if (disposition != kOpenExisting) {
        error = kErrorInvalidParameter;
    } else if (createError_ != 0) {
        error = static_cast<long>(createError_);
    } else if (open_ != 0) {
        error = kErrorSharingViolation;  // the device allows one open handle at a time
    } else {
        handle = nextHandle_;
        nextHandle_ += 4;
        open_ = handle;
        driver_->OnOpen();
    }
    Unlock();
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return handle;
}

bool SimDeviceInterfaces::DeviceIoControl(DeviceHandle device, std::uint32_t code, const void* in,
                                          std::uint32_t inSize, void* out, std::uint32_t outSize,
                                          std::uint32_t* returned) {
    Lock();
    if (device == 0 || device == kInvalidDevice || device != open_) {
        Unlock();
        if (returned) *returned = 0;
        return Fail(kErrorInvalidHandle);
    }
    const bool ok = driver_->DeviceIoControl(code, in, inSize, out, outSize, returned);
    // The driver set the last error on this thread; keep it across the unlock.
    Unlock();
    return ok;
}

void SimDeviceInterfaces::CloseHandle(DeviceHandle device) {
    Lock();
    const bool ours = device != 0 && device == open_;
    if (ours) {
        open_ = 0;
        driver_->OnClose();
    }
    Unlock();
    SetLastErrorCode(ours ? 0 : static_cast<std::uint32_t>(kErrorInvalidHandle));
}

std::shared_ptr<IDeviceInterfaces> MakeSimDeviceInterfaces(const MachineSnapshot& machine) {
    if (!DriverSection(machine.Json())) return nullptr;
    return std::make_shared<SimDeviceInterfaces>(machine.Json());
}

std::shared_ptr<IDeviceInterfaces> MakeAbsentDeviceInterfaces() { return std::make_shared<AbsentDeviceInterfaces>(); }

}  // namespace quarro::platform::sim
