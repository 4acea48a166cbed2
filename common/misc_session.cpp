// The session of CMiscCommon: opening the driver, the three-phase handshake, closing, the driver
// version and the last error text.
//
// The handshake runs in phases, each a function of its own: the probe (a driver without the
// cipher refuses it), the preparation (random generator, private exponent, client nonce, A =
// 2^x mod P), phase 1 (exchange of public numbers and nonces), phase 2 (proofs under K1) and
// phase 3 (the session key under the key-encryption key, answered with "Auth" "Misc"). Every
// failure after phase 1 ends the driver's half-made session. Key material lives in one
// structure that is wiped on every way out.
#include <cstring>
#include <new>
#include <string>

#include "common/misc_common.h"
#include "common/misc_private.h"
#include "common/text.h"
#include "crypto/bignum.h"
#include "crypto/hdrand.h"
#include "crypto/hmac_sha1.h"
#include "crypto/preshared_key.h"
#include "crypto/sha1.h"
#include "platform/platform.h"

namespace MiscCommon {

using namespace detail;

namespace {

void StoreWords(std::uint8_t* p, const std::uint32_t* words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Store32(p + 4 * i, words[i]);
}
void LoadWords(std::uint32_t* words, const std::uint8_t* p, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) words[i] = Load32(p + 4 * i);
}

bool ConstantTimeEqual(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < size; ++i) diff = static_cast<std::uint8_t>(diff | (a[i] ^ b[i]));
    return diff == 0;
}

void SystemTimeBytes(const pf::SystemTime& t, std::uint8_t out[crypto::kHdrandSystemTimeSize]) {
    const std::uint16_t fields[8] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (int i = 0; i < 8; ++i) Store16(out + 2 * i, fields[i]);
}

bool SeedRandom(crypto::HdrandContext* rng) {
    std::uint8_t time[crypto::kHdrandSystemTimeSize];
    SystemTimeBytes(pf::Clock().UtcNow(), time);
    return crypto::HdrandInit(rng, pf::Clock().PerformanceCounter(), time);
}

// Decimal text of a signed number.
std::size_t FormatInt(char16_t* out, int value) {
    char16_t digits[12];
    std::size_t n = 0;
    long long v = value;
    const bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    std::size_t written = 0;
    if (negative) out[written++] = u'-';
    while (n > 0) out[written++] = digits[--n];
    out[written] = 0;
    return written;
}

constexpr std::size_t kBigNumBytes = 4 * crypto::kBigNumWords;  // 132

}  // namespace

// Key material of one handshake, wiped on every way out.
struct CMiscCommon::Handshake {
    crypto::HdrandContext rng{};
    std::uint32_t exponent[4] = {};
    std::uint8_t clientNonce[24] = {};  // 20 random bytes and 4 zero bytes
    std::uint8_t clientPublic[kBigNumBytes] = {};
    std::uint8_t psk[crypto::kPresharedKeySize] = {};
    std::uint8_t k1[crypto::kHmacSha1Size] = {};
    std::uint8_t expectedProof[crypto::kHmacSha1Size] = {};
    std::uint8_t clientProof[crypto::kHmacSha1Size] = {};
    std::uint32_t shared[crypto::kBigNumWords] = {};
    std::uint8_t sharedBytes[kBigNumBytes] = {};
    std::uint8_t digest[crypto::kSha1DigestSize] = {};
    std::uint8_t kek[16] = {};
    std::uint32_t sessionKeyWords[4] = {};
    std::uint8_t sessionKey[16] = {};
    std::uint8_t phase1Reply[kPhase1Size] = {};  // session id, B, driver nonce
    ~Handshake() { crypto::SecureZero(this, sizeof(*this)); }

    const std::uint8_t* DriverPublic() const { return phase1Reply + 4; }
    const std::uint8_t* DriverNonce() const { return phase1Reply + 4 + kBigNumBytes; }
};

// ======================================================================================
// Construction, error text, version
// ======================================================================================

CMiscCommon::CMiscCommon()
    : _szVersion(nullptr),
      SessionId(0),
      Sequence(0),
      Cipher(nullptr),
      Encrypting(1),
      LastErrorText{},
      VersionMajor(0),
      VersionMinor(0),
      VersionBuild(0),
      VersionRevision(0) {}

CMiscCommon::~CMiscCommon() {
    Close();
    delete[] _szVersion;
}

void CMiscCommon::SetErrorText(const char16_t* operation, const char16_t* message) {
    std::u16string line = u"MiscCommon::CMiscCommon::";
    line += operation;
    line += u": ";
    line += message;
    quarro::text::CopyBounded(LastErrorText, kLastErrorTextUnits, line.c_str());
}

void CMiscCommon::SetErrorTextNumbers(const char16_t* operation, const char16_t* message, int first,
                                      const char16_t* between, int second, bool withSecond) {
    char16_t number[16];
    std::u16string text = message;
    FormatInt(number, first);
    text += number;
    if (withSecond) {
        text += between;
        FormatInt(number, second);
        text += number;
    }
    SetErrorText(operation, text.c_str());
}

void CMiscCommon::ParseVersion() {
    int fields[4] = {0, 0, 0, 0};
    ParseDriverVersion(_szVersion, fields);
    VersionMajor = fields[0];
    VersionMinor = fields[1];
    VersionBuild = fields[2];
    VersionRevision = fields[3];
}

const char16_t* CMiscCommon::GetDriverVersion(int* major, int* minor, int* build, int* revision) {
    if (_szVersion && VersionMajor == 0 && VersionMinor == 0 && VersionBuild == 0 && VersionRevision == 0) {
        ParseVersion();
    }
    if (major) *major = VersionMajor;
    if (minor) *minor = VersionMinor;
    if (build) *build = VersionBuild;
    if (revision) *revision = VersionRevision;
    return _szVersion ? _szVersion : u"";
}

bool CMiscCommon::IsDriverVersionAtLeast(int a, int b, int c, int d) const {
    const int have[4] = {VersionMajor, VersionMinor, VersionBuild, VersionRevision};
    const int want[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        if (have[i] != want[i]) return have[i] > want[i];
    }
    return true;
}

bool CMiscCommon::SessionGate() const { return IsDriverVersionAtLeast(1, 0, 8, 0); }
bool CMiscCommon::ExtendedGate() const { return IsDriverVersionAtLeast(1, 0, 800, 0); }

// ======================================================================================
// Open and close
// ======================================================================================

int CMiscCommon::Open() {
    const int opened = OpenDriver();
    if (opened != kMiscSuccess) return opened;
    if (!SessionGate()) return kMiscSuccess;
    const int initialized = _Initialize();
    if (initialized != kMiscSuccess) _device.Close();
    return initialized;
}

int CMiscCommon::OpenDriver() {
    if (IsOpen()) Close();
    pf::IDeviceInterfaces& devices = pf::Devices();

    // The version is read once per object; a read that failed is tried again on the next open.
    const bool readVersion = !_szVersion || _szVersion[0] == 0;
    MiscTransport::Located found;
    const char16_t* message = nullptr;
    const int located = MiscTransport::Locate(devices, readVersion, &found, &message);
    if (located != kMiscSuccess) {
        SetErrorText(kOpOpenDriver, message);
        return located;
    }
    if (readVersion) {
        if (!_szVersion) {
            _szVersion = new (std::nothrow) char16_t[kVersionTextUnits]();
            if (!_szVersion) {
                pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
                SetErrorText(kOpOpenDriver, u"_szVersion array initialize failed.");
                return kMiscNoMemory;
            }
        }
        const std::size_t units = found.versionBytes / 2;  // at most 128 of the 256 units: always terminated
        for (std::size_t i = 0; i < units; ++i) _szVersion[i] = static_cast<char16_t>(Load16(found.version + 2 * i));
        _szVersion[units] = 0;
        ParseVersion();
    }

    const int opened = _device.Open(devices, found.path, &message);
    if (opened != kMiscSuccess) {
        SetErrorText(kOpOpenDriver, message);
        return opened;
    }
    ClearErrorText();
    return kMiscSuccess;
}

void CMiscCommon::SendEndSession(std::uint32_t sessionId) {
    const std::uint32_t error = pf::GetLastErrorCode();
    std::uint8_t id[4];
    Store32(id, sessionId);
    std::uint32_t returned = 0;
    _device.Control(kIoctlEndSession, id, sizeof(id), nullptr, 0, &returned);
    pf::SetLastErrorCode(error);
}

void CMiscCommon::EndCipherSession() {
    if (!Cipher) return;
    SendEndSession(SessionId);
    SessionId = 0;
    Sequence = 0;
    CipherBlock::Wipe(Cipher);
    Cipher = nullptr;
}

void CMiscCommon::Close() {
    if (!IsOpen()) return;
    EndCipherSession();
    _device.Close();
}

// ======================================================================================
// Handshake
// ======================================================================================

int CMiscCommon::InitializeFailed(int code, const char16_t* message, bool endSession) {
    SetErrorText(kOpInitialize, message);
    if (endSession) {
        SendEndSession(SessionId);
        SessionId = 0;
    }
    return code;
}

int CMiscCommon::_Initialize() {
    if (!SessionGate()) return kMiscTooOld;
    if (!IsOpen()) {
        pf::SetLastErrorCode(pf::kErrorInvalidHandle);
        return InitializeFailed(kMiscSystemError, kMsgDeviceIoControl, false);
    }
    EndCipherSession();
    Encrypting = 1;
    Sequence = 0;
    SessionId = 0;
    if (ProbeRefusesCipher()) {
        Encrypting = 0;
        return kMiscSuccess;
    }
    Handshake h;
    int code = PrepareHandshake(h);
    if (code == kMiscSuccess) code = HandshakePhase1(h);
    if (code == kMiscSuccess) code = HandshakePhase2(h);
    if (code == kMiscSuccess) code = HandshakePhase3(h);
    return code;
}

// Probe: a driver without the enciphered channel refuses it with ERROR_NOT_SUPPORTED. Only that
// refusal counts; a probe that succeeded with a stale error left behind does not.
bool CMiscCommon::ProbeRefusesCipher() {
    std::uint32_t returned = 0;
    return !_device.Control(kIoctlHandshake, nullptr, 0, nullptr, 0, &returned) &&
           pf::GetLastErrorCode() == static_cast<std::uint32_t>(pf::kErrorNotSupported);
}

// Random generator (its self-test tried up to 16 times), private exponent (three random words,
// top word 0), client nonce (five words) and A = 2^x mod P.
int CMiscCommon::PrepareHandshake(Handshake& h) {
    if (!SeedRandom(&h.rng)) return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    bool healthy = false;
    for (int attempt = 0; attempt < 16 && !healthy; ++attempt) {
        healthy = crypto::HdrandTest(&h.rng);
        if (!healthy && !SeedRandom(&h.rng)) return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    }
    if (!healthy) return InitializeFailed(kMiscNotFound, u"hdrand_test failed 16 times", false);

    std::uint32_t nonceWords[5] = {};
    if (!crypto::HdrandFill(&h.rng, h.exponent, 3) || !crypto::HdrandFill(&h.rng, nonceWords, 5)) {
        return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    }
    h.exponent[3] = 0;
    StoreWords(h.clientNonce, nonceWords, 5);
    crypto::SecureZero(nonceWords, sizeof(nonceWords));

    std::uint32_t clientPublic[crypto::kBigNumWords] = {};
    if (!crypto::Pow2Mod(h.exponent, 4, clientPublic)) return InitializeFailed(kMiscNotFound, u"pow2mod failed.", false);
    StoreWords(h.clientPublic, clientPublic, crypto::kBigNumWords);
    return kMiscSuccess;
}

// Phase 1: "Ini1", A, client nonce, 4 zero bytes; the reply, exactly 160 bytes, is the session
// id, B and the driver nonce. Then K1 = HMAC(pre-shared key, client nonce and its zeros, driver
// nonce). Nothing to end yet when it fails: the driver gave no session id.
int CMiscCommon::HandshakePhase1(Handshake& h) {
    std::uint8_t request[kPhase1Size] = {};
    Store32(request, kTagIni1);
    std::memcpy(request + 4, h.clientPublic, kBigNumBytes);
    std::memcpy(request + 4 + kBigNumBytes, h.clientNonce, 20);
    std::uint32_t returned = 0;
    const bool ok = _device.Control(kIoctlHandshake, request, sizeof(request), h.phase1Reply, sizeof(h.phase1Reply),
                                    &returned);
    if (!ok || returned != sizeof(h.phase1Reply)) {
        if (ok) pf::SetLastErrorCode(pf::kErrorInvalidData);
        return InitializeFailed(kMiscSystemError, kMsgDeviceIoControl, false);
    }
    SessionId = Load32(h.phase1Reply);

    std::uint8_t nonces[48];
    std::memcpy(nonces, h.clientNonce, 24);
    std::memcpy(nonces + 24, h.DriverNonce(), 24);
    crypto::DerivePresharedKey(crypto::kPresharedKeySource, h.psk);
    crypto::HmacSha1(h.psk, sizeof(h.psk), nonces, sizeof(nonces), h.k1);
    crypto::SecureZero(h.psk, sizeof(h.psk));
    return kMiscSuccess;
}

// Phase 2: the expected driver proof HMAC(K1, B then A) and the client proof HMAC(K1, A then B),
// each over a 264-byte work buffer that is wiped; "Ini2", session id, client proof; the reply
// must be exactly the expected driver proof.
int CMiscCommon::HandshakePhase2(Handshake& h) {
    {
        WipedBlock work(2 * kBigNumBytes);
        if (!work) {
            pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
            return InitializeFailed(kMiscNoMemory, u"HeapAlloc (phase2) failed.", true);
        }
        std::memcpy(work.get(), h.DriverPublic(), kBigNumBytes);
        std::memcpy(work.get() + kBigNumBytes, h.clientPublic, kBigNumBytes);
        crypto::HmacSha1(h.k1, sizeof(h.k1), work.get(), work.size(), h.expectedProof);
        std::memcpy(work.get(), h.clientPublic, kBigNumBytes);
        std::memcpy(work.get() + kBigNumBytes, h.DriverPublic(), kBigNumBytes);
        crypto::HmacSha1(h.k1, sizeof(h.k1), work.get(), work.size(), h.clientProof);
    }

    std::uint8_t request[kPhase2RequestSize];
    Store32(request, kTagIni2);
    Store32(request + 4, SessionId);
    std::memcpy(request + 8, h.clientProof, sizeof(h.clientProof));
    std::uint8_t reply[kPhase2ReplySize] = {};
    std::uint32_t returned = 0;
    if (!_device.Control(kIoctlHandshake, request, sizeof(request), reply, sizeof(reply), &returned)) {
        return InitializeFailed(kMiscSystemError, u"DeviceIoControl (phase2) failed.", true);
    }
    if (returned != sizeof(reply) || !ConstantTimeEqual(reply, h.expectedProof, sizeof(reply))) {
        pf::SetLastErrorCode(pf::kErrorAccessDenied);
        return InitializeFailed(kMiscNotFound, u"Driver Authentication Failed.", true);
    }
    return kMiscSuccess;
}

// Phase 3: KEK = the first 16 bytes of SHA-1 over Z = B^x mod P; a fresh 16-byte session key goes
// out enciphered under the KEK ("Ini3", session id, two blocks); the 8-byte reply must decipher
// under the session key to "Auth" "Misc". Then the session holds the cipher and counts from 0.
int CMiscCommon::HandshakePhase3(Handshake& h) {
    std::uint32_t driverPublic[crypto::kBigNumWords];
    LoadWords(driverPublic, h.DriverPublic(), crypto::kBigNumWords);
    if (!crypto::PowMod(driverPublic, h.exponent, 4, crypto::kModp1024Prime, h.shared)) {
        return InitializeFailed(kMiscNotFound, u"Key Encryption Key calculation failed.", true);
    }
    StoreWords(h.sharedBytes, h.shared, crypto::kBigNumWords);
    crypto::Sha1(h.sharedBytes, sizeof(h.sharedBytes), h.digest);
    std::memcpy(h.kek, h.digest, sizeof(h.kek));

    if (!crypto::HdrandFill(&h.rng, h.sessionKeyWords, 4)) {
        return InitializeFailed(kMiscNotFound, u"hdrand_init failed", true);
    }
    StoreWords(h.sessionKey, h.sessionKeyWords, 4);
    CipherBlock context;
    if (!context.get()) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return InitializeFailed(kMiscNoMemory, u"HeapAlloc (phase3) failed.", true);
    }
    if (!crypto::BlowfishInitialize(context.get(), h.kek, sizeof(h.kek))) {
        return InitializeFailed(kMiscNotFound, u"BlowfishInitialize (1st time) failed.", true);
    }
    std::uint8_t request[kPhase3RequestSize];
    Store32(request, kTagIni3);
    Store32(request + 4, SessionId);
    std::memcpy(request + 8, h.sessionKey, sizeof(h.sessionKey));
    const bool enciphered = crypto::BlowfishEncipherBlock(context.get(), request + 8) &&
                            crypto::BlowfishEncipherBlock(context.get(), request + 16);
    crypto::BlowfishWipe(context.get());
    if (!enciphered) return InitializeFailed(kMiscNotFound, u"BlowfishEncipher failed.", true);

    std::uint8_t reply[kPhase3ReplySize] = {};
    std::uint32_t returned = 0;
    const bool ok = _device.Control(kIoctlHandshake, request, sizeof(request), reply, sizeof(reply), &returned);
    if (!ok || returned != sizeof(reply)) {
        if (ok) pf::SetLastErrorCode(pf::kErrorInvalidData);
        return InitializeFailed(kMiscSystemError, u"DeviceIoControl (phase3) failed.", true);
    }
    if (!crypto::BlowfishInitialize(context.get(), h.sessionKey, sizeof(h.sessionKey))) {
        return InitializeFailed(kMiscNotFound, u"BlowfishInitialize (2nd time) failed.", true);
    }
    std::uint32_t left = Load32(reply);
    std::uint32_t right = Load32(reply + 4);
    if (!crypto::BlowfishDecipher(context.get(), left, right) || left != kAuthWord || right != kMiscWord) {
        pf::SetLastErrorCode(pf::kErrorAccessDenied);
        return InitializeFailed(kMiscNotFound, u"BlowfishDecipher failed.", true);
    }

    Cipher = context.release();
    Sequence = 0;
    return kMiscSuccess;
}

}  // namespace MiscCommon
