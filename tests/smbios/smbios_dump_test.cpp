// The snapshot's dump reader on good and bad entry points, and every dump the project carries
// (tests/data/smbios, machines/*/smbios.bin) decoded side by side with `dmidecode --from-dump`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/smbios/smbios_test_support.h"

namespace smbios_tests {
namespace {

// Recomputes the checksums of an "_SM_" or "_SM3_" entry point at the start of `dump`.
void FixChecksums(Bytes& dump) {
    auto fix = [&](std::size_t start, std::size_t length, std::size_t at) {
        dump[at] = 0;
        std::uint8_t sum = 0;
        for (std::size_t i = start; i < start + length; ++i) sum = static_cast<std::uint8_t>(sum + dump[i]);
        dump[at] = static_cast<std::uint8_t>(-sum);
    };
    if (dump[4] == '_') {  // "_SM3_"
        fix(0, dump[6], 5);
    } else {
        fix(0x10, 0x0F, 0x15);
        fix(0, dump[5], 4);
    }
}

// A dump with a 64-bit entry point: `table` at 20h, announced as `announced` bytes.
Bytes Sm3Dump(const Bytes& table, std::uint8_t major, std::uint8_t minor, std::uint32_t announced) {
    Bytes dump(0x20, 0);
    const char anchor[] = "_SM3_";
    std::copy(anchor, anchor + 5, dump.begin());
    dump[6] = 0x18;
    dump[7] = major;
    dump[8] = minor;
    dump[0x0A] = 1;
    Put32(dump, 0x0C, announced);
    Put64(dump, 0x10, 0x20);
    dump.insert(dump.end(), table.begin(), table.end());
    FixChecksums(dump);
    return dump;
}

smbios::RawSmbiosRecord Parse(const Bytes& dump, std::string* error = nullptr) {
    smbios::RawSmbiosRecord record;
    std::string ignored;
    EXPECT_TRUE(smbios::ParseSmbiosDump(dump.data(), dump.size(), &record, error ? error : &ignored))
        << (error ? *error : ignored);
    return record;
}

TEST(SmbiosDump, VersionAndTableComeFromTheEntryPoint) {
    struct Case {
        const char* file;
        std::uint8_t major, minor;
        std::uint32_t size;
    } cases[] = {
        {"tests/data/smbios/lenovo-thinkpad-w510.bin", 2, 6, 3123},
        {"tests/data/smbios/asus-ux305la.bin", 2, 8, 2158},
        {"tests/data/smbios/beelink-eq12.bin", 3, 5, 4291},  // announces 5809 bytes, holds 4291
        {"machines/default/smbios.bin", 2, 7, 1401},
    };
    for (const Case& c : cases) {
        const Bytes dump = ReadFile(SourcePath(c.file));
        const smbios::RawSmbiosRecord record = Parse(dump);
        EXPECT_EQ(record.majorVersion, c.major) << c.file;
        EXPECT_EQ(record.minorVersion, c.minor) << c.file;
        EXPECT_EQ(record.size, c.size) << c.file;
        EXPECT_TRUE(record.hasData);
        EXPECT_TRUE(record.data.size() == c.size && std::equal(record.data.begin(), record.data.end(), dump.begin() + 0x20))
            << c.file;
    }
    const Bytes table = Join({Structure(8, {0, 0, 0, 0, 0}), EndOfTable()});
    const smbios::RawSmbiosRecord sm3 = Parse(Sm3Dump(table, 3, 2, 4096));
    EXPECT_EQ(sm3.majorVersion, 3);
    EXPECT_EQ(sm3.minorVersion, 2);
    EXPECT_EQ(sm3.data, table);
    EXPECT_EQ(Parse(Sm3Dump(table, 3, 0, 6)).data, Bytes(table.begin(), table.begin() + 6));
}

TEST(SmbiosDump, RefusesDamagedEntryPoints) {
    const Bytes good = ReadFile(SourcePath("machines/default/smbios.bin"));
    const Bytes sm3 = Sm3Dump(Join({EndOfTable()}), 3, 0, 6);
    struct Case {
        const char* name;
        Bytes dump;
        void (*damage)(Bytes&);
        const char* error;
    } cases[] = {
        {"empty", good, [](Bytes& d) { d.clear(); }, "no _SM_ or _SM3_ entry point at offset 0"},
        {"anchor", good, [](Bytes& d) { d[2] = 'X'; }, "no _SM_ or _SM3_ entry point at offset 0"},
        {"cut inside the entry point", good, [](Bytes& d) { d.resize(0x1E); }, "_SM_ entry point cut short"},
        {"checksum", good, [](Bytes& d) { d[0x08] ^= 1; }, "bad _SM_ entry point checksum"},
        {"_DMI_ checksum", good, [](Bytes& d) { ++d[0x1C]; --d[0x0B]; }, "bad _DMI_ checksum"},
        {"_DMI_ anchor", good, [](Bytes& d) { d[0x11] = 'X'; FixChecksums(d); }, "no _DMI_ anchor"},
        {"entry point length", good, [](Bytes& d) { d[5] = 0x21; FixChecksums(d); }, "bad _SM_ entry point length"},
        {"table beyond the file", good, [](Bytes& d) { Put32(d, 0x18, static_cast<std::uint32_t>(d.size())); FixChecksums(d); },
         "table address beyond the dump"},
        {"table length 0", good, [](Bytes& d) { Put16(d, 0x16, 0); FixChecksums(d); }, "empty table"},
        {"_SM3_ checksum", sm3, [](Bytes& d) { d[0x0C] ^= 1; }, "bad _SM3_ entry point checksum"},
        {"_SM3_ cut", sm3, [](Bytes& d) { d.resize(0x17); }, "_SM3_ entry point cut short"},
        {"_SM3_ address", sm3, [](Bytes& d) { d[0x17] = 1; FixChecksums(d); }, "table address beyond the dump"},
    };
    for (Case& c : cases) {
        c.damage(c.dump);
        smbios::RawSmbiosRecord record;
        std::string error;
        EXPECT_FALSE(smbios::ParseSmbiosDump(c.dump.data(), c.dump.size(), &record, &error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

// --- Side by side with dmidecode ------------------------------------------------------------

struct DmiRecord {
    int type = -1;
    std::map<std::string, std::string> fields;  // "\tKey: Value"
    std::vector<std::string> items;             // "\t\tItem" list lines
};

std::vector<DmiRecord> RunDmidecode(const std::string& path) {
    std::vector<DmiRecord> records;
    const std::string command = std::string(QUARRO_DMIDECODE) + " --from-dump '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return records;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        int type = 0;
        if (std::sscanf(text.c_str(), "Handle 0x%*x, DMI type %d,", &type) == 1) {
            records.push_back({});
            records.back().type = type;
        } else if (!records.empty() && text.rfind("\t\t", 0) == 0) {
            records.back().items.push_back(text.substr(2));
        } else if (!records.empty() && text.rfind("\t", 0) == 0) {
            const std::size_t colon = text.find(": ");
            if (colon != std::string::npos) records.back().fields[text.substr(1, colon - 1)] = text.substr(colon + 2);
        }
    }
    return records;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A size in KB from "64KB" / "4096MB" or dmidecode's "64 kB" / "4 MB" / "16 GB"; -1 when not one.
long long Kilobytes(const std::string& text) {
    long long n = 0;
    char unit[8] = {};
    if (std::sscanf(text.c_str(), "%lld %7s", &n, unit) != 2 && std::sscanf(text.c_str(), "%lld%7s", &n, unit) != 2) {
        return -1;
    }
    const std::string u = Lower(unit);
    if (u == "kb") return n;
    if (u == "mb") return n * 1024;
    if (u == "gb") return n * 1024 * 1024;
    return -1;
}

enum class Compare { kText, kName, kSize, kUnit, kEndsWith, kUuid, kProcessorId };

// What dmidecode writes differently from the names and formats the tab shows, each for a reason.
struct ExpectedDifference {
    const char* dmidecode;
    const char* ours;
    const char* reason;
};
const ExpectedDifference kExpectedDifferences[] = {
    {"Not Specified", "", "dmidecode names string number 0; the tab shows an empty value"},
    {"None", "0", "device set 0: dmidecode says None, the tab prints the number"},
    {"None", "", "type detail with no bit set: dmidecode says None, the tab lists no name"},
    {"No Module Installed", "0MB", "memory size 0: the tab prints the number with its unit"},
    {"Unknown", "0bit", "memory width 0 (an empty socket): the tab shows Unknown only for FFFFh"},
    {"Short", "Short Length", "dmidecode shortens the slot length names"},
    {"DB-15 female", "DB-15 pin female", "dmidecode shortens the connector names of the reference"},
    {"Mini Jack (headphones)", "Mini-jack (headphones)", "dmidecode spells the connector name its own way"},
    {"Lithium Ion", "Lithium-ion", "dmidecode spells the chemistry its own way"},
    // Values the 2.7 reference does not know yet: the tab shows them empty.
    {"LPDDR3", "", "memory type 1Dh, added after SMBIOS 2.7"},
    {"DDR5", "", "memory type 22h, added after SMBIOS 2.7"},
    {"Socket BGA1168", "", "processor upgrade 2Fh, added after SMBIOS 2.7"},
};

bool Agree(Compare how, const std::string& theirs, const std::string& ours) {
    for (const ExpectedDifference& d : kExpectedDifferences) {
        if (theirs == d.dmidecode && ours == d.ours) return true;
    }
    switch (how) {
        case Compare::kText: return theirs == ours;
        case Compare::kName: return Lower(theirs) == Lower(ours);
        case Compare::kSize: return theirs == ours || (Kilobytes(theirs) >= 0 && Kilobytes(theirs) == Kilobytes(ours));
        case Compare::kUnit: {
            // "2600 MHz" / "2600MHz", "64 bits" / "64bit".
            std::string t;
            for (char c : theirs) if (c != ' ') t += c;
            if (t.size() > 4 && t.compare(t.size() - 4, 4, "bits") == 0) t.pop_back();
            return t == ours;
        }
        case Compare::kEndsWith:  // dmidecode puts the bus width in front of the slot type
            return Lower(theirs).size() >= ours.size() && !ours.empty() &&
                   Lower(theirs).compare(Lower(theirs).size() - ours.size(), ours.size(), Lower(ours)) == 0;
        case Compare::kUuid: {
            // dmidecode shows the first three fields little-endian (SMBIOS 2.6 on); the tab shows
            // the sixteen bytes in stored order.
            unsigned b[16];
            if (std::sscanf(theirs.c_str(), "%2x%2x%2x%2x-%2x%2x-%2x%2x-%2x%2x-%2x%2x%2x%2x%2x%2x", &b[3], &b[2], &b[1],
                            &b[0], &b[5], &b[4], &b[7], &b[6], &b[8], &b[9], &b[10], &b[11], &b[12], &b[13], &b[14],
                            &b[15]) != 16) {
                return false;
            }
            std::string stored;
            for (int i = 0; i < 16; ++i) stored += quarro::text::Format(i ? " %02X" : "%02X", b[i]);
            return stored == ours;
        }
        case Compare::kProcessorId: {
            // dmidecode: the eight bytes; the tab: the two DWORDs.
            unsigned b[8];
            if (std::sscanf(theirs.c_str(), "%x %x %x %x %x %x %x %x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6],
                            &b[7]) != 8) {
                return false;
            }
            return quarro::text::Format("%02X%02X%02X%02Xh %02X%02X%02X%02Xh", b[3], b[2], b[1], b[0], b[7], b[6], b[5],
                                        b[4]) == ours;
        }
    }
    return false;
}

struct FieldPair {
    int type;
    const char* ours;
    const char* theirs;
    Compare how;
};
const FieldPair kFieldPairs[] = {
    {0, "Vendor", "Vendor", Compare::kText},
    {0, "BIOS Version", "Version", Compare::kText},
    {0, "BIOS Release Date", "Release Date", Compare::kText},
    {1, "Manufacturer", "Manufacturer", Compare::kText},
    {1, "Product Name", "Product Name", Compare::kText},
    {1, "Version", "Version", Compare::kText},
    {1, "Serial Number", "Serial Number", Compare::kText},
    {1, "Wake-up Type", "Wake-up Type", Compare::kName},
    {1, "UUID", "UUID", Compare::kUuid},
    {2, "Manufacturer", "Manufacturer", Compare::kText},
    {2, "Product", "Product Name", Compare::kText},
    {2, "Version", "Version", Compare::kText},
    {3, "Asset Tag Number", "Asset Tag", Compare::kText},
    {4, "Processor Type", "Type", Compare::kName},
    {4, "Processor Manufacturer", "Manufacturer", Compare::kText},
    {4, "Processor ID", "ID", Compare::kProcessorId},
    {4, "Processor Version", "Version", Compare::kText},
    {4, "External Clock", "External Clock", Compare::kUnit},
    {4, "Max Speed", "Max Speed", Compare::kUnit},
    {4, "Current Speed", "Current Speed", Compare::kUnit},
    {4, "Processor Upgrade", "Upgrade", Compare::kName},
    {7, "Maximum Cache Size", "Maximum Size", Compare::kSize},
    {7, "Installed Size", "Installed Size", Compare::kSize},
    {7, "System Cache Type", "System Type", Compare::kName},
    {7, "Associativity", "Associativity", Compare::kName},
    {7, "Cache Configuration 1", "Operational Mode", Compare::kName},
    {7, "Cache Configuration 3", "Location", Compare::kName},
    {8, "External Reference Designator", "External Reference Designator", Compare::kText},
    {8, "External Connector Type", "External Connector Type", Compare::kName},
    {8, "Port Type", "Port Type", Compare::kName},
    {9, "Slot Type", "Type", Compare::kEndsWith},
    {9, "Current Usage", "Current Usage", Compare::kName},
    {9, "Slot Length", "Length", Compare::kName},
    {16, "Location", "Location", Compare::kName},
    {16, "Use", "Use", Compare::kName},
    {16, "Maximum Capacity", "Maximum Capacity", Compare::kSize},
    {16, "Number of Memory Device", "Number Of Devices", Compare::kText},
    {17, "Total Width", "Total Width", Compare::kUnit},
    {17, "Data Width", "Data Width", Compare::kUnit},
    {17, "Size", "Size", Compare::kSize},
    {17, "Form Factor", "Form Factor", Compare::kName},
    {17, "Device Set", "Set", Compare::kText},
    {17, "Device Locator", "Locator", Compare::kText},
    {17, "Bank Locator", "Bank Locator", Compare::kText},
    {17, "Memory Type", "Type", Compare::kName},
    {17, "Type Detail", "Type Detail", Compare::kName},
    {21, "Type", "Type", Compare::kName},
    {21, "Interface", "Interface", Compare::kName},
    {21, "Number of Buttons", "Buttons", Compare::kText},
    {22, "Location", "Location", Compare::kText},
    {22, "Manufacturer", "Manufacturer", Compare::kText},
    {22, "Device Name", "Name", Compare::kText},
    {22, "Device Chemistry", "Chemistry", Compare::kName},
    {22, "Design Capacity", "Design Capacity", Compare::kUnit},
    {22, "Design Voltage", "Design Voltage", Compare::kUnit},
};

// BIOS characteristics: the tab's Yes/No rows against dmidecode's list lines.
const std::pair<const char*, const char*> kBiosFlags[] = {
    {"PCI Supported", "PCI is supported"},
    {"PCMCIA Supported", "PC Card (PCMCIA) is supported"},
    {"PnP Supported", "PNP is supported"},
    {"APM Supported", "APM is supported"},
    {"BIOS Upgradeable", "BIOS is upgradeable"},
    {"BIOS Shadowing", "BIOS shadowing is allowed"},
    {"Boot from CD Supported", "Boot from CD is supported"},
    {"Selectable Boot Supported", "Selectable boot is supported"},
    {"ACPI Supported", "ACPI is supported"},
    {"USB Legacy Supported", "USB legacy is supported"},
    {"AGP Supported", "AGP is supported"},
    {"LS-120 Boot Supported", "LS-120 boot is supported"},
    {"Smart Battery Supported", "Smart battery is supported"},
};

struct TypeRanges {
    int type;
    bool general;
    int index;  // GeneralEntry or SmbiosGroup
};
const TypeRanges kTypeRanges[] = {
    {0, true, 0}, {1, true, 1}, {2, true, 2}, {3, true, 3}, {4, false, 1}, {7, false, 2}, {8, false, 3},
    {9, false, 4}, {16, false, 5}, {17, false, 6}, {21, false, 7}, {22, false, 8},
};

std::vector<std::string> Dumps() {
    std::vector<std::string> files;
    for (const char* folder : {"tests/data/smbios", "machines"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(SourcePath(folder))) {
            if (entry.path().extension() == ".bin") files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SmbiosDump, EveryDumpDecodesAsDmidecodeReadsIt) {
    if (std::string(QUARRO_DMIDECODE).empty()) GTEST_SKIP() << "dmidecode is not installed (Debian package dmidecode)";
    const std::vector<std::string> files = Dumps();
    ASSERT_GE(files.size(), 4u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        smbios::SmbiosTables tables;
        ASSERT_TRUE(Decode(tables, Parse(ReadFile(file))));
        const std::vector<DmiRecord> theirs = RunDmidecode(file);
        ASSERT_FALSE(theirs.empty());
        int compared = 0;
        for (const TypeRanges& t : kTypeRanges) {
            std::vector<const DmiRecord*> records;
            for (const DmiRecord& r : theirs) if (r.type == t.type) records.push_back(&r);
            // Ours: the General entry shows the last structure of its type; groups one instance each.
            std::vector<std::pair<const DmiRecord*, smbios::RowRange>> pairs;
            if (t.general) {
                if (!records.empty()) pairs.push_back({records.back(), tables.GeneralRange(GeneralEntry(t.index))});
            } else {
                const SmbiosGroup group = SmbiosGroup(t.index);
                ASSERT_EQ(tables.GroupCounter(group), records.size()) << "type " << t.type;
                for (std::size_t i = 0; i < records.size(); ++i) pairs.push_back({records[i], tables.InstanceRange(group, i)});
            }
            for (const auto& [record, range] : pairs) {
                std::map<std::string, std::string> ours;
                for (const std::string& leaf : Leaves(tables, range)) {
                    const std::size_t colon = leaf.find(": ");
                    ours.emplace(leaf.substr(0, colon), leaf.substr(colon + 2));
                }
                for (const FieldPair& f : kFieldPairs) {
                    if (f.type != t.type || !record->fields.count(f.theirs)) continue;
                    const std::string& value = record->fields.at(f.theirs);
                    EXPECT_TRUE(Agree(f.how, value, ours.at(f.ours)))
                        << "type " << t.type << " " << f.ours << ": dmidecode \"" << value << "\", ours \""
                        << ours.at(f.ours) << "\"";
                    ++compared;
                }
                if (t.type != 0) continue;
                // ROM size: from SMBIOS 3.1 on, FFh means "see the extended size"; the tab shows 16384KB.
                if (ours.at("BIOS ROM Size") != "16384KB") {
                    EXPECT_EQ(Kilobytes(record->fields.at("ROM Size")), Kilobytes(ours.at("BIOS ROM Size")));
                }
                const auto& lines = record->items;
                if (std::find(lines.begin(), lines.end(), "BIOS characteristics not supported") != lines.end()) continue;
                for (const auto& [item, line] : kBiosFlags) {
                    const bool listed = std::find(lines.begin(), lines.end(), line) != lines.end();
                    EXPECT_EQ(ours.at(item), listed ? "Yes" : "No") << item;
                    ++compared;
                }
            }
        }
        EXPECT_GT(compared, 40);
    }
}

// The default machine's table tells the same notebook as the rest of its snapshot.
TEST(SmbiosDump, DefaultMachineIsTheMireltaNotebook) {
    smbios::SmbiosTables tables;
    ASSERT_TRUE(Decode(tables, Parse(ReadFile(SourcePath("machines/default/smbios.bin")))));
    const std::vector<std::string> system = Leaves(tables, tables.GeneralRange(GeneralEntry::kSystem));
    EXPECT_EQ(system.at(1), "Product Name: MIRELTA NB-7420");
    EXPECT_EQ(system.at(4), "Serial Number: 3LKSA48213");
    EXPECT_EQ(Leaves(tables, tables.GeneralRange(GeneralEntry::kBios)).at(1), "BIOS Version: V2.20L13");
    EXPECT_EQ(Leaves(tables, tables.GeneralRange(GeneralEntry::kOnBoardDevices)).at(0), "Device Type 1: Video (Enabled)");
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kProcessor), 1);
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kPointingDevice), 1);
    ASSERT_EQ(tables.GroupCounter(SmbiosGroup::kMemoryDevice), 2);
    ASSERT_EQ(tables.GroupCounter(SmbiosGroup::kPortableBattery), 2);
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Leaves(tables, tables.InstanceRange(SmbiosGroup::kMemoryDevice, i)).at(2), "Size: 4096MB");
    }
}

}  // namespace
}  // namespace smbios_tests
