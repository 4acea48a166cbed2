// Facet04.dll: the "Setup" tab, the viewer's default start page. Its rows need the viewer's
// driver session: without one InitTabDLL fails. A session that cannot carry requests still gets
// a page, with the firmware rows left out or "Unknown".
#include "common/module_strings.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "platform/system_info.h"
#include "tabframe/list_module.h"
#include "tabs/setup/session_firmware.h"
#include "tabs/setup/setup_rows.h"

namespace {

namespace pf = quarro::platform;

constexpr char16_t kVersionDocPath[] = u"C:\\util\\version.doc";
constexpr std::size_t kVersionDocMaxBytes = 10 * 260;

setup_tab::SetupFacts GatherFacts() {
    setup_tab::SetupFacts facts;
    const CWinVersion version;
    facts.osKnown = version.OsType != CWinVersion::kUnknown;
    facts.osType = version.OsType;
    facts.productType = version.ProductType;
    facts.editionFlags = version.EditionFlags;
    facts.suiteMask = version.VersionInfo.suiteMask;
    facts.amd64 = version.SystemInfo.processorArchitecture == pf::kProcessorArchitectureAmd64;
    facts.servicePack = version.ServicePackText;
    pf::ISystemInfo& system = pf::SystemInformation();
    facts.uiLanguage = system.UserDefaultUiLanguage();
    if (!system.TotalPhysicalMemory(&facts.totalPhysicalBytes)) facts.totalPhysicalBytes = 0;
    facts.versionDocOpened = system.ReadTextFile(kVersionDocPath, kVersionDocMaxBytes, &facts.versionDoc);
    return facts;
}

bool BuildRows(tabframe::ListTable& table, const TabInitRecord& record) {
    if (!record.Session) return false;
    setup_tab::SessionFirmware firmware(*record.Session);
    setup_tab::FillSetupRows(
        table, &firmware, GatherFacts(), [](std::uint32_t id) { return quarro::resources::LoadModuleString(id); },
        [](std::string_view text) { return pf::CodePage().AnsiToWide(text); });
    return true;
}

tabframe::ListModule theModule(u"Facet04", setup_tab::kColumns, &BuildRows, setup_tab::kRowCapacity);

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
