// The wire format of the request channel to the Mirelta Misc Driver, as the client writes and
// reads it: device-control and inner request codes, capsules and the inner message they carry,
// Misc packet headers, the model-number record, and the registry request and reply records.
//
// Pure functions over byte buffers: no device, no session, no allocation. A writer fills exactly
// the length its *Length function gives; a reader never looks past the size it is handed. Every
// field is little-endian.
//
// The simulated driver (platform/sim/misc_driver.*) keeps its own reading of this format on
// purpose: the two sides share no code, so a mistake here cannot hide behind the same mistake
// there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace MiscCommon {

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

// Four-character tags, read as little-endian words.
constexpr std::uint32_t Tag(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}
inline constexpr std::uint32_t kTagIni1 = Tag('I', 'n', 'i', '1');
inline constexpr std::uint32_t kTagIni2 = Tag('I', 'n', 'i', '2');
inline constexpr std::uint32_t kTagIni3 = Tag('I', 'n', 'i', '3');
inline constexpr std::uint32_t kTagRegW = Tag('R', 'e', 'g', 'W');
inline constexpr std::uint32_t kTagRgQI = Tag('R', 'g', 'Q', 'I');
inline constexpr std::uint32_t kTagRgQO = Tag('R', 'g', 'Q', 'O');
// The two words of the phase-3 reply, enciphered under the session key.
inline constexpr std::uint32_t kAuthWord = Tag('A', 'u', 't', 'h');
inline constexpr std::uint32_t kMiscWord = Tag('M', 'i', 's', 'c');

// Handshake message sizes: phase 1 both ways, then request and reply of phases 2 and 3.
inline constexpr std::uint32_t kPhase1Size = 160;
inline constexpr std::uint32_t kPhase2RequestSize = 28;
inline constexpr std::uint32_t kPhase2ReplySize = 20;
inline constexpr std::uint32_t kPhase3RequestSize = 24;
inline constexpr std::uint32_t kPhase3ReplySize = 8;

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

// Largest input or output the channel carries in one capsule; anything larger is refused as an
// allocation failure before any arithmetic on it could overflow.
inline constexpr std::uint32_t kMaxTransferBytes = 0x01000000;

// ---- Capsules ----

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

// ---- Driver version and model record ----

// "%d.%d.%d.%d" as sscanf reads it: leading white space and a sign before each number, a literal
// '.' between them, stops at the first mismatch. Fills fields[0..n) and returns n (0-4). A
// number beyond the range of int is clamped to it.
int ParseDriverVersion(const char16_t* text, int fields[4]);

// Bytes field `type` of the model-number record takes in a caller's buffer (the shorter form of
// type 1); 0 for an unknown type.
std::uint32_t ModelFieldLength(std::uint32_t type);

// Cuts field `type` out of a model-number record into `buffer` (room `*size` in, bytes written
// out). Type: 0 bytes 4-19, 1 bytes 40-51, 2 bytes 32-39, 3 bytes 27-31, 4 bytes 80-81, 5 byte
// 91, 6 byte 92. Type 1 with byte 95 = 12..19 and a buffer of at least 20 bytes gives the 11
// bytes at 40 and then (byte 95 - 11) bytes from 96. Library codes: 0, 2 (byte 95 out of range),
// 3 (unknown type or null size) or 5 (buffer too small; *size = the needed size).
int CutModelNumberField(const std::uint8_t record[kModelRecordSize], std::uint32_t type, void* buffer,
                        std::uint32_t* size);

// ---- Registry records ----

// A "RegW" record: tag, value type, total length, name offset and data offset (from byte 24, 0
// when absent), data length, then path, name and data; the total is 3 bytes longer than the
// contents. A "RgQI" record: tag, request length, reply length, name offset (from byte 16), then
// path and name. Strings are UTF-16 with their terminator.
enum RegWKind { kRegWKey = 0, kRegWValue = 1, kRegWData = 2 };
// Total record length for path and name lengths in characters without the terminator; 0 when it
// would exceed kMaxTransferBytes.
std::uint32_t RegWRecordLength(int kind, std::size_t pathChars, std::size_t nameChars, std::size_t dataLength);
void WriteRegWRecord(std::uint8_t* out, int kind, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t type, const void* data, std::uint32_t dataLength);
std::uint32_t RgQIRecordLength(std::size_t pathChars, std::size_t nameChars);
void WriteRgQIRecord(std::uint8_t* out, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t replyLength);

// A "RgQO" reply: data length, tag, value type, data from byte 12. False when fewer than 12 of
// the `got` bytes came back or the tag is not there; the data length is as the reply claims it.
inline constexpr std::uint32_t kRgQOHeaderSize = 12;
bool ReadRgQOHeader(const std::uint8_t* reply, std::uint32_t got, std::uint32_t* dataLength, std::uint32_t* type);

}  // namespace MiscCommon
