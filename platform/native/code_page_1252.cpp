#include "platform/native/code_page_1252.h"

#include "platform/concerns.h"

namespace quarro::platform::sim {

namespace {

// Bytes 80-9F. The undefined bytes carry the C1 control of their own value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr unsigned char kDefaultChar = '?';

}  // namespace

char16_t CodePage1252::ByteToUnit(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

unsigned char CodePage1252::UnitToByte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) return static_cast<unsigned char>(0x80 + i);
    }
    return kDefaultChar;
}

std::string CodePage1252::WideToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) out.push_back(static_cast<char>(UnitToByte(unit)));
    return out;
}

std::u16string CodePage1252::AnsiToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char byte : text) out.push_back(ByteToUnit(static_cast<unsigned char>(byte)));
    return out;
}

std::shared_ptr<ICodePage> MakeSimCodePage(const MachineSnapshot*, std::string*) {
    return std::make_shared<CodePage1252>();
}

}  // namespace quarro::platform::sim
