// CMainSheet: the interactive run of the tab modules. It opens the driver session, loads the
// modules under the progress window, shows their pages in a modeless, resizable property sheet,
// runs the sheet's message loop and, when the sheet has finished, shuts the modules down, unloads
// them and closes the session.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "platform/win32/handles.h"
#include "viewer/tab.h"
#include "viewer/win32/viewer_dialogs.h"

class CMainSheet {
public:
    static constexpr int kMaxTabs = 20;

    CMainSheet();
    virtual ~CMainSheet();
    CMainSheet(const CMainSheet&) = delete;
    CMainSheet& operator=(const CMainSheet&) = delete;

    // The whole interactive run of the modules; returns when the sheet has gone.
    void RunSheet(HWND parent);

    // Places OK, Cancel, the tab control and the pages for a client size of width x height.
    static void LayoutSheet(HWND sheet, int width, int height);

    HWND Sheet() const { return sheet_; }
    int Count() const { return count_; }
    // The accepted modules in page order.
    std::vector<CTab*> Tabs() const;
    // CommandMessage(code) to every accepted module in page order, only while the sheet exists.
    void Forward(int code) const;

    wchar_t caption[260] = {};

private:
    enum class LoopEnd { Finished, WindowGone };

    int LoadModules(HWND parent, void* session, int* defaultPage);
    bool CreateSheet(HWND parent, int startPage);
    LoopEnd ModelessLoop();
    void ShutDownModules();
    void UnloadModules();
    void DestroySheetWindow();

    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR data);

    int count_ = 0;
    HWND sheet_ = nullptr;
    std::unique_ptr<CTab> tabs_[kMaxTabs + 1];
    HPROPSHEETPAGE pages_[kMaxTabs + 1] = {};
    CProgressDlg progress_;
    quarro::win32::UniqueIcon icon_;
    bool modulesDown_ = false;
};
