// Conversion between UTF-16 text and the 8-bit text of reports and logs, in the ANSI code page of
// the process (quarro::platform::CodePage(): the real one on Windows, Windows-1252 natively).
// Characters the code page cannot show become '?'.
#pragma once

#include <string>
#include <string_view>

namespace quarro::text {

std::string ToAnsi(std::u16string_view text);
std::string ToAnsi(const char16_t* text);  // null gives ""
std::u16string FromAnsi(std::string_view text);
std::u16string FromAnsi(const char* text);  // null gives u""

}  // namespace quarro::text
