// What the SMBIOS decoders produce and the page and the report read: a block of at most 500
// rows of item text and value text, nine display groups with an instance counter each, and for
// every shown instance the range of rows that belongs to it.
//
// Groups and their instances:
//  - General holds six fixed entries (BIOS, system, base board, enclosure, on-board devices, OEM
//    strings), one slot each; a later structure of the same type takes the slot over, so only
//    the last one is shown. Its counter is 6 once a table was decoded.
//  - Every other group holds one instance per structure of its type, in table order, at most
//    kMaxInstances; its counter is the number of instances (never above kMaxInstances).
// A range whose first and end rows are equal is empty and not shown.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/text.h"

namespace smbios {

inline constexpr std::uint32_t kMaxRows = 500;
inline constexpr std::uint32_t kColumnCount = 2;
inline constexpr std::size_t kHeadingUnits = 50;
inline constexpr std::size_t kTextUnits = quarro::text::kTextUnits;  // 259 characters and the terminator
inline constexpr std::uint32_t kMaxInstances = 100;

// String ids of the module (smbios.rc) that the page and the report use besides the row texts.
inline constexpr std::uint32_t kItemHeadingId = 6001;
inline constexpr std::uint32_t kValueHeadingId = 6002;
inline constexpr std::uint32_t kRootTitleId = 6003;      // "System Management BIOS"
inline constexpr std::uint32_t kSectionHeadId = 6119;    // "[SMBIOS Data]"
inline constexpr std::uint32_t kNotFoundId = 6120;       // "Not Found"

struct ItemRow {
    char16_t item[kTextUnits];
    char16_t value[kTextUnits];
};

// The row block, laid out as the page and the report expect it. Zero-filled when allocated.
struct ItemTable {
    std::uint32_t columnCount;                    // kColumnCount
    char16_t headings[kColumnCount][kHeadingUnits];  // "Item", "Value" (49 characters at most)
    std::uint32_t maxRows;                        // kMaxRows
    std::uint32_t rowCount;                       // rows written so far
    std::uint32_t reserved[4];
    ItemRow rows[kMaxRows];
};

struct RowRange {
    std::uint32_t first = 0;  // first row in ItemTable
    std::uint32_t end = 0;    // one past the last row
    bool empty() const { return first >= end; }
};

// Display groups, in display order.
enum class SmbiosGroup : int {
    kGeneral = 0,
    kProcessor,
    kCache,
    kPortConnector,
    kSystemSlot,
    kPhysicalMemoryArray,
    kMemoryDevice,
    kPointingDevice,
    kPortableBattery,
};
inline constexpr int kGroupCount = 9;

// The fixed entries of the General group, in display order.
enum class GeneralEntry : int {
    kBios = 0,       // type 0
    kSystem,         // type 1
    kBaseBoard,      // type 2
    kEnclosure,      // type 3
    kOnBoardDevices, // type 10
    kOemStrings,     // type 11
};
inline constexpr int kGeneralEntryCount = 6;

// Row budget and title of one general entry or one group: the decoders test the budget before
// they write, the page and the report show the title.
struct BudgetEntry {
    std::uint32_t rows;     // rows per structure; types 10 and 11 budget per device / string
    std::uint32_t titleId;  // string id of the title
};
// Entries 0-5: the general entries; 6-13: the groups from Processor to PortableBattery.
inline constexpr BudgetEntry kGroupBudget[kGeneralEntryCount + kGroupCount - 1] = {
    {18, 6014},  // BIOS Information
    {6, 6015},   // System Information
    {3, 6016},   // Base Board Information
    {1, 6017},   // System Enclosure or Chassis
    {2, 6019},   // On Board Devices Information, per device
    {1, 6020},   // OEM Strings, per string
    {8, 6005},   // Processor Information
    {11, 6007},  // Cache Information
    {3, 6008},   // Port Connector Information
    {7, 6009},   // System Slots
    {4, 6010},   // Physical Memory Array
    {9, 6011},   // Memory Device
    {3, 6012},   // Built-in Pointing Device
    {6, 6013},   // Portable Battery
};

constexpr const BudgetEntry& GeneralBudget(GeneralEntry entry) { return kGroupBudget[static_cast<int>(entry)]; }
// For any group but General.
constexpr const BudgetEntry& GroupBudget(SmbiosGroup group) {
    return kGroupBudget[kGeneralEntryCount + static_cast<int>(group) - 1];
}

// Title of a group ("General Information" for the General group).
constexpr std::uint32_t GroupTitleId(SmbiosGroup group) {
    return group == SmbiosGroup::kGeneral ? 6004 : GroupBudget(group).titleId;
}

// Label of an instance of a group other than General ("Processor" for "Processor 1").
inline constexpr std::uint32_t kInstanceLabelIds[kGroupCount] = {0, 6021, 6023, 6024, 6025, 6026, 6027, 6028, 6029};
constexpr std::uint32_t InstanceLabelId(SmbiosGroup group) { return kInstanceLabelIds[static_cast<int>(group)]; }

}  // namespace smbios
