// The Misc functions the simulated firmware serves, described as data: for every function its
// packet form, its lengths, where its arguments sit in the request and where its results go in
// the answer. One table (firmware_functions.cpp) drives the parsing and the judging of every
// request; the handlers behind the rows see argument values and produce result values, never
// offsets.
//
// This is the firmware's own reading of the packet layouts. The client's wrappers
// (common/misc_functions.cpp) keep theirs; the two are written independently so that a wrapper
// that puts an argument in the wrong place meets a firmware that reads it from the right one.
//
// Packet forms:
//   Compact   input length exactly `in`; output length at least `out` (else status 0x05).
//   Long32    input and output length 32, 0x90 at byte 8, (function << 16) | 0x90 at byte 16.
//   DataRead  a `header`-byte header sent alone (input length = header); the 16-bit data length
//             at `lengthAt` gives the room after the header, which the output length must hold.
//   DataBoth  header and data go out and come back (input = output = header + data length).
// Data-carrying answers that do not fit the room give status 0x05 with the needed size in the
// length field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sim/firmware_data.h"

namespace quarro::platform::sim {

inline constexpr std::uint8_t kMiscStatusDone = 0x00;
inline constexpr std::uint8_t kMiscStatusBusy = 0x04;
inline constexpr std::uint8_t kMiscStatusTooSmall = 0x05;
inline constexpr std::uint8_t kMiscStatusUnknownFunction = 0x80;
inline constexpr std::uint8_t kMiscStatusMalformed = 0x81;
inline constexpr std::uint8_t kMiscStatusBadArgument = 0x82;

inline constexpr std::size_t kMiscPacketHeaderSize = 6;
inline constexpr std::size_t kMiscMaxFields = 5;

enum class PacketForm { Compact, Long32, DataRead, DataBoth };

// A little-endian field of 1 to 4 bytes; size 0 ends a field list.
struct PacketField {
    std::uint16_t offset;
    std::uint8_t size;
};

// One call as a handler sees it: argument values in, result values (and data) out, each in the
// order of the row's field lists.
struct MiscCall {
    std::uint16_t function = 0;
    std::array<std::uint32_t, kMiscMaxFields> args = {};
    std::array<std::uint32_t, kMiscMaxFields> results = {};
    // Data-carrying forms: the data sent (DataBoth) and the room for the answer's data.
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    std::size_t room = 0;
    std::vector<std::uint8_t> dataOut;
    // Reported instead of dataOut's size when the room is too small (0: the real size).
    std::uint16_t reportedSize = 0;
};

// Returns the status: 0 done (results written), 0x80 the firmware lacks the function, 0x82 an
// argument it does not know.
using MiscHandler = std::uint8_t (*)(FirmwareData& data, MiscCall& call);

struct MiscFunctionRow {
    std::uint16_t first;  // function number (or the first of a range)
    std::uint16_t last;   // last function number of the range
    PacketForm form;
    std::uint16_t in;  // Compact: input length; Long32: 32; Data forms: header size
    std::uint16_t out;  // Compact: least output length; Long32: 32; Data forms: header size
    std::uint16_t lengthAt;  // Data forms: the 16-bit data-length field
    PacketField args[kMiscMaxFields];
    PacketField results[kMiscMaxFields];
    MiscHandler handler;
};

// The function number of every row, ascending and once each (a range row gives its first).
std::vector<std::uint16_t> MiscFunctionNumbers();

// Answers one request from `data`. `request` holds the `inSize` input bytes; `packet` holds the
// answer (output-length bytes, pre-filled with the request) and receives the results. Returns
// the status (written into packet[0] by the caller).
std::uint8_t AnswerMiscFunction(FirmwareData& data, const std::uint8_t* request, std::size_t inSize,
                                std::vector<std::uint8_t>& packet);

// Where a status-5 answer of `function` puts the needed size: the row's length field for the
// data-carrying forms, else byte 20.
std::size_t NeededSizeOffset(std::uint16_t function);

}  // namespace quarro::platform::sim
