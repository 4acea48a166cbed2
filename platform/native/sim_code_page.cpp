// The simulated machine's ANSI code page as the native build's code-page concern.
#include "platform/concerns.h"
#include "platform/sim/code_page_1252.h"

namespace quarro::platform::sim {

std::shared_ptr<ICodePage> MakeSimCodePage(const MachineSnapshot*, std::string*) {
    return std::make_shared<CodePage1252>();
}

}  // namespace quarro::platform::sim
