#include "platform/recording_prompt.h"

#include <filesystem>
#include <fstream>

#include "platform/utf8.h"

namespace quarro::platform {

int DefaultAnswer(std::uint32_t style) {
    const bool secondIsDefault = (style & 0xF00) == kMbDefButton2;
    switch (style & 0xF) {
    case kMbYesNo: return secondIsDefault ? kIdNo : kIdYes;
    case 0x1: return secondIsDefault ? kIdCancel : kIdOk;  // MB_OKCANCEL
    default: return kIdOk;
    }
}

int RecordingPrompt::ShowMessage(WindowHandle, const char16_t* text, const char16_t* caption, std::uint32_t style) {
    std::string line = Utf16ToUtf8(caption ? caption : u"") + "\t" + std::to_string(style) + "\t";
    for (char c : Utf16ToUtf8(text ? text : u"")) {
        if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    std::ofstream log(std::filesystem::u8path(logPath_), std::ios::app | std::ios::binary);
    log << line << "\n";
    return DefaultAnswer(style);
}

}  // namespace quarro::platform
