// The S.M.A.R.T. pipe exchange, server side: what the hard-disk tab's one request is answered
// with. The same code answers over the real named pipe (the pipe server program) and in-process
// (the native pipe stand-in), so the tab cannot tell them apart.
//
// A request is one byte, the mode: 0 (entries) or 3 (entries and the raw data sector). The reply
// is the 32-bit entry count (little-endian; 0 when the disk gave no entries), then, when the count
// is at least 1, the 310 bytes of entries (byte 8 of each: the attribute's worst value), then in
// mode 3 the 512-byte data sector when the drive gave one. The client reads exactly in this order
// and skips what the count tells it is absent, so nothing is ever sent that it would not read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/storage.h"

namespace quarro::smart {

inline constexpr char16_t kPipeName[] = u"\\\\.\\pipe\\MireltaQuarroPipeSVName";
inline constexpr std::uint8_t kModeEntries = 0;
inline constexpr std::uint8_t kModeWithSector = 3;
inline constexpr std::size_t kLargestReply = 4 + 310 + 512;

// Answers a request: takes a fresh snapshot of the system disk from `storage` and fills `reply`.
// False (and `reply` empty) for a mode that is neither 0 nor 3: such a client gets no answer.
bool AnswerRequest(std::uint8_t mode, platform::IStorage& storage, std::vector<std::uint8_t>* reply);

}  // namespace quarro::smart
