#include "tabframe/tab_module.h"

namespace tabframe {

PageMaker& ModulePageMaker() {
    static PageMaker maker = nullptr;
    return maker;
}

TabModule::~TabModule() = default;

ITabPage* TabModule::CreatePage() {
    const PageMaker maker = ModulePageMaker();
    return maker ? maker(*this) : nullptr;
}

int TabModule::SetupPropertyPage(PropSheetPageHandle* out) noexcept {
    if (!out) return -1;
    *out = nullptr;
    try {
        if (!page_) {
            page_.reset(CreatePage());
            if (!page_) return -2;
        }
        *out = page_->CreateSheetPage();
        return *out ? 1 : -3;
    } catch (...) {
        *out = nullptr;
        return -2;
    }
}

int TabModule::InitTabDLL(const TabInitRecord* record) noexcept {
    record_ = record ? *record : TabInitRecord{};
    resume_ = ReportResume{};
    try {
        ReleaseData();
        if (BuildData(record_)) return 1;
    } catch (...) {
    }
    try {
        ReleaseData();
    } catch (...) {
    }
    return 0;
}

void TabModule::Reset() noexcept {
    try {
        TerminateData();
    } catch (...) {
    }
    page_.reset();
    resume_ = ReportResume{};
}

int TabModule::TermTabDLL() noexcept {
    Reset();
    return 1;
}

int TabModule::GetStringData(int chunk, char* buffer, int size, int separator) noexcept {
    try {
        return RunReportCall(chunk, buffer, size, separator, HasData(), resume_,
                             [this](ReportWriter& writer, ReportResume& resume) { return WriteReport(writer, resume); });
    } catch (...) {
        return kTextNoTable;
    }
}

int TabModule::CommandMessage(int code) noexcept {
    try {
        switch (code) {
        case kTabCommandSaveBegin: saving_ = 1; break;
        case kTabCommandSaveEnd: saving_ = 0; break;
        case kTabCommandClosedWithOk:
            if (page_) {
                std::vector<ColumnWidth> widths;
                if (page_->ColumnWidths(&widths)) StoreColumnWidths(moduleName_, widths);
            }
            break;
        default: break;
        }
        OnCommand(code);
    } catch (...) {
    }
    return 1;
}

}  // namespace tabframe
