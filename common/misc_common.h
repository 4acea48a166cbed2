// CMiscCommon: the session with the Mirelta Misc Driver, the only road to the notebook's firmware
// and embedded controller.
//
// Opening finds the driver through its device interface, reads its version, opens the device and
// runs the three-phase handshake (Diffie-Hellman over the RFC 2409 group-2 prime, HMAC-SHA1
// proofs keyed by the pre-shared key, a Blowfish session key sent under a key-encryption key).
// Every later request travels as a "capsule" through one device-control code, its payload
// enciphered with the session key. On top of the channel: Misc function packets, the model-number
// record, boot-priority tables, BIOS extension tables and registry access performed by the
// driver.
//
// Results are library codes (kMisc*, misc_codes.h), 0 = success, except EncapsuledDeviceIoControl,
// which answers like DeviceIoControl (1/0 and the thread's last error). Every failing step leaves
// one fixed line in GetLastErrorText(): "MiscCommon::CMiscCommon::<operation>: <message>".
//
// Replies are untrusted: every length in them is checked against the buffer it describes before
// anything is read or copied, and a Misc packet reply must fill the packet's whole output length.
// Key material, proofs and cipher contexts are wiped before they are freed.
//
// No locks: a session belongs to one thread at a time. The device-interface concern it was opened
// through must outlive it.
//
// The class is built from one file per concern:
//   misc_wire.*       byte formats: capsules, inner message, records (no state)
//   misc_transport.*  the device: SetupAPI walk, open, DeviceIoControl
//   misc_session.cpp  open, the handshake in its phases, close, version, error text
//   misc_channel.cpp  the capsule exchange and Misc function packets
//   misc_tables.cpp   model-number record, boot priorities, BIOS extension tables
//   misc_registry.cpp registry requests performed by the driver
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/misc_codes.h"
#include "common/misc_transport.h"
#include "common/misc_wire.h"
#include "crypto/blowfish.h"
#include "platform/registry.h"

namespace MiscCommon {

// Text buffers of the session.
inline constexpr std::size_t kVersionTextUnits = 256;
inline constexpr std::size_t kLastErrorTextUnits = 256;

class CMiscCommon {
public:
    CMiscCommon();
    virtual ~CMiscCommon();
    CMiscCommon(const CMiscCommon&) = delete;
    CMiscCommon& operator=(const CMiscCommon&) = delete;

    // ---- Session ----

    // OpenDriver, then (for a driver of 1.0.8.0 or later) the handshake. A driver older than that
    // gives 0 without a session: only GetDriverVersion is then useful. A failed handshake closes
    // the device again, keeping LastErrorText and the last error.
    int Open();
    // Finds, identifies and opens the device (an open session is closed first). 0, 2, 5, 6 or 11.
    int OpenDriver();
    // The three-phase handshake on the open device. 0, 2, 5, 6 or 10.
    int _Initialize();
    // Ends the driver's session (when there is a cipher), wipes and frees the cipher and closes
    // the device. Nothing when already closed.
    void Close();

    // The driver's "DriverVersion" text ("" before the first open) and its four numbers.
    const char16_t* GetDriverVersion(int* major, int* minor, int* build, int* revision);
    // (major, minor, build, revision) >= (a, b, c, d), field by field, major first.
    bool IsDriverVersionAtLeast(int a, int b, int c, int d) const;
    const char16_t* GetLastErrorText() const { return LastErrorText; }

    // ---- Request channel ----

    // One request through the enciphered channel. `input` is null exactly when `inputLength` is
    // 0, `output` exactly when `outputCapacity` is 0; `returned` is required. Answers 1/0 like
    // DeviceIoControl and leaves the device call's last error (ERROR_MORE_DATA when the reply
    // was longer than `outputCapacity`: then `outputCapacity` bytes are copied and 0 returned).
    int EncapsuledDeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                                  std::uint32_t outputCapacity, std::uint32_t* returned);

    // One Misc function packet, sent and answered in place. While the status byte reads 4 (busy)
    // and fewer than `retries` repeats were made: pause `pauseMs`, restore the packet as the
    // caller gave it, send again. 0, 2, 3, 5, 8 or 10; the caller reads the status in byte 0.
    // A reply shorter than the packet's output length is code 2 with ERROR_INVALID_DATA: the
    // packet would otherwise hand request bytes out as results.
    int CallMiscFunction(void* packet, std::uint32_t packetSize, std::uint32_t retries, std::uint32_t pauseMs);
    // Two packets in one exchange, no retry; the reply must fill both output lengths. 0, 2, 3, 5,
    // 8 or 10.
    int CallMiscFunction(void* packet1, std::uint32_t packetSize1, void* packet2, std::uint32_t packetSize2);

    // ---- Records and tables ----

    // One field of the 128-byte model-number record, by type 0-6 (see CutModelNumberField).
    // `*size` is the buffer's room in, the bytes written out. A null buffer is allowed only with
    // size 0: the needed size comes back with code 5. 0, 2, 3, 5, 8 or 10.
    int GetModelNumber(std::uint32_t type, void* buffer, std::uint32_t* size);
    // Status byte, the priority list (at most 65536 bytes copied) and the device table (at most
    // 65536). Null buffers are skipped. 0, 2, 5, 8 or 10.
    int BootPriorityGetPriorityAndTable(std::uint8_t* status, void* priority, std::uint32_t prioritySize,
                                        void* table, std::uint32_t tableSize);
    // Sends the array (at most 65536 bytes, zero-filled to that size); the status byte comes back.
    // 0, 2, 3, 5, 8 or 10.
    int BootPrioritySetPriority(std::uint8_t* status, const void* array, std::uint32_t size);
    // Table `table` into `buffer`; `*size` is its room in, the bytes returned out. 0, 2, 3 or 10.
    int GetBiosExtensionTable2(std::uint16_t table, void* buffer, std::uint32_t* size);

    // ---- Registry performed by the driver (HKEY_LOCAL_MACHINE only) ----

    int SetRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name, std::uint32_t type,
                    const void* data, std::uint32_t size);
    // `*size`: the room of `data` in, the value's size out (also with code 9, and with 0 for a
    // size-only query with null `data`). 0, 2, 3, 5, 9 or 10.
    int QueryRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name,
                      std::uint32_t* type, void* data, std::uint32_t* size);
    // *exists = 1 when the driver reports the key. 0, 2, 3, 5 or 10.
    int RegKeyExists(quarro::platform::RegKey root, const char16_t* path, int* exists);
    int DelRegKey(quarro::platform::RegKey root, const char16_t* path);
    int DelRegValue(quarro::platform::RegKey root, const char16_t* path, const char16_t* name);
    int CreateRegKey(quarro::platform::RegKey root, const char16_t* path);

    // ---- State, read-only ----

    bool IsOpen() const { return _device.IsOpen(); }
    bool HasCipher() const { return Cipher != nullptr; }
    bool IsEncrypting() const { return Encrypting != 0; }
    std::uint32_t GetSessionId() const { return SessionId; }
    std::uint32_t GetSequence() const { return Sequence; }

private:
    struct Handshake;  // the key material of one handshake, wiped on every way out

    void SetErrorText(const char16_t* operation, const char16_t* message);
    void SetErrorTextNumbers(const char16_t* operation, const char16_t* message, int first, const char16_t* between,
                             int second, bool withSecond);
    void ClearErrorText() { LastErrorText[0] = 0; }

    bool SessionGate() const;   // 1.0.8.0
    bool ExtendedGate() const;  // 1.0.800.0
    // Parses _szVersion into the four version numbers.
    void ParseVersion();
    // Sends the end-of-session request for `sessionId`, keeping the caller's last error.
    void SendEndSession(std::uint32_t sessionId);
    // Ends a cipher session: end-of-session request, ids zeroed, cipher wiped and freed.
    void EndCipherSession();
    int InitializeFailed(int code, const char16_t* message, bool endSession);

    // The handshake, phase by phase; each answers 0 or fails through InitializeFailed.
    bool ProbeRefusesCipher();
    int PrepareHandshake(Handshake& h);
    int HandshakePhase1(Handshake& h);
    int HandshakePhase2(Handshake& h);
    int HandshakePhase3(Handshake& h);

    // Capsule steps; each names itself in LastErrorText when it fails. 0, 2, 3 or 8.
    int _Encrypt(std::uint8_t* capsule, std::uint32_t capsuleLength);
    int _Decrypt(std::uint8_t* capsule, std::uint32_t bufferSize);
    std::uint8_t* _InitializeMessageCapsule(const std::uint8_t* payload, std::uint32_t payloadLength,
                                            std::uint32_t* capsuleLength);
    // A Misc packet reply shorter than its output length: code 2, ERROR_INVALID_DATA.
    int ShortPacketReply();

    int RegistryPreamble(quarro::platform::RegKey root) const;
    int SendRegWRecord(const char16_t* operation, std::uint32_t innerCode, int kind, const char16_t* path,
                       const char16_t* name, std::uint32_t type, const void* data, std::uint32_t size);

    // Fields, in this order. The device (the driver's _hDevice) keeps the device-interface
    // concern it was opened through: every later request of this session goes through it.
    MiscTransport _device;
    char16_t* _szVersion;  // kVersionTextUnits units, allocated on the first open, kept across re-opens
    std::uint32_t SessionId;
    std::uint32_t Sequence;
    quarro::crypto::BlowfishContext* Cipher;
    std::uint32_t Encrypting;
    char16_t LastErrorText[kLastErrorTextUnits];
    int VersionMajor;
    int VersionMinor;
    int VersionBuild;
    int VersionRevision;
};

}  // namespace MiscCommon
