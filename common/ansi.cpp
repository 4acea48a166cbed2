#include "common/ansi.h"

#include "platform/platform.h"

namespace quarro::text {

std::string ToAnsi(std::u16string_view text) { return platform::CodePage().WideToAnsi(text); }

std::string ToAnsi(const char16_t* text) {
    return text == nullptr ? std::string() : ToAnsi(std::u16string_view(text));
}

std::u16string FromAnsi(std::string_view text) { return platform::CodePage().AnsiToWide(text); }

std::u16string FromAnsi(const char* text) {
    return text == nullptr ? std::u16string() : FromAnsi(std::string_view(text));
}

}  // namespace quarro::text
