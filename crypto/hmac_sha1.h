// HMAC-SHA1 (RFC 2104): 64-byte blocks, keys longer than a block are hashed first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/sha1.h"

namespace quarro::crypto {

inline constexpr std::size_t kHmacSha1Size = kSha1DigestSize;

struct HmacSha1Context {
    Sha1Context inner;                    // running hash of (key XOR ipad) || message
    std::uint8_t outer_pad[kSha1BlockSize];  // key XOR opad, kept for the final step
};

// `key` may be null when `key_size` is 0 (an empty key is valid for HMAC).
void HmacSha1Init(HmacSha1Context* ctx, const void* key, std::size_t key_size);
void HmacSha1Update(HmacSha1Context* ctx, const void* data, std::size_t size);
// Writes the 20-byte MAC and wipes the context.
void HmacSha1Final(HmacSha1Context* ctx, std::uint8_t mac[kHmacSha1Size]);

// One-shot MAC of one buffer.
void HmacSha1(const void* key, std::size_t key_size, const void* data, std::size_t size,
              std::uint8_t mac[kHmacSha1Size]);

}  // namespace quarro::crypto
