#include "tabframe/list_module.h"

#include "common/module_strings.h"

namespace tabframe {

#if !defined(_WIN32)
ITabPage* CreateListPage(ListModule&) { return nullptr; }
#endif

bool ListModule::BuildData(const TabInitRecord& record) {
    auto table = ListTable::Create(columns_, columnCount_, capacity_);
    if (!table) return false;
    for (int c = 0; c < columnCount_; ++c) {
        table->SetTitle(c, quarro::resources::LoadModuleString(columns_[c].titleStringId).c_str());
    }
    if (buildRows_ && !buildRows_(*table, record)) return false;
    table_ = std::move(table);
    return true;
}

ReportStatus ListModule::WriteReport(ReportWriter& writer, ReportResume& resume) {
    const ListReportSource source{table_.get(), columns_,
                                  quarro::resources::LoadModuleStringAnsi(kSectionHeadStringId)};
    return WriteListReport(source, writer, resume);
}

ITabPage* ListModule::CreatePage() { return CreateListPage(*this); }

}  // namespace tabframe
