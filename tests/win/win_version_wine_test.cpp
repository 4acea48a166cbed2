// CWinVersion through the real API path: the Windows version Wine reports is switched by the
// harness (winecfg -v) and named in QUARRO_WINE_VERSION.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/win_version.h"

namespace {

struct Expected {
    const char* wineVersion;
    int current;
    int earlier;
};

const Expected kExpected[] = {
    {"winxp64", 6, 6}, {"vista", 8, 8}, {"win7", 11, 11}, {"win8", 13, 13}, {"win81", 15, 13}, {"win10", -1, -1},
};

TEST(WinVersionOnWine, ClassifiesTheReportedVersion) {
    const char* version = std::getenv("QUARRO_WINE_VERSION");
    ASSERT_NE(version, nullptr) << "the harness names the version it set";
    const Expected* expected = nullptr;
    for (const auto& e : kExpected) {
        if (std::string(version) == e.wineVersion) expected = &e;
    }
    ASSERT_NE(expected, nullptr) << version;
    EXPECT_EQ(CWinVersion().OsType, expected->current);
    EXPECT_EQ(CWinVersion(CWinVersion::Form::Earlier).OsType, expected->earlier);
    // The x86_64 build runs on a 64-bit system.
    EXPECT_EQ(CWinVersion().Bitness, 2);
}

}  // namespace
