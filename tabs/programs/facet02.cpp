// Facet02.dll: the "Programs1" tab: Microsoft's programs, then the installed updates.
#include "common/win_version.h"
#include "platform/os_identity.h"
#include "platform/platform.h"
#include "tabframe/list_module.h"
#include "tabs/programs/programs_table.h"

namespace {

bool BuildRows(tabframe::ListTable& table, const TabInitRecord&) {
    const CWinVersion windows;
    const bool amd64 = windows.SystemInfo.processorArchitecture == quarro::platform::kProcessorArchitectureAmd64;
    programs_tab::FillProgramRows(table, programs_tab::Programs::kMicrosoft, amd64);
    programs_tab::FillUpdateRows(table, quarro::platform::Hotfixes(), windows.OsType);
    return true;
}

tabframe::ListModule theModule(u"Facet02", programs_tab::kPrograms1Columns, &BuildRows);

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
