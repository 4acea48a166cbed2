// Replies the driver should never send: truncated, inconsistent and random capsules, handshake
// replies of any size, short model records. The session must refuse them with the right code,
// never read or write past a buffer, and leave no handle open.
//
// Two transports: a crafted one that serves a plain (cipher-less) channel and answers every
// capsule with bytes the test chooses, and a mangler in front of the simulated driver that
// damages its enciphered replies after a genuine handshake.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/driver_reg.h"
#include "common/misc_common.h"
#include "common/misc_functions.h"
#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_clock.h"
#include "platform/sim/sim_device_interfaces.h"

namespace mc = MiscCommon;
namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;

namespace {

struct Reply {
    bool ok = true;
    std::uint32_t error = 0;
    std::vector<std::uint8_t> bytes;
};

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A plain capsule: payload length, capsule length, session id, payload, padding.
std::vector<std::uint8_t> Capsule(const std::vector<std::uint8_t>& payload, std::uint32_t declaredLength) {
    std::vector<std::uint8_t> out(mc::CapsuleLength(static_cast<std::uint32_t>(payload.size())));
    mc::WriteCapsule(out.data(), 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
    Put32(out, 0, declaredLength);
    return out;
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

// A device that refuses the cipher (plain capsules) and answers with crafted bytes.
class CraftedDevice : public pf::IDeviceInterfaces {
public:
    std::function<Reply(std::uint32_t code)> handshake = [](std::uint32_t) {
        Reply r;
        r.ok = false;
        r.error = pf::kErrorNotSupported;
        return r;
    };
    std::function<Reply()> capsule = [] { return Reply{}; };
    std::vector<std::uint8_t> model = std::vector<std::uint8_t>(128, 0);
    int opened = 0, closed = 0, sets = 0;

    pf::DeviceInfoSet GetClassDevs(const pf::Guid&, std::uint32_t) override {
        ++sets;
        return 1;
    }
    void DestroyDeviceInfoList(pf::DeviceInfoSet) override { --sets; }
    bool EnumDeviceInterfaces(pf::DeviceInfoSet, const pf::Guid& cls, std::uint32_t index,
                              pf::DeviceInterfaceRef* out) override {
        if (index != 0) return false;
        out->interfaceClass = cls;
        return true;
    }
    bool GetDeviceInterfaceDetail(pf::DeviceInfoSet, const pf::DeviceInterfaceRef&, std::uint32_t room,
                                  std::uint32_t* required, std::u16string* path, pf::DeviceInstanceRef*) override {
        *required = 32;
        if (room < 32) {
            pf::SetLastErrorCode(pf::kErrorInsufficientBuffer);
            return false;
        }
        *path = u"\\\\.\\Crafted";
        return true;
    }
    long QueryDriverKeyValue(pf::DeviceInfoSet, const pf::DeviceInstanceRef&, const char16_t*, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* size, bool* opened) override {
        const char16_t version[] = u"1.0.900.0";
        *opened = true;
        *type = pf::kRegSz;
        std::memcpy(data, version, sizeof(version));
        *size = sizeof(version);
        return 0;
    }
    pf::DeviceHandle CreateFile(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t) override {
        ++opened;
        return 0x44;
    }
    bool DeviceIoControl(pf::DeviceHandle, std::uint32_t code, const void*, std::uint32_t, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override {
        Reply r;
        if (code == mc::kIoctlHandshake) {
            r = handshake(code);
        } else if (code == mc::kIoctlCapsule) {
            r = capsule();
        } else if (code == mc::kIoctlModelRecord) {
            r.bytes = model;
        }
        const std::size_t n = r.bytes.size() < outSize ? r.bytes.size() : outSize;
        if (n) std::memcpy(out, r.bytes.data(), n);
        *returned = static_cast<std::uint32_t>(n);
        pf::SetLastErrorCode(r.error);  // a succeeding call may leave a stale error, as Win32 calls do
        return r.ok;
    }
    void CloseHandle(pf::DeviceHandle) override { ++closed; }
};

class MiscRobustnessTest : public ::testing::Test {
protected:
    MiscRobustnessTest() {
        pf::Services services;
        services.devices = &device_;
        services.clock = &clock_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }
    std::u16string Text() const { return session_.GetLastErrorText(); }

    CraftedDevice device_;
    sim::FakeClock clock_;
    std::unique_ptr<pf::ScopedOverride> override_;
    mc::CMiscCommon session_;
};

TEST_F(MiscRobustnessTest, OnlyARefusedProbeTurnsTheCipherOff) {
    const struct {
        bool ok;
        std::uint32_t error;
        int code;
        bool plain;
    } rows[] = {
        {false, pf::kErrorNotSupported, mc::kMiscSuccess, true},
        {true, pf::kErrorNotSupported, mc::kMiscSystemError, false},  // success with a stale error
        {false, 31, mc::kMiscSystemError, false},                     // another failure: handshake goes on
    };
    for (const auto& row : rows) {
        int calls = 0;
        device_.handshake = [&](std::uint32_t) {
            Reply r;
            if (calls++ == 0) {
                r.ok = row.ok;
                r.error = row.error;
            } else {
                r.bytes.assign(12, 0);  // phase 1 answers too short
            }
            return r;
        };
        mc::CMiscCommon session;
        EXPECT_EQ(session.Open(), row.code) << row.ok << " " << row.error;
        EXPECT_EQ(calls, row.plain ? 1 : 2);
        EXPECT_EQ(!session.IsEncrypting(), row.plain);
    }
}

TEST_F(MiscRobustnessTest, MalformedCapsuleRepliesAreRefused) {
    ASSERT_EQ(session_.Open(), mc::kMiscSuccess);
    ASSERT_FALSE(session_.IsEncrypting());
    const std::vector<std::uint8_t> eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        const char* what;
        Reply reply;
        int result;
        std::uint32_t error, returned, sequenceStep;
        const char16_t* text;  // null: not checked
    } rows[] = {
        {"five bytes", {true, 0, {1, 2, 3, 4, 5}}, 0, pf::kErrorInvalidData, 0, 1,
         u"MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid structure returned. size = 5"},
        {"nothing, failed", {false, 31, {}}, 0, 31, 0, 0,
         u"MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid structure returned. size = 0"},
        {"empty payload", {true, 0, Capsule({}, 0)}, 1, 0, 0, 1, nullptr},
        {"exact", {true, 0, Capsule(eight, 8)}, 1, 0, 8, 1, nullptr},
        {"longer than capacity", {true, 0, Capsule({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10)}, 0,
         static_cast<std::uint32_t>(pf::kErrorMoreData), 8, 1, nullptr},
        {"claims more than sent", {true, 0, Prefix(Capsule(eight, 8), 16)},
         0, pf::kErrorInvalidData, 0, 1,
         u"MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid structure returned. size = 16"},
        {"failed with part of it", {false, 1117, Prefix(Capsule(eight, 8), 16)},
         0, 1117, 4, 1, nullptr},
        {"absurd length", {true, 0, Capsule(eight, 0xFFFFFFFF)}, 0, static_cast<std::uint32_t>(pf::kErrorMoreData), 8, 1,
         nullptr},
    };
    for (const auto& row : rows) {
        device_.capsule = [&] { return row.reply; };
        std::uint8_t in[4] = {9, 9, 9, 9};
        std::uint8_t out[8 + 4];
        std::memset(out, 0xEE, sizeof(out));
        std::uint32_t returned = 77;
        const std::uint32_t before = session_.GetSequence();
        EXPECT_EQ(session_.EncapsuledDeviceIoControl(mc::kInnerCallMisc, in, 4, out, 8, &returned), row.result)
            << row.what;
        EXPECT_EQ(pf::GetLastErrorCode(), row.error) << row.what;
        EXPECT_EQ(returned, row.returned) << row.what;
        EXPECT_EQ(session_.GetSequence() - before, row.sequenceStep) << row.what;
        EXPECT_EQ(out[8], 0xEE) << row.what << ": wrote past the capacity";
        if (row.text) {
            EXPECT_EQ(Text(), row.text) << row.what;
        }
        if (row.returned == 8) {
            EXPECT_EQ(out[0], 1) << row.what;
        }
    }
}

TEST_F(MiscRobustnessTest, PacketWithoutStatusByteIsAFailure) {
    ASSERT_EQ(session_.Open(), mc::kMiscSuccess);
    device_.capsule = [] { return Reply{true, 0, Capsule({}, 0)}; };
    // Function 0x304: its low byte reads 4, which would otherwise look like "busy".
    std::uint8_t packet[12] = {0x04, 0x03, 12, 0, 12, 0};
    EXPECT_EQ(session_.CallMiscFunction(packet, sizeof(packet), 1, 100), mc::kMiscSystemError);
    EXPECT_TRUE(clock_.sleeps.empty());
    EXPECT_EQ(Text(), u"MiscCommon::CMiscCommon::CallMiscFunction: DeviceIoControl failed.");
}

TEST_F(MiscRobustnessTest, ModelRecordMustBeWhole) {
    ASSERT_EQ(session_.Open(), mc::kMiscSuccess);
    for (std::size_t i = 0; i < 128; ++i) device_.model[i] = static_cast<std::uint8_t>(i);
    device_.model[95] = 15;
    std::uint8_t buffer[20];
    std::uint32_t size = sizeof(buffer);
    ASSERT_EQ(session_.GetModelNumber(1, buffer, &size), mc::kMiscSuccess);
    ASSERT_EQ(size, 15u);
    EXPECT_EQ(buffer[0], 40);
    EXPECT_EQ(buffer[10], 50);
    EXPECT_EQ(buffer[11], 96);
    EXPECT_EQ(buffer[14], 99);

    device_.model.resize(127);
    size = sizeof(buffer);
    EXPECT_EQ(session_.GetModelNumber(0, buffer, &size), mc::kMiscSystemError);
    EXPECT_EQ(Text(), u"MiscCommon::CMiscCommon::GetModelNumber: DeviceIoControl failed.");
}

TEST_F(MiscRobustnessTest, RegistryRepliesAreChecked) {
    ASSERT_EQ(session_.Open(), mc::kMiscSuccess);
    auto rgqo = [](std::uint32_t dataLength, std::uint32_t type, std::size_t carried) {
        std::vector<std::uint8_t> payload(12 + carried, 0xAB);
        Put32(payload, 0, dataLength);
        payload[4] = 'R';
        payload[5] = 'g';
        payload[6] = 'Q';
        payload[7] = 'O';
        Put32(payload, 8, type);
        return Capsule(payload, static_cast<std::uint32_t>(payload.size()));
    };
    const struct {
        const char* what;
        Reply reply;
        std::uint32_t room;
        int code;
        std::uint32_t size;
    } rows[] = {
        {"no tag", {true, 0, Capsule(std::vector<std::uint8_t>(12, 0), 12)}, 16, mc::kMiscSystemError, 16},
        {"short", {true, 0, Capsule({1, 2, 3}, 3)}, 16, mc::kMiscSystemError, 16},
        {"claims more than carried", {true, 0, rgqo(8, 4, 4)}, 16, mc::kMiscSystemError, 16},
        {"larger than room", {true, 0, rgqo(9, 3, 0)}, 4, mc::kMiscMoreData, 9},
        {"fits", {true, 0, rgqo(4, 4, 4)}, 16, mc::kMiscSuccess, 4},
        {"driver says too small", {false, pf::kErrorBufferOverflow, rgqo(40, 3, 0)}, 16, mc::kMiscMoreData, 40},
        {"driver says invalid", {false, pf::kErrorInvalidParameter, {}}, 16, mc::kMiscInvalidArgument, 16},
    };
    for (const auto& row : rows) {
        device_.capsule = [&] { return row.reply; };
        std::vector<std::uint8_t> data(row.room + 1, 0xEE);
        std::uint32_t size = row.room, type = 0;
        EXPECT_EQ(session_.QueryRegistry(pf::kHkeyLocalMachine, u"SOFTWARE", u"v", &type, data.data(), &size),
                  row.code)
            << row.what;
        EXPECT_EQ(size, row.size) << row.what;
        EXPECT_EQ(data[row.room], 0xEE) << row.what;
    }
    device_.capsule = [] { return Reply{true, 0, Capsule({1, 0}, 2)}; };
    int exists = 5;
    EXPECT_EQ(session_.RegKeyExists(pf::kHkeyLocalMachine, u"SOFTWARE", &exists), mc::kMiscSystemError);
    EXPECT_EQ(exists, 5);
}

TEST_F(MiscRobustnessTest, RandomRepliesNeverEscapeTheirBuffers) {
    ASSERT_EQ(session_.Open(), mc::kMiscSuccess);
    std::mt19937 random(20240607);
    device_.capsule = [&] {
        Reply r;
        r.ok = random() % 4 != 0;
        r.error = r.ok ? 0 : (random() % 2 ? pf::kErrorMoreData : 31);
        r.bytes.resize(random() % 80);
        for (auto& b : r.bytes) b = static_cast<std::uint8_t>(random());
        if (r.bytes.size() >= 8 && random() % 2) Put32(r.bytes, 4, mc::CapsuleLength(random() % 64));
        if (r.bytes.size() >= 4 && random() % 2) Put32(r.bytes, 0, random() % 40);
        return r;
    };
    for (int i = 0; i < 600; ++i) {
        std::uint8_t status = 0;
        std::uint32_t value = 0;
        mc::GetSetupValue_10C(session_, 5, &value, nullptr, &status);
        std::uint8_t data[24];
        std::uint32_t size = sizeof(data);
        std::uint16_t values[4];
        mc::GetDeviceEntry_111(session_, 1, 0, data, &size, values, &status);
        std::vector<std::uint8_t> regData(8);
        size = 8;
        std::uint32_t type = 0;
        const int code = session_.QueryRegistry(pf::kHkeyLocalMachine, u"SOFTWARE", u"v", &type, regData.data(), &size);
        if (code == mc::kMiscSuccess) {
            EXPECT_LE(size, 8u);
        }
        std::vector<std::uint8_t> table(7);
        size = 7;
        if (session_.GetBiosExtensionTable2(13, table.data(), &size) == mc::kMiscSuccess) {
            EXPECT_LE(size, 7u);
        }
        if (i % 20 == 0) {  // a 128 KiB reply: now and then is enough
            std::uint8_t prio[3], devs[3];
            session_.BootPriorityGetPriorityAndTable(&status, prio, 3, devs, 3);
        }
        std::uint8_t p1[9] = {0x1A, 0x02, 8, 0, 9, 0}, p2[9] = {0x1A, 0x02, 8, 0, 9, 0};
        session_.CallMiscFunction(p1, 9, p2, 9);
    }
}

TEST_F(MiscRobustnessTest, HandshakeRepliesOfAnySizeFailCleanly) {
    std::mt19937 random(99);
    for (int i = 0; i < 300; ++i) {
        int phase = 0;
        device_.handshake = [&](std::uint32_t) {
            Reply r;
            if (phase++ == 0) return r;  // the probe succeeds: a cipher driver
            const std::size_t expected[] = {160, 20, 8};
            const std::size_t want = expected[(phase - 2) % 3];
            r.bytes.resize(random() % 3 == 0 ? want : random() % 200);
            for (auto& b : r.bytes) b = static_cast<std::uint8_t>(random());
            return r;
        };
        const int code = session_.Open();
        EXPECT_NE(code, mc::kMiscSuccess);
        EXPECT_FALSE(session_.HasCipher());
        EXPECT_FALSE(session_.IsOpen());
        EXPECT_EQ(device_.opened, device_.closed);
        EXPECT_EQ(device_.sets, 0);
    }
}

// A transport in front of the simulated driver that damages enciphered replies after a real
// handshake.
class Mangler : public sim::SimDeviceInterfaces {
public:
    using sim::SimDeviceInterfaces::SimDeviceInterfaces;
    std::mt19937 random{4242};
    bool DeviceIoControl(pf::DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override {
        const bool ok = sim::SimDeviceInterfaces::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
        if (code != mc::kIoctlCapsule || !out) return ok;
        auto* bytes = static_cast<std::uint8_t*>(out);
        switch (random() % 4) {
            case 0: *returned = static_cast<std::uint32_t>(random() % (*returned + 1)); break;
            case 1: if (outSize >= 8) for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(random()); break;
            case 2: if (outSize >= 4) for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(random()); break;
            default: if (*returned > 12) bytes[12 + random() % (*returned - 12)] ^= 0x5A; break;
        }
        return ok;
    }
};

TEST(MiscRobustness, DamagedEncipheredRepliesNeverEscapeTheirBuffers) {
    sim::FakeClock clock;
    sim::MemoryRegistry registry;
    Mangler devices(nlohmann::json::parse(R"({"miscDriver": {"present": true, "driverVersion": "1.0.900.0"}})"));
    pf::Services services;
    services.devices = &devices;
    services.clock = &clock;
    services.registry = &registry;
    pf::ScopedOverride use(services);
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    ASSERT_TRUE(session.HasCipher());
    CDriverReg reg(&session);
    for (int i = 0; i < 1500; ++i) {
        std::uint8_t status = 0;
        std::uint32_t value = 0;
        mc::GetSetupValue_10C(session, 5, &value, nullptr, &status);
        std::uint32_t dword = 0;
        reg.ReadDword(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", u"v", &dword, 0);
        std::uint8_t blob[6];
        std::uint32_t size = sizeof(blob);
        if (reg.ReadBinary(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", u"v", blob, &size, 0)) {
            EXPECT_LE(size, 6u);
        }
        std::uint8_t table[5];
        size = sizeof(table);
        if (session.GetBiosExtensionTable2(13, table, &size) == mc::kMiscSuccess) {
            EXPECT_LE(size, 5u);
        }
    }
}

}  // namespace
