// The process's ANSI code page (CP_ACP) through WideCharToMultiByte / MultiByteToWideChar.
//
// Unmappable characters become the code page's default character without best-fit substitution
// (WC_NO_BEST_FIT_CHARS), matching the simulated code page; see platform/code_page.h. When the
// ANSI code page is UTF-8 (the Windows 10 option "use Unicode UTF-8 for worldwide language
// support"), that flag is not allowed and every character has a form anyway, so no flag is passed.
#include <climits>

#include "platform/code_page.h"
#include "platform/concerns.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

// The Win32 calls take int lengths; longer input is converted up to that limit.
int ClampLength(std::size_t size) { return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size); }

DWORD WideToAnsiFlags() { return GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS; }

class CodePageWin32 : public ICodePage {
public:
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view text) override;
};

}  // namespace

std::string CodePageWin32::WideToAnsi(std::u16string_view text) {
    const int units = ClampLength(text.size());
    if (units == 0) return std::string();
    const wchar_t* source = W(text.data());
    const DWORD flags = WideToAnsiFlags();
    const int needed = WideCharToMultiByte(CP_ACP, flags, source, units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<std::size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_ACP, flags, source, units, &out[0], needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::u16string CodePageWin32::AnsiToWide(std::string_view text) {
    const int bytes = ClampLength(text.size());
    if (bytes == 0) return std::u16string();
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    if (needed <= 0) return std::u16string();
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, W(&out[0]), needed);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::shared_ptr<ICodePage> MakeWin32CodePage() { return std::make_shared<CodePageWin32>(); }

}  // namespace quarro::platform::win32
