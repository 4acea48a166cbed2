// The device-inventory concern on Windows: SetupAPI over all present devices.
#include <windows.h>
#include <setupapi.h>

#include "platform/concerns.h"
#include "platform/device_inventory.h"

namespace quarro::platform::win32 {

namespace {

HDEVINFO Set(DeviceInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }

// The SP_DEVINFO_DATA SetupAPI wants back: fetched again by member index, and only accepted when
// it is still the device the caller enumerated.
bool Member(DeviceInfoSet set, const DeviceMember& member, SP_DEVINFO_DATA* data) {
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    data->cbSize = sizeof(*data);
    if (!SetupDiEnumDeviceInfo(Set(set), member.index, data)) return false;
    if (data->DevInst != member.devInst || data->Reserved != member.reserved) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

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

}  // namespace

DeviceInfoSet Win32DeviceInventory::OpenPresentDevices() {
    const HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE || set == nullptr) return 0;
    return reinterpret_cast<DeviceInfoSet>(set);
}

void Win32DeviceInventory::CloseDevices(DeviceInfoSet set) {
    if (set) SetupDiDestroyDeviceInfoList(Set(set));
}

bool Win32DeviceInventory::EnumDevice(DeviceInfoSet set, std::uint32_t index, DeviceMember* member) {
    if (!set || !member) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInfo(Set(set), index, &data)) return false;
    member->index = index;
    member->devInst = data.DevInst;
    member->reserved = data.Reserved;
    return true;
}

bool Win32DeviceInventory::ReadProperty(DeviceInfoSet set, const DeviceMember& member, std::uint32_t property,
                                        char16_t* buffer, std::uint32_t units) {
    if (!buffer || units == 0 || units > 0x7FFFFFFFu / sizeof(WCHAR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SP_DEVINFO_DATA data{};
    if (!Member(set, member, &data)) return false;
    DWORD type = 0;
    DWORD required = 0;
    return SetupDiGetDeviceRegistryPropertyW(Set(set), &data, property, &type, reinterpret_cast<BYTE*>(buffer),
                                             units * static_cast<DWORD>(sizeof(WCHAR)), &required) != FALSE;
}

bool Win32DeviceInventory::ReadInstanceId(DeviceInfoSet set, const DeviceMember& member, char16_t* buffer,
                                          std::uint32_t units) {
    if (!buffer || units == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SP_DEVINFO_DATA data{};
    if (!Member(set, member, &data)) return false;
    DWORD required = 0;
    if (!SetupDiGetDeviceInstanceIdW(Set(set), &data, reinterpret_cast<wchar_t*>(buffer), units, &required)) {
        return false;
    }
    buffer[units - 1] = 0;
    return true;
}

std::shared_ptr<IDeviceInventory> MakeWin32DeviceInventory() { return std::make_shared<Win32DeviceInventory>(); }

}  // namespace quarro::platform::win32
