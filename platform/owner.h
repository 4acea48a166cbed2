// Owners for everything that must be given back: one object per owner, movable, never copied,
// released on every path (also when an exception passes).
//
// `Owner<Traits>` is the one template. Traits names the handle type, the value that means "no
// handle" and how a handle is released:
//
//     struct Traits { using Handle = ...; static Handle None(); static void Close(Handle); };
//
// Handles of the platform seam (registry keys, service handles, device sets and devices) are
// released through the interface that made them, so their owners also keep that interface:
// `SeamOwner<Traits>` with `static void Close(Interface&, Handle)`. The Win32 owners live in
// platform/win32/handles.h; portable code uses only this header.
#pragma once

#include <utility>

#include "platform/device_inventory.h"
#include "platform/device_io.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "platform/service_control.h"

namespace quarro::platform {

template <typename Traits>
class Owner {
public:
    using Handle = typename Traits::Handle;

    Owner() = default;
    explicit Owner(Handle handle) : handle_(handle) {}
    ~Owner() { Reset(); }
    Owner(Owner&& other) noexcept : handle_(other.Release()) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    // Where a creating call stores the new handle; any held one is released first.
    Handle* Put() {
        Reset();
        return &handle_;
    }
    // Gives the handle up without releasing it.
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    void Reset(Handle handle = Traits::None()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::None()) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::None();
};

// A handle of the platform seam together with the interface that releases it.
template <typename Traits>
class SeamOwner {
public:
    using Interface = typename Traits::Interface;
    using Handle = typename Traits::Handle;

    explicit SeamOwner(Interface& api, Handle handle = Traits::None()) : api_(&api), handle_(handle) {}
    ~SeamOwner() { Reset(); }
    SeamOwner(SeamOwner&& other) noexcept : api_(other.api_), handle_(other.Release()) {}
    SeamOwner& operator=(SeamOwner&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
            api_ = other.api_;
        }
        return *this;
    }
    SeamOwner(const SeamOwner&) = delete;
    SeamOwner& operator=(const SeamOwner&) = delete;

    Handle Get() const { return handle_; }
    Interface& Api() const { return *api_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    Handle* Put() {
        Reset();
        return &handle_;
    }
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    void Reset(Handle handle = Traits::None()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::None()) Traits::Close(*api_, old);
    }

private:
    Interface* api_;
    Handle handle_ = Traits::None();
};

// Closing a handle must not change the last error a failed call left for the caller to read.
class KeepLastError {
public:
    KeepLastError() : error_(GetLastErrorCode()) {}
    ~KeepLastError() { SetLastErrorCode(error_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    std::uint32_t error_;
};

struct RegKeyTraits {
    using Interface = IRegistry;
    using Handle = RegKey;
    static RegKey None() { return 0; }
    static void Close(IRegistry& registry, RegKey key) { registry.CloseKey(key); }
};
struct ScHandleTraits {
    using Interface = IServiceControl;
    using Handle = ScHandle;
    static ScHandle None() { return 0; }
    static void Close(IServiceControl& control, ScHandle handle) {
        const KeepLastError keep;
        control.CloseHandle(handle);
    }
};
struct DeviceInfoSetTraits {
    using Interface = IDeviceInterfaces;
    using Handle = DeviceInfoSet;
    static DeviceInfoSet None() { return 0; }
    static void Close(IDeviceInterfaces& devices, DeviceInfoSet set) {
        const KeepLastError keep;
        devices.DestroyDeviceInfoList(set);
    }
};
struct DeviceHandleTraits {
    using Interface = IDeviceInterfaces;
    using Handle = DeviceHandle;
    static DeviceHandle None() { return kInvalidDevice; }
    static void Close(IDeviceInterfaces& devices, DeviceHandle device) {
        const KeepLastError keep;
        devices.CloseHandle(device);
    }
};

struct InventorySetTraits {
    using Interface = IDeviceInventory;
    using Handle = DeviceInfoSet;
    static DeviceInfoSet None() { return 0; }
    static void Close(IDeviceInventory& inventory, DeviceInfoSet set) {
        const KeepLastError keep;
        inventory.CloseDevices(set);
    }
};

using OwnedRegKey = SeamOwner<RegKeyTraits>;
using OwnedScHandle = SeamOwner<ScHandleTraits>;
using OwnedDeviceInfoSet = SeamOwner<DeviceInfoSetTraits>;
using OwnedDevice = SeamOwner<DeviceHandleTraits>;
using OwnedInventorySet = SeamOwner<InventorySetTraits>;

// A registry key opened or created into its owner, which holds it only when the call succeeded
// (any key it held before is closed first). The registry's result is returned.
inline long OpenRegKey(OwnedRegKey& key, RegKey parent, const char16_t* subkey, std::uint32_t access) {
    RegKey opened = 0;
    const long result = key.Api().OpenKey(parent, subkey, access, &opened);
    key.Reset(result == kErrorSuccess ? opened : RegKeyTraits::None());
    return result;
}
inline long CreateRegKey(OwnedRegKey& key, RegKey parent, const char16_t* subkey, std::uint32_t access,
                         bool* created = nullptr) {
    RegKey opened = 0;
    const long result = key.Api().CreateKey(parent, subkey, access, &opened, created);
    key.Reset(result == kErrorSuccess ? opened : RegKeyTraits::None());
    return result;
}
// Closes the key now and gives the registry's answer, for callers that report a failed close.
inline long CloseRegKey(OwnedRegKey& key) {
    const RegKey held = key.Release();
    return held == RegKeyTraits::None() ? kErrorSuccess : key.Api().CloseKey(held);
}

}  // namespace quarro::platform
