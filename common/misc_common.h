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
// Results are library codes (kMisc*), 0 = success, except EncapsuledDeviceIoControl, which
// answers like DeviceIoControl (1/0 and the thread's last error). Every failing step leaves one
// fixed line in GetLastErrorText(): "MiscCommon::CMiscCommon::<operation>: <message>".
//
// Replies are untrusted: every length in them is checked against the buffer it describes before
// anything is read or copied. Key material, proofs and cipher contexts are wiped before they are
// freed.
//
// No locks: a session belongs to one thread at a time. The device-interface concern it was opened
// through must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/crypto/blowfish.h"
#include "platform/device_io.h"
#include "platform/registry.h"

namespace MiscCommon {

// Library return codes.
inline constexpr int kMiscSuccess = 0;
inline constexpr int kMiscSystemError = 2;       // a system call or the driver failed (see the last error)
inline constexpr int kMiscInvalidArgument = 3;   // null pointer, zero size, wrong packet size
inline constexpr int kMiscNoMemory = 5;          // out of memory, or the caller's buffer is too small
inline constexpr int kMiscNotFound = 6;          // no device interface; authentication or key calculation failed
inline constexpr int kMiscNotInitialized = 8;    // no open device, or no cipher context
inline constexpr int kMiscMoreData = 9;          // the registry value is larger than the caller's buffer
inline constexpr int kMiscTooOld = 10;           // driver too old, or a registry root other than HKLM
inline constexpr int kMiscCreateFileFailed = 11;  // CreateFileW on the device failed

// Device-control codes of the driver (FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS).
inline constexpr std::uint32_t kIoctlHandshake = 0x222000;
inline constexpr std::uint32_t kIoctlEndSession = 0x222004;
inline constexpr std::uint32_t kIoctlCapsule = 0x222008;
inline constexpr std::uint32_t kIoctlModelRecord = 0x222940;

// Request codes carried inside a capsule.
inline constexpr std::uint32_t kInnerCallMisc = 0x222944;
inline constexpr std::uint32_t kInnerSetRegistry = 0x222948;
inline constexpr std::uint32_t kInnerQueryRegistry = 0x22294C;
inline constexpr std::uint32_t kInnerRegKeyExists = 0x222950;
inline constexpr std::uint32_t kInnerDelRegValue = 0x222954;
inline constexpr std::uint32_t kInnerDelRegKey = 0x222958;
inline constexpr std::uint32_t kInnerCreateRegKey = 0x22295C;
inline constexpr std::uint32_t kInnerBootPriorityGet = 0x222960;
inline constexpr std::uint32_t kInnerBootPrioritySet = 0x222964;
inline constexpr std::uint32_t kInnerBiosExtensionTable2 = 0x222968;
inline constexpr std::uint32_t kInnerCallMisc2 = 0x22296C;

// The driver's device interface class {80DCC0C5-BD3E-4BC0-8A06-11EAE4AE7224}.
inline constexpr quarro::platform::Guid kMiscDriverInterface = {
    0x80DCC0C5, 0xBD3E, 0x4BC0, {0x8A, 0x06, 0x11, 0xEA, 0xE4, 0xAE, 0x72, 0x24}};

// Misc function packet: bytes 0-1 function number (on return byte 0 is the status), 2-3 input
// length, 4-5 output length, parameters from byte 6.
inline constexpr std::size_t kPacketHeaderSize = 6;
inline constexpr std::uint8_t kStatusDone = 0;
inline constexpr std::uint8_t kStatusBusy = 4;
inline constexpr std::uint8_t kStatusTooSmall = 5;

// Model-number record.
inline constexpr std::uint32_t kModelRecordSize = 128;
inline constexpr std::uint32_t kModelTypeCount = 7;

// Boot-priority areas.
inline constexpr std::uint32_t kBootPriorityAreaSize = 0x10000;
inline constexpr std::uint32_t kBootPriorityReplySize = 0x20004;
inline constexpr std::uint32_t kBootPriorityTableOffset = 4 + kBootPriorityAreaSize;

// Text buffers of the session.
inline constexpr std::size_t kVersionTextUnits = 256;
inline constexpr std::size_t kVersionValueBytes = 256;
inline constexpr std::size_t kLastErrorTextUnits = 256;

// Largest input or output the channel carries in one capsule; anything larger is refused as an
// allocation failure before any arithmetic on it could overflow.
inline constexpr std::uint32_t kMaxTransferBytes = 0x01000000;

// Win32 error code for a reply that does not have the shape the protocol asks for.
inline constexpr long kErrorInvalidData = 13;

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

    // ---- Transport ----

    // One request through the enciphered channel. `input` is null exactly when `inputLength` is
    // 0, `output` exactly when `outputCapacity` is 0; `returned` is required. Answers 1/0 like
    // DeviceIoControl and leaves the device call's last error (ERROR_MORE_DATA when the reply
    // was longer than `outputCapacity`: then `outputCapacity` bytes are copied and 0 returned).
    int EncapsuledDeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                                  std::uint32_t outputCapacity, std::uint32_t* returned);

    // One Misc function packet, sent and answered in place. While the status byte reads 4 (busy)
    // and fewer than `retries` repeats were made: pause `pauseMs`, restore the packet as the
    // caller gave it, send again. 0, 2, 3, 5, 8 or 10; the caller reads the status in byte 0.
    int CallMiscFunction(void* packet, std::uint32_t packetSize, std::uint32_t retries, std::uint32_t pauseMs);
    // Two packets in one exchange, no retry. 0, 2, 3, 5, 8 or 10.
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

    bool IsOpen() const { return _hDevice != quarro::platform::kInvalidDevice; }
    bool HasCipher() const { return Cipher != nullptr; }
    bool IsEncrypting() const { return Encrypting != 0; }
    std::uint32_t GetSessionId() const { return SessionId; }
    std::uint32_t GetSequence() const { return Sequence; }

private:
    void SetErrorText(const char16_t* operation, const char16_t* message);
    void SetErrorTextNumbers(const char16_t* operation, const char16_t* message, int first, const char16_t* between,
                             int second, bool withSecond);
    void ClearErrorText() { LastErrorText[0] = 0; }

    bool SessionGate() const;   // 1.0.8.0
    bool ExtendedGate() const;  // 1.0.800.0
    // Sends the end-of-session request for `sessionId`, keeping the caller's last error.
    void SendEndSession(std::uint32_t sessionId);
    // Ends a cipher session: end-of-session request, ids zeroed, cipher wiped and freed.
    void EndCipherSession();
    // Closes the device handle only, keeping the last error.
    void CloseDevice();
    int InitializeFailed(int code, const char16_t* message, bool endSession);

    // Capsule steps; each names itself in LastErrorText when it fails. 0, 2, 3 or 8.
    int _Encrypt(std::uint8_t* capsule, std::uint32_t capsuleLength);
    int _Decrypt(std::uint8_t* capsule, std::uint32_t bufferSize);
    std::uint8_t* _InitializeMessageCapsule(const std::uint8_t* payload, std::uint32_t payloadLength,
                                            std::uint32_t* capsuleLength);

    int RegistryPreamble(quarro::platform::RegKey root) const;
    int SendRegWRecord(const char16_t* operation, std::uint32_t innerCode, int kind, const char16_t* path,
                       const char16_t* name, std::uint32_t type, const void* data, std::uint32_t size);

    // Fields, in this order.
    quarro::platform::DeviceHandle _hDevice;
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
    // The device-interface concern the device was opened through. Every later request of this
    // session goes through it, also when the call comes from a module that links its own copy of
    // the platform (the modules use the viewer's session).
    quarro::platform::IDeviceInterfaces* _pDevices;
};

// ---- Pieces of the channel, exposed for tests ----

// Capsule length for a payload of `payloadLength` bytes: 16 for 0, else 24 + (L - 1) rounded down
// to a multiple of 8 (a 12-byte header, the payload padded to whole 8-byte blocks, 4 zero bytes).
// `payloadLength` must not exceed kMaxTransferBytes + 24.
std::uint32_t CapsuleLength(std::uint32_t payloadLength);

// The inner message: Sequence, input length + 24, code, input length, output capacity, the input,
// 4 zero bytes. `out` has InnerMessageLength(inputLength) bytes.
inline constexpr std::uint32_t InnerMessageLength(std::uint32_t inputLength) { return inputLength + 24; }
void WriteInnerMessage(std::uint8_t* out, std::uint32_t sequence, std::uint32_t code, const void* input,
                       std::uint32_t inputLength, std::uint32_t outputCapacity);

// Fills a capsule of CapsuleLength(payloadLength) bytes: header (payload length, capsule length,
// session id), payload, zero padding.
void WriteCapsule(std::uint8_t* capsule, std::uint32_t sessionId, const std::uint8_t* payload,
                  std::uint32_t payloadLength);

// Blocks to decipher in a reply: the count its own capsule length gives, never more than the
// reply buffer of `bufferSize` bytes holds after its 12-byte header.
std::uint32_t ReplyBlockCount(const std::uint8_t* reply, std::uint32_t bufferSize);

// "%d.%d.%d.%d" as sscanf reads it: leading white space and a sign before each number, a literal
// '.' between them, stops at the first mismatch. Fills fields[0..n) and returns n (0-4). A
// number beyond the range of int is clamped to it.
int ParseDriverVersion(const char16_t* text, int fields[4]);

// Cuts field `type` out of a model-number record into `buffer` (room `*size` in, bytes written
// out). Type: 0 bytes 4-19, 1 bytes 40-51, 2 bytes 32-39, 3 bytes 27-31, 4 bytes 80-81, 5 byte
// 91, 6 byte 92. Type 1 with byte 95 = 12..19 and a buffer of at least 20 bytes gives the 11
// bytes at 40 and then (byte 95 - 11) bytes from 96. 0, 2 (byte 95 out of range), 3 (unknown
// type or null size) or 5 (buffer too small; *size = the needed size).
int CutModelNumberField(const std::uint8_t record[kModelRecordSize], std::uint32_t type, void* buffer,
                        std::uint32_t* size);

// Registry request records. A "RegW" record: tag, value type, total length, name offset and data
// offset (from byte 24, 0 when absent), data length, then path, name and data; the total is 3
// bytes longer than the contents. A "RgQI" record: tag, request length, reply length, name offset
// (from byte 16), then path and name.
enum RegWKind { kRegWKey = 0, kRegWValue = 1, kRegWData = 2 };
// Total record length for path and name lengths in characters without the terminator; 0 when it
// would exceed kMaxTransferBytes.
std::uint32_t RegWRecordLength(int kind, std::size_t pathChars, std::size_t nameChars, std::size_t dataLength);
void WriteRegWRecord(std::uint8_t* out, int kind, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t type, const void* data, std::uint32_t dataLength);
std::uint32_t RgQIRecordLength(std::size_t pathChars, std::size_t nameChars);
void WriteRgQIRecord(std::uint8_t* out, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t replyLength);

}  // namespace MiscCommon
