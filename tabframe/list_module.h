// ListModule: the tab module of a list tab (Drivers, Programs1, Programs2, ...): a table of rows
// built once in InitTabDLL, the frame's list page (CFacetDlg on the module's template 129) and the
// list report. A list module is its columns and a function that fills the rows:
//
//     bool BuildRows(tabframe::ListTable& table, const TabInitRecord& record) { ...; return true; }
//     tabframe::ListModule theModule(u"Facet02", kColumns, &BuildRows);
//     QUARRO_TAB_MODULE_EXPORTS(theModule)
//
// Its resource script names the page and includes tabframe/win32/list_page.rc; string 5 of the
// module is the report's section head.
#pragma once

#include <memory>

#include "tabframe/list_report.h"
#include "tabframe/list_table.h"
#include "tabframe/tab_module.h"

namespace tabframe {

// String-table ids every list module has.
inline constexpr unsigned kSectionHeadStringId = 5;

class ListModule : public TabModule {
public:
    // Fills the rows; false when the table cannot be built (InitTabDLL then returns 0).
    using BuildRows = bool (*)(ListTable& table, const TabInitRecord& record);

    ListModule(const char16_t* moduleName, const ListColumnSpec* columns, int columnCount, BuildRows buildRows,
               int capacity = ListTable::kCapacity)
        : TabModule(moduleName), columns_(columns), columnCount_(columnCount), buildRows_(buildRows),
          capacity_(capacity) {}
    template <int N>
    ListModule(const char16_t* moduleName, const ListColumnSpec (&columns)[N], BuildRows buildRows,
               int capacity = ListTable::kCapacity)
        : ListModule(moduleName, columns, N, buildRows, capacity) {}

    const ListColumnSpec* Columns() const { return columns_; }
    int ColumnCount() const { return columnCount_; }
    const ListTable* Table() const { return table_.get(); }

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override { table_.reset(); }
    bool HasData() const override { return table_ != nullptr; }
    ReportStatus WriteReport(ReportWriter& writer, ReportResume& resume) override;
    ITabPage* CreatePage() override;

private:
    const ListColumnSpec* columns_;
    int columnCount_;
    BuildRows buildRows_;
    int capacity_;
    std::unique_ptr<ListTable> table_;
};

// The frame's list page for `module` (tabframe/win32/facet_dlg.cpp); null natively.
ITabPage* CreateListPage(ListModule& module);

}  // namespace tabframe
