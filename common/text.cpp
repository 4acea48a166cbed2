#include "common/text.h"

#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace quarro::text {

namespace {


template <typename Char>
std::size_t LengthOf(const Char* s) {
    if (s == nullptr) return 0;
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

template <typename Char>
std::size_t LengthBoundedOf(const Char* s, std::size_t maxUnits) {
    if (s == nullptr) return 0;
    std::size_t n = 0;
    while (n < maxUnits && s[n] != 0) ++n;
    return n;
}

template <typename Char>
std::size_t CopyTerminated(Char* dst, std::size_t dstUnits, const Char* src) {
    if (dst == nullptr || dstUnits == 0) return 0;
    std::size_t n = 0;
    if (src != nullptr) {
        // Forward copy, one unit at a time, so the source is never read beyond what is kept.
        while (n + 1 < dstUnits && src[n] != 0) {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

template <typename Char>
std::size_t CopyView(Char* dst, std::size_t dstUnits, const Char* src, std::size_t srcUnits) {
    if (dst == nullptr || dstUnits == 0) return 0;
    const std::size_t n = srcUnits < dstUnits - 1 ? srcUnits : dstUnits - 1;
    if (n > 0) std::memmove(dst, src, n * sizeof(Char));
    dst[n] = 0;
    return n;
}

constexpr char16_t FoldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}



}  // namespace

std::size_t Length(const char16_t* s) { return LengthOf(s); }
std::size_t Length(const char* s) { return LengthOf(s); }

std::size_t LengthBounded(const char16_t* s, std::size_t maxUnits) { return LengthBoundedOf(s, maxUnits); }
std::size_t LengthBounded(const char* s, std::size_t maxUnits) { return LengthBoundedOf(s, maxUnits); }

std::size_t CopyBounded(char16_t* dst, std::size_t dstUnits, const char16_t* src) {
    return CopyTerminated(dst, dstUnits, src);
}

std::size_t CopyBounded(char16_t* dst, std::size_t dstUnits, std::u16string_view src) {
    return CopyView(dst, dstUnits, src.data(), src.size());
}

std::size_t CopyBounded(char* dst, std::size_t dstSize, const char* src) {
    return CopyTerminated(dst, dstSize, src);
}

std::size_t CopyBounded(char* dst, std::size_t dstSize, std::string_view src) {
    return CopyView(dst, dstSize, src.data(), src.size());
}

int CompareNoCaseAscii(std::u16string_view a, std::u16string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ca = FoldAscii(a[i]);
        const char16_t cb = FoldAscii(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CompareNoCaseAscii(const char16_t* a, const char16_t* b) {
    return CompareNoCaseAscii(std::u16string_view(a ? a : u""), std::u16string_view(b ? b : u""));
}

bool EqualNoCaseAscii(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCaseAscii(a, b) == 0;
}

bool EqualNoCaseAscii(const char16_t* a, const char16_t* b) { return CompareNoCaseAscii(a, b) == 0; }

bool StartsWithNoCaseAscii(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && CompareNoCaseAscii(s.substr(0, prefix.size()), prefix) == 0;
}

std::u16string FromUtf8(std::string_view utf8) { return platform::Utf8ToUtf16(utf8); }

std::string ToUtf8(std::u16string_view utf16) { return platform::Utf16ToUtf8(utf16); }

char16_t UpperChar(char16_t c) {
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    }
    if (c < 0x100) {
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
        if (c == 0xFF) return 0x0178;
        return c;  // includes U+00B5 and U+00DF, which have no single upper-case unit here
    }
    if (c < 0x180) {
        // Latin Extended-A: upper case is the even unit of each pair in 0100-0137 and 014A-0177,
        // the odd unit of each pair in 0139-0148 and 0179-017E.
        const bool lowerIsOdd = (c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177);
        const bool lowerIsEven = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
        if (c == 0x0131) return c;  // dotless i stays as it is
        if (lowerIsOdd && (c & 1) != 0) return static_cast<char16_t>(c - 1);
        if (lowerIsEven && (c & 1) == 0) return static_cast<char16_t>(c - 1);
        return c;
    }
    return c;
}

std::u16string Upper(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = UpperChar(c);
    return out;
}

void UpperInPlace(char16_t* s, std::size_t maxUnits) {
    if (s == nullptr) return;
    for (std::size_t i = 0; i < maxUnits && s[i] != 0; ++i) s[i] = UpperChar(s[i]);
}

}  // namespace quarro::text
