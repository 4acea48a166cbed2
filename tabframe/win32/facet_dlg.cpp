#include "tabframe/win32/facet_dlg.h"

#include <new>
#include <string>
#include <vector>

#include "tabframe/win32/list_page_ids.h"

namespace tabframe {

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text ? text : u""); }

}  // namespace

CFacetDlg::CFacetDlg(ListModule& module)
    : CTabPage(module, PageControls{IDD_LIST_PAGE, IDC_LIST_VIEW, IDC_LIST_SAVE, IDC_LIST_ABOUT}), module_(module) {}

void CFacetDlg::InitPage() {
    const ListTable* table = module_.Table();
    if (!table) return;
    const int count = table->ColumnCount() < module_.ColumnCount() ? table->ColumnCount() : module_.ColumnCount();
    std::vector<std::u16string> titles;
    std::vector<int> defaults;
    for (int c = 0; c < count; ++c) {
        titles.emplace_back(table->Title(c));
        defaults.push_back(module_.Columns()[c].defaultWidth);
    }
    AddColumns(list_, IDC_LIST_VIEW, titles, defaults);
    if (!list_.Exists()) return;
    // The rows, in the order of the table (the list is never sorted).
    for (int row = 0; row < table->RowCount(); ++row) {
        const int item = list_.InsertItem(row, L"");
        if (item < 0) continue;
        for (int c = 0; c < table->ColumnCount(); ++c) list_.SetItemText(item, c, Wide(table->Field(row, c)));
        list_.Update(item);
    }
}

ITabPage* CreateListPage(ListModule& module) { return new (std::nothrow) CFacetDlg(module); }

}  // namespace tabframe
