// The viewer's small dialogs: the progress window shown while the modules load, the About box
// and the save-range question. Templates in viewer/almanac.rc.
#pragma once

#include <string>

#include "tabframe/win32/dialog.h"

// Progress window (template 148, modeless): caption "Quarro", text 112 and a bar that advances
// by 10 per module tried.
class CProgressDlg : public quarro::win32::CDialog {
public:
    CProgressDlg();
    // Creates and shows the window with a range of steps x 10.
    bool Open(HWND owner, int steps);
    void Step();
    void Close() { Destroy(); }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD, WORD) override { return true; }  // Enter and Esc do nothing

private:
    int steps_ = 0;
    bool created_ = false;
};

// About box (template 100). One object for the whole run: an extra line once given stays for
// later showings.
class CAboutDlg : public quarro::win32::CDialog {
public:
    CAboutDlg();
    void SetExtraLine(const std::wstring& text) { extra_ = text; }
    // Shows the box modally with the current product and maker lines.
    void Show(HWND owner, const std::wstring& productLine, const std::wstring& makerLine);

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    std::wstring extra_;
    std::wstring product_;
    std::wstring maker_;
};

// Save-range question (template 132): the page shown or everything. One object for the whole
// run; the last choice is offered again.
class CSetFileModeDialog : public quarro::win32::CDialog {
public:
    CSetFileModeDialog();
    // IDOK or IDCANCEL.
    INT_PTR Ask(HWND owner) { return DoModal(owner); }
    // The check state of "Save only the information displayed" when OK was pressed.
    int SaveDisplayedOnly() const { return displayedOnly_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    int displayedOnly_ = 1;
};

// The viewer's own module (its dialogs, icons and strings).
HINSTANCE ViewerInstance();
// A string of the viewer's string table.
std::wstring ViewerString(unsigned id);
