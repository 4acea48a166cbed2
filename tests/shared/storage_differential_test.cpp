// One table of storage requests that runs natively on the simulated disk and under Wine on Wine's
// real storage stack (which serves the system volume and PhysicalDrive0 as a fixed disk, but no
// S.M.A.R.T.). A row that fails on one side only is a bug in the simulation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/storage.h"

#ifndef _WIN32
#include "platform/sim/sim_storage.h"
#endif

namespace pf = quarro::platform;

namespace {

pf::IStorage& Disk() {
#ifdef _WIN32
    return pf::Storage();
#else
    static const nlohmann::json section =
        nlohmann::json::parse(R"({"systemFolder": "C:\\windows\\system32", "disk": {"deviceNumber": 0}})");
    static pf::sim::SimStorage simulated(&section);
    return simulated;
#endif
}

enum class Ask { Open, Geometry, DeviceNumber, SmartVersion };

struct Case {
    const char* what;
    const char16_t* path;
    std::uint32_t access;
    Ask ask;
    std::uint32_t error;  // 0: succeeds
    std::uint32_t value;  // media type or device number of a successful answer
};

constexpr std::uint32_t kReadWrite = pf::kGenericRead | pf::kGenericWrite;

const Case kCases[] = {
    {"the system volume opens without rights", u"\\\\.\\C:", 0, Ask::Open, 0, 0},
    {"the system volume is fixed media", u"\\\\.\\C:", 0, Ask::Geometry, 0, pf::kFixedMedia},
    {"the system volume lies on drive 0", u"\\\\.\\C:", 0, Ask::DeviceNumber, 0, 0},
    {"drive 0 is fixed media", u"\\\\.\\PhysicalDrive0", 0, Ask::Geometry, 0, pf::kFixedMedia},
    {"drive 0 numbers itself", u"\\\\.\\physicaldrive0", 0, Ask::DeviceNumber, 0, 0},
    {"S.M.A.R.T. needs access rights", u"\\\\.\\PhysicalDrive0", 0, Ask::SmartVersion, 5, 0},
    {"S.M.A.R.T. on the volume needs them too", u"\\\\.\\C:", 0, Ask::SmartVersion, 5, 0},
    {"a drive that is not there", u"\\\\.\\PhysicalDrive9", 0, Ask::Open, 2, 0},
    {"nor with access rights", u"\\\\.\\PhysicalDrive9", kReadWrite, Ask::Open, 2, 0},
    {"a volume that is not there", u"\\\\.\\Q:", 0, Ask::Open, 2, 0},
};

TEST(StorageDifferential, AnswersAsTheStorageStackDoes) {
    pf::IStorage& disk = Disk();
    std::u16string folder;
    ASSERT_TRUE(disk.SystemFolder(&folder));
    ASSERT_GT(folder.size(), 3u);
    EXPECT_EQ(folder.substr(1, 2), u":\\");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        pf::SetLastErrorCode(0);
        pf::OwnedStorage device(disk, disk.Open(c.path, c.access));
        bool ok = static_cast<bool>(device);
        std::uint32_t value = 0;
        std::uint32_t returned = 0;
        if (ok && c.ask == Ask::Geometry) {
            pf::DiskGeometry geometry{};
            ok = disk.DeviceIoControl(device.Get(), pf::kIoctlDiskGetDriveGeometry, nullptr, 0, &geometry,
                                      sizeof geometry, &returned);
            if (ok) {
                EXPECT_EQ(returned, sizeof geometry);
            }
            value = geometry.mediaType;
        } else if (ok && c.ask == Ask::DeviceNumber) {
            pf::StorageDeviceNumber number{};
            ok = disk.DeviceIoControl(device.Get(), pf::kIoctlStorageGetDeviceNumber, nullptr, 0, &number, sizeof number,
                                      &returned);
            value = number.deviceNumber;
        } else if (ok && c.ask == Ask::SmartVersion) {
            pf::SmartVersion version{};
            ok = disk.DeviceIoControl(device.Get(), pf::kSmartGetVersion, nullptr, 0, &version, sizeof version,
                                      &returned);
        }
        EXPECT_EQ(ok ? 0u : pf::GetLastErrorCode(), c.error);
        if (ok) {
            EXPECT_EQ(value, c.value);
        }
    }
    // A handle nobody opened.
    std::uint32_t returned = 7;
    pf::DiskGeometry geometry{};
    EXPECT_FALSE(disk.DeviceIoControl(0x5678, pf::kIoctlDiskGetDriveGeometry, nullptr, 0, &geometry, sizeof geometry,
                                      &returned));
    EXPECT_EQ(pf::GetLastErrorCode(), 6u);
    EXPECT_EQ(returned, 0u);
}

}  // namespace
