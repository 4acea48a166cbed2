#include "common/text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quarro::text;

constexpr char16_t kGuard16 = 0xBEEF;
constexpr std::size_t kGuardUnits = 8;

std::u16string Repeated(std::size_t n) {
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char16_t>(u'A' + i % 26));
    return s;
}

TEST(CopyBounded, CutsAtTheDestinationAndAlwaysTerminates) {
    const std::size_t dstSizes[] = {0, 1, 2, 259, 260, 261};
    const std::size_t srcSizes[] = {0, 1, 258, 259, 260, 261, 300};
    for (std::size_t dstUnits : dstSizes) {
        for (std::size_t srcUnits : srcSizes) {
            SCOPED_TRACE(testing::Message() << "dst " << dstUnits << " src " << srcUnits);
            const std::u16string src = Repeated(srcUnits);
            const std::size_t expected = dstUnits == 0 ? 0 : std::min(srcUnits, dstUnits - 1);
            for (int form = 0; form < 2; ++form) {
                std::vector<char16_t> buf(dstUnits + kGuardUnits, kGuard16);
                const std::size_t n = form == 0 ? CopyBounded(buf.data(), dstUnits, src.c_str())
                                                : CopyBounded(buf.data(), dstUnits, std::u16string_view(src));
                EXPECT_EQ(n, expected);
                EXPECT_EQ(std::u16string(buf.data(), n), src.substr(0, n));
                if (dstUnits > 0) {
                    EXPECT_EQ(buf[n], 0);
                }
                for (std::size_t i = dstUnits; i < buf.size(); ++i) ASSERT_EQ(buf[i], kGuard16) << "written past at " << i;
            }
            // The 8-bit form behaves the same.
            const std::string src8(src.begin(), src.end());
            std::vector<char> buf8(dstUnits + kGuardUnits, 'Z');
            EXPECT_EQ(CopyBounded(buf8.data(), dstUnits, src8.c_str()), expected);
            if (dstUnits > 0) {
                EXPECT_EQ(buf8[expected], '\0');
            }
            for (std::size_t i = dstUnits; i < buf8.size(); ++i) ASSERT_EQ(buf8[i], 'Z');
        }
    }
}

TEST(CopyBounded, NullSourceGivesEmptyTextAndZeroRoomWritesNothing) {
    char16_t buf[4] = {u'x', u'y', u'z', 0};
    EXPECT_EQ(CopyBounded(buf, 4, static_cast<const char16_t*>(nullptr)), 0u);
    EXPECT_EQ(buf[0], 0);
    char16_t untouched[1] = {u'q'};
    EXPECT_EQ(CopyBounded(untouched, 0, u"abc"), 0u);
    EXPECT_EQ(untouched[0], u'q');
    char narrow[3] = {'a', 'b', 0};
    EXPECT_EQ(CopyBounded(narrow, 3, static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(narrow[0], '\0');
}

TEST(CopyBounded, ReadsAnUnterminatedFieldOnlyAsFarAsItKeeps) {
    // A fixed 4-unit field without terminator, copied into 5 units: exactly the 4 units are read
    // (the heap block is exact, so a read beyond shows under the address sanitizer).
    std::unique_ptr<char16_t[]> field(new char16_t[4]{u'W', u'X', u'Y', u'Z'});
    char16_t dst[5];
    EXPECT_EQ(CopyBounded(dst, 5, field.get()), 4u);
    EXPECT_EQ(std::u16string(dst), u"WXYZ");
    EXPECT_EQ(LengthBounded(field.get(), 4), 4u);
}

TEST(Length, StopsAtTerminatorOrBound) {
    struct Row {
        const char16_t* s;
        std::size_t bound;
        std::size_t length;
        std::size_t bounded;
    };
    const Row rows[] = {
        {nullptr, 10, 0, 0}, {u"", 10, 0, 0}, {u"abc", 10, 3, 3}, {u"abc", 2, 3, 2}, {u"abc", 0, 3, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Length(r.s), r.length);
        EXPECT_EQ(LengthBounded(r.s, r.bound), r.bounded);
    }
    EXPECT_EQ(Length(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(LengthBounded("abcdef", 4), 4u);
}

TEST(FixedText, IsZeroInitialisedAndCutsAt259Units) {
    Text260 t;
    static_assert(sizeof(Text260) == 520, "260 UTF-16 units, nothing else");
    for (char16_t u : t.units) ASSERT_EQ(u, 0);
    EXPECT_TRUE(t.empty());

    const std::size_t sizes[] = {0, 1, 259, 260, 261, 1000};
    for (std::size_t n : sizes) {
        const std::u16string src = Repeated(n);
        const std::size_t kept = std::min<std::size_t>(n, 259);
        EXPECT_EQ(t.assign(src.c_str()), kept);
        EXPECT_EQ(t.size(), kept);
        EXPECT_EQ(t.units[kept], 0);
        EXPECT_EQ(t.view(), std::u16string_view(src).substr(0, kept));
        EXPECT_EQ(Text260(std::u16string_view(src)).size(), kept);
    }
    t = u"short";
    EXPECT_EQ(std::u16string(t.c_str()), u"short");
    t.clear();
    EXPECT_TRUE(t.empty());
}

TEST(FixedText, AssignFromItsOwnTailAndUnterminatedFill) {
    FixedText<8> t(u"abcdef");
    t.assign(t.c_str() + 2);
    EXPECT_EQ(t.view(), u"cdef");
    // Filled by an outside call that left no terminator: size and view stay inside the array.
    for (char16_t& u : t.units) u = u'x';
    EXPECT_EQ(t.size(), 8u);
    EXPECT_EQ(t.view(), u"xxxxxxxx");
}

TEST(CompareNoCaseAscii, FoldsOnlyAsciiLettersToLowerCase) {
    struct Row {
        const char16_t* a;
        const char16_t* b;
        int sign;
    };
    const Row rows[] = {
        {u"OutputLog", u"OUTPUTLOG", 0},
        {u"abc", u"abd", -1},
        {u"abc", u"ab", 1},
        {u"", u"a", -1},
        {nullptr, u"", 0},
        {nullptr, u"x", -1},
        {u"_", u"A", -1},        // '_' sorts before 'a': letters fold to lower case, as _wcsicmp does
        {u"[", u"a", -1},
        {u"\u00e9", u"\u00c9", 1},  // no folding outside ASCII
        {u"Z", u"a", 1},
    };
    for (const Row& r : rows) {
        const int result = CompareNoCaseAscii(r.a, r.b);
        EXPECT_EQ((result > 0) - (result < 0), r.sign) << "row " << (&r - rows);
        EXPECT_EQ(EqualNoCaseAscii(r.a, r.b), r.sign == 0);
    }
    EXPECT_TRUE(EqualNoCaseAscii(std::u16string_view(u"/Smartid_Name"), std::u16string_view(u"/SMARTID_NAME")));
    EXPECT_FALSE(EqualNoCaseAscii(std::u16string_view(u"/D:", 2), std::u16string_view(u"/D:")));
    EXPECT_TRUE(StartsWithNoCaseAscii(u"/d:C:\\Temp", u"/D:"));
    EXPECT_FALSE(StartsWithNoCaseAscii(u"/d", u"/D:"));
    EXPECT_FALSE(StartsWithNoCaseAscii(u"/P:x", u"/D:"));
}

TEST(Utf8, DecodesWellFormedTextAndReplacesEachIllFormedPart) {
    struct Row {
        std::string utf8;
        std::u16string utf16;
    };
    const Row rows[] = {
        {"", u""},
        {"Quarro", u"Quarro"},
        {"\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9"},
        {"\xE2\x82\xAC", u"\u20ac"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\x80", u"\uFFFD"},                                  // stray continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                        // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},              // overlong, three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},              // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},    // above U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xFF\xFE", u"\uFFFD\uFFFD"},
        {"\xE2\x82", u"\uFFFD"},                              // truncated at the end
        {"\xE2\x82" "A", u"\uFFFDA"},                        // truncated before ASCII
        {"\xF0\x9F\x98" "x\xF0\x9F\x98", u"\uFFFDx\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Row& r : rows) EXPECT_EQ(FromUtf8(r.utf8), r.utf16) << "row " << (&r - rows);
}

TEST(Utf8, EncodesAndReplacesUnpairedSurrogates) {
    struct Row {
        std::u16string utf16;
        std::string utf8;
    };
    const Row rows[] = {
        {u"caf\u00e9", "caf\xC3\xA9"},
        {u"\u20ac", "\xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {std::u16string(1, char16_t(0xD83D)), "\xEF\xBF\xBD"},
        {std::u16string(1, char16_t(0xDE00)), "\xEF\xBF\xBD"},
        {std::u16string({char16_t(0xD83D), u'a'}), "\xEF\xBF\xBD" "a"},
        {std::u16string({char16_t(0xDE00), char16_t(0xD83D)}), "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Row& r : rows) EXPECT_EQ(ToUtf8(r.utf16), r.utf8) << "row " << (&r - rows);
}

TEST(Utf8, EveryCodePointRoundTrips) {
    for (char32_t cp = 0; cp <= 0x10FFFF; cp += (cp < 0x10000 ? 1 : 0x101)) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::u16string s;
        if (cp >= 0x10000) {
            s.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            s.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            s.push_back(static_cast<char16_t>(cp));
        }
        const std::string utf8 = ToUtf8(s);
        ASSERT_EQ(utf8.size(), cp < 0x80 ? 1u : cp < 0x800 ? 2u : cp < 0x10000 ? 3u : 4u) << std::hex << cp;
        ASSERT_EQ(FromUtf8(utf8), s) << std::hex << cp;
    }
}

TEST(Upper, MapsLikeCharUpperWInTheLatinRanges) {
    struct Row {
        char16_t in;
        char16_t out;
    };
    const Row rows[] = {
        {u'a', u'A'},   {u'z', u'Z'},   {u'A', u'A'},   {u'`', u'`'},   {u'{', u'{'},   {u'0', u'0'},
        {0x00E0, 0x00C0}, {0x00E9, 0x00C9}, {0x00FE, 0x00DE}, {0x00F7, 0x00F7}, {0x00FF, 0x0178},
        {0x00B5, 0x00B5}, {0x00DF, 0x00DF}, {0x00C9, 0x00C9}, {0x0101, 0x0100}, {0x0100, 0x0100},
        {0x0131, 0x0131}, {0x0133, 0x0132}, {0x0138, 0x0138}, {0x013A, 0x0139}, {0x0148, 0x0147},
        {0x0149, 0x0149}, {0x014B, 0x014A}, {0x0177, 0x0176}, {0x017A, 0x0179}, {0x017E, 0x017D},
        {0x017F, 0x017F}, {0x03B1, 0x03B1}, {0xFF41, 0xFF41},
    };
    for (const Row& r : rows) EXPECT_EQ(UpperChar(r.in), r.out) << std::hex << unsigned(r.in);
    EXPECT_EQ(Upper(u"/outputlog /d:c:\\temp\\r\u00e9sum\u00e9"), u"/OUTPUTLOG /D:C:\\TEMP\\R\u00c9SUM\u00c9");
}

TEST(Upper, InPlaceStopsAtTheBound) {
    std::unique_ptr<char16_t[]> field(new char16_t[3]{u'a', u'b', u'c'});  // no terminator
    UpperInPlace(field.get(), 3);
    EXPECT_EQ(std::u16string(field.get(), 3), u"ABC");
    char16_t text[] = u"ab\0cd";
    UpperInPlace(text, 10);
    EXPECT_EQ(std::u16string(text, 5), std::u16string(u"AB\0cd", 5));
    UpperInPlace(nullptr, 5);
}

}  // namespace
