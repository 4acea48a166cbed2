// The simulated Mirelta Misc Driver: the driver side of the session protocol (handshake,
// authentication, capsules, cipher) over the snapshot's firmware model.
//
// Device-control codes it serves:
//   0x222000  handshake: empty probe, then "Ini1", "Ini2", "Ini3"
//   0x222004  end of session (input: the 4-byte session id)
//   0x222008  capsule exchange; the capsule's inner message names the request (kInner* below)
//   0x222940  the 128-byte model record (plain, no session needed)
//
// Handshake (all numbers are 33 little-endian 32-bit words, P the RFC 2409 group-2 prime):
//   Ini1  in 160: "Ini1", A (132), client nonce (20), 4 zero bytes
//         out 160: session id (4), B = 2^y mod P (132), driver nonce (24)
//         K1 = HMAC-SHA1(pre-shared key, client nonce + 4 zero bytes, driver nonce)
//   Ini2  in 28: "Ini2", session id, HMAC-SHA1(K1, A || B);  out 20: HMAC-SHA1(K1, B || A)
//   Ini3  in 24: "Ini3", session id, the 16-byte session key enciphered under
//         KEK = SHA-1(A^y mod P)[0..16);  out 8: "Auth" "Misc" enciphered under the session key.
//
// Errors (FALSE and the thread's last error):
//   1  ERROR_INVALID_FUNCTION   unknown device or inner code, or one the driver version does not
//                               have yet (before 1.0.8.0: every code; before 1.0.800.0: boot
//                               priorities and BIOS extension tables)
//   87 ERROR_INVALID_PARAMETER  malformed request: sizes, tags, phase order, session id, capsule
//                               or inner-message fields, registry records, unknown BIOS extension
//                               table
//   5  ERROR_ACCESS_DENIED      wrong client proof (the half-made session is forgotten), capsule
//                               without an established session, capsule out of sequence
//   50 ERROR_NOT_SUPPORTED      handshake to a driver without cipher
//   234 ERROR_MORE_DATA         the reply did not fit (what fits is written and returned)
//   registry errors             of the registry operation performed
// A failed request returns no bytes, except ERROR_MORE_DATA, which returns what fits.
//
// Sequence: a session starts expecting sequence 0 and advances after every capsule exchange that
// succeeded or returned bytes (the client's own rule). Without cipher there is no session: the
// first capsule after the device is opened sets the counter and it advances the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "crypto/bignum.h"
#include "crypto/blowfish.h"
#include "crypto/preshared_key.h"
#include "platform/sim/firmware_model.h"

namespace quarro::platform::sim {

// Device-control codes.
inline constexpr std::uint32_t kIoctlHandshake = 0x222000;
inline constexpr std::uint32_t kIoctlEndSession = 0x222004;
inline constexpr std::uint32_t kIoctlCapsule = 0x222008;
inline constexpr std::uint32_t kIoctlModelRecord = 0x222940;

// Inner request codes (the Code field of a capsule's inner message).
inline constexpr std::uint32_t kInnerMiscPacket = 0x222944;
inline constexpr std::uint32_t kInnerSetRegistry = 0x222948;
inline constexpr std::uint32_t kInnerQueryRegistry = 0x22294C;
inline constexpr std::uint32_t kInnerRegKeyExists = 0x222950;
inline constexpr std::uint32_t kInnerDelRegValue = 0x222954;
inline constexpr std::uint32_t kInnerDelRegKey = 0x222958;
inline constexpr std::uint32_t kInnerCreateRegKey = 0x22295C;
inline constexpr std::uint32_t kInnerBootPriorityGet = 0x222960;
inline constexpr std::uint32_t kInnerBootPrioritySet = 0x222964;
inline constexpr std::uint32_t kInnerBiosExtensionTable = 0x222968;
inline constexpr std::uint32_t kInnerMiscTwoPackets = 0x22296C;

inline constexpr std::uint32_t kAuthWord = 0x68747541;  // "Auth"
inline constexpr std::uint32_t kMiscWord = 0x6373694D;  // "Misc"

inline constexpr std::size_t kHandshake1Size = 160;
inline constexpr std::size_t kHandshake2InSize = 28;
inline constexpr std::size_t kHandshake2OutSize = 20;
inline constexpr std::size_t kHandshake3InSize = 24;
inline constexpr std::size_t kHandshake3OutSize = 8;
inline constexpr std::size_t kCapsuleHeaderSize = 12;
inline constexpr std::size_t kInnerHeaderSize = 20;

// Capsule length for a payload of `payload` bytes: 16 for none, else the payload rounded up to
// whole 8-byte blocks plus the 12-byte header and 4 trailing zero bytes.
constexpr std::uint32_t CapsuleLength(std::uint32_t payload) {
    return payload == 0 ? 16u : ((payload - 1u) & ~7u) + 24u;
}

// One DeviceIoControl the driver served.
struct DriverCall {
    std::uint32_t code = 0;
    std::uint32_t innerCode = 0;  // capsules whose inner message could be read; else 0
    std::uint32_t sequence = 0;   // the inner message's Sequence (capsules only)
    std::uint32_t inSize = 0;
    std::uint32_t outSize = 0;
    bool result = false;
    std::uint32_t error = 0;     // the last error set (0 on success)
    std::uint32_t returned = 0;
    std::uint32_t tick = 0;      // platform::Clock().TickCount() when the call arrived
};

// The last registry operation a capsule asked for.
struct DriverRegistryOp {
    std::uint32_t code = 0;      // inner request code
    std::u16string path;         // below HKEY_LOCAL_MACHINE
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    long result = 0;             // Win32 error of the registry call (0 = success)
};

class SimMiscDriver {
public:
    // `section`: the "miscDriver" member of machine.json (null: a driver with defaults and an
    // empty firmware). See machines/README.md for the fields.
    explicit SimMiscDriver(const nlohmann::json* section);
    ~SimMiscDriver();
    SimMiscDriver(const SimMiscDriver&) = delete;
    SimMiscDriver& operator=(const SimMiscDriver&) = delete;

    // --- what the device object forwards ------------------------------------------------------
    // One device-control request on the open device. Sets the last error; always writes *returned.
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned);
    // The device was opened / its handle closed (a session lives no longer than its handle).
    void OnOpen();
    void OnClose();

    const std::string& DriverVersion() const { return driverVersion_; }
    void SetDriverVersion(const std::string& version) { driverVersion_ = version; }

    // --- configuration and faults for tests ----------------------------------------------------
    // Reseeds the driver's random generator (session ids, private exponents, nonces), so that a
    // test gets the same numbers every run. Instances are otherwise seeded from the clock.
    void Seed(std::uint64_t seed);
    // Probe answer: true = cipher (probe succeeds), false = ERROR_NOT_SUPPORTED and plain capsules.
    void SetCipherSupported(bool supported) { cipher_ = supported; }
    bool CipherSupported() const { return cipher_; }
    // The driver's pre-shared key. With another key than the client's, phase 2 is refused with
    // ERROR_ACCESS_DENIED (the client proof does not verify).
    void SetPresharedKey(const std::uint8_t key[crypto::kPresharedKeySize]);
    // An impostor that holds another key and does not judge the client proof: phase 2 answers a
    // proof under its own key, so the client's check of the driver fails. ("presharedKey":
    // "mismatched" in machine.json.)
    void SetImpostor(bool impostor);
    // The next phase-1 reply has this many bytes (e.g. 159) and the call still succeeds; no
    // session is kept. 0 clears it.
    void SetPhase1ReplySize(std::uint32_t size) { phase1ReplySize_ = size; }
    // The next phase-2 reply carries a wrong driver proof (one bit flipped).
    void CorruptNextDriverProof() { corruptProof_ = true; }
    // The next request with device code `code`, or the next capsule whose inner message carries
    // request code `code`, fails with `error` and returns no bytes; nothing else happens for it
    // (the sequence does not advance). 0x222000 hits the next handshake request of any phase.
    void FailNextExchange(std::uint32_t code, std::uint32_t error);
    // The next handshake request of phase `phase` (0 the probe, 1 to 3 the phases) fails with
    // `error`; the session state stays as if the request had not arrived.
    void FailNextPhase(int phase, std::uint32_t error);
    // The next capsule whose inner message carries request code `innerCode` is answered, and
    // succeeds, with only the first `payloadBytes` bytes of its reply payload: a driver that
    // answers short.
    void ShortenNextReply(std::uint32_t innerCode, std::uint32_t payloadBytes);
    FirmwareModel& Firmware() { return *firmware_; }

    // --- observation ---------------------------------------------------------------------------
    const std::vector<DriverCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // Session ids received with 0x222004, in order (also the ones that matched no session).
    const std::vector<std::uint32_t>& EndedSessions() const { return endedSessions_; }
    bool SessionOpen() const { return phase_ == Phase::Established; }
    // 0 when no session (established or half-made) exists.
    std::uint32_t SessionId() const { return phase_ == Phase::None ? 0 : sessionId_; }
    std::uint32_t ExpectedSequence() const { return expectedSequence_; }
    // The session key of the established session (zeros otherwise), for tests that want to read
    // capsules themselves.
    const std::uint8_t* SessionKey() const { return sessionKey_; }
    bool HasLastRegistryOp() const { return hasRegistryOp_; }
    const DriverRegistryOp& LastRegistryOp() const { return lastRegistryOp_; }
    // What the snapshot section held that could not be used (bad hex, unknown keywords, ...).
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    enum class Phase { None, KeyAgreed, Authenticated, Established };
    struct Reply;

    bool Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
               std::uint32_t outSize, std::uint32_t* returned, DriverCall* call);
    bool Handshake(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                   std::uint32_t* returned);
    bool Phase1(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool Phase2(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool Phase3(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);
    bool EndSession(const std::uint8_t* in, std::uint32_t inSize);
    bool Capsule(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                 std::uint32_t* returned, DriverCall* call);
    void Dispatch(std::uint32_t innerCode, const std::uint8_t* input, std::uint32_t inputSize,
                  std::uint32_t outputSize, Reply* reply);
    void Registry(std::uint32_t innerCode, const std::uint8_t* input, std::uint32_t inputSize,
                  std::uint32_t outputSize, Reply* reply);
    void ForgetSession();
    void DrawWords(std::uint32_t* words, std::size_t count);
    bool TakeFault(int phase, std::uint32_t code, std::uint32_t* error);

    std::unique_ptr<FirmwareModel> firmware_;
    std::string driverVersion_ = "1.0.900.0";
    bool cipher_ = true;
    bool impostor_ = false;
    std::uint8_t psk_[crypto::kPresharedKeySize] = {};
    std::vector<std::string> problems_;

    // Random generator: SHA-1 over (seed, counter).
    std::uint8_t randomSeed_[20] = {};
    std::uint64_t randomCounter_ = 0;

    // Session state.
    Phase phase_ = Phase::None;
    std::uint32_t sessionId_ = 0;
    std::uint32_t a_[crypto::kBigNumWords] = {};
    std::uint32_t b_[crypto::kBigNumWords] = {};
    std::uint32_t y_[8] = {};
    std::uint8_t k1_[20] = {};
    std::uint8_t sessionKey_[16] = {};
    crypto::BlowfishContext cipherContext_{};
    std::uint32_t expectedSequence_ = 0;
    bool plainCounterSet_ = false;

    // Faults.
    std::uint32_t phase1ReplySize_ = 0;
    bool corruptProof_ = false;
    bool hasExchangeFault_ = false;
    std::uint32_t faultCode_ = 0;
    std::uint32_t faultError_ = 0;
    int faultPhase_ = 0;
    std::uint32_t faultPhaseError_ = 0;
    bool hasShortReply_ = false;
    std::uint32_t shortReplyCode_ = 0;
    std::uint32_t shortReplyBytes_ = 0;

    // Observation.
    std::vector<DriverCall> calls_;
    std::vector<std::uint32_t> endedSessions_;
    bool hasRegistryOp_ = false;
    DriverRegistryOp lastRegistryOp_;
};

}  // namespace quarro::platform::sim
