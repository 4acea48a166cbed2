// Facet06's module object: the collected StatusData behind the page and the report, and the
// timer's refresh. The page (Windows only) reads it through this class.
#pragma once

#include <memory>

#include "tabframe/tab_module.h"
#include "tabs/pcstatus/status_data.h"

namespace pcstatus {

class StatusModule : public tabframe::TabModule {
public:
    StatusModule() : TabModule(u"Facet06") {}

    const StatusData* Data() const { return data_.get(); }
    // The string table of the module.
    static std::u16string Text(std::uint32_t id);
    // One timer tick's work: the elapsed time, the AC adaptor state and the process list again.
    // Nothing while a save is running. False when there is no data.
    bool Refresh();

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override { data_.reset(); }
    bool HasData() const override { return data_ != nullptr; }
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override;

private:
    std::unique_ptr<StatusData> data_;
    StatusFacts facts_;
};

}  // namespace pcstatus
