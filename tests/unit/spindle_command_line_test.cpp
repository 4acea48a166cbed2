// Spindle.exe's command line: what starts a console server, what names a snapshot, what is refused.
#include <gtest/gtest.h>

#include "spindle/command_line.h"

namespace sp = quarro::spindle;

TEST(SpindleCommandLine, SwitchesAndRefusals) {
    struct Case {
        std::vector<std::u16string> args;
        bool ok;
        bool console;
        std::u16string folder;  // or the refused argument
    } const cases[] = {
        {{}, true, false, u""},
        {{u"/console"}, true, true, u""},
        {{u"-CONSOLE", u"/Machine:Z:\\m\\default"}, true, true, u"Z:\\m\\default"},
        {{u"/machine:C:\\snap shot"}, true, false, u"C:\\snap shot"},
        {{u"/machine:"}, false, false, u"/machine:"},
        {{u"/consol"}, false, false, u"/consol"},
        {{u"console"}, false, false, u"console"},
        {{u"/console", u"/"}, false, false, u"/"},
    };
    for (const Case& c : cases) {
        sp::Options options;
        std::u16string error;
        EXPECT_EQ(sp::ParseCommandLine(c.args, &options, &error), c.ok);
        if (c.ok) {
            EXPECT_EQ(options.console, c.console);
            EXPECT_EQ(options.machineFolder, c.folder);
        } else {
            EXPECT_EQ(error, c.folder);
        }
    }
}
