// One table of volume calls that runs natively on the simulated volumes and under Wine on Wine's
// real drives (drive C: of every prefix, and a letter no prefix defines). The simulated C: is
// described as Wine's is; a row that fails on one side only is a bug in the simulation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/volumes.h"
#include "tabs/disk/disk_data.h"

#ifndef _WIN32
#include "platform/native/sim_volumes.h"
#endif

namespace pf = quarro::platform;

namespace {

pf::IVolumes& Volumes() {
#ifdef _WIN32
    return pf::Volumes();
#else
    static const nlohmann::json section = nlohmann::json::parse(R"({
        "C": {"device": "\\Device\\HarddiskVolume1", "type": "fixed", "fileSystem": "NTFS",
              "freeToCaller": 50000000000, "total": 100000000000}
    })");
    static pf::sim::SimVolumes simulated(&section);
    return simulated;
#endif
}

enum class Op { Target, Type, FileSystem, FileSystemTooSmall, Space };

struct Case {
    const char* what;
    const char16_t* name;
    Op op;
    bool ok;
    std::uint32_t error;  // for a failure; 0: any error
    std::uint32_t type;   // for Op::Type
};

const Case kCases[] = {
    {"C: is a hard-disk volume", u"c:", Op::Target, true, 0, 0},
    {"the device name ignores case", u"C:", Op::Target, true, 0, 0},
    {"an undefined letter", u"q:", Op::Target, false, 2, 0},
    {"C:\\ is a fixed disk", u"c:\\", Op::Type, true, 0, pf::kDriveFixed},
    {"an undefined letter has no root", u"q:\\", Op::Type, true, 0, pf::kDriveNoRootDir},
    {"C:'s file system", u"c:\\", Op::FileSystem, true, 0, 0},
    {"a name that does not fit fails", u"c:\\", Op::FileSystemTooSmall, false, 0, 0},
    {"no file system on an undefined letter", u"q:\\", Op::FileSystem, false, 0, 0},
    {"C:'s byte counts", u"c:\\", Op::Space, true, 0, 0},
    {"no byte counts on an undefined letter", u"q:\\", Op::Space, false, 0, 0},
};

TEST(VolumesDifferential, TheTableAnswersAlike) {
    pf::IVolumes& volumes = Volumes();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        pf::SetLastErrorCode(0);
        bool ok = false;
        switch (c.op) {
        case Op::Target: {
            std::u16string target;
            ok = volumes.DosDeviceTarget(c.name, &target);
            if (ok) {
                EXPECT_EQ(target.rfind(u"\\Device\\HarddiskVolume", 0), 0u);
            }
            break;
        }
        case Op::Type:
            ok = true;
            EXPECT_EQ(volumes.DriveType(c.name), c.type);
            break;
        case Op::FileSystem: {
            char16_t name[disk_tab::kFileSystemUnits] = {u'x'};
            ok = volumes.FileSystemName(c.name, name, disk_tab::kFileSystemUnits);
            if (ok) {
                EXPECT_NE(name[0], 0);
            }
            break;
        }
        case Op::FileSystemTooSmall: {
            char16_t name[2] = {};
            ok = volumes.FileSystemName(c.name, name, 2);
            break;
        }
        case Op::Space: {
            pf::VolumeSpace space;
            ok = volumes.Space(c.name, &space);
            if (ok) {
                EXPECT_GT(space.total, 0u);
                EXPECT_LE(space.freeToCaller, space.total);
            }
            break;
        }
        }
        EXPECT_EQ(ok, c.ok);
        if (!ok && c.error != 0) {
            EXPECT_EQ(pf::GetLastErrorCode(), c.error);
        }
    }
    // The tab's table from these answers: C: with its file system.
    const auto table = disk_tab::BuildVolumeTable(volumes, u"Unknown");
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table[0].root, u"c:\\");
    EXPECT_NE(table[0].fileSystem, u"Unknown");
}

}  // namespace
