// Facet03.dll: the "Programs2" tab: every program that is not Microsoft's, with the maker's own
// versions where its registry keys give them.
#include "common/win_version.h"
#include "platform/os_identity.h"
#include "tabframe/list_module.h"
#include "tabs/programs/programs_table.h"

namespace {

bool BuildRows(tabframe::ListTable& table, const TabInitRecord&) {
    const CWinVersion windows;
    const bool amd64 = windows.SystemInfo.processorArchitecture == quarro::platform::kProcessorArchitectureAmd64;
    programs_tab::FillProgramRows(table, programs_tab::Programs::kOthers, amd64);
    return true;
}

tabframe::ListModule theModule(u"Facet03", programs_tab::kPrograms2Columns, &BuildRows);

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
