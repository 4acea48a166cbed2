#include "tabframe/win32/dialog.h"

namespace quarro::win32 {

CDialog::~CDialog() {
    if (window_) SetWindowLongPtrW(window_, DWLP_USER, 0);
    // A modal dialog cannot outlive DoModal; a modeless one is destroyed by its holder.
}

INT_PTR CDialog::DoModal(HWND owner) {
    modal_ = true;
    const INT_PTR result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, &CDialog::Procedure,
                                           reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

bool CDialog::Create(HWND owner) {
    if (modeless_) return true;
    modal_ = false;
    modeless_.Reset(CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, &CDialog::Procedure,
                                       reinterpret_cast<LPARAM>(this)));
    return static_cast<bool>(modeless_);
}

bool CDialog::OnCommand(WORD id, WORD) {
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(id);
        return true;
    }
    return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

void CDialog::CenterOverOwner() {
    RECT dialog = {};
    if (!window_ || !GetWindowRect(window_, &dialog)) return;
    HWND owner = GetWindow(window_, GW_OWNER);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT around = monitor.rcWork;
    if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &around);
    const LONG width = dialog.right - dialog.left;
    const LONG height = dialog.bottom - dialog.top;
    LONG x = around.left + ((around.right - around.left) - width) / 2;
    LONG y = around.top + ((around.bottom - around.top) - height) / 2;
    const RECT& work = monitor.rcWork;
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        if (self) self->window_ = window;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self) return FALSE;
    const INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
        self->modeless_.Release();  // the window is gone already
    }
    return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == WM_COMMAND && OnCommand(LOWORD(wParam), HIWORD(wParam))) return TRUE;
    INT_PTR result = FALSE;
    if (message != WM_COMMAND && OnMessage(message, wParam, lParam, &result)) return result;
    return FALSE;
}

CPropertyPage::~CPropertyPage() {
    if (window_ && IsWindow(window_)) SetWindowLongPtrW(window_, DWLP_USER, 0);
}

HPROPSHEETPAGE CPropertyPage::CreateSheetPageHandle() {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = instance_;
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pfnDlgProc = &CPropertyPage::Procedure;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
}

INT_PTR CALLBACK CPropertyPage::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CPropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        // lParam is the sheet's copy of the PROPSHEETPAGEW; its lParam is the object.
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        self = page ? reinterpret_cast<CPropertyPage*>(page->lParam) : nullptr;
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window_ = window;
    } else {
        self = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    if (message == WM_INITDIALOG) {
        result = self->OnInitDialog();
    } else if (message == WM_COMMAND) {
        result = self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    } else if (!self->OnMessage(message, wParam, lParam, &result)) {
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

int CListControl::InsertColumn(int index, const wchar_t* title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    return static_cast<int>(SendMessageW(window_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&column)));
}

int CListControl::InsertItem(int index, const wchar_t* text) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(SendMessageW(window_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListControl::SetItemText(int item, int subItem, const wchar_t* text) {
    LVITEMW value = {};
    value.iSubItem = subItem;
    value.pszText = const_cast<wchar_t*>(text);
    return SendMessageW(window_, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&value)) != 0;
}

void CListControl::Update(int item) { SendMessageW(window_, LVM_UPDATE, static_cast<WPARAM>(item), 0); }

int CListControl::ColumnWidth(int column) const {
    return static_cast<int>(SendMessageW(window_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int CListControl::ItemCount() const { return static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0)); }

}  // namespace quarro::win32
