// The table of the "Drivers" tab (Facet01): the drivers of the devices present in the machine,
// with provider, device name, driver version and setup class, limited to drivers that are not
// part of Windows itself plus every optical drive, disk drive and portable device.
#pragma once

#include <cstdint>

#include "common/driver_reg.h"
#include "platform/device_inventory.h"
#include "tabframe/list_table.h"

namespace drivers_tab {

// String-table ids of the module.
inline constexpr std::uint32_t kProviderStringId = 2;
inline constexpr std::uint32_t kNameStringId = 3;
inline constexpr std::uint32_t kVersionStringId = 4;
inline constexpr std::uint32_t kTypeStringId = 6;
inline constexpr std::uint32_t kUnknownStringId = 7;

// Columns in the order the list and the report show them.
enum Column : int { kProviderColumn = 0, kNameColumn, kVersionColumn, kTypeColumn, kColumnCount };
extern const tabframe::ListColumnSpec kColumns[kColumnCount];

// Members of the device set looked at, at most.
inline constexpr std::uint32_t kMaxDeviceMembers = 1024;

// Fills `table` from the present devices. Driver versions are the "DriverVersion" values of the
// devices' driver keys under HKLM "SYSTEM\CurrentControlSet\Control\Class\", read through
// `versions` (the driver's registry service). When the device set cannot be had, the table gets
// one row with `unknown` in every field.
void FillDriverRows(tabframe::ListTable& table, quarro::platform::IDeviceInventory& inventory, CDriverReg& versions,
                    const char16_t* unknown);

}  // namespace drivers_tab
