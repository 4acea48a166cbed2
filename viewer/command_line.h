// The viewer's command line. Switch names are found anywhere in an upper-cased copy of the line;
// the values after them are read from the line as it was typed.
#pragma once

#include <cstdint>
#include <string>

struct ReportSwitches {
    char16_t drive = u'C';      // "/D:": an upper-case letter; C means the Documents folder
    std::u16string folder;      // "/P:": the rest of the line, at most 259 characters
    int separator = 0;          // "/S:": 0 fixed layout, 0x09 tab, 0x2C comma
    char16_t tab = 0;           // "/T:": the character typed (a digit, 'A', or anything else)
};

struct CommandLine {
    bool firstLogin = false;    // "FIRSTLOGIN"
    bool smartIdNames = false;  // "/SMARTID_NAME"
    bool outputLog = false;     // "/OUTPUTLOG"
    ReportSwitches report;
};

CommandLine ParseCommandLine(const std::u16string& line);

// The target of the report run: the folder (a backslash added when it lacks one), the drive root,
// or the Documents folder; empty when the Documents folder cannot be found.
std::u16string ReportFilePath(const ReportSwitches& switches);

// "/T:": the page to write, or -1 for all pages.
int ReportPage(const ReportSwitches& switches, int moduleCount);
bool ReportAppendsLogs(const ReportSwitches& switches);
