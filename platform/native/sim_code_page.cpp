// The simulated machine's ANSI code page as the native build's code-page concern: the code page
// a Windows in the run's language has (QUARRO_LANGUAGE, as for the string tables): 932 for
// Japanese, 1252 otherwise.
#include <cstdlib>
#include <cstring>

#include "platform/concerns.h"
#include "platform/native/code_page_932.h"
#include "platform/sim/code_page_1252.h"

namespace quarro::platform::sim {

std::shared_ptr<ICodePage> MakeSimCodePage(const MachineSnapshot*, std::string*) {
    const char* language = std::getenv("QUARRO_LANGUAGE");
    if (language && std::strcmp(language, "ja") == 0) return std::make_shared<CodePage932>();
    return std::make_shared<CodePage1252>();
}

}  // namespace quarro::platform::sim
