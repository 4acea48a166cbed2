#include "spindle/command_line.h"

namespace quarro::spindle {

namespace {

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return text;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::u16string>& args, Options* options, std::u16string* error) {
    *options = Options{};
    for (const std::u16string& arg : args) {
        const bool isSwitch = arg.size() > 1 && (arg[0] == u'/' || arg[0] == u'-');
        const std::u16string name = isSwitch ? Lower(arg.substr(1)) : std::u16string();
        const std::u16string machine = u"machine:";
        if (name == u"console") {
            options->console = true;
        } else if (name.compare(0, machine.size(), machine) == 0 && arg.size() > machine.size() + 1) {
            options->machineFolder = arg.substr(1 + machine.size());
        } else {
            *error = arg;
            return false;
        }
    }
    return true;
}

}  // namespace quarro::spindle
