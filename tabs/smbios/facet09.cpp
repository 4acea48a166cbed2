// Facet09.dll: the "SMBIOS Data" tab. Its data needs no driver session: the table comes from the
// platform's raw-SMBIOS concern (WMI on Windows, the snapshot's smbios.bin when one is replayed).
#include "tabs/smbios/smbios_module.h"

namespace {
smbios::SmbiosModule theModule;
}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
