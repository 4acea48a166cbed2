// Reading, walking and decoding whole tables: the version gate, the record checks, the two-pass
// walk on good and bad tables, the row budget, the General slots and the 100 instance slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/smbios/smbios_test_support.h"

namespace smbios_tests {
namespace {

using smbios::RowRange;
using smbios::SmbiosTables;

const Bytes kProcessor = Structure(4, Bytes(0x2A - 4, 0));
const Bytes kBios = Structure(0, Bytes(0x18 - 4, 0));
const Bytes kPort = Structure(8, Bytes(0x09 - 4, 0));

TEST(SmbiosRead, VersionGateAndRecordChecks) {
    const Bytes table = Join({kBios, EndOfTable()});
    struct Case {
        const char* name;
        smbios::RawSmbiosRecord record;
        bool read;
        std::uint32_t length;
    };
    auto with = [&](auto change) {
        smbios::RawSmbiosRecord r = Record(table);
        change(r);
        return r;
    };
    const std::uint32_t full = static_cast<std::uint32_t>(table.size());
    const Case cases[] = {
        {"2.3", Record(table, 2, 3), false, 0},
        {"2.4", Record(table, 2, 4), true, full},
        {"3.0", Record(table, 3, 0), true, full},
        {"1.9", Record(table, 1, 9), false, 0},
        {"no version", Record(table, 0, 0), false, 0},
        {"size 0", with([](auto& r) { r.size = 0; }), false, 0},
        {"no byte array", with([](auto& r) { r.hasData = false; }), false, 0},
        {"empty array", with([](auto& r) { r.data.clear(); }), false, 0},
        {"size beyond the array", with([](auto& r) { r.size = 0xFFFFFFFF; }), true, full},
        {"size inside the array", with([](auto& r) { r.size = 10; }), true, 10},
    };
    for (const Case& c : cases) {
        SmbiosTables tables;
        CountingSource source(c.record);
        EXPECT_EQ(tables.ReadRawSmbiosTable(source), c.read) << c.name;
        EXPECT_EQ(tables.TableLength(), c.length) << c.name;
        if (c.read) {
            // The copy is followed by the spare zero bytes.
            for (std::uint32_t i = 0; i < smbios::kSpareBytes; ++i) ASSERT_EQ(tables.Table()[c.length + i], 0) << c.name;
        }
    }
    SmbiosTables tables;
    CountingSource silent(Record(table), false);
    EXPECT_FALSE(tables.ReadRawSmbiosTable(silent));
}

TEST(SmbiosWalk, RecordsEveryCompleteStructure) {
    const Bytes cut = {1, 0x1B, 0, 0};  // formatted area runs past the end
    struct Case {
        const char* name;
        Bytes table;
        std::vector<std::uint32_t> offsets;  // empty: the walk fails
    };
    const Case cases[] = {
        {"one byte", {0x7F}, {}},
        {"end of table only", EndOfTable(), {0}},
        {"end of table without its double zero", {0x7F, 4, 0, 0, 0}, {}},
        {"structures, end of table, and one after it", Join({kPort, EndOfTable(), kPort}), {0, 11, 17}},
        {"strings", Join({Structure(8, {0, 0, 1, 0, 0}, {"ab", "c"}), EndOfTable()}), {0, 15}},
        {"incomplete last structure", Join({kPort, Bytes(kPort.begin(), kPort.end() - 1)}), {0}},
        {"formatted area past the end", Join({kPort, cut}), {0}},
        {"zero formatted length", Join({Bytes{0, 0}, Bytes{5, 0, 0}, kPort}), {0, 2, 5}},
        {"no double zero at all", Bytes(300, 0x41), {}},
    };
    for (const Case& c : cases) {
        SmbiosTables tables;
        CountingSource source(Record(c.table));
        ASSERT_TRUE(tables.ReadRawSmbiosTable(source)) << c.name;
        EXPECT_EQ(tables.IndexStructures(), !c.offsets.empty()) << c.name;
        std::vector<std::uint32_t> offsets;
        for (std::uint16_t i = 0; i < tables.StructureCount(); ++i) offsets.push_back(tables.StructureOffset(i));
        EXPECT_EQ(offsets, c.offsets) << c.name;
    }
}

TEST(SmbiosWalk, CountStopsAt65535Structures) {
    // 70000 two-byte structures: type 0 with formatted length 0, its header its own double zero.
    SmbiosTables tables;
    EXPECT_TRUE(Decode(tables, Record(Bytes(140000, 0))));
    EXPECT_EQ(tables.StructureCount(), 65535);
    EXPECT_EQ(tables.StructureOffset(65534), 2u * 65534);
    // Structures shorter than their header are walked over, not decoded.
    EXPECT_EQ(tables.Items()->rowCount, 0u);
}

TEST(SmbiosDecode, RowBudgetFailsTheWholeTable) {
    struct Case {
        const char* name;
        Bytes table;
        bool decoded;
    };
    const Bytes system = Structure(1, Bytes(0x1B - 4, 0));
    const Bytes baseBoard = Structure(2, Bytes(0x0F - 4, 0));
    const Bytes enclosure = Structure(3, Bytes(0x15 - 4, 0));
    std::vector<Bytes> sixtyProcessors = Repeat(kProcessor, 60);
    std::vector<Bytes> at494 = {kBios};  // 18 + 59 * 8 + 3 + 1 rows
    for (int i = 0; i < 59; ++i) at494.push_back(kProcessor);
    at494.push_back(baseBoard);
    at494.push_back(enclosure);
    auto plus = [](std::vector<Bytes> parts, const Bytes& last) {
        parts.push_back(last);
        parts.push_back(EndOfTable());
        return Join(parts);
    };
    sixtyProcessors.insert(sixtyProcessors.begin(), kBios);
    const Case cases[] = {
        {"one BIOS and 60 processors: 498 rows", plus(sixtyProcessors, EndOfTable()), true},
        {"one BIOS and 61 processors", plus(sixtyProcessors, kProcessor), false},
        {"System Information's six rows at row 494", plus(at494, system), false},
        {"one row at row 494", plus(at494, enclosure), true},
        {"five On Board devices at row 494", plus(at494, Structure(10, Bytes(10, 0))), false},
        {"two On Board devices at row 494", plus(at494, Structure(10, Bytes(4, 0))), true},
        {"six OEM strings at row 494", plus(at494, Structure(11, {6})), false},
        {"five OEM strings at row 494", plus(at494, Structure(11, {5})), true},
        {"255 OEM strings", Join({Structure(11, {255}), EndOfTable()}), true},
    };
    for (const Case& c : cases) {
        SmbiosTables tables;
        EXPECT_EQ(Decode(tables, Record(c.table)), c.decoded) << c.name;
        EXPECT_EQ(tables.TableLength() != 0, c.decoded) << c.name;
        EXPECT_LT(tables.Items()->rowCount, smbios::kMaxRows) << c.name;
    }
}

TEST(SmbiosDecode, GroupsCountersAndRanges) {
    const Bytes bios1 = kBios;
    const Bytes bios2 = Structure(0, {1}, {"Second"});
    const Bytes table = Join({bios1, kProcessor, bios2, Structure(11, {0}), kProcessor, Structure(21, {7, 4, 2}),
                              EndOfTable()});
    SmbiosTables tables;
    ASSERT_TRUE(Decode(tables, Record(table)));
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kGeneral), 6);
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kProcessor), 2);
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kPointingDevice), 1);
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kPortableBattery), 0);
    // The second BIOS structure took the slot over; OEM strings with no string is an empty range.
    const RowRange bios = tables.GeneralRange(GeneralEntry::kBios);
    EXPECT_EQ(bios.first, 26u);
    EXPECT_EQ(bios.end, 44u);
    EXPECT_EQ(Leaves(tables, bios).front(), "Vendor: Second");
    EXPECT_TRUE(tables.GeneralRange(GeneralEntry::kOemStrings).empty());
    EXPECT_TRUE(tables.GeneralRange(GeneralEntry::kSystem).empty());
    EXPECT_EQ(tables.InstanceRange(SmbiosGroup::kProcessor, 0).first, 18u);
    EXPECT_EQ(tables.InstanceRange(SmbiosGroup::kProcessor, 1).first, 44u);
    EXPECT_EQ(Leaves(tables, tables.InstanceRange(SmbiosGroup::kPointingDevice, 0)).front(), "Type: Touch Pad");
    EXPECT_TRUE(tables.InstanceRange(SmbiosGroup::kProcessor, 2).empty());
    // The heading of the row block.
    const smbios::ItemTable* items = tables.Items();
    EXPECT_EQ(items->columnCount, 2u);
    EXPECT_EQ(items->maxRows, 500u);
    EXPECT_EQ(Utf8(items->headings[0]), "Item");
    EXPECT_EQ(Utf8(items->headings[1]), "Value");
}

TEST(SmbiosDecode, InstancesBeyondTheHundredthAreLeftOut) {
    SmbiosTables tables;
    ASSERT_TRUE(Decode(tables, Record(Join(Repeat(kPort, 160)))));
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kPortConnector), smbios::kMaxInstances);
    EXPECT_EQ(tables.Items()->rowCount, 300u);
    EXPECT_EQ(tables.InstanceRange(SmbiosGroup::kPortConnector, 99).first, 297u);
    EXPECT_TRUE(tables.InstanceRange(SmbiosGroup::kPortConnector, 100).empty());
}

TEST(SmbiosDecode, SetUpAgainReusesTheTableAndStartsClean) {
    SmbiosTables tables;
    CountingSource source(Record(Join({kBios, kProcessor, EndOfTable()})));
    ASSERT_TRUE(tables.AllocateItemTable());
    ASSERT_TRUE(tables.SetUp(source));
    ASSERT_TRUE(tables.AllocateItemTable());
    ASSERT_TRUE(tables.SetUp(source));
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(tables.GroupCounter(SmbiosGroup::kProcessor), 1);
    EXPECT_EQ(tables.Items()->rowCount, 26u);
    // After the module let go of its blocks, the next set-up reads the table again.
    tables.Release();
    EXPECT_TRUE(tables.Items() == nullptr && !tables.HasRawTable() && tables.TableLength() == 0);
    ASSERT_TRUE(tables.AllocateItemTable());
    ASSERT_TRUE(tables.SetUp(source));
    EXPECT_EQ(source.reads, 2);

    // No table: nothing is read twice either, and the answer stays "Not Found".
    SmbiosTables none;
    CountingSource old(Record(Join({kBios, EndOfTable()}), 2, 3));
    ASSERT_TRUE(none.AllocateItemTable());
    EXPECT_FALSE(none.SetUp(old));
    EXPECT_EQ(none.TableLength(), 0u);
    EXPECT_EQ(none.GroupCounter(SmbiosGroup::kGeneral), 0);
}

TEST(SmbiosStrings, LookUpStaysInsideTheTable) {
    // A complete port connector, then a structure header whose strings run into the table's end.
    const Bytes table = Join({Structure(8, {0, 0, 1, 0, 0}, {"LAN"}), Bytes{8, 9, 0, 0, 0, 0, 1, 0, 0, 'A', 'B'}});
    SmbiosTables tables;
    CountingSource source(Record(table));
    ASSERT_TRUE(tables.ReadRawSmbiosTable(source));
    struct Case {
        std::uint32_t offset;
        std::uint8_t number;
        const char* text;  // null: no string
    } cases[] = {
        {0, 1, "LAN"}, {0, 0, nullptr}, {0, 2, nullptr}, {0, 255, nullptr},
        {14, 1, nullptr},  // "AB" is not terminated inside the table
        {static_cast<std::uint32_t>(table.size()) - 1, 1, nullptr},
        {static_cast<std::uint32_t>(table.size()), 1, nullptr},
        {0xFFFFFFFF, 1, nullptr},
    };
    for (const Case& c : cases) {
        const std::string_view found = tables.LookUpString(c.offset, c.number);
        if (c.text) {
            EXPECT_EQ(found, c.text) << c.offset << "/" << int(c.number);
        } else {
            EXPECT_EQ(found.data(), nullptr) << c.offset << "/" << int(c.number);
        }
    }
}

TEST(SmbiosStrings, ValuesAreCutAt259Characters) {
    const std::string longName(400, 'x');
    const std::vector<std::string> rows = RowsOf(Structure(8, {0, 0, 1, 0, 0}, {longName}));
    EXPECT_EQ(rows.at(0), "External Reference Designator: " + std::string(259, 'x'));
}

}  // namespace
}  // namespace smbios_tests
