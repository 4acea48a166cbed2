// The SMBIOS tab's data: the raw structure table read once, the offsets of its structures, and
// the rows decoded from fourteen structure types (smbios_items.h). The module keeps one object
// for its lifetime; the page and the report only read it.
//
// Every byte of the table is untrusted. The walk never reads past the table; a decoder reads a
// field only when it lies inside the structure's formatted area and reads 0 otherwise; a string
// number that names no string of its structure gives an empty value; nothing is written outside
// the row block, the group counters and the range slots, whatever the table holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tabs/smbios/smbios_items.h"
#include "tabs/smbios/smbios_raw.h"

namespace smbios {

// Where item and value names come from: the module's string table in the running language.
using StringLoader = std::u16string (*)(std::uint32_t id);
std::u16string ModuleString(std::uint32_t id);

// Spare zero bytes kept after the copied table.
inline constexpr std::uint32_t kSpareBytes = 128;

// A structure inside the table: every field read is bounded by the formatted area and the table.
struct StructureView {
    const std::uint8_t* table = nullptr;
    std::uint32_t tableLength = 0;
    std::uint32_t offset = 0;

    // 7Fh (end of table, never decoded) for an offset outside the table.
    std::uint8_t Type() const { return offset < tableLength ? table[offset] : 0x7F; }
    std::uint8_t Length() const { return offset + 1 < tableLength ? table[offset + 1] : 0; }
    // The little-endian field of `width` bytes (1, 2, 4 or 8) at `fieldOffset`; 0 when any of its
    // bytes lies beyond the formatted area or the table.
    std::uint64_t Field(std::uint32_t fieldOffset, std::uint32_t width) const;
    std::uint8_t Byte(std::uint32_t at) const { return static_cast<std::uint8_t>(Field(at, 1)); }
    std::uint16_t Word(std::uint32_t at) const { return static_cast<std::uint16_t>(Field(at, 2)); }
    std::uint32_t Dword(std::uint32_t at) const { return static_cast<std::uint32_t>(Field(at, 4)); }
    std::uint64_t Qword(std::uint32_t at) const { return Field(at, 8); }
};

class SmbiosTables {
public:
    explicit SmbiosTables(StringLoader strings = &ModuleString);
    SmbiosTables(const SmbiosTables&) = delete;
    SmbiosTables& operator=(const SmbiosTables&) = delete;

    // The set-up sequence of the module, after AllocateItemTable succeeded: reads the raw table
    // through `source` unless it was read before, walks it and decodes it. False (table length
    // 0: "Not Found") when there is no readable table, no complete structure, or the rows would
    // pass the budget.
    bool SetUp(IRawSmbiosSource& source);

    // Allocates the zero-filled row block (or clears the existing one) and fills its headings.
    bool AllocateItemTable();

    // Copies the table when the version is at least 2.4 and size and data are present; the
    // table length is the smaller of "Size" and the bytes actually there. kSpareBytes zero
    // bytes follow the copy.
    bool ReadRawSmbiosTable(IRawSmbiosSource& source);
    // Records the offset of every complete structure, the end-of-table structure included. A
    // structure is complete when its formatted area and the double zero that ends its strings
    // lie inside the table. At most 65535 structures are recorded.
    bool IndexStructures();
    // Decodes every recorded structure into rows, from a clean row block, counters and ranges.
    bool DecodeStructures();

    // String `number` (1-based) of the structure at `structureOffset`: its bytes inside the
    // table, without the terminator. Empty with a null data() for number 0, for a number beyond
    // the structure's strings, or for an offset that is not inside the table.
    std::string_view LookUpString(std::uint32_t structureOffset, std::uint8_t number) const;

    // State, read by the page and the report.
    std::uint32_t TableLength() const { return length_; }
    const std::uint8_t* Table() const { return raw_.get(); }
    bool HasRawTable() const { return raw_ != nullptr; }
    std::uint16_t StructureCount() const { return structureCount_; }
    std::uint32_t StructureOffset(std::uint16_t index) const;  // 0 beyond the count
    const ItemTable* Items() const { return items_.get(); }
    std::uint16_t GroupCounter(SmbiosGroup group) const { return counters_[static_cast<int>(group)]; }
    // The rows of general entry `entry`.
    RowRange GeneralRange(GeneralEntry entry) const;
    // The rows of instance `index` (0-based) of a group other than General; empty beyond.
    RowRange InstanceRange(SmbiosGroup group, std::uint32_t index) const;

    // Frees the raw table, the offsets and the row block (the module's TermTabDLL); the next
    // set-up reads the table again.
    void Release();
    // Frees the offsets and the row block and clears the counters, keeping the raw table (a
    // repeated set-up of the same load does not read it again).
    void ReleaseRows();

    // Used by the decoders (smbios_fields.cpp).
    std::u16string Load(std::uint32_t id) const { return strings_(id); }
    StringLoader Strings() const { return strings_; }
    // String `number` of the structure converted from the ANSI code page, cut to 259 units.
    std::u16string StringValue(const StructureView& s, std::uint8_t number) const;
    // Whether `rows` more rows stay below the 500-row budget.
    bool RowsFit(std::uint32_t rows) const;
    // Appends one row, cutting each text to 259 units; nothing once the block is full.
    void AppendRow(std::u16string_view item, std::u16string_view value);

private:
    bool Step(std::uint32_t* position) const;

    StringLoader strings_;
    std::unique_ptr<std::uint8_t[]> raw_;
    std::uint32_t length_ = 0;
    std::unique_ptr<std::uint32_t[]> offsets_;
    std::uint16_t structureCount_ = 0;
    std::unique_ptr<ItemTable> items_;
    std::uint16_t counters_[kGroupCount] = {};
    RowRange general_[kGeneralEntryCount];
    RowRange instances_[kGroupCount - 1][kMaxInstances];
};

// The names of the set bits of `flags` among the lowest `bitCount` (at most 32), lowest bit
// first, joined by "," with no space: bit i is named by string `names[i]`. Empty when no bit
// is set.
std::u16string FormatBitList(std::uint32_t flags, int bitCount, const std::uint16_t* names, StringLoader strings);

// The decoder of a structure type, null for types that are walked over (smbios_fields.cpp). A
// decoder appends the structure's rows and returns true, or writes nothing and returns false
// when they would pass the budget.
struct TypeDecoder {
    std::uint8_t type;
    SmbiosGroup group;
    GeneralEntry entry;  // General group only
    bool (*decode)(SmbiosTables& tables, const StructureView& s);
};
const TypeDecoder* FindDecoder(std::uint8_t type);

}  // namespace smbios
