// One table of battery-concern calls that runs natively on a simulated machine without battery
// bays and under Wine on the real class-driver path (Wine has no batteries). A row that differs
// is a bug in the simulation or a Windows fact we had wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/battery.h"
#include "platform/last_error.h"
#include "platform/platform.h"

#ifndef _WIN32
#include "platform/sim/sim_batteries.h"
#endif

namespace pf = quarro::platform;

namespace {

pf::IBatteries& Batteries() {
#ifdef _WIN32
    return pf::Batteries();
#else
    static const auto absent = pf::sim::MakeAbsentBatteries();
    return *absent;
#endif
}

struct Case {
    const char* what;
    std::uint32_t flags;
    std::uint32_t index;
};

TEST(BatteryDifferential, AMachineWithoutBatteriesListsNone) {
    const Case cases[] = {
        {"interfaces", pf::kBatterySetInterfaces, 0},
        {"present interfaces", pf::kBatterySetInterfaces | pf::kBatterySetPresent, 0},
        {"a later index", pf::kBatterySetInterfaces, 5},
    };
    for (const Case& c : cases) {
        pf::OwnedBatterySet set(Batteries(), Batteries().OpenSet(c.flags));
        ASSERT_TRUE(set) << c.what;
        std::u16string path = u"unchanged";
        EXPECT_FALSE(Batteries().InterfacePath(set.Get(), c.index, &path)) << c.what;
        EXPECT_EQ(pf::GetLastErrorCode(), 259u) << c.what;  // ERROR_NO_MORE_ITEMS
        EXPECT_EQ(path, u"unchanged") << c.what;
    }
}

TEST(BatteryDifferential, AMissingBayDoesNotOpen) {
    const char16_t* paths[] = {u"\\\\?\\ACPI#PNP0C0A#7#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}",
                               u"\\\\?\\QUARRO#NO_SUCH_BATTERY#0#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"};
    for (const char16_t* path : paths) {
        pf::OwnedBattery battery(Batteries(), Batteries().Open(path));
        EXPECT_FALSE(battery);
        EXPECT_EQ(pf::GetLastErrorCode(), 2u);  // ERROR_FILE_NOT_FOUND
    }
}

}  // namespace
