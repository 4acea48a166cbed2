// The real device inventory (SetupAPI) and installed-updates (WMI) concerns, under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "platform/last_error.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

TEST(DeviceInventoryOnWine, EnumeratesPresentDevicesWithTheirProperties) {
    pf::IDeviceInventory& inventory = pf::DeviceInventory();
    const pf::DeviceInfoSet set = inventory.OpenPresentDevices();
    ASSERT_NE(set, 0u);
    std::uint32_t count = 0;
    std::uint32_t described = 0;
    for (;; ++count) {
        pf::DeviceMember member;
        if (!inventory.EnumDevice(set, count, &member)) {
            EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(ERROR_NO_MORE_ITEMS));
            break;
        }
        char16_t id[260] = {};
        EXPECT_TRUE(inventory.ReadInstanceId(set, member, id, 260));
        EXPECT_GT(quarro::text::Length(id), 0u);
        EXPECT_FALSE(inventory.ReadInstanceId(set, member, id, 1)) << "no room: the call fails";

        char16_t text[260] = {};
        if (inventory.ReadProperty(set, member, pf::kSpdrpDeviceDesc, text, 260)) {
            ++described;
            text[259] = 0;
            if (quarro::text::Length(text) > 0) {
                EXPECT_FALSE(inventory.ReadProperty(set, member, pf::kSpdrpDeviceDesc, text, 1));
                EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
            }
        }
        char16_t classText[260] = {}, driver[260] = {}, maker[260] = {};
        inventory.ReadProperty(set, member, pf::kSpdrpClass, classText, 260);
        inventory.ReadProperty(set, member, pf::kSpdrpDriver, driver, 260);
        inventory.ReadProperty(set, member, pf::kSpdrpMfg, maker, 260);
        classText[259] = driver[259] = maker[259] = 0;
        std::printf("device %u: %s | %s | %s | %s | %s\n", count, quarro::text::ToUtf8(id).c_str(),
                    quarro::text::ToUtf8(text).c_str(), quarro::text::ToUtf8(maker).c_str(),
                    quarro::text::ToUtf8(classText).c_str(), quarro::text::ToUtf8(driver).c_str());

        pf::DeviceMember stale = member;
        stale.devInst ^= 0x5A5A;  // not the device at this index any more
        EXPECT_FALSE(inventory.ReadProperty(set, stale, pf::kSpdrpDeviceDesc, text, 260));
    }
    EXPECT_GT(count, 0u) << "Wine's SetupAPI lists a handful of devices";
    EXPECT_GT(described, 0u);
    inventory.CloseDevices(set);
}

std::vector<pf::HotfixObject> AllUpdates(bool* ok) {
    std::vector<pf::HotfixObject> seen;
    *ok = pf::Hotfixes().Query([&seen](const pf::HotfixObject& update) {
        seen.push_back(update);
        return true;
    });
    return seen;
}

TEST(HotfixesOnWine, WineAnswersWithItsUpdateAndComIsLeftAsItWas) {
    bool ok = false;
    const auto updates = AllUpdates(&ok);
    ASSERT_TRUE(ok);
    ASSERT_GE(updates.size(), 1u);
    EXPECT_TRUE(updates[0].hotFixIdIsString);
    EXPECT_EQ(quarro::text::ToUtf8(updates[0].hotFixId), "KB1234567");
    std::printf("description is string: %d, \"%s\"\n", updates[0].descriptionIsString,
                quarro::text::ToUtf8(updates[0].description).c_str());

    // The query's apartment is gone again: the thread can still choose the multithreaded one.
    const HRESULT mta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(mta, S_OK);
    if (SUCCEEDED(mta)) CoUninitialize();
}

TEST(HotfixesOnWine, AVisitorThatStopsEndsTheWalk) {
    int visits = 0;
    EXPECT_TRUE(pf::Hotfixes().Query([&visits](const pf::HotfixObject&) {
        ++visits;
        return false;
    }));
    EXPECT_EQ(visits, 1);
}

TEST(HotfixesOnWine, AThreadInTheMultithreadedApartmentKeepsItsInitialisation) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    bool ok = true;
    const auto updates = AllUpdates(&ok);
    EXPECT_FALSE(ok) << "the single-threaded apartment cannot be had on this thread";
    EXPECT_TRUE(updates.empty());
    // Still initialised once (S_FALSE: already initialised), so our own count is intact.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_FALSE);
    if (SUCCEEDED(again)) CoUninitialize();
    CoUninitialize();
}

}  // namespace
