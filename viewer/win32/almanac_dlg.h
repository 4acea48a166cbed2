// CAlmanacDlg: the viewer's hidden main dialog (template 102, title "AlmanacMain"). It runs the
// sheet from its first timer tick and receives what the modules ask of the viewer: save, About,
// the automatic-save wish and the service state; it forwards power events and four outside
// notifications to the modules while the sheet exists.
#pragma once

#include "tabframe/win32/dialog.h"
#include "viewer/app.h"
#include "viewer/win32/viewer_dialogs.h"

class CMainSheet;

class CAlmanacDlg : public quarro::win32::CDialog {
public:
    CAlmanacDlg();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void RunSheet();
    void OnSaveRequest(WPARAM tabIndex);
    void OnAboutRequest(LPARAM extraText);
    // The window the viewer's own dialogs belong to: the sheet while it is there.
    HWND DialogOwner() const;

    CMainSheet* sheet_ = nullptr;  // the running sheet, null before and after
    quarro::win32::UniqueIcon bigIcon_;
    quarro::win32::UniqueIcon smallIcon_;
    CAboutDlg about_;
    CSetFileModeDialog fileMode_;
};

// The interactive run (AppEnvironment::runInteractive): the main dialog, modally.
void RunInteractiveViewer(ViewerState& viewer);
