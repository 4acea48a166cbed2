// The real Facet04 module loaded as the viewer loads it: what InitTabDLL accepts, and the page a
// session that cannot carry requests still gets, with the Windows facts from the platform.
#include <gtest/gtest.h>

#include <string>

#include "platform/native/sim_system_info.h"
#include "tabframe/tab_contract.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

class SetupModule : public LoadedModule {
public:
    SetupModule() : LoadedModule(QUARRO_MODULE_DIR, "Facet04") {}
};

TEST(SetupModule, RefusesToBuildWithoutASession) {
    SimMachine machine;
    SetupModule facet;
    EXPECT_EQ(facet.Init(nullptr), 0);
    const TabInitRecord noSession{0, kTabRefreshPeriod, nullptr, 0};
    EXPECT_EQ(facet.Init(&noSession), 0);
}

TEST(SetupModule, ASessionWithoutChannelStillBuildsThePage) {
    SimMachine machine("1.0.7.0");  // older than 1.0.8.0: the session opens without a channel
    pf::sim::SimSystemInfo system;
    system.SetLanguage(0x040C);
    system.SetMemory(4ull << 30);
    system.SetFile(u"c:\\UTIL\\version.doc", "Kestrel 2\n");
    pf::Services services;
    services.systemInfo = &system;
    const pf::ScopedOverride override(services);
    SetupModule facet;
    const TabInitRecord record{0, kTabRefreshPeriod, machine.Session(), 0};
    ASSERT_EQ(facet.Init(&record), 1);
    const std::string text = facet.Text(',');
    const std::string rule(119, '-');
    EXPECT_EQ(text,
              "[Setup]\r\n" + rule + "\r\n    :,Item,Value\r\n" + rule + "\r\n" +
                  "  1 :,Model No.,Unknown\r\n"
                  "  2 :,Serial No.,Unknown\r\n"
                  "  3 :,OS Version,Windows 7 64-bit edition Service Pack 1\r\n"
                  "  4 :, Pen and Touch,Disabled\r\n"
                  "  5 :,BIOS,Unknown\r\n"
                  "  6 :,Embedded Controller,Unknown\r\n"
                  "  7 :,Kestrel Version,Kestrel 2 \r\n"
                  "  8 :,Language,French\r\n"
                  "  9 :,System Memory,4194304 KBytes\r\n"
                  " 10 :,Legacy USB Support,Unknown\r\n"
                  " 11 :,Supervisor Password,Unknown\r\n"
                  " 12 :, User Password,Unknown\r\n\r\n\r\n");
}

}  // namespace
}  // namespace tab_tests
