#include "tabs/drivers/drivers_table.h"

#include <string>
#include <string_view>

#include "common/text.h"
#include "platform/owner.h"

namespace pf = quarro::platform;
using quarro::text::Text260;

namespace drivers_tab {

const tabframe::ListColumnSpec kColumns[kColumnCount] = {
    {kProviderStringId, 70, "%-24s ", 260},
    {kNameStringId, 174, "%-58s ", 260},
    {kVersionStringId, 90, "%-16s ", 260},
    {kTypeStringId, 108, "%-16s\r\n", 50},
};

namespace {

constexpr char16_t kClassKeyPrefix[] = u"SYSTEM\\CurrentControlSet\\Control\\Class\\";
constexpr std::uint32_t kVersionBufferBytes = 520;

// One property into its own zeroed buffer; empty when it does not read.
bool ReadProperty(pf::IDeviceInventory& inventory, pf::DeviceInfoSet set, const pf::DeviceMember& member,
                  std::uint32_t property, Text260* out) {
    Text260 buffer;
    const bool ok = inventory.ReadProperty(set, member, property, buffer.units, Text260::capacity());
    buffer.units[Text260::capacity() - 1] = 0;  // what the device stored need not be terminated
    if (!ok) buffer.clear();
    *out = buffer;
    return ok;
}

// "DriverVersion" of the driver key named by SPDRP_DRIVER; empty when it does not read as text.
Text260 DriverVersion(CDriverReg& versions, const Text260& driverKey) {
    const std::u16string path = std::u16string(kClassKeyPrefix) + driverKey.c_str();
    Text260 version;
    std::uint32_t bytes = kVersionBufferBytes;
    static_assert(sizeof(version.units) == kVersionBufferBytes, "the version buffer is 260 wide characters");
    if (!versions.ReadString(pf::kHkeyLocalMachine, path.c_str(), u"DriverVersion", version.units, &bytes, 0)) {
        version.clear();
    }
    version.units[Text260::capacity() - 1] = 0;
    return version;
}

// The name a listed device shows, or false when the device is not listed.
bool ListedName(const Text260& type, const Text260& provider, const Text260& version, const Text260& description,
                const Text260& friendlyName, const Text260** name) {
    using quarro::text::EqualNoCaseAscii;
    using quarro::text::StartsWithNoCaseAscii;
    const Text260* preferred = friendlyName.empty() ? &description : &friendlyName;
    if (EqualNoCaseAscii(type.c_str(), u"WPD")) {
        *name = &description;  // portable devices: the description, whatever their friendly name
        return true;
    }
    if (EqualNoCaseAscii(type.c_str(), u"CDROM") || EqualNoCaseAscii(type.c_str(), u"DiskDrive")) {
        *name = preferred;
        return true;
    }
    // Everything else only when the driver is not Windows' own: a version, and a provider that
    // is neither a "(Standard ...)" placeholder nor Microsoft.
    if (version.empty() || provider.empty() || provider.units[0] == u'(' ||
        StartsWithNoCaseAscii(provider.view(), u"Microsoft")) {
        return false;
    }
    *name = preferred;
    return true;
}

}  // namespace

void FillDriverRows(tabframe::ListTable& table, pf::IDeviceInventory& inventory, CDriverReg& versions,
                    const char16_t* unknown) {
    const pf::OwnedInventorySet owned(inventory, inventory.OpenPresentDevices());
    const pf::DeviceInfoSet set = owned.Get();
    if (!set) {
        const int row = table.AppendRow();
        for (int c = 0; c < kColumnCount; ++c) table.SetField(row, c, unknown);
        return;
    }
    for (std::uint32_t index = 0; index < kMaxDeviceMembers && !table.Full(); ++index) {
        pf::DeviceMember member;
        if (!inventory.EnumDevice(set, index, &member)) break;  // no more devices
        Text260 description, driverKey, provider, type, friendlyName;
        if (!ReadProperty(inventory, set, member, pf::kSpdrpDeviceDesc, &description)) continue;
        if (!ReadProperty(inventory, set, member, pf::kSpdrpDriver, &driverKey)) continue;
        ReadProperty(inventory, set, member, pf::kSpdrpMfg, &provider);
        ReadProperty(inventory, set, member, pf::kSpdrpClass, &type);
        ReadProperty(inventory, set, member, pf::kSpdrpFriendlyName, &friendlyName);
        const Text260 version = DriverVersion(versions, driverKey);

        const Text260* name = nullptr;
        if (!ListedName(type, provider, version, description, friendlyName, &name)) continue;
        const int row = table.AppendRow();
        table.SetField(row, kProviderColumn, provider.c_str());
        table.SetField(row, kNameColumn, name->c_str());
        table.SetField(row, kVersionColumn, version.c_str());
        table.SetField(row, kTypeColumn, type.c_str());
    }
}

}  // namespace drivers_tab
