// Modular exponentiation on the big numbers of the driver session's key exchange.
//
// A big number is an array of kBigNumWords 32-bit words, least significant word first, read as
// a signed two's-complement integer. The numbers the session exchanges keep their top word 0,
// so they are always positive; a negative base, modulus or exponent is refused.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarro::crypto {

inline constexpr std::size_t kBigNumWords = 33;

// The 1024-bit MODP prime of RFC 2409 group 2 (the second Oakley group), and its generator.
extern const std::uint32_t kModp1024Prime[kBigNumWords];
inline constexpr std::uint32_t kModp1024Generator = 2;

// out = base^exponent mod modulus. The exponent has `exponent_words` words, least significant
// first (two's complement like the rest; 0 words means exponent 0). `out` may be the same
// array as `base` or `modulus`. Fails on null pointers, a zero modulus and negative inputs;
// `out` is left untouched then.
bool PowMod(const std::uint32_t base[kBigNumWords], const std::uint32_t* exponent,
            std::size_t exponent_words, const std::uint32_t modulus[kBigNumWords],
            std::uint32_t out[kBigNumWords]);

// out = 2^exponent mod the group-2 prime: the public value for a private exponent.
bool Pow2Mod(const std::uint32_t* exponent, std::size_t exponent_words,
             std::uint32_t out[kBigNumWords]);

}  // namespace quarro::crypto
