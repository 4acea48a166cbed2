#include "crypto/hmac_sha1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quarro::crypto {
namespace {

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<std::uint8_t> Repeat(std::uint8_t byte, std::size_t count) {
    return std::vector<std::uint8_t>(count, byte);
}

std::vector<std::uint8_t> Text(const char* text) {
    return std::vector<std::uint8_t>(text, text + std::strlen(text));
}

struct Rfc2202Case {
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> data;
    const char* mac;
};

std::vector<Rfc2202Case> Rfc2202Cases() {
    return {
        {Repeat(0x0B, 20), Text("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {Text("Jefe"), Text("what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {Repeat(0xAA, 20), Repeat(0xDD, 50), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {FromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), Repeat(0xCD, 50),
         "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {Repeat(0x0C, 20), Text("Test With Truncation"), "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {Repeat(0xAA, 80), Text("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {Repeat(0xAA, 80),
         Text("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
}

TEST(HmacSha1, MatchesRfc2202) {
    int number = 1;
    for (const Rfc2202Case& c : Rfc2202Cases()) {
        std::uint8_t mac[kHmacSha1Size];
        HmacSha1(c.key.data(), c.key.size(), c.data.data(), c.data.size(), mac);
        EXPECT_EQ(std::vector<std::uint8_t>(mac, mac + sizeof(mac)), FromHex(c.mac)) << "case " << number;

        // The streaming form over the data in two pieces gives the same MAC.
        HmacSha1Context ctx;
        HmacSha1Init(&ctx, c.key.data(), c.key.size());
        const std::size_t half = c.data.size() / 2;
        HmacSha1Update(&ctx, c.data.data(), half);
        HmacSha1Update(&ctx, c.data.data() + half, c.data.size() - half);
        std::uint8_t streamed[kHmacSha1Size];
        HmacSha1Final(&ctx, streamed);
        EXPECT_EQ(0, std::memcmp(mac, streamed, sizeof(mac))) << "case " << number;
        ++number;
    }
}

// A key longer than a block acts as its SHA-1 digest; a block-sized key is used as it is.
TEST(HmacSha1, KeysLongerThanABlockAreHashedFirst) {
    const std::vector<std::uint8_t> data = Text("driver session");
    for (std::size_t key_size : {64u, 65u, 200u}) {
        std::vector<std::uint8_t> key(key_size);
        for (std::size_t i = 0; i < key_size; ++i) {
            key[i] = static_cast<std::uint8_t>(i + 3);
        }
        std::uint8_t hashed_key[kSha1DigestSize];
        Sha1(key.data(), key.size(), hashed_key);

        std::uint8_t with_key[kHmacSha1Size];
        std::uint8_t with_digest[kHmacSha1Size];
        HmacSha1(key.data(), key.size(), data.data(), data.size(), with_key);
        HmacSha1(hashed_key, sizeof(hashed_key), data.data(), data.size(), with_digest);
        EXPECT_EQ(key_size > 64, std::memcmp(with_key, with_digest, kHmacSha1Size) == 0)
            << "key size " << key_size;
    }
}

}  // namespace
}  // namespace quarro::crypto
