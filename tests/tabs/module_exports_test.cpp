// The real Facet01, Facet02 and Facet03 modules, loaded as the viewer loads them, against the
// simulated machine: what InitTabDLL accepts and the report text GetStringData gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tabframe/tab_contract.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

const std::string kRule(119, '-');

// A product module from bin/.
class Module : public LoadedModule {
public:
    explicit Module(const char* name) : LoadedModule(QUARRO_MODULE_DIR, name) {}
};

// The rows of a comma-separated section: everything after the heading, without the numbers.
std::vector<std::string> CommaRows(const std::string& text) {
    std::vector<std::string> rows;
    std::size_t at = 0;
    for (int line = 0; at < text.size(); ++line) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        const std::string row = text.substr(at, end - at);
        at = end + 2;
        if (line < 4 || row.empty()) continue;
        rows.push_back(row.substr(row.find(",") + 1));
    }
    return rows;
}

TEST(DriversModule, RefusesToBuildWithoutTheViewersSession) {
    SimMachine machine;
    Module facet("Facet01");
    EXPECT_EQ(facet.Init(nullptr), 0);
    const TabInitRecord noSession{0, kTabRefreshPeriod, nullptr, 0};
    EXPECT_EQ(facet.Init(&noSession), 0);
}

TEST(DriversModule, WithoutADeviceSetReportsOneUnknownRow) {
    SimMachine machine;
    machine.Inventory().SetAvailable(false);
    Module facet("Facet01");
    const TabInitRecord record{0, kTabRefreshPeriod, machine.Session(), 0};
    ASSERT_EQ(facet.Init(&record), 1);
    EXPECT_EQ(facet.Text(),
              "[Version(Drivers)]\r\n" + kRule + "\r\n" +
                  "    : Provider                 Name                                                       "
                  "Version          Type            \r\n" +
                  kRule + "\r\n" +
                  "  1 : Unknown                  Unknown                                                    "
                  "Unknown          Unknown         \r\n\r\n\r\n");
    EXPECT_EQ(facet.Text('\t'), "[Version(Drivers)]\r\n" + kRule + "\r\n    :\tProvider\tName\tVersion\tType\r\n" +
                                    kRule + "\r\n  1 :\tUnknown\tUnknown\tUnknown\tUnknown\r\n\r\n\r\n");
}

TEST(ProgramsModules, ListUpdatesAfterProgramsOnTheSystemsThatHaveThem) {
    struct System {
        std::uint32_t major, minor;
        std::uint8_t productType;
        bool updates;
    };
    const System kSystems[] = {{6, 1, 1, true},  {6, 0, 1, true},  {6, 2, 1, true},  {10, 0, 1, true},
                               {6, 3, 1, false}, {6, 1, 3, false}, {5, 1, 1, false}};
    for (const auto& system : kSystems) {
        SCOPED_TRACE(std::to_string(system.major) + "." + std::to_string(system.minor) + " type " +
                     std::to_string(system.productType));
        SimMachine machine;
        machine.Windows(system.major, system.minor, system.productType);
        machine.Registry(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MSE]\r\n"
            "\"Publisher\"=\"Microsoft Corporation\"\r\n\"DisplayName\"=\"Microsoft Security Essentials\"\r\n"
            "\"DisplayVersion\"=\"4.4.304.0\"\r\n");
        pf::HotfixObject update;
        update.hotFixIdIsString = update.descriptionIsString = true;
        update.hotFixId = u"KB2534111";
        update.description = u"Hotfix";
        machine.Hotfixes({update});
        Module facet("Facet02");
        const TabInitRecord record{1, kTabRefreshPeriod, nullptr, 0};
        ASSERT_EQ(facet.Init(&record), 1) << "the programs tabs need no session";
        std::vector<std::string> expected = {"Microsoft Security Essentials,4.4.304.0"};
        if (system.updates) expected.push_back("KB2534111 Hotfix,");
        EXPECT_EQ(CommaRows(facet.Text(',')), expected);
        EXPECT_EQ(machine.HotfixService().Visited(), system.updates ? 1u : 0u) << "WMI is asked only where it counts";
    }
}

TEST(ProgramsModules, FiveHundredMicrosoftProgramsLeaveNoRoomForUpdates) {
    SimMachine machine;
    std::string reg;
    for (int i = 0; i < 500; ++i) {
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P" + std::to_string(i) +
               "]\r\n\"Publisher\"=\"Microsoft\"\r\n\"DisplayName\"=\"Program " + std::to_string(i) + "\"\r\n\r\n";
    }
    machine.Registry(reg);
    pf::HotfixObject update;
    update.hotFixIdIsString = true;
    update.hotFixId = u"KB2534111";
    machine.Hotfixes({update});
    Module facet("Facet02");
    const TabInitRecord record{1, kTabRefreshPeriod, nullptr, 0};
    ASSERT_EQ(facet.Init(&record), 1);
    const auto rows = CommaRows(facet.Text(','));
    EXPECT_EQ(rows.size(), 500u);
    EXPECT_EQ(machine.HotfixService().Visited(), 0u);
}

TEST(ProgramsModules, Programs2HasItsOwnHeadAndColumns) {
    SimMachine machine;
    machine.Registry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q]\r\n"
        "\"Publisher\"=\"Mirelta Corporation\"\r\n\"DisplayName\"=\"Quarro\"\r\n\"DisplayVersion\"=\"1.0.0.0\"\r\n");
    Module facet("Facet03");
    ASSERT_EQ(facet.Init(nullptr), 1);
    EXPECT_EQ(facet.Text(), "[Version(Programs2)]\r\n" + kRule + "\r\n    : " + std::string("Name") +
                                std::string(88, ' ') + " Version         \r\n" + kRule + "\r\n  1 : Quarro" +
                                std::string(86, ' ') + " 1.0.0.0         \r\n\r\n\r\n");
}

}  // namespace
}  // namespace tab_tests
