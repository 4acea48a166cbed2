// The programs tabs' tables: the maker test, both registry views, the InstallShield skip, the
// maker's own versions, the installed updates and the limits.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tabs/programs/programs_table.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

using programs_tab::Programs;

enum View { k64, k32 };

// ".reg" text for one key with string values (dword values are written as given after "dword:").
std::string Key(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values = {}) {
    auto quote = [](const std::string& s) {
        std::string out = "\"";
        for (char c : s) {
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
        return out + "\"";
    };
    std::string text = "[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
    for (const auto& [name, value] : values) {
        text += quote(name) + "=" + (value.rfind("dword:", 0) == 0 ? value : quote(value)) + "\r\n";
    }
    return text + "\r\n";
}

std::string Uninstall(View view, const std::string& key, const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string root = view == k64 ? "SOFTWARE\\" : "SOFTWARE\\Wow6432Node\\";
    return Key(root + "Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key, values);
}

std::string Maker(View view, const std::string& maker, const std::string& below,
                  const std::vector<std::pair<std::string, std::string>>& values = {}) {
    const std::string root = view == k64 ? "SOFTWARE\\" : "SOFTWARE\\Wow6432Node\\";
    return Key(root + maker + (below.empty() ? "" : "\\" + below), values);
}

std::vector<Row> Fill(Programs which, bool amd64) {
    auto table = tabframe::ListTable::Create(
        which == Programs::kMicrosoft ? programs_tab::kPrograms1Columns : programs_tab::kPrograms2Columns, 2);
    EXPECT_TRUE(table);
    programs_tab::FillProgramRows(*table, which, amd64);
    return Rows(*table);
}

struct Case {
    const char* behaviour;
    std::string registry;
    bool amd64;
    std::vector<Row> programs1;
    std::vector<Row> programs2;
};

const std::string kGuid = "{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}";
const std::string k259(259, 'p');
const std::string k260(260, 'p');
const std::string kVersion60(60, '9');

const std::vector<Case> kCases = {
    {"the publisher decides when it reads; the tests are case-sensitive",
     Uninstall(k32, "A", {{"Publisher", "Microsoft Corporation"}, {"DisplayName", "Security Essentials"},
                          {"DisplayVersion", "4.4.304.0"}}) +
         Uninstall(k32, "B", {{"Publisher", "Mirelta Corporation"}, {"DisplayName", "Windows Helper"},
                              {"DisplayVersion", "1.0"}}) +
         Uninstall(k32, "C", {{"Publisher", "microsoft"}, {"DisplayName", "Tool"}}),
     true,
     {{"Security Essentials", "4.4.304.0"}},
     {{"Windows Helper", "1.0"}, {"Tool", ""}}},
    {"without a publisher the display name decides: Microsoft, MSDN or Windows, case-sensitively",
     Uninstall(k32, "K1", {{"DisplayName", "microsoft tool"}}) +
         Uninstall(k32, "K2", {{"DisplayName", "MSDN Library"}, {"DisplayVersion", "9.0"}}) +
         Uninstall(k32, "K3", {{"DisplayName", "Windows Driver Package - Mirelta (MrlFnKey) System"}}) +
         Uninstall(k32, "K4", {{"DisplayName", "windows tool"}}) +
         Uninstall(k32, "K5", {{"DisplayName", "Microsoftware"}}) +
         Uninstall(k32, "K6", {{"DisplayName", "Msdn Viewer"}}),
     true,
     {{"MSDN Library", "9.0"}, {"Windows Driver Package - Mirelta (MrlFnKey) System", ""}, {"Microsoftware", ""}},
     {{"microsoft tool", ""}, {"windows tool", ""}, {"Msdn Viewer", ""}}},
    {"a program without a display name is in neither list",
     Uninstall(k32, "A", {{"Publisher", "Microsoft Corporation"}, {"DisplayVersion", "1"}}) +
         Uninstall(k32, "B", {{"Publisher", "Mirelta"}, {"UninstallString", "x"}}) + Uninstall(k32, "C", {}) +
         Uninstall(k32, "D", {{"DisplayName", "dword:00000001"}}),
     true,
     {},
     {}},
    {"a subkey named InstallShield_ and a braced GUID is in neither list",
     Uninstall(k32, "InstallShield_" + kGuid, {{"Publisher", "Mirelta"}, {"DisplayName", "Media Creator"}}) +
         Uninstall(k32, "InstallShield_{12345678-9abc-def0-1234-56789abcdef0",
                   {{"Publisher", "Microsoft"}, {"DisplayName", "No Brace"}}) +
         Uninstall(k32, "InstallShield_1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11",
                   {{"Publisher", "Mirelta"}, {"DisplayName", "Brace Missing"}}) +
         Uninstall(k32, "InstallShield_{1F9E2E0B}", {{"Publisher", "Mirelta"}, {"DisplayName", "Short"}}) +
         Uninstall(k32, kGuid, {{"Publisher", "Mirelta"}, {"DisplayName", "Media Creator"}}),
     true,
     {},
     {{"Brace Missing", ""}, {"Short", ""}, {"Media Creator", ""}}},
    {"on AMD64 the 64-bit view comes first and a program in both views is listed twice",
     Uninstall(k64, "ZME", {{"Publisher", "Intel Corporation"}, {"DisplayName", "Intel ME"}, {"DisplayVersion", "8.1"}}) +
         Uninstall(k32, "AJava", {{"Publisher", "Oracle"}, {"DisplayName", "Java 7"}, {"DisplayVersion", "7.0"}}) +
         Uninstall(k32, "ZME", {{"Publisher", "Intel Corporation"}, {"DisplayName", "Intel ME"}, {"DisplayVersion", "8.1"}}) +
         Uninstall(k64, "Office", {{"Publisher", "Microsoft"}, {"DisplayName", "Office 64"}}) +
         Uninstall(k32, "Office", {{"Publisher", "Microsoft"}, {"DisplayName", "Office 32"}}),
     true,
     {{"Office 64", ""}, {"Office 32", ""}},
     {{"Intel ME", "8.1"}, {"Java 7", "7.0"}, {"Intel ME", "8.1"}}},
    {"elsewhere only the default (32-bit) view is read",
     Uninstall(k64, "ZME", {{"Publisher", "Intel Corporation"}, {"DisplayName", "Intel ME"}, {"DisplayVersion", "8.1"}}) +
         Uninstall(k32, "AJava", {{"Publisher", "Oracle"}, {"DisplayName", "Java 7"}, {"DisplayVersion", "7.0"}}) +
         Uninstall(k64, "Office", {{"Publisher", "Microsoft"}, {"DisplayName", "Office 64"}}),
     false,
     {},
     {{"Java 7", "7.0"}}},
    {"a value named like the program under the maker's key is its version, 64-bit view first on AMD64",
     Maker(k64, "Mirelta", "", {{"Power Saver", "3.1.2.0"}}) + Maker(k32, "Mirelta", "", {{"Power Saver", "3.1.1.0"}}) +
         Maker(k32, "Mirelta", "", {{"Office", "0.0"}}) +
         Uninstall(k32, "PS", {{"Publisher", "Mirelta"}, {"DisplayName", "Power Saver"}, {"DisplayVersion", "3.1.0.0"}}) +
         Uninstall(k32, "Office", {{"Publisher", "Microsoft"}, {"DisplayName", "Office"}, {"DisplayVersion", "14.0"}}),
     true,
     {{"Office", "14.0"}},
     {{"Power Saver", "3.1.2.0"}}},
    {"off AMD64 the maker's value is read in the default view only",
     Maker(k64, "Mirelta", "", {{"Power Saver", "3.1.2.0"}}) + Maker(k32, "Mirelta", "", {{"Power Saver", "3.1.1.0"}}) +
         Uninstall(k32, "PS", {{"Publisher", "Mirelta"}, {"DisplayName", "Power Saver"}, {"DisplayVersion", "3.1.0.0"}}),
     false,
     {},
     {{"Power Saver", "3.1.1.0"}}},
    {"on AMD64 a maker's value in the default view alone still counts",
     Maker(k32, "Mirelta", "", {{"Power Saver", "3.1.1.0"}}) +
         Uninstall(k32, "PS", {{"Publisher", "Mirelta"}, {"DisplayName", "Power Saver"}, {"DisplayVersion", "3.1.0.0"}}),
     true,
     {},
     {{"Power Saver", "3.1.1.0"}}},
    {"the maker's version value works without an uninstall string, in both passes",
     Maker(k64, "Mirelta", "", {{"Tool", "5.0"}}) + Uninstall(k64, "T", {{"Publisher", "X"}, {"DisplayName", "Tool"}}) +
         Uninstall(k32, "T", {{"Publisher", "X"}, {"DisplayName", "Tool"}, {"DisplayVersion", "4.0"}}),
     true,
     {},
     {{"Tool", "5.0"}, {"Tool", "5.0"}}},
    {"the maker's version subkey counts only for a program with an uninstall string",
     Maker(k32, "Mirelta", "Tool A\\2.0") + Maker(k32, "Mirelta", "Tool B\\2.0") +
         Uninstall(k32, "A", {{"Publisher", "Mirelta"}, {"DisplayName", "Tool A"}, {"DisplayVersion", "1.0"},
                              {"UninstallString", "uninstall.exe"}}) +
         Uninstall(k32, "B", {{"Publisher", "Mirelta"}, {"DisplayName", "Tool B"}, {"DisplayVersion", "1.0"}}),
     true,
     {},
     {{"Tool A", "2.0"}, {"Tool B", "1.0"}}},
    {"the partner's key after the maker's; the name matches exactly; the first subkey is the version",
     Maker(k32, "Mirelta", "phone suite\\9.9") + Maker(k32, "Sorvane", "Phone Suite\\2.3.1.5") +
         Maker(k32, "Sorvane", "Phone Suite\\2.3.0.0") +
         Uninstall(k32, "P", {{"Publisher", "Sorvane Inc."}, {"DisplayName", "Phone Suite"},
                              {"DisplayVersion", "2.0"}, {"UninstallString", "x"}}),
     true,
     {},
     {{"Phone Suite", "2.3.0.0"}}},
    {"a matching subkey without a subkey yields nothing: the partner's key, then DisplayVersion",
     Maker(k32, "Mirelta", "Quarro") + Maker(k32, "Sorvane", "Quarro\\7.0") + Maker(k32, "Mirelta", "Almanac") +
         Uninstall(k32, "Q", {{"Publisher", "Mirelta"}, {"DisplayName", "Quarro"}, {"DisplayVersion", "1.0.0.0"},
                              {"UninstallString", "x"}}) +
         Uninstall(k32, "R", {{"Publisher", "Mirelta"}, {"DisplayName", "Almanac"}, {"DisplayVersion", "1.0.0.0"},
                              {"UninstallString", "x"}}),
     true,
     {},
     {{"Quarro", "7.0"}, {"Almanac", "1.0.0.0"}}},
    {"the subkey rules look in the pass's own view",
     Maker(k32, "Mirelta", "Driver\\1.0.900.0") +
         Uninstall(k64, "D", {{"Publisher", "Mirelta"}, {"DisplayName", "Driver"}, {"DisplayVersion", "1.0"},
                              {"UninstallString", "x"}}),
     true,
     {},
     {{"Driver", "1.0"}}},
    {"Programs1 takes DisplayVersion even where the maker's keys name the program",
     Maker(k32, "Mirelta", "", {{"Office", "0.0"}}) + Maker(k32, "Mirelta", "Office\\0.1") +
         Uninstall(k32, "O", {{"Publisher", "Microsoft"}, {"DisplayName", "Office"}, {"DisplayVersion", "14.0"},
                              {"UninstallString", "x"}}),
     true,
     {{"Office", "14.0"}},
     {}},
    {"names must fit 259 characters to read; versions are cut to 49; other types give no version",
     Uninstall(k32, "A", {{"Publisher", "X"}, {"DisplayName", k259}, {"DisplayVersion", kVersion60}}) +
         Uninstall(k32, "B", {{"Publisher", "X"}, {"DisplayName", k260}}) +
         Uninstall(k32, "C", {{"Publisher", "X"}, {"DisplayName", "Dword"}, {"DisplayVersion", "dword:00000002"}}),
     true,
     {},
     {{k259, kVersion60.substr(0, 49)}, {"Dword", ""}}},
};

TEST(ProgramsTable, ListsEachProgramInItsTab) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.behaviour);
        SimMachine machine;
        machine.Registry(c.registry);
        EXPECT_EQ(Fill(Programs::kMicrosoft, c.amd64), c.programs1);
        EXPECT_EQ(Fill(Programs::kOthers, c.amd64), c.programs2);
        EXPECT_EQ(machine.Reg().OpenHandleCount(), 0u) << "every key is closed";
    }
}

// The registry with a script for EnumKey: each enumeration can begin with a subkey whose name
// does not fit the caller's buffer (ERROR_MORE_DATA, as a name of 260 characters or more would
// give), and the n-th call can throw.
class ScriptedRegistry : public sim::MemoryRegistry {
public:
    long EnumKey(pf::RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override {
        if (++calls == throwAt) throw std::runtime_error("enumeration fails");
        if (!tooLongFirst) return MemoryRegistry::EnumKey(key, index, name, nameChars);
        if (index == 0) return pf::kErrorMoreData;
        return MemoryRegistry::EnumKey(key, index - 1, name, nameChars);
    }
    int calls = 0;
    int throwAt = 0;
    bool tooLongFirst = false;
};

class ProgramsOnScriptedRegistry : public ::testing::Test {
protected:
    void Load(const std::string& text) {
        std::string error;
        ASSERT_TRUE(sim::LoadRegFile("Windows Registry Editor Version 5.00\r\n\r\n" + text, registry_, &error)) << error;
    }
    SimMachine machine_;
    ScriptedRegistry registry_;
    const pf::ScopedOverride use_{[this] {
        pf::Services services;
        services.registry = &registry_;
        return services;
    }()};
};

TEST_F(ProgramsOnScriptedRegistry, ASubkeyNameTooLongIsPassedOverAndTheListingGoesOn) {
    Load(Uninstall(k32, "A", {{"Publisher", "X"}, {"DisplayName", "Ordinary"}, {"DisplayVersion", "2.0"}}) +
         Uninstall(k32, "B", {{"Publisher", "X"}, {"DisplayName", "Next"}}));
    registry_.tooLongFirst = true;
    EXPECT_EQ(Fill(Programs::kOthers, false), (std::vector<Row>{{"Ordinary", "2.0"}, {"Next", ""}}));
}

TEST_F(ProgramsOnScriptedRegistry, AnExceptionLeavesNoKeyOpen) {
    Load(Maker(k32, "Mirelta", "Tool\\1.0") +
         Uninstall(k32, "A", {{"Publisher", "Mirelta"}, {"DisplayName", "Tool"}, {"UninstallString", "x"}}) +
         Uninstall(k32, "B", {{"Publisher", "X"}, {"DisplayName", "Other"}}));
    EXPECT_EQ(Fill(Programs::kOthers, false), (std::vector<Row>{{"Tool", "1.0"}, {"Other", ""}}));
    const int calls = registry_.calls;
    ASSERT_GT(calls, 4) << "the walks over the uninstall key, the maker's key and the program's key";
    for (int n = 1; n <= calls; ++n) {
        registry_.calls = 0;
        registry_.throwAt = n;
        auto table = tabframe::ListTable::Create(programs_tab::kPrograms2Columns, 2);
        EXPECT_THROW(programs_tab::FillProgramRows(*table, Programs::kOthers, false), std::runtime_error) << n;
        EXPECT_EQ(registry_.OpenHandleCount(), 0u) << "thrown at enumeration " << n;
    }
}

TEST(ProgramsTable, NoUninstallKeyAddsNothing) {
    SimMachine machine;
    EXPECT_TRUE(Fill(Programs::kMicrosoft, true).empty());
    EXPECT_TRUE(Fill(Programs::kOthers, true).empty());
}

TEST(ProgramsTable, StopsAtFiveHundredRowsOverBothPasses) {
    SimMachine machine;
    std::string reg;
    for (int i = 0; i < 300; ++i) {
        const std::string key = "P" + std::to_string(1000 + i);
        reg += Uninstall(k64, key, {{"Publisher", "Microsoft"}, {"DisplayName", "A" + key}});
        reg += Uninstall(k32, key, {{"Publisher", "Microsoft"}, {"DisplayName", "B" + key}});
    }
    machine.Registry(reg);
    const auto rows = Fill(Programs::kMicrosoft, true);
    ASSERT_EQ(rows.size(), 500u);
    EXPECT_EQ(rows[299][0], "AP1299");
    EXPECT_EQ(rows[300][0], "BP1000");
    EXPECT_EQ(rows[499][0], "BP1199");
}

// ---- Installed updates ---------------------------------------------------------------------

pf::HotfixObject Fix(const char* id, const char* description) {
    pf::HotfixObject object;
    object.hotFixIdIsString = id != nullptr;
    if (id) object.hotFixId = U(id);
    object.descriptionIsString = description != nullptr;
    if (description) object.description = U(description);
    return object;
}

std::vector<Row> Updates(SimMachine& machine, std::int16_t osType, int rowsBefore = 0) {
    auto table = tabframe::ListTable::Create(programs_tab::kPrograms1Columns, 2);
    for (int i = 0; i < rowsBefore; ++i) table->SetField(table->AppendRow(), 0, u"program");
    programs_tab::FillUpdateRows(*table, pf::Hotfixes(), osType);
    auto rows = Rows(*table);
    rows.erase(rows.begin(), rows.begin() + rowsBefore);
    (void)machine;
    return rows;
}

TEST(ProgramsUpdates, RowsAreIdentifierBlankDescriptionAndGuidIdentifiersAreSkipped) {
    SimMachine machine;
    machine.Hotfixes({Fix("KB2534111", "Hotfix"), Fix("{A0C1F415-D2CE-4DDC-9B48-14E56FD55162}", "Update"),
                      Fix("{a0c1f415-d2ce-4ddc-9b48-14e56fd55162", "Update"), Fix("KB2506014", nullptr),
                      Fix(nullptr, "Security Update"), Fix("", "Update"), Fix("{KB976902}", "Update"),
                      Fix(std::string(300, 'K').c_str(), "Long"), Fix("KB1", std::string(300, 'd').c_str())});
    EXPECT_EQ(Updates(machine, 11),
              (std::vector<Row>{{"KB2534111 Hotfix", ""},
                                {"KB2506014 ", ""},
                                {"{KB976902} Update", ""},
                                {std::string(259, 'K'), ""},
                                {"KB1 " + std::string(255, 'd'), ""}}));
}

TEST(ProgramsUpdates, AFullTableAsksNothingAndAFillingTableStops) {
    SimMachine machine;
    machine.Hotfixes({Fix("KB1", "a"), Fix("KB2", "b"), Fix("KB3", "c"), Fix("KB4", "d")});
    EXPECT_TRUE(Updates(machine, 11, 500).empty());
    EXPECT_EQ(machine.HotfixService().Visited(), 0u);
    EXPECT_EQ(Updates(machine, 11, 498), (std::vector<Row>{{"KB1 a", ""}, {"KB2 b", ""}}));
    EXPECT_EQ(machine.HotfixService().Visited(), 3u) << "the third object finds the table full and ends the walk";
}

TEST(ProgramsUpdates, UnreachableWmiAddsNothing) {
    SimMachine machine;
    machine.Hotfixes({Fix("KB1", "a")});
    machine.HotfixService().SetAvailable(false);
    EXPECT_TRUE(Updates(machine, 11).empty());
}

TEST(ProgramsGuidScan, ReadsAsSwscanfReadsTheEightGroups) {
    struct Scan {
        const char* text;
        const char* prefix;
        bool guid;
    };
    const Scan kScans[] = {
        {"{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "", true},
        {"{1f9e2e0b-4f37-4b2c-9a4d-0c4f5e7d2a11}", "", true},
        {"{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11", "", true},      // the closing brace is not looked at
        {"{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}x", "", true},
        {"{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A1}", "", true},      // a group may be shorter
        {"{1-2-3-4-5-6}", "", false},                             // groups 1/2 and 6/7/8 run together
        {"{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D}", "", false},         // seven groups
        {"{1F9E2E0B4F37-4B2C-9A4D-0C4F5E7D2A11}", "", false},      // a dash missing
        {"{ 1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "", true},     // blanks before a group are skipped
        {"{+1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "", false},    // the sign takes a place of the four
        {"{0x1F0x2E-0x4F-0x4B-0x9A-0x0C0x5E0x2A}", "", true},      // and so does "0x"
        {"{G1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "", false},
        {"KB2534111", "", false},
        {"", "", false},
        {"{}", "", false},
        {"InstallShield_{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "InstallShield_", true},
        {"installshield_{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "InstallShield_", false},
        {"InstallShield{1F9E2E0B-4F37-4B2C-9A4D-0C4F5E7D2A11}", "InstallShield_", false},
        {"InstallShield_", "InstallShield_", false},
    };
    for (const auto& scan : kScans) {
        EXPECT_EQ(programs_tab::ScansAsBracedGuid(U(scan.text), U(scan.prefix)), scan.guid) << scan.text;
    }
}

}  // namespace
}  // namespace tab_tests
