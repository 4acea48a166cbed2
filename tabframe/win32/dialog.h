// The small dialog classes the viewer and the tab modules build on, over the plain Win32 dialog
// manager: a dialog (modal or modeless), a property page, and a list-view control.
//
// A dialog object and its window find each other through DWLP_USER. The object never outlives
// its link: when the object goes first (a tab module deletes its page before the sheet destroys
// the page window), the window is detached and handled by the dialog manager's defaults from
// then on.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/handles.h"

namespace quarro::win32 {

class CDialog {
public:
    CDialog(HINSTANCE instance, UINT templateId) : instance_(instance), templateId_(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // DialogBoxParamW: runs the dialog modally; the value given to EndDialog, or -1.
    INT_PTR DoModal(HWND owner);
    // CreateDialogParamW: a modeless dialog, owned (destroyed) by this object.
    bool Create(HWND owner);
    void Destroy() { modeless_.Reset(); }

    HWND Window() const { return window_; }
    HINSTANCE Instance() const { return instance_; }

protected:
    // WM_INITDIALOG; TRUE lets the dialog manager set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND; true when handled. By default OK and Cancel end a modal dialog.
    virtual bool OnCommand(WORD id, WORD code);
    // Any other message; true when handled, *result then being the dialog procedure's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    void EndDialog(INT_PTR result) {
        if (window_ && modal_) ::EndDialog(window_, result);
    }
    void SetItemText(int id, const wchar_t* text) { SetDlgItemTextW(window_, id, text); }
    // Centres the dialog over its owner (over the work area without one), kept inside the work
    // area of the owner's monitor.
    void CenterOverOwner();
    HWND Item(int id) const { return GetDlgItem(window_, id); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    UINT templateId_;
    HWND window_ = nullptr;
    bool modal_ = false;
    UniqueWindow modeless_;
};

// A property page on a dialog template of its module; the page's tab text is the template's
// caption. The sheet creates and destroys the page window; the object only serves it.
class CPropertyPage {
public:
    CPropertyPage(HINSTANCE instance, UINT templateId) : instance_(instance), templateId_(templateId) {}
    virtual ~CPropertyPage();
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    // CreatePropertySheetPageW for this object; null on failure. May be called again: each call
    // makes a new sheet page for the same object.
    HPROPSHEETPAGE CreateSheetPageHandle();
    HWND Window() const { return window_; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(WORD, WORD) { return false; }
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    UINT templateId_;
    HWND window_ = nullptr;
};

// A report-view list control owned by a dialog (the dialog destroys the window).
class CListControl {
public:
    void Attach(HWND window) { window_ = window; }
    HWND Window() const { return window_; }
    bool Exists() const { return window_ && IsWindow(window_); }

    // -1 on failure, else the index of the new column or item.
    int InsertColumn(int index, const wchar_t* title, int width);
    int InsertItem(int index, const wchar_t* text);
    bool SetItemText(int item, int subItem, const wchar_t* text);
    void Update(int item);
    // LVM_GETCOLUMNWIDTH: 0 when there is no such column.
    int ColumnWidth(int column) const;
    int ItemCount() const;

private:
    HWND window_ = nullptr;
};

}  // namespace quarro::win32
