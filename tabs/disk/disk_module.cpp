#include "tabs/disk/disk_module.h"

#include <new>

#include "common/reg.h"
#include "tabs/disk/disk_report.h"

namespace disk_tab {

bool AdvancedModeSet() {
    std::uint32_t value = 0;
    return CReg().ReadDword(quarro::platform::kHkeyLocalMachine, u"Software\\Mirelta\\Quarro", u"Hdd_AdvancedMode",
                            &value, 0) != 0 &&
           value == 1;
}

bool DiskModule::BuildData(const TabInitRecord& record) {
    data_.reset(new (std::nothrow) DiskData());
    if (!data_) return false;
    const DiskSources sources = sources_();
    data_->advancedMode = sources.advancedMode;
    data_->namedView = (record.SmartIdNames & 1) != 0;
    if (sources.volumes) data_->volumes = BuildVolumeTable(*sources.volumes, strings_(kIdsUnknown));
    if (sources.pipes && sources.clock) {
        FetchSmartSnapshot(*sources.pipes, *sources.clock, *data_, strings_(kIdsNotFound), sources.pipeAttempts);
    } else {
        data_->notFound = strings_(kIdsNotFound);
    }
    return true;
}

bool DiskModule::RefreshVolumes() {
    if (!data_ || Saving()) return false;
    const DiskSources sources = sources_();
    if (!sources.volumes) return false;
    disk_tab::RefreshVolumes(*sources.volumes, data_->volumes);
    return true;
}

tabframe::ReportStatus DiskModule::WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) {
    return WriteDiskReport(*data_, strings_, writer, resume);
}

}  // namespace disk_tab
