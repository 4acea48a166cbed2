// Unattended message boxes: when QUARRO_PROMPT_LOG names a file, no box is shown; each one is
// appended to that file as a line "caption<TAB>style<TAB>text" (UTF-8, line breaks of the text as
// "\n") and answered with its default button. Test runs and support replays use it; a real run
// without the variable shows real boxes.
#pragma once

#include <string>

#include "platform/prompt.h"

namespace quarro::platform {

// The answer a box gives when the user just presses Enter.
int DefaultAnswer(std::uint32_t style);

class RecordingPrompt : public IPrompt {
public:
    explicit RecordingPrompt(std::string logPath) : logPath_(std::move(logPath)) {}
    int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override;

private:
    std::string logPath_;
};

}  // namespace quarro::platform
