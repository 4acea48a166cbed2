// The decoders of the fourteen shown structure types: the rows of a hand-built structure of each
// type byte for byte, then the edges of every enumeration and value format.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/module_strings.h"
#include "tests/smbios/smbios_test_support.h"

namespace smbios_tests {
namespace {

// A zero body of a structure of formatted length `length`, with `pokes` written at structure
// offsets (not body offsets).
struct Poke {
    std::uint8_t offset;
    std::uint8_t width;
    std::uint64_t value;
};
Bytes Body(std::uint8_t length, const std::vector<Poke>& pokes) {
    Bytes structure(length, 0);
    for (const Poke& p : pokes) {
        for (std::uint8_t i = 0; i < p.width; ++i) structure.at(p.offset + i) = static_cast<std::uint8_t>(p.value >> (8 * i));
    }
    return Bytes(structure.begin() + 4, structure.end());
}

struct TypeCase {
    const char* name;
    Bytes structure;
    std::vector<std::string> rows;
};

TEST(SmbiosDecoders, EachTypeWritesItsRows) {
    const TypeCase cases[] = {
        {"BIOS",
         Structure(0, Body(0x18, {{0x04, 1, 1}, {0x05, 1, 2}, {0x06, 2, 0xE800}, {0x08, 1, 3}, {0x09, 1, 0x0F},
                                  {0x0A, 8, (1u << 7) | (1u << 9) | (1u << 12) | (1u << 16)}, {0x12, 1, 0x81}}),
                   {"Mirelta Corporation", "V2.20L13", "10/05/2012"}),
         {"Vendor: Mirelta Corporation", "BIOS Version: V2.20L13", "BIOS Starting Address Segment: E800h",
          "BIOS Release Date: 10/05/2012", "BIOS ROM Size: 1024KB", "PCI Supported: Yes", "PCMCIA Supported: No",
          "PnP Supported: Yes", "APM Supported: No", "BIOS Upgradeable: No", "BIOS Shadowing: Yes",
          "Boot from CD Supported: No", "Selectable Boot Supported: Yes", "ACPI Supported: Yes",
          "USB Legacy Supported: No", "AGP Supported: No", "LS-120 Boot Supported: No",
          "Smart Battery Supported: Yes"}},
        {"System",
         Structure(1, Body(0x1B, {{0x04, 1, 1}, {0x05, 1, 2}, {0x06, 1, 3}, {0x07, 1, 4},
                                  {0x08, 8, 0x7766554433221100}, {0x10, 8, 0xFFEEDDCCBBAA9988}, {0x18, 1, 6}}),
                   {"Mirelta Corporation", "MIRELTA NB-7420", "NB-7420C2BKEA", "3LKSA48213"}),
         {"Manufacturer: Mirelta Corporation", "Product Name: MIRELTA NB-7420", "Version: NB-7420C2BKEA",
          "Wake-up Type: Power Switch", "Serial Number: 3LKSA48213",
          "UUID: 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"}},
        {"Base board", Structure(2, Body(0x0F, {{0x04, 1, 1}, {0x05, 1, 0}, {0x06, 1, 2}}), {"Mirelta", "1.01"}),
         {"Manufacturer: Mirelta", "Product: ", "Version: 1.01"}},
        {"Enclosure", Structure(3, Body(0x15, {{0x04, 1, 1}, {0x08, 1, 2}}), {"Mirelta", "ASSET-01"}),
         {"Asset Tag Number: ASSET-01"}},
        {"Processor",
         Structure(4, Body(0x2A, {{0x05, 1, 3}, {0x07, 1, 1}, {0x08, 8, 0xBFEBFBFF000306A9}, {0x10, 1, 2},
                                  {0x12, 2, 100}, {0x14, 2, 0}, {0x16, 2, 2600}, {0x19, 1, 0x21}}),
                   {"Intel(R) Corporation", "Intel(R) Core(TM) i5-3320M CPU @ 2.60GHz"}),
         {"Processor Type: Central Processor", "Processor Manufacturer: Intel(R) Corporation",
          "Processor ID: 000306A9h BFEBFBFFh", "Processor Version: Intel(R) Core(TM) i5-3320M CPU @ 2.60GHz",
          "External Clock: 100MHz", "Max Speed: Unknown", "Current Speed: 2600MHz",
          "Processor Upgrade: Socket rPGA988B"}},
        {"Cache",
         Structure(7, Body(0x13, {{0x05, 2, 0x02A2}, {0x07, 2, 0x8030}, {0x09, 2, 0}, {0x0B, 2, 0x0022},
                                  {0x0F, 1, 15}, {0x11, 1, 5}, {0x12, 1, 0x0E}})),
         {"Cache Configuration 1: Varies with Memory Address", "Cache Configuration 2: Enabled",
          "Cache Configuration 3: External", "Cache Configuration 4: L3", "Maximum Cache Size: 3072KB",
          "Installed Size: No cache is installed", "Supported SRAM Type: Unknown,Synchronous", "Current SRAM Type: ",
          "Cache Speed: 15ns", "System Cache Type: Unified", "Associativity: 20-way Set-Associative"}},
        {"Port connector", Structure(8, Body(0x09, {{0x06, 1, 1}, {0x07, 1, 0x0B}, {0x08, 1, 0x1F}}), {"LAN"}),
         {"External Reference Designator: LAN", "External Connector Type: RJ-45", "Port Type: Network Port"}},
        {"Slot",
         Structure(9, Body(0x11, {{0x05, 1, 0xAA}, {0x06, 1, 0x0D}, {0x07, 1, 3}, {0x08, 1, 4}, {0x09, 2, 0x0102},
                                  {0x0B, 1, 0x06}, {0x0C, 1, 0x01}})),
         {"Slot Type: PCI Express x16", "Slot Data Bus Width: 16x or x16", "Current Usage: Available",
          "Slot Length: Long Length", "Slot ID: 0102h", "Slot Characteristics: Provides 5.0 Volts,Provides 3.3 Volts",
          "PCI slot supports PME# signal: Yes"}},
        {"On board devices", Structure(10, {0x83, 1, 0x05, 2}, {"Onboard IGD", "Onboard LAN"}),
         {"Device Type 1: Video (Enabled)", "Description String 1: Onboard IGD", "Device Type 2: Ethernet (Disabled)",
          "Description String 2: Onboard LAN"}},
        {"OEM strings", Structure(11, {2}, {"First", "Second"}), {"Description: First", "Description: Second"}},
        {"Physical memory array",
         Structure(16, Body(0x17, {{0x04, 1, 3}, {0x05, 1, 3}, {0x07, 4, 0x01000000}, {0x0D, 2, 2}})),
         {"Location: System board or motherboard", "Use: System memory", "Maximum Capacity: 16777216KB",
          "Number of Memory Device: 2"}},
        {"Memory device",
         Structure(17, Body(0x22, {{0x08, 2, 72}, {0x0A, 2, 64}, {0x0C, 2, 4096}, {0x0E, 1, 0x0D}, {0x0F, 1, 0xFF},
                                   {0x10, 1, 1}, {0x11, 1, 2}, {0x12, 1, 0x18}, {0x13, 2, 0x0080}}),
                   {"ChannelA-DIMM0", "BANK 0"}),
         {"Total Width: 72bit", "Data Width: 64bit", "Size: 4096MB", "Form Factor: SODIMM", "Device Set: Unknown",
          "Device Locator: ChannelA-DIMM0", "Bank Locator: BANK 0", "Memory Type: DDR3", "Type Detail: Synchronous"}},
        {"Pointing device", Structure(21, {0x07, 0x04, 2}),
         {"Type: Touch Pad", "Interface: PS/2", "Number of Buttons: 2"}},
        {"Portable battery",
         Structure(22, Body(0x1A, {{0x04, 1, 1}, {0x05, 1, 2}, {0x08, 1, 3}, {0x09, 1, 6}, {0x0A, 2, 8586},
                                   {0x0C, 2, 10800}, {0x15, 1, 10}}),
                   {"Rear", "SANYO", "45N1173"}),
         {"Location: Rear", "Manufacturer: SANYO", "Device Name: 45N1173", "Device Chemistry: Lithium-ion",
          "Design Capacity: 85860mWh", "Design Voltage: 10800mV"}},
    };
    for (const TypeCase& c : cases) EXPECT_EQ(RowsOf(c.structure), c.rows) << c.name;
}

struct ValueCase {
    std::uint8_t type;
    std::uint8_t length;
    std::vector<Poke> pokes;
    const char* item;
    const char* value;
};

// The value of the first row named `item`.
std::string ValueOf(const ValueCase& c) {
    const std::string prefix = std::string(c.item) + ": ";
    for (const std::string& row : RowsOf(Structure(c.type, Body(c.length, c.pokes)))) {
        if (row.rfind(prefix, 0) == 0) return row.substr(prefix.size());
    }
    return "(no row)";
}

TEST(SmbiosDecoders, EnumerationEdgesAndValueFormats) {
    const ValueCase cases[] = {
        // Enumerations: each span's first and last value and the values just outside.
        {1, 0x1B, {{0x18, 1, 0x00}}, "Wake-up Type", ""},
        {1, 0x1B, {{0x18, 1, 0x01}}, "Wake-up Type", "Other"},
        {1, 0x1B, {{0x18, 1, 0x02}}, "Wake-up Type", "Unknown"},
        {1, 0x1B, {{0x18, 1, 0x03}}, "Wake-up Type", "APM Timer"},
        {1, 0x1B, {{0x18, 1, 0x08}}, "Wake-up Type", "AC Power Restored"},
        {1, 0x1B, {{0x18, 1, 0x09}}, "Wake-up Type", ""},
        {4, 0x2A, {{0x05, 1, 0x06}}, "Processor Type", "Video Processor"},
        {4, 0x2A, {{0x05, 1, 0x07}}, "Processor Type", ""},
        {4, 0x2A, {{0x19, 1, 0x03}}, "Processor Upgrade", "Daughter Board"},
        {4, 0x2A, {{0x19, 1, 0x06}}, "Processor Upgrade", "None"},
        {4, 0x2A, {{0x19, 1, 0x15}}, "Processor Upgrade", "Socket LGA775"},
        {4, 0x2A, {{0x19, 1, 0x16}}, "Processor Upgrade", "Socket S1"},
        {4, 0x2A, {{0x19, 1, 0x2A}}, "Processor Upgrade", "Socket FM2"},
        {4, 0x2A, {{0x19, 1, 0x2B}}, "Processor Upgrade", ""},
        {7, 0x13, {{0x05, 2, 0x0000}}, "Cache Configuration 1", "Write Through"},
        {7, 0x13, {{0x05, 2, 0x0100}}, "Cache Configuration 1", "Write Back"},
        {7, 0x13, {{0x05, 2, 0x0300}}, "Cache Configuration 1", "Unknown"},
        {7, 0x13, {{0x05, 2, 0xFF7F}}, "Cache Configuration 2", "Disabled"},
        {7, 0x13, {{0x05, 2, 0x0000}}, "Cache Configuration 3", "Internal"},
        {7, 0x13, {{0x05, 2, 0x0040}}, "Cache Configuration 3", "Reserved"},
        {7, 0x13, {{0x05, 2, 0x0060}}, "Cache Configuration 3", "Unknown"},
        {7, 0x13, {{0x05, 2, 0xFFF8}}, "Cache Configuration 4", "L1"},
        {7, 0x13, {{0x05, 2, 0x0007}}, "Cache Configuration 4", "L8"},
        {7, 0x13, {{0x07, 2, 0x8001}}, "Maximum Cache Size", "64KB"},
        {7, 0x13, {{0x07, 2, 0x7FFF}}, "Maximum Cache Size", "32767KB"},
        {7, 0x13, {{0x07, 2, 0xFFFF}}, "Maximum Cache Size", "2097088KB"},
        {7, 0x13, {{0x09, 2, 0x8000}}, "Installed Size", "0KB"},
        {7, 0x13, {{0x0B, 2, 0xFFFF}}, "Supported SRAM Type",
         "Other,Unknown,Non-Burst,Burst,Pipeline Burst,Synchronous,Asynchronous"},
        {7, 0x13, {{0x0D, 2, 0x0004}}, "Current SRAM Type", "Non-Burst"},
        {7, 0x13, {{0x0F, 1, 0}}, "Cache Speed", "Unknown"},
        {7, 0x13, {{0x11, 1, 0x03}}, "System Cache Type", "Instruction"},
        {7, 0x13, {{0x11, 1, 0x06}}, "System Cache Type", ""},
        {7, 0x13, {{0x12, 1, 0x03}}, "Associativity", "Direct Mapped"},
        {7, 0x13, {{0x12, 1, 0x0F}}, "Associativity", ""},
        {8, 0x09, {{0x07, 1, 0x00}}, "External Connector Type", "None"},
        {8, 0x09, {{0x07, 1, 0x22}}, "External Connector Type", "SAS/SATA Plug Receptacle"},
        {8, 0x09, {{0x07, 1, 0x23}}, "External Connector Type", ""},
        {8, 0x09, {{0x07, 1, 0xA0}}, "External Connector Type", "PC-98"},
        {8, 0x09, {{0x07, 1, 0xA4}}, "External Connector Type", "PC-98Full"},
        {8, 0x09, {{0x07, 1, 0xA5}}, "External Connector Type", ""},
        {8, 0x09, {{0x07, 1, 0xFF}}, "External Connector Type", "Other"},
        {8, 0x09, {{0x08, 1, 0x00}}, "Port Type", "None"},
        {8, 0x09, {{0x08, 1, 0x21}}, "Port Type", "SAS"},
        {8, 0x09, {{0x08, 1, 0x22}}, "Port Type", ""},
        {8, 0x09, {{0x08, 1, 0xA0}}, "Port Type", "8251 Compatible"},
        {8, 0x09, {{0x08, 1, 0xA1}}, "Port Type", "8251 FIFO Compatible"},
        {8, 0x09, {{0x08, 1, 0xA2}}, "Port Type", ""},
        {8, 0x09, {{0x08, 1, 0xFF}}, "Port Type", "Other"},
        {9, 0x11, {{0x05, 1, 0x03}}, "Slot Type", "ISA"},
        {9, 0x11, {{0x05, 1, 0x13}}, "Slot Type", "AGP 8X"},
        {9, 0x11, {{0x05, 1, 0x14}}, "Slot Type", ""},
        {9, 0x11, {{0x05, 1, 0x9F}}, "Slot Type", ""},
        {9, 0x11, {{0x05, 1, 0xA0}}, "Slot Type", "PC-98/C20"},
        {9, 0x11, {{0x05, 1, 0xB6}}, "Slot Type", "PCI Express Gen 3 x16"},
        {9, 0x11, {{0x05, 1, 0xB7}}, "Slot Type", ""},
        {9, 0x11, {{0x06, 1, 0x03}}, "Slot Data Bus Width", "8 bit"},
        {9, 0x11, {{0x06, 1, 0x0E}}, "Slot Data Bus Width", "32x or x32"},
        {9, 0x11, {{0x06, 1, 0x0F}}, "Slot Data Bus Width", ""},
        {9, 0x11, {{0x07, 1, 0x04}}, "Current Usage", "In use"},
        {9, 0x11, {{0x07, 1, 0x05}}, "Current Usage", ""},
        {9, 0x11, {{0x08, 1, 0x03}}, "Slot Length", "Short Length"},
        {9, 0x11, {{0x08, 1, 0x05}}, "Slot Length", ""},
        {9, 0x11, {{0x0B, 1, 0xF9}}, "Slot Characteristics",
         "Characteristics Unknown,Slot's opening is shared,PC Card-16 Supported,CardBus Supported,"
         "Zoom Video Supported,Modem Ring Resume Supported"},
        {9, 0x11, {{0x0C, 1, 0xFE}}, "PCI slot supports PME# signal", "No"},
        {16, 0x17, {{0x04, 1, 0x0A}}, "Location", "NuBus"},
        {16, 0x17, {{0x04, 1, 0x0B}}, "Location", ""},
        {16, 0x17, {{0x04, 1, 0xA0}}, "Location", "PC-98/C20 add-on card"},
        {16, 0x17, {{0x04, 1, 0xA3}}, "Location", "PC-98/Local bus add-on card"},
        {16, 0x17, {{0x04, 1, 0xA4}}, "Location", ""},
        {16, 0x17, {{0x05, 1, 0x07}}, "Use", "Cache memory"},
        {16, 0x17, {{0x05, 1, 0x08}}, "Use", ""},
        {17, 0x22, {{0x0E, 1, 0x03}}, "Form Factor", "SIMM"},
        {17, 0x22, {{0x0E, 1, 0x0F}}, "Form Factor", "FB-DIMM"},
        {17, 0x22, {{0x0E, 1, 0x10}}, "Form Factor", ""},
        {17, 0x22, {{0x12, 1, 0x03}}, "Memory Type", "DRAM"},
        {17, 0x22, {{0x12, 1, 0x14}}, "Memory Type", "DDR2 FB-DIMM"},
        {17, 0x22, {{0x12, 1, 0x15}}, "Memory Type", "Unknown"},
        {17, 0x22, {{0x12, 1, 0x17}}, "Memory Type", "Unknown"},
        {17, 0x22, {{0x12, 1, 0x19}}, "Memory Type", "FBD2"},
        {17, 0x22, {{0x12, 1, 0x1A}}, "Memory Type", ""},
        {17, 0x22, {{0x13, 2, 0x0007}}, "Type Detail", "Unknown,Other,Unknown"},
        {17, 0x22, {{0x13, 2, 0x6008}}, "Type Detail", "Fast-paged,Registered (Buffered),Unbuffered (Unregistered)"},
        {17, 0x22, {{0x13, 2, 0x8000}}, "Type Detail", ""},
        {21, 0x07, {{0x04, 1, 0x03}}, "Type", "Mouse"},
        {21, 0x07, {{0x04, 1, 0x09}}, "Type", "Optical Sensor"},
        {21, 0x07, {{0x04, 1, 0x0A}}, "Type", ""},
        {21, 0x07, {{0x05, 1, 0x08}}, "Interface", "ADB (Apple Desktop Bus)"},
        {21, 0x07, {{0x05, 1, 0x09}}, "Interface", ""},
        {21, 0x07, {{0x05, 1, 0xA0}}, "Interface", "Bus mouse DB-9"},
        {21, 0x07, {{0x05, 1, 0xA2}}, "Interface", "USB"},
        {21, 0x07, {{0x05, 1, 0xA3}}, "Interface", ""},
        {22, 0x1A, {{0x09, 1, 0x03}}, "Device Chemistry", "Lead Acid"},
        {22, 0x1A, {{0x09, 1, 0x08}}, "Device Chemistry", "Lithium Polymer"},
        {22, 0x1A, {{0x09, 1, 0x09}}, "Device Chemistry", ""},
        // Value formats and their special values.
        {0, 0x18, {{0x09, 1, 0x00}}, "BIOS ROM Size", "64KB"},
        {0, 0x18, {{0x09, 1, 0xFF}}, "BIOS ROM Size", "16384KB"},
        {0, 0x18, {{0x06, 2, 0x000F}}, "BIOS Starting Address Segment", "000Fh"},
        {16, 0x17, {{0x07, 4, 0x80000000}}, "Maximum Capacity", "Unknown"},
        {16, 0x17, {{0x07, 4, 0x80000000}, {0x0F, 8, 0x0000000400000000}}, "Maximum Capacity", "00000004 00000000h"},
        {16, 0x17, {{0x07, 4, 0x80000000}, {0x0F, 8, 0x0000000180000000}}, "Maximum Capacity", "00000001 80000000h"},
        {16, 0x0F, {{0x07, 4, 0x80000000}}, "Maximum Capacity", "Unknown"},
        {16, 0x17, {{0x07, 4, 0xFFFFFFFF}}, "Maximum Capacity", "4294967295KB"},
        {16, 0x17, {{0x0D, 2, 0xFFFF}}, "Number of Memory Device", "65535"},
        {17, 0x22, {{0x0C, 2, 0x8000}}, "Size", "0KB"},
        {17, 0x22, {{0x0C, 2, 0x0000}}, "Size", "0MB"},
        {17, 0x22, {{0x0C, 2, 0x8400}}, "Size", "1024KB"},
        {17, 0x22, {{0x0C, 2, 0x7FFE}}, "Size", "32766MB"},
        {17, 0x22, {{0x0C, 2, 0xFFFF}}, "Size", "Unknown"},
        {17, 0x22, {{0x0C, 2, 0x7FFF}, {0x1C, 4, 0x80008000}}, "Size", "32768MB"},
        {17, 0x1C, {{0x0C, 2, 0x7FFF}}, "Size", "0MB"},
        {17, 0x22, {{0x08, 2, 0xFFFF}}, "Total Width", "Unknown"},
        {17, 0x22, {{0x0A, 2, 0xFFFE}}, "Data Width", "65534bit"},
        {17, 0x22, {{0x0F, 1, 0x00}}, "Device Set", "0"},
        {4, 0x2A, {{0x12, 2, 0}}, "External Clock", "Unknown"},
        {4, 0x2A, {{0x14, 2, 0xFFFF}}, "Max Speed", "65535MHz"},
        {21, 0x07, {{0x06, 1, 0xFF}}, "Number of Buttons", "255"},
        {22, 0x1A, {{0x0A, 2, 0}}, "Design Capacity", "Unknown"},
        {22, 0x1A, {{0x0A, 2, 1000}, {0x15, 1, 0}}, "Design Capacity", "1000mWh"},
        {22, 0x1A, {{0x0A, 2, 1000}, {0x15, 1, 1}}, "Design Capacity", "1000mWh"},
        {22, 0x1A, {{0x0A, 2, 0xFFFF}, {0x15, 1, 0xFF}}, "Design Capacity", "16711425mWh"},
        {22, 0x14, {{0x0A, 2, 1000}}, "Design Capacity", "1000mWh"},
        {22, 0x1A, {{0x0C, 2, 0}}, "Design Voltage", "Unknown"},
        // Fields beyond a short formatted area read as 0.
        {1, 0x08, {}, "Wake-up Type", ""},
        {1, 0x08, {}, "UUID", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {4, 0x1A, {{0x19, 1, 0x21}}, "Processor Upgrade", "Socket rPGA988B"},
        {4, 0x19, {}, "Processor Upgrade", ""},
    };
    for (const ValueCase& c : cases) {
        EXPECT_EQ(ValueOf(c), c.value) << "type " << int(c.type) << " length " << int(c.length) << " " << c.item;
    }
}

// The BIOS extension byte at 12h is part of the formatted area only from length 13h on; in a
// shorter structure that byte is the first character of the strings and must not be read as flags.
TEST(SmbiosDecoders, BiosExtensionByteOnlyInsideTheStructure) {
    const Bytes shortBios = Structure(0, Body(0x12, {{0x04, 1, 1}}), {"\xff" "Vendor"});
    const std::vector<std::string> rows = RowsOf(shortBios);
    ASSERT_EQ(rows.size(), 18u);
    for (std::size_t i = 13; i < 18; ++i) EXPECT_EQ(rows[i].substr(rows[i].size() - 4), ": No") << rows[i];
}

TEST(SmbiosDecoders, StringNumbersThatNameNoString) {
    // 04h: string 0; 05h: string 3 of 2; 06h: string 2.
    EXPECT_EQ(RowsOf(Structure(2, {0, 3, 2}, {"one", "two"})),
              (std::vector<std::string>{"Manufacturer: ", "Product: ", "Version: two"}));
    // Three OEM strings announced, two present.
    EXPECT_EQ(RowsOf(Structure(11, {3}, {"a", "b"})),
              (std::vector<std::string>{"Description: a", "Description: b", "Description: "}));
}

TEST(SmbiosDecoders, OnBoardDeviceCountsAndStates) {
    struct Case {
        Bytes structure;
        std::vector<std::string> rows;
    } cases[] = {
        {Structure(10, {}), {}},  // formatted length 4: no devices
        {Structure(10, {0x8A, 1, 0xFF}, {"SAS"}),  // length 7: one device, the odd byte ignored
         {"Device Type 1: SAS Controller (Enabled)", "Description String 1: SAS"}},
        {Structure(10, {0x0B, 0, 0x80, 0, 0x01, 0}),
         {"Device Type 1: ", "Description String 1: ", "Device Type 2: ", "Description String 2: ",
          "Device Type 3: Other (Disabled)", "Description String 3: "}},
    };
    for (const Case& c : cases) EXPECT_EQ(RowsOf(c.structure), c.rows);
}

TEST(SmbiosDecoders, FormatBitListNamesSetBitsLowestFirst) {
    const std::uint16_t names[4] = {6502, 6503, 6536, 6537};  // Other, Unknown, Enabled, Disabled
    struct Case {
        std::uint32_t flags;
        int bits;
        const char* text;
    } cases[] = {
        {0x0, 4, ""}, {0x1, 4, "Other"}, {0xA, 4, "Unknown,Disabled"}, {0xF, 4, "Other,Unknown,Enabled,Disabled"},
        {0xF, 2, "Other,Unknown"}, {0x30, 4, ""}, {0xF, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quarro::text::ToUtf8(smbios::FormatBitList(c.flags, c.bits, names, &smbios::ModuleString)), c.text)
            << c.flags;
    }
}

}  // namespace
}  // namespace smbios_tests

namespace smbios_tests {
namespace {

// Every string of the module exists in English, French and Japanese, and the enumerated names
// fill 6500-6814 without a gap.
TEST(SmbiosStrings, EveryStringInThreeLanguages) {
    std::size_t count = 0;
    const quarro::resources::StringEntry* entries = quarro::resources::ModuleStringEntries(&count);
    std::map<std::uint32_t, std::set<std::uint16_t>> languages;
    for (std::size_t i = 0; i < count; ++i) languages[entries[i].id].insert(entries[i].language);
    const std::set<std::uint16_t> all = {0x09, 0x0C, 0x11};
    for (const auto& [id, found] : languages) EXPECT_EQ(found, all) << id;
    for (std::uint32_t id = 6500; id <= 6814; ++id) EXPECT_EQ(languages.count(id), 1u) << id;
    EXPECT_EQ(languages.upper_bound(6814), languages.end());
}

}  // namespace
}  // namespace smbios_tests
