// The driver session against the simulated Mirelta Misc Driver (an independent implementation of
// the driver side): handshake and its failures, capsules and sequence numbers, Misc packets and
// retries, model record, boot priority, BIOS extension tables, registry through the driver, and
// the typed wrappers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
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

std::u16string Text(const char16_t* operation, const char16_t* message) {
    return std::u16string(u"MiscCommon::CMiscCommon::") + operation + u": " + message;
}

nlohmann::json Machine(const char* version = "1.0.900.0") {
    nlohmann::json machine = nlohmann::json::parse(R"({
      "miscDriver": {
        "present": true,
        "cipher": true,
        "presharedKey": "standard",
        "functions": {
          "0x20F": {"in": 8, "reply": {"9": "01 20 05 41 00"}},
          "0x21A": {"in": 8, "reply": {"8": "03"}},
          "0x260": {"in": 8, "reply": {"8": "01 02 02"}},
          "0x261": {"in": 8, "reply": {"8": "12 03 42 00 34 12"}},
          "0x293": {"in": 10, "reply": {"8": "05 00"}},
          "0x2B0": {"in": 8, "reply": {"8": "08 00 01 00 14 00 0C 05"}},
          "0xC07": {"in": 8, "reply": {"8": "01"}},
          "0x1060": {"in": 8, "reply": {"8": "02 03"}},
          "0x1061": {"in": 10, "reply": {"10": "04 00 05 00 02 00 10 00"}}
        },
        "bootPriority": {"status": 0, "priority": "00 00 01 00 03 00", "table": "02 00 00 00 03 00 00 00"},
        "biosExtensionTables": {"13": "0D 00 10 53 4D 50 2D 37 34 32 30 41 00 00 00 00"}
      }
    })");
    machine["miscDriver"]["driverVersion"] = version;
    return machine;
}

class MiscSessionTest : public ::testing::Test {
protected:
    MiscSessionTest() { Use(Machine()); }

    void Use(const nlohmann::json& machine) {
        override_.reset();
        devices_ = std::make_unique<sim::SimDeviceInterfaces>(machine);
        devices_->Driver().Seed(7);
        pf::Services services;
        services.devices = devices_.get();
        services.clock = &clock_;
        services.registry = &registry_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }

    sim::SimMiscDriver& Driver() { return devices_->Driver(); }
    sim::FirmwareModel& Firmware() { return devices_->Driver().Firmware(); }

    std::vector<sim::DriverCall> Calls(std::uint32_t code, std::uint32_t inner = 0) const {
        std::vector<sim::DriverCall> out;
        for (const auto& call : devices_->Driver().Calls()) {
            if (call.code == code && (inner == 0 || call.innerCode == inner)) out.push_back(call);
        }
        return out;
    }

    std::uint32_t ReadDword64(const char16_t* path, const char16_t* name) {
        pf::RegKey key = 0;
        if (registry_.OpenKey(pf::kHkeyLocalMachine, path, pf::kKeyQueryValue | pf::kKeyWow64_64Key, &key) != 0) {
            return 0xDEADBEEF;
        }
        std::uint32_t type = 0, value = 0xDEADBEEF, size = 4;
        registry_.QueryValue(key, name, &type, reinterpret_cast<std::uint8_t*>(&value), &size);
        registry_.CloseKey(key);
        return type == pf::kRegDword ? value : 0xDEADBEEF;
    }

    sim::FakeClock clock_;
    sim::MemoryRegistry registry_;
    std::unique_ptr<sim::SimDeviceInterfaces> devices_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

// ---- Session ------------------------------------------------------------------------------

TEST_F(MiscSessionTest, OpenAuthenticatesAndCloseEndsTheSession) {
    {
        mc::CMiscCommon session;
        ASSERT_EQ(session.Open(), mc::kMiscSuccess);
        EXPECT_TRUE(session.HasCipher());
        EXPECT_TRUE(session.IsEncrypting());
        EXPECT_TRUE(Driver().SessionOpen());
        EXPECT_EQ(session.GetSessionId(), Driver().SessionId());
        EXPECT_EQ(session.GetSequence(), 0u);
        EXPECT_EQ(std::u16string(session.GetLastErrorText()), u"");
        EXPECT_EQ(devices_->OpenInfoSets(), 0u);
        // Probe, then the three phases, nothing else.
        EXPECT_EQ(Calls(mc::kIoctlHandshake).size(), 4u);

        const std::uint32_t id = session.GetSessionId();
        session.Close();
        EXPECT_FALSE(session.IsOpen());
        EXPECT_FALSE(session.HasCipher());
        EXPECT_EQ(session.GetSessionId(), 0u);
        EXPECT_FALSE(devices_->DeviceOpen());
        ASSERT_EQ(Driver().EndedSessions().size(), 1u);
        EXPECT_EQ(Driver().EndedSessions()[0], id);
        session.Close();  // nothing more
        EXPECT_EQ(Driver().EndedSessions().size(), 1u);

        // A second open on the same object works; the version was kept.
        ASSERT_EQ(session.Open(), mc::kMiscSuccess);
        EXPECT_EQ(std::u16string(session.GetDriverVersion(nullptr, nullptr, nullptr, nullptr)), u"1.0.900.0");
        // Opening while open ends the first session instead of leaking the exclusive handle.
        const std::uint32_t second = session.GetSessionId();
        ASSERT_EQ(session.Open(), mc::kMiscSuccess);
        EXPECT_EQ(Driver().EndedSessions().back(), second);
    }
    // The destructor closes.
    EXPECT_FALSE(devices_->DeviceOpen());
    EXPECT_FALSE(Driver().SessionOpen());
}

TEST_F(MiscSessionTest, OpenDriverFailuresNameTheirStep) {
    struct Row {
        void (*fault)(sim::SimDeviceInterfaces&);
        int code;
        const char16_t* message;
    };
    const Row rows[] = {
        {[](sim::SimDeviceInterfaces& d) { d.SetPresent(false); }, mc::kMiscNotFound,
         u"SetupDiEnumDeviceInterfaces failed."},
        {[](sim::SimDeviceInterfaces& d) { d.SetDriverKeyMissing(true); }, mc::kMiscSystemError,
         u"SetupDiOpenDevRegKey failed."},
        {[](sim::SimDeviceInterfaces& d) { d.SetCreateFileError(5); }, mc::kMiscCreateFileFailed,
         u"CreateFile failed."},
    };
    for (const Row& row : rows) {
        Use(Machine());
        row.fault(*devices_);
        mc::CMiscCommon session;
        EXPECT_EQ(session.Open(), row.code);
        EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"OpenDriver", row.message));
        EXPECT_FALSE(session.IsOpen());
        EXPECT_EQ(devices_->OpenInfoSets(), 0u) << "device-info set leaked";
    }
}

TEST_F(MiscSessionTest, OldDriverOpensWithoutSession) {
    Use(Machine("1.0.7.99"));
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    EXPECT_TRUE(Calls(mc::kIoctlHandshake).empty());
    EXPECT_FALSE(session.HasCipher());

    int v[4] = {};
    EXPECT_EQ(std::u16string(session.GetDriverVersion(&v[0], &v[1], &v[2], &v[3])), u"1.0.7.99");
    EXPECT_EQ(v[2], 7);
    EXPECT_EQ(v[3], 99);
    EXPECT_FALSE(session.IsDriverVersionAtLeast(1, 0, 8, 0));

    std::uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0};
    EXPECT_EQ(session.CallMiscFunction(packet, sizeof(packet), 1, 100), mc::kMiscTooOld);
    std::uint8_t other[9] = {0x1A, 0x02, 8, 0, 9, 0};
    EXPECT_EQ(session.CallMiscFunction(packet, sizeof(packet), other, sizeof(other)), mc::kMiscTooOld);
    std::uint8_t buffer[16];
    std::uint32_t size = sizeof(buffer);
    EXPECT_EQ(session.GetModelNumber(0, buffer, &size), mc::kMiscTooOld);
    std::uint32_t returned = 0;
    EXPECT_EQ(session.EncapsuledDeviceIoControl(mc::kInnerCallMisc, packet, 8, packet, 9, &returned), 0);
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, u"SOFTWARE", u"x", nullptr, nullptr, &size),
              mc::kMiscTooOld);
    EXPECT_EQ(session.CreateRegKey(pf::kHkeyLocalMachine, u"SOFTWARE\\x"), mc::kMiscTooOld);
    std::uint8_t status = 0xEE;
    EXPECT_EQ(mc::GetFeatureLevel_21A(session, buffer, &status), mc::kMiscTooOld);
    EXPECT_EQ(status, 0xEE);
    EXPECT_TRUE(Calls(mc::kIoctlCapsule).empty());
    EXPECT_TRUE(Calls(mc::kIoctlModelRecord).empty());
}

TEST_F(MiscSessionTest, BootPriorityAndExtensionTablesNeedDriver800) {
    Use(Machine("1.0.799.9"));
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    std::uint8_t level = 0, status = 0xEE;
    EXPECT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSuccess);
    EXPECT_EQ(level, 3);
    std::vector<std::uint8_t> area(64);
    EXPECT_EQ(session.BootPriorityGetPriorityAndTable(&status, area.data(), 64, area.data(), 64), mc::kMiscTooOld);
    EXPECT_EQ(session.BootPrioritySetPriority(&status, area.data(), 64), mc::kMiscTooOld);
    std::uint32_t size = 16;
    EXPECT_EQ(session.GetBiosExtensionTable2(13, area.data(), &size), mc::kMiscTooOld);
    EXPECT_EQ(Calls(mc::kIoctlCapsule).size(), 1u);
}

TEST_F(MiscSessionTest, DriverWithoutCipherGetsPlainCapsulesAndSequenceStillCounts) {
    Driver().SetCipherSupported(false);
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    EXPECT_FALSE(session.IsEncrypting());
    EXPECT_FALSE(session.HasCipher());
    EXPECT_EQ(Calls(mc::kIoctlHandshake).size(), 1u);  // the probe only
    for (std::uint32_t i = 1; i <= 3; ++i) {
        std::uint8_t state = 0, status = 0xEE;
        ASSERT_EQ(mc::GetDockingState_260(session, &state, nullptr, nullptr, &status), mc::kMiscSuccess);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(state, 1);
        EXPECT_EQ(session.GetSequence(), i);
    }
    const auto capsules = Calls(mc::kIoctlCapsule);
    ASSERT_EQ(capsules.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(capsules[i].sequence, i);
    session.Close();
    EXPECT_TRUE(Driver().EndedSessions().empty());  // no cipher, no session to end
}

TEST_F(MiscSessionTest, ShortPhaseOneReplyFailsWithoutEndingASession) {
    Driver().SetPhase1ReplySize(159);
    mc::CMiscCommon session;
    EXPECT_EQ(session.Open(), mc::kMiscSystemError);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()),
              u"MiscCommon::CMiscCommon::_Initialize: DeviceIoControl failed.");
    EXPECT_TRUE(Driver().EndedSessions().empty());
    EXPECT_TRUE(Calls(mc::kIoctlEndSession).empty());
    EXPECT_FALSE(session.HasCipher());
    EXPECT_FALSE(devices_->DeviceOpen());  // a failed handshake leaves the device closed
}

TEST_F(MiscSessionTest, HandshakeFailuresAfterPhaseOneEndTheHalfMadeSession) {
    struct Row {
        void (*fault)(sim::SimMiscDriver&);
        int code;
        const char16_t* message;
        std::uint32_t lastError;
    };
    const Row rows[] = {
        {[](sim::SimMiscDriver& d) { d.CorruptNextDriverProof(); }, mc::kMiscNotFound,
         u"Driver Authentication Failed.", 0},
        {[](sim::SimMiscDriver& d) { d.SetImpostor(true); }, mc::kMiscNotFound, u"Driver Authentication Failed.", 0},
        {[](sim::SimMiscDriver& d) {
             const std::uint8_t other[16] = {1, 2, 3};
             d.SetPresharedKey(other);
         },
         mc::kMiscSystemError, u"DeviceIoControl (phase2) failed.", 5},
        {[](sim::SimMiscDriver& d) { d.FailNextPhase(2, 31); }, mc::kMiscSystemError,
         u"DeviceIoControl (phase2) failed.", 31},
        {[](sim::SimMiscDriver& d) { d.FailNextPhase(3, 1117); }, mc::kMiscSystemError,
         u"DeviceIoControl (phase3) failed.", 1117},
    };
    for (const Row& row : rows) {
        Use(Machine());
        row.fault(Driver());
        mc::CMiscCommon session;
        EXPECT_EQ(session.Open(), row.code);
        EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"_Initialize", row.message));
        if (row.lastError) {
            EXPECT_EQ(pf::GetLastErrorCode(), row.lastError);
        }
        EXPECT_GE(Calls(mc::kIoctlHandshake).size(), 3u);  // probe, phase 1, phase 2 at least
        ASSERT_EQ(Driver().EndedSessions().size(), 1u);
        EXPECT_NE(Driver().EndedSessions()[0], 0u);
        EXPECT_FALSE(session.HasCipher());
        EXPECT_EQ(session.GetSessionId(), 0u);
        EXPECT_FALSE(devices_->DeviceOpen());
    }
}

TEST_F(MiscSessionTest, SessionKeepsTheTransportItWasOpenedThrough) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    // Later requests may come from code whose own platform has another device concern (a module
    // using the viewer's session): they still reach the device the session opened.
    sim::SimDeviceInterfaces other(nlohmann::json::parse(R"({"miscDriver": {"present": false}})"));
    pf::Services services;
    services.devices = &other;
    pf::ScopedOverride elsewhere(services);
    std::uint8_t level = 0, status = 0xEE;
    ASSERT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSuccess);
    EXPECT_EQ(level, 3);
    session.Close();
    EXPECT_FALSE(devices_->DeviceOpen());
    EXPECT_EQ(Driver().EndedSessions().size(), 1u);
}

// ---- Capsules and packets -------------------------------------------------------------------

TEST_F(MiscSessionTest, CapsuleSizesFollowPayloadAndCapacity) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const struct {
        std::uint16_t in, out;
        std::uint32_t requestCapsule, replyCapsule;
    } rows[] = {
        {8, 8, 48, 24},     // inner 32 bytes; reply payload 8
        {8, 9, 48, 32},     // reply payload 9
        {12, 16, 56, 32},   // inner 36
        {17, 17, 64, 40},   // inner 41
        {32, 32, 72, 48},
    };
    for (const auto& row : rows) {
        Driver().ClearCalls();
        std::vector<std::uint8_t> packet(row.in > row.out ? row.in : row.out);
        packet[0] = 0x99;  // not a function the firmware knows: any status will do
        packet[1] = 0x09;
        packet[2] = static_cast<std::uint8_t>(row.in);
        packet[4] = static_cast<std::uint8_t>(row.out);
        ASSERT_EQ(session.CallMiscFunction(packet.data(), static_cast<std::uint32_t>(packet.size()), 0u, 0u),
                  mc::kMiscSuccess);
        const auto calls = Calls(mc::kIoctlCapsule);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].inSize, row.requestCapsule) << row.in;
        EXPECT_EQ(calls[0].outSize, row.replyCapsule) << row.out;
    }
    // A request without output asks for a 16-byte reply capsule.
    Driver().ClearCalls();
    ASSERT_EQ(session.CreateRegKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\Capsule"), mc::kMiscSuccess);
    ASSERT_EQ(Calls(mc::kIoctlCapsule).size(), 1u);
    EXPECT_EQ(Calls(mc::kIoctlCapsule)[0].outSize, 16u);
}

TEST_F(MiscSessionTest, BusyTwiceGivesExactlyTwoExchangesAPauseApart) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    Firmware().InjectBusy(0x21A, 2);
    clock_.nowMs = 5000;
    std::uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0};
    ASSERT_EQ(session.CallMiscFunction(packet, sizeof(packet), 1, 100), mc::kMiscSuccess);
    const auto calls = Calls(mc::kIoctlCapsule, mc::kInnerCallMisc);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].tick - calls[0].tick, 100u);
    EXPECT_EQ(clock_.sleeps, std::vector<std::uint32_t>{100});
    // The second busy reply comes back as the driver gave it, not restored from the copy.
    EXPECT_EQ(packet[0], mc::kStatusBusy);
    EXPECT_EQ(session.GetSequence(), 2u);

    // Busy once: the retry answers, and the wrapper reports it.
    Firmware().InjectBusy(0x21A, 1);
    std::uint8_t level = 0, status = 0xEE;
    ASSERT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSuccess);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(level, 3);
}

TEST_F(MiscSessionTest, TwoPacketsTravelInOneExchange) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    std::uint8_t first[9] = {0x1A, 0x02, 8, 0, 9, 0};
    std::uint8_t second[11] = {0x60, 0x02, 8, 0, 11, 0};
    ASSERT_EQ(session.CallMiscFunction(first, sizeof(first), second, sizeof(second)), mc::kMiscSuccess);
    EXPECT_EQ(Calls(mc::kIoctlCapsule, mc::kInnerCallMisc2).size(), 1u);
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[8], 3);
    EXPECT_EQ(second[0], 0);
    EXPECT_EQ(second[8], 1);
    EXPECT_EQ(second[10], 2);
}

TEST_F(MiscSessionTest, CallMiscFunctionArgumentChecks) {
    mc::CMiscCommon closed;
    std::uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0};
    EXPECT_EQ(closed.CallMiscFunction(packet, sizeof(packet), 1, 100), mc::kMiscNotInitialized);
    EXPECT_EQ(std::u16string(closed.GetLastErrorText()), Text(u"CallMiscFunction", u"_hDevice is NULL"));

    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const struct {
        void* p1;
        std::uint32_t s1;
        void* p2;
        std::uint32_t s2;
        bool two;
        const char16_t* message;
    } rows[] = {
        {nullptr, 9, nullptr, 0, false, u"pPacket is NULL"},
        {packet, 0, nullptr, 0, false, u"sizePacket is '0'"},
        {packet, 5, nullptr, 0, false, u"Invalid Argument(s)."},   // shorter than its header
        {packet, 8, nullptr, 0, false, u"Invalid Argument(s)."},   // output length 9 > 8
        {nullptr, 9, packet, 9, true, u"pPacket1 is NULL"},
        {packet, 9, nullptr, 9, true, u"pPacket2 is NULL"},
        {packet, 0, packet, 9, true, u"sizePacket1 is '0'"},
        {packet, 9, packet, 0, true, u"sizePacket2 is '0'"},
    };
    for (const auto& row : rows) {
        const int code = row.two ? session.CallMiscFunction(row.p1, row.s1, row.p2, row.s2)
                                 : session.CallMiscFunction(row.p1, row.s1, 1, 100);
        EXPECT_EQ(code, mc::kMiscInvalidArgument);
        EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"CallMiscFunction", row.message));
    }
    EXPECT_TRUE(Calls(mc::kIoctlCapsule).empty());
    // A success empties the text again.
    ASSERT_EQ(session.CallMiscFunction(packet, sizeof(packet), 1, 100), mc::kMiscSuccess);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()), u"");
}

TEST_F(MiscSessionTest, FailedExchangeIsCode2AndTheSessionCarriesOn) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    Driver().FailNextExchange(mc::kInnerCallMisc, 31);
    std::uint8_t level = 0, status = 0xEE;
    EXPECT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSystemError);
    EXPECT_EQ(status, 0xEE);
    EXPECT_EQ(pf::GetLastErrorCode(), 31u);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"CallMiscFunction", u"DeviceIoControl failed."));
    EXPECT_EQ(session.GetSequence(), 0u);  // nothing came back: not counted on either side
    ASSERT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSuccess);
    EXPECT_EQ(level, 3);
    EXPECT_EQ(session.GetSequence(), Driver().ExpectedSequence());
}

TEST_F(MiscSessionTest, ReplyShorterThanThePacketOutputIsRefused) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const struct {
        std::uint32_t inner;
        std::uint32_t bytes;  // what the driver answers of a 9-byte (and an 11-byte) packet
    } rows[] = {
        {mc::kInnerCallMisc, 8},        // all but the result: request byte 8 would pass for it
        {mc::kInnerCallMisc, 1},        // the status byte alone
        {mc::kInnerCallMisc2, 9 + 10},  // the second packet one byte short
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        Driver().ShortenNextReply(row.inner, row.bytes);
        std::uint8_t first[9] = {0x1A, 0x02, 8, 0, 9, 0};
        std::uint8_t second[11] = {0x60, 0x02, 8, 0, 11, 0};
        const int code = row.inner == mc::kInnerCallMisc2
                             ? session.CallMiscFunction(first, sizeof(first), second, sizeof(second))
                             : session.CallMiscFunction(first, sizeof(first), 1, 100);
        EXPECT_EQ(code, mc::kMiscSystemError);
        EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorInvalidData));
        EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"CallMiscFunction", u"DeviceIoControl failed."));
        EXPECT_EQ(second[0], 0x60);  // nothing of a short two-packet reply is handed out
        EXPECT_EQ(session.GetSequence(), Driver().ExpectedSequence());
    }
    // A typed wrapper leaves its results alone, and the next whole reply is taken.
    Driver().ShortenNextReply(mc::kInnerCallMisc, 8);
    std::uint8_t level = 0xAB, status = 0xEE;
    EXPECT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSystemError);
    EXPECT_EQ(level, 0xAB);
    EXPECT_EQ(status, 0xEE);
    ASSERT_EQ(mc::GetFeatureLevel_21A(session, &level, &status), mc::kMiscSuccess);
    EXPECT_EQ(level, 3);
}

TEST_F(MiscSessionTest, ExchangeWithoutCipherIsNotInitialized) {
    // The device is open but no handshake ran: a session meant to encipher has no cipher yet.
    mc::CMiscCommon session;
    ASSERT_EQ(session.OpenDriver(), mc::kMiscSuccess);
    ASSERT_TRUE(session.IsEncrypting());
    ASSERT_FALSE(session.HasCipher());
    std::uint8_t first[9] = {0x1A, 0x02, 8, 0, 9, 0};
    std::uint8_t second[9] = {0x1A, 0x02, 8, 0, 9, 0};
    std::vector<std::uint8_t> area(64);
    std::uint8_t level = 0xAB, status = 0xEE;
    const std::function<int()> calls[] = {
        [&] { return session.CallMiscFunction(first, sizeof(first), 1, 100); },
        [&] { return session.CallMiscFunction(first, sizeof(first), second, sizeof(second)); },
        [&] { return mc::GetFeatureLevel_21A(session, &level, &status); },
        [&] { return session.BootPriorityGetPriorityAndTable(&status, area.data(), 64, nullptr, 0); },
        [&] { return session.BootPrioritySetPriority(&status, area.data(), 64); },
    };
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        pf::SetLastErrorCode(0);
        EXPECT_EQ(calls[i](), mc::kMiscNotInitialized) << i;
        EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorAccessDenied)) << i;
        EXPECT_EQ(std::u16string(session.GetLastErrorText()),
                  Text(u"EncapsuledDeviceIoControl", u"Session Not Initialized."))
            << i;
    }
    EXPECT_EQ(level, 0xAB);
    EXPECT_EQ(status, 0xEE);
    EXPECT_TRUE(Calls(mc::kIoctlCapsule).empty());
    // The handshake makes the same object usable.
    ASSERT_EQ(session._Initialize(), mc::kMiscSuccess);
    EXPECT_EQ(calls[2](), mc::kMiscSuccess);
    EXPECT_EQ(level, 3);
}

TEST_F(MiscSessionTest, ReplyLongerThanCapacityIsMoreData) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const std::uint8_t request[2] = {13, 0};
    std::uint8_t out[8] = {};
    std::uint32_t returned = 99;
    EXPECT_EQ(session.EncapsuledDeviceIoControl(mc::kInnerBiosExtensionTable2, request, 2, out, sizeof(out), &returned),
              0);
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorMoreData));
    EXPECT_EQ(returned, 8u);
    const std::uint8_t expected[8] = {0x0D, 0x00, 0x10, 0x53, 0x4D, 0x50, 0x2D, 0x37};
    EXPECT_EQ(0, std::memcmp(out, expected, 8));

    std::uint8_t table[16] = {};
    std::uint32_t size = sizeof(table);
    ASSERT_EQ(session.GetBiosExtensionTable2(13, table, &size), mc::kMiscSuccess);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(table + 3)), "SMP-7420A");
    size = 0;
    EXPECT_EQ(session.GetBiosExtensionTable2(13, nullptr, &size), mc::kMiscInvalidArgument);
    size = 16;
    EXPECT_EQ(session.GetBiosExtensionTable2(13, nullptr, &size), mc::kMiscSystemError);
    EXPECT_EQ(session.GetSequence(), Driver().ExpectedSequence());
}

TEST_F(MiscSessionTest, ExchangeArgumentRules) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    std::uint8_t buffer[8] = {};
    std::uint32_t returned = 0;
    const struct {
        const void* in;
        std::uint32_t inLength;
        void* out;
        std::uint32_t outCapacity;
        std::uint32_t* returned;
    } rows[] = {
        {buffer, 0, buffer, 8, &returned},   // input without length
        {nullptr, 4, buffer, 8, &returned},  // length without input
        {buffer, 4, nullptr, 8, &returned},
        {buffer, 4, buffer, 0, &returned},
        {buffer, 4, buffer, 8, nullptr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(session.EncapsuledDeviceIoControl(mc::kInnerCallMisc, row.in, row.inLength, row.out,
                                                    row.outCapacity, row.returned),
                  0);
        EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorInvalidParameter));
        EXPECT_EQ(std::u16string(session.GetLastErrorText()),
                  Text(u"EncapsuledDeviceIoControl", u"Invalid Argument(s)."));
    }
    EXPECT_TRUE(Calls(mc::kIoctlCapsule).empty());
    session.Close();
    // Closed: no cipher any more.
    std::uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0};
    EXPECT_EQ(session.EncapsuledDeviceIoControl(mc::kInnerCallMisc, packet, 8, packet, 9, &returned), 0);
    EXPECT_EQ(pf::GetLastErrorCode(), static_cast<std::uint32_t>(pf::kErrorInvalidHandle));
    EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"EncapsuledDeviceIoControl", u"Session Not Initialized."));
}

// ---- Model number, boot priority ------------------------------------------------------------

TEST_F(MiscSessionTest, ModelNumberTypes) {
    auto& record = Firmware().MutableModelRecord();
    record.assign(128, 0);
    for (std::size_t i = 0; i < 128; ++i) record[i] = static_cast<std::uint8_t>(0x80 + i);
    record[95] = 15;
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const struct {
        std::uint32_t type, room;
        int code;
        std::uint32_t size;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> spans;  // record offset, length
    } rows[] = {
        {0, 16, 0, 16, {{4, 16}}},
        {1, 20, 0, 15, {{40, 11}, {96, 4}}},
        {1, 258, 0, 15, {{40, 11}, {96, 4}}},
        {1, 12, 0, 12, {{40, 12}}},
        {2, 8, 0, 8, {{32, 8}}},
        {3, 5, 0, 5, {{27, 5}}},
        {4, 2, 0, 2, {{80, 2}}},
        {5, 1, 0, 1, {{91, 1}}},
        {6, 1, 0, 1, {{92, 1}}},
        {0, 15, mc::kMiscNoMemory, 16, {}},
        {3, 4, mc::kMiscNoMemory, 5, {}},
        {7, 64, mc::kMiscInvalidArgument, 64, {}},
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> buffer(row.room, 0xEE);
        std::uint32_t size = row.room;
        ASSERT_EQ(session.GetModelNumber(row.type, buffer.data(), &size), row.code) << row.type;
        EXPECT_EQ(size, row.size) << row.type;
        std::vector<std::uint8_t> expected;
        for (const auto& span : row.spans) {
            expected.insert(expected.end(), record.begin() + span.first, record.begin() + span.first + span.second);
        }
        if (row.code == 0) {
            EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + size), expected);
        }
    }
    std::uint32_t size = 0;
    EXPECT_EQ(session.GetModelNumber(1, nullptr, &size), mc::kMiscNoMemory);
    EXPECT_EQ(size, 12u);
    // Only the nine successful rows asked the driver.
    EXPECT_EQ(Calls(mc::kIoctlModelRecord).size(), 9u);

    record[95] = 25;
    std::uint8_t buffer[32];
    size = sizeof(buffer);
    EXPECT_EQ(session.GetModelNumber(1, buffer, &size), mc::kMiscSystemError);
}

TEST_F(MiscSessionTest, BootPriorityRoundTripWithBusyRetry) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    Firmware().InjectBootPriorityBusy(1);
    std::vector<std::uint8_t> priority(6, 0xEE), table(8, 0xEE);
    std::uint8_t status = 0xEE;
    ASSERT_EQ(session.BootPriorityGetPriorityAndTable(&status, priority.data(), 6, table.data(), 8), mc::kMiscSuccess);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(priority, (std::vector<std::uint8_t>{0, 0, 1, 0, 3, 0}));
    EXPECT_EQ(table, (std::vector<std::uint8_t>{2, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(clock_.sleeps, std::vector<std::uint32_t>{100});
    EXPECT_EQ(Calls(mc::kIoctlCapsule, mc::kInnerBootPriorityGet).size(), 2u);

    const std::uint8_t order[4] = {3, 0, 1, 0};
    ASSERT_EQ(session.BootPrioritySetPriority(&status, order, sizeof(order)), mc::kMiscSuccess);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(Firmware().BootPriorityList().size(), 65536u);
    EXPECT_EQ(0, std::memcmp(Firmware().BootPriorityList().data(), order, 4));
    EXPECT_EQ(Firmware().BootPriorityList()[4], 0);
    EXPECT_EQ(session.BootPrioritySetPriority(&status, nullptr, 4), mc::kMiscInvalidArgument);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()),
              Text(u"BootPrioritySetPriority", u"pBootPriorityArray is NULL"));
    std::vector<std::uint8_t> tooLong(65537);
    EXPECT_EQ(session.BootPrioritySetPriority(&status, tooLong.data(), 65537), mc::kMiscInvalidArgument);
}

// ---- Registry through the driver ---------------------------------------------------------

TEST_F(MiscSessionTest, DriverRegistryLandsInTheSixtyFourBitView) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    CDriverReg reg(&session);
    const char16_t* key = u"SOFTWARE\\Mirelta\\QuarroTest";
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, key, 0), 0);
    ASSERT_EQ(reg.WriteDword(pf::kHkeyLocalMachine, key, u"Count", 0x01020304, 0), 1);
    EXPECT_EQ(ReadDword64(key, u"Count"), 0x01020304u);
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, key, 0), 1);

    std::uint32_t value = 0;
    ASSERT_EQ(reg.ReadDword(pf::kHkeyLocalMachine, key, u"Count", &value, 0), 1);
    EXPECT_EQ(value, 0x01020304u);
    const char16_t text[] = u"hello";
    ASSERT_EQ(reg.WriteString(pf::kHkeyLocalMachine, key, u"Text", text, sizeof(text), 0), 1);
    char16_t read[32] = {};
    std::uint32_t bytes = sizeof(read);
    ASSERT_EQ(reg.ReadString(pf::kHkeyLocalMachine, key, u"Text", read, &bytes, 0), 1);
    EXPECT_EQ(bytes, sizeof(text));
    EXPECT_EQ(std::u16string(read), u"hello");
    // Wrong types refuse; ReadDword leaves the value alone.
    value = 77;
    EXPECT_EQ(reg.ReadDword(pf::kHkeyLocalMachine, key, u"Text", &value, 0), 0);
    EXPECT_EQ(value, 77u);
    bytes = sizeof(read);
    EXPECT_EQ(reg.ReadString(pf::kHkeyLocalMachine, key, u"Count", read, &bytes, 0), 0);

    const std::uint8_t blob[5] = {9, 8, 7, 6, 5};
    ASSERT_EQ(reg.WriteBinary(pf::kHkeyLocalMachine, key, u"Blob", blob, 5, 0), 1);
    std::uint32_t size = 0;
    ASSERT_EQ(reg.GetValueSize(pf::kHkeyLocalMachine, key, u"Blob", &size, 0), 1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(reg.ValueExists(pf::kHkeyLocalMachine, key, u"Blob", 0), 1);
    ASSERT_EQ(reg.DeleteValue(pf::kHkeyLocalMachine, key, u"Blob", 0), 1);
    EXPECT_EQ(reg.ValueExists(pf::kHkeyLocalMachine, key, u"Blob", 0), 0);

    ASSERT_EQ(reg.CreateKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QuarroTest\\Sub", 0), 1);
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QuarroTest\\Sub", 0), 1);
    ASSERT_EQ(reg.DeleteKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QuarroTest\\Sub", 0), 1);
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QuarroTest\\Sub", 0), 0);
    EXPECT_EQ(session.GetSequence(), Driver().ExpectedSequence());
}

TEST_F(MiscSessionTest, QueryRegistrySizesAndRefusals) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    const char16_t* key = u"SOFTWARE\\Mirelta\\Quarro";
    const std::uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(session.SetRegistry(pf::kHkeyLocalMachine, key, u"Data", pf::kRegBinary, data, 12), mc::kMiscSuccess);

    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, key, u"Data", &type, nullptr, &size), mc::kMiscSuccess);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, pf::kRegBinary);

    std::uint8_t small[4] = {};
    size = sizeof(small);
    type = 0;
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, key, u"Data", &type, small, &size), mc::kMiscMoreData);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, pf::kRegBinary);

    std::uint8_t big[32] = {};
    size = sizeof(big);
    ASSERT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, key, u"Data", &type, big, &size), mc::kMiscSuccess);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(0, std::memcmp(big, data, 12));

    size = sizeof(big);
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, key, u"Missing", &type, big, &size), mc::kMiscSystemError);

    const std::size_t before = Driver().Calls().size();
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyCurrentUser, key, u"Data", &type, big, &size), mc::kMiscTooOld);
    EXPECT_EQ(session.SetRegistry(pf::kHkeyCurrentUser, key, u"Data", pf::kRegBinary, data, 4), mc::kMiscTooOld);
    EXPECT_EQ(session.QueryRegistry(pf::kHkeyLocalMachine, nullptr, u"Data", &type, big, &size),
              mc::kMiscInvalidArgument);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"QueryRegistry", u"lpPath or lpName is NULL"));
    EXPECT_EQ(session.SetRegistry(pf::kHkeyLocalMachine, key, u"Data", pf::kRegBinary, nullptr, 4),
              mc::kMiscInvalidArgument);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()),
              Text(u"SetRegistry", u"lpPath, lpName or lpData is NULL"));
    EXPECT_EQ(session.DelRegKey(pf::kHkeyLocalMachine, nullptr), mc::kMiscInvalidArgument);
    EXPECT_EQ(std::u16string(session.GetLastErrorText()), Text(u"DelRegKey", u"lpPath is NULL"));
    EXPECT_EQ(Driver().Calls().size(), before);
}

TEST_F(MiscSessionTest, DriverRegRefusesLongNamesWithoutARequest) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    CDriverReg reg(&session);
    const std::u16string path259 = u"SOFTWARE\\" + std::u16string(250, u'k');
    const std::u16string path260 = path259 + u"k";
    char16_t buffer[16];
    std::uint32_t bytes = sizeof(buffer);
    const std::size_t before = Calls(mc::kIoctlCapsule).size();
    EXPECT_EQ(reg.ReadString(pf::kHkeyLocalMachine, path260.c_str(), u"v", buffer, &bytes, 0), 0);
    EXPECT_EQ(reg.WriteDword(pf::kHkeyLocalMachine, u"SOFTWARE", path260.c_str(), 1, 0), 0);
    EXPECT_EQ(reg.KeyExists(pf::kHkeyLocalMachine, path260.c_str(), 0), 0);
    EXPECT_EQ(reg.ReadString(pf::kHkeyLocalMachine, nullptr, u"v", buffer, &bytes, 0), 0);
    EXPECT_EQ(reg.DeleteValue(pf::kHkeyLocalMachine, u"SOFTWARE", nullptr, 0), 0);
    EXPECT_EQ(Calls(mc::kIoctlCapsule).size(), before);
    // 259 characters still go to the driver.
    EXPECT_EQ(reg.ReadString(pf::kHkeyLocalMachine, path259.c_str(), u"v", buffer, &bytes, 0), 0);
    EXPECT_EQ(Calls(mc::kIoctlCapsule).size(), before + 1);

    // An owned, unopened session refuses everything; the borrowed one survives its CDriverReg.
    CDriverReg owned;
    ASSERT_NE(owned.Session(), nullptr);
    EXPECT_FALSE(owned.Session()->IsOpen());
    EXPECT_EQ(owned.WriteDword(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", u"x", 1, 0), 0);
    { CDriverReg borrowed(&session); }
    EXPECT_TRUE(session.IsOpen());
}

// ---- Typed wrappers ---------------------------------------------------------------------------

TEST_F(MiscSessionTest, SetupValueIsMaskedToItsMeaningfulBits) {
    const struct {
        std::uint32_t setting, bits, raw, expected;
    } rows[] = {
        {2, 2, 0xFFFFFFFF, 0x3},
        {32, 8, 0x0000F20A, 0x0A},
        {40, 0, 0x12345678, 0},
        {41, 31, 0xFFFFFFFF, 0x7FFFFFFF},
        {42, 32, 0xFFFFFFFF, 0xFFFFFFFF},
        {43, 40, 0xDEADBEEF, 0xDEADBEEF},  // more than 32 bits: nothing to mask
        {44, 255, 0x80000001, 0x80000001},
    };
    for (const auto& row : rows) Firmware().Settings()[row.setting] = {row.bits, row.raw};
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    for (const auto& row : rows) {
        std::uint32_t value = 0xEEEEEEEE;
        std::uint8_t bits = 0xEE, status = 0xEE;
        ASSERT_EQ(mc::GetSetupValue_10C(session, row.setting, &value, &bits, &status), mc::kMiscSuccess);
        ASSERT_EQ(status, 0) << row.setting;
        EXPECT_EQ(bits, row.bits);
        EXPECT_EQ(value, row.expected) << row.setting;
    }
    // An unknown setting: a non-zero status, results untouched.
    std::uint32_t value = 0xEEEEEEEE;
    std::uint8_t status = 0;
    ASSERT_EQ(mc::GetSetupValue_10C(session, 250, &value, nullptr, &status), mc::kMiscSuccess);
    EXPECT_NE(status, 0);
    EXPECT_EQ(value, 0xEEEEEEEEu);
}

TEST_F(MiscSessionTest, CompactWrappersReadTheirFields) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    std::uint8_t status = 0xEE;

    std::uint8_t ec[5] = {};
    ASSERT_EQ(mc::GetEcVersion_20F(session, ec, &status), mc::kMiscSuccess);
    EXPECT_EQ(std::vector<std::uint8_t>(ec, ec + 5), (std::vector<std::uint8_t>{1, 0x20, 5, 0x41, 0}));

    std::uint8_t state = 0, usb = 0, antenna = 0;
    ASSERT_EQ(mc::GetDockingState_260(session, &state, &usb, &antenna, &status), mc::kMiscSuccess);
    EXPECT_EQ(state * 100 + usb * 10 + antenna, 122);

    std::uint8_t firmware[4] = {};
    std::uint16_t word = 0;
    ASSERT_EQ(mc::GetPortReplicatorFirmware_261(session, firmware, &word, &status), mc::kMiscSuccess);
    EXPECT_EQ(firmware[0], 0x12);
    EXPECT_EQ(firmware[2], 0x42);
    EXPECT_EQ(word, 0x1234);

    ASSERT_EQ(mc::GetBatteryBayConfiguration_293(session, &word, &status), mc::kMiscSuccess);
    EXPECT_EQ(word, 5);

    std::uint16_t me[4] = {};
    ASSERT_EQ(mc::GetMeFirmwareVersion_2B0(session, me, &status), mc::kMiscSuccess);
    EXPECT_EQ(std::vector<std::uint16_t>(me, me + 4), (std::vector<std::uint16_t>{8, 1, 20, 1292}));

    std::uint8_t kind = 0;
    ASSERT_EQ(mc::GetAntennaKind_C07(session, &kind, &status), mc::kMiscSuccess);
    EXPECT_EQ(kind, 1);
    ASSERT_EQ(mc::GetBootOrderKind_1060(session, &word, &status), mc::kMiscSuccess);
    EXPECT_EQ(word, 770);
    std::uint16_t layout[4] = {};
    ASSERT_EQ(mc::GetBootTableLayout_1061(session, layout, &status), mc::kMiscSuccess);
    EXPECT_EQ(std::vector<std::uint16_t>(layout, layout + 4), (std::vector<std::uint16_t>{4, 5, 2, 16}));
    EXPECT_EQ(status, 0);

    // A function the firmware does not have: status passed out, results untouched.
    std::uint8_t marks[2] = {0xEE, 0xEE};
    ASSERT_EQ(mc::GetFanMarks_2A0(session, marks, &status), mc::kMiscSuccess);
    EXPECT_NE(status, 0);
    EXPECT_EQ(marks[0], 0xEE);
    EXPECT_EQ(session.GetSequence(), Driver().ExpectedSequence());
}

TEST_F(MiscSessionTest, DataWrapperReportsNeededSizeOnStatusFive) {
    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    Firmware().InjectTooSmall(0x111, 300);
    std::uint8_t data[16];
    std::uint32_t size = sizeof(data);
    std::uint16_t values[4] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
    std::uint8_t status = 0;
    ASSERT_EQ(mc::GetDeviceEntry_111(session, 2, 0, data, &size, values, &status), mc::kMiscSuccess);
    EXPECT_EQ(status, mc::kStatusTooSmall);
    EXPECT_EQ(size, 300u);
    EXPECT_EQ(values[0], 0xEEEE);
    const auto calls = Calls(mc::kIoctlCapsule, mc::kInnerCallMisc);
    ASSERT_EQ(calls.size(), 1u);
    // Input: the 22-byte header; output room: header and data.
    size = 0xFFFF;
    EXPECT_EQ(mc::GetDeviceEntry_111(session, 2, 0, data, &size, values, &status), mc::kMiscInvalidArgument);
    size = 4;
    EXPECT_EQ(mc::GetDeviceEntry_111(session, 2, 0, nullptr, &size, values, &status), mc::kMiscInvalidArgument);
    EXPECT_EQ(mc::ExchangeFirmwareData_30x(session, 0x30F, data, &size, &status), mc::kMiscInvalidArgument);
}

}  // namespace
