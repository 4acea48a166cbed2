// SHA-1 (FIPS 180) and the memory wipe shared by the crypto building blocks.
//
// The driver session uses SHA-1 for HMAC-SHA1 authentication, for deriving the key-encryption
// key from the Diffie-Hellman secret and as the mixing function of the random generator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarro::crypto {

inline constexpr std::size_t kSha1DigestSize = 20;
inline constexpr std::size_t kSha1BlockSize = 64;

struct Sha1Context {
    std::uint32_t state[5];
    std::uint64_t total_bytes;   // message length so far
    std::uint8_t block[kSha1BlockSize];
    std::uint32_t block_used;    // bytes waiting in `block`
};

// Zeroes `size` bytes in a way the optimiser may not drop, for key material and hash state.
void SecureZero(void* data, std::size_t size);

void Sha1Init(Sha1Context* ctx);
// `data` may be null when `size` is 0.
void Sha1Update(Sha1Context* ctx, const void* data, std::size_t size);
// Writes the 20-byte digest and wipes the context; it must be initialised again before reuse.
void Sha1Final(Sha1Context* ctx, std::uint8_t digest[kSha1DigestSize]);

// One-shot digest of one buffer.
void Sha1(const void* data, std::size_t size, std::uint8_t digest[kSha1DigestSize]);

}  // namespace quarro::crypto
