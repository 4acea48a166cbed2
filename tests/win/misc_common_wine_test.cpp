// The driver session in the Windows build under Wine, in snapshot mode (QUARRO_MACHINE names the
// default notebook): the device comes from the snapshot's simulated driver, while the registry the
// driver writes is Wine's real one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/driver_reg.h"
#include "common/misc_common.h"
#include "common/misc_functions.h"
#include "common/reg.h"
#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/win32/device_interfaces_win32.h"
#include "platform/utf8.h"

namespace mc = MiscCommon;
namespace pf = quarro::platform;

namespace {

const char16_t* const kTestKey = u"SOFTWARE\\Mirelta\\QuarroWineTest";

// Without a snapshot the real device would be asked for, which a test machine does not have:
// skipped then. A snapshot that was named but did not load is a failure.
#define REQUIRE_SNAPSHOT()                                                                        \
    do {                                                                                          \
        if (!pf::Machine()) {                                                                     \
            ASSERT_EQ(std::getenv("QUARRO_MACHINE"), nullptr) << pf::MachineLoadError();          \
            GTEST_SKIP() << "runs with QUARRO_MACHINE only";                                      \
        }                                                                                         \
    } while (0)

TEST(MiscCommonOnWine, SessionThroughTheSnapshotDriver) {
    REQUIRE_SNAPSHOT();

    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess) << pf::Utf16ToUtf8(session.GetLastErrorText());
    EXPECT_TRUE(session.HasCipher());
    int major = 0, minor = 0, build = 0, revision = 0;
    session.GetDriverVersion(&major, &minor, &build, &revision);
    EXPECT_TRUE(session.IsDriverVersionAtLeast(1, 0, 800, 0)) << major << "." << minor << "." << build;

    char model[258] = {};
    std::uint32_t size = sizeof(model);
    ASSERT_EQ(session.GetModelNumber(1, model, &size), mc::kMiscSuccess);
    EXPECT_EQ(std::string(model, size), "NB7420C2BKEA");

    std::uint8_t ec[5] = {}, status = 0xEE;
    ASSERT_EQ(mc::GetEcVersion_20F(session, ec, &status), mc::kMiscSuccess);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ec[0], 0x01);
    EXPECT_EQ(ec[1], 0x20);
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    ASSERT_EQ(mc::GetSetupValue_10C(session, 32, &value, &bits, &status), mc::kMiscSuccess);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(value, 0x0Au);  // 0xF20A masked to its 8 meaningful bits
    EXPECT_EQ(session.GetSequence(), 2u);
}

TEST(MiscCommonOnWine, DriverRegistryWritesLandInTheRealRegistry) {
    REQUIRE_SNAPSHOT();
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess) << pf::Utf16ToUtf8(session.GetLastErrorText());
    CDriverReg reg(&session);
    ASSERT_EQ(reg.WriteDword(pf::kHkeyLocalMachine, kTestKey, u"SessionCheck", 0x5A17C0DE, 0), 1);
    std::uint32_t value = 0;
    ASSERT_EQ(reg.ReadDword(pf::kHkeyLocalMachine, kTestKey, u"SessionCheck", &value, 0), 1);
    EXPECT_EQ(value, 0x5A17C0DEu);
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, kTestKey, 0), 1);

    // Wine's registry itself holds it, in the 64-bit view.
    value = 0;
    ASSERT_EQ(CReg().ReadDword(pf::kHkeyLocalMachine, kTestKey, u"SessionCheck", &value, pf::kKeyWow64_64Key), 1);
    EXPECT_EQ(value, 0x5A17C0DEu);
    session.Close();
    EXPECT_FALSE(session.IsOpen());
}

// The real SetupAPI path, on an interface class Wine does have (HID, from its virtual bus).
TEST(MiscCommonOnWine, Win32DeviceInterfacesWalkARealInterface) {
    const pf::Guid hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    pf::win32::Win32DeviceInterfaces devices;
    const pf::DeviceInfoSet set = devices.GetClassDevs(hid, pf::kDigcfPresent | pf::kDigcfDeviceInterface);
    ASSERT_NE(set, 0u);
    pf::DeviceInterfaceRef iface;
    ASSERT_TRUE(devices.EnumDeviceInterfaces(set, hid, 0, &iface));
    pf::DeviceInterfaceRef none;
    EXPECT_FALSE(devices.EnumDeviceInterfaces(set, hid, 1000, &none));
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorNoMoreItems));

    std::uint32_t required = 0;
    EXPECT_FALSE(devices.GetDeviceInterfaceDetail(set, iface, 0, &required, nullptr, nullptr));
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorInsufficientBuffer));
    std::u16string path;
    pf::DeviceInstanceRef instance;
    ASSERT_TRUE(devices.GetDeviceInterfaceDetail(set, iface, required, &required, &path, &instance));
    EXPECT_EQ(path.rfind(u"\\\\?\\", 0), 0u) << pf::Utf16ToUtf8(path);
    EXPECT_LE(2 * path.size() + 4, required);

    std::uint8_t data[16];
    std::uint32_t type = 0, size = sizeof(data);
    bool opened = false;
    EXPECT_EQ(devices.QueryDriverKeyValue(set, instance, u"QuarroNoSuchValue", &type, data, &size, &opened),
              pf::kErrorFileNotFound);
    EXPECT_TRUE(opened);

    const pf::DeviceHandle device = devices.CreateFile(path.c_str(), 0, 3, pf::kOpenExisting);
    ASSERT_NE(device, pf::kInvalidDevice);
    std::uint32_t returned = 77;
    EXPECT_FALSE(devices.DeviceIoControl(device, mc::kIoctlCapsule, nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(returned, 0u);
    devices.CloseHandle(device);
    devices.DestroyDeviceInfoList(set);
}

// Without a snapshot the session asks the real system, which has no Mirelta Misc Driver.
TEST(MiscCommonOnWine, RealSystemHasNoMiscDriver) {
    if (pf::Machine()) GTEST_SKIP() << "runs without QUARRO_MACHINE only";
    mc::CMiscCommon session;
    EXPECT_EQ(session.Open(), mc::kMiscNotFound);
    EXPECT_EQ(pf::Utf16ToUtf8(session.GetLastErrorText()),
              "MiscCommon::CMiscCommon::OpenDriver: SetupDiEnumDeviceInterfaces failed.");
    EXPECT_FALSE(session.IsOpen());
}

}  // namespace
