#include "crypto/sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace quarro::crypto {
namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    char buf[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(buf, sizeof(buf), "%02x", bytes[i]);
        text += buf;
    }
    return text;
}

std::string DigestHex(const std::string& message) {
    std::uint8_t digest[kSha1DigestSize];
    Sha1(message.data(), message.size(), digest);
    return Hex(digest, sizeof(digest));
}

TEST(Sha1, MatchesKnownAnswers) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        // Lengths on either side of where the length field forces a second padding block, from
        // python3 -c 'import hashlib; print(hashlib.sha1(b"a" * n).hexdigest())'.
        {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DigestHex(c.message), c.digest) << "message \"" << c.message << "\"";
    }
}

TEST(Sha1, MillionAsInUnevenChunks) {
    const std::string chunk(997, 'a');
    Sha1Context ctx;
    Sha1Init(&ctx);
    std::size_t left = 1000000;
    while (left != 0) {
        const std::size_t take = left < chunk.size() ? left : chunk.size();
        Sha1Update(&ctx, chunk.data(), take);
        left -= take;
    }
    std::uint8_t digest[kSha1DigestSize];
    Sha1Final(&ctx, digest);
    EXPECT_EQ(Hex(digest, sizeof(digest)), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// Padding crosses block boundaries at 56 and 64 bytes: any split of the input must give the
// one-shot digest.
TEST(Sha1, SplitUpdatesGiveTheOneShotDigest) {
    std::vector<std::uint8_t> message(130);
    for (std::size_t i = 0; i < message.size(); ++i) {
        message[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    for (std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 130u}) {
        std::uint8_t expected[kSha1DigestSize];
        Sha1(message.data(), length, expected);
        for (std::size_t split = 0; split <= length; ++split) {
            Sha1Context ctx;
            Sha1Init(&ctx);
            Sha1Update(&ctx, message.data(), split);
            Sha1Update(&ctx, message.data() + split, length - split);
            std::uint8_t digest[kSha1DigestSize];
            Sha1Final(&ctx, digest);
            ASSERT_EQ(0, std::memcmp(digest, expected, sizeof(digest)))
                << "length " << length << " split " << split;
        }
    }
}

TEST(Sha1, FinalWipesTheContext) {
    Sha1Context ctx;
    Sha1Init(&ctx);
    Sha1Update(&ctx, "secret", 6);
    std::uint8_t digest[kSha1DigestSize];
    Sha1Final(&ctx, digest);
    const std::uint8_t zero[sizeof(ctx)] = {};
    EXPECT_EQ(0, std::memcmp(&ctx, zero, sizeof(ctx)));
}

}  // namespace
}  // namespace quarro::crypto
