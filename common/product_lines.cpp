#include "common/product_lines.h"

#include <optional>

#include "common/ansi.h"
#include "common/reg.h"

namespace quarro::product {

namespace {

// Each line is converted into at most 260 bytes (cut to fit).
std::string AnsiLine(const std::u16string& line) {
    std::string ansi = quarro::text::ToAnsi(line);
    if (ansi.size() > 259) ansi.resize(259);
    return ansi;
}

// An installer value of HKLM "Software\Mirelta\QUARRO" (default view); nothing when it does not
// read. A value that exists but is empty still counts: the lines then end in the bare separator.
std::optional<std::u16string> InstallerValue(const char16_t* name) {
    char16_t buffer[260] = {};
    std::uint32_t bytes = sizeof(buffer);
    if (!CReg().ReadString(platform::kHkeyLocalMachine, u"Software\\Mirelta\\QUARRO", name, buffer, &bytes, 0)) {
        return std::nullopt;
    }
    buffer[259] = 0;
    return std::u16string(buffer);
}

}  // namespace

std::u16string ProductLine(const std::u16string& productName) {
    std::u16string line = productName;
    if (const auto version = InstallerValue(u"Version")) line += u" " + *version;
    return line;
}

std::u16string MakerLine(const std::u16string& makerName) {
    std::u16string line = makerName;
    if (const auto year = InstallerValue(u"CopyrightYear")) line += u" (C) " + *year;
    return line;
}

std::string ProductAndMakerLines(const std::u16string& productLine, const std::u16string& makerLine) {
    return AnsiLine(productLine) + "\r\n" + AnsiLine(makerLine) + "\r\n";
}

}  // namespace quarro::product
