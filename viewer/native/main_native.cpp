// The viewer natively: the same start-up and report run against the simulated notebook. The
// arguments are joined into one command line, as Windows hands it to the program.
#include <cstdio>
#include <string>

#include "common/text.h"
#include "platform/platform.h"
#include "viewer/app.h"

int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    if (!quarro::platform::MachineLoadError().empty()) {
        std::fprintf(stderr, "Almanac: %s\n", quarro::platform::MachineLoadError().c_str());
    }
    CAlmanacApp app(AppEnvironment{});
    app.InitInstance(quarro::text::FromUtf8(line));
    return 0;
}
