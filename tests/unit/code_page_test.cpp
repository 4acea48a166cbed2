#include "platform/sim/code_page_1252.h"
#ifndef _WIN32
#include "platform/native/code_page_932.h"
#endif

#include <gtest/gtest.h>

#include <string>

#if defined(__GLIBC__)
#include <iconv.h>
#endif

namespace {

using quarro::platform::sim::CodePage1252;

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    return bytes;
}

TEST(CodePage1252, EveryByteRoundTrips) {
    CodePage1252 cp;
    const std::u16string wide = cp.AnsiToWide(AllBytes());
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(cp.WideToAnsi(wide), AllBytes());
}

TEST(CodePage1252, MapsTheHighControlRangeToTheWindowsCharacters) {
    // Bytes 80-9F as Windows defines them; the five undefined bytes give their own C1 control.
    const char16_t expected[32] = {
        u'\u20ac', 0x0081, u'\u201a', u'\u0192', u'\u201e', u'\u2026', u'\u2020', u'\u2021',
        u'\u02c6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', 0x008D, u'\u017d', 0x008F,
        0x0090, u'\u2018', u'\u2019', u'\u201c', u'\u201d', u'\u2022', u'\u2013', u'\u2014',
        u'\u02dc', u'\u2122', u'\u0161', u'\u203a', u'\u0153', 0x009D, u'\u017e', u'\u0178',
    };
    CodePage1252 cp;
    const std::u16string wide = cp.AnsiToWide(AllBytes());
    for (int b = 0; b < 256; ++b) {
        const char16_t want = (b >= 0x80 && b <= 0x9F) ? expected[b - 0x80] : static_cast<char16_t>(b);
        EXPECT_EQ(wide[static_cast<std::size_t>(b)], want) << "byte " << std::hex << b;
    }
}

#if defined(__GLIBC__)
TEST(CodePage1252, AgreesWithTheCLibraryConverterOnEveryDefinedByte) {
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1252 converter installed";
    for (int b = 0; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;  // undefined there
        char in = static_cast<char>(b);
        unsigned char out[4] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1, outLeft = sizeof(out);
        ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1)) << b;
        EXPECT_EQ(CodePage1252::ByteToUnit(static_cast<unsigned char>(b)), char16_t(out[0] | (out[1] << 8))) << b;
    }
    iconv_close(cd);
}
#endif

TEST(CodePage1252, CharactersWithoutAByteBecomeQuestionMarks) {
    struct Row {
        std::u16string wide;
        std::string ansi;
    };
    const Row rows[] = {
        {u"Battery \u2013 98 %", "Battery \x96 98 %"},
        {u"\u00a9\u00ae\u00ff", "\xa9\xae\xff"},
        {u"\u0100", "?"},                   // no best fit to 'A'
        {u"\uff21", "?"},                   // full-width A
        {u"\u0080", "?"},                   // C1 control whose byte carries the euro sign
        {u"\u0081\u009d", "\x81\x9d"},      // C1 controls of undefined bytes keep their byte
        {u"\u3042x", "?x"},
        {u"\U0001F600", "??"},              // one per surrogate unit
        {u"\uFFFD", "?"},
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    CodePage1252 cp;
    for (const Row& r : rows) EXPECT_EQ(cp.WideToAnsi(r.wide), r.ansi) << "row " << (&r - rows);
    EXPECT_EQ(cp.WideToAnsi(u""), "");
    EXPECT_EQ(cp.AnsiToWide(""), u"");
}

}  // namespace

TEST(CodePage932, JapaneseTextDegreeSignAndUnmappableCharacters) {
    quarro::platform::sim::CodePage932 cp;
    struct Case { std::u16string wide; std::string ansi; std::u16string back; } cases[] = {
        {u"情報 25°C", "\x8F\xEE\x95\xF1 25\x81\x8B" "C", u"情報 25°C"},
        {u"ｱA", "\xB1" "A", u"ｱA"},                 // half-width katakana: one byte
        {u"é\xD83D\xDE00", "???", u"???"},           // no bytes in 932; each surrogate unit alone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp.WideToAnsi(c.wide), c.ansi);
        EXPECT_EQ(cp.AnsiToWide(c.ansi), c.back);
    }
    EXPECT_EQ(cp.AnsiToWide("\x8F"), u"?");  // a lead byte at the end
}
