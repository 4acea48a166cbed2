// The random generator of the driver session handshake (private exponent, nonce, session key).
//
// State: a 20-byte pool, a read index into it and a SHA-1 context used for re-pooling.
// Seeding hashes the high-resolution performance-counter value and the system time; the OS
// calls stay with the caller, which passes the raw bytes in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/sha1.h"

namespace quarro::crypto {

inline constexpr std::size_t kHdrandPoolSize = kSha1DigestSize;
inline constexpr std::size_t kHdrandSystemTimeSize = 16;

struct HdrandContext {
    std::uint8_t pool[kHdrandPoolSize];
    std::uint32_t index;  // read position in `pool`, a multiple of 4
    Sha1Context sha;
};

// pool = SHA-1(the counter as 8 little-endian bytes, then the 16 bytes of the SYSTEMTIME
// structure as the OS filled it); index = 0.
bool HdrandInit(HdrandContext* ctx, std::uint64_t performance_counter,
                const std::uint8_t system_time[kHdrandSystemTimeSize]);

// Health check run after seeding. The generator has no failure mode to detect, so it passes
// for any initialised context; it fails only for null.
bool HdrandTest(const HdrandContext* ctx);

// Draws one 32-bit word (the next 4 pool bytes, little-endian) and re-pools.
bool HdrandNext(HdrandContext* ctx, std::uint32_t* value);

// Draws `count` words in order.
bool HdrandFill(HdrandContext* ctx, std::uint32_t* values, std::size_t count);

// Zeroes the whole generator state.
void HdrandWipe(HdrandContext* ctx);

}  // namespace quarro::crypto
