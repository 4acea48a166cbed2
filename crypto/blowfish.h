// Blowfish block cipher (16 rounds, 64-bit blocks), as the driver session uses it.
//
// Keys are clamped to their first 16 bytes and cycled over the 18 subkeys, bytes taken most
// significant first into each 32-bit word. A block travels as two 32-bit halves; in byte form
// the block is two little-endian words, the first being the left half.
//
// The functions report failure (null pointers, an empty key) through their result so that the
// session code can name the step that failed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarro::crypto {

inline constexpr std::size_t kBlowfishSubkeys = 18;
inline constexpr std::size_t kBlowfishSboxes = 4;
inline constexpr std::size_t kBlowfishSboxEntries = 256;
inline constexpr std::size_t kBlowfishMaxKeySize = 16;
inline constexpr std::size_t kBlowfishBlockSize = 8;

struct BlowfishContext {
    std::uint32_t subkeys[kBlowfishSubkeys];
    std::uint32_t sboxes[kBlowfishSboxes][kBlowfishSboxEntries];
};

// The session allocates, wipes and frees contexts of exactly this size.
static_assert(sizeof(BlowfishContext) == 4168, "Blowfish context must be 4168 bytes");

// Keys the context. Only the first kBlowfishMaxKeySize bytes of a longer key are used.
bool BlowfishInitialize(BlowfishContext* ctx, const std::uint8_t* key, std::size_t key_size);

bool BlowfishEncipher(const BlowfishContext* ctx, std::uint32_t& left, std::uint32_t& right);
bool BlowfishDecipher(const BlowfishContext* ctx, std::uint32_t& left, std::uint32_t& right);

// In place on one 8-byte block: two little-endian words, left half first.
bool BlowfishEncipherBlock(const BlowfishContext* ctx, std::uint8_t block[kBlowfishBlockSize]);
bool BlowfishDecipherBlock(const BlowfishContext* ctx, std::uint8_t block[kBlowfishBlockSize]);

// Zeroes the whole context (subkeys and S-boxes). Null is ignored.
void BlowfishWipe(BlowfishContext* ctx);

}  // namespace quarro::crypto
