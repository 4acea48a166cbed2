// The text report: its header, the loop that collects the module texts chunk by chunk, the
// unattended report run, the core of the interactive save, and the appending of the watch
// service's logs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/command_line.h"
#include "viewer/tab.h"

// The product line ("Quarro", a blank and the installed "Version") and the maker line ("Mirelta
// Corporation", " (C) " and the "CopyrightYear"), as wide text. A value that does not read adds
// nothing; one that reads empty still adds its blank or " (C) ".
std::u16string ProductLine();
std::u16string MakerLine();

// The header bytes: rule, product line, maker line, rule, two empty lines; ANSI, CR LF.
std::string ReportHeader(const std::u16string& productLine, const std::u16string& makerLine);

// SaveReport results.
inline constexpr int kSaveCancelled = -100;
inline constexpr int kSaveNoBuffer = -101;
inline constexpr int kSaveNoFile = -102;

// The interactive save after the file was chosen: clears a read-only attribute, brackets the
// writing with CommandMessage(1)/(2) to the modules of the range, writes header and texts, and
// appends the service logs for a full save when the service ran at start. 0, -101 or -102.
int SaveReportToFile(const std::u16string& path, const std::vector<CTab*>& range, bool allPages,
                     std::uint32_t serviceStateAtStart);

// The unattended report run ("/OUTPUTLOG").
void WriteReportRun(const ReportSwitches& switches, bool smartIdNames);

// Appends the log files of the previous and the current month found in "Log" beside the program.
// 1 when the report file could be opened for appending, else 0.
int AppendServiceLogs(const std::u16string& reportPath);
