// UTF-8 <-> UTF-16 conversion for the platform layer (snapshot files and paths are UTF-8).
// Malformed input becomes U+FFFD, one per maximal ill-formed subpart; unpaired surrogates
// become U+FFFD. common/text.h offers the same conversions to the programs.
#pragma once

#include <string>
#include <string_view>

namespace quarro::platform {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace quarro::platform
