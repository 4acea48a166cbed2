// Text helpers shared by every program: bounded copies into fixed arrays, lengths, ASCII
// case-insensitive comparison, UTF-8 <-> UTF-16 conversion and upper-casing.
//
// Inside the programs text is UTF-16 (char16_t) in fixed arrays of kTextUnits units: 259
// characters and the terminator. Every copy into such an array is bounded by the destination and
// cuts silently; the destination is always terminated when it has room for at least one unit.
// A null source pointer is read as the empty string everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarro::text {

inline constexpr std::size_t kTextUnits = 260;

// Length of a zero-terminated string; 0 for null.
std::size_t Length(const char16_t* s);
std::size_t Length(const char* s);

// Length of a string that may lack its terminator within `maxUnits` units: never reads past
// s[maxUnits - 1]. 0 for null.
std::size_t LengthBounded(const char16_t* s, std::size_t maxUnits);
std::size_t LengthBounded(const char* s, std::size_t maxUnits);

// Copies `src` into `dst` (room for `dstUnits` units including the terminator), cutting silently
// at dstUnits - 1 units, and terminates. Nothing is written when dstUnits is 0. Returns the number
// of units copied (without the terminator). The pointer forms read `src` only up to its
// terminator or until `dst` is full, whichever comes first, so a source field of at least
// dstUnits - 1 units need not be terminated. The view forms copy embedded zero units as they are
// and allow the source to overlap the destination.
std::size_t CopyBounded(char16_t* dst, std::size_t dstUnits, const char16_t* src);
std::size_t CopyBounded(char16_t* dst, std::size_t dstUnits, std::u16string_view src);
std::size_t CopyBounded(char* dst, std::size_t dstSize, const char* src);
std::size_t CopyBounded(char* dst, std::size_t dstSize, std::string_view src);

// Case-insensitive comparison that folds only 'A'-'Z' onto 'a'-'z' (the ordering of _wcsicmp for
// ASCII text); other units compare by value. Result < 0, 0 or > 0.
int CompareNoCaseAscii(const char16_t* a, const char16_t* b);
int CompareNoCaseAscii(std::u16string_view a, std::u16string_view b);
bool EqualNoCaseAscii(const char16_t* a, const char16_t* b);
bool EqualNoCaseAscii(std::u16string_view a, std::u16string_view b);
bool StartsWithNoCaseAscii(std::u16string_view s, std::u16string_view prefix);

// UTF-8 -> UTF-16. Malformed input (stray continuation bytes, truncated or overlong sequences,
// encoded surrogates, values above U+10FFFF) becomes U+FFFD, one per maximal ill-formed subpart.
std::u16string FromUtf8(std::string_view utf8);
// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

// Upper-casing as CharUpperW does it for the ASCII, Latin-1 and Latin Extended-A ranges
// ('a'-'z', U+00E0-U+00FE except U+00F7, U+00FF -> U+0178, the case pairs of U+0100-U+017F).
// Units outside those ranges, U+00B5, U+00DF, U+0131 and U+017F are left as they are.
char16_t UpperChar(char16_t c);
std::u16string Upper(std::u16string_view s);
// Upper-cases in place up to the terminator or `maxUnits` units, whichever comes first.
void UpperInPlace(char16_t* s, std::size_t maxUnits);

// A fixed UTF-16 text field of N units, zero-initialised and always terminated by its own
// operations. Assignment cuts silently at N - 1 units. The array is public so that Win32 calls
// can fill it directly; size() and view() never look past the array even if such a call left it
// unterminated.
template <std::size_t N>
struct FixedText {
    static_assert(N > 0, "a text field needs room for its terminator");

    char16_t units[N] = {};

    FixedText() = default;
    FixedText(const char16_t* s) { assign(s); }  // NOLINT: implicit like a string
    explicit FixedText(std::u16string_view s) { assign(s); }

    // Returns the number of units kept.
    std::size_t assign(const char16_t* s) { return CopyBounded(units, N, s); }
    std::size_t assign(std::u16string_view s) { return CopyBounded(units, N, s); }
    FixedText& operator=(const char16_t* s) {
        assign(s);
        return *this;
    }

    void clear() { units[0] = 0; }
    const char16_t* c_str() const { return units; }
    std::size_t size() const { return LengthBounded(units, N); }
    bool empty() const { return units[0] == 0; }
    std::u16string_view view() const { return std::u16string_view(units, size()); }
    static constexpr std::size_t capacity() { return N; }
};

using Text260 = FixedText<kTextUnits>;

}  // namespace quarro::text
