#include "viewer/win32/viewer_dialogs.h"

#include "common/module_strings.h"
#include "viewer/app.h"
#include "viewer/viewer_strings.h"
#include "viewer/win32/resource.h"

HINSTANCE ViewerInstance() { return reinterpret_cast<HINSTANCE>(Viewer().ResourceModule); }

std::wstring ViewerString(unsigned id) {
    const std::u16string text = quarro::resources::LoadModuleString(id);
    return std::wstring(text.begin(), text.end());
}

CProgressDlg::CProgressDlg() : CDialog(ViewerInstance(), IDD_PROGRESS) {}

bool CProgressDlg::Open(HWND owner, int steps) {
    steps_ = steps;
    created_ = Create(owner);
    if (!created_) return false;
    ShowWindow(Window(), SW_SHOW);
    UpdateWindow(Window());
    return true;
}

BOOL CProgressDlg::OnInitDialog() {
    SetWindowTextW(Window(), ViewerString(IDS_PRODUCT).c_str());
    SetItemText(IDC_PROGRESS_TEXT, ViewerString(IDS_RETRIEVING).c_str());
    SendDlgItemMessageW(Window(), IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, steps_ * 10));
    return TRUE;
}

void CProgressDlg::Step() {
    if (!created_ || !Window()) return;
    HWND bar = Item(IDC_PROGRESS_BAR);
    SendMessageW(bar, PBM_STEPIT, 0, 0);
    // Nothing pumps messages while the modules load: paint the window now (only its own paint
    // messages are taken, so nothing else runs in between).
    UpdateWindow(bar);
    MSG message;
    while (PeekMessageW(&message, Window(), WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
}

CAboutDlg::CAboutDlg() : CDialog(ViewerInstance(), IDD_ABOUTBOX) {}

void CAboutDlg::Show(HWND owner, const std::wstring& productLine, const std::wstring& makerLine) {
    product_ = productLine;
    maker_ = makerLine;
    DoModal(owner);
}

BOOL CAboutDlg::OnInitDialog() {
    SetItemText(IDC_ABOUT_EXTRA, extra_.c_str());
    SetItemText(IDC_ABOUT_PRODUCT, product_.c_str());
    SetItemText(IDC_ABOUT_MAKER, maker_.c_str());
    CenterOverOwner();
    return TRUE;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
    if (message != WM_HELP) return false;
    *result = TRUE;  // F1 does nothing
    return true;
}

CSetFileModeDialog::CSetFileModeDialog() : CDialog(ViewerInstance(), IDD_SAVE_RANGE) {}

BOOL CSetFileModeDialog::OnInitDialog() {
    SendDlgItemMessageW(Window(), displayedOnly_ ? IDC_RANGE_DISPLAYED : IDC_RANGE_ALL, BM_SETCHECK, BST_CHECKED, 0);
    CenterOverOwner();
    return TRUE;
}

bool CSetFileModeDialog::OnCommand(WORD id, WORD code) {
    if (id == IDOK) {
        displayedOnly_ = IsDlgButtonChecked(Window(), IDC_RANGE_DISPLAYED) == BST_CHECKED ? 1 : 0;
        EndDialog(IDOK);
        return true;
    }
    return CDialog::OnCommand(id, code);
}

bool CSetFileModeDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
    if (message != WM_HELP) return false;
    *result = TRUE;
    return true;
}
