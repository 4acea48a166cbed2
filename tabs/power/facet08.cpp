// Facet08.dll: the "Power Options" tab. Its rows come from the power concern once, at set-up;
// the OS identity picks the way of collecting and, on the older systems, only members of the
// Administrators group see the scheme. The report has no row numbers (tabs/power/power_report.h).
#include "common/authority.h"
#include "common/module_strings.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "platform/power.h"
#include "tabframe/list_module.h"
#include "tabs/power/power_report.h"
#include "tabs/power/power_rows.h"

namespace {

bool CollectRows(tabframe::ListTable& table, const TabInitRecord&) {
    const CWinVersion version;
    power_tab::PowerFacts facts;
    facts.osType = version.OsType;
    if (power_tab::PathFor(facts.osType) == power_tab::OsPath::kOlder) {
        facts.administrator = CAuthority().IsAdministrator() != 0;
    }
    return power_tab::FillPowerRows(table, quarro::platform::Power(), facts,
                                    [](std::uint32_t id) { return quarro::resources::LoadModuleString(id); });
}

class PowerModule : public tabframe::ListModule {
public:
    PowerModule() : ListModule(u"Facet08", power_tab::kColumns, &CollectRows, power_tab::kRowCapacity) {}

protected:
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override {
        return power_tab::WritePowerReport(*Table(), quarro::resources::LoadModuleStringAnsi(power_tab::kSectionHead),
                                           writer, resume);
    }
};

PowerModule theModule;

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
