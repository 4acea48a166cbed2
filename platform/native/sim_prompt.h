// Message boxes in the native build. Nobody sits at a simulated machine: every box is answered
// with its default button, and the boxes shown are kept for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/prompt.h"

namespace quarro::platform::sim {

class SimPrompt : public IPrompt {
public:
    struct Shown {
        std::u16string text;
        std::u16string caption;
        std::uint32_t style;
    };
    int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override;

    std::vector<Shown> shown;
    int answerOverride = 0;  // non-zero: the answer to give instead of the default button
};

}  // namespace quarro::platform::sim
