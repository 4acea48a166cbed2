#include "platform/native/sim_prompt.h"

#include "platform/concerns.h"
#include "platform/recording_prompt.h"

namespace quarro::platform::sim {

int SimPrompt::ShowMessage(WindowHandle, const char16_t* text, const char16_t* caption, std::uint32_t style) {
    shown.push_back({text ? text : u"", caption ? caption : u"", style});
    if (answerOverride != 0) return answerOverride;
    return DefaultAnswer(style);
}

std::shared_ptr<IPrompt> MakeSimPrompt(const MachineSnapshot*, std::string*) { return std::make_shared<SimPrompt>(); }

}  // namespace quarro::platform::sim
