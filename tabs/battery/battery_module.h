// Facet07.dll, the "Battery Status" tab: the module over the portable core (battery_core.h). It
// refuses set-up without a driver session or without a battery device, fixes the firmware path
// and the remaining-time switch once, refreshes on every report, and keeps the pause the viewer
// asks for around saves and suspends (CommandMessage 1, 100, 102 pause; 2, 101, 103 resume).
#pragma once

#include <memory>

#include "tabframe/tab_module.h"
#include "tabs/battery/battery_core.h"
#include "tabs/battery/session_firmware.h"

namespace battery_tab {

class BatteryModule : public tabframe::TabModule {
public:
    BatteryModule() : TabModule(u"Facet07") {}

    // Null before a successful InitTabDLL and after TermTabDLL.
    BatteryRefresh* Refresher() { return refresh_.get(); }
    const BatterySettings& Settings() const { return settings_; }
    const Texts& ModuleTexts() const { return texts_; }
    bool Paused() const { return paused_; }

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override;
    bool HasData() const override { return refresh_ != nullptr; }
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override;
    void OnCommand(int code) override;

private:
    Texts texts_;
    BatterySettings settings_;
    std::unique_ptr<SessionFirmware> firmware_;
    std::unique_ptr<BatteryWalk> walk_;
    std::unique_ptr<BatteryRefresh> refresh_;
    bool paused_ = false;
};

}  // namespace battery_tab
