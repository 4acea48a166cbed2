#include <gtest/gtest.h>

#include <string>

#include "common/authority.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_os_identity.h"
#include "platform/native/sim_prompt.h"
#include "platform/native/sim_security.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;

namespace {

class WinVersionTest : public ::testing::Test {
protected:
    WinVersionTest() : os_(nullptr), security_(nullptr) {
        pf::Services s;
        s.os = &os_;
        s.registry = &registry_;
        s.prompt = &prompt_;
        s.security = &security_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
    }

    void SetSystem(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                   std::uint16_t architecture = pf::kProcessorArchitectureAmd64) {
        os_.version.platformId = platformId;
        os_.version.majorVersion = major;
        os_.version.minorVersion = minor;
        os_.version.productType = productType;
        os_.systemInfo.processorArchitecture = architecture;
    }

    sim::SimOsIdentity os_;
    sim::MemoryRegistry registry_;
    sim::SimPrompt prompt_;
    sim::SimSecurity security_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kServer = 3;

struct Row {
    std::uint32_t platformId, major, minor;
    std::uint8_t productType;
    std::uint16_t architecture;
    int current;
    int earlier;
};

TEST_F(WinVersionTest, ClassifiesEveryRowInBothForms) {
    const Row rows[] = {
        {0, 3, 10, 0, 0, 1, 1},
        {1, 4, 0, 0, 0, 2, 2},
        {1, 4, 9, 0, 0, 2, 2},
        {1, 4, 10, 0, 0, 3, 3},
        {1, 4, 89, 0, 0, 3, 3},
        {1, 4, 90, 0, 0, 7, 7},
        {2, 3, 51, 0, 0, 4, 4},
        {2, 4, 0, 0, 0, 4, 4},
        {2, 5, 0, kWorkstation, 0, 5, 5},
        {2, 5, 1, kWorkstation, 0, 6, 6},
        {2, 5, 2, kWorkstation, pf::kProcessorArchitectureAmd64, 6, 6},
        {2, 5, 2, kServer, pf::kProcessorArchitectureAmd64, 10, 10},
        {2, 5, 2, kWorkstation, pf::kProcessorArchitectureIntel, 10, 10},
        {2, 5, 2, kWorkstation, pf::kProcessorArchitectureIa64, 10, 10},
        {2, 6, 0, kWorkstation, 9, 8, 8},
        {2, 6, 0, kServer, 9, 9, 9},
        {2, 6, 1, kWorkstation, 9, 11, 11},
        {2, 6, 1, kServer, 9, 12, 12},
        {2, 6, 2, kWorkstation, 9, 13, 13},
        {2, 6, 2, kServer, 9, 14, 14},
        {2, 6, 3, kWorkstation, 9, 15, 13},
        {2, 6, 3, kServer, 9, 16, 14},
        {2, 6, 4, kWorkstation, 9, 15, 13},
        {2, 6, 9, kServer, 9, 16, 14},
        {2, 7, 0, kWorkstation, 9, -1, -1},
        {2, 10, 0, kWorkstation, 9, -1, -1},
        {2, 10, 0, kServer, 9, -1, -1},
        {3, 5, 0, 0, 0, 0, 0},  // Windows CE is none of ours
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "platform " << r.platformId << " " << r.major << "." << r.minor
                                        << " type " << int(r.productType) << " arch " << r.architecture);
        SetSystem(r.platformId, r.major, r.minor, r.productType, r.architecture);
        EXPECT_EQ(CWinVersion().OsType, r.current);
        EXPECT_EQ(CWinVersion(CWinVersion::Form::Earlier).OsType, r.earlier);
    }
}

TEST_F(WinVersionTest, FieldsOfAWindows7Notebook) {
    SetSystem(2, 6, 1, kWorkstation);
    os_.productType = 0x30;
    os_.tabletPc = 1;
    os_.starter = 1;
    const CWinVersion v;
    EXPECT_EQ(v.Bitness, 2);
    EXPECT_EQ(v.EditionFlags, CWinVersion::kEditionTabletPc | CWinVersion::kEditionStarter);
    EXPECT_EQ(v.ServicePackMajor, 1);
    EXPECT_EQ(std::u16string(v.ServicePackText), u"Service Pack 1");
    EXPECT_EQ(v.ProductType, 0x30u);
    EXPECT_TRUE(v.IsVistaFamilyClient());
}

TEST_F(WinVersionTest, EachEditionMetricSetsItsOwnBit) {
    const struct {
        int sim::SimOsIdentity::*metric;
        std::uint32_t bit;
    } rows[] = {
        {&sim::SimOsIdentity::tabletPc, 1u},     // SM_TABLETPC: bit 0
        {&sim::SimOsIdentity::mediaCenter, 2u},  // SM_MEDIACENTER: bit 1
        {&sim::SimOsIdentity::starter, 4u},      // SM_STARTER: bit 2
    };
    for (const auto& row : rows) {
        os_.tabletPc = os_.mediaCenter = os_.starter = 0;
        os_.*row.metric = 1;
        EXPECT_EQ(CWinVersion().EditionFlags, row.bit) << row.bit;
    }
}

TEST_F(WinVersionTest, BitnessFromTheNativeArchitecture) {
    const std::pair<std::uint16_t, int> cases[] = {{0, 1}, {6, 2}, {9, 2}, {10, 2}, {5, 0}, {12, 0}};
    for (const auto& [architecture, bitness] : cases) {
        os_.systemInfo.processorArchitecture = architecture;
        EXPECT_EQ(CWinVersion().Bitness, bitness) << architecture;
    }
    os_.hasNativeSystemInfo = false;
    os_.systemInfo.processorArchitecture = pf::kProcessorArchitectureAmd64;
    EXPECT_EQ(CWinVersion().Bitness, 0);
    // Without native information an NT 5.2 workstation cannot be known as XP x64.
    SetSystem(2, 5, 2, kWorkstation);
    EXPECT_EQ(CWinVersion().OsType, 10);
}

TEST_F(WinVersionTest, FailedQueriesLeaveZeroDefaults) {
    SetSystem(2, 6, 1, kWorkstation);
    os_.productType = 0x30;
    os_.versionFails = true;
    CWinVersion failed;
    EXPECT_EQ(failed.OsType, 0);
    EXPECT_EQ(failed.ServicePackMajor, 0);
    EXPECT_EQ(failed.ProductType, 0u);

    os_.versionFails = false;
    os_.extendedVersionFails = true;
    CWinVersion halfFailed;
    EXPECT_EQ(halfFailed.OsType, 0);
    EXPECT_EQ(halfFailed.ProductType, 0u);  // the zeroed record has no major version 6

    os_.extendedVersionFails = false;
    os_.hasProductInfo = false;
    EXPECT_EQ(CWinVersion().ProductType, 0u);
}

TEST_F(WinVersionTest, LongServicePackTextIsCut) {
    for (auto& unit : os_.version.csdVersion) unit = u'x';
    const CWinVersion v;
    EXPECT_EQ(std::u16string(v.ServicePackText), std::u16string(127, u'x'));
}

TEST_F(WinVersionTest, ConfirmSupportedOsAsksOnlyOnAFutureSystem) {
    const char16_t* text = u"This application does not support current version of Windows.\nDo you want to continue launching this application?";
    SetSystem(2, 6, 1, kWorkstation);
    EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, text, u"Quarro"), 1);
    EXPECT_TRUE(prompt_.shown.empty());

    SetSystem(2, 10, 0, kWorkstation);
    EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, text, u"Quarro"), 0) << "No is the default answer";
    ASSERT_EQ(prompt_.shown.size(), 1u);
    EXPECT_EQ(prompt_.shown[0].text, text);
    EXPECT_EQ(prompt_.shown[0].caption, u"Quarro");
    EXPECT_EQ(prompt_.shown[0].style, pf::kMbYesNo | pf::kMbIconWarning | pf::kMbDefButton2 | pf::kMbTopMost);

    prompt_.answerOverride = pf::kIdYes;
    EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, text, u"Quarro"), 1);
    EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, nullptr, u"Quarro"), 1);
    EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, text, nullptr), 1);
    EXPECT_EQ(prompt_.shown.size(), 2u);
}

TEST_F(WinVersionTest, DisableFutureOsWarningCountsOnlyAsDword1In64BitView) {
    SetSystem(2, 10, 0, kWorkstation);
    struct Setting {
        const char16_t* path;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::uint32_t view;
        int expected;
    };
    const Setting settings[] = {
        {u"SOFTWARE\\Mirelta\\Common", pf::kRegDword, {1, 0, 0, 0}, pf::kKeyWow64_64Key, 1},
        {u"SOFTWARE\\Mirelta\\Common", pf::kRegDword, {2, 0, 0, 0}, pf::kKeyWow64_64Key, 0},
        {u"SOFTWARE\\Mirelta\\Common", pf::kRegSz, {'1', 0, 0, 0}, pf::kKeyWow64_64Key, 0},
        {u"SOFTWARE\\Mirelta\\Common", pf::kRegDword, {1, 0, 0, 0}, pf::kKeyWow64_32Key, 0},
    };
    for (const Setting& s : settings) {
        sim::MemoryRegistry fresh;
        pf::Services replacement;
        replacement.registry = &fresh;
        pf::ScopedOverride scoped(replacement);
        pf::RegKey key = 0;
        ASSERT_EQ(fresh.CreateKey(pf::kHkeyLocalMachine, s.path, pf::kKeyAllAccess | s.view, &key, nullptr), 0);
        fresh.SetValue(key, u"DisableFutureOSWarning", s.type, s.data.data(), static_cast<std::uint32_t>(s.data.size()));
        fresh.CloseKey(key);
        EXPECT_EQ(CWinVersion().ConfirmSupportedOs(0, u"text", u"Quarro"), s.expected)
            << "type " << s.type << " view " << s.view;
    }
}

TEST_F(WinVersionTest, AdministratorTest) {
    security_.administrator = true;
    EXPECT_EQ(CAuthority().IsAdministrator(), 1);
    security_.administrator = false;
    EXPECT_EQ(CAuthority().IsAdministrator(), 0);
    security_.administrator = true;
    security_.checkFails = true;
    EXPECT_EQ(CAuthority().IsAdministrator(), 0);
}

}  // namespace
