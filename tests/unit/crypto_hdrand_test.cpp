#include "crypto/hdrand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quarro::crypto {
namespace {

constexpr std::uint64_t kCounter = 0x0123456789ABCDEFULL;
// SYSTEMTIME 2024-06-07 (a Friday) 13:45:30.250: eight little-endian 16-bit fields.
const std::uint8_t kSystemTime[kHdrandSystemTimeSize] = {
    0xE8, 0x07, 0x06, 0x00, 0x05, 0x00, 0x07, 0x00, 0x0D, 0x00, 0x2D, 0x00, 0x1E, 0x00, 0xFA, 0x00,
};

std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The first nine words for the seed above, from an independent model over Python's hashlib:
// pool = sha1(counter LE 8 bytes + SYSTEMTIME); per draw the word at the read position, then
// pool = sha1(pool[2:18] + position as LE 32-bit).
const std::uint32_t kPinnedDraws[] = {
    0x99ED970E, 0x72FA6B2B, 0x4A56C104, 0x017E388B, 0x15673463,
    0xAB794BA1, 0x06952800, 0x4C5E2C59, 0xFCC9CEF9,
};

TEST(Hdrand, DrawsFollowTheSha1PoolChain) {
    HdrandContext ctx;
    ASSERT_TRUE(HdrandInit(&ctx, kCounter, kSystemTime));
    EXPECT_TRUE(HdrandTest(&ctx));

    // Rebuild the chain with SHA-1 alone. Positions read: 0, 4, 8, 12, then back to 0 (16 + 4
    // reaches the end of the 20-byte pool), and the position read is the one hashed.
    std::uint8_t seed[8 + kHdrandSystemTimeSize];
    for (int i = 0; i < 8; ++i) {
        seed[i] = static_cast<std::uint8_t>(kCounter >> (8 * i));
    }
    std::memcpy(seed + 8, kSystemTime, sizeof(kSystemTime));
    std::uint8_t pool[kSha1DigestSize];
    Sha1(seed, sizeof(seed), pool);

    const std::uint32_t positions[] = {0, 4, 8, 12, 0, 4, 8, 12, 0};
    for (std::size_t draw = 0; draw < sizeof(positions) / sizeof(positions[0]); ++draw) {
        const std::uint32_t at = positions[draw];
        std::uint8_t input[20];
        std::memcpy(input, pool + 2, 16);
        std::memcpy(input + 16, "\0\0\0\0", 4);
        input[16] = static_cast<std::uint8_t>(at);
        const std::uint32_t expected = LoadLe32(pool + at);
        Sha1(input, sizeof(input), pool);

        std::uint32_t value = 0;
        ASSERT_TRUE(HdrandNext(&ctx, &value));
        EXPECT_EQ(value, expected) << "draw " << draw;
        EXPECT_EQ(value, kPinnedDraws[draw]) << "draw " << draw;
    }
}

TEST(Hdrand, FillDrawsTheSameSequence) {
    HdrandContext one, many;
    ASSERT_TRUE(HdrandInit(&one, kCounter, kSystemTime));
    ASSERT_TRUE(HdrandInit(&many, kCounter, kSystemTime));
    std::uint32_t filled[9];
    ASSERT_TRUE(HdrandFill(&many, filled, 9));
    EXPECT_EQ(0, std::memcmp(filled, kPinnedDraws, sizeof(filled)));
    std::uint32_t next_one = 0, next_many = 0;
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(HdrandNext(&one, &next_one));
    }
    ASSERT_TRUE(HdrandNext(&one, &next_one));
    ASSERT_TRUE(HdrandNext(&many, &next_many));
    EXPECT_EQ(next_one, next_many);
}

TEST(Hdrand, EverySeedByteMatters) {
    HdrandContext base;
    ASSERT_TRUE(HdrandInit(&base, kCounter, kSystemTime));
    std::uint32_t base_word = 0;
    ASSERT_TRUE(HdrandNext(&base, &base_word));

    for (std::size_t i = 0; i < 8 + kHdrandSystemTimeSize; ++i) {
        std::uint64_t counter = kCounter;
        std::uint8_t time[kHdrandSystemTimeSize];
        std::memcpy(time, kSystemTime, sizeof(time));
        if (i < 8) {
            counter ^= std::uint64_t{1} << (8 * i);
        } else {
            time[i - 8] ^= 1;
        }
        HdrandContext ctx;
        ASSERT_TRUE(HdrandInit(&ctx, counter, time));
        std::uint32_t word = 0;
        ASSERT_TRUE(HdrandNext(&ctx, &word));
        EXPECT_NE(word, base_word) << "seed byte " << i;
    }
}

TEST(Hdrand, RefusesMissingArgumentsAndWipes) {
    HdrandContext ctx;
    std::uint32_t value = 0;
    EXPECT_FALSE(HdrandInit(nullptr, kCounter, kSystemTime));
    EXPECT_FALSE(HdrandInit(&ctx, kCounter, nullptr));
    EXPECT_FALSE(HdrandTest(nullptr));
    ASSERT_TRUE(HdrandInit(&ctx, kCounter, kSystemTime));
    EXPECT_FALSE(HdrandNext(nullptr, &value));
    EXPECT_FALSE(HdrandNext(&ctx, nullptr));
    EXPECT_FALSE(HdrandFill(&ctx, nullptr, 1));
    EXPECT_TRUE(HdrandFill(&ctx, nullptr, 0));

    HdrandWipe(&ctx);
    const std::uint8_t zero[sizeof(HdrandContext)] = {};
    EXPECT_EQ(0, std::memcmp(&ctx, zero, sizeof(ctx)));
}

}  // namespace
}  // namespace quarro::crypto
