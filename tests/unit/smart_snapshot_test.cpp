// The S.M.A.R.T. snapshot and the pipe exchange, driven by the simulated disk: every state and
// failure step, the exact ATA registers, compaction of a real data sector, and the reply bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/firmware_data.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/sim_storage.h"
#include "platform/storage.h"
#include "platform/native/sim_pipe_client.h"
#include "platform/win32_errors.h"
#include "smart/exchange.h"
#include "smart/snapshot.h"

namespace pf = quarro::platform;
namespace sm = quarro::smart;
using Call = pf::sim::SimStorage::Call;

namespace {

// The disk of the default notebook's storage part, loaded as the product loads it.
pf::sim::SimStorage DefaultDisk() {
    std::string error;
    auto machine = pf::sim::MachineSnapshot::Load(QUARRO_SOURCE_DIR "/machines/default", &error);
    EXPECT_TRUE(machine) << error;
    return pf::sim::SimStorage(machine ? machine->Section("storage") : nullptr);
}

sm::Snapshot Take(pf::sim::SimStorage& disk, int event, sm::DriveIdentity* identity = nullptr) {
    sm::SystemDrive drive;
    sm::Snapshot snapshot;
    sm::FindSystemDrive(disk, &drive, &snapshot);
    if (drive.name.empty()) return snapshot;
    EXPECT_EQ(drive.name, u"\\\\.\\PhysicalDrive" + std::u16string(1, char16_t(u'0' + disk.disk.deviceNumber)));
    return sm::TakeSnapshot(disk, drive, event, 0, identity, false);
}

struct StateCase {
    const char* what;
    int event;
    std::function<void(pf::sim::SimStorage&)> change;
    std::int32_t state;
    std::uint8_t step;
    std::uint32_t code;
};

TEST(SmartSnapshot, StatesAndFailureSteps) {
    const StateCase cases[] = {
        {"a healthy disk at power-on", 4, [](auto&) {}, 19, 0, 0},
        {"an hourly sample", 1, [](auto&) {}, 19, 0, 0},
        {"no system folder", 4, [](auto& d) { d.failures[Call::SystemFolder] = 8; }, sm::kNoDisk, 1, 8},
        {"the volume does not open", 4, [](auto& d) { d.failures[Call::OpenVolume] = 5; }, sm::kNoDisk, 2, 5},
        {"no geometry", 4, [](auto& d) { d.failures[Call::Geometry] = 1; }, sm::kNoDisk, 2, 1},
        {"removable media", 4, [](auto& d) { d.disk.geometry.mediaType = 11; }, sm::kNoDisk, 2, 0},
        {"no device number", 4, [](auto& d) { d.failures[Call::DeviceNumber] = 50; }, sm::kNoDisk, 2, 50},
        {"device number 4", 4, [](auto& d) { d.disk.deviceNumber = 4; }, sm::kNoDisk, 2, 0},
        {"the disk was removed", 4, [](auto& d) { d.disk.present = false; }, sm::kNoDisk, 3, 2},
        {"the drive does not open", 4, [](auto& d) { d.failures[Call::OpenDrive] = 32; }, sm::kNoDisk, 3, 32},
        {"spun down", 3, [](auto& d) { d.disk.spinning = false; }, sm::kNotSpunUp, 0, 0},
        {"no power state", 2, [](auto& d) { d.failures[Call::PowerState] = 1; }, sm::kNotSpunUp, 0, 0},
        {"no read-write open", 4, [](auto& d) { d.failures[Call::OpenDriveReadWrite] = 5; }, sm::kNoDisk, 4, 5},
        {"no S.M.A.R.T. version", 1, [](auto& d) { d.failures[Call::Version] = 1; }, sm::kUnusable, 0, 0},
        {"ENABLE fails", 2, [](auto& d) { d.failures[Call::Enable] = 31; }, sm::kUnusable, 0, 0},
        {"an hourly sample sends no ENABLE", 1, [](auto& d) { d.failures[Call::Enable] = 31; }, 19, 0, 0},
        {"IDENTIFY fails at power-on", 4, [](auto& d) { d.failures[Call::Identify] = 31; }, sm::kUnusable, 0, 0},
        {"resume sends no IDENTIFY", 3, [](auto& d) { d.failures[Call::Identify] = 31; }, 19, 0, 0},
        {"READ DATA fails", 3, [](auto& d) { d.failures[Call::ReadData] = 23; }, sm::kUnusable, 0, 0},
        {"disabled, refused without ENABLE", 1, [](auto& d) { d.disk.smartEnabled = false; }, sm::kUnusable, 0, 0},
        {"disabled, ENABLE first", 2, [](auto& d) { d.disk.smartEnabled = false; }, 19, 0, 0},
        {"second device on the channel", 4, [](auto& d) { d.disk.deviceNumber = 1; }, 19, 0, 0},
        {"a notification reads nothing", 101, [](auto& d) { d.failures[Call::Version] = 1; }, sm::kNotification, 0, 0},
        {"all raw values zero", 4,
         [](auto& d) {
             for (int slot = 0; slot < 30; ++slot) std::memset(&d.disk.data[2 + slot * 12 + 5], 0, 6);
             pf::sim::SimStorage::SealChecksum(&d.disk.data);
         },
         sm::kUnusable, 0, 0},
        {"no attribute at all", 4,
         [](auto& d) {
             d.disk.data.fill(0);
             d.disk.data[0] = 0x10;
             pf::sim::SimStorage::SealChecksum(&d.disk.data);
         },
         sm::kUnusable, 0, 0},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.what);
        pf::sim::SimStorage disk = DefaultDisk();
        c.change(disk);
        const sm::Snapshot snapshot = Take(disk, c.event);
        EXPECT_EQ(snapshot.state, c.state);
        EXPECT_EQ(snapshot.failureStep, c.step);
        EXPECT_EQ(snapshot.failureCode, c.code);
        EXPECT_EQ(disk.OpenHandles(), 0u);
        if (c.event > 4) {
            EXPECT_TRUE(disk.commands.empty());
        }
    }
}

TEST(SmartSnapshot, SendsTheAtaRegistersOfEachCommand) {
    for (std::uint32_t number : {0u, 1u}) {
        pf::sim::SimStorage disk = DefaultDisk();
        disk.disk.deviceNumber = number;
        sm::DriveIdentity identity;
        ASSERT_EQ(Take(disk, 4, &identity).state, 19);
        const std::uint8_t head = number ? 0xB0 : 0xA0;
        // code, buffer size, features, count, number, cylinder low/high, drive/head, command
        const std::vector<std::vector<std::uint32_t>> expected = {
            {pf::kSmartSendDriveCommand, 0, 0xD8, 1, 1, 0x4F, 0xC2, head, 0xB0},
            {pf::kSmartRcvDriveData, 512, 0x00, 1, 1, 0x00, 0x00, head, 0xEC},
            {pf::kSmartRcvDriveData, 512, 0xD0, 1, 1, 0x4F, 0xC2, head, 0xB0},
        };
        ASSERT_EQ(disk.commands.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto& c = disk.commands[i];
            const auto& r = c.in.registers;
            EXPECT_EQ((std::vector<std::uint32_t>{c.code, c.in.bufferSize, r.features, r.sectorCount, r.sectorNumber,
                                                  r.cylinderLow, r.cylinderHigh, r.driveHead, r.command}),
                      expected[i]) << "command " << i;
            EXPECT_EQ(c.in.driveNumber, 0);
        }
        EXPECT_EQ(identity.model, "HGST HTS725050A7E630                    ");
        EXPECT_EQ(identity.serial, "RCF50ACE1B7KLM      ");
        EXPECT_FALSE(identity.solidState);
    }
}

TEST(SmartSnapshot, IdentifyTellsSolidStateAndFamily) {
    struct Case {
        const char* model;
        std::uint16_t rotation;
        bool solidState;
        int family;
    } const cases[] = {
        {"FUJITSU MHV2080BH", 4200, false, 2}, {"FUJITSU MHW2120BH", 5400, false, 9},
        {"TS128GSSD25S-M", 1, true, 10},       {"  hitachi hts541010", 5400, false, 5},
        {"HTS545050B9A300", 5400, false, 4}, {"HGST HTS725050A7E630", 7200, false, 13},
        {"ACME DRIVE", 0, false, 0},           {"ST9500325AS", 5400, false, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        pf::sim::SimStorage disk = DefaultDisk();
        disk.disk.identify = pf::sim::SimStorage::IdentifyData(c.model, "S1", c.rotation);
        sm::DriveIdentity identity;
        ASSERT_GT(Take(disk, 4, &identity).state, 0);
        EXPECT_EQ(identity.solidState, c.solidState);
        EXPECT_EQ(sm::DriveFamily(identity.model), c.family);
    }
}

// A S.M.A.R.T. data sector built byte by byte from the ATA data-structure layout (revision word,
// 30 attribute slots of 12 bytes from offset 2, off-line and self-test fields from offset 362,
// checksum in byte 511), with the attribute values a 2.5-inch 5400 rpm notebook drive reports
// after about two years of use. Slot 5 is left empty on purpose: compaction must skip it.
std::array<std::uint8_t, 512> RealSector() {
    std::array<std::uint8_t, 512> sector{};
    std::vector<std::uint8_t> bytes;
    pf::sim::ParseHex(
        "10 00"
        "01 0f 00 64 64 58 3c 7b 00 00 00 00"  //   1 raw read error rate, raw 0x7b3c58
        "03 03 00 61 60 00 00 00 00 00 00 00"  //   3 spin-up time
        "04 32 00 63 63 3e 08 00 00 00 00 00"  //   4 start/stop count 2110
        "05 33 00 64 64 00 00 00 00 00 00 00"  //   5 reallocated sectors
        "07 0f 00 3c 3b 4d 1a 15 0c 00 00 00"  //   7 seek error rate
        "00 00 00 00 00 00 00 00 00 00 00 00"  //     empty slot
        "09 32 00 55 55 12 36 00 00 00 00 00"  //   9 power-on hours 13842
        "0c 32 00 63 63 d5 07 00 00 00 00 00"  //  12 power cycles 2005
        "bf 32 00 64 64 09 00 00 00 00 00 00"  // 191 G-sense errors 9
        "c2 22 00 28 33 28 00 00 00 12 00 00"  // 194 temperature 40 (min 18)
        "c5 12 00 64 64 00 00 00 00 00 00 00"  // 197 pending sectors
        "c7 3e 00 c8 c8 01 00 00 00 00 00 00", // 199 CRC errors 1
        &bytes);
    std::copy(bytes.begin(), bytes.end(), sector.begin());
    sector[362] = 0x82;  // off-line data collection completed
    sector[364] = 0x00;
    sector[365] = 0x0b;  // 2816 s off-line collection
    sector[367] = 0x7b;
    sector[368] = 0x03;
    sector[370] = 0x01;
    sector[372] = 0x02;
    sector[373] = 0xb4;
    pf::sim::SimStorage::SealChecksum(&sector);
    return sector;
}

TEST(SmartSnapshot, CompactsARealDataSector) {
    const auto sector = RealSector();
    sm::Entries entries;
    ASSERT_EQ(sm::Compact(sector, 0, true, &entries), 11);
    std::vector<std::uint8_t> head;
    pf::sim::ParseHex(
        "01 64 58 3c 7b 00 00 00 64 00"
        "03 61 00 00 00 00 00 00 60 00"
        "04 63 3e 08 00 00 00 00 63 00"
        "05 64 00 00 00 00 00 00 64 00"
        "07 3c 4d 1a 15 0c 00 00 3b 00"
        "09 55 12 36 00 00 00 00 55 00"
        "0c 63 d5 07 00 00 00 00 63 00"
        "bf 64 09 00 00 00 00 00 64 00"
        "c2 28 28 00 00 00 12 00 33 00"
        "c5 64 00 00 00 00 00 00 64 00"
        "c7 c8 01 00 00 00 00 00 c8 00",
        &head);
    EXPECT_EQ(std::vector<std::uint8_t>(entries.begin(), entries.begin() + head.size()), head);
    EXPECT_TRUE(std::all_of(entries.begin() + head.size(), entries.end(), [](std::uint8_t b) { return b == 0; }));
    // Without the worst values byte 8 stays 0, as the log compares raw values only.
    ASSERT_EQ(sm::Compact(sector, 0, false, &entries), 11);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(entries[i * 10 + 8], 0) << i;
}

TEST(SmartSnapshot, ChecksumKeepsAllZeroRawUsableOnlyForFamilyTen) {
    auto sector = RealSector();
    for (int slot = 0; slot < 30; ++slot) std::memset(&sector[2 + slot * 12 + 5], 0, 6);
    sm::Entries entries;
    pf::sim::SimStorage::SealChecksum(&sector);
    ASSERT_NE(sector[511], 0);
    EXPECT_EQ(sm::Compact(sector, 0, false, &entries), sm::kUnusable);
    EXPECT_EQ(sm::Compact(sector, 10, false, &entries), 11);
    sector[511] = 0;
    EXPECT_EQ(sm::Compact(sector, 10, false, &entries), sm::kUnusable);
}

TEST(SmartExchange, RepliesByModeAndState) {
    struct Case {
        const char* what;
        std::uint8_t mode;
        std::function<void(pf::sim::SimStorage&)> change;
        bool answered;
        std::uint32_t count;
        bool entries;
        bool sector;
    } const cases[] = {
        {"mode 0", 0, [](auto&) {}, true, 19, true, false},
        {"mode 3", 3, [](auto&) {}, true, 19, true, true},
        {"mode 1 is refused", 1, [](auto&) {}, false, 0, false, false},
        {"mode 0xFF is refused", 0xFF, [](auto&) {}, false, 0, false, false},
        {"spun down: count 0 and no sector", 3, [](auto& d) { d.disk.spinning = false; }, true, 0, false, false},
        {"no disk", 3, [](auto& d) { d.disk.present = false; }, true, 0, false, false},
        {"unusable data still shows its sector", 3,
         [](auto& d) {
             for (int slot = 0; slot < 30; ++slot) std::memset(&d.disk.data[2 + slot * 12 + 5], 0, 6);
             pf::sim::SimStorage::SealChecksum(&d.disk.data);
         },
         true, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pf::sim::SimStorage disk = DefaultDisk();
        c.change(disk);
        std::vector<std::uint8_t> reply;
        ASSERT_EQ(sm::AnswerRequest(c.mode, disk, &reply), c.answered);
        if (!c.answered) {
            EXPECT_TRUE(reply.empty());
            continue;
        }
        ASSERT_EQ(reply.size(), 4u + (c.entries ? 310u : 0u) + (c.sector ? 512u : 0u));
        std::uint32_t count;
        std::memcpy(&count, reply.data(), 4);
        EXPECT_EQ(count, c.count);
        if (c.entries) {
            // Entry 11 is attribute 194: value 181, raw 21 00 12 00 3A 00, worst 166 in byte 8.
            const std::uint8_t* e = &reply[4 + 13 * 10];
            EXPECT_EQ(std::vector<std::uint8_t>(e, e + 10),
                      (std::vector<std::uint8_t>{194, 181, 0x21, 0x00, 0x12, 0x00, 0x3A, 0x00, 166, 0}));
        }
        if (c.sector) {
            EXPECT_TRUE(std::equal(disk.disk.data.begin(), disk.disk.data.end(), reply.end() - 512));
        }
    }
}

// The tab's exchange against the native stand-in: open, one mode byte, count, entries, sector.
TEST(SmartExchange, NativePipeAnswersLikeTheServer) {
    pf::sim::SimStorage disk = DefaultDisk();
    pf::sim::SimPipeClient pipes(nullptr);
    const pf::ScopedOverride use({.storage = &disk, .pipes = &pipes});
    auto ask = [&](std::uint8_t mode, std::vector<std::uint8_t>* got) {
        pf::OwnedPipe pipe(pipes, pipes.Open(sm::kPipeName));
        if (!pipe) return false;
        std::uint32_t n = 0;
        if (!pipes.Write(pipe.Get(), &mode, 1, &n) || n != 1) return false;
        std::uint8_t buffer[900];
        got->clear();
        while (pipes.Read(pipe.Get(), buffer, sizeof buffer, &n)) got->insert(got->end(), buffer, buffer + n);
        return pf::GetLastErrorCode() == static_cast<std::uint32_t>(pf::kErrorBrokenPipe);
    };
    std::vector<std::uint8_t> first, second;
    ASSERT_TRUE(ask(3, &first));
    EXPECT_EQ(first.size(), 4u + 310u + 512u);
    disk.AdvanceRaw(9, 1);  // an hour later: every request reads the disk again
    ASSERT_TRUE(ask(0, &second));
    ASSERT_EQ(second.size(), 4u + 310u);
    EXPECT_EQ(second[4 + 7 * 10 + 2], first[4 + 7 * 10 + 2] + 1);  // attribute 9's raw low byte
    EXPECT_TRUE(ask(7, &second));
    EXPECT_TRUE(second.empty());

    pf::OwnedPipe held(pipes, pipes.Open(sm::kPipeName));
    EXPECT_EQ(pipes.Open(sm::kPipeName), pf::kInvalidPipe);
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorPipeBusy));
    held.Reset();
    EXPECT_EQ(pipes.Open(u"\\\\.\\pipe\\SomethingElse"), pf::kInvalidPipe);
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorFileNotFound));
    pipes.serverRunning = false;
    EXPECT_EQ(pipes.Open(sm::kPipeName), pf::kInvalidPipe);
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorFileNotFound));
    EXPECT_EQ(pipes.OpenHandles(), 0u);
}

}  // namespace
