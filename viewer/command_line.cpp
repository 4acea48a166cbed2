#include "viewer/command_line.h"

#include "common/text.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

constexpr std::size_t kMaxFolderCharacters = 259;

// The position just after `name` in the upper-cased line, or npos.
std::size_t After(const std::u16string& upper, const char16_t* name) {
    const std::size_t at = upper.find(name);
    return at == std::u16string::npos ? at : at + quarro::text::Length(name);
}

char16_t ValueAt(const std::u16string& line, std::size_t position) {
    return position < line.size() ? line[position] : 0;
}

}  // namespace

CommandLine ParseCommandLine(const std::u16string& line) {
    const std::u16string upper = quarro::text::Upper(line);
    CommandLine result;
    result.firstLogin = upper.find(u"FIRSTLOGIN") != std::u16string::npos;
    result.smartIdNames = upper.find(u"/SMARTID_NAME") != std::u16string::npos;
    result.outputLog = upper.find(u"/OUTPUTLOG") != std::u16string::npos;

    std::size_t at = After(upper, u"/D:");
    if (at != std::u16string::npos) {
        const char16_t drive = ValueAt(line, at);
        if (drive >= u'A' && drive <= u'Z') result.report.drive = drive;
    }
    at = After(upper, u"/P:");
    if (at != std::u16string::npos && at < line.size()) {
        result.report.folder = line.substr(at, kMaxFolderCharacters);
    }
    at = After(upper, u"/S:");
    if (at != std::u16string::npos) {
        const char16_t value = ValueAt(line, at);
        result.report.separator = value == u'0' ? 0x09 : value == u'1' ? 0x2C : 0;
    }
    at = After(upper, u"/T:");
    if (at != std::u16string::npos) result.report.tab = ValueAt(line, at);
    return result;
}

std::u16string ReportFilePath(const ReportSwitches& switches) {
    if (!switches.folder.empty()) {
        std::u16string path = switches.folder;
        const char16_t last = path.back();
        if (last != u'\\' && last != pf::Files().Separator()) path += u'\\';
        return path + u"Sysnote.txt";
    }
    if (switches.drive != u'C') return std::u16string(1, switches.drive) + u":\\Sysnote.txt";
    std::u16string documents;
    if (!pf::Folders().GetKnownFolderPath(pf::KnownFolder::Documents, &documents) || documents.empty()) return {};
    return documents + u"\\Sysnote.txt";
}

int ReportPage(const ReportSwitches& switches, int moduleCount) {
    if (switches.tab >= u'0' && switches.tab <= u'9') {
        const int page = switches.tab - u'0';
        if (page < moduleCount) return page;
    }
    return -1;
}

bool ReportAppendsLogs(const ReportSwitches& switches) { return switches.tab == u'A'; }
