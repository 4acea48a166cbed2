// The interface header comes before <windows.h>, whose CreateFile macro would otherwise rename
// the CreateFile operation in this file only.
#include "platform/win32/device_interfaces_win32.h"

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <vector>

#include "platform/concerns.h"
#include "platform/win32/handles.h"

#ifdef CreateFile
#undef CreateFile
#endif

namespace quarro::platform::win32 {

namespace {

HDEVINFO Set(DeviceInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }

GUID ToGuid(const Guid& g) {
    GUID out{};
    out.Data1 = g.data1;
    out.Data2 = g.data2;
    out.Data3 = g.data3;
    for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
    return out;
}

// The interface record SetupAPI wants back, found again by class and index.
bool FindInterface(HDEVINFO set, const DeviceInterfaceRef& ref, SP_DEVICE_INTERFACE_DATA* data) {
    const GUID guid = ToGuid(ref.interfaceClass);
    data->cbSize = sizeof(*data);
    return SetupDiEnumDeviceInterfaces(set, nullptr, &guid, ref.index, data) != FALSE;
}

// The device record of `instance` within the set.
bool FindDevice(HDEVINFO set, const DeviceInstanceRef& instance, SP_DEVINFO_DATA* data) {
    for (DWORD index = 0;; ++index) {
        data->cbSize = sizeof(*data);
        if (!SetupDiEnumDeviceInfo(set, index, data)) return false;
        if (data->DevInst == instance.devInst) return true;
    }
}

}  // namespace

DeviceInfoSet Win32DeviceInterfaces::GetClassDevs(const Guid& interfaceClass, std::uint32_t flags) {
    const GUID guid = ToGuid(interfaceClass);
    const HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<DeviceInfoSet>(set);
}

void Win32DeviceInterfaces::DestroyDeviceInfoList(DeviceInfoSet set) {
    if (set) SetupDiDestroyDeviceInfoList(Set(set));
}

bool Win32DeviceInterfaces::EnumDeviceInterfaces(DeviceInfoSet set, const Guid& interfaceClass, std::uint32_t index,
                                                 DeviceInterfaceRef* out) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    const GUID guid = ToGuid(interfaceClass);
    if (!SetupDiEnumDeviceInterfaces(Set(set), nullptr, &guid, index, &data)) return false;
    if (out) {
        out->interfaceClass = interfaceClass;
        out->index = index;
        out->reserved = data.Reserved;
    }
    return true;
}

bool Win32DeviceInterfaces::GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceRef& iface,
                                                     std::uint32_t room, std::uint32_t* requiredSize,
                                                     std::u16string* devicePath, DeviceInstanceRef* instance) {
    SP_DEVICE_INTERFACE_DATA data{};
    if (!FindInterface(Set(set), iface, &data)) return false;
    DWORD required = 0;
    if (room == 0) {
        const BOOL ok = SetupDiGetDeviceInterfaceDetailW(Set(set), &data, nullptr, 0, &required, nullptr);
        if (requiredSize) *requiredSize = required;
        return ok != FALSE;
    }
    // The record is a size field followed by the path; room never shrinks below the record itself.
    const DWORD bytes = room < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ? sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                                                         : room;
    std::vector<std::uint8_t> buffer(bytes + sizeof(WCHAR), 0);  // one spare unit keeps the path terminated
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiGetDeviceInterfaceDetailW(Set(set), &data, detail, bytes, &required, &device)) {
        if (requiredSize) *requiredSize = required;
        return false;
    }
    if (requiredSize) *requiredSize = required;
    if (devicePath) {
        const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        const std::size_t units = (buffer.size() - offset) / sizeof(WCHAR);
        const auto* path = reinterpret_cast<const char16_t*>(buffer.data() + offset);
        std::size_t length = 0;
        while (length < units && path[length] != 0) ++length;
        devicePath->assign(path, length);
    }
    if (instance) {
        instance->devInst = device.DevInst;
        instance->reserved = device.Reserved;
    }
    return true;
}

long Win32DeviceInterfaces::QueryDriverKeyValue(DeviceInfoSet set, const DeviceInstanceRef& instance,
                                                const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                                                std::uint32_t* size, bool* opened) {
    if (opened) *opened = false;
    SP_DEVINFO_DATA device{};
    if (!FindDevice(Set(set), instance, &device)) {
        const DWORD error = GetLastError();
        return error ? static_cast<long>(error) : ERROR_NO_MORE_ITEMS;
    }
    const HKEY opening = SetupDiOpenDevRegKey(Set(set), &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (opening == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error ? static_cast<long>(error) : ERROR_FILE_NOT_FOUND;
    }
    const quarro::win32::UniqueRegKey key(opening);
    if (opened) *opened = true;
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LONG result = RegQueryValueExW(key.Get(), reinterpret_cast<const wchar_t*>(name), nullptr, &valueType, data,
                                         size ? &valueSize : nullptr);
    if (type && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *type = valueType;
    if (size && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *size = valueSize;
    return result;
}

DeviceHandle Win32DeviceInterfaces::CreateFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                               std::uint32_t disposition) {
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(path), access, share, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kInvalidDevice;
    return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32DeviceInterfaces::DeviceIoControl(DeviceHandle device, std::uint32_t code, const void* in,
                                            std::uint32_t inSize, void* out, std::uint32_t outSize,
                                            std::uint32_t* returned) {
    DWORD bytes = 0;
    const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(device), code, const_cast<void*>(in), inSize, out,
                                      outSize, &bytes, nullptr);
    if (returned) *returned = bytes;
    return ok != FALSE;
}

void Win32DeviceInterfaces::CloseHandle(DeviceHandle device) {
    if (device != kInvalidDevice && device != 0) ::CloseHandle(reinterpret_cast<HANDLE>(device));
}

std::shared_ptr<IDeviceInterfaces> MakeWin32DeviceInterfaces() { return std::make_shared<Win32DeviceInterfaces>(); }

}  // namespace quarro::platform::win32
