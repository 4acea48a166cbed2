#include "platform/native/code_page_932.h"

#include <iconv.h>

#include <cstddef>

namespace quarro::platform::sim {

namespace {

// One iconv conversion descriptor for the length of one call.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `size` bytes completely into `out` (at most `room` bytes); the bytes written, or
    // 0 when the input does not convert as a whole.
    std::size_t Convert(const char* in, std::size_t size, char* out, std::size_t room) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return 0;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        char* dst = out;
        std::size_t left = size, free = room;
        if (iconv(cd_, &src, &left, &dst, &free) == static_cast<std::size_t>(-1) || left != 0) return 0;
        return room - free;
    }

private:
    iconv_t cd_;
};

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

std::string CodePage932::WideToAnsi(std::u16string_view text) {
    Converter converter("CP932", "UTF-16LE");
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
            continue;
        }
        const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        char bytes[4];
        const std::size_t n = (unit >= 0xD800 && unit <= 0xDFFF) ? 0 : converter.Convert(in, 2, bytes, sizeof bytes);
        if (n == 0) {
            out.push_back('?');
        } else {
            out.append(bytes, n);
        }
    }
    return out;
}

std::u16string CodePage932::AnsiToWide(std::string_view text) {
    Converter converter("UTF-16LE", "CP932");
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        const std::size_t length = (IsLeadByte(b) && i + 1 < text.size()) ? 2 : 1;
        char units[4];
        if (converter.Convert(text.data() + i, length, units, sizeof units) == 2) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(units[0]) |
                                                (static_cast<unsigned char>(units[1]) << 8)));
        } else {
            out.push_back(u'?');
        }
        i += length;
    }
    return out;
}

}  // namespace quarro::platform::sim
