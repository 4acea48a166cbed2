// The Setup tab's rows: every row form and branch against a scripted firmware, the identity texts
// and the row limits.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tabs/setup/setup_rows.h"

namespace {

using namespace setup_tab;

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// A firmware answering from tables; anything not listed is not answered.
struct ScriptedFirmware : ISetupFirmware {
    struct Value { std::uint32_t value; std::uint8_t bits; };
    std::map<std::uint32_t, Value> settings;
    std::map<std::uint32_t, std::vector<std::uint8_t>> records;
    std::optional<std::uint8_t> featureLevel, antenna, environmentControl, slotCount;
    std::optional<std::vector<std::uint8_t>> ecVersion;
    std::map<std::uint32_t, std::uint8_t> ec;
    std::vector<std::vector<std::uint8_t>> environmentStatus;  // one per request, the last repeats
    std::map<std::pair<int, int>, std::pair<std::uint16_t, std::vector<std::uint8_t>>> devices;  // state, names
    std::map<std::pair<int, int>, std::uint16_t> instanceCounts;
    std::map<std::uint32_t, std::uint32_t> uefi;
    std::optional<std::uint16_t> bootKind;
    std::vector<std::uint16_t> bootLayout;
    std::vector<std::uint8_t> priority, bootTable;
    std::optional<std::vector<std::uint8_t>> password;
    std::vector<std::uint8_t> docking;
    int replicatorStatus = -1;
    std::vector<std::uint8_t> replicator;
    std::map<std::uint32_t, std::uint32_t> slots;
    int statusRequests = 0;

    bool Setting(std::uint32_t n, std::uint32_t* value, std::uint8_t* bits) override {
        auto it = settings.find(n);
        if (it == settings.end()) return false;
        *value = it->second.value & ((1ull << it->second.bits) - 1);
        *bits = it->second.bits;
        return true;
    }
    bool ModelRecord(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) override {
        auto it = records.find(type);
        if (it == records.end()) return false;
        for (std::size_t i = 0; i < it->second.size() && i < size; ++i) buffer[i] = it->second[i];
        return true;
    }
    bool BiosConfiguration(bool, std::uint16_t*) override { return false; }
    bool ExtensionTable(std::uint16_t, std::uint8_t*, std::uint32_t) override { return false; }
    bool FeatureLevel(std::uint8_t* level) override { return featureLevel && (*level = *featureLevel, true); }
    bool EcVersion(std::uint8_t v[5]) override {
        if (!ecVersion) return false;
        for (int i = 0; i < 5; ++i) v[i] = (*ecVersion)[i];
        return true;
    }
    bool EcRegister(std::uint32_t address, std::uint8_t* value) override {
        auto it = ec.find(address);
        return it != ec.end() && (*value = it->second, true);
    }
    bool MeFirmware(std::uint16_t*) override { return false; }
    bool OperatingTime(std::uint32_t* hours) override { return *hours = 1237, true; }
    bool DeviceEntry(std::uint16_t device, std::uint16_t instance, std::uint16_t values[4],
                     std::vector<std::uint8_t>* names) override {
        auto it = devices.find({device, instance});
        if (it == devices.end()) return false;
        values[0] = it->second.first;
        auto count = instanceCounts.find({device, 0});
        values[1] = count == instanceCounts.end() ? 1 : count->second;
        *names = it->second.second;
        return true;
    }
    bool EnvironmentControl(std::uint8_t* r) override { return environmentControl && (*r = *environmentControl, true); }
    bool EnvironmentStatus(std::uint8_t bytes[2]) override {
        if (environmentStatus.empty()) return false;
        const auto& answer = environmentStatus[std::min<std::size_t>(statusRequests++, environmentStatus.size() - 1)];
        bytes[0] = answer[0];
        bytes[1] = answer[1];
        return true;
    }
    bool AntennaKind(std::uint8_t* kind) override { return antenna && (*kind = *antenna, true); }
    bool UefiBoot(std::uint32_t n, std::uint32_t* value) override {
        auto it = uefi.find(n);
        return it != uefi.end() && (*value = it->second, true);
    }
    bool BootOrderKind(std::uint16_t* v) override { return bootKind && (*v = *bootKind, true); }
    bool BootTableLayout(std::uint16_t layout[4]) override {
        if (bootLayout.size() != 4) return false;
        for (int i = 0; i < 4; ++i) layout[i] = bootLayout[i];
        return true;
    }
    bool BootPriorities(std::vector<std::uint8_t>* p, std::vector<std::uint8_t>* t) override {
        *p = priority;
        *t = bootTable;
        return true;
    }
    bool PasswordData(std::vector<std::uint8_t>* data, std::uint32_t* length) override {
        if (!password) return false;
        *data = *password;
        *length = static_cast<std::uint32_t>(password->size());
        return true;
    }
    bool DockingState(std::uint8_t* s, std::uint8_t* u, std::uint8_t* a) override {
        if (docking.size() != 3) return false;
        *s = docking[0], *u = docking[1], *a = docking[2];
        return true;
    }
    int PortReplicatorFirmware(std::uint8_t bytes[4]) override {
        for (std::size_t i = 0; i < replicator.size() && i < 4; ++i) bytes[i] = replicator[i];
        return replicatorStatus;
    }
    bool MemorySlotCount(std::uint8_t* count) override { return slotCount && (*count = *slotCount, true); }
    bool MemorySlotInfo(std::uint32_t slot, std::uint32_t* info) override {
        auto it = slots.find(slot);
        return it != slots.end() && (*info = it->second, true);
    }
    bool Spd(std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16]) override {
        for (int i = 0; i < 16; ++i) data[i] = static_cast<std::uint8_t>(slot * 0x40 + offset + i);
        return true;
    }
};

const std::map<std::uint32_t, std::string> kTexts = {
    {6, "1"}, {100, "Disabled"}, {101, "Enabled"}, {102, "Auto"}, {153, "USB2.0"}, {154, "USB3.0"},
    {999, "Unknown"}, {702, "Touch Pad"}, {708, "Wireless LAN"}, {715, "USB Port"}, {732, "USB3.0 Port"},
    {176, "Boot Option"}, {164, "Hard Disk"}, {171, "USB KEY"}, {292, "Slot No."}, {173, " hours"},
};

struct Page {
    std::vector<std::pair<std::string, std::string>> rows;
    std::optional<std::string> Value(const std::string& name) const {
        for (const auto& [n, v] : rows) {
            if (n == name) return v;
        }
        return std::nullopt;
    }
    int Index(const std::string& name) const {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].first == name) return static_cast<int>(i);
        }
        return -1;
    }
};

Page Build(ISetupFirmware* fw, SetupFacts facts = {}, int prefilled = 0, std::string selector = "1") {
    auto table = tabframe::ListTable::Create(kColumns, kColumnCount, kRowCapacity);
    for (int i = 0; i < prefilled; ++i) table->AppendRow();
    FillSetupRows(
        *table, fw, facts,
        [&](std::uint32_t id) {
            if (id == 6) return std::u16string(selector.begin(), selector.end());
            auto it = kTexts.find(id);
            const std::string s = it != kTexts.end() ? it->second : "#" + std::to_string(id);
            return std::u16string(s.begin(), s.end());
        },
        [](std::string_view s) { return std::u16string(s.begin(), s.end()); });
    Page page;
    for (int i = prefilled; i < table->RowCount(); ++i) {
        page.rows.emplace_back(Narrow(table->Field(i, 0)), Narrow(table->Field(i, 1)));
    }
    return page;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(SetupText, ModelSerialBiosAndEcFormats) {
    struct { const char* record; const char* text; } models[] = {
        {"AB12345", "AB-12345"}, {"AB-12345", "AB-12345"}, {"NB7420C2BKEA", "NB-7420C2BKEA"}, {"A", "A"}, {"", ""},
    };
    for (const auto& m : models) {
        EXPECT_EQ(Narrow(ModelNumberText(reinterpret_cast<const std::uint8_t*>(m.record), std::strlen(m.record) + 1)), m.text)
            << m.record;
    }
    struct { std::uint32_t n; const char* text; } serials[] = {
        {4660, "ABCDE04660"}, {99999, "ABCDE99999"}, {100000, ""}, {0, "ABCDE00000"}, {0xFFFFFF, ""},
    };
    for (const auto& s : serials) {
        const std::uint8_t record[8] = {'A', 'B', 'C', 'D', 'E', static_cast<std::uint8_t>(s.n % 256),
                                        static_cast<std::uint8_t>((s.n / 256) & 0xFF),
                                        static_cast<std::uint8_t>(s.n / 65536)};
        EXPECT_EQ(Narrow(SerialNumberText(record)), s.text) << s.n;
    }
    struct { std::uint8_t b[5]; const char* text; } bios[] = {
        {{2, 0x20, 0x13, 0, 9}, "V2.20L13 "}, {{2, 0x20, 0x13, 'B', 0}, "V2.20L13B"},
        {{2, 0x20, 0x13, 0, 0x12}, "V2.20L13 M12"}, {{2, 0x20, 0x13, 'B', 0x12}, "V2.20L13B M12"},
    };
    for (const auto& b : bios) EXPECT_EQ(Narrow(BiosVersionText(b.b)), b.text);
    struct { std::uint8_t v[5]; const char* text; } ecs[] = {
        {{1, 0x20, 0x05, 'A', 15}, "V1.20L05A"}, {{1, 0x20, 0x05, ' ', 16}, "V1.20L05 M10"},
        {{0xA, 0x20, 0x05, 'A', 0x21}, "VA.20L05A M21"},
    };
    for (const auto& e : ecs) EXPECT_EQ(Narrow(EcVersionText(e.v)), e.text);
}

TEST(SetupText, OperatingSystemDescriptions) {
    struct Case { std::int16_t os; std::uint32_t product; std::uint32_t edition; std::uint16_t suite; bool amd64;
                  const char* sp; const char* text; };
    const Case cases[] = {
        {11, 0x30, 0, 0, true, "Service Pack 1", "Windows 7 Professional 64-bit edition Service Pack 1"},
        {11, 0x99, 0, 0, false, "", "Windows 7"},
        {15, 0x30, 0, 0, true, "", "Windows 8.1 Pro 64-bit edition"},
        {8, 0x06, 0, 0, false, "Service Pack 2", "Windows Vista Business Service Pack 2"},
        {13, 0xABCDABCD, 0, 0, false, "", "Windows 8 (UNLICENSED)"},
        {6, 0, 1, 0, false, "Service Pack 3", "Windows XP Tablet PC Edition Service Pack 3"},
        {6, 0, 0, 0x200, false, "Service Pack 3", "Windows XP Home Edition Service Pack 3"},
        {6, 0, 0, 0, true, "Service Pack 2", "Windows XP Professional x64 Edition Service Pack 2"},
        {5, 0, 0, 0, false, "Service Pack 4", "Windows 2000 Service Pack 4"},
        {12, 0, 0, 0, true, "Service Pack 1", "Windows Server 2008 R2"},
        {-1, 0, 0, 0, false, "", ""},
    };
    for (const Case& c : cases) {
        SetupFacts f;
        f.osKnown = true;
        f.osType = c.os;
        f.productType = c.product;
        f.editionFlags = c.edition;
        f.suiteMask = c.suite;
        f.amd64 = c.amd64;
        f.servicePack = std::u16string(c.sp, c.sp + std::char_traits<char>::length(c.sp));
        EXPECT_EQ(Narrow(OsDescription(f)), c.text) << c.os << " " << c.product;
    }
}

TEST(SetupText, LanguagesVersionDocAndOwnNames) {
    EXPECT_STREQ(LanguageName(0x0409), "English");
    EXPECT_STREQ(LanguageName(0x0411), "Japanese");
    EXPECT_STREQ(LanguageName(0x040C), "French");
    EXPECT_STREQ(LanguageName(0x0404), "Chinese (Traditional)");
    EXPECT_STREQ(LanguageName(0x0416), "Portuguese (Brazilian)");
    EXPECT_STREQ(LanguageName(0x0000), "Language Neutral");
    EXPECT_EQ(LanguageName(0x0C16), nullptr);
    EXPECT_EQ(LanguageName(0x03FF), nullptr);

    EXPECT_EQ(VersionDocText("Kestrel 3.1\r\nBuild 7\n"), "Kestrel 3.1 Build 7 ");
    std::string eleven;
    for (int i = 0; i < 11; ++i) eleven += std::to_string(i) + "\n";
    EXPECT_EQ(VersionDocText(eleven), "0 1 2 3 4 5 6 7 8 9 ");
    EXPECT_EQ(VersionDocText(std::string(300, 'x')).size(), 300u);  // long lines are read in 259-character pieces

    // tag, length, text: English 1, French 3, Japanese wide 5
    std::vector<std::uint8_t> names = {1, 3, 'L', 'A', 'N', 3, 6, 'R', 0xE9, 's', 'e', 'a', 'u', 5, 4, 0xC0, 0x30, 0xC1, 0x30};
    const AnsiDecoder latin = [](std::string_view s) {
        std::u16string w;
        for (char c : s) w.push_back(static_cast<unsigned char>(c));
        return w;
    };
    EXPECT_EQ(DeviceOwnName(names, u"1", latin), u"LAN");
    EXPECT_EQ(DeviceOwnName(names, u"3", latin), u"R\u00E9seau");
    EXPECT_EQ(DeviceOwnName(names, u"2", latin), u"\u30C0\u30C1");
    names.resize(5);
    EXPECT_EQ(DeviceOwnName(names, u"2", latin), u"");
    EXPECT_EQ(DeviceOwnName({1, 200, 'X'}, u"1", latin), u"");  // a length beyond the data
}

TEST(SetupRows, SettingForms) {
    struct Case { std::uint32_t setting; ScriptedFirmware::Value value; const char* name; std::optional<std::string> shown; };
    const Case cases[] = {
        // two-state (setting 56 "Power On AC": Disabled, Enabled)
        {56, {0, 2}, "#235", "Disabled"}, {56, {1, 2}, "#235", "Enabled"},
        {56, {2, 2}, "#235", std::nullopt}, {56, {3, 2}, "#235", std::nullopt},
        // table (87 DisEnAuto, 3 entries) with a top "not present" bit
        {87, {2, 3}, "#242", "Auto"}, {87, {3, 3}, "#242", "Unknown"}, {87, {4, 3}, "#242", std::nullopt},
        {87, {1, 1}, "#242", std::nullopt},
        // four-state (45: Compatible, -, -, AHCI)
        {45, {3, 3}, "#243", "#136"}, {45, {1, 3}, "#243", "Unknown"}, {45, {4, 3}, "#243", std::nullopt},
        {45, {8, 4}, "#243", "Unknown"},
        // three-state (2 " Hard Disk Lock": Disabled, Enabled)
        {2, {1, 2}, "#279", "Enabled"}, {2, {2, 2}, "#279", "Unknown"},
        // bit-field, 4 bits (106 " Trigger Key")
        {106, {2, 8}, "#286", "#123"}, {106, {9, 8}, "#286", std::nullopt}, {106, {0x13, 8}, "#286", "#124"},
        {106, {2, 3}, "#286", std::nullopt},
    };
    for (const Case& c : cases) {
        ScriptedFirmware fw;
        fw.settings[c.setting] = c.value;
        EXPECT_EQ(Build(&fw).Value(c.name), c.shown) << c.setting << " value " << c.value.value;
    }
    // A table value at the table's size: 95 PerfSaving has 2 entries.
    ScriptedFirmware fw;
    fw.settings[95] = {2, 3};
    EXPECT_EQ(Build(&fw).Value("#224"), "Unknown");
    // Legacy USB Support shows "Unknown" when it cannot be read; other settings are left out.
    ScriptedFirmware none;
    const Page page = Build(&none);
    EXPECT_EQ(page.Value("#249"), "Unknown");
    EXPECT_EQ(page.Value("#235"), std::nullopt);
    // Fn/Ctrl: string 606 when the reply has bit 2.
    ScriptedFirmware fn;
    fn.settings[36] = {4, 3};
    EXPECT_EQ(Build(&fn).Value("#606"), "#105");
    fn.settings[36] = {1, 3};
    EXPECT_EQ(Build(&fn).Value("#460"), "#126");
}

TEST(SetupRows, DeviceRows) {
    ScriptedFirmware fw;
    fw.devices[{32, 0}] = {2, {}};
    fw.devices[{2, 0}] = {1, {}};
    fw.devices[{8, 0}] = {2, {1, 4, 'W', 'L', 'A', 'N'}};
    fw.devices[{15, 0}] = {2, {}};
    fw.devices[{15, 1}] = {7, {}};
    fw.instanceCounts[{15, 0}] = 2;
    fw.devices[{34, 0}] = {1, {1, 3, 'P', 'R', '3'}};
    Page page = Build(&fw);
    EXPECT_EQ(page.Value(" USB3.0 Port"), "USB3.0");
    EXPECT_EQ(page.Value(" PR3"), "USB2.0");
    EXPECT_EQ(page.Value("Touch Pad"), "Disabled");
    EXPECT_EQ(page.Value("WLAN"), "Enabled");
    EXPECT_EQ(page.Value("USB Port A"), "Enabled");
    EXPECT_EQ(page.Value("USB Port B"), "Unknown");
    EXPECT_EQ(page.Value("#215"), std::nullopt);  // the table was read: no "Pointing Device"
    // Order: device 15 before 32 before 34 as listed.
    EXPECT_LT(page.Index("USB Port B"), page.Index(" USB3.0 Port"));
    EXPECT_LT(page.Index(" USB3.0 Port"), page.Index(" PR3"));

    ScriptedFirmware noTable;
    noTable.settings[30] = {2, 2};
    EXPECT_EQ(Build(&noTable).Value("#215"), "Auto");
}

TEST(SetupRows, IdentityRows) {
    ScriptedFirmware fw;
    fw.records[1] = Bytes("AB12345");
    fw.records[2] = {'A', 'B', 'C', 'D', 'E', 0x34, 0x12, 0};
    fw.records[3] = {2, 0x20, 0x13, 0, 0x12};
    fw.settings[40] = {1, 2};
    fw.featureLevel = 3;
    fw.ecVersion = std::vector<std::uint8_t>{1, 0x20, 5, 'A', 0};
    SetupFacts facts;
    facts.osType = 11;
    facts.editionFlags = 1;
    facts.uiLanguage = 0x0409;
    facts.totalPhysicalBytes = 8ull << 30;
    facts.versionDocOpened = true;
    facts.versionDoc = "K 1.0\n";
    const Page page = Build(&fw, facts);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"#200", "AB-12345"}, {"#201", "ABCDE04660"}, {"#202", "Unknown"}, {"#205", "Enabled"},
        {"#206", "V2.20L13 M12"}, {"#209", "V1.20L05A"}, {"#211", "K 1.0 "}, {"#212", "English"},
        {"#213", "8388608 KBytes"}, {"#214", "1230 hours"},
    };
    ASSERT_GE(page.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(page.rows[i], expected[i]) << i;

    // The controller's old register path, and the kinds that show "Unknown".
    ScriptedFirmware old;
    old.ec = {{255, 0}, {253, 0x12}, {254, 0x07}};
    EXPECT_EQ(Build(&old).Value("#209"), "V1.20L07");
    old.ec = {{255, 'B'}, {253, 0x21}, {250, 0x30}, {254, 0x04}, {251, 0x20}};
    EXPECT_EQ(Build(&old).Value("#209"), "V1.30L04B M20");
    old.ec.erase(251);
    EXPECT_EQ(Build(&old).Value("#209"), "Unknown");
    old.featureLevel = 2;
    EXPECT_EQ(Build(&old).Value("#209"), "Unknown");

    // Without a session: identity rows say "Unknown", firmware rows are left out.
    const Page bare = Build(nullptr, facts);
    EXPECT_EQ(bare.Value("#200"), "Unknown");
    EXPECT_EQ(bare.Value("#209"), "Unknown");
    EXPECT_EQ(bare.Value("#213"), "8388608 KBytes");
    EXPECT_EQ(bare.Value("#249"), "Unknown");
    EXPECT_EQ(bare.Value("#287"), std::nullopt);
}

TEST(SetupRows, EnvironmentBranches) {
    struct Case { std::optional<std::uint8_t> control; std::uint32_t value; std::vector<std::vector<std::uint8_t>> status;
                  std::vector<std::pair<std::string, std::string>> rows; };
    const Case cases[] = {
        {std::nullopt, 1, {}, {{"#257", "#144"}}},
        {0, 2, {{0x81, 0}}, {{"#259", "Enabled"}, {"#257", "Auto"}, {"#262", "#144"}}},
        {0, 2, {{0x01, 0}, {0xC1, 1}}, {{"#259", "Disabled"}, {"#257", "Auto"}, {"#260", "#144"}, {"#261", "#144"}}},
        {0, 2, {}, {{"#257", "Auto"}, {"#262", "Unknown"}}},
        {1, 2, {{0x81, 0}}, {{"#258", "Auto"}, {"#262", "#146"}}},
        {1, 2, {{0x80, 0}}, {{"#258", "Auto"}, {"#262", "Unknown"}}},
        {1, 0, {{0x81, 0}}, {{"#258", "#145"}}},
    };
    for (const Case& c : cases) {
        ScriptedFirmware fw;
        fw.environmentControl = c.control;
        fw.settings[8] = {c.value, 2};
        fw.environmentStatus = c.status;
        Page page = Build(&fw);
        std::vector<std::pair<std::string, std::string>> got;
        for (const auto& row : page.rows) {
            if (row.first >= "#257" && row.first <= "#262") got.push_back(row);
        }
        EXPECT_EQ(got, c.rows) << c.value;
    }
}

TEST(SetupRows, AntennaBootPasswordReplicatorAndMemory) {
    ScriptedFirmware fw;
    fw.antenna = 1;
    fw.settings[90] = {3, 4};
    fw.settings[91] = {5, 4};
    fw.settings[116] = {1, 3};
    fw.settings[113] = {0, 3};
    fw.uefi = {{0, 1}, {2, 0}, {3, 5}};
    fw.bootKind = 770;
    fw.bootLayout = {3, 2, 2, 4};
    fw.priority = {1, 0, 0, 0, 9, 0};
    fw.bootTable = {2, 0, 0, 0, 0x05, 0x05, 0, 0};
    fw.password = std::vector<std::uint8_t>{1, 0};
    fw.docking = {1, 3, 2};
    fw.replicatorStatus = 0;
    fw.replicator = {0x12, 0x34, 'C', 0};
    fw.slotCount = 2;
    fw.slots = {{0, 0x0000FF81}, {1, 0x00001FC2}};
    const Page page = Build(&fw);
    EXPECT_EQ(page.Value("#231"), "#114");
    EXPECT_EQ(page.Value("#232"), "#115");
    EXPECT_EQ(page.Value("#230"), std::nullopt);
    const std::vector<std::pair<std::string, std::string>> boot = {
        {"#265", "Enabled"}, {"#266", "Enabled"}, {"#268", "Disabled"}, {"#269", "Unknown"}, {"#270", ""},
        {" Boot Option #1", "USB KEY"}, {" Boot Option #2", "Hard Disk"}, {" Boot Option #3", "Disabled"},
    };
    const int csm = page.Index("#265");
    ASSERT_GE(csm, 0);
    for (std::size_t i = 0; i < boot.size(); ++i) EXPECT_EQ(page.rows[csm + i], boot[i]) << i;
    EXPECT_EQ(page.Value("#276"), "Enabled");
    EXPECT_EQ(page.Value("#278"), "Disabled");
    EXPECT_EQ(page.Value("#287"), "#155");
    EXPECT_EQ(page.Value("#288"), "#159");
    EXPECT_EQ(page.Value("#289"), "#163");
    EXPECT_EQ(page.Value("#290"), "V1.20L34C");
    const int memory = page.Index("#291");
    ASSERT_GE(memory, 0);
    const std::vector<std::pair<std::string, std::string>> rows(page.rows.begin() + memory, page.rows.end());
    ASSERT_EQ(rows.size(), 2u + 8u + 1u + 2u);  // 128 SPD bytes for slot 0, 0x1F + 1 for slot 1
    EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{"#291", "2"}));
    EXPECT_EQ(rows[1], (std::pair<std::string, std::string>{"Slot No. 0", "1 0 0 0 8"}));
    EXPECT_EQ(rows[2].first, "       SPD  0");
    EXPECT_EQ(rows[9], (std::pair<std::string, std::string>{"       SPD 112",
                                                              "70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F"}));
    EXPECT_EQ(rows[10], (std::pair<std::string, std::string>{"Slot No. 1", "0 1 0 0 12"}));
    EXPECT_EQ(rows[12].first, "       SPD 16");

    // Password data that is not usable falls back to settings 0 and 29; undocked stops early.
    ScriptedFirmware fallback;
    fallback.password = std::vector<std::uint8_t>{};
    fallback.settings[0] = {3, 2};
    fallback.docking = {0, 3, 2};
    const Page other = Build(&fallback);
    EXPECT_EQ(other.Value("#276"), "Enabled");
    EXPECT_EQ(other.Value("#278"), "Unknown");
    EXPECT_EQ(other.Value("#287"), "#156");
    EXPECT_EQ(other.Value("#288"), std::nullopt);
    EXPECT_EQ(other.Value("#230"), std::nullopt);  // one antenna, but setting 90 not readable
}

TEST(SetupRows, RowLimits) {
    ScriptedFirmware fw;
    fw.records[1] = Bytes("AB12345");
    fw.settings[56] = {1, 2};
    fw.slotCount = 1;
    fw.slots = {{0, 0x81}};
    fw.docking = {1, 0, 0};
    EXPECT_TRUE(Build(&fw, {}, 199).rows.empty());
    // 196 rows already: the replicator rows are left out but nothing else fails.
    const Page nearFull = Build(&fw, {}, 190);
    EXPECT_EQ(nearFull.rows.size(), 9u);
    EXPECT_EQ(nearFull.Value("#287"), std::nullopt);
    // From 175 rows on there are no memory rows.
    fw.slotCount = 1;
    const Page late = Build(&fw, {}, 170);
    EXPECT_EQ(late.Value("#291"), std::nullopt);
}

}  // namespace
