#include "tabs/battery/battery_module.h"

#include "common/module_strings.h"
#include "common/reg.h"
#include "platform/battery.h"
#include "platform/platform.h"

namespace battery_tab {

namespace pf = quarro::platform;

namespace {

std::string ToAnsi(std::u16string_view text) { return pf::CodePage().WideToAnsi(text); }
pf::SystemTime LocalNow() { return pf::Clock().LocalNow(); }

// HKLM "Software\Mirelta\Quarro" "ModeSBC" reads as 1: the remaining time is shown.
bool ShowRemainingTime() {
    std::uint32_t value = 0;
    return CReg().ReadDword(pf::kHkeyLocalMachine, u"Software\\Mirelta\\Quarro", u"ModeSBC", &value,
                            pf::kKeyWow64_32Key) != 0 &&
           value == 1;
}

}  // namespace

bool BatteryModule::BuildData(const TabInitRecord& record) {
    if (!record.Session) return false;
    texts_ = {[](unsigned id) { return quarro::resources::LoadModuleString(id); },
              [](std::string_view ansi) { return pf::CodePage().AnsiToWide(ansi); }};
    BatteryWalk counter(pf::Batteries(), nullptr, BatterySettings{}, &LocalNow, &ToAnsi);
    if (counter.Run(WalkMode::kCount) == 0) return false;
    firmware_ = std::make_unique<SessionFirmware>(*record.Session);
    settings_ = ReadSettings(*firmware_, ShowRemainingTime());
    walk_ = std::make_unique<BatteryWalk>(pf::Batteries(), firmware_.get(), settings_, &LocalNow, &ToAnsi);
    refresh_ = std::make_unique<BatteryRefresh>(*walk_, MakeWalkThread());
    paused_ = false;
    return true;
}

void BatteryModule::ReleaseData() {
    refresh_.reset();
    walk_.reset();
    firmware_.reset();
}

tabframe::ReportStatus BatteryModule::WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume&) {
    refresh_->Refresh(WalkMode::kFull);
    writer.Append(ReportText(refresh_->Current(), settings_, writer.Separator(), texts_, &ToAnsi));
    return tabframe::ReportStatus::kComplete;
}

void BatteryModule::OnCommand(int code) {
    if (code == kTabCommandSaveBegin || code == kTabCommandPowerQuerySuspend || code == kTabCommandPowerSuspend) {
        paused_ = true;
    } else if (code == kTabCommandSaveEnd || code == kTabCommandPowerQuerySuspendFailed ||
               code == kTabCommandPowerResume) {
        paused_ = false;
    }
}

}  // namespace battery_tab

namespace {
battery_tab::BatteryModule theModule;
}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
