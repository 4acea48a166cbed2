// The formatter is checked three ways: a table of known answers, the same table cut at every
// buffer size, and (on glibc) agreement with the C library on the conversions both define alike.
// UTF-16 arguments go through the process code page, Windows-1252 in the native build.
#include "common/format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace quarro::text;

// Runs one call either unbounded (Format) or into a guarded buffer of `cap` bytes (FormatBounded).
struct Target {
    static constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);
    static constexpr std::size_t kGuard = 16;

    std::size_t cap = kUnbounded;
    int returned = -1;
    bool guardIntact = true;
    bool terminated = true;

    template <typename... Args>
    std::string Run(const char* fmt, Args... args) {
        if (cap == kUnbounded) return Format(fmt, args...);
        std::vector<char> buf(cap + kGuard, '\x5A');
        returned = FormatBounded(buf.data(), cap, fmt, args...);
        for (std::size_t i = cap; i < buf.size(); ++i) guardIntact = guardIntact && buf[i] == '\x5A';
        if (returned < 0 || static_cast<std::size_t>(returned) > (cap == 0 ? 0 : cap - 1)) return "<bad count>";
        terminated = cap == 0 || buf[static_cast<std::size_t>(returned)] == '\0';
        return std::string(buf.data(), static_cast<std::size_t>(returned));
    }
};

struct Row {
    std::string expected;
    const char* call;
    std::function<std::string(Target&)> run;
};

#define ROW(expected, ...) Row{expected, #__VA_ARGS__, [](Target& t) { return t.Run(__VA_ARGS__); }}

const char16_t kCafe[] = u"caf\u00e9 \u20ac \u0100";
const char kUnterminated[3] = {'a', 'b', 'c'};

std::string PointerDigits(std::uint64_t value) {
    std::string s;
    for (std::size_t i = 0; i < 2 * sizeof(void*); ++i, value >>= 4) s.insert(s.begin(), "0123456789ABCDEF"[value & 0xF]);
    return s;
}

const std::string kSizeMax = sizeof(std::size_t) == 8 ? "18446744073709551615" : "4294967295";
const std::string kULongMax = sizeof(unsigned long) == 8 ? "18446744073709551615" : "4294967295";

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        // signed integers, flags, width, precision
        ROW("0", "%d", 0),
        ROW("-1", "%d", -1),
        ROW("-2147483648 2147483647", "%d %i", INT_MIN, INT_MAX),
        ROW("   42|42   |", "%5d|%-5d|", 42, 42),
        ROW("-0042", "%05d", -42),
        ROW("+5  5 +5", "%+d % d %+ d", 5, 5, 5),
        ROW("007|    -007|     007", "%.3d|%8.3d|%08.3d", 7, -7, 7),
        ROW("||     |", "|%.0d|%5.0d|", 0, 0),
        ROW("5       |", "%-08d|", 5),
        // unsigned, hex, octal
        ROW("4294967295 5", "%u %+u", 4294967295u, 5u),
        ROW("ff FF 0xff 0XFF 0", "%x %X %#x %#X %#x", 255u, 255u, 255u, 255u, 0u),
        ROW("10 010 0 0 0377", "%o %#o %#o %#.0o %#.4o", 8u, 8u, 0u, 0u, 255u),
        ROW("0x0000ff 0000BEEF", "%#08x %08X", 255u, 0xBEEFu),
        // length modifiers; 64-bit values must not upset the arguments after them
        ROW("-1 7 -1 3", "%hhd %hhu %hd %hu", 255, 263, 65535, 65539),
        ROW("18446744073709551615 18446744073709551615 7", "%I64u %llu %d", ULLONG_MAX, ULLONG_MAX, 7),
        ROW("-9223372036854775808 9223372036854775807", "%I64d %lld", LLONG_MIN, LLONG_MAX),
        ROW("ffffffffffffffff 8000000000000000", "%I64x %llx", ULLONG_MAX, 0x8000000000000000ull),
        ROW("-5 4294967295 9", "%I32d %I32u %d", -5, 0xFFFFFFFFu, 9),
        ROW(kSizeMax + " " + kSizeMax + " -3 -3", "%Iu %zu %Id %zd", SIZE_MAX, SIZE_MAX, std::intptr_t(-3),
            std::ptrdiff_t(-3)),
        ROW("-5 " + kULongMax + " -1", "%ld %lu %jd", -5L, ULONG_MAX, std::intmax_t(-1)),
        // strings
        ROW("abc|  abc|abc  |ab", "%s|%5s|%-5s|%.2s", "abc", "abc", "abc", "abc"),
        ROW("ab|  ab|ab  |ab  |abc", "%.*s|%*s|%-*s|%*s|%.*s", 2, "abcdef", 4, "ab", 4, "ab", -4, "ab", -1, "abc"),
        ROW("(null)|(nu|   ab", "%s|%.3s|%05s", static_cast<const char*>(nullptr), static_cast<const char*>(nullptr),
            "ab"),
        ROW("abc", "%.3s", kUnterminated),
        ROW("abc abc abc abc", "%ls %S %ws %hs", u"abc", u"abc", u"abc", "abc"),
        ROW("caf\xe9 \x80 ?", "%ls", kCafe),
        ROW("(null)|ab|   ab", "%ls|%.2ls|%5ls", static_cast<const char16_t*>(nullptr), u"abcdef", u"ab"),
        // characters
        ROW("A|  A|A  |", "%c|%3c|%-3c|", 'A', 'A', 'A'),
        ROW("\xe9\x80?", "%lc%C%wc", u'\u00e9', u'\u20ac', u'\u0100'),
        ROW(std::string("a\0b", 3), "a%cb", 0),
        // pointers
        ROW(PointerDigits(0x1234) + "|" + PointerDigits(0), "%p|%p", reinterpret_cast<void*>(0x1234), nullptr),
        // percent, unknown conversions and a format ending inside a conversion: literal, no argument used
        ROW("100%", "100%%"),
        ROW("%y %5y %ly %n5 %a7", "%y %5y %ly %n%d %a%d", 5, 7),
        ROW("abc%", "abc%"),
        ROW("x%5", "x%5"),
        ROW("x%-.3l", "x%-.3l"),
        // floating point: exact binary value, rounded half to even
        ROW("0.000000 -0.000000 3.141593", "%f %f %f", 0.0, -0.0, 3.14159265),
        ROW("36.5 12.35 -1.00 -0.0", "%.1f %.2f %.2f %.1f", 36.55, 12.345, -1.005, -0.04),
        ROW("0 2 2 0.2 0.3", "%.0f %.0f %.0f %.1f %.1f", 0.5, 1.5, 2.5, 0.25, 0.35),
        ROW("+3.0  3.0     3.14|3.14    |-0003.14", "%+.1f % .1f %8.2f|%-8.2f|%08.2f", 3.0, 3.0, 3.14159, 3.14159,
            -3.14159),
        ROW("3 3. 0.000 1000.00", "%.0f %#.0f %.3f %.2f", 3.0, 3.0, 1e-10, 999.996),
        ROW("100000000000000000000.000000 0.10000000000000000555", "%f %.20f", 1e20, 0.1),
        ROW("1.234568e+04 6e+00 1.000000E-05 0.000000e+00 9.99e+00 1.000000e+100", "%e %.0e %E %e %.2e %e",
            12345.678, 5.5, 1e-5, 0.0, 9.995, 1e100),
        ROW("0.0001 1e-05 123456 1.23457e+06 100 1.00000 0 1E-10 100 1e+03",
            "%g %g %g %g %g %#g %g %G %.3g %.3g", 0.0001, 0.00001, 123456.0, 1234567.0, 100.0, 1.0, 0.0, 1e-10,
            99.96, 999.6),
        // '#' keeps the zeros even when rounding carries into a new digit (glibc drops them)
        ROW("1.00000e+06 100.", "%#g %#.3g", 999999.5, 99.96),
        ROW("inf INF -inf   nan   inf +inf", "%f %F %f %5f %05f %+f", HUGE_VAL, HUGE_VAL, -HUGE_VAL,
            std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, HUGE_VAL),
        ROW("1.500000 2.5", "%Lf %.1f", 1.5L, 2.5f),
        // a report line
        ROW("CPU    :  45.5 C, fan 3200 rpm, \xe9tat OK", "%-7s: %5.1f C, fan %u rpm, %ls OK", "CPU", 45.46, 3200u,
            u"\u00e9tat"),
    };
    return rows;
}

TEST(Format, ProducesTheKnownAnswers) {
    for (const Row& row : Rows()) {
        Target t;
        EXPECT_EQ(row.run(t), row.expected) << row.call;
    }
}

TEST(FormatBounded, CutsAtEveryCapacityAndNeverWritesPastIt) {
    for (const Row& row : Rows()) {
        for (std::size_t cap = 0; cap <= row.expected.size() + 2; ++cap) {
            Target t;
            t.cap = cap;
            const std::string got = row.run(t);
            const std::size_t kept = cap == 0 ? 0 : std::min(row.expected.size(), cap - 1);
            ASSERT_TRUE(t.guardIntact) << row.call << " cap " << cap;
            ASSERT_TRUE(t.terminated) << row.call << " cap " << cap;
            ASSERT_EQ(t.returned, static_cast<int>(kept)) << row.call << " cap " << cap;
            ASSERT_EQ(got, row.expected.substr(0, kept)) << row.call << " cap " << cap;
        }
    }
}

TEST(FormatBounded, NullBufferOrFormat) {
    EXPECT_EQ(FormatBounded(nullptr, 10, "%d", 12345), 0);
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(FormatBounded(buf, sizeof(buf), nullptr), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(Format(nullptr), "");
}

TEST(Format, AppendKeepsWhatWasThere) {
    std::string report = "[Battery Status]\r\n";
    AppendFormat(report, "%-10s%3u%%\r\n", "Charge", 87u);
    EXPECT_EQ(report, "[Battery Status]\r\nCharge     87%\r\n");
}

TEST(Format, WideAndHugeFieldsStayExact) {
    EXPECT_EQ(Format("%300d", 1).size(), 300u);
    EXPECT_EQ(Format("%.300d", 1), std::string(299, '0') + "1");
    const std::string tiny = Format("%.1100f", 5e-324);  // smallest subnormal: 1074 digits after the point
    ASSERT_EQ(tiny.size(), 1102u);
    EXPECT_EQ(tiny.substr(0, 2 + 323), "0." + std::string(323, '0'));
    EXPECT_EQ(tiny.substr(2 + 323, 10), "4940656458");
    EXPECT_EQ(tiny.substr(2 + 1074), std::string(26, '0'));
    EXPECT_EQ(Format("%.0f", DBL_MAX).size(), 309u);
}

#if defined(__GLIBC__)
std::string CFormat(const char* fmt, double v) {
    char buf[1600];
    std::snprintf(buf, sizeof(buf), fmt, v);
    return buf;
}

TEST(Format, AgreesWithGlibcOnFloatingConversions) {
    const char* formats[] = {"%f", "%.0f", "%.1f", "%.2f", "%.3f", "%.17g", "%g", "%.3g", "%e", "%.0e",
                             "%.12e", "%#g", "%#.0f", "%+.4f", "%012.3f", "%-12.2e|", "%.40f", "%G", "%.1E"};
    const double fixed[] = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 1e-7, 123456789.0, 1e15, 1e16, 1e22,
                            DBL_MAX, DBL_MIN, 5e-324, 0.1, 0.2, 0.3, 2.675, 1.005, 1.0 / 3, 9.5, 99.5, 99999.5};
    std::vector<double> values(std::begin(fixed), std::end(fixed));
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    while (values.size() < 600) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        std::uint64_t bits = state;
        double v;
        std::memcpy(&v, &bits, sizeof(v));
        if (std::isfinite(v)) values.push_back(values.size() % 2 ? v : std::ldexp(v, -std::ilogb(v) + static_cast<int>(bits % 40) - 20));
    }
    for (const char* fmt : formats) {
        for (double v : values) ASSERT_EQ(Format(fmt, v), CFormat(fmt, v)) << fmt << " " << std::hexfloat << v;
    }
}
#endif

}  // namespace
