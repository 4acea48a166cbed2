#include "crypto/hdrand.h"

#include "base/little_endian.h"

namespace quarro::crypto {

namespace {

// Pool bytes that feed the next pool: 16 bytes starting at offset 2.
constexpr std::size_t kRepoolOffset = 2;
constexpr std::size_t kRepoolSize = 16;

}  // namespace

bool HdrandInit(HdrandContext* ctx, std::uint64_t performance_counter,
                const std::uint8_t system_time[kHdrandSystemTimeSize]) {
    if (ctx == nullptr || system_time == nullptr) {
        return false;
    }
    std::uint8_t counter[8];
    bytes::Store64(counter, performance_counter);
    Sha1Init(&ctx->sha);
    Sha1Update(&ctx->sha, counter, sizeof(counter));
    Sha1Update(&ctx->sha, system_time, kHdrandSystemTimeSize);
    Sha1Final(&ctx->sha, ctx->pool);
    ctx->index = 0;
    SecureZero(counter, sizeof(counter));
    return true;
}

bool HdrandTest(const HdrandContext* ctx) {
    return ctx != nullptr;
}

bool HdrandNext(HdrandContext* ctx, std::uint32_t* value) {
    if (ctx == nullptr || value == nullptr) {
        return false;
    }
    // The index only takes the values 0, 4, 8 and 12 (16 wraps to 0 before it is read), so the
    // last four pool bytes are never handed out. A stray index from a corrupted context wraps too.
    if (ctx->index + 4 >= kHdrandPoolSize) {
        ctx->index = 0;
    }
    const std::uint8_t* p = ctx->pool + ctx->index;
    *value = bytes::Load32(p);

    // New pool = SHA-1(pool[2 .. 18), index as a little-endian word). The index hashed is the
    // position just read: taken after the wrap to 0 and before it advances. A seeded generator
    // must produce the same words in every build, so this order is fixed.
    std::uint8_t index_bytes[4];
    bytes::Store32(index_bytes, ctx->index);
    Sha1Init(&ctx->sha);
    Sha1Update(&ctx->sha, ctx->pool + kRepoolOffset, kRepoolSize);
    Sha1Update(&ctx->sha, index_bytes, sizeof(index_bytes));
    Sha1Final(&ctx->sha, ctx->pool);

    ctx->index = (ctx->index + 4) % kHdrandPoolSize;
    return true;
}

bool HdrandFill(HdrandContext* ctx, std::uint32_t* values, std::size_t count) {
    if (ctx == nullptr || (values == nullptr && count != 0)) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        HdrandNext(ctx, &values[i]);
    }
    return true;
}

void HdrandWipe(HdrandContext* ctx) {
    SecureZero(ctx, sizeof(HdrandContext));
}

}  // namespace quarro::crypto
