#include "crypto/sha1.h"

#include <cstring>

namespace quarro::crypto {

namespace {

std::uint32_t Rotl(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

void StoreBe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

void Compress(std::uint32_t state[5], const std::uint8_t block[kSha1BlockSize]) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = LoadBe32(block + 4 * i);
    }
    for (int i = 16; i < 80; ++i) {
        w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    }

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    SecureZero(w, sizeof(w));
}

}  // namespace

void SecureZero(void* data, std::size_t size) {
    if (data == nullptr) {
        return;
    }
    volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(data);
    while (size-- != 0) {
        *p++ = 0;
    }
#if defined(__GNUC__)
    // Tell the compiler the zeroed memory is observed, so the stores cannot be elided.
    __asm__ __volatile__("" : : "r"(data) : "memory");
#endif
}

void Sha1Init(Sha1Context* ctx) {
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xEFCDAB89;
    ctx->state[2] = 0x98BADCFE;
    ctx->state[3] = 0x10325476;
    ctx->state[4] = 0xC3D2E1F0;
    ctx->total_bytes = 0;
    ctx->block_used = 0;
    std::memset(ctx->block, 0, sizeof(ctx->block));
}

void Sha1Update(Sha1Context* ctx, const void* data, std::size_t size) {
    const std::uint8_t* in = static_cast<const std::uint8_t*>(data);
    ctx->total_bytes += size;
    while (size != 0) {
        const std::size_t room = kSha1BlockSize - ctx->block_used;
        const std::size_t take = size < room ? size : room;
        std::memcpy(ctx->block + ctx->block_used, in, take);
        ctx->block_used += static_cast<std::uint32_t>(take);
        in += take;
        size -= take;
        if (ctx->block_used == kSha1BlockSize) {
            Compress(ctx->state, ctx->block);
            ctx->block_used = 0;
        }
    }
}

void Sha1Final(Sha1Context* ctx, std::uint8_t digest[kSha1DigestSize]) {
    const std::uint64_t bit_length = ctx->total_bytes * 8;
    std::uint32_t used = ctx->block_used;
    ctx->block[used++] = 0x80;
    if (used > kSha1BlockSize - 8) {
        std::memset(ctx->block + used, 0, kSha1BlockSize - used);
        Compress(ctx->state, ctx->block);
        used = 0;
    }
    std::memset(ctx->block + used, 0, kSha1BlockSize - 8 - used);
    StoreBe32(ctx->block + 56, static_cast<std::uint32_t>(bit_length >> 32));
    StoreBe32(ctx->block + 60, static_cast<std::uint32_t>(bit_length));
    Compress(ctx->state, ctx->block);
    for (int i = 0; i < 5; ++i) {
        StoreBe32(digest + 4 * i, ctx->state[i]);
    }
    SecureZero(ctx, sizeof(*ctx));
}

void Sha1(const void* data, std::size_t size, std::uint8_t digest[kSha1DigestSize]) {
    Sha1Context ctx;
    Sha1Init(&ctx);
    Sha1Update(&ctx, data, size);
    Sha1Final(&ctx, digest);
}

}  // namespace quarro::crypto
