// Shift JIS as Windows code page 932, the ANSI code page of a Japanese Windows, for the native
// build run in Japanese (QUARRO_LANGUAGE=ja). Conversion goes through the C library's CP932
// table character by character, so that a character without bytes becomes '?' (the contract of
// platform/code_page.h) and never ends the conversion. A byte sequence the table does not know
// (a lead byte without a valid trail byte) becomes '?' the same way.
#pragma once

#include "platform/code_page.h"

namespace quarro::platform::sim {

class CodePage932 : public ICodePage {
public:
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view text) override;
};

}  // namespace quarro::platform::sim
