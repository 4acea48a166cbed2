#include "platform/sim/misc_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "base/little_endian.h"
#include "crypto/hmac_sha1.h"
#include "crypto/sha1.h"
#include "platform/last_error.h"
#include "platform/owner.h"
#include "platform/platform.h"

namespace quarro::platform::sim {

namespace {

namespace cr = quarro::crypto;

constexpr std::size_t kBigNumBytes = cr::kBigNumWords * 4;  // 132
constexpr std::size_t kClientNonceSize = 20;
constexpr std::size_t kDriverNonceSize = 24;
constexpr std::size_t kExponentWords = 8;  // 7 random words and a zero top word: a positive 224-bit number
constexpr std::size_t kSessionKeySize = 16;
constexpr std::size_t kRegWHeaderSize = 24;
constexpr std::size_t kRgQIHeaderSize = 16;
constexpr std::size_t kRgQOHeaderSize = 12;

using bytes::Load16;
using bytes::Load32;
using bytes::Store32;

void WordsToBytes(const std::uint32_t* words, std::size_t count, std::uint8_t* bytes) {
    for (std::size_t i = 0; i < count; ++i) Store32(bytes + 4 * i, words[i]);
}

void BytesToWords(const std::uint8_t* bytes, std::size_t count, std::uint32_t* words) {
    for (std::size_t i = 0; i < count; ++i) words[i] = Load32(bytes + 4 * i);
}

bool TagIs(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

// -1, 0, 1 as a < b, a == b, a > b (unsigned, most significant word last).
int Compare(const std::uint32_t* a, const std::uint32_t* b) {
    for (std::size_t i = cr::kBigNumWords; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// A public number worth using: 1 < value < P - 1 (0, 1 and P - 1 would give away the secret).
bool SanePublicNumber(const std::uint32_t* value) {
    std::uint32_t one[cr::kBigNumWords] = {1};
    std::uint32_t pMinusOne[cr::kBigNumWords];
    std::memcpy(pMinusOne, cr::kModp1024Prime, sizeof(pMinusOne));
    pMinusOne[0] -= 1;  // the prime is odd: no borrow
    return Compare(value, one) > 0 && Compare(value, pMinusOne) < 0;
}

// Reads a UTF-16 string with its terminator from record[at, end). False when no terminator
// comes before `end`. `bytes` gets the size including the terminator.
bool ReadString(const std::uint8_t* record, std::size_t at, std::size_t end, std::u16string* text, std::size_t* bytes) {
    text->clear();
    for (std::size_t i = at; i + 2 <= end; i += 2) {
        const auto unit = static_cast<char16_t>(Load16(record + i));
        if (unit == 0) {
            *bytes = i + 2 - at;
            return true;
        }
        text->push_back(unit);
    }
    return false;
}

std::atomic<std::uint32_t> instanceCount{0};

// The driver version compared field by field with a.b.c.d; fields that do not parse count as 0.
bool VersionAtLeast(const std::string& version, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t fields[4] = {};
    std::size_t at = 0;
    for (int i = 0; i < 4 && at < version.size(); ++i) {
        std::uint32_t value = 0;
        bool digits = false;
        while (at < version.size() && version[at] >= '0' && version[at] <= '9' && value < 100000000) {
            value = value * 10 + static_cast<std::uint32_t>(version[at++] - '0');
            digits = true;
        }
        if (!digits) break;
        fields[i] = value;
        if (at >= version.size() || version[at] != '.') break;
        ++at;
    }
    const std::uint32_t wanted[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        if (fields[i] != wanted[i]) return fields[i] > wanted[i];
    }
    return true;
}

}  // namespace

struct SimMiscDriver::Reply {
    bool ok = true;
    std::uint32_t error = 0;
    bool hasPayload = false;
    std::vector<std::uint8_t> payload;

    void Fail(std::uint32_t code) {
        ok = false;
        error = code;
        hasPayload = false;
        payload.clear();
    }
    void Answer(std::vector<std::uint8_t> bytes) {
        hasPayload = true;
        payload = std::move(bytes);
    }
};

SimMiscDriver::SimMiscDriver(const nlohmann::json* section) : firmware_(std::make_unique<FirmwareModel>(section)) {
    cr::DerivePresharedKey(cr::kPresharedKeySource, psk_);
    problems_ = firmware_->Problems();
    const bool isObject = section && section->is_object();
    if (section && !isObject) problems_.push_back("miscDriver: not an object");
    if (!isObject) return;
    if (auto it = section->find("driverVersion"); it != section->end()) {
        if (it->is_string()) driverVersion_ = it->get<std::string>();
        else problems_.push_back("driverVersion: not text");
    }
    if (auto it = section->find("cipher"); it != section->end()) {
        if (it->is_boolean()) cipher_ = it->get<bool>();
        else problems_.push_back("cipher: not true or false");
    }
    if (auto it = section->find("presharedKey"); it != section->end()) {
        const std::string kind = it->is_string() ? it->get<std::string>() : std::string();
        if (kind == "mismatched") SetImpostor(true);
        else if (kind != "standard") problems_.push_back("presharedKey: \"standard\" or \"mismatched\"");
    }
}

SimMiscDriver::~SimMiscDriver() {
    ForgetSession();
    cr::SecureZero(psk_, sizeof(psk_));
    cr::SecureZero(randomSeed_, sizeof(randomSeed_));
}

void SimMiscDriver::Seed(std::uint64_t seed) {
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(seed >> (8 * i));
    cr::Sha1(bytes, sizeof(bytes), randomSeed_);
    randomCounter_ = 1;
}

void SimMiscDriver::DrawWords(std::uint32_t* words, std::size_t count) {
    if (randomCounter_ == 0) {
        // Seeded on first use, not at construction: the driver may be built while the platform
        // services themselves are being built.
        struct {
            std::uint64_t counter;
            SystemTime utc;
            std::uint64_t steady;
            std::uintptr_t self;
            std::uint32_t instance;
        } material{};
        material.counter = platform::Clock().PerformanceCounter();
        material.utc = platform::Clock().UtcNow();
        material.steady = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        material.self = reinterpret_cast<std::uintptr_t>(this);
        material.instance = ++instanceCount;
        cr::Sha1(&material, sizeof(material), randomSeed_);
        randomCounter_ = 1;
    }
    // Each block: SHA-1(seed, counter); five words per block.
    std::size_t filled = 0;
    while (filled < count) {
        std::uint8_t input[28];
        std::memcpy(input, randomSeed_, 20);
        for (int i = 0; i < 8; ++i) input[20 + i] = static_cast<std::uint8_t>(randomCounter_ >> (8 * i));
        ++randomCounter_;
        std::uint8_t block[20];
        cr::Sha1(input, sizeof(input), block);
        for (std::size_t i = 0; i < 5 && filled < count; ++i) words[filled++] = Load32(block + 4 * i);
        cr::SecureZero(block, sizeof(block));
    }
}

void SimMiscDriver::SetPresharedKey(const std::uint8_t key[crypto::kPresharedKeySize]) {
    std::memcpy(psk_, key, crypto::kPresharedKeySize);
}

void SimMiscDriver::SetImpostor(bool impostor) {
    impostor_ = impostor;
    if (impostor) {
        // Another key: the standard one with every bit inverted.
        std::uint8_t standard[crypto::kPresharedKeySize];
        cr::DerivePresharedKey(cr::kPresharedKeySource, standard);
        for (std::size_t i = 0; i < sizeof(standard); ++i) psk_[i] = static_cast<std::uint8_t>(~standard[i]);
        cr::SecureZero(standard, sizeof(standard));
    } else {
        cr::DerivePresharedKey(cr::kPresharedKeySource, psk_);
    }
}

void SimMiscDriver::FailNextExchange(std::uint32_t code, std::uint32_t error) {
    hasExchangeFault_ = true;
    faultCode_ = code;
    faultError_ = error;
}

void SimMiscDriver::FailNextPhase(int phase, std::uint32_t error) {
    faultPhase_ = phase;
    faultPhaseError_ = error;
}

void SimMiscDriver::ShortenNextReply(std::uint32_t innerCode, std::uint32_t payloadBytes) {
    hasShortReply_ = true;
    shortReplyCode_ = innerCode;
    shortReplyBytes_ = payloadBytes;
}

// A pending fault for this phase (handshake: 0 probe, 1-3 phases) or this code; taken once.
bool SimMiscDriver::TakeFault(int phase, std::uint32_t code, std::uint32_t* error) {
    if (phase >= 0 && faultPhase_ == phase && faultPhaseError_ != 0) {
        *error = faultPhaseError_;
        faultPhase_ = 0;
        faultPhaseError_ = 0;
        return true;
    }
    if (hasExchangeFault_ && faultCode_ == code) {
        *error = faultError_;
        hasExchangeFault_ = false;
        return true;
    }
    return false;
}

void SimMiscDriver::ForgetSession() {
    phase_ = Phase::None;
    sessionId_ = 0;
    cr::SecureZero(a_, sizeof(a_));
    cr::SecureZero(b_, sizeof(b_));
    cr::SecureZero(y_, sizeof(y_));
    cr::SecureZero(k1_, sizeof(k1_));
    cr::SecureZero(sessionKey_, sizeof(sessionKey_));
    cr::BlowfishWipe(&cipherContext_);
    expectedSequence_ = 0;
}

void SimMiscDriver::OnOpen() { plainCounterSet_ = false; }

void SimMiscDriver::OnClose() {
    ForgetSession();
    plainCounterSet_ = false;
}

bool SimMiscDriver::DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                                    std::uint32_t outSize, std::uint32_t* returned) {
    DriverCall call;
    call.code = code;
    call.inSize = inSize;
    call.outSize = outSize;
    call.tick = platform::Clock().TickCount();
    std::uint32_t got = 0;
    bool ok;
    if ((!in && inSize != 0) || (!out && outSize != 0)) {
        SetLastErrorCode(kErrorNoAccess);
        ok = false;
    } else if (!returned) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidParameter));
        ok = false;
    } else {
        ok = Serve(code, static_cast<const std::uint8_t*>(in), inSize, static_cast<std::uint8_t*>(out), outSize, &got,
                   &call);
        if (ok) SetLastErrorCode(0);
    }
    if (returned) *returned = got;
    call.result = ok;
    call.returned = got;
    call.error = ok ? 0 : GetLastErrorCode();
    calls_.push_back(call);
    return ok;
}

bool SimMiscDriver::Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                          std::uint32_t outSize, std::uint32_t* returned, DriverCall* call) {
    *returned = 0;
    auto fail = [](std::uint32_t error) {
        SetLastErrorCode(error);
        return false;
    };
    // A fault on a device code applies before anything else (capsules: also by inner code, below).
    std::uint32_t error = 0;
    if (TakeFault(-1, code, &error)) return fail(error);
    // Drivers before 1.0.8.0 know neither the session nor the model record.
    if (!VersionAtLeast(driverVersion_, 1, 0, 8, 0)) return fail(kErrorInvalidFunction);

    switch (code) {
    case kIoctlHandshake:
        return Handshake(in, inSize, out, outSize, returned);
    case kIoctlEndSession:
        return EndSession(in, inSize);
    case kIoctlCapsule:
        return Capsule(in, inSize, out, outSize, returned, call);
    case kIoctlModelRecord: {
        if (inSize != 0) return fail(static_cast<std::uint32_t>(kErrorInvalidParameter));
        if (outSize < kModelRecordSize) return fail(static_cast<std::uint32_t>(kErrorInsufficientBuffer));
        const std::vector<std::uint8_t>& record = firmware_->ModelRecord();
        std::copy(record.begin(), record.end(), out);
        *returned = static_cast<std::uint32_t>(record.size());
        return true;
    }
    default:
        return fail(kErrorInvalidFunction);
    }
}

bool SimMiscDriver::Handshake(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                              std::uint32_t* returned) {
    auto fail = [](std::uint32_t error) {
        SetLastErrorCode(error);
        return false;
    };
    const auto invalid = static_cast<std::uint32_t>(kErrorInvalidParameter);
    std::uint32_t error = 0;
    if (inSize == 0 && outSize == 0) {
        if (TakeFault(0, kIoctlHandshake, &error)) return fail(error);
        return cipher_ ? true : fail(kErrorNotSupported);
    }
    if (!cipher_) return fail(kErrorNotSupported);
    if (inSize < 4) return fail(invalid);
    int phase = 0;
    std::uint32_t wantIn = 0, wantOut = 0;
    if (TagIs(in, "Ini1")) {
        phase = 1;
        wantIn = kHandshake1Size;
        wantOut = kHandshake1Size;
    } else if (TagIs(in, "Ini2")) {
        phase = 2;
        wantIn = kHandshake2InSize;
        wantOut = kHandshake2OutSize;
    } else if (TagIs(in, "Ini3")) {
        phase = 3;
        wantIn = kHandshake3InSize;
        wantOut = kHandshake3OutSize;
    } else {
        return fail(invalid);
    }
    if (inSize != wantIn || outSize < wantOut) return fail(invalid);
    if (TakeFault(phase, ~0u, &error)) return fail(error);
    switch (phase) {
    case 1: return Phase1(in, out, outSize, returned);
    case 2: return Phase2(in, out, outSize, returned);
    default: return Phase3(in, out, outSize, returned);
    }
}

bool SimMiscDriver::Phase1(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned) {
    auto fail = [](std::uint32_t error) {
        SetLastErrorCode(error);
        return false;
    };
    const auto invalid = static_cast<std::uint32_t>(kErrorInvalidParameter);
    // A new handshake replaces a half-made session; an established one must be ended first.
    if (phase_ == Phase::Established) return fail(invalid);
    const std::uint8_t* clientNonce = in + 4 + kBigNumBytes;
    if (Load32(clientNonce + kClientNonceSize) != 0) return fail(invalid);
    std::uint32_t a[cr::kBigNumWords];
    BytesToWords(in + 4, cr::kBigNumWords, a);
    if (!SanePublicNumber(a)) return fail(invalid);

    ForgetSession();
    std::memcpy(a_, a, sizeof(a_));
    DrawWords(y_, kExponentWords - 1);
    y_[kExponentWords - 1] = 0;
    y_[kExponentWords - 2] |= 0x40000000u;  // keep the exponent full-sized
    if (!cr::Pow2Mod(y_, kExponentWords, b_)) {
        ForgetSession();
        return fail(static_cast<std::uint32_t>(kErrorGenFailure));
    }
    std::uint32_t nonceWords[kDriverNonceSize / 4];
    DrawWords(nonceWords, kDriverNonceSize / 4);
    std::uint32_t id = 0;
    while (id == 0) DrawWords(&id, 1);

    std::uint8_t reply[kHandshake1Size];
    Store32(reply, id);
    WordsToBytes(b_, cr::kBigNumWords, reply + 4);
    WordsToBytes(nonceWords, kDriverNonceSize / 4, reply + 4 + kBigNumBytes);

    // K1 = HMAC-SHA1(pre-shared key, client nonce and its 4 zero bytes, driver nonce).
    cr::HmacSha1Context hmac;
    cr::HmacSha1Init(&hmac, psk_, sizeof(psk_));
    cr::HmacSha1Update(&hmac, clientNonce, kClientNonceSize + 4);
    cr::HmacSha1Update(&hmac, reply + 4 + kBigNumBytes, kDriverNonceSize);
    cr::HmacSha1Final(&hmac, k1_);

    if (phase1ReplySize_ != 0) {
        // A driver that answers with the wrong size keeps nothing of the exchange.
        const std::uint32_t size = std::min(phase1ReplySize_, outSize);
        std::memset(out, 0, size);
        std::memcpy(out, reply, std::min<std::size_t>(size, sizeof(reply)));
        *returned = size;
        phase1ReplySize_ = 0;
        ForgetSession();
        return true;
    }
    std::memcpy(out, reply, sizeof(reply));
    *returned = static_cast<std::uint32_t>(sizeof(reply));
    sessionId_ = id;
    phase_ = Phase::KeyAgreed;
    cr::SecureZero(nonceWords, sizeof(nonceWords));
    return true;
}

bool SimMiscDriver::Phase2(const std::uint8_t* in, std::uint8_t* out, std::uint32_t, std::uint32_t* returned) {
    if (phase_ != Phase::KeyAgreed || Load32(in + 4) != sessionId_) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidParameter));
        return false;
    }
    std::uint8_t a[kBigNumBytes], b[kBigNumBytes];
    WordsToBytes(a_, cr::kBigNumWords, a);
    WordsToBytes(b_, cr::kBigNumWords, b);
    std::uint8_t expected[cr::kHmacSha1Size], proof[cr::kHmacSha1Size];
    cr::HmacSha1Context hmac;
    cr::HmacSha1Init(&hmac, k1_, sizeof(k1_));
    cr::HmacSha1Update(&hmac, a, sizeof(a));
    cr::HmacSha1Update(&hmac, b, sizeof(b));
    cr::HmacSha1Final(&hmac, expected);
    // Compare every byte (no early exit).
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < sizeof(expected); ++i) difference |= static_cast<std::uint8_t>(expected[i] ^ in[8 + i]);
    if (difference != 0 && !impostor_) {
        ForgetSession();
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorAccessDenied));
        return false;
    }
    cr::HmacSha1Init(&hmac, k1_, sizeof(k1_));
    cr::HmacSha1Update(&hmac, b, sizeof(b));
    cr::HmacSha1Update(&hmac, a, sizeof(a));
    cr::HmacSha1Final(&hmac, proof);
    if (corruptProof_) {
        proof[7] ^= 0x10;
        corruptProof_ = false;
    }
    std::memcpy(out, proof, sizeof(proof));
    *returned = static_cast<std::uint32_t>(sizeof(proof));
    phase_ = Phase::Authenticated;
    return true;
}

bool SimMiscDriver::Phase3(const std::uint8_t* in, std::uint8_t* out, std::uint32_t, std::uint32_t* returned) {
    if (phase_ != Phase::Authenticated || Load32(in + 4) != sessionId_) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidParameter));
        return false;
    }
    // KEK = the first 16 bytes of SHA-1 over Z = A^y mod P.
    std::uint32_t z[cr::kBigNumWords];
    if (!cr::PowMod(a_, y_, kExponentWords, cr::kModp1024Prime, z)) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorGenFailure));
        return false;
    }
    std::uint8_t zBytes[kBigNumBytes], digest[cr::kSha1DigestSize];
    WordsToBytes(z, cr::kBigNumWords, zBytes);
    cr::Sha1(zBytes, sizeof(zBytes), digest);
    cr::BlowfishContext kek;
    cr::BlowfishInitialize(&kek, digest, kSessionKeySize);
    std::memcpy(sessionKey_, in + 8, kSessionKeySize);
    cr::BlowfishDecipherBlock(&kek, sessionKey_);
    cr::BlowfishDecipherBlock(&kek, sessionKey_ + 8);
    cr::BlowfishWipe(&kek);
    cr::SecureZero(z, sizeof(z));
    cr::SecureZero(zBytes, sizeof(zBytes));
    cr::SecureZero(digest, sizeof(digest));

    cr::BlowfishInitialize(&cipherContext_, sessionKey_, kSessionKeySize);
    std::uint32_t left = kAuthWord, right = kMiscWord;
    cr::BlowfishEncipher(&cipherContext_, left, right);
    Store32(out, left);
    Store32(out + 4, right);
    *returned = static_cast<std::uint32_t>(kHandshake3OutSize);
    phase_ = Phase::Established;
    expectedSequence_ = 0;
    // The exchange secrets are no longer needed.
    cr::SecureZero(y_, sizeof(y_));
    cr::SecureZero(k1_, sizeof(k1_));
    return true;
}

bool SimMiscDriver::EndSession(const std::uint8_t* in, std::uint32_t inSize) {
    if (inSize != 4) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidParameter));
        return false;
    }
    const std::uint32_t id = Load32(in);
    endedSessions_.push_back(id);
    if (phase_ == Phase::None || id != sessionId_) {
        SetLastErrorCode(static_cast<std::uint32_t>(kErrorInvalidParameter));
        return false;
    }
    ForgetSession();
    return true;
}

bool SimMiscDriver::Capsule(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                            std::uint32_t* returned, DriverCall* call) {
    auto fail = [](std::uint32_t error) {
        SetLastErrorCode(error);
        return false;
    };
    const auto invalid = static_cast<std::uint32_t>(kErrorInvalidParameter);
    if (cipher_ && phase_ != Phase::Established) return fail(static_cast<std::uint32_t>(kErrorAccessDenied));
    if (inSize < 16) return fail(invalid);
    const std::uint32_t payloadSize = Load32(in);
    const std::uint32_t capsuleSize = Load32(in + 4);
    if (payloadSize > inSize || capsuleSize != CapsuleLength(payloadSize) || capsuleSize != inSize) return fail(invalid);
    if (Load32(in + 8) != (cipher_ ? sessionId_ : 0u)) return fail(invalid);

    // The (capsule length - 16) / 8 blocks from byte 12 hold the padded payload.
    std::vector<std::uint8_t> payload(in + kCapsuleHeaderSize, in + capsuleSize - 4);
    if (cipher_) {
        for (std::size_t at = 0; at + 8 <= payload.size(); at += 8) cr::BlowfishDecipherBlock(&cipherContext_, &payload[at]);
    }
    // Inner message: Sequence, total (= input + 24), Code, input length, output length, input, 4 zeros.
    if (payloadSize < kInnerHeaderSize + 4) return fail(invalid);
    const std::uint8_t* inner = payload.data();
    const std::uint32_t sequence = Load32(inner);
    const std::uint32_t total = Load32(inner + 4);
    const std::uint32_t innerCode = Load32(inner + 8);
    const std::uint32_t inputSize = Load32(inner + 12);
    const std::uint32_t outputSize = Load32(inner + 16);
    if (total != payloadSize || inputSize != payloadSize - 24 || Load32(inner + kInnerHeaderSize + inputSize) != 0) {
        return fail(invalid);
    }
    call->innerCode = innerCode;
    call->sequence = sequence;
    if (!cipher_ && !plainCounterSet_) {
        expectedSequence_ = sequence;
        plainCounterSet_ = true;
    }
    if (sequence != expectedSequence_) return fail(static_cast<std::uint32_t>(kErrorAccessDenied));
    std::uint32_t error = 0;
    if (TakeFault(-1, innerCode, &error)) return fail(error);

    Reply reply;
    Dispatch(innerCode, inner + kInnerHeaderSize, inputSize, outputSize, &reply);
    if (!reply.hasPayload) {
        // Failures without an answer return nothing; the exchange does not count.
        return fail(reply.ok ? invalid : reply.error);
    }
    if (hasShortReply_ && shortReplyCode_ == innerCode) {
        hasShortReply_ = false;
        if (reply.payload.size() > shortReplyBytes_) reply.payload.resize(shortReplyBytes_);
    }

    // Reply capsule: the driver's header, the payload padded to whole blocks, 4 zero bytes.
    const auto replyPayload = static_cast<std::uint32_t>(reply.payload.size());
    const std::uint32_t replySize = CapsuleLength(replyPayload);
    std::vector<std::uint8_t> capsule(replySize, 0);
    Store32(&capsule[0], replyPayload);
    Store32(&capsule[4], replySize);
    Store32(&capsule[8], cipher_ ? sessionId_ : 0u);
    std::copy(reply.payload.begin(), reply.payload.end(), capsule.begin() + kCapsuleHeaderSize);
    if (cipher_) {
        for (std::size_t at = kCapsuleHeaderSize; at + 8 <= replySize - 4; at += 8) {
            cr::BlowfishEncipherBlock(&cipherContext_, &capsule[at]);
        }
    }
    const std::uint32_t written = std::min(replySize, outSize);
    if (written) std::memcpy(out, capsule.data(), written);
    *returned = written;
    bool ok = reply.ok;
    error = reply.error;
    if (ok && (replyPayload > outputSize || replySize > outSize)) {
        ok = false;
        error = static_cast<std::uint32_t>(kErrorMoreData);
    }
    // The client counts every exchange that succeeded or returned bytes; so does the driver.
    if (ok || written > 0) ++expectedSequence_;
    return ok ? true : fail(error);
}

void SimMiscDriver::Dispatch(std::uint32_t innerCode, const std::uint8_t* input, std::uint32_t inputSize,
                             std::uint32_t outputSize, Reply* reply) {
    const auto invalid = static_cast<std::uint32_t>(kErrorInvalidParameter);
    // Boot priorities and BIOS extension tables came with 1.0.800.0.
    if ((innerCode == kInnerBootPriorityGet || innerCode == kInnerBootPrioritySet ||
         innerCode == kInnerBiosExtensionTable) &&
        !VersionAtLeast(driverVersion_, 1, 0, 800, 0)) {
        return reply->Fail(kErrorInvalidFunction);
    }
    switch (innerCode) {
    case kInnerMiscPacket:
        // One packet: its input bytes exactly; the answer is its output length.
        if (inputSize < kMiscPacketHeaderSize || Load16(input + 2) != inputSize) return reply->Fail(invalid);
        return reply->Answer(firmware_->Answer(input, inputSize));
    case kInnerMiscTwoPackets: {
        // Packet 1's input bytes, then packet 2's; the split comes from packet 1's header. Bytes
        // after packet 2's input (a caller that sends whole packet buffers) are ignored.
        if (inputSize < 2 * kMiscPacketHeaderSize) return reply->Fail(invalid);
        const std::uint32_t first = Load16(input + 2);
        if (first < kMiscPacketHeaderSize || first > inputSize - kMiscPacketHeaderSize) return reply->Fail(invalid);
        const std::uint32_t second = Load16(input + first + 2);
        if (second < kMiscPacketHeaderSize || second > inputSize - first) return reply->Fail(invalid);
        std::vector<std::uint8_t> answer = firmware_->Answer(input, first);
        const std::vector<std::uint8_t> secondAnswer = firmware_->Answer(input + first, second);
        answer.insert(answer.end(), secondAnswer.begin(), secondAnswer.end());
        return reply->Answer(std::move(answer));
    }
    case kInnerSetRegistry:
    case kInnerQueryRegistry:
    case kInnerRegKeyExists:
    case kInnerDelRegValue:
    case kInnerDelRegKey:
    case kInnerCreateRegKey:
        return Registry(innerCode, input, inputSize, outputSize, reply);
    case kInnerBootPriorityGet:
        if (inputSize != 0) return reply->Fail(invalid);
        return reply->Answer(firmware_->BootPriorityReply());
    case kInnerBootPrioritySet:
        if (inputSize != kBootPriorityAreaSize) return reply->Fail(invalid);
        return reply->Answer({firmware_->SetBootPriority(input, inputSize)});
    case kInnerBiosExtensionTable: {
        std::vector<std::uint8_t> table;
        if (inputSize != 2 || !firmware_->BiosExtensionTable(static_cast<std::uint16_t>(Load16(input)), &table)) {
            return reply->Fail(invalid);
        }
        return reply->Answer(std::move(table));
    }
    default:
        return reply->Fail(kErrorInvalidFunction);
    }
}

void SimMiscDriver::Registry(std::uint32_t innerCode, const std::uint8_t* input, std::uint32_t inputSize,
                             std::uint32_t, Reply* reply) {
    const auto invalid = static_cast<std::uint32_t>(kErrorInvalidParameter);
    DriverRegistryOp op;
    op.code = innerCode;
    IRegistry& registry = platform::Registry();
    const RegKey root = kHkeyLocalMachine;
    const std::uint32_t view = kKeyWow64_64Key;  // the driver runs in the kernel: no redirection

    if (innerCode == kInnerQueryRegistry) {
        // "RgQI": tag, request length, reply length, name offset (from 16); path and name from 16.
        if (inputSize < kRgQIHeaderSize || !TagIs(input, "RgQI")) return reply->Fail(invalid);
        const std::uint32_t length = Load32(input + 4);
        const std::uint32_t replyLength = Load32(input + 8);
        const std::uint32_t nameOffset = Load32(input + 12);
        std::size_t pathBytes = 0, nameBytes = 0;
        if (length > inputSize || length < kRgQIHeaderSize || replyLength < 15 ||
            !ReadString(input, kRgQIHeaderSize, length, &op.path, &pathBytes) || nameOffset != pathBytes ||
            !ReadString(input, kRgQIHeaderSize + pathBytes, length, &op.name, &nameBytes) ||
            length != kRgQIHeaderSize + pathBytes + nameBytes + 3) {
            return reply->Fail(invalid);
        }
        const std::uint32_t room = replyLength - 15;
        OwnedRegKey key(registry);
        op.result = OpenRegKey(key, root, op.path.c_str(), kKeyQueryValue | view);
        std::uint32_t type = 0, size = 0;
        if (op.result == kErrorSuccess) {
            op.result = registry.QueryValue(key.Get(), op.name.c_str(), &type, nullptr, &size);
            if (op.result == kErrorSuccess && size <= room) {
                op.data.assign(size, 0);
                op.result = registry.QueryValue(key.Get(), op.name.c_str(), &type, op.data.data(), &size);
                op.data.resize(std::min<std::size_t>(size, op.data.size()));
            }
        }
        op.type = type;
        if (op.result == kErrorSuccess && size > room) op.result = kErrorMoreData;
        lastRegistryOp_ = op;
        hasRegistryOp_ = true;
        if (op.result != kErrorSuccess && op.result != kErrorMoreData) return reply->Fail(static_cast<std::uint32_t>(op.result));
        // "RgQO": data length, tag, type, data (none when it did not fit).
        std::vector<std::uint8_t> answer(kRgQOHeaderSize, 0);
        Store32(&answer[0], size);
        std::memcpy(&answer[4], "RgQO", 4);
        Store32(&answer[8], type);
        if (op.result == kErrorMoreData) {
            reply->Answer(std::move(answer));
            reply->ok = false;
            reply->error = static_cast<std::uint32_t>(kErrorMoreData);
            return;
        }
        answer.insert(answer.end(), op.data.begin(), op.data.end());
        return reply->Answer(std::move(answer));
    }

    // "RegW": tag, type, total length, name offset, data offset (both from 24), data length;
    // from 24 the path, the name, the data. Total = contents + 3.
    if (inputSize < kRegWHeaderSize || !TagIs(input, "RegW")) return reply->Fail(invalid);
    const std::uint32_t type = Load32(input + 4);
    const std::uint32_t total = Load32(input + 8);
    const std::uint32_t nameOffset = Load32(input + 12);
    const std::uint32_t dataOffset = Load32(input + 16);
    const std::uint32_t dataSize = Load32(input + 20);
    std::size_t pathBytes = 0, nameBytes = 0;
    if (total > inputSize || total < kRegWHeaderSize || !ReadString(input, kRegWHeaderSize, total, &op.path, &pathBytes)) {
        return reply->Fail(invalid);
    }
    const bool named = innerCode == kInnerSetRegistry || innerCode == kInnerDelRegValue;
    if (named) {
        if (nameOffset != pathBytes || !ReadString(input, kRegWHeaderSize + pathBytes, total, &op.name, &nameBytes)) {
            return reply->Fail(invalid);
        }
    }
    std::size_t contents = kRegWHeaderSize + pathBytes + nameBytes;
    if (innerCode == kInnerSetRegistry) {
        const std::size_t dataAt = pathBytes + nameBytes;
        if ((dataOffset != dataAt && !(dataOffset == 0 && dataSize == 0)) || dataSize > total - contents) {
            return reply->Fail(invalid);
        }
        op.type = type;
        op.data.assign(input + kRegWHeaderSize + dataAt, input + kRegWHeaderSize + dataAt + dataSize);
        contents += dataSize;
    }
    if (total != contents + 3) return reply->Fail(invalid);

    OwnedRegKey key(registry);
    std::vector<std::uint8_t> answer;
    switch (innerCode) {
    case kInnerSetRegistry:
        op.result = CreateRegKey(key, root, op.path.c_str(), kKeySetValue | view);
        if (op.result == kErrorSuccess) {
            op.result = registry.SetValue(key.Get(), op.name.c_str(), type, op.data.data(), dataSize);
        }
        break;
    case kInnerRegKeyExists: {
        op.result = OpenRegKey(key, root, op.path.c_str(), kKeyQueryValue | view);
        const bool exists = op.result == kErrorSuccess;
        if (op.result == kErrorFileNotFound) op.result = kErrorSuccess;
        answer.assign(4, 0);
        Store32(answer.data(), exists ? 1u : 0u);
        break;
    }
    case kInnerDelRegValue:
        op.result = OpenRegKey(key, root, op.path.c_str(), kKeySetValue | view);
        if (op.result == kErrorSuccess) op.result = registry.DeleteValue(key.Get(), op.name.c_str());
        break;
    case kInnerDelRegKey:
        op.result = registry.DeleteKey(root, op.path.c_str(), view);
        break;
    default:  // kInnerCreateRegKey
        op.result = CreateRegKey(key, root, op.path.c_str(), kKeyRead | view);
        break;
    }
    lastRegistryOp_ = op;
    hasRegistryOp_ = true;
    if (op.result != kErrorSuccess) return reply->Fail(static_cast<std::uint32_t>(op.result));
    reply->Answer(std::move(answer));
}

}  // namespace quarro::platform::sim
