// Facet01.dll: the "Drivers" tab. Its table needs the viewer's driver session: the versions are
// read through the driver's registry service.
#include "common/driver_reg.h"
#include "common/module_strings.h"
#include "platform/platform.h"
#include "tabframe/list_module.h"
#include "tabs/drivers/drivers_table.h"

namespace {

bool BuildRows(tabframe::ListTable& table, const TabInitRecord& record) {
    if (!record.Session) return false;
    CDriverReg versions(record.Session);
    char16_t unknown[260] = {};
    quarro::resources::LoadModuleString(drivers_tab::kUnknownStringId, unknown, 260);
    drivers_tab::FillDriverRows(table, quarro::platform::DeviceInventory(), versions, unknown);
    return true;
}

tabframe::ListModule theModule(u"Facet01", drivers_tab::kColumns, &BuildRows);

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
