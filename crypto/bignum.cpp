#include "crypto/bignum.h"

#include <cstring>

#include "crypto/sha1.h"

namespace quarro::crypto {

const std::uint32_t kModp1024Prime[kBigNumWords] = {
    0xFFFFFFFF, 0xFFFFFFFF, 0xECE65381, 0x49286651, 0x7C4B1FE6, 0xAE9F2411,
    0x5A899FA5, 0xEE386BFB, 0xF406B7ED, 0x0BFF5CB6, 0xA637ED6B, 0xF44C42E9,
    0x625E7EC6, 0xE485B576, 0x6D51C245, 0x4FE1356D, 0xF25F1437, 0x302B0A6D,
    0xCD3A431B, 0xEF9519B3, 0x8E3404DD, 0x514A0879, 0x3B139B22, 0x020BBEA6,
    0x8A67CC74, 0x29024E08, 0x80DC1CD1, 0xC4C6628B, 0x2168C234, 0xC90FDAA2,
    0xFFFFFFFF, 0xFFFFFFFF, 0x00000000,
};

namespace {

constexpr std::size_t kProductWords = 2 * kBigNumWords;
constexpr std::uint64_t kWordBase = 0x100000000ULL;

bool IsNegative(const std::uint32_t* value, std::size_t words) {
    return words != 0 && (value[words - 1] & 0x80000000u) != 0;
}

std::size_t SignificantWords(const std::uint32_t* value, std::size_t words) {
    while (words != 0 && value[words - 1] == 0) {
        --words;
    }
    return words;
}

int LeadingZeros(std::uint32_t value) {
    int count = 0;
    while ((value & 0x80000000u) == 0) {
        value <<= 1;
        ++count;
    }
    return count;
}

// product[0 .. 2n) = a[0 .. n) * b[0 .. n).
void Multiply(const std::uint32_t* a, const std::uint32_t* b, std::size_t n, std::uint32_t* product) {
    std::memset(product, 0, 2 * n * sizeof(std::uint32_t));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const std::uint64_t t = static_cast<std::uint64_t>(a[i]) * b[j] + product[i + j] + carry;
            product[i + j] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        product[i + n] = static_cast<std::uint32_t>(carry);
    }
}

// rem[0 .. n) = u[0 .. u_words) mod v[0 .. n), where v[n - 1] != 0 and u_words <= kProductWords.
// Long division in base 2^32 (Knuth, TAOCP vol. 2, 4.3.1, algorithm D), keeping only the remainder.
void Reduce(const std::uint32_t* u, std::size_t u_words, const std::uint32_t* v, std::size_t n,
            std::uint32_t* rem) {
    if (u_words < n) {
        std::memcpy(rem, u, u_words * sizeof(std::uint32_t));
        std::memset(rem + u_words, 0, (n - u_words) * sizeof(std::uint32_t));
        return;
    }
    if (n == 1) {
        std::uint64_t r = 0;
        for (std::size_t j = u_words; j-- != 0;) {
            r = ((r << 32) | u[j]) % v[0];
        }
        rem[0] = static_cast<std::uint32_t>(r);
        return;
    }

    // Normalise so that the divisor's top word has its high bit set.
    const int shift = LeadingZeros(v[n - 1]);
    std::uint32_t vn[kBigNumWords];
    std::uint32_t un[kProductWords + 1];
    for (std::size_t i = n - 1; i > 0; --i) {
        vn[i] = static_cast<std::uint32_t>((static_cast<std::uint64_t>(v[i]) << shift) |
                                           (static_cast<std::uint64_t>(v[i - 1]) >> (32 - shift)));
    }
    vn[0] = v[0] << shift;
    un[u_words] = static_cast<std::uint32_t>(static_cast<std::uint64_t>(u[u_words - 1]) >> (32 - shift));
    for (std::size_t i = u_words - 1; i > 0; --i) {
        un[i] = static_cast<std::uint32_t>((static_cast<std::uint64_t>(u[i]) << shift) |
                                           (static_cast<std::uint64_t>(u[i - 1]) >> (32 - shift)));
    }
    un[0] = u[0] << shift;

    for (std::size_t j = u_words - n + 1; j-- != 0;) {
        // Estimate the quotient word from the top two words, then correct it (at most twice).
        const std::uint64_t top = (static_cast<std::uint64_t>(un[j + n]) << 32) | un[j + n - 1];
        std::uint64_t qhat = top / vn[n - 1];
        std::uint64_t rhat = top % vn[n - 1];
        while (qhat >= kWordBase || qhat * vn[n - 2] > ((rhat << 32) | un[j + n - 2])) {
            --qhat;
            rhat += vn[n - 1];
            if (rhat >= kWordBase) {
                break;
            }
        }

        // un[j .. j + n] -= qhat * vn.
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t p = qhat * vn[i] + borrow;
            const std::uint32_t low = static_cast<std::uint32_t>(p);
            borrow = (p >> 32) + (un[i + j] < low ? 1 : 0);
            un[i + j] -= low;
        }
        const bool negative = un[j + n] < borrow;
        un[j + n] = static_cast<std::uint32_t>(un[j + n] - borrow);

        // The estimate was one too large: add the divisor back.
        if (negative) {
            std::uint64_t carry = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t t = static_cast<std::uint64_t>(un[i + j]) + vn[i] + carry;
                un[i + j] = static_cast<std::uint32_t>(t);
                carry = t >> 32;
            }
            un[j + n] = static_cast<std::uint32_t>(un[j + n] + carry);
        }
    }

    for (std::size_t i = 0; i < n; ++i) {
        rem[i] = static_cast<std::uint32_t>((static_cast<std::uint64_t>(un[i]) >> shift) |
                                            (static_cast<std::uint64_t>(un[i + 1]) << (32 - shift)));
    }
    SecureZero(un, sizeof(un));
    SecureZero(vn, sizeof(vn));
}

}  // namespace

bool PowMod(const std::uint32_t base[kBigNumWords], const std::uint32_t* exponent,
            std::size_t exponent_words, const std::uint32_t modulus[kBigNumWords],
            std::uint32_t out[kBigNumWords]) {
    if (base == nullptr || modulus == nullptr || out == nullptr ||
        (exponent == nullptr && exponent_words != 0)) {
        return false;
    }
    if (IsNegative(base, kBigNumWords) || IsNegative(modulus, kBigNumWords) ||
        IsNegative(exponent, exponent_words)) {
        return false;
    }
    const std::size_t n = SignificantWords(modulus, kBigNumWords);
    if (n == 0) {
        return false;
    }

    std::uint32_t mod[kBigNumWords];
    std::memcpy(mod, modulus, n * sizeof(std::uint32_t));

    std::uint32_t reduced_base[kBigNumWords];
    Reduce(base, kBigNumWords, mod, n, reduced_base);

    // result = 1 mod m (0 when m is 1).
    std::uint32_t result[kBigNumWords] = {};
    result[0] = (n == 1 && mod[0] == 1) ? 0 : 1;

    // Left-to-right square and multiply over the exponent's bits.
    std::uint32_t product[kProductWords];
    for (std::size_t w = SignificantWords(exponent, exponent_words); w-- != 0;) {
        for (int bit = 31; bit >= 0; --bit) {
            Multiply(result, result, n, product);
            Reduce(product, 2 * n, mod, n, result);
            if ((exponent[w] >> bit) & 1u) {
                Multiply(result, reduced_base, n, product);
                Reduce(product, 2 * n, mod, n, result);
            }
        }
    }

    std::memcpy(out, result, n * sizeof(std::uint32_t));
    std::memset(out + n, 0, (kBigNumWords - n) * sizeof(std::uint32_t));

    SecureZero(product, sizeof(product));
    SecureZero(result, sizeof(result));
    SecureZero(reduced_base, sizeof(reduced_base));
    return true;
}

bool Pow2Mod(const std::uint32_t* exponent, std::size_t exponent_words,
             std::uint32_t out[kBigNumWords]) {
    std::uint32_t generator[kBigNumWords] = {kModp1024Generator};
    return PowMod(generator, exponent, exponent_words, kModp1024Prime, out);
}

}  // namespace quarro::crypto
