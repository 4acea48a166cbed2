// The prompt concern on Windows: MessageBoxW.
#include "platform/concerns.h"
#include "platform/prompt.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

class Win32Prompt : public IPrompt {
public:
    int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override {
        return ::MessageBoxW(reinterpret_cast<HWND>(owner), W(text), W(caption), style);
    }
};

}  // namespace

std::shared_ptr<IPrompt> MakeWin32Prompt() { return std::make_shared<Win32Prompt>(); }

}  // namespace quarro::platform::win32
