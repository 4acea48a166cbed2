#include "tabframe/win32/facet_dlg.h"

#include <new>
#include <string>

#include "tabframe/column_widths.h"
#include "tabframe/win32/list_page_ids.h"

namespace tabframe {

namespace {

using quarro::win32::ModuleOfAddress;

// Any address in this module: the tab module that links the frame.
void PageAnchor() {}

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text ? text : u""); }

// A child's window rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
    RECT rect = {};
    if (!child || !GetWindowRect(child, &rect)) return RECT{};
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

CFacetDlg::CFacetDlg(ListModule& module)
    : CPropertyPage(ModuleOfAddress(reinterpret_cast<const void*>(&PageAnchor)), IDD_LIST_PAGE), module_(module) {}

PropSheetPageHandle CFacetDlg::CreateSheetPage() { return CreateSheetPageHandle(); }

bool CFacetDlg::ColumnWidths(int columnCount, std::vector<int>* widths) {
    if (!widths || !list_.Exists()) return false;
    widths->clear();
    for (int c = 0; c < columnCount; ++c) widths->push_back(list_.ColumnWidth(c));
    return true;
}

BOOL CFacetDlg::OnInitDialog() {
    list_.Attach(GetDlgItem(Window(), IDC_LIST_VIEW));
    save_ = GetDlgItem(Window(), IDC_LIST_SAVE);
    about_ = GetDlgItem(Window(), IDC_LIST_ABOUT);
    FillColumns();
    FillRows();
    Measure();
    return TRUE;
}

void CFacetDlg::FillColumns() {
    const ListTable* table = module_.Table();
    if (!table || !list_.Exists()) return;
    const ListModuleSpec& spec = module_.Spec();
    const int count = table->ColumnCount() < spec.columnCount ? table->ColumnCount() : spec.columnCount;
    const std::vector<int> widths = ReadColumnWidths(spec.moduleName, spec.columns, count);
    for (int c = 0; c < count; ++c) list_.InsertColumn(c, Wide(table->Title(c)), widths[static_cast<std::size_t>(c)]);
}

void CFacetDlg::FillRows() {
    const ListTable* table = module_.Table();
    if (!table || !list_.Exists()) return;
    for (int row = 0; row < table->RowCount(); ++row) {
        const int item = list_.InsertItem(row, L"");
        if (item < 0) continue;
        for (int c = 0; c < table->ColumnCount(); ++c) list_.SetItemText(item, c, Wide(table->Field(row, c)));
        list_.Update(item);
    }
}

void CFacetDlg::Measure() {
    RECT client = {};
    GetClientRect(Window(), &client);
    const RECT list = ChildRect(Window(), list_.Window());
    const RECT save = ChildRect(Window(), save_);
    const RECT about = ChildRect(Window(), about_);
    metrics_.listLeft = list.left;
    metrics_.listTop = list.top;
    metrics_.saveRight = save.right;
    metrics_.saveBottomGap = save_ ? client.bottom - save.bottom : 0;
    metrics_.aboutLeft = about.left;
    metrics_.aboutBottomGap = about_ ? client.bottom - about.bottom : 0;
}

void CFacetDlg::Layout(int width, int height) {
    if (!save_ || !about_ || !list_.Exists()) return;
    RECT button = {};
    GetClientRect(save_, &button);
    const ListPageLayout layout = LayoutListPage(metrics_, width, height, button.right, button.bottom);
    if (!layout.move) return;
    const UINT keep = SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(save_, nullptr, layout.saveX, layout.saveY, 0, 0, keep);
    SetWindowPos(about_, nullptr, layout.aboutX, layout.aboutY, 0, 0, keep);
    SetWindowPos(list_.Window(), nullptr, layout.listX, layout.listY, layout.listWidth, layout.listHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CFacetDlg::OnCommand(WORD id, WORD code) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_LIST_SAVE) {
        PostToViewer(kViewerSaveRequest, static_cast<WPARAM>(module_.Record().TabIndex));
        return true;
    }
    if (id == IDC_LIST_ABOUT) {
        PostToViewer(kViewerAboutRequest, 0);
        return true;
    }
    return false;
}

bool CFacetDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR*) {
    if (message == WM_SIZE && wParam == SIZE_RESTORED) Layout(LOWORD(lParam), HIWORD(lParam));
    return false;  // the dialog manager's default processing goes on
}

void CFacetDlg::PostToViewer(UINT message, WPARAM wParam) {
    HWND viewer = FindWindowW(L"#32770", L"AlmanacMain");
    if (viewer) PostMessageW(viewer, message, wParam, 0);
}

IListPage* CreateListPage(ListModule& module) { return new (std::nothrow) CFacetDlg(module); }

}  // namespace tabframe
