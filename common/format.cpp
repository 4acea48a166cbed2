#include "common/format.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/ansi.h"
#include "common/text.h"

namespace quarro::text {

namespace {

static_assert(sizeof(int) == 4, "I32 is read as int");
static_assert(sizeof(long long) == 8, "I64 is read as long long");

// ---------------------------------------------------------------------------------------------
// Output

class Sink {
public:
    virtual ~Sink() = default;
    virtual void Put(const char* s, std::size_t n) = 0;
    virtual void Repeat(char c, std::size_t n) = 0;
    void Put(std::string_view s) { Put(s.data(), s.size()); }
    void Put(char c) { Put(&c, 1); }
};

// Writes into a caller's buffer and drops whatever does not fit.
class BoundedSink : public Sink {
public:
    BoundedSink(char* buf, std::size_t cap)
        : buf_(cap > 0 ? buf : nullptr), room_(buf != nullptr && cap > 0 ? cap - 1 : 0) {}

    void Put(const char* s, std::size_t n) override {
        const std::size_t take = n < room_ - length_ ? n : room_ - length_;
        if (take > 0) std::memcpy(buf_ + length_, s, take);
        length_ += take;
    }
    void Repeat(char c, std::size_t n) override {
        const std::size_t take = n < room_ - length_ ? n : room_ - length_;
        if (take > 0) std::memset(buf_ + length_, c, take);
        length_ += take;
    }
    using Sink::Put;

    // Terminates the buffer (when it has room for the terminator) and returns the length.
    std::size_t Finish() {
        if (buf_ != nullptr) buf_[length_] = '\0';
        return length_;
    }

private:
    char* buf_;  // null when there is no room even for the terminator
    std::size_t room_;
    std::size_t length_ = 0;
};

class StringSink : public Sink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    void Put(const char* s, std::size_t n) override { out_.append(s, n); }
    void Repeat(char c, std::size_t n) override { out_.append(n, c); }
    using Sink::Put;

private:
    std::string& out_;
};

// ---------------------------------------------------------------------------------------------
// Conversion specifications

enum class Length { kNone, kHH, kH, kL, kLL, kZ, kJ, kT, kBigL, kW, kI, kI32, kI64 };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alt = false;
    bool widthStar = false;
    int width = 0;
    bool hasPrecision = false;
    bool precisionStar = false;
    int precision = 0;
    Length length = Length::kNone;
    char conversion = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits, saturating at INT_MAX.
int ParseNumber(const char*& p) {
    int value = 0;
    while (IsDigit(*p)) {
        const int digit = *p - '0';
        value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
        ++p;
    }
    return value;
}

bool IsKnownConversion(char c) {
    return c != 0 && std::strchr("diuxXocspfFeEgGCS%", c) != nullptr;
}

// Parses the specification after '%'. On success `p` points past the conversion character. Fails
// when the format ends first or the conversion is not one we know; `p` then points at the
// character that stopped the parse.
bool ParseSpec(const char*& p, Spec& spec) {
    for (;; ++p) {
        switch (*p) {
            case '-': spec.left = true; continue;
            case '+': spec.plus = true; continue;
            case ' ': spec.space = true; continue;
            case '0': spec.zero = true; continue;
            case '#': spec.alt = true; continue;
            default: break;
        }
        break;
    }
    if (*p == '*') {
        spec.widthStar = true;
        ++p;
    } else {
        spec.width = ParseNumber(p);
    }
    if (*p == '.') {
        ++p;
        spec.hasPrecision = true;
        if (*p == '*') {
            spec.precisionStar = true;
            ++p;
        } else {
            spec.precision = ParseNumber(p);
        }
    }
    switch (*p) {
        case 'h':
            ++p;
            if (*p == 'h') {
                ++p;
                spec.length = Length::kHH;
            } else {
                spec.length = Length::kH;
            }
            break;
        case 'l':
            ++p;
            if (*p == 'l') {
                ++p;
                spec.length = Length::kLL;
            } else {
                spec.length = Length::kL;
            }
            break;
        case 'z': ++p; spec.length = Length::kZ; break;
        case 'j': ++p; spec.length = Length::kJ; break;
        case 't': ++p; spec.length = Length::kT; break;
        case 'L': ++p; spec.length = Length::kBigL; break;
        case 'w': ++p; spec.length = Length::kW; break;
        case 'I':
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                spec.length = Length::kI64;
            } else if (p[0] == '3' && p[1] == '2') {
                p += 2;
                spec.length = Length::kI32;
            } else {
                spec.length = Length::kI;
            }
            break;
        default: break;
    }
    if (!IsKnownConversion(*p)) return false;
    spec.conversion = *p++;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Arguments

std::int64_t FetchSigned(Length length, std::va_list* ap) {
    switch (length) {
        case Length::kHH: return static_cast<signed char>(va_arg(*ap, int));
        case Length::kH: return static_cast<short>(va_arg(*ap, int));
        case Length::kL: return va_arg(*ap, long);
        case Length::kLL:
        case Length::kI64: return va_arg(*ap, long long);
        case Length::kZ:
        case Length::kT: return va_arg(*ap, std::ptrdiff_t);
        case Length::kJ: return static_cast<std::int64_t>(va_arg(*ap, std::intmax_t));
        case Length::kI: return va_arg(*ap, std::intptr_t);
        default: return va_arg(*ap, int);
    }
}

std::uint64_t FetchUnsigned(Length length, std::va_list* ap) {
    switch (length) {
        case Length::kHH: return static_cast<unsigned char>(va_arg(*ap, unsigned int));
        case Length::kH: return static_cast<unsigned short>(va_arg(*ap, unsigned int));
        case Length::kL: return va_arg(*ap, unsigned long);
        case Length::kLL:
        case Length::kI64: return va_arg(*ap, unsigned long long);
        case Length::kZ:
        case Length::kT: return va_arg(*ap, std::size_t);
        case Length::kJ: return static_cast<std::uint64_t>(va_arg(*ap, std::uintmax_t));
        case Length::kI: return va_arg(*ap, std::uintptr_t);
        default: return va_arg(*ap, unsigned int);
    }
}

bool IsWide(const Spec& spec) {
    if (spec.conversion == 'S' || spec.conversion == 'C') return spec.length != Length::kH;
    return spec.length == Length::kL || spec.length == Length::kW;
}

// ---------------------------------------------------------------------------------------------
// Field layout: [spaces] prefix [zeros] body... [spaces]

struct Field {
    std::string_view prefix;     // sign, "0x"
    std::size_t zeros = 0;       // between prefix and body
    std::string_view parts[4];   // body pieces, with zero runs between them
    std::size_t runs[4] = {};    // zeros after each body piece

    std::size_t Size() const {
        std::size_t n = prefix.size() + zeros;
        for (int i = 0; i < 4; ++i) n += parts[i].size() + runs[i];
        return n;
    }
};

// Writes the field padded to the width; `zeroPad` fills the width with zeros after the prefix.
void Emit(Sink& out, const Spec& spec, const Field& field, bool zeroPad) {
    const std::size_t size = field.Size();
    const std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    const std::size_t pad = width > size ? width - size : 0;
    if (!spec.left && !zeroPad) out.Repeat(' ', pad);
    out.Put(field.prefix);
    out.Repeat('0', field.zeros + (!spec.left && zeroPad ? pad : 0));
    for (int i = 0; i < 4; ++i) {
        out.Put(field.parts[i]);
        out.Repeat('0', field.runs[i]);
    }
    if (spec.left) out.Repeat(' ', pad);
}

void EmitText(Sink& out, const Spec& spec, std::string_view text) {
    Field field;
    field.parts[0] = text;
    Emit(out, spec, field, false);
}

// ---------------------------------------------------------------------------------------------
// Integers

void FormatInteger(Sink& out, const Spec& spec, std::va_list* ap) {
    const char c = spec.conversion;
    const bool isSigned = c == 'd' || c == 'i';
    bool negative = false;
    std::uint64_t magnitude;
    if (isSigned) {
        const std::int64_t value = FetchSigned(spec.length, ap);
        negative = value < 0;
        magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    } else {
        magnitude = FetchUnsigned(spec.length, ap);
    }

    const unsigned base = (c == 'x' || c == 'X') ? 16 : (c == 'o' ? 8 : 10);
    const char* digitSet = c == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    std::size_t count = 0;
    for (std::uint64_t v = magnitude; v != 0; v /= base) digits[sizeof(digits) - 1 - count++] = digitSet[v % base];
    if (magnitude == 0 && !(spec.hasPrecision && spec.precision == 0)) digits[sizeof(digits) - 1 - count++] = '0';

    Field field;
    field.parts[0] = std::string_view(digits + sizeof(digits) - count, count);
    const std::size_t precision = spec.hasPrecision ? static_cast<std::size_t>(spec.precision) : 1;
    field.zeros = precision > count ? precision - count : 0;

    if (isSigned) {
        field.prefix = negative ? "-" : (spec.plus ? "+" : (spec.space ? " " : ""));
    } else if (base == 16 && spec.alt && magnitude != 0) {
        field.prefix = c == 'X' ? "0X" : "0x";
    } else if (base == 8 && spec.alt && field.zeros == 0 && (count == 0 || field.parts[0][0] != '0')) {
        field.zeros = 1;
    }
    Emit(out, spec, field, spec.zero && !spec.hasPrecision);
}

void FormatPointer(Sink& out, const Spec& spec, std::va_list* ap) {
    auto value = reinterpret_cast<std::uintptr_t>(va_arg(*ap, void*));
    char digits[2 * sizeof(void*)];
    for (std::size_t i = sizeof(digits); i-- > 0; value >>= 4) digits[i] = "0123456789ABCDEF"[value & 0xF];
    EmitText(out, spec, std::string_view(digits, sizeof(digits)));
}

// ---------------------------------------------------------------------------------------------
// Strings and characters

constexpr std::string_view kNull = "(null)";

void FormatString(Sink& out, const Spec& spec, std::va_list* ap) {
    const std::size_t limit = spec.hasPrecision ? static_cast<std::size_t>(spec.precision) : SIZE_MAX;
    if (IsWide(spec)) {
        const char16_t* s = va_arg(*ap, const char16_t*);
        std::string text = s == nullptr ? std::string(kNull) : ToAnsi(std::u16string_view(s, LengthBounded(s, limit)));
        if (text.size() > limit) text.resize(limit);
        EmitText(out, spec, text);
    } else {
        const char* s = va_arg(*ap, const char*);
        std::string_view text = s == nullptr ? kNull : std::string_view(s, LengthBounded(s, limit));
        EmitText(out, spec, text.substr(0, limit));
    }
}

void FormatChar(Sink& out, const Spec& spec, std::va_list* ap) {
    const int value = va_arg(*ap, int);
    if (IsWide(spec)) {
        const char16_t unit = static_cast<char16_t>(value);
        EmitText(out, spec, ToAnsi(std::u16string_view(&unit, 1)));
    } else {
        const char byte = static_cast<char>(static_cast<unsigned char>(value));
        EmitText(out, spec, std::string_view(&byte, 1));
    }
}

// ---------------------------------------------------------------------------------------------
// Floating point: exact decimal expansion of the binary value, then decimal rounding.

// Unsigned big integer, 32-bit limbs, least significant first.
class BigUint {
public:
    explicit BigUint(std::uint64_t value) {
        while (value != 0) {
            limbs_.push_back(static_cast<std::uint32_t>(value));
            value >>= 32;
        }
    }
    bool IsZero() const { return limbs_.empty(); }
    void Multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : limbs_) {
            const std::uint64_t t = static_cast<std::uint64_t>(limb) * factor + carry;
            limb = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    }
    void ShiftLeft(unsigned bits) {
        if (IsZero()) return;
        const unsigned words = bits / 32;
        const unsigned rest = bits % 32;
        if (rest != 0) {
            std::uint32_t carry = 0;
            for (std::uint32_t& limb : limbs_) {
                const std::uint32_t next = limb >> (32 - rest);
                limb = (limb << rest) | carry;
                carry = next;
            }
            if (carry != 0) limbs_.push_back(carry);
        }
        limbs_.insert(limbs_.begin(), words, 0);
    }
    // Divides in place and returns the remainder.
    std::uint32_t Divide(std::uint32_t divisor) {
        std::uint64_t remainder = 0;
        for (std::size_t i = limbs_.size(); i-- > 0;) {
            const std::uint64_t current = (remainder << 32) | limbs_[i];
            limbs_[i] = static_cast<std::uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
        return static_cast<std::uint32_t>(remainder);
    }
    std::string ToDecimal() {
        std::vector<std::uint32_t> chunks;  // base 10^9, least significant first
        while (!IsZero()) chunks.push_back(Divide(1000000000u));
        std::string out;
        for (std::size_t i = chunks.size(); i-- > 0;) {
            char buf[10];
            std::uint32_t v = chunks[i];
            int n = 0;
            do {
                buf[n++] = static_cast<char>('0' + v % 10);
                v /= 10;
            } while (v != 0);
            if (i + 1 != chunks.size()) out.append(static_cast<std::size_t>(9 - n), '0');
            while (n > 0) out.push_back(buf[--n]);
        }
        return out;
    }

private:
    std::vector<std::uint32_t> limbs_;
};

// value = 0.digits x 10^point; digits has no leading or trailing zeros; empty means zero.
struct Decimal {
    std::string digits;
    long long point = 0;

    char At(long long index) const {
        return index >= 0 && index < static_cast<long long>(digits.size()) ? digits[static_cast<std::size_t>(index)]
                                                                           : '0';
    }
    bool IsZero() const { return digits.empty(); }
};

// Exact decimal form of a finite, non-negative double.
Decimal Expand(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    const int exponentField = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent;
    if (exponentField == 0) {
        exponent = -1074;
    } else {
        mantissa |= std::uint64_t{1} << 52;
        exponent = exponentField - 1075;
    }
    Decimal out;
    if (mantissa == 0) return out;
    while ((mantissa & 1) == 0 && exponent < 0) {
        mantissa >>= 1;
        ++exponent;
    }
    BigUint n(mantissa);
    long long fractionDigits = 0;
    if (exponent >= 0) {
        n.ShiftLeft(static_cast<unsigned>(exponent));
    } else {
        // m / 2^k = m * 5^k / 10^k
        int k = -exponent;
        fractionDigits = k;
        for (; k >= 13; k -= 13) n.Multiply(1220703125u);  // 5^13
        for (; k > 0; --k) n.Multiply(5);
    }
    out.digits = n.ToDecimal();
    out.point = static_cast<long long>(out.digits.size()) - fractionDigits;
    while (!out.digits.empty() && out.digits.back() == '0') out.digits.pop_back();
    return out;
}

// Keeps the first `keep` significant digits, rounding half to even.
void Round(Decimal& d, long long keep) {
    if (d.IsZero() || keep >= static_cast<long long>(d.digits.size())) return;
    if (keep < 0) {
        d.digits.clear();
        d.point = 0;
        return;
    }
    const auto k = static_cast<std::size_t>(keep);
    bool up;
    if (d.digits[k] != '5') {
        up = d.digits[k] > '5';
    } else if (k + 1 < d.digits.size()) {
        up = true;  // no trailing zeros are stored, so anything after the 5 is non-zero
    } else {
        up = k > 0 && ((d.digits[k - 1] - '0') & 1) != 0;
    }
    d.digits.resize(k);
    if (up) {
        std::size_t i = k;
        while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        } else {
            ++d.digits[i - 1];
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.point = 0;
}

// Digits of d from index `from` for `count` positions: the stored ones go into `text`, the rest
// are zeros counted in the result.
std::size_t TakeDigits(const Decimal& d, long long from, std::size_t count, std::string& text) {
    const long long stored = static_cast<long long>(d.digits.size()) - from;
    const std::size_t explicitCount = stored <= 0 ? 0 : (static_cast<std::uint64_t>(stored) < count ? static_cast<std::size_t>(stored) : count);
    for (std::size_t i = 0; i < explicitCount; ++i) text.push_back(d.At(from + static_cast<long long>(i)));
    return count - explicitCount;
}

void FormatFloat(Sink& out, const Spec& spec, std::va_list* ap) {
    const double value =
        spec.length == Length::kBigL ? static_cast<double>(va_arg(*ap, long double)) : va_arg(*ap, double);
    const char c = spec.conversion;
    const bool upper = c == 'F' || c == 'E' || c == 'G';
    const char* sign = std::signbit(value) ? "-" : (spec.plus ? "+" : (spec.space ? " " : ""));

    Field field;
    field.prefix = sign;
    if (!std::isfinite(value)) {
        field.parts[0] = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        Emit(out, spec, field, false);
        return;
    }

    Decimal d = Expand(std::fabs(value));
    const long long requested = spec.hasPrecision ? spec.precision : 6;
    bool exponential = c == 'e' || c == 'E';
    long long precision = requested;  // digits after the point
    const bool general = c == 'g' || c == 'G';
    if (general) {
        const long long significant = requested == 0 ? 1 : requested;
        Round(d, significant);
        const long long x = d.IsZero() ? 0 : d.point - 1;
        exponential = !(x < significant && x >= -4);
        precision = exponential ? significant - 1 : significant - 1 - x;
    }

    std::string integerText;
    std::string fractionText;
    std::size_t integerZeros = 0;
    std::size_t fractionZeros;
    long long exponent = 0;
    if (exponential) {
        Round(d, precision + 1);
        exponent = d.IsZero() ? 0 : d.point - 1;
        integerText.push_back(d.At(0));
        fractionZeros = TakeDigits(d, 1, static_cast<std::size_t>(precision), fractionText);
    } else {
        Round(d, d.point + precision);
        if (d.IsZero() || d.point <= 0) {
            integerText = "0";
        } else {
            integerZeros = TakeDigits(d, 0, static_cast<std::size_t>(d.point), integerText);
        }
        fractionZeros = TakeDigits(d, d.point, static_cast<std::size_t>(precision), fractionText);
    }
    if (general && !spec.alt) {
        fractionZeros = 0;
        while (!fractionText.empty() && fractionText.back() == '0') fractionText.pop_back();
    }
    const bool showPoint = !fractionText.empty() || fractionZeros > 0 || spec.alt;

    std::string exponentText;
    if (exponential) {
        exponentText.push_back(upper ? 'E' : 'e');
        exponentText.push_back(exponent < 0 ? '-' : '+');
        const long long magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) exponentText.push_back('0');
        exponentText += std::to_string(magnitude);
    }

    field.parts[0] = integerText;
    field.runs[0] = integerZeros;
    field.parts[1] = showPoint ? "." : "";
    field.parts[2] = fractionText;
    field.runs[2] = fractionZeros;
    field.parts[3] = exponentText;
    Emit(out, spec, field, spec.zero);
}

// ---------------------------------------------------------------------------------------------

void Run(Sink& out, const char* fmt, std::va_list* ap) {
    if (fmt == nullptr) return;
    const char* p = fmt;
    while (*p != '\0') {
        if (*p != '%') {
            const char* start = p;
            while (*p != '\0' && *p != '%') ++p;
            out.Put(start, static_cast<std::size_t>(p - start));
            continue;
        }
        const char* start = p++;
        Spec spec;
        if (!ParseSpec(p, spec)) {
            // Literal: the text up to and including the character that is not understood.
            if (*p != '\0') ++p;
            out.Put(start, static_cast<std::size_t>(p - start));
            continue;
        }
        if (spec.conversion == '%') {
            out.Put('%');
            continue;
        }
        if (spec.widthStar) {
            const int width = va_arg(*ap, int);
            if (width < 0) {
                spec.left = true;
                spec.width = width == INT_MIN ? INT_MAX : -width;
            } else {
                spec.width = width;
            }
        }
        if (spec.precisionStar) {
            const int precision = va_arg(*ap, int);
            spec.hasPrecision = precision >= 0;
            spec.precision = precision >= 0 ? precision : 0;
        }
        switch (spec.conversion) {
            case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': FormatInteger(out, spec, ap); break;
            case 'p': FormatPointer(out, spec, ap); break;
            case 's': case 'S': FormatString(out, spec, ap); break;
            case 'c': case 'C': FormatChar(out, spec, ap); break;
            default: FormatFloat(out, spec, ap); break;
        }
    }
}

int ClampToInt(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

}  // namespace

int FormatBoundedV(char* buf, std::size_t cap, const char* fmt, std::va_list args) {
    BoundedSink sink(buf, cap);
    std::va_list ap;
    va_copy(ap, args);
    Run(sink, fmt, &ap);
    va_end(ap);
    return ClampToInt(sink.Finish());
}

int FormatBounded(char* buf, std::size_t cap, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const int n = FormatBoundedV(buf, cap, fmt, args);
    va_end(args);
    return n;
}

std::string FormatV(const char* fmt, std::va_list args) {
    std::string out;
    StringSink sink(out);
    std::va_list ap;
    va_copy(ap, args);
    Run(sink, fmt, &ap);
    va_end(ap);
    return out;
}

std::string Format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

void AppendFormat(std::string& out, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    StringSink sink(out);
    std::va_list ap;
    va_copy(ap, args);
    Run(sink, fmt, &ap);
    va_end(ap);
    va_end(args);
}

}  // namespace quarro::text
