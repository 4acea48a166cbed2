#include "tabframe/list_module.h"

#include "common/module_strings.h"
#include "tabframe/column_widths.h"

namespace tabframe {

#if !defined(_WIN32)
IListPage* CreateListPage(ListModule&) { return nullptr; }
#endif

int ListModule::SetupPropertyPage(PropSheetPageHandle* out) {
    if (!out) return -1;
    *out = nullptr;
    if (!page_) {
        if (!spec_.createPage) return -2;
        page_.reset(spec_.createPage(*this));
        if (!page_) return -2;
    }
    *out = page_->CreateSheetPage();
    return *out ? 1 : -3;
}

int ListModule::InitTabDLL(const TabInitRecord* record) {
    record_ = record ? *record : TabInitRecord{};
    auto table = ListTable::Create(spec_.columns, spec_.columnCount);
    if (!table) return 0;
    for (int c = 0; c < spec_.columnCount; ++c) {
        table->SetTitle(c, quarro::resources::LoadModuleString(spec_.columns[c].titleStringId).c_str());
    }
    if (spec_.buildRows && !spec_.buildRows(*table, record_)) return 0;
    table_ = std::move(table);
    resumeIndex_ = 0;
    return 1;
}

int ListModule::TermTabDLL() {
    table_.reset();
    page_.reset();
    resumeIndex_ = 0;
    return 1;
}

int ListModule::GetStringData(int chunk, char* buffer, int size, int separator) {
    const ListReportSource source{table_.get(), spec_.columns,
                                  quarro::resources::LoadModuleStringAnsi(kSectionHeadStringId)};
    return ListGetStringData(source, resumeIndex_, chunk, buffer, size, separator);
}

int ListModule::CommandMessage(int code) {
    switch (code) {
    case kTabCommandSaveBegin: saving_ = 1; break;
    case kTabCommandSaveEnd: saving_ = 0; break;
    case kTabCommandClosedWithOk:
        if (page_ && table_) {
            std::vector<int> widths;
            if (page_->ColumnWidths(table_->ColumnCount(), &widths)) StoreColumnWidths(spec_.moduleName, widths);
        }
        break;
    default: break;
    }
    return 1;
}

}  // namespace tabframe
