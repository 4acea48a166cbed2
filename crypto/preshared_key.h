// The 16-byte key the programs and the Mirelta Misc Driver share for the session handshake's
// HMAC. It is never stored as such: it is derived at run time from a 128-byte constant.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarro::crypto {

inline constexpr std::size_t kPresharedKeySourceSize = 128;
inline constexpr std::size_t kPresharedKeySize = 16;

extern const std::uint8_t kPresharedKeySource[kPresharedKeySourceSize];

// key = the first 16 bytes of HMAC-SHA1 keyed with the source's first 64 bytes over its last 64.
void DerivePresharedKey(const std::uint8_t source[kPresharedKeySourceSize], std::uint8_t key[kPresharedKeySize]);

}  // namespace quarro::crypto
