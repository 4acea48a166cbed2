// A list module used only by tests: it shows what the viewer handed it (tab index, smart-id
// flag, whether a session came) and then numbered rows, so that the host's loading, ordering and
// report rules can be checked without the real tabs. Variants are chosen at build time:
//   TEST_MODULE_NAME   text put in every row
//   TEST_ROWS          rows after the three record rows
//   TEST_LONG_ROWS     rows long enough that the text needs several 102400-byte chunks
//   TEST_REFUSE        InitTabDLL returns 0
//   TEST_NO_COMMAND    the module lacks the CommandMessage export
#include <string>

#include "common/format.h"
#include "common/text.h"
#include "tabframe/list_module.h"

namespace {

const tabframe::ListColumnSpec kColumns[] = {{3, 200, "%-92s ", 260}, {4, 90, "%-16s\r\n", 50}};

[[maybe_unused]] std::u16string Text(const std::string& s) { return quarro::text::FromUtf8(s); }

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

tabframe::ListModule theModule({u"FacetTest", kColumns, 2, &BuildRows, nullptr});

}  // namespace

#ifdef TEST_NO_COMMAND
extern "C" QUARRO_EXPORT int QUARRO_STDCALL SetupPropertyPage(PropSheetPageHandle* out) { return theModule.SetupPropertyPage(out); }
extern "C" QUARRO_EXPORT int QUARRO_STDCALL InitTabDLL(const TabInitRecord* record) { return theModule.InitTabDLL(record); }
extern "C" QUARRO_EXPORT int QUARRO_STDCALL TermTabDLL() { return theModule.TermTabDLL(); }
extern "C" QUARRO_EXPORT int QUARRO_STDCALL GetStringData(int chunk, char* buffer, int size, int sep) {
    return theModule.GetStringData(chunk, buffer, size, sep);
}
#else
QUARRO_LIST_MODULE_EXPORTS(theModule)
#endif
