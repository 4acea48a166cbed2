// Windows-1252 (Western European), the ANSI code page of the simulated machine.
//
// Bytes 00-7F and A0-FF are the Unicode characters of the same value; 80-9F follow the Windows
// table (euro sign, typographic quotes, dashes, ...). The five bytes the code page leaves
// undefined (81, 8D, 8F, 90, 9D) map to the C1 control of the same value, as
// MultiByteToWideChar does, so every byte round-trips. Characters without a byte become '?'
// (see platform/code_page.h for why there is no best-fit substitution).
#pragma once

#include "platform/code_page.h"

namespace quarro::platform::sim {

class CodePage1252 : public ICodePage {
public:
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view text) override;

    // Single-unit forms of the two conversions.
    static char16_t ByteToUnit(unsigned char byte);
    // The byte for `unit`, or '?' when the code page has none.
    static unsigned char UnitToByte(char16_t unit);
};

}  // namespace quarro::platform::sim
