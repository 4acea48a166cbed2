// The decoders of the fourteen shown structure types. Each type is a table of fields (item
// string, where the field lies, how its value is shown); On Board Devices (10) and OEM Strings
// (11) repeat a pair or a single row per device or string. Enumerated values are named by the
// module's string table (smbios.rc): a table of spans maps each value range to its first id.
#include <iterator>
#include <string>

#include "common/format.h"
#include "tabs/smbios/smbios_table.h"

namespace smbios {

namespace {

// Shared names (smbios.rc 6500-6503) and the first id of each block of enumerated names.
constexpr std::uint16_t kYes = 6500;
constexpr std::uint16_t kNo = 6501;
constexpr std::uint16_t kOther = 6502;
constexpr std::uint16_t kUnknown = 6503;
constexpr std::uint16_t kWakeUpNames = 6504;            // 03h-08h
constexpr std::uint16_t kProcessorTypeNames = 6510;     // 03h-06h
constexpr std::uint16_t kUpgradeNames = 6514;           // 03h-15h
constexpr std::uint16_t kCacheModeNames = 6533;         // Write Through, Write Back, Varies
constexpr std::uint16_t kEnabled = 6536;
constexpr std::uint16_t kDisabled = 6537;
constexpr std::uint16_t kCacheLocationNames = 6538;     // Internal, External, Reserved
constexpr std::uint16_t kNoCacheInstalled = 6541;
constexpr std::uint16_t kSramNames = 6542;              // bits 2-6
constexpr std::uint16_t kCacheTypeNames = 6547;         // 03h-05h
constexpr std::uint16_t kAssociativityNames = 6550;     // 03h-0Eh
constexpr std::uint16_t kConnectorNames = 6562;         // 00h-22h
constexpr std::uint16_t kConnectorPc98Names = 6597;     // A0h-A4h
constexpr std::uint16_t kPortNames = 6602;              // 00h-21h
constexpr std::uint16_t kPort8251Names = 6636;          // A0h-A1h
constexpr std::uint16_t kSlotNames = 6638;              // 03h-13h
constexpr std::uint16_t kSlotPc98Names = 6655;          // A0h-B6h
constexpr std::uint16_t kBusWidthNames = 6678;          // 03h-0Eh
constexpr std::uint16_t kUsageNames = 6690;             // 03h-04h
constexpr std::uint16_t kSlotLengthNames = 6692;        // 03h-04h
constexpr std::uint16_t kSlotFlagNames = 6694;          // bits 0-7
constexpr std::uint16_t kOnBoardNames = 6702;           // 03h-0Ah
constexpr std::uint16_t kArrayLocationNames = 6710;     // 03h-0Ah
constexpr std::uint16_t kArrayLocationPc98Names = 6718; // A0h-A3h
constexpr std::uint16_t kArrayUseNames = 6722;          // 03h-07h
constexpr std::uint16_t kFormFactorNames = 6727;        // 03h-0Fh
constexpr std::uint16_t kMemoryTypeNames = 6740;        // 03h-14h
constexpr std::uint16_t kMemoryTypeDdr3Names = 6758;    // 18h-19h
constexpr std::uint16_t kTypeDetailNames = 6760;        // bits 3-14
constexpr std::uint16_t kPointingTypeNames = 6772;      // 03h-09h
constexpr std::uint16_t kInterfaceNames = 6779;         // 03h-08h
constexpr std::uint16_t kInterfaceBusMouseNames = 6785; // A0h-A2h
constexpr std::uint16_t kChemistryNames = 6788;         // 03h-08h
constexpr std::uint16_t kUpgradeS1Names = 6794;         // 16h-2Ah

// Item strings used outside the field tables.
constexpr std::uint16_t kDeviceTypeItem = 6065;
constexpr std::uint16_t kDescriptionStringItem = 6066;
constexpr std::uint16_t kOemDescriptionItem = 6067;

// Values first..last are named by consecutive ids from firstId, or all by firstId when `same`.
struct EnumSpan {
    std::uint8_t first;
    std::uint8_t last;
    std::uint16_t firstId;
    bool same = false;
};
struct EnumNames {
    const EnumSpan* spans;
    std::size_t count;
};
template <std::size_t N>
constexpr EnumNames Names(const EnumSpan (&spans)[N]) {
    return {spans, N};
}

#define OTHER_UNKNOWN {0x01, 0x01, kOther}, {0x02, 0x02, kUnknown}
constexpr EnumSpan kWakeUp[] = {OTHER_UNKNOWN, {0x03, 0x08, kWakeUpNames}};
constexpr EnumSpan kProcessorType[] = {OTHER_UNKNOWN, {0x03, 0x06, kProcessorTypeNames}};
constexpr EnumSpan kUpgrade[] = {OTHER_UNKNOWN, {0x03, 0x15, kUpgradeNames}, {0x16, 0x2A, kUpgradeS1Names}};
constexpr EnumSpan kCacheMode[] = {{0, 2, kCacheModeNames}, {3, 3, kUnknown}};
constexpr EnumSpan kCacheState[] = {{0, 0, kDisabled}, {1, 1, kEnabled}};
constexpr EnumSpan kCacheLocation[] = {{0, 2, kCacheLocationNames}, {3, 3, kUnknown}};
constexpr EnumSpan kCacheType[] = {OTHER_UNKNOWN, {0x03, 0x05, kCacheTypeNames}};
constexpr EnumSpan kAssociativity[] = {OTHER_UNKNOWN, {0x03, 0x0E, kAssociativityNames}};
constexpr EnumSpan kConnector[] = {{0x00, 0x22, kConnectorNames}, {0xA0, 0xA4, kConnectorPc98Names}, {0xFF, 0xFF, kOther}};
constexpr EnumSpan kPortType[] = {{0x00, 0x21, kPortNames}, {0xA0, 0xA1, kPort8251Names}, {0xFF, 0xFF, kOther}};
constexpr EnumSpan kSlotType[] = {OTHER_UNKNOWN, {0x03, 0x13, kSlotNames}, {0xA0, 0xB6, kSlotPc98Names}};
constexpr EnumSpan kBusWidth[] = {OTHER_UNKNOWN, {0x03, 0x0E, kBusWidthNames}};
constexpr EnumSpan kUsage[] = {OTHER_UNKNOWN, {0x03, 0x04, kUsageNames}};
constexpr EnumSpan kSlotLength[] = {OTHER_UNKNOWN, {0x03, 0x04, kSlotLengthNames}};
constexpr EnumSpan kOnBoardType[] = {OTHER_UNKNOWN, {0x03, 0x0A, kOnBoardNames}};
constexpr EnumSpan kArrayLocation[] = {OTHER_UNKNOWN, {0x03, 0x0A, kArrayLocationNames}, {0xA0, 0xA3, kArrayLocationPc98Names}};
constexpr EnumSpan kArrayUse[] = {OTHER_UNKNOWN, {0x03, 0x07, kArrayUseNames}};
constexpr EnumSpan kFormFactor[] = {OTHER_UNKNOWN, {0x03, 0x0F, kFormFactorNames}};
// 15h-17h are reserved values; they show as "Unknown".
constexpr EnumSpan kMemoryType[] = {OTHER_UNKNOWN, {0x03, 0x14, kMemoryTypeNames}, {0x15, 0x17, kUnknown, true}, {0x18, 0x19, kMemoryTypeDdr3Names}};
constexpr EnumSpan kPointingType[] = {OTHER_UNKNOWN, {0x03, 0x09, kPointingTypeNames}};
constexpr EnumSpan kInterface[] = {OTHER_UNKNOWN, {0x03, 0x08, kInterfaceNames}, {0xA0, 0xA2, kInterfaceBusMouseNames}};
constexpr EnumSpan kChemistry[] = {OTHER_UNKNOWN, {0x03, 0x08, kChemistryNames}};
#undef OTHER_UNKNOWN

// Names of bits 0..n-1.
constexpr std::uint16_t kSramBits[7] = {kOther, kUnknown, kSramNames, kSramNames + 1, kSramNames + 2, kSramNames + 3, kSramNames + 4};
constexpr std::uint16_t kSlotBits[8] = {kSlotFlagNames,     kSlotFlagNames + 1, kSlotFlagNames + 2, kSlotFlagNames + 3,
                                        kSlotFlagNames + 4, kSlotFlagNames + 5, kSlotFlagNames + 6, kSlotFlagNames + 7};
// Bit 0 is reserved; it shows as "Unknown".
constexpr std::uint16_t kTypeDetailBits[15] = {
    kUnknown, kOther, kUnknown, kTypeDetailNames, kTypeDetailNames + 1, kTypeDetailNames + 2, kTypeDetailNames + 3,
    kTypeDetailNames + 4, kTypeDetailNames + 5, kTypeDetailNames + 6, kTypeDetailNames + 7, kTypeDetailNames + 8,
    kTypeDetailNames + 9, kTypeDetailNames + 10, kTypeDetailNames + 11};

enum class Kind : std::uint8_t {
    kText,                // string number in a byte
    kNumber,              // ((field >> shift) & mask) + add, times scale, through `format`
    kFlag,                // bit `shift` of the field: Yes / No
    kEnum,                // (field >> shift) & mask, named by `names`; empty outside them
    kBitList,             // the names of the set bits among the lowest `bits`
    kUuid,                // 16 bytes in stored order
    kProcessorId,         // two DWORDs
    kCacheSize,           // bits 0-14 in 1 KB or, with bit 15, in 64 KB units
    kInstalledCacheSize,  // as kCacheSize; 0 means no cache
    kArrayCapacity,       // KB, or the extended capacity in bytes behind 80000000h
    kMemorySize,          // MB, KB with bit 15, the extended size behind 7FFFh
    kBatteryCapacity,     // mWh times the design-capacity multiplier at 15h
};

struct FieldSpec {
    std::uint16_t item;
    Kind kind;
    std::uint8_t offset;
    std::uint8_t width = 1;  // bytes
    std::uint8_t shift = 0;
    std::uint32_t mask = 0xFFFFFFFF;
    const char* format = nullptr;
    std::uint32_t add = 0;
    std::uint32_t scale = 1;
    bool hasUnknown = false;  // kNumber: `unknownValue` shows "Unknown"
    std::uint32_t unknownValue = 0;
    EnumNames names = {nullptr, 0};
    const std::uint16_t* bitNames = nullptr;
    std::uint8_t bits = 0;
};

constexpr FieldSpec Text(std::uint16_t item, std::uint8_t offset) { return {item, Kind::kText, offset}; }
constexpr FieldSpec Number(std::uint16_t item, std::uint8_t offset, std::uint8_t width, const char* format) {
    FieldSpec f{item, Kind::kNumber, offset, width};
    f.format = format;
    return f;
}
// A number whose value `unknown` means "Unknown".
constexpr FieldSpec NumberOrUnknown(std::uint16_t item, std::uint8_t offset, std::uint8_t width, const char* format,
                                    std::uint32_t unknown) {
    FieldSpec f = Number(item, offset, width, format);
    f.hasUnknown = true;
    f.unknownValue = unknown;
    return f;
}
constexpr FieldSpec Flag(std::uint16_t item, std::uint8_t offset, std::uint8_t width, std::uint8_t bit) {
    FieldSpec f{item, Kind::kFlag, offset, width};
    f.shift = bit;
    return f;
}
template <std::size_t N>
constexpr FieldSpec Enum(std::uint16_t item, std::uint8_t offset, const EnumSpan (&spans)[N]) {
    FieldSpec f{item, Kind::kEnum, offset, 1};
    f.mask = 0xFF;
    f.names = Names(spans);
    return f;
}
// An enumeration held in bits shift.. of a WORD.
template <std::size_t N>
constexpr FieldSpec WordBits(std::uint16_t item, std::uint8_t offset, std::uint8_t shift, std::uint32_t mask,
                             const EnumSpan (&spans)[N]) {
    FieldSpec f{item, Kind::kEnum, offset, 2, shift, mask};
    f.names = Names(spans);
    return f;
}
template <std::size_t N>
constexpr FieldSpec BitList(std::uint16_t item, std::uint8_t offset, std::uint8_t width, const std::uint16_t (&names)[N]) {
    FieldSpec f{item, Kind::kBitList, offset, width};
    f.bitNames = names;
    f.bits = N;
    return f;
}
constexpr FieldSpec Special(std::uint16_t item, Kind kind, std::uint8_t offset) { return {item, kind, offset}; }

constexpr FieldSpec kBiosFields[] = {
    Text(6030, 0x04),
    Text(6031, 0x05),
    Number(6032, 0x06, 2, "%04Xh"),
    Text(6033, 0x08),
    [] { FieldSpec f = Number(6034, 0x09, 1, "%uKB"); f.add = 1; f.scale = 64; return f; }(),
    Flag(6035, 0x0A, 4, 7),   // PCI
    Flag(6036, 0x0A, 4, 8),   // PCMCIA
    Flag(6037, 0x0A, 4, 9),   // PnP
    Flag(6038, 0x0A, 4, 10),  // APM
    Flag(6039, 0x0A, 4, 11),  // upgradeable
    Flag(6040, 0x0A, 4, 12),  // shadowing
    Flag(6041, 0x0A, 4, 15),  // boot from CD
    Flag(6042, 0x0A, 4, 16),  // selectable boot
    Flag(6043, 0x12, 1, 0),   // ACPI
    Flag(6044, 0x12, 1, 1),   // USB legacy
    Flag(6045, 0x12, 1, 2),   // AGP
    Flag(6046, 0x12, 1, 4),   // LS-120 boot
    Flag(6047, 0x12, 1, 7),   // smart battery
};

constexpr FieldSpec kSystemFields[] = {
    Text(6048, 0x04), Text(6049, 0x05), Text(6050, 0x06), Enum(6051, 0x18, kWakeUp), Text(6052, 0x07),
    Special(6121, Kind::kUuid, 0x08),
};

constexpr FieldSpec kBaseBoardFields[] = {Text(6053, 0x04), Text(6054, 0x05), Text(6055, 0x06)};

constexpr FieldSpec kEnclosureFields[] = {Text(6056, 0x08)};

constexpr FieldSpec kProcessorFields[] = {
    Enum(6068, 0x05, kProcessorType),
    Text(6069, 0x07),
    Special(6070, Kind::kProcessorId, 0x08),
    Text(6071, 0x10),
    NumberOrUnknown(6072, 0x12, 2, "%uMHz", 0),
    NumberOrUnknown(6073, 0x14, 2, "%uMHz", 0),
    NumberOrUnknown(6074, 0x16, 2, "%uMHz", 0),
    Enum(6075, 0x19, kUpgrade),
};

constexpr FieldSpec kCacheFields[] = {
    WordBits(6076, 0x05, 8, 0x3, kCacheMode),
    WordBits(6077, 0x05, 7, 0x1, kCacheState),
    WordBits(6078, 0x05, 5, 0x3, kCacheLocation),
    [] { FieldSpec f = Number(6079, 0x05, 2, "L%u"); f.mask = 0x7; f.add = 1; return f; }(),
    Special(6080, Kind::kCacheSize, 0x07),
    Special(6081, Kind::kInstalledCacheSize, 0x09),
    BitList(6082, 0x0B, 2, kSramBits),
    BitList(6083, 0x0D, 2, kSramBits),
    NumberOrUnknown(6084, 0x0F, 1, "%uns", 0),
    Enum(6085, 0x11, kCacheType),
    Enum(6086, 0x12, kAssociativity),
};

constexpr FieldSpec kPortFields[] = {Text(6087, 0x06), Enum(6088, 0x07, kConnector), Enum(6089, 0x08, kPortType)};

constexpr FieldSpec kSlotFields[] = {
    Enum(6090, 0x05, kSlotType),  Enum(6091, 0x06, kBusWidth),       Enum(6092, 0x07, kUsage),
    Enum(6093, 0x08, kSlotLength), Number(6094, 0x09, 2, "%04Xh"),    BitList(6095, 0x0B, 1, kSlotBits),
    Flag(6096, 0x0C, 1, 0),
};

constexpr FieldSpec kArrayFields[] = {
    Enum(6097, 0x04, kArrayLocation),
    Enum(6098, 0x05, kArrayUse),
    Special(6099, Kind::kArrayCapacity, 0x07),
    Number(6100, 0x0D, 2, "%u"),
};

constexpr FieldSpec kMemoryFields[] = {
    NumberOrUnknown(6101, 0x08, 2, "%ubit", 0xFFFF),
    NumberOrUnknown(6102, 0x0A, 2, "%ubit", 0xFFFF),
    Special(6103, Kind::kMemorySize, 0x0C),
    Enum(6104, 0x0E, kFormFactor),
    NumberOrUnknown(6105, 0x0F, 1, "%u", 0xFF),
    Text(6106, 0x10),
    Text(6107, 0x11),
    Enum(6108, 0x12, kMemoryType),
    BitList(6109, 0x13, 2, kTypeDetailBits),
};

constexpr FieldSpec kPointingFields[] = {Enum(6110, 0x04, kPointingType), Enum(6111, 0x05, kInterface),
                                         Number(6112, 0x06, 1, "%u")};

constexpr FieldSpec kBatteryFields[] = {
    Text(6113, 0x04),
    Text(6114, 0x05),
    Text(6115, 0x08),
    Enum(6116, 0x09, kChemistry),
    Special(6117, Kind::kBatteryCapacity, 0x0A),
    NumberOrUnknown(6118, 0x0C, 2, "%umV", 0),
};

// Every row a field table writes is in its budget.
static_assert(std::size(kBiosFields) == GeneralBudget(GeneralEntry::kBios).rows);
static_assert(std::size(kSystemFields) == GeneralBudget(GeneralEntry::kSystem).rows);
static_assert(std::size(kBaseBoardFields) == GeneralBudget(GeneralEntry::kBaseBoard).rows);
static_assert(std::size(kEnclosureFields) == GeneralBudget(GeneralEntry::kEnclosure).rows);
static_assert(std::size(kProcessorFields) == GroupBudget(SmbiosGroup::kProcessor).rows);
static_assert(std::size(kCacheFields) == GroupBudget(SmbiosGroup::kCache).rows);
static_assert(std::size(kPortFields) == GroupBudget(SmbiosGroup::kPortConnector).rows);
static_assert(std::size(kSlotFields) == GroupBudget(SmbiosGroup::kSystemSlot).rows);
static_assert(std::size(kArrayFields) == GroupBudget(SmbiosGroup::kPhysicalMemoryArray).rows);
static_assert(std::size(kMemoryFields) == GroupBudget(SmbiosGroup::kMemoryDevice).rows);
static_assert(std::size(kPointingFields) == GroupBudget(SmbiosGroup::kPointingDevice).rows);
static_assert(std::size(kBatteryFields) == GroupBudget(SmbiosGroup::kPortableBattery).rows);

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Formatted(const char* format, std::uint32_t value) {
    return Ascii(quarro::text::Format(format, static_cast<unsigned>(value)));
}

std::u16string EnumName(const SmbiosTables& tables, const EnumNames& names, std::uint32_t value) {
    for (std::size_t i = 0; i < names.count; ++i) {
        const EnumSpan& span = names.spans[i];
        if (value >= span.first && value <= span.last) {
            return tables.Load(span.same ? span.firstId : span.firstId + (value - span.first));
        }
    }
    return u"";
}

std::u16string CacheSize(std::uint16_t word) {
    const std::uint32_t units = word & 0x7FFFu;
    return Formatted("%uKB", (word & 0x8000u) ? units * 64 : units);
}

std::u16string Value(const SmbiosTables& tables, const StructureView& s, const FieldSpec& f) {
    const std::uint64_t field = s.Field(f.offset, f.width);
    switch (f.kind) {
        case Kind::kText:
            return tables.StringValue(s, static_cast<std::uint8_t>(field));
        case Kind::kNumber: {
            const std::uint32_t raw = static_cast<std::uint32_t>(field >> f.shift) & f.mask;
            if (f.hasUnknown && raw == f.unknownValue) return tables.Load(kUnknown);
            return Formatted(f.format, (raw + f.add) * f.scale);
        }
        case Kind::kFlag:
            return tables.Load(((field >> f.shift) & 1u) ? kYes : kNo);
        case Kind::kEnum:
            return EnumName(tables, f.names, static_cast<std::uint32_t>(field >> f.shift) & f.mask);
        case Kind::kBitList:
            return FormatBitList(static_cast<std::uint32_t>(field), f.bits, f.bitNames, tables.Strings());
        case Kind::kUuid: {
            std::string text;
            for (std::uint32_t i = 0; i < 16; ++i) {
                quarro::text::AppendFormat(text, i == 0 ? "%02X" : " %02X", s.Byte(f.offset + i));
            }
            return Ascii(text);
        }
        case Kind::kProcessorId:
            return Ascii(quarro::text::Format("%08Xh %08Xh", static_cast<unsigned>(s.Dword(f.offset)),
                                              static_cast<unsigned>(s.Dword(f.offset + 4))));
        case Kind::kCacheSize:
            return CacheSize(s.Word(f.offset));
        case Kind::kInstalledCacheSize: {
            const std::uint16_t word = s.Word(f.offset);
            return word == 0 ? tables.Load(kNoCacheInstalled) : CacheSize(word);
        }
        case Kind::kArrayCapacity: {
            const std::uint32_t capacity = s.Dword(f.offset);
            if (capacity != 0x80000000u) return Formatted("%uKB", capacity);
            // The extended capacity at 0Fh, in bytes; a structure too short to hold it reads 0.
            const std::uint64_t extended = s.Qword(0x0F);
            if (extended == 0) return tables.Load(kUnknown);
            return Ascii(quarro::text::Format("%08X %08Xh", static_cast<unsigned>(extended >> 32),
                                              static_cast<unsigned>(extended & 0xFFFFFFFFu)));
        }
        case Kind::kMemorySize: {
            const std::uint16_t size = s.Word(f.offset);
            if (size == 0xFFFF) return tables.Load(kUnknown);
            // The extended size at 1Ch, in MB (bit 31 is reserved); 0 when the structure is short.
            if (size == 0x7FFF) return Formatted("%uMB", s.Dword(0x1C) & 0x7FFFFFFFu);
            return (size & 0x8000u) ? Formatted("%uKB", size & 0x7FFFu) : Formatted("%uMB", size);
        }
        case Kind::kBatteryCapacity: {
            const std::uint16_t capacity = s.Word(f.offset);
            if (capacity == 0) return tables.Load(kUnknown);
            const std::uint8_t multiplier = s.Byte(0x15);
            return Formatted("%umWh", std::uint32_t{capacity} * (multiplier > 1 ? multiplier : 1u));
        }
    }
    return u"";
}

template <std::size_t N>
bool DecodeFields(SmbiosTables& tables, const StructureView& s, const FieldSpec (&fields)[N]) {
    if (!tables.RowsFit(N)) return false;
    for (const FieldSpec& f : fields) tables.AppendRow(tables.Load(f.item), Value(tables, s, f));
    return true;
}

// "%s %d" of an item string and a device number.
std::u16string Numbered(const SmbiosTables& tables, std::uint16_t item, std::uint32_t k) {
    return tables.Load(item) + u' ' + Ascii(std::to_string(k));
}

bool DecodeOnBoardDevices(SmbiosTables& tables, const StructureView& s) {
    const std::uint32_t count = s.Length() >= 4 ? (s.Length() - 4u) / 2u : 0u;
    if (!tables.RowsFit(count * GeneralBudget(GeneralEntry::kOnBoardDevices).rows)) return false;
    for (std::uint32_t k = 1; k <= count; ++k) {
        const std::uint32_t at = 4 + 2 * (k - 1);
        const std::uint8_t type = s.Byte(at);
        std::u16string value = EnumName(tables, Names(kOnBoardType), type & 0x7Fu);
        if (!value.empty()) value += u" (" + tables.Load((type & 0x80u) ? kEnabled : kDisabled) + u")";
        tables.AppendRow(Numbered(tables, kDeviceTypeItem, k), value);
        tables.AppendRow(Numbered(tables, kDescriptionStringItem, k), tables.StringValue(s, s.Byte(at + 1)));
    }
    return true;
}

bool DecodeOemStrings(SmbiosTables& tables, const StructureView& s) {
    const std::uint32_t count = s.Byte(4);
    if (!tables.RowsFit(count * GeneralBudget(GeneralEntry::kOemStrings).rows)) return false;
    const std::u16string item = tables.Load(kOemDescriptionItem);
    for (std::uint32_t k = 1; k <= count; ++k) {
        tables.AppendRow(item, tables.StringValue(s, static_cast<std::uint8_t>(k)));
    }
    return true;
}

template <const auto& Fields>
bool DecodeTable(SmbiosTables& tables, const StructureView& s) {
    return DecodeFields(tables, s, Fields);
}

constexpr SmbiosGroup kGeneral = SmbiosGroup::kGeneral;
constexpr GeneralEntry kNoEntry = GeneralEntry::kBios;  // unused outside the General group

constexpr TypeDecoder kDecoders[] = {
    {0, kGeneral, GeneralEntry::kBios, &DecodeTable<kBiosFields>},
    {1, kGeneral, GeneralEntry::kSystem, &DecodeTable<kSystemFields>},
    {2, kGeneral, GeneralEntry::kBaseBoard, &DecodeTable<kBaseBoardFields>},
    {3, kGeneral, GeneralEntry::kEnclosure, &DecodeTable<kEnclosureFields>},
    {4, SmbiosGroup::kProcessor, kNoEntry, &DecodeTable<kProcessorFields>},
    {7, SmbiosGroup::kCache, kNoEntry, &DecodeTable<kCacheFields>},
    {8, SmbiosGroup::kPortConnector, kNoEntry, &DecodeTable<kPortFields>},
    {9, SmbiosGroup::kSystemSlot, kNoEntry, &DecodeTable<kSlotFields>},
    {10, kGeneral, GeneralEntry::kOnBoardDevices, &DecodeOnBoardDevices},
    {11, kGeneral, GeneralEntry::kOemStrings, &DecodeOemStrings},
    {16, SmbiosGroup::kPhysicalMemoryArray, kNoEntry, &DecodeTable<kArrayFields>},
    {17, SmbiosGroup::kMemoryDevice, kNoEntry, &DecodeTable<kMemoryFields>},
    {21, SmbiosGroup::kPointingDevice, kNoEntry, &DecodeTable<kPointingFields>},
    {22, SmbiosGroup::kPortableBattery, kNoEntry, &DecodeTable<kBatteryFields>},
};

}  // namespace

std::u16string FormatBitList(std::uint32_t flags, int bitCount, const std::uint16_t* names, StringLoader strings) {
    std::u16string text;
    if (!names || !strings) return text;
    for (int bit = 0; bit < bitCount && bit < 32; ++bit) {
        if (!(flags & (1u << bit))) continue;
        if (!text.empty()) text += u',';
        text += strings(names[bit]);
    }
    return text;
}

const TypeDecoder* FindDecoder(std::uint8_t type) {
    for (const TypeDecoder& decoder : kDecoders) {
        if (decoder.type == type) return &decoder;
    }
    return nullptr;
}

}  // namespace smbios
