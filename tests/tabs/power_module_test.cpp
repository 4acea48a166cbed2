// The real Facet08 module against simulated power libraries: the three ways of collecting over
// one snapshot (the OS identity switched), the fixture machines, and what happens when parts of
// the library are missing. Reports are compared byte for byte with tests/expected/ (Windows 7 on the
// default notebook is the section the viewer's report holds, facet08_fixed.txt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/native/sim_security.h"
#include "platform/power.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/sim_power.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

const TabInitRecord kRecord{0, kTabRefreshPeriod, nullptr, 0};

std::string SourcePath(const std::string& relative) { return std::string(QUARRO_SOURCE_DIR) + "/" + relative; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

sim::SimPowerModel PowerOf(const std::string& folder) {
    std::string error;
    auto machine = sim::MachineSnapshot::Load(SourcePath(folder), &error);
    EXPECT_TRUE(machine) << error;
    std::vector<std::string> problems;
    const nlohmann::json* section = machine ? machine->Section("power") : nullptr;
    EXPECT_TRUE(section);
    sim::SimPowerModel model = section ? sim::ParsePowerSection(*section, &problems) : sim::SimPowerModel();
    EXPECT_TRUE(problems.empty()) << problems.front();
    return model;
}

// The simulated machine with a power library and an administrator flag, Facet08 loaded on it.
class PowerMachine {
public:
    PowerMachine(sim::SimPowerModel model, std::uint32_t major, std::uint32_t minor, bool administrator = true)
        : power_(std::move(model)) {
        machine_.Windows(major, minor);
        security_.administrator = administrator;
        pf::Services services;
        services.power = &power_;
        services.security = &security_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }
    sim::SimPower& Power() { return power_; }

        std::string Report(char separator = 0) {
        LoadedModule facet(QUARRO_MODULE_DIR, "Facet08");
        EXPECT_EQ(facet.Init(&kRecord), 1);
        return facet.Text(separator);
    }

private:
    SimMachine machine_;
    sim::SimPower power_;
    sim::SimSecurity security_{nullptr};
    std::unique_ptr<pf::ScopedOverride> override_;
};

// Checks a report against a file of tests/expected/ (rewritten instead when QUARRO_WRITE_EXPECTED
// is set).
void ExpectFile(const std::string& text, const std::string& name) {
    const std::string path = SourcePath("tests/expected/" + name);
    if (std::getenv("QUARRO_WRITE_EXPECTED")) std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(text, ReadFile(path)) << name;
}

struct PathCase {
    const char* machine;
    std::uint32_t major, minor;
    bool administrator;
    const char* expected;
    // Lines the section must hold (the edge cases the file shows among the others).
    std::vector<const char*> lines;
};

const PathCase kPaths[] = {
    // One snapshot, the OS identity switched: the three ways of collecting and the later words.
    {"machines/default", 6, 1, true, "facet08_fixed.txt",
     {"Power plan                         Balanced\r\n",
      "Mirelta Power Saver-Keyboard backlight off after \r\n"}},
    {"machines/default", 6, 2, true, "power/default_windows8.txt", {"Low battery notification           \r\n"}},
    {"machines/default", 6, 0, true, "power/default_vista.txt",
     {"Desktop background settings-Slide show \r\n", "Start menu power button            \r\n"}},
    {"machines/default", 5, 1, true, "power/default_xp.txt", {"Power scheme                       Portable/Laptop\r\n"}},
    // The fixture machines.
    {"tests/machines/power-vista", 6, 0, true, "power/vista.txt",
     {"    On Battery                     Never\r\n",           // 59 s
      "    Plugged in                     1 Minute\r\n",        // 60 s
      "    Plugged in                     10 Minutes\r\n",      // 600 s
      "    On Battery                     Unknown\r\n",         // battery level 101
      "Start menu power button            \r\n"
      "    On Battery                     Shut down\r\n"}},     // raw 2
    {"tests/machines/power-xp", 5, 1, true, "power/xp_administrator.txt",
     {"Lid close action                   Unknown\r\n"}},       // action 1
    {"tests/machines/power-xp", 5, 1, false, "power/xp_user.txt", {"Power scheme                       Not Found\r\n"}},
    {"tests/machines/power-desktop", 6, 1, true, "power/desktop.txt",
     {"Turn off the display               Never\r\n"}},         // 0 s, one row without batteries
};

TEST(PowerModule, ReportsEachWayOfCollectingByteForByte) {
    for (const PathCase& c : kPaths) {
        SCOPED_TRACE(c.expected);
        PowerMachine machine(PowerOf(c.machine), c.major, c.minor, c.administrator);
        const std::string text = machine.Report();
        ExpectFile(text, c.expected);
        for (const char* line : c.lines) EXPECT_NE(text.find(line), std::string::npos) << line;
        EXPECT_EQ(machine.Power().OpenSessions(), 0) << "the library stays loaded after the collection";
    }
}

TEST(PowerModule, DesktopWithoutBatteriesHasNoBatteryRows) {
    PowerMachine machine(PowerOf("tests/machines/power-desktop"), 6, 1);
    const std::string text = machine.Report();
    for (const char* absent : {"On Battery", "Plugged in", "battery", "Reserve"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    }
}

// Parts of the library missing or failing: which rows remain.
struct FailureCase {
    const char* what;
    void (*change)(sim::SimPowerModel&);
    int initResult;
    std::vector<std::string> mustHave;
    std::vector<std::string> mustNotHave;
};

void Missing(sim::SimPowerModel& m, pf::PowerFunction f) { m.missing[static_cast<int>(f)] = true; }

const FailureCase kFailures[] = {
    {"capabilities unreadable", [](sim::SimPowerModel& m) { m.capabilitiesReadable = false; }, 0, {}, {}},
    {"no library", [](sim::SimPowerModel& m) { m.libraryPresent = false; }, 1,
     {"Power plan                         Unknown\r\n\r\n\r\n"}, {"Turn off"}},
    {"no active plan (as under Wine)", [](sim::SimPowerModel& m) { m.hasActivePlan = false; }, 1,
     {"Power plan                         Unknown\r\n\r\n\r\n"}, {}},
    {"active-scheme function missing",
     [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kGetActiveScheme); }, 1,
     {"Power plan                         Unknown\r\n\r\n\r\n"}, {}},
    {"friendly names missing", [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kReadFriendlyName); }, 1,
     {"Power plan                         Unknown\r\n", "Unknown-Unknown"}, {"Power plan                         Balanced"}},
    {"mains values missing", [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kReadAcValueIndex); }, 1,
     {"Turn off the display               \r\n    On Battery                     5 Minutes\r\nTurn off hard"},
     {"Plugged in"}},
    {"enumeration missing: no further settings",
     [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kEnumerate); }, 1, {"Slide show"},
     {"Internet Explorer"}},
    {"unit texts missing: possible-value names instead",
     [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kReadValueUnitsSpecifier); }, 1,
     {"Internet Explorer-JavaScript Timer Frequency \r\n    On Battery                     Maximum Power Savings"},
     {"60 Seconds"}},
    {"attributes missing: hidden settings shown",
     [](sim::SimPowerModel& m) { Missing(m, pf::PowerFunction::kReadSettingAttributes); }, 1,
     {"Windows ReadyDrive", "Mirelta Power Saver-Service interval"}, {}},
};

TEST(PowerModule, MissingPartsOfTheLibraryLeaveTheirRowsOut) {
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.what);
        sim::SimPowerModel model = PowerOf("machines/default");
        c.change(model);
        PowerMachine machine(std::move(model), 6, 1);
        LoadedModule facet(QUARRO_MODULE_DIR, "Facet08");
        ASSERT_EQ(facet.Init(&kRecord), c.initResult);
        if (c.initResult == 0) continue;
        const std::string text = facet.Text();
        for (const std::string& s : c.mustHave) EXPECT_NE(text.find(s), std::string::npos) << s;
        for (const std::string& s : c.mustNotHave) EXPECT_EQ(text.find(s), std::string::npos) << s;
    }
}

// A plan with more further settings than the table holds: with batteries no item begins after
// row 197, so the last one ends exactly at 200; without, the table fills to 200.
TEST(PowerModule, FurtherSettingsStopAtTheRowCapacity) {
    for (const bool batteries : {true, false}) {
        SCOPED_TRACE(batteries ? "batteries" : "no batteries");
        sim::SimPowerModel model = PowerOf("machines/default");
        model.capabilities.batteries = batteries;
        sim::SimPowerSubgroup extra;
        pf::ParsePowerGuid("11111111-2222-3333-4444-555555555555", &extra.guid);
        extra.name = u"Extra";
        for (std::uint32_t i = 0; i < 250; ++i) {
            sim::SimPowerSetting setting;
            setting.guid = extra.guid;
            setting.guid.data1 = 0x70000000 + i;
            setting.name = u"S" + U(std::to_string(i));
            setting.hasUnit = true;
            setting.unit = u"x";
            extra.settings.push_back(setting);
            sim::SimPowerValue value;
            value.subgroup = extra.guid;
            value.setting = setting.guid;
            value.hasAc = value.hasDc = true;
            model.plans[0].values.push_back(value);
        }
        model.subgroups.push_back(extra);
        PowerMachine machine(std::move(model), 6, 1);
        const std::string text = machine.Report(',');
        int lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
        const int rows = lines - 6;  // four heading lines, two closing ones
        EXPECT_LE(rows, 200);
        EXPECT_GT(rows, batteries ? 197 : 199);
        const std::string body = text.substr(0, text.size() - 4);  // without the closing empty line
        const std::string last = body.substr(body.rfind("\r\n", body.size() - 3) + 2);
        EXPECT_EQ(last.substr(0, batteries ? 15 : 7), batteries ? "    Plugged in," : "Extra-S") << last;
    }
}

}  // namespace
}  // namespace tab_tests
