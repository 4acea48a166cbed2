// The "Hard Disk Status" tab module (Facet05): the data made once at set-up (the volume table and
// the S.M.A.R.T. snapshot from the server's pipe), its report, and what the page asks of it.
// The platform's volumes, pipe client and clock are passed in, so that the whole set-up runs
// natively in tests against simulated volumes, a scripted pipe and a clock that does not wait.
#pragma once

#include <memory>

#include "tabframe/tab_module.h"
#include "tabs/disk/disk_data.h"

namespace disk_tab {

// Where the module's set-up gets what it needs from the system.
struct DiskSources {
    quarro::platform::IVolumes* volumes;
    quarro::platform::IPipeClient* pipes;  // null: no pipe at all (nothing received)
    quarro::platform::IClock* clock;
    int pipeAttempts = kPipeAttempts;
    bool advancedMode = false;  // HKLM "Hdd_AdvancedMode" reads 1
};

class DiskModule : public tabframe::TabModule {
public:
    using SourceMaker = DiskSources (*)();
    DiskModule(SourceMaker sources, Strings strings)
        : TabModule(u"Facet05"), sources_(sources), strings_(std::move(strings)) {}

    // Null before InitTabDLL and after TermTabDLL.
    const DiskData* Data() const { return data_.get(); }
    const Strings& Text() const { return strings_; }
    // The page's refresh tick: reads the byte counts again unless a save is under way. False
    // when nothing was read.
    bool RefreshVolumes();

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override { data_.reset(); }
    bool HasData() const override { return data_ != nullptr; }
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override;

private:
    SourceMaker sources_;
    Strings strings_;
    std::unique_ptr<DiskData> data_;
};

// HKLM "Software\Mirelta\Quarro" "Hdd_AdvancedMode" (32-bit view) reads 1.
bool AdvancedModeSet();

}  // namespace disk_tab
