#include "crypto/bignum.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace quarro::crypto {
namespace {

using BigNum = std::array<std::uint32_t, kBigNumWords>;

// Hex text to little-endian words, plus one zero top word so the number reads as positive.
std::vector<std::uint32_t> Words(const std::string& hex) {
    std::vector<std::uint32_t> words;
    for (std::size_t end = hex.size(); end > 0;) {
        const std::size_t begin = end >= 8 ? end - 8 : 0;
        words.push_back(static_cast<std::uint32_t>(std::stoul(hex.substr(begin, end - begin), nullptr, 16)));
        end = begin;
    }
    words.push_back(0);
    return words;
}

BigNum Big(const std::string& hex) {
    BigNum n{};
    const std::vector<std::uint32_t> words = Words(hex);
    for (std::size_t i = 0; i < words.size() && i < kBigNumWords; ++i) {
        n[i] = words[i];
    }
    return n;
}

const char kPrimeHex[] =
    "ffffffffffffffffc90fdaa22168c234c4c6628b80dc1cd129024e088a67cc74020bbea63b139b22514a08798e3404dd"
    "ef9519b3cd3a431b302b0a6df25f14374fe1356d6d51c245e485b576625e7ec6f44c42e9a637ed6b0bff5cb6f406b7ed"
    "ee386bfb5a899fa5ae9f24117c4b1fe649286651ece65381ffffffffffffffff";

TEST(BigNum, GroupTwoPrimeIsTheRfc2409Value) {
    const BigNum expected = Big(kPrimeHex);
    for (std::size_t i = 0; i < kBigNumWords; ++i) {
        EXPECT_EQ(kModp1024Prime[i], expected[i]) << "word " << i;
    }
    EXPECT_EQ(kModp1024Generator, 2u);
}

struct PowCase {
    const char* base;
    const char* exponent;
    const char* modulus;  // "P": the group-2 prime
    const char* result;
};

// Results from Python's built-in pow: python3 -c 'print(hex(pow(base, exponent, modulus)))',
// operands drawn with random.getrandbits after random.seed(20240607) except where noted.
const PowCase kPowCases[] = {
    // 2^x, 96-bit x (the handshake exponent size)
    {"2", "8ce14c8b6edd3a249018775a", "P",
     "184b6eedf35cd0de10bc43a8031a883e9953ec871c4eadf5476ae0e6019bfd0c2b79a9941cb9c7649505d73e8e9722a136386e8c1bdbdbde78bfab6d5e5499dd24bc88083d1cd0e42767a51ceeb612aca5d6776540e9b4709949d7697eb462d36eda49138b77790fdb501218196c042a42f8a962d17bf4c20e6c4eb4cc491a50"},
    // 2^x, 1024-bit x
    {"2", "2c112e79373020538dcceab088b065e74dd5a9ec0b0084f7de574f6d7f5364eb98d00ba6b51d8b61ea81606d70db71c4a6d5169ee2c532cf9756a036a93f99f2e8a4987e06082c084826f652bafcaba920f0ac5c57b39e4dbda513bd2d38de7c3bec5519cb674d999253f6b73fe6e7be9ba057171ed40c227dab7ad28687b18d", "P",
     "c881993f7879001fb482365be9457077c178741852112d75ed4526b7c50e45d63ddf17ba19c99f6a7d39fda389cd884176417868c81cba2b871da04fd5fb84371b38f1f675e3c68b4cdcb3841bb331f95dff619f34035487ecd114230c3bc80b5d784b3a5b14b590c870a8bb2f42db6c9debdb976d4886c3c3c649445f44f9c5"},
    // B^x, 96-bit x
    {"775fdcc1ade2c9dbcbfa5cd5e0c18e67ea435e559f81d902837a0c109c3572d8d8a33341189c32bf71c61315f78a2b517d521eaf4df03e1122d5189bb4d343a84b68f1c71dba58587dc7abbe40eb60ed801cf3574e9ac62aa1b018a7374cc47ee0d33d024285a3e8267133ee6acc5fa209ae3ad42d4cc06b3a1290fc187e81ac", "353e81ce74592c37f7525481", "P",
     "6335c84cba0af96b84464b6e6d2c45fb9c22a35eb4841fe5dde8cd81a44b089f46b30c8ed3cea9e052701f7f2f1b01c304ee7f4d8011fcd46e24764f81b41f22d278c8d499255a87115c1fc82c0dda4e1f5bea78fca8aabac84871d795639d8908b9e58290ab6401de0b01645e6d5ac3fd8c87e4f1a6b1084b6af1e33db7e416"},
    // B^x, 1023-bit x
    {"d700d83f57c8ded057c0bf6c0b9dbe79ceb56d9160effb82f3660c08c2c0cf0e7f31f3257b05dee562bfc05ac8e65212fbc17bff601f46969c0109457924d5d63e2b585df625e510bba06c4cbb847ea73ddf5687b4ae07d487e15dc4738be54072ce2b9581ba40bba5c7bac6a99bd634ada11e9451fc914b999753ea56fca68d", "63a283b3c375d474032fe3bfee1ca6886c074ecdeaa3171aa880385d606563ec42416dda1204208daa0e46bb15779ced056c66c37316c0088cea9fee945a791c84b039cbae0e87b636feb0ce7e56d537bafa7fc3425bec407286e92584e9cb7108aea221324c266fe662778b674d90d30f3b4ff76760431029d22e1fc83b786", "P",
     "b76cabfbf98639f682479d4eb9d14bb2827bfd8d6cd9b24e4257e34ab770f7ecd385f0701695e3d71b7e1d23b7fa78857d80dac6a0d9d8063276f486d8067d5620fb1dd0bab68a5c0299a20cd5807310b1b078e3527d919b5e7f2f7b65f8ab0c72318f5452a922895b398767999db4777a2e028ca0ea90100103e27b903e219f"},
    // base above the modulus
    {"18c7dbb95e40570f7d5068d36bfb6b9d2a829de1317e2c8d419f8d7704b041330cc96845ed2fce29c476bc9f530d78640c58b8c3a27cceb7bf464dd74612510418466b578fa89d52bbedfc5d6f0e60c2d36caa19ec92e15cfdc20f39b43380af1de1d008d1af78861e2412c3741f3ae8d7fd0c6ae160fd5f6ddf0b8bd1c8831be873bab", "b0149b4c2e28cc72", "P",
     "a5f791c14d667f60c378a0a2eb2796da8712da4ee4188df020fc2fa1b23cc69bc9f4aa0960468672b0c690b85d0026a1cd08db6164cc684a9293ceedeb3216162f12980d45c05ed727558dbe77a3338947177aa98c51769ef78ce96f3148e380cea2b4aa18b6071afdd205f7c0c617964789d5cfd9de4598b252db2bc19f622e"},
    // one-word modulus
    {"cb60448e56b134aa70ff0ec4a8df91e44a7ee9d805131dad12", "7cc5b1a4ab", "fffffffb",
     "38b8d409"},
    // two words, top bit set
    {"973b892e89ac98b708c43c12b59204c1bfd485a61c204c711fe703b43bfc8344c9faf79fa81", "fd5e42c14e93334f", "ffffffffffffffc5",
     "ba35855cb84972ce"},
    // top word 1
    {"bfcad247200a8c4a8360957a05468390cd11729bc2b8eb78d1e7e13d13cbc6ae890c79b1eb53b188b2fc3bbca868e543329ec0924faaf8b4b122c626e45b4", "1a6e0e82febab13a120dace", "1782c95c7648d2a49905309318752412b",
     "f849cf5cdfbc653d08217b3eaddb3542"},
    // even modulus
    {"3636a617b53c74dbd190fe42ee82396a72b846a85b742db00265525e74b94aefa32f6dd7927009bf77b8d7d8036a1b1ee71369e319aea401e3f4c73e75680035ef582753ae90c2d8a00b736912e66c8972214e09c45cbee010622d292805230f5f35e760730c175ed1c8795618832da04", "2480c892d936b2a3ca268ae9318ab4fd0", "28ed59cc08264eb27694487f3aaf33bc5363f3ee0000000000000000000000000",
     "2850d1bb36ce190ac4ec1bb21cbed09a8f1197440000000000000000000000000"},
    // modulus 1
    {"e2b4223cc96e39cbfed9b6e0b1f5e5836a423279e6233fc5c99657ec10737bc2c67dd6005f47c971dba88f09a1fdb11d28a9a340633e5674f410dc462c91610c4b00d9783d197b994c9a30fde5c015fcbb5a7235ddfa945f20397334accb9d7a58213dbadc75088a2f8177a77793a4e65a3f9fe29e66590cc12a052b07", "16a5246ed", "1",
     "0"},
    // zero base
    {"0", "5", "P",
     "0"},
    // Exponent 1 (plain reduction) where the long division's first quotient estimate is one too
    // large and the divisor has to be added back.
    {"7fffffff800000000000000000000000", "1", "800000000000000000000001",
     "7fffffffffffffff00000002"},
    {"800000000000000000000003", "1", "200000000000000000000001",
     "200000000000000000000000"},
};

TEST(BigNum, PowModMatchesIndependentResults) {
    for (const PowCase& c : kPowCases) {
        SCOPED_TRACE(std::string("exponent ") + c.exponent + " modulus " + c.modulus);
        const BigNum base = Big(c.base);
        const BigNum modulus = Big(std::string(c.modulus) == "P" ? kPrimeHex : c.modulus);
        const std::vector<std::uint32_t> exponent = Words(c.exponent);
        BigNum out;
        out.fill(0xA5A5A5A5);
        ASSERT_TRUE(PowMod(base.data(), exponent.data(), exponent.size(), modulus.data(), out.data()));
        EXPECT_EQ(out, Big(c.result));
    }
}

TEST(BigNum, Pow2ModIsPowModOfTheGenerator) {
    for (const PowCase& c : kPowCases) {
        if (std::string(c.base) != "2") {
            continue;
        }
        const std::vector<std::uint32_t> exponent = Words(c.exponent);
        BigNum out{};
        ASSERT_TRUE(Pow2Mod(exponent.data(), exponent.size(), out.data()));
        EXPECT_EQ(out, Big(c.result));
    }
    // Small exponents, and the empty exponent (x = 0).
    BigNum out{};
    ASSERT_TRUE(Pow2Mod(nullptr, 0, out.data()));
    EXPECT_EQ(out, Big("1"));
    const std::uint32_t ten[] = {10, 0};
    ASSERT_TRUE(Pow2Mod(ten, 2, out.data()));
    EXPECT_EQ(out, Big("400"));
}

// Both sides of the key exchange reach the same secret.
TEST(BigNum, KeyExchangePartiesAgree) {
    const std::uint32_t x[] = {0x13579BDF, 0x2468ACE0, 0xDEADBEEF, 0};
    const std::uint32_t y[] = {0xCAFEBABE, 0x0F1E2D3C, 0x8BADF00D, 0};
    BigNum a{}, b{}, za{}, zb{};
    ASSERT_TRUE(Pow2Mod(x, 4, a.data()));
    ASSERT_TRUE(Pow2Mod(y, 4, b.data()));
    ASSERT_TRUE(PowMod(b.data(), x, 4, kModp1024Prime, za.data()));
    ASSERT_TRUE(PowMod(a.data(), y, 4, kModp1024Prime, zb.data()));
    EXPECT_EQ(za, zb);
    EXPECT_NE(za, a);
}

TEST(BigNum, OutputMayAliasTheBase) {
    const PowCase& c = kPowCases[2];
    BigNum value = Big(c.base);
    const std::vector<std::uint32_t> exponent = Words(c.exponent);
    ASSERT_TRUE(PowMod(value.data(), exponent.data(), exponent.size(), kModp1024Prime, value.data()));
    EXPECT_EQ(value, Big(c.result));
}

TEST(BigNum, RefusesZeroNegativeAndMissingOperands) {
    const BigNum base = Big("1234567");
    BigNum negative = Big("3");
    negative[kBigNumWords - 1] = 0x80000000;
    const BigNum zero{};
    const std::uint32_t exponent[] = {5, 0};
    const std::uint32_t negative_exponent[] = {5, 0xFFFFFFFF};
    BigNum out;
    out.fill(0x11111111);
    const BigNum untouched = out;

    EXPECT_FALSE(PowMod(base.data(), exponent, 2, zero.data(), out.data()));
    EXPECT_FALSE(PowMod(base.data(), exponent, 2, negative.data(), out.data()));
    EXPECT_FALSE(PowMod(negative.data(), exponent, 2, kModp1024Prime, out.data()));
    EXPECT_FALSE(PowMod(base.data(), negative_exponent, 2, kModp1024Prime, out.data()));
    EXPECT_FALSE(PowMod(nullptr, exponent, 2, kModp1024Prime, out.data()));
    EXPECT_FALSE(PowMod(base.data(), nullptr, 2, kModp1024Prime, out.data()));
    EXPECT_FALSE(PowMod(base.data(), exponent, 2, nullptr, out.data()));
    EXPECT_FALSE(PowMod(base.data(), exponent, 2, kModp1024Prime, nullptr));
    EXPECT_FALSE(Pow2Mod(exponent, 2, nullptr));
    EXPECT_EQ(out, untouched);
}

}  // namespace
}  // namespace quarro::crypto
