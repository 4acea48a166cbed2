// A list module used only by tests: it shows what the viewer handed it (tab index, smart-id
// flag, whether a session came) and then numbered rows, so that the host's loading, ordering and
// report rules can be checked without the real tabs. On Windows it has the frame's list page.
// Variants are chosen at build time:
//   TEST_MODULE_NAME   text put in every row, and the page title
//   TEST_ROWS          rows after the three record rows
//   TEST_LONG_ROWS     rows long enough that the text needs several 102400-byte chunks
//   TEST_REFUSE        InitTabDLL returns 0
//   TEST_NO_COMMAND    the module lacks the CommandMessage export
// At run time:
//   QUARRO_TEST_MODULE_LOG       file to which every call of the viewer is appended as a line
//                                "<name> <export> [<argument>]"
//   QUARRO_TEST_MODULE_DELAY_MS  InitTabDLL waits this long first (to catch the progress window)
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "common/format.h"
#include "common/text.h"
#include "tabframe/list_module.h"

namespace {

const tabframe::ListColumnSpec kColumns[] = {{3, 200, "%-92s ", 260}, {4, 90, "%-16s\r\n", 50}};

[[maybe_unused]] std::u16string Text(const std::string& s) { return quarro::text::FromUtf8(s); }

// One line per call into the log file named by QUARRO_TEST_MODULE_LOG (nothing without it).
void Log(const char* call, const std::string& argument = std::string()) {
    const char* path = std::getenv("QUARRO_TEST_MODULE_LOG");
    if (!path || !*path) return;
    std::ofstream log(path, std::ios::app | std::ios::binary);
    log << TEST_MODULE_NAME << ' ' << call;
    if (!argument.empty()) log << ' ' << argument;
    log << "\n";
}

void InitDelay() {
    const char* value = std::getenv("QUARRO_TEST_MODULE_DELAY_MS");
    const long ms = value ? std::strtol(value, nullptr, 10) : 0;
    if (ms > 0 && ms <= 10000) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool BuildRows(tabframe::ListTable& table, const TabInitRecord& record) {
#ifdef TEST_REFUSE
    (void)table;
    (void)record;
    return false;
#else
    const std::string name = TEST_MODULE_NAME;
    const std::pair<std::string, std::string> facts[] = {
        {name + " TabIndex", std::to_string(record.TabIndex)},
        {name + " SmartIdNames", std::to_string(record.SmartIdNames)},
        {name + " Session", record.Session ? "yes" : "no"},
    };
    for (const auto& fact : facts) {
        const int row = table.AppendRow();
        table.SetField(row, 0, Text(fact.first).c_str());
        table.SetField(row, 1, Text(fact.second).c_str());
    }
    for (int k = 1; k <= TEST_ROWS; ++k) {
        const int row = table.AppendRow();
        if (row < 0) break;
#ifdef TEST_LONG_ROWS
        const std::string text = name + " row " + std::to_string(k) + " " + std::string(240, 'x');
#else
        const std::string text = name + " row " + std::to_string(k);
#endif
        table.SetField(row, 0, Text(text).c_str());
        table.SetField(row, 1, Text(quarro::text::Format("%d.0", k)).c_str());
    }
    return true;
#endif
}

tabframe::ListModule theModule(u"FacetTest", kColumns, &BuildRows);

}  // namespace

// The frame's entry points with a line in the call log first (so no export macro here; the
// TEST_NO_COMMAND variant also lacks one export).
extern "C" QUARRO_EXPORT int QUARRO_STDCALL SetupPropertyPage(PropSheetPageHandle* out) {
    Log("SetupPropertyPage");
    return theModule.SetupPropertyPage(out);
}

extern "C" QUARRO_EXPORT int QUARRO_STDCALL InitTabDLL(const TabInitRecord* record) {
    InitDelay();
    const int result = theModule.InitTabDLL(record);
    Log("InitTabDLL", std::to_string(record ? record->TabIndex : -1) + " " + std::to_string(result));
    return result;
}

extern "C" QUARRO_EXPORT int QUARRO_STDCALL TermTabDLL() {
    Log("TermTabDLL");
    return theModule.TermTabDLL();
}

extern "C" QUARRO_EXPORT int QUARRO_STDCALL GetStringData(int chunk, char* buffer, int size, int sep) {
    Log("GetStringData", std::to_string(chunk));
    return theModule.GetStringData(chunk, buffer, size, sep);
}

#ifndef TEST_NO_COMMAND
extern "C" QUARRO_EXPORT int QUARRO_STDCALL CommandMessage(int code) {
    Log("CommandMessage", std::to_string(code));
    return theModule.CommandMessage(code);
}
#endif
