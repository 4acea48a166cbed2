#include "crypto/hmac_sha1.h"

#include <cstring>

namespace quarro::crypto {

void HmacSha1Init(HmacSha1Context* ctx, const void* key, std::size_t key_size) {
    std::uint8_t block_key[kSha1BlockSize] = {};
    if (key_size > kSha1BlockSize) {
        Sha1(key, key_size, block_key);
    } else if (key_size != 0) {
        std::memcpy(block_key, key, key_size);
    }

    std::uint8_t inner_pad[kSha1BlockSize];
    for (std::size_t i = 0; i < kSha1BlockSize; ++i) {
        inner_pad[i] = static_cast<std::uint8_t>(block_key[i] ^ 0x36);
        ctx->outer_pad[i] = static_cast<std::uint8_t>(block_key[i] ^ 0x5C);
    }
    Sha1Init(&ctx->inner);
    Sha1Update(&ctx->inner, inner_pad, sizeof(inner_pad));

    SecureZero(block_key, sizeof(block_key));
    SecureZero(inner_pad, sizeof(inner_pad));
}

void HmacSha1Update(HmacSha1Context* ctx, const void* data, std::size_t size) {
    Sha1Update(&ctx->inner, data, size);
}

void HmacSha1Final(HmacSha1Context* ctx, std::uint8_t mac[kHmacSha1Size]) {
    std::uint8_t inner_digest[kSha1DigestSize];
    Sha1Final(&ctx->inner, inner_digest);

    Sha1Context outer;
    Sha1Init(&outer);
    Sha1Update(&outer, ctx->outer_pad, sizeof(ctx->outer_pad));
    Sha1Update(&outer, inner_digest, sizeof(inner_digest));
    Sha1Final(&outer, mac);

    SecureZero(inner_digest, sizeof(inner_digest));
    SecureZero(ctx, sizeof(*ctx));
}

void HmacSha1(const void* key, std::size_t key_size, const void* data, std::size_t size,
              std::uint8_t mac[kHmacSha1Size]) {
    HmacSha1Context ctx;
    HmacSha1Init(&ctx, key, key_size);
    HmacSha1Update(&ctx, data, size);
    HmacSha1Final(&ctx, mac);
}

}  // namespace quarro::crypto
