// The viewer natively: the same start-up and report run against the simulated notebook. The
// arguments are joined into one command line, as Windows hands it to the program.
//
// Natively the snapshot is the whole machine, so a snapshot that does not load leaves nothing to
// report on: the program says why on stderr and ends with status 2 instead of writing a report
// of an empty machine.
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
        return 2;
    }
    CAlmanacApp app(AppEnvironment{});
    app.InitInstance(quarro::text::FromUtf8(line));
    return 0;
}
