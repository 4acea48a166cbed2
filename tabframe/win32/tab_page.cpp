#include "tabframe/win32/tab_page.h"

namespace tabframe {

namespace {

using quarro::win32::ModuleOfAddress;

// Any address in this module: the tab module that links the frame, whose templates the pages use.
void PageAnchor() {}

// A child's window rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
    RECT rect = {};
    if (!child || !GetWindowRect(child, &rect)) return RECT{};
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

CTabPage::CTabPage(TabModule& module, const PageControls& controls)
    : CPropertyPage(ModuleOfAddress(reinterpret_cast<const void*>(&PageAnchor)), controls.templateId),
      module_(module),
      controls_(controls) {}

BOOL CTabPage::OnInitDialog() {
    lists_.clear();
    InitPage();
    Measure();
    return TRUE;
}

int CTabPage::AddColumns(quarro::win32::CListControl& list, int id, const std::vector<std::u16string>& titles,
                         const std::vector<int>& defaults, int firstIndex) {
    list.Attach(GetDlgItem(Window(), id));
    if (!list.Exists()) return 0;
    std::vector<int> fallback(titles.size(), 0);
    for (std::size_t c = 0; c < titles.size() && c < defaults.size(); ++c) fallback[c] = defaults[c];
    const std::vector<int> widths = ReadColumnWidths(module_.ModuleName(), fallback, firstIndex);
    int inserted = 0;
    for (std::size_t c = 0; c < titles.size(); ++c) {
        if (list.InsertColumn(static_cast<int>(c), reinterpret_cast<const wchar_t*>(titles[c].c_str()), widths[c]) >= 0) {
            ++inserted;
        }
    }
    lists_.push_back(TrackedList{&list, firstIndex, static_cast<int>(titles.size())});
    return inserted;
}

bool CTabPage::ColumnWidths(std::vector<ColumnWidth>* widths) {
    if (!widths) return false;
    widths->clear();
    bool anyList = false;
    for (const TrackedList& tracked : lists_) {
        if (!tracked.list->Exists()) continue;
        anyList = true;
        for (int c = 0; c < tracked.columns; ++c) {
            const int width = tracked.list->ColumnWidth(c);
            if (width < 0) return false;
            widths->push_back(ColumnWidth{tracked.firstIndex + c, width});
        }
    }
    return anyList;
}

void CTabPage::Measure() {
    RECT client = {};
    GetClientRect(Window(), &client);
    HWND save = GetDlgItem(Window(), controls_.save);
    HWND about = GetDlgItem(Window(), controls_.about);
    const RECT body = ChildRect(Window(), GetDlgItem(Window(), controls_.body));
    const RECT saveRect = ChildRect(Window(), save);
    const RECT aboutRect = ChildRect(Window(), about);
    metrics_.bodyLeft = body.left;
    metrics_.bodyTop = body.top;
    metrics_.saveRight = saveRect.right;
    metrics_.saveBottomGap = save ? client.bottom - saveRect.bottom : 0;
    metrics_.aboutLeft = aboutRect.left;
    metrics_.aboutBottomGap = about ? client.bottom - aboutRect.bottom : 0;
}

void CTabPage::Layout(int width, int height) {
    HWND save = GetDlgItem(Window(), controls_.save);
    HWND about = GetDlgItem(Window(), controls_.about);
    HWND body = GetDlgItem(Window(), controls_.body);
    if (!save || !about || !body) return;
    RECT button = {};
    GetClientRect(save, &button);
    const PageLayout layout = LayoutPage(metrics_, width, height, button.right, button.bottom);
    if (!layout.move) return;
    const UINT keep = SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(save, nullptr, layout.saveX, layout.saveY, 0, 0, keep);
    SetWindowPos(about, nullptr, layout.aboutX, layout.aboutY, 0, 0, keep);
    SetWindowPos(body, nullptr, layout.bodyX, layout.bodyY, layout.bodyWidth, layout.bodyHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    OnLayout(width, height, layout);
}

bool CTabPage::OnCommand(WORD id, WORD code) {
    if (code != BN_CLICKED) return false;
    if (id == controls_.save) {
        PostToViewer(kViewerSaveRequest, static_cast<WPARAM>(module_.Record().TabIndex));
        return true;
    }
    if (id == controls_.about) {
        PostToViewer(kViewerAboutRequest, 0);
        return true;
    }
    return false;
}

bool CTabPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR*) {
    if (message == WM_SIZE && wParam == SIZE_RESTORED) Layout(LOWORD(lParam), HIWORD(lParam));
    return false;  // the dialog manager's default processing goes on
}

void CTabPage::PostToViewer(UINT message, WPARAM wParam) {
    HWND viewer = FindWindowW(L"#32770", L"AlmanacMain");
    if (viewer) PostMessageW(viewer, message, wParam, 0);
}

}  // namespace tabframe
