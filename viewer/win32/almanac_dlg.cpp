#include "viewer/win32/almanac_dlg.h"

#include <string>

#include "common/ansi.h"
#include "common/module_strings.h"
#include "common/text.h"
#include "tabframe/tab_contract.h"
#include "viewer/report.h"
#include "viewer/sheet_rules.h"
#include "viewer/viewer_strings.h"
#include "viewer/win32/main_sheet.h"
#include "viewer/win32/resource.h"
#include "viewer/win32/save_dialog.h"

namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr UINT kStartDelayMs = 10;
// The extra line of the About box: at most this many bytes of the module's text are read.
constexpr std::size_t kExtraLineBytes = 260;

HICON LoadViewerIcon(int metricX, int metricY) {
    return static_cast<HICON>(LoadImageW(ViewerInstance(), MAKEINTRESOURCEW(IDI_ALMANAC), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

CAlmanacDlg::CAlmanacDlg() : CDialog(ViewerInstance(), IDD_ALMANAC_MAIN) {}

BOOL CAlmanacDlg::OnInitDialog() {
    bigIcon_.Reset(LoadViewerIcon(SM_CXICON, SM_CYICON));
    smallIcon_.Reset(LoadViewerIcon(SM_CXSMICON, SM_CYSMICON));
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    while (!SetTimer(Window(), kStartTimer, kStartDelayMs, nullptr)) Sleep(kStartDelayMs);
    return TRUE;
}

bool CAlmanacDlg::OnCommand(WORD id, WORD) {
    // Enter and Esc on the hidden dialog end nothing; the run ends through WM_CLOSE.
    return id == IDOK || id == IDCANCEL;
}

void CAlmanacDlg::RunSheet() {
    SetWindowPos(Window(), nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE);
    {
        CMainSheet sheet;
        quarro::resources::LoadModuleString(IDS_PRODUCT, reinterpret_cast<char16_t*>(sheet.caption), 260);
        sheet_ = &sheet;
        sheet.RunSheet(Window());
        sheet_ = nullptr;
    }
    PostMessageW(Window(), WM_CLOSE, 0, 0);
}

HWND CAlmanacDlg::DialogOwner() const {
    if (sheet_ && sheet_->Sheet() && IsWindow(sheet_->Sheet())) return sheet_->Sheet();
    return Window();
}

void CAlmanacDlg::OnSaveRequest(WPARAM tabIndex) {
    if (!sheet_ || !sheet_->Sheet()) return;
    if (fileMode_.Ask(DialogOwner()) != IDOK) return;
    // The sheet may have gone while the question was open.
    if (!sheet_ || !sheet_->Sheet()) return;
    const std::vector<CTab*> tabs = sheet_->Tabs();
    std::vector<CTab*> range;
    const bool all = fileMode_.SaveDisplayedOnly() == 0;
    if (all) {
        range = tabs;
    } else if (tabIndex < tabs.size()) {
        range.push_back(tabs[tabIndex]);
    } else {
        return;  // no such page
    }
    SaveReport(DialogOwner(), range, all);
}

void CAlmanacDlg::OnAboutRequest(LPARAM extraText) {
    if (extraText) {
        const char* text = reinterpret_cast<const char*>(extraText);
        const std::size_t length = quarro::text::LengthBounded(text, kExtraLineBytes - 1);
        about_.SetExtraLine(Wide(quarro::text::FromAnsi(std::string(text, length))));
    }
    about_.Show(DialogOwner(), Wide(ProductLine()), Wide(MakerLine()));
}

bool CAlmanacDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
    case WM_TIMER:
        if (wParam != kStartTimer) return false;
        KillTimer(Window(), kStartTimer);
        RunSheet();
        *result = TRUE;
        return true;
    case WM_CLOSE:
        EndDialog(IDCANCEL);
        *result = TRUE;
        return true;
    case WM_HELP:
        *result = TRUE;  // F1 does nothing
        return true;
    case kViewerSaveRequest:
        OnSaveRequest(wParam);
        *result = 0;
        return true;
    case kViewerAboutRequest:
        OnAboutRequest(lParam);
        *result = 0;
        return true;
    case kViewerAutoSaveOff:
        Viewer().AutoSaveOff = static_cast<std::int32_t>(wParam);
        *result = 0;
        return true;
    case kViewerServiceState:
        if (lParam) *reinterpret_cast<std::int32_t*>(lParam) = static_cast<std::int32_t>(Viewer().ServiceStateAtStart);
        *result = 0;
        return true;
    default: break;
    }
    if (const int code = viewer_rules::ForwardedCode(message, wParam); code != 0) {
        if (sheet_) sheet_->Forward(code);
    }
    return false;  // default processing
}

void RunInteractiveViewer(ViewerState&) {
    CAlmanacDlg dialog;
    dialog.DoModal(nullptr);
}
