// The process's ANSI code page (CP_ACP) through WideCharToMultiByte / MultiByteToWideChar.
//
// Unmappable characters become the code page's default character without best-fit substitution
// (WC_NO_BEST_FIT_CHARS), matching the simulated code page; see platform/code_page.h. When the
// ANSI code page is UTF-8 (the Windows 10 option "use Unicode UTF-8 for worldwide language
// support"), that flag is not allowed and every character has a form anyway, so no flag is passed.
#pragma once

#include "platform/code_page.h"

namespace quarro::platform::win32 {

class CodePageWin32 : public ICodePage {
public:
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view text) override;
};

}  // namespace quarro::platform::win32
