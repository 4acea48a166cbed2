// The tables of the two programs tabs, built from the uninstall registry of Windows:
// "Programs1" (Facet02) lists Microsoft's programs and, on the Vista family up to Windows 8, the
// installed updates; "Programs2" (Facet03) lists every other program and, for the maker's own,
// takes the version from the maker's registry keys.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/hotfixes.h"
#include "tabframe/list_table.h"

namespace programs_tab {

// String-table ids of both modules.
inline constexpr std::uint32_t kNameStringId = 3;
inline constexpr std::uint32_t kVersionStringId = 4;
inline constexpr std::uint32_t kUnknownStringId = 6;

enum Column : int { kNameColumn = 0, kVersionColumn, kColumnCount };
extern const tabframe::ListColumnSpec kPrograms1Columns[kColumnCount];
extern const tabframe::ListColumnSpec kPrograms2Columns[kColumnCount];

enum class Programs { kMicrosoft, kOthers };

// Both passes over HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall": on an AMD64
// Windows (`amd64`) the 64-bit view first, then the default view; elsewhere the default view
// only. Appends the programs of the kind asked for until the table is full.
void FillProgramRows(tabframe::ListTable& table, Programs which, bool amd64);

// The installed updates from `hotfixes`, appended while the table has room, only for the OsType
// codes 8, 11, 13 and -1 (Vista, 7, 8 and a future system; not 8.1).
void FillUpdateRows(tabframe::ListTable& table, quarro::platform::IHotfixes& hotfixes, std::int16_t osType);

// Whether `text` is read through completely by
//   swscanf(text, L"<prefix>{%04x%04x-%04x-%04x-%04x-%04x%04x%04x}", ...) == 8
// i.e. `prefix` and a braced GUID whose eight groups all convert. As with swscanf, blanks before
// a group are skipped, a group takes a sign and a "0x" within its four characters, and nothing
// after the eighth group (not even the closing brace) is looked at.
bool ScansAsBracedGuid(std::u16string_view text, std::u16string_view prefix);

}  // namespace programs_tab
