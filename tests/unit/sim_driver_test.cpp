// The simulated Mirelta Misc Driver, driven by raw device-control requests built here with the
// crypto building blocks alone (no session client involved).
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/blowfish.h"
#include "crypto/hmac_sha1.h"
#include "crypto/preshared_key.h"
#include "crypto/sha1.h"
#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_clock.h"
#include "platform/sim/sim_device_interfaces.h"
#include "platform/sim/sim_devices.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
namespace cr = quarro::crypto;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, std::uint32_t v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
void PutText16(Bytes& b, const std::u16string& s) {
    for (char16_t c : s + u'\0') Put16(b, c);
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t Get16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

const char* kMachine = R"({
  "miscDriver": {
    "driverVersion": "1.0.900.0",
    "modelRecord": { "modelName": "MIRELTA NB-7420", "modelNumber": "NB7420C2BKEAX12",
                     "serialNumber": { "prefix": "3LKSA", "number": 48213 }, "biosVersion": "0220130012",
                     "bytes": { "80": "0100", "91": "03" } },
    "settings": { "36": { "bits": 2, "value": 1 }, "32": { "bits": 8, "value": "0xF20A" } },
    "ec": { "0xFF": "0x41", "250": 32 },
    "batteries": { "0": { "healthSupport": 1 }, "1": { "healthSupport": 1 } },
    "ecVersion": "0120054100",
    "environmentControl": { "0": 3 },
    "operatingTime": { "hours": 10 },
    "deviceTable": { "2": [ { "state": 2, "names": [ { "tag": 1, "text": "Touch Pad" } ] } ] },
    "memorySlots": [ { "flags": "0x40", "spd": "000102030405060708090A0B0C0D0E0F 101112131415161718191A1B1C1D1E1F" } ],
    "dataBlocks": { "0x304": "0102" },
    "functions": { "0x10F": { "match": { "8": "01" }, "reply": { "8": "07" } } },
    "bootPriority": { "priority": "00000100", "table": "0200 0000 0300 0000" },
    "biosExtensionTables": { "13": "0D0010534D502D373432304100000000" }
  }
})";

struct Result {
    bool ok = false;
    std::uint32_t error = 0;
    std::uint32_t returned = 0;
    Bytes out;
};

// A session client made of the crypto building blocks, following the protocol step by step.
class RawClient {
public:
    explicit RawClient(sim::SimDeviceInterfaces& dev) : dev_(dev) {
        cr::DerivePresharedKey(cr::kPresharedKeySource, psk);
        handle_ = dev_.CreateFile(sim::kMiscDriverDevicePath, pf::kGenericRead | pf::kGenericWrite, 0, pf::kOpenExisting);
    }
    ~RawClient() {
        if (handle_ != pf::kInvalidDevice) dev_.CloseHandle(handle_);
    }

    Result Ioctl(std::uint32_t code, const Bytes& in, std::uint32_t outSize) {
        Result r;
        r.out.assign(outSize, 0xCC);
        r.ok = dev_.DeviceIoControl(handle_, code, in.empty() ? nullptr : in.data(), static_cast<std::uint32_t>(in.size()),
                                    outSize ? r.out.data() : nullptr, outSize, &r.returned);
        r.error = r.ok ? 0 : pf::GetLastErrorCode();
        return r;
    }

    Bytes Ini1() {
        std::mt19937 rng(seed_);
        for (int i = 0; i < 3; ++i) x_[i] = rng();
        x_[3] = 0;
        cr::Pow2Mod(x_, 4, a_);
        Bytes in = {'I', 'n', 'i', '1'};
        for (std::uint32_t w : a_) Put32(in, w);
        for (int i = 0; i < 20; ++i) nonce_[i] = static_cast<std::uint8_t>(rng());
        in.insert(in.end(), nonce_, nonce_ + 20);
        Put32(in, 0);
        return in;
    }
    // Phase 1 reply -> session id, B, K1, proofs.
    void TakePhase1(const Bytes& reply) {
        sessionId = Get32(reply, 0);
        for (std::size_t i = 0; i < cr::kBigNumWords; ++i) b_[i] = Get32(reply, 4 + 4 * i);
        Bytes k1Input(nonce_, nonce_ + 20);
        Put32(k1Input, 0);
        k1Input.insert(k1Input.end(), reply.begin() + 136, reply.begin() + 160);
        cr::HmacSha1(psk, sizeof(psk), k1Input.data(), k1Input.size(), k1_);
        Bytes ab, ba;
        for (std::uint32_t w : a_) Put32(ab, w);
        for (std::uint32_t w : b_) Put32(ab, w);
        ba.assign(ab.begin() + 132, ab.end());
        ba.insert(ba.end(), ab.begin(), ab.begin() + 132);
        cr::HmacSha1(k1_, 20, ab.data(), ab.size(), clientProof_);
        cr::HmacSha1(k1_, 20, ba.data(), ba.size(), driverProof);
    }
    Bytes Ini2() {
        Bytes in = {'I', 'n', 'i', '2'};
        Put32(in, sessionId);
        in.insert(in.end(), clientProof_, clientProof_ + 20);
        return in;
    }
    Bytes Ini3() {
        std::uint32_t z[cr::kBigNumWords];
        cr::PowMod(b_, x_, 4, cr::kModp1024Prime, z);
        Bytes zBytes;
        for (std::uint32_t w : z) Put32(zBytes, w);
        std::uint8_t digest[20];
        cr::Sha1(zBytes.data(), zBytes.size(), digest);
        for (int i = 0; i < 16; ++i) sessionKey[i] = static_cast<std::uint8_t>(0xA0 + 7 * i);
        cr::BlowfishContext kek;
        cr::BlowfishInitialize(&kek, digest, 16);
        std::uint8_t wrapped[16];
        std::memcpy(wrapped, sessionKey, 16);
        cr::BlowfishEncipherBlock(&kek, wrapped);
        cr::BlowfishEncipherBlock(&kek, wrapped + 8);
        Bytes in = {'I', 'n', 'i', '3'};
        Put32(in, sessionId);
        in.insert(in.end(), wrapped, wrapped + 16);
        return in;
    }

    // The whole handshake; every step must pass.
    void Handshake() {
        ASSERT_TRUE(Ioctl(sim::kIoctlHandshake, {}, 0).ok);
        Result r1 = Ioctl(sim::kIoctlHandshake, Ini1(), 160);
        ASSERT_TRUE(r1.ok);
        ASSERT_EQ(r1.returned, 160u);
        TakePhase1(r1.out);
        Result r2 = Ioctl(sim::kIoctlHandshake, Ini2(), 20);
        ASSERT_TRUE(r2.ok) << r2.error;
        ASSERT_EQ(r2.returned, 20u);
        ASSERT_EQ(0, std::memcmp(r2.out.data(), driverProof, 20));
        Result r3 = Ioctl(sim::kIoctlHandshake, Ini3(), 8);
        ASSERT_TRUE(r3.ok) << r3.error;
        ASSERT_EQ(r3.returned, 8u);
        ASSERT_TRUE(AcceptPhase3(r3.out));
    }
    // Keys the cipher with the session key; the reply must read "Auth" "Misc".
    bool AcceptPhase3(Bytes reply) {
        cr::BlowfishInitialize(&cipher_, sessionKey, 16);
        cr::BlowfishDecipherBlock(&cipher_, reply.data());
        sequence = 0;
        return Get32(reply, 0) == sim::kAuthWord && Get32(reply, 4) == sim::kMiscWord;
    }

    static Bytes Inner(std::uint32_t seq, std::uint32_t code, const Bytes& input, std::uint32_t outLen) {
        Bytes m;
        Put32(m, seq);
        Put32(m, static_cast<std::uint32_t>(input.size()) + 24);
        Put32(m, code);
        Put32(m, static_cast<std::uint32_t>(input.size()));
        Put32(m, outLen);
        m.insert(m.end(), input.begin(), input.end());
        Put32(m, 0);
        return m;
    }
    // Capsule around `payload` with the given header (defaults: the right ones), enciphered.
    Bytes Wrap(const Bytes& payload, long lengthField = -1, long capsuleField = -1, long idField = -1) {
        const auto L = static_cast<std::uint32_t>(payload.size());
        const std::uint32_t C = sim::CapsuleLength(L);
        Bytes c;
        Put32(c, lengthField < 0 ? L : static_cast<std::uint32_t>(lengthField));
        Put32(c, capsuleField < 0 ? C : static_cast<std::uint32_t>(capsuleField));
        Put32(c, idField < 0 ? sessionId : static_cast<std::uint32_t>(idField));
        c.insert(c.end(), payload.begin(), payload.end());
        c.resize(C, 0);
        if (encrypting) {
            for (std::size_t at = 12; at + 8 <= C - 4; at += 8) cr::BlowfishEncipherBlock(&cipher_, &c[at]);
        }
        return c;
    }
    // Sends a capsule, counts like the client, and deciphers the reply into `payload`.
    Result SendCapsule(const Bytes& capsule, std::uint32_t outSize, Bytes* payload) {
        Result r = Ioctl(sim::kIoctlCapsule, capsule, outSize);
        if (r.ok || r.returned > 0) ++sequence;
        payload->clear();
        if (r.returned >= 12) {
            Bytes reply(r.out.begin(), r.out.begin() + r.returned);
            const std::uint32_t blocks = (Get32(reply, 4) - 16) / 8;
            for (std::uint32_t i = 0; i < blocks && 12 + 8 * (i + 1) <= reply.size(); ++i) {
                if (encrypting) cr::BlowfishDecipherBlock(&cipher_, &reply[12 + 8 * i]);
            }
            const std::size_t length = std::min<std::size_t>(Get32(reply, 0), reply.size() - 12);
            payload->assign(reply.begin() + 12, reply.begin() + 12 + static_cast<std::ptrdiff_t>(length));
            r.out = reply;
        }
        return r;
    }
    Result Call(std::uint32_t code, const Bytes& input, std::uint32_t outLen, Bytes* payload) {
        return SendCapsule(Wrap(Inner(sequence, code, input, outLen)), sim::CapsuleLength(outLen), payload);
    }

    std::uint8_t psk[cr::kPresharedKeySize];
    std::uint32_t sessionId = 0;
    std::uint32_t sequence = 0;
    bool encrypting = true;
    std::uint8_t driverProof[20] = {};
    std::uint8_t sessionKey[16] = {};
    std::uint32_t seed_ = 7;
    pf::DeviceHandle handle_;

private:
    sim::SimDeviceInterfaces& dev_;
    std::uint32_t x_[4] = {};
    std::uint32_t a_[cr::kBigNumWords] = {};
    std::uint32_t b_[cr::kBigNumWords] = {};
    std::uint8_t nonce_[20] = {};
    std::uint8_t k1_[20] = {};
    std::uint8_t clientProof_[20] = {};
    cr::BlowfishContext cipher_{};
};

// A 32-byte form packet.
Bytes Packet32(std::uint16_t function, std::uint32_t argument, std::uint32_t marker8 = 0x90) {
    Bytes p;
    for (std::uint32_t half : {static_cast<std::uint32_t>(function), 32u, 32u, 0u}) Put16(p, half);
    Put32(p, marker8);
    Put32(p, argument);
    Put32(p, (static_cast<std::uint32_t>(function) << 16) | 0x90);
    p.resize(32, 0);
    return p;
}
Bytes Compact(std::uint16_t function, std::uint16_t in, std::uint16_t out) {
    Bytes p;
    for (std::uint32_t half : {std::uint32_t{function}, std::uint32_t{in}, std::uint32_t{out}}) Put16(p, half);
    p.resize(in, 0);
    return p;
}

class SimDriver : public ::testing::Test {
protected:
    SimDriver() : dev_(nlohmann::json::parse(kMachine)), client_(dev_) {
        pf::Services s;
        s.clock = &clock_;
        s.registry = &registry_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
        dev_.Driver().Seed(42);
    }
    sim::SimMiscDriver& Driver() { return dev_.Driver(); }

    sim::FakeClock clock_;
    sim::MemoryRegistry registry_;
    std::unique_ptr<pf::ScopedOverride> override_;
    sim::SimDeviceInterfaces dev_;
    RawClient client_;
};

TEST_F(SimDriver, DeviceInterfaceEnumeratesOpensExclusivelyAndReadsTheDriverVersion) {
    dev_.CloseHandle(client_.handle_);  // start with the device closed
    client_.handle_ = pf::kInvalidDevice;
    const pf::Guid other = {0x4D36E96A, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
    const pf::DeviceInfoSet set = dev_.GetClassDevs(sim::kMiscDriverInterfaceClass, pf::kDigcfPresent | pf::kDigcfDeviceInterface);
    ASSERT_NE(set, 0u);
    pf::DeviceInterfaceRef iface;
    EXPECT_FALSE(dev_.EnumDeviceInterfaces(set, sim::kMiscDriverInterfaceClass, 1, &iface));
    EXPECT_EQ(pf::GetLastErrorCode(), 259u);
    EXPECT_FALSE(dev_.EnumDeviceInterfaces(set, other, 0, &iface));
    EXPECT_EQ(pf::GetLastErrorCode(), 259u);
    ASSERT_TRUE(dev_.EnumDeviceInterfaces(set, sim::kMiscDriverInterfaceClass, 0, &iface));

    std::uint32_t required = 0;
    std::u16string path;
    pf::DeviceInstanceRef instance;
    EXPECT_FALSE(dev_.GetDeviceInterfaceDetail(set, iface, 0, &required, nullptr, nullptr));
    EXPECT_EQ(pf::GetLastErrorCode(), 122u);
    const std::u16string expected = sim::kMiscDriverDevicePath;
    EXPECT_EQ(required, 4 + 2 * (expected.size() + 1));
    ASSERT_TRUE(dev_.GetDeviceInterfaceDetail(set, iface, required, &required, &path, &instance));
    EXPECT_EQ(path, expected);

    std::uint32_t type = 0, size = 0;
    bool opened = false;
    EXPECT_EQ(dev_.QueryDriverKeyValue(set, instance, u"DriverVersion", &type, nullptr, &size, &opened), 0);
    EXPECT_TRUE(opened);
    EXPECT_EQ(size, 20u);  // "1.0.900.0" and its terminator
    std::uint8_t data[64] = {};
    size = 19;
    EXPECT_EQ(dev_.QueryDriverKeyValue(set, instance, u"DriverVersion", &type, data, &size, &opened), 234);
    EXPECT_EQ(size, 20u);
    size = sizeof(data);
    ASSERT_EQ(dev_.QueryDriverKeyValue(set, instance, u"DriverVersion", &type, data, &size, &opened), 0);
    EXPECT_EQ(type, pf::kRegSz);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data)), u"1.0.900.0");
    EXPECT_EQ(dev_.QueryDriverKeyValue(set, instance, u"Nothing", &type, data, &size, &opened), 2);
    dev_.DestroyDeviceInfoList(set);
    EXPECT_EQ(dev_.OpenInfoSets(), 0u);

    // Only the published path opens (letters in any case), and only once at a time.
    EXPECT_EQ(dev_.CreateFile(u"\\\\?\\ROOT#MIRELTA_MISC#0001", 0, 0, pf::kOpenExisting), pf::kInvalidDevice);
    EXPECT_EQ(pf::GetLastErrorCode(), 2u);
    std::u16string upper = expected;
    for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    const pf::DeviceHandle h = dev_.CreateFile(upper.c_str(), 0, 0, pf::kOpenExisting);
    ASSERT_NE(h, pf::kInvalidDevice);
    EXPECT_EQ(dev_.CreateFile(expected.c_str(), 0, 0, pf::kOpenExisting), pf::kInvalidDevice);
    EXPECT_EQ(pf::GetLastErrorCode(), 32u);
    std::uint32_t returned = 5;
    EXPECT_FALSE(dev_.DeviceIoControl(h + 4, sim::kIoctlHandshake, nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(pf::GetLastErrorCode(), 6u);
    EXPECT_EQ(returned, 0u);
    dev_.CloseHandle(h);
    const pf::DeviceHandle again = dev_.CreateFile(expected.c_str(), 0, 0, pf::kOpenExisting);
    EXPECT_NE(again, pf::kInvalidDevice);
    client_.handle_ = again;
}

TEST(SimDriverDevices, AbsentDriverEnumeratesEmptyAndSnapshotsDecideTheDevice) {
    auto absent = sim::MakeAbsentDeviceInterfaces();
    sim::SimDeviceInterfaces notPresent(nlohmann::json::parse(R"({"miscDriver": {"present": false}})"));
    for (pf::IDeviceInterfaces* dev : {absent.get(), static_cast<pf::IDeviceInterfaces*>(&notPresent)}) {
        const pf::DeviceInfoSet set = dev->GetClassDevs(sim::kMiscDriverInterfaceClass, pf::kDigcfPresent | pf::kDigcfDeviceInterface);
        pf::DeviceInterfaceRef iface;
        EXPECT_FALSE(dev->EnumDeviceInterfaces(set, sim::kMiscDriverInterfaceClass, 0, &iface));
        EXPECT_EQ(pf::GetLastErrorCode(), 259u);
        EXPECT_EQ(dev->CreateFile(sim::kMiscDriverDevicePath, 0, 0, pf::kOpenExisting), pf::kInvalidDevice);
        dev->DestroyDeviceInfoList(set);
    }

    // A snapshot without a "miscDriver" section leaves the concern to someone else.
    const std::string folder = ::testing::TempDir() + "sim_driver_machine";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/machine.json") << R"({"os": {}})";
    std::string error;
    auto bare = sim::MachineSnapshot::Load(folder, &error);
    ASSERT_TRUE(bare) << error;
    EXPECT_EQ(sim::MakeSimDeviceInterfaces(*bare), nullptr);

    // The default notebook has the driver, and every field of its section is usable.
    auto machine = sim::MachineSnapshot::Load(std::string(QUARRO_SOURCE_DIR) + "/machines/default", &error);
    ASSERT_TRUE(machine) << error;
    auto dev = sim::MakeSimDeviceInterfaces(*machine);
    ASSERT_NE(dev, nullptr);
    auto& simDev = static_cast<sim::SimDeviceInterfaces&>(*dev);
    EXPECT_TRUE(simDev.Present());
    EXPECT_EQ(simDev.Driver().Problems(), std::vector<std::string>{});
    const auto& record = simDev.Driver().Firmware().ModelRecord();
    EXPECT_EQ(std::string(record.begin() + 4, record.begin() + 19), "MIRELTA NB-7420");
    std::vector<std::uint8_t> table13;
    ASSERT_TRUE(simDev.Driver().Firmware().BiosExtensionTable(13, &table13));
    EXPECT_EQ(table13.size(), 16u);
}

TEST_F(SimDriver, HandshakeEstablishesASessionAndCapsulesCountTheSequence) {
    client_.Handshake();
    EXPECT_TRUE(Driver().SessionOpen());
    EXPECT_NE(client_.sessionId, 0u);
    EXPECT_EQ(Driver().SessionId(), client_.sessionId);
    EXPECT_EQ(0, std::memcmp(Driver().SessionKey(), client_.sessionKey, 16));

    Bytes reply;
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Driver().ExpectedSequence(), i);
        Result r = client_.Call(sim::kInnerMiscPacket, Packet32(0x10C, 36), 32, &reply);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.returned, sim::CapsuleLength(32));
        EXPECT_EQ(Get32(r.out, 8), client_.sessionId);
        ASSERT_EQ(reply.size(), 32u);
        EXPECT_EQ(reply[0], 0);
        EXPECT_EQ(reply[12], 2);
        EXPECT_EQ(Get32(reply, 20), 1u);
    }
    EXPECT_EQ(Driver().Calls().back().sequence, 2u);
    EXPECT_EQ(Driver().Calls().back().innerCode, sim::kInnerMiscPacket);

    // Ending the session forgets it; capsules are then refused.
    Bytes id;
    Put32(id, client_.sessionId);
    EXPECT_TRUE(client_.Ioctl(sim::kIoctlEndSession, id, 0).ok);
    EXPECT_FALSE(Driver().SessionOpen());
    EXPECT_EQ(Driver().EndedSessions(), std::vector<std::uint32_t>{client_.sessionId});
    Result after = client_.Call(sim::kInnerMiscPacket, Packet32(0x10C, 36), 32, &reply);
    EXPECT_FALSE(after.ok);
    EXPECT_EQ(after.error, 5u);
    Result again = client_.Ioctl(sim::kIoctlEndSession, id, 0);
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, 87u);
}

TEST_F(SimDriver, HandshakeRefusesWrongOrderIdsSizesAndNumbers) {
    auto expectRefused = [&](const Bytes& in, std::uint32_t outSize, std::uint32_t error, const char* what) {
        Result r = client_.Ioctl(sim::kIoctlHandshake, in, outSize);
        EXPECT_FALSE(r.ok) << what;
        EXPECT_EQ(r.error, error) << what;
        EXPECT_EQ(r.returned, 0u) << what;
    };
    expectRefused(client_.Ini2(), 20, 87, "phase 2 first");
    Bytes ini1 = client_.Ini1();
    Bytes shortIni1(ini1.begin(), ini1.end() - 1);
    expectRefused(shortIni1, 160, 87, "159-byte phase 1");
    expectRefused(ini1, 159, 87, "159-byte room");
    Bytes nonzeroTail = ini1;
    nonzeroTail[159] = 1;
    expectRefused(nonzeroTail, 160, 87, "non-zero tail");
    Bytes badTag = ini1;
    badTag[3] = '9';
    expectRefused(badTag, 160, 87, "unknown tag");

    // Public numbers that give the secret away or lie outside the group: 0, 1, P - 1, P, and a
    // number above P (its top word set).
    std::uint32_t pMinus1[cr::kBigNumWords], above[cr::kBigNumWords];
    std::memcpy(pMinus1, cr::kModp1024Prime, sizeof(pMinus1));
    std::memcpy(above, cr::kModp1024Prime, sizeof(above));
    pMinus1[0] -= 1;  // the prime's low word is odd
    above[cr::kBigNumWords - 1] = 1;
    const std::uint32_t zero[cr::kBigNumWords] = {}, one[cr::kBigNumWords] = {1};
    const std::uint32_t* const insane[] = {zero, one, pMinus1, cr::kModp1024Prime, above};
    for (const std::uint32_t* a : insane) {
        Bytes in = ini1;
        for (std::size_t i = 0; i < cr::kBigNumWords; ++i) std::memcpy(&in[4 + 4 * i], &a[i], 4);
        expectRefused(in, 160, 87, "insane A");
    }
    EXPECT_EQ(Driver().SessionId(), 0u);

    Result r1 = client_.Ioctl(sim::kIoctlHandshake, ini1, 160);
    ASSERT_TRUE(r1.ok);
    client_.TakePhase1(r1.out);
    expectRefused(client_.Ini3(), 8, 87, "phase 3 before 2");
    client_.sessionId ^= 1;
    expectRefused(client_.Ini2(), 20, 87, "wrong session id");
    client_.sessionId ^= 1;
    Bytes badProof = client_.Ini2();
    badProof[27] ^= 0x80;
    expectRefused(badProof, 20, 5, "wrong client proof");
    EXPECT_EQ(Driver().SessionId(), 0u);  // the half-made session is gone
    expectRefused(client_.Ini2(), 20, 87, "proof after the session was dropped");

    client_.Handshake();
    expectRefused(client_.Ini1(), 160, 87, "phase 1 while established");
    EXPECT_TRUE(Driver().SessionOpen());
}

TEST_F(SimDriver, FaultsShapeTheHandshakeAsTold) {
    // A 159-byte phase-1 reply that still succeeds, and no session afterwards.
    Driver().SetPhase1ReplySize(159);
    Result r = client_.Ioctl(sim::kIoctlHandshake, client_.Ini1(), 160);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.returned, 159u);
    EXPECT_EQ(Driver().SessionId(), 0u);

    // A wrong driver proof.
    Driver().CorruptNextDriverProof();
    Result r1 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini1(), 160);
    client_.TakePhase1(r1.out);
    Result r2 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini2(), 20);
    ASSERT_TRUE(r2.ok);
    EXPECT_NE(0, std::memcmp(r2.out.data(), client_.driverProof, 20));

    // A failing phase 3, then a clean handshake.
    Bytes id;
    Put32(id, client_.sessionId);
    ASSERT_TRUE(client_.Ioctl(sim::kIoctlEndSession, id, 0).ok);
    Driver().FailNextPhase(3, 31);
    r1 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini1(), 160);
    client_.TakePhase1(r1.out);
    ASSERT_TRUE(client_.Ioctl(sim::kIoctlHandshake, client_.Ini2(), 20).ok);
    Result r3 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini3(), 8);
    EXPECT_FALSE(r3.ok);
    EXPECT_EQ(r3.error, 31u);
    r3 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini3(), 8);
    ASSERT_TRUE(r3.ok);
    EXPECT_TRUE(client_.AcceptPhase3(r3.out));
    EXPECT_TRUE(Driver().SessionOpen());

    // An exchange that fails by inner code: no bytes, no count; the next one goes through.
    Driver().FailNextExchange(sim::kInnerMiscPacket, 1117);
    clock_.nowMs = 5000;
    client_.sequence = 0;
    Bytes reply;
    Result failed = client_.Call(sim::kInnerMiscPacket, Packet32(0x10C, 36), 32, &reply);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, 1117u);
    EXPECT_EQ(failed.returned, 0u);
    EXPECT_EQ(Driver().ExpectedSequence(), 0u);
    EXPECT_EQ(Driver().Calls().back().tick, 5000u);
    EXPECT_EQ(Driver().Calls().back().error, 1117u);
    clock_.nowMs = 5100;
    EXPECT_TRUE(client_.Call(sim::kInnerMiscPacket, Packet32(0x10C, 36), 32, &reply).ok);
    EXPECT_EQ(Driver().Calls().back().tick, 5100u);
}

TEST_F(SimDriver, KeyMismatchesFailOnTheRightSide) {
    // A driver with another key refuses the client's proof.
    std::uint8_t other[16] = {1, 2, 3};
    Driver().SetPresharedKey(other);
    Result r1 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini1(), 160);
    client_.TakePhase1(r1.out);
    Result r2 = client_.Ioctl(sim::kIoctlHandshake, client_.Ini2(), 20);
    EXPECT_FALSE(r2.ok);
    EXPECT_EQ(r2.error, 5u);

    // An impostor ("mismatched") answers, but with a proof the client cannot accept.
    sim::SimDeviceInterfaces impostor(nlohmann::json::parse(R"({"miscDriver": {"presharedKey": "mismatched"}})"));
    RawClient client(impostor);
    r1 = client.Ioctl(sim::kIoctlHandshake, client.Ini1(), 160);
    client.TakePhase1(r1.out);
    r2 = client.Ioctl(sim::kIoctlHandshake, client.Ini2(), 20);
    ASSERT_TRUE(r2.ok);
    EXPECT_NE(0, std::memcmp(r2.out.data(), client.driverProof, 20));
}

TEST_F(SimDriver, CapsuleDecodeErrorsAreRefusedWithoutCounting) {
    client_.Handshake();
    const Bytes inner = RawClient::Inner(0, sim::kInnerMiscPacket, Packet32(0x10C, 36), 32);
    const std::uint32_t L = static_cast<std::uint32_t>(inner.size());
    struct Case {
        const char* what;
        Bytes capsule;
        std::uint32_t error;
    };
    auto mutated = [&](std::size_t at, std::uint8_t xorWith) {
        Bytes m = inner;
        m[at] ^= xorWith;
        return client_.Wrap(m);
    };
    Bytes longPacket = Compact(0x293, 10, 10);
    longPacket.resize(12, 0);  // 12 bytes sent, the header says 10
    Bytes truncated = client_.Wrap(inner);
    truncated.pop_back();
    Bytes longer = client_.Wrap(inner);
    longer.push_back(0);
    const std::vector<Case> cases = {
        {"header only", Bytes(12, 0), 87},
        {"payload length past the capsule", client_.Wrap(inner, L + 8), 87},
        {"capsule length not matching the payload", client_.Wrap(inner, -1, sim::CapsuleLength(L) + 8), 87},
        {"input shorter than the capsule", truncated, 87},
        {"input longer than the capsule", longer, 87},
        {"wrong session id", client_.Wrap(inner, -1, -1, client_.sessionId + 1), 87},
        {"sequence ahead", mutated(0, 1), 5},
        {"total length field", mutated(4, 1), 87},
        {"input length field", mutated(12, 8), 87},
        {"trailing zero bytes", mutated(L - 1, 0x40), 87},
        {"payload too short for a message", client_.Wrap(Bytes(16, 0)), 87},
        {"unknown inner code", client_.Wrap(RawClient::Inner(0, 0x222970, {}, 0)), 1},
        {"packet length not matching", client_.Wrap(RawClient::Inner(0, sim::kInnerMiscPacket, longPacket, 10)), 87},
    };
    Bytes payload;
    for (const Case& c : cases) {
        client_.sequence = 0;
        Result r = client_.SendCapsule(c.capsule, 64, &payload);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(r.returned, 0u) << c.what;
        EXPECT_EQ(Driver().ExpectedSequence(), 0u) << c.what;
    }
    client_.sequence = 0;
    EXPECT_TRUE(client_.Call(sim::kInnerMiscPacket, Packet32(0x10C, 36), 32, &payload).ok);
    EXPECT_EQ(Driver().ExpectedSequence(), 1u);
}

TEST_F(SimDriver, RepliesThatDoNotFitReturnWhatFitsAndStillCount) {
    client_.Handshake();
    EXPECT_EQ(sim::CapsuleLength(0), 16u);
    for (std::uint32_t n = 1; n <= 8; ++n) EXPECT_EQ(sim::CapsuleLength(n), 24u) << n;
    for (std::uint32_t n = 9; n <= 16; ++n) EXPECT_EQ(sim::CapsuleLength(n), 32u) << n;

    const Bytes table13 = {0x0D, 0x00, 0x10, 'S', 'M', 'P', '-', '7', '4', '2', '0', 'A', 0, 0, 0, 0};
    Bytes payload;
    Result whole = client_.Call(sim::kInnerBiosExtensionTable, {13, 0}, 16, &payload);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(payload, table13);
    // The caller takes 8 bytes: its capsule holds 24, the reply needs 32.
    Result part = client_.Call(sim::kInnerBiosExtensionTable, {13, 0}, 8, &payload);
    EXPECT_FALSE(part.ok);
    EXPECT_EQ(part.error, 234u);
    EXPECT_EQ(part.returned, 24u);
    EXPECT_EQ(Get32(part.out, 0), 16u);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 8), Bytes(table13.begin(), table13.begin() + 8));
    // Room for the capsule but a smaller output length in the message.
    Result smaller = client_.SendCapsule(
        client_.Wrap(RawClient::Inner(client_.sequence, sim::kInnerBiosExtensionTable, {13, 0}, 15)), 32, &payload);
    EXPECT_FALSE(smaller.ok);
    EXPECT_EQ(smaller.error, 234u);
    EXPECT_EQ(smaller.returned, 32u);
    EXPECT_EQ(Driver().ExpectedSequence(), client_.sequence);
    EXPECT_EQ(client_.sequence, 3u);

    Result unknown = client_.Call(sim::kInnerBiosExtensionTable, {14, 0}, 16, &payload);
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.error, 87u);
}

// What the firmware refuses, and how (the answers themselves are the wrapper table's).
TEST_F(SimDriver, FirmwareJudgesPacketFormsLengthsAndArguments) {
    client_.Handshake();
    struct Case {
        const char* what;
        Bytes packet;
        std::uint8_t status;
        std::size_t at = 0;      // where to look in the reply
        std::uint8_t value = 0;  // the byte expected there (when status is 0)
    };
    auto with = [](Bytes packet, std::size_t at, std::uint8_t value) {
        packet[at] = value;
        return packet;
    };
    Bytes badForm = Packet32(0x10C, 36);
    badForm[16] = 0x91;
    const std::vector<Case> cases = {
        {"setting number from the low byte", Packet32(0x10C, 0x100 | 36), 0, 20, 1},
        {"unlisted EC register reads 0", Packet32(0x210, 0x10), 0, 20, 0},
        {"32-byte form marker at 8", Packet32(0x10C, 36, 0x91), 0x81},
        {"32-byte form word at 16", badForm, 0x81},
        {"32-byte function in 10 bytes", Compact(0x10C, 10, 10), 0x81},
        {"compact input too short", Compact(0x293, 8, 10), 0x81},
        {"compact input too long", Compact(0x293, 12, 12), 0x81},
        {"compact output too short", Compact(0x20F, 8, 13), 5},
        {"0x115 in neither form", Compact(0x115, 15, 16), 0x81},
        {"0x110 asked to write", with(Compact(0x110, 18, 18), 8, 1), 0x82},
        {"data-read room past the output", with(Compact(0x111, 22, 30), 20, 9), 0x81},
        {"data-read header with data", Compact(0x111, 24, 24), 0x81},
        {"data both ways, input not header + length", with(Compact(0x304, 12, 12), 8, 4), 0x81},
        {"data both ways, output not the input", with(Compact(0x304, 12, 14), 8, 2), 0x81},
        {"no data for the function", Compact(0x2A1, 8, 10), 0x80},
        {"fixed answer for its argument", with(Compact(0x10F, 10, 10), 8, 1), 0, 8, 7},
        {"table answer for another", Compact(0x10F, 10, 10), 0, 8, 3},
        {"unknown function", Compact(0x777, 8, 8), 0x80},
    };
    for (const Case& c : cases) {
        Bytes reply;
        const std::uint32_t out = Get16(c.packet, 4);
        Result r = client_.Call(sim::kInnerMiscPacket, c.packet, out, &reply);
        ASSERT_TRUE(r.ok) << c.what << " " << r.error;
        ASSERT_EQ(reply.size(), out) << c.what;
        EXPECT_EQ(reply[0], c.status) << c.what;
        EXPECT_EQ(Get16(reply, 2), Get16(c.packet, 2)) << c.what;  // the header comes back
        if (c.status == 0) {
            EXPECT_EQ(reply[c.at], c.value) << c.what;
        }
    }
}

TEST_F(SimDriver, InjectedBusyAndTooSmallAnswersAndTwoPacketCalls) {
    client_.Handshake();
    Driver().Firmware().InjectBusy(0x293, 2);
    Bytes reply;
    for (std::uint8_t expected : {4, 4, 0}) {
        ASSERT_TRUE(client_.Call(sim::kInnerMiscPacket, Compact(0x293, 10, 10), 10, &reply).ok);
        EXPECT_EQ(reply[0], expected);
    }
    Driver().Firmware().InjectTooSmall(0x111, 300);
    ASSERT_TRUE(client_.Call(sim::kInnerMiscPacket, Compact(0x111, 22, 22), 22, &reply).ok);
    EXPECT_EQ(reply[0], 5);
    EXPECT_EQ(Get16(reply, 20), 300u);

    // Two packets: inputs joined, answers split by their output lengths.
    Bytes both = Packet32(0x10C, 36);
    const Bytes second = Compact(0x293, 10, 10);
    both.insert(both.end(), second.begin(), second.end());
    ASSERT_TRUE(client_.Call(sim::kInnerMiscTwoPackets, both, 42, &reply).ok);
    ASSERT_EQ(reply.size(), 42u);
    EXPECT_EQ(Get32(reply, 20), 1u);
    EXPECT_EQ(reply[32], 0);
    EXPECT_EQ(Get16(reply, 40), 5u);
    // Whole packet buffers after packet 2's input are ignored; a split that does not add up is refused.
    Bytes padded = both;
    padded.resize(both.size() + 6, 0xEE);
    ASSERT_TRUE(client_.Call(sim::kInnerMiscTwoPackets, padded, 42, &reply).ok);
    EXPECT_EQ(Get16(reply, 40), 5u);
    Bytes broken = both;
    broken[34] = 12;  // packet 2 claims 12 input bytes, 10 follow
    Result r = client_.Call(sim::kInnerMiscTwoPackets, broken, 42, &reply);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 87u);
    EXPECT_EQ(Driver().Firmware().AnsweredFunctions().back(), 0x293);
}

Bytes RegW(std::uint32_t type, const std::u16string& path, const std::u16string* name, const Bytes* data) {
    Bytes body;
    PutText16(body, path);
    const std::uint32_t nameOffset = name ? static_cast<std::uint32_t>(body.size()) : 0;
    if (name) PutText16(body, *name);
    const std::uint32_t dataOffset = data ? static_cast<std::uint32_t>(body.size()) : 0;
    if (data) body.insert(body.end(), data->begin(), data->end());
    Bytes r = {'R', 'e', 'g', 'W'};
    Put32(r, type);
    Put32(r, static_cast<std::uint32_t>(24 + body.size() + 3));
    Put32(r, nameOffset);
    Put32(r, dataOffset);
    Put32(r, data ? static_cast<std::uint32_t>(data->size()) : 0);
    r.insert(r.end(), body.begin(), body.end());
    r.resize(r.size() + 3, 0);
    return r;
}

Bytes RgQI(const std::u16string& path, const std::u16string& name, std::uint32_t dataSize) {
    Bytes body;
    PutText16(body, path);
    const auto nameOffset = static_cast<std::uint32_t>(body.size());
    PutText16(body, name);
    Bytes r = {'R', 'g', 'Q', 'I'};
    Put32(r, static_cast<std::uint32_t>(16 + body.size() + 3));
    Put32(r, dataSize + 15);
    Put32(r, nameOffset);
    r.insert(r.end(), body.begin(), body.end());
    r.resize(r.size() + 3, 0);
    return r;
}

TEST_F(SimDriver, RegistryRequestsWorkOnHklmInThe64BitView) {
    client_.Handshake();
    const std::u16string path = u"SOFTWARE\\Mirelta\\Toolbench", name = u"HibernateAC";
    const Bytes dword = {0x2C, 0x01, 0, 0};
    Bytes reply;
    ASSERT_TRUE(client_.Call(sim::kInnerSetRegistry, RegW(pf::kRegDword, path, &name, &dword), 0, &reply).ok);
    EXPECT_TRUE(reply.empty());
    ASSERT_TRUE(Driver().HasLastRegistryOp());
    EXPECT_EQ(Driver().LastRegistryOp().path, path);
    EXPECT_EQ(Driver().LastRegistryOp().data, dword);

    pf::RegKey key = 0;
    ASSERT_EQ(registry_.OpenKey(pf::kHkeyLocalMachine, path.c_str(), pf::kKeyRead | pf::kKeyWow64_64Key, &key), 0);
    registry_.CloseKey(key);
    EXPECT_EQ(registry_.OpenKey(pf::kHkeyLocalMachine, path.c_str(), pf::kKeyRead | pf::kKeyWow64_32Key, &key), 2);

    Result q = client_.Call(sim::kInnerQueryRegistry, RgQI(path, name, 4), 19, &reply);
    ASSERT_TRUE(q.ok);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(Get32(reply, 0), 4u);
    EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 8), "RgQO");
    EXPECT_EQ(Get32(reply, 8), pf::kRegDword);
    EXPECT_EQ(Get32(reply, 12), 300u);
    // Size only, and a too-small data area: size and type, no data, ERROR_MORE_DATA.
    for (std::uint32_t room : {0u, 3u}) {
        Result small = client_.Call(sim::kInnerQueryRegistry, RgQI(path, name, room), room + 15, &reply);
        EXPECT_FALSE(small.ok);
        EXPECT_EQ(small.error, 234u);
        ASSERT_EQ(reply.size(), 12u);
        EXPECT_EQ(Get32(reply, 0), 4u);
        EXPECT_EQ(Get32(reply, 8), pf::kRegDword);
    }
    Result missing = client_.Call(sim::kInnerQueryRegistry, RgQI(path, u"Nope", 4), 19, &reply);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, 2u);

    auto exists = [&](const std::u16string& p) {
        Bytes r;
        EXPECT_TRUE(client_.Call(sim::kInnerRegKeyExists, RegW(0, p, nullptr, nullptr), 4, &r).ok);
        return r.size() == 4 ? Get32(r, 0) : 99u;
    };
    EXPECT_EQ(exists(path), 1u);
    EXPECT_EQ(exists(path + u"\\Sub"), 0u);
    ASSERT_TRUE(client_.Call(sim::kInnerCreateRegKey, RegW(0, path + u"\\Sub", nullptr, nullptr), 0, &reply).ok);
    EXPECT_EQ(exists(path + u"\\Sub"), 1u);
    ASSERT_TRUE(client_.Call(sim::kInnerDelRegKey, RegW(0, path + u"\\Sub", nullptr, nullptr), 0, &reply).ok);
    EXPECT_EQ(exists(path + u"\\Sub"), 0u);
    ASSERT_TRUE(client_.Call(sim::kInnerDelRegValue, RegW(0, path, &name, nullptr), 0, &reply).ok);
    Result gone = client_.Call(sim::kInnerDelRegValue, RegW(0, path, &name, nullptr), 0, &reply);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.error, 2u);
    EXPECT_EQ(Driver().LastRegistryOp().result, 2);
    EXPECT_EQ(registry_.OpenHandleCount(), 0u);
}

TEST_F(SimDriver, MalformedRegistryRecordsAreRefused) {
    client_.Handshake();
    const std::u16string path = u"SOFTWARE\\Mirelta", name = u"V";
    const Bytes data = {1, 2};
    const Bytes good = RegW(pf::kRegBinary, path, &name, &data);
    auto with = [&](std::size_t at, std::uint32_t value) {
        Bytes r = good;
        std::memcpy(&r[at], &value, 4);
        return r;
    };
    Bytes unterminated = RegW(0, path, nullptr, nullptr);
    unterminated[24 + 2 * path.size()] = 'x';  // the path's terminator
    const std::uint32_t total = Get32(good, 8);
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"wrong tag", with(0, 0x58676552)},
        {"total past the input", with(8, total + 1)},
        {"total one short", with(8, total - 1)},
        {"name offset off", with(12, Get32(good, 12) + 2)},
        {"data offset off", with(16, Get32(good, 16) + 2)},
        {"data length past the record", with(20, 0x7FFFFFFF)},
        {"header only", Bytes(good.begin(), good.begin() + 20)},
    };
    Bytes reply;
    for (const auto& c : cases) {
        Result r = client_.Call(sim::kInnerSetRegistry, c.second, 0, &reply);
        EXPECT_FALSE(r.ok) << c.first;
        EXPECT_EQ(r.error, 87u) << c.first;
    }
    Result r = client_.Call(sim::kInnerCreateRegKey, unterminated, 0, &reply);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 87u);
    for (std::size_t at : {4, 12}) {  // request length one short, name offset off
        Bytes query = RgQI(path, name, 4);
        query[at] = static_cast<std::uint8_t>(query[at] + (at == 4 ? -1 : 2));
        r = client_.Call(sim::kInnerQueryRegistry, query, 19, &reply);
        EXPECT_FALSE(r.ok) << at;
        EXPECT_EQ(r.error, 87u) << at;
    }
    pf::RegKey key = 0;
    EXPECT_EQ(registry_.OpenKey(pf::kHkeyLocalMachine, path.c_str(), pf::kKeyRead | pf::kKeyWow64_64Key, &key), 2);
}

TEST_F(SimDriver, BootPriorityModelRecordAndPlainCapsules) {
    client_.Handshake();
    Bytes reply;
    ASSERT_TRUE(client_.Call(sim::kInnerBootPriorityGet, {}, 131076, &reply).ok);
    ASSERT_EQ(reply.size(), 131076u);
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(Get32(reply, 4), 0x00010000u);
    EXPECT_EQ(Get16(reply, 65540), 2u);
    EXPECT_EQ(Get16(reply, 65544), 3u);
    Bytes list(65536, 0);
    list[0] = 1;
    ASSERT_TRUE(client_.Call(sim::kInnerBootPrioritySet, list, 1, &reply).ok);
    EXPECT_EQ(reply, Bytes{0});
    EXPECT_EQ(Driver().Firmware().BootPriorityList()[0], 1);
    Result wrong = client_.Call(sim::kInnerBootPrioritySet, Bytes(65535, 0), 1, &reply);
    EXPECT_EQ(wrong.error, 87u);
    Driver().Firmware().InjectBootPriorityBusy(1);
    ASSERT_TRUE(client_.Call(sim::kInnerBootPriorityGet, {}, 131076, &reply).ok);
    EXPECT_EQ(reply[0], 4);

    // The model record needs no session and no capsule.
    Result record = client_.Ioctl(sim::kIoctlModelRecord, {}, 128);
    ASSERT_TRUE(record.ok);
    ASSERT_EQ(record.returned, 128u);
    EXPECT_EQ(std::string(record.out.begin() + 4, record.out.begin() + 20), std::string("MIRELTA NB-7420\0", 16));
    EXPECT_EQ(std::string(record.out.begin() + 32, record.out.begin() + 37), "3LKSA");
    EXPECT_EQ(record.out[37] + 256 * Get16(record.out, 38), 48213u);
    EXPECT_EQ(record.out[27], 0x02);
    EXPECT_EQ(record.out[95], 15);  // a 15-character model number: 11 at 40, the rest from 96
    EXPECT_EQ(std::string(record.out.begin() + 40, record.out.begin() + 51), "NB7420C2BKE");
    EXPECT_EQ(std::string(record.out.begin() + 96, record.out.begin() + 100), "AX12");
    EXPECT_EQ(record.out[91], 3);
    EXPECT_EQ(client_.Ioctl(sim::kIoctlModelRecord, {}, 127).error, 122u);

    // Without cipher: the probe says so, no handshake, plain capsules with session id 0; the
    // first capsule sets the counter.
    sim::SimDeviceInterfaces plainDev(nlohmann::json::parse(R"({"miscDriver": {"cipher": false,
        "functions": {"0x293": {"in": 10, "reply": {"8": "0300"}}}}})"));
    RawClient plain(plainDev);
    plain.encrypting = false;
    EXPECT_EQ(plain.Ioctl(sim::kIoctlHandshake, {}, 0).error, 50u);
    EXPECT_EQ(plain.Ioctl(sim::kIoctlHandshake, plain.Ini1(), 160).error, 50u);
    plain.sequence = 7;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(plain.Call(sim::kInnerMiscPacket, Compact(0x293, 10, 10), 10, &reply).ok);
        EXPECT_EQ(Get16(reply, 8), 3u);
    }
    EXPECT_EQ(plainDev.Driver().ExpectedSequence(), 9u);
    EXPECT_EQ(plain.Call(sim::kInnerMiscPacket, Compact(0x293, 10, 10), 10, &reply).ok, true);
    plain.sequence = 3;
    EXPECT_EQ(plain.Call(sim::kInnerMiscPacket, Compact(0x293, 10, 10), 10, &reply).error, 5u);
}

TEST(SimDriverVersions, OlderDriversLackTheLaterRequests) {
    struct Case {
        const char* version;
        bool session;
        bool bootPriority;
    };
    const Case cases[] = {
        {"1.0.7.99", false, false}, {"1.0.8.0", true, false}, {"1.0.799.9", true, false},
        {"1.0.800.0", true, true},  {"2.0", true, true},      {"not a version", false, false},
    };
    for (const Case& c : cases) {
        nlohmann::json machine;
        machine["miscDriver"]["driverVersion"] = c.version;
        sim::SimDeviceInterfaces dev(machine);
        RawClient client(dev);
        Result probe = client.Ioctl(sim::kIoctlHandshake, {}, 0);
        EXPECT_EQ(probe.ok, c.session) << c.version;
        if (!c.session) {
            EXPECT_EQ(probe.error, 1u) << c.version;
            continue;
        }
        client.Handshake();
        Bytes reply;
        Result boot = client.Call(sim::kInnerBootPriorityGet, {}, 131076, &reply);
        EXPECT_EQ(boot.ok, c.bootPriority) << c.version;
        EXPECT_EQ(boot.error, c.bootPriority ? 0u : 1u) << c.version;
    }
}

TEST_F(SimDriver, ArbitraryRequestsNeverBreakTheDriver) {
    client_.Handshake();
    std::mt19937 rng(1234);
    const std::uint32_t codes[] = {sim::kIoctlHandshake, sim::kIoctlEndSession, sim::kIoctlCapsule, sim::kIoctlModelRecord, 0x22200C};
    const std::uint32_t inner[] = {0x222944, 0x222948, 0x22294C, 0x222950, 0x222954, 0x222958, 0x22295C, 0x222960, 0x222964, 0x222968, 0x22296C};
    for (int i = 0; i < 3000; ++i) {
        Bytes in(rng() % 200, 0);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        if (i % 3 == 0) {
            // A valid record or packet with a few bytes changed.
            const std::u16string name = u"N";
            const Bytes data = {1, 2, 3};
            Bytes dataRead = Compact(0x111, 22, 40), dataBoth = Compact(0x304, 14, 14);
            dataRead[8] = 2;
            dataRead[20] = 18;
            dataBoth[8] = 4;
            const Bytes bases[] = {RegW(pf::kRegBinary, u"SOFTWARE\\Fuzz", &name, &data), RgQI(u"SOFTWARE\\Fuzz", name, 8),
                                   Packet32(0x10C, 36), Compact(0x293, 10, 10), Packet32(0x222, 0x1000),
                                   dataRead, dataBoth};
            in = bases[rng() % 7];
            for (int flips = 1 + rng() % 3; flips > 0; --flips) in[rng() % in.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        }
        if (i % 2) {
            // Well-formed capsules around random inner inputs, with random output lengths.
            client_.sequence = Driver().ExpectedSequence();
            if (!Driver().SessionOpen()) client_.Handshake();
            Bytes payload;
            const std::uint32_t outLen = rng() % 300;
            client_.SendCapsule(client_.Wrap(RawClient::Inner(client_.sequence, inner[rng() % 11], in, outLen)),
                                rng() % 2 ? sim::CapsuleLength(outLen) : rng() % 64, &payload);
            EXPECT_EQ(Driver().ExpectedSequence(), client_.sequence);
        } else {
            client_.Ioctl(codes[rng() % 5], in, rng() % 256);
        }
    }
    EXPECT_EQ(registry_.OpenHandleCount(), 0u);
}

}  // namespace
