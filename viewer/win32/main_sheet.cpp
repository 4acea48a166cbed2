#include "viewer/win32/main_sheet.h"

#include <cstddef>

#include "common/misc_common.h"
#include "platform/platform.h"
#include "viewer/app.h"
#include "viewer/sheet_rules.h"
#include "viewer/viewer_strings.h"
#include "viewer/win32/resource.h"
#include "viewer/win32/sheet_settings.h"

namespace pf = quarro::platform;

namespace {

// The modules of the interactive run, in page order.
constexpr const wchar_t* kModuleNames[] = {L"Facet01.dll", L"Facet02.dll", L"Facet03.dll",
                                           L"Facet04.dll", L"Facet05.dll", L"Facet06.dll",
                                           L"Facet07.dll", L"Facet08.dll", L"Facet09.dll", nullptr};
constexpr wchar_t kDefaultStartModule[] = L"Facet04.dll";
constexpr DWORD kLoopPauseMs = 10;

static_assert(sizeof(int) == 4, "32-bit int");
#if defined(__i386__)
// The sheet header is the classic one of 52 bytes in the 32-bit build: the fields up to
// pfnCallback (PROPSHEETHEADERW_V1_SIZE, 40 bytes there) and the three watermark fields, unused
// and zero (PROPSHEETHEADERW_V2_SIZE = sizeof).
static_assert(sizeof(PROPSHEETHEADERW) == 52, "the 52-byte PROPSHEETHEADERW of the 32-bit build");
#endif

// Every page window of the sheet (dialog children).
std::vector<HWND> PageWindows(HWND sheet) {
    std::vector<HWND> pages;
    for (HWND child = FindWindowExW(sheet, nullptr, L"#32770", nullptr); child;
         child = FindWindowExW(sheet, child, L"#32770", nullptr)) {
        pages.push_back(child);
    }
    return pages;
}

void LayoutFromClient(HWND sheet) {
    RECT client = {};
    if (GetClientRect(sheet, &client)) CMainSheet::LayoutSheet(sheet, client.right, client.bottom);
}

}  // namespace

CMainSheet::CMainSheet() = default;

CMainSheet::~CMainSheet() {
    // RunSheet leaves nothing behind; this covers an early exit by exception.
    DestroySheetWindow();
    ShutDownModules();
    UnloadModules();
}

std::vector<CTab*> CMainSheet::Tabs() const {
    std::vector<CTab*> tabs;
    for (int i = 0; i < count_; ++i) {
        if (tabs_[i]) tabs.push_back(tabs_[i].get());
    }
    return tabs;
}

void CMainSheet::Forward(int code) const {
    if (!sheet_ || modulesDown_) return;
    for (int i = 0; i < count_; ++i) {
        if (tabs_[i]) tabs_[i]->CommandMessage(code);
    }
}

void CMainSheet::RunSheet(HWND parent) {
    MiscCommon::CMiscCommon session;
    if (session.Open() != 0) {
        const std::wstring text = ViewerString(IDS_DRIVER_UNAVAILABLE);
        const std::wstring title = ViewerString(IDS_PRODUCT);
        pf::Prompt().ShowMessage(reinterpret_cast<pf::WindowHandle>(parent), reinterpret_cast<const char16_t*>(text.c_str()),
                                 reinterpret_cast<const char16_t*>(title.c_str()), pf::kMbIconError);
        return;
    }

    int defaultPage = 0;
    count_ = LoadModules(parent, &session, &defaultPage);
    modulesDown_ = false;
    if (count_ > 0) {
        std::uint32_t saved = 0;
        const bool savedReads = ReadStartPage(&saved);
        const int startPage = viewer_rules::StartPage(defaultPage, savedReads, saved, count_);
        if (CreateSheet(parent, startPage)) {
            if (ModelessLoop() == LoopEnd::WindowGone) {
                RemoveWindowSubclass(sheet_, &CMainSheet::SubclassProcedure, reinterpret_cast<UINT_PTR>(this));
                DestroySheetWindow();
            }
        } else {
            for (int i = 0; i < count_; ++i) {
                if (pages_[i]) DestroyPropertySheetPage(pages_[i]);
                pages_[i] = nullptr;
            }
        }
    }
    // Whichever way the sheet ended, the modules end before the session does.
    ShutDownModules();
    DestroySheetWindow();
    UnloadModules();
    session.Close();
}

int CMainSheet::LoadModules(HWND parent, void* session, int* defaultPage) {
    int names = 0;
    while (kModuleNames[names]) ++names;
    progress_.Open(parent, names);

    int count = 0;
    for (int n = 0; n < names && count < kMaxTabs; ++n) {
        progress_.Step();
        auto tab = std::make_unique<CTab>();
        if (!tab->Load(reinterpret_cast<const char16_t*>(kModuleNames[n]))) continue;
        PropSheetPageHandle page = nullptr;
        if (tab->SetupPropertyPage(&page) < 0 || !page) {
            // A page handle is what the sheet is made of: a module that gives none has no page.
            tab->Unload();
            continue;
        }
        const TabInitRecord record{count, kTabRefreshPeriod, static_cast<MiscCommon::CMiscCommon*>(session),
                                   Viewer().SmartIdNames};
        if (tab->InitTabDLL(&record) == 0) {
            DestroyPropertySheetPage(static_cast<HPROPSHEETPAGE>(page));
            tab->TermTabDLL();
            tab->Unload();
            continue;
        }
        if (lstrcmpiW(kModuleNames[n], kDefaultStartModule) == 0) *defaultPage = count;
        tabs_[count] = std::move(tab);
        pages_[count] = static_cast<HPROPSHEETPAGE>(page);
        ++count;
    }
    tabs_[count].reset();
    pages_[count] = nullptr;
    progress_.Close();
    return count;
}

bool CMainSheet::CreateSheet(HWND parent, int startPage) {
    ViewerState& viewer = Viewer();
    icon_.Reset(static_cast<HICON>(LoadImageW(ViewerInstance(), MAKEINTRESOURCEW(IDI_ALMANAC), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(PROPSHEETHEADERW);
    header.dwFlags = PSH_USEHICON | PSH_NOAPPLYNOW | PSH_MODELESS | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
    header.hwndParent = parent;
    header.hInstance = ViewerInstance();
    header.hIcon = icon_.Get();
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(count_);
    header.nStartPage = static_cast<UINT>(startPage);
    header.phpage = pages_;
    header.pfnCallback = &CMainSheet::SheetCallback;
    const INT_PTR created = PropertySheetW(&header);
    HWND sheet = reinterpret_cast<HWND>(created);
    if (created == -1 || !sheet || !IsWindow(sheet)) return false;
    sheet_ = sheet;
    // The sheet owns the pages now.
    for (int i = 0; i < count_; ++i) pages_[i] = nullptr;

    PropSheet_SetCurSel(sheet_, nullptr, startPage);
    SetWindowSubclass(sheet_, &CMainSheet::SubclassProcedure, reinterpret_cast<UINT_PTR>(this),
                      reinterpret_cast<DWORD_PTR>(this));

    RECT window = {};
    GetWindowRect(sheet_, &window);
    viewer.MinTrackWidth = static_cast<std::int16_t>(window.right - window.left);
    viewer.MinTrackHeight = static_cast<std::int16_t>(window.bottom - window.top);
    RECT tab = {};
    if (HWND tabControl = PropSheet_GetTabControl(sheet_); tabControl && GetWindowRect(tabControl, &tab)) {
        POINT corner = {tab.left, tab.top};
        ScreenToClient(sheet_, &corner);
        viewer.TabMarginX = corner.x;
        viewer.TabMarginY = corner.y;
    }

    ApplySheetPlacement(sheet_);
    LayoutFromClient(sheet_);

    SetWindowLongPtrW(sheet_, GWL_EXSTYLE, GetWindowLongPtrW(sheet_, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    InvalidateRect(sheet_, nullptr, TRUE);
    SetWindowPos(sheet_, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    UpdateWindow(sheet_);
    return true;
}

CMainSheet::LoopEnd CMainSheet::ModelessLoop() {
    for (;;) {
        Sleep(kLoopPauseMs);
        if (!sheet_ || !IsWindow(sheet_)) return LoopEnd::WindowGone;
        if (!PropSheet_GetCurrentPageHwnd(sheet_)) {
            // OK or Cancel has finished the sheet.
            ShutDownModules();
            DestroySheetWindow();
            UnloadModules();
            return LoopEnd::Finished;
        }
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!PropSheet_IsDialogMessage(sheet_, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
}

void CMainSheet::ShutDownModules() {
    if (modulesDown_) return;
    modulesDown_ = true;
    const bool ok = Viewer().OkPressed == 1;
    for (int i = 0; i < count_; ++i) {
        if (!tabs_[i]) continue;
        if (ok) tabs_[i]->CommandMessage(kTabCommandClosedWithOk);
        tabs_[i]->CommandMessage(kTabCommandSaveBegin);
        tabs_[i]->TermTabDLL();
    }
}

void CMainSheet::DestroySheetWindow() {
    if (!sheet_) return;
    HWND sheet = sheet_;
    sheet_ = nullptr;
    if (IsWindow(sheet)) DestroyWindow(sheet);
}

void CMainSheet::UnloadModules() {
    for (int i = 0; i < count_; ++i) {
        if (!tabs_[i]) continue;
        tabs_[i]->Unload();
        tabs_[i].reset();
    }
}

void CMainSheet::LayoutSheet(HWND sheet, int width, int height) {
    if (!sheet) return;
    HWND ok = GetDlgItem(sheet, IDOK);
    HWND cancel = GetDlgItem(sheet, IDCANCEL);
    HWND tab = PropSheet_GetTabControl(sheet);
    const std::vector<HWND> pages = PageWindows(sheet);
    if (!ok || !cancel || !tab || pages.empty()) return;
    const ViewerState& viewer = Viewer();
    RECT button = {};
    GetClientRect(ok, &button);
    const viewer_rules::SheetLayout layout =
        viewer_rules::LayoutSheet(width, height, viewer.TabMarginX, viewer.TabMarginY, button.right, button.bottom);
    const UINT keepSize = SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(ok, nullptr, layout.okX, layout.okY, 0, 0, keepSize);
    SetWindowPos(cancel, nullptr, layout.cancelX, layout.cancelY, 0, 0, keepSize);
    SetWindowPos(tab, nullptr, layout.tab.x, layout.tab.y, layout.tab.width, layout.tab.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT display = {};
    GetClientRect(tab, &display);
    TabCtrl_AdjustRect(tab, FALSE, &display);
    // Every page the sheet has made so far, so that a page shown later fits as well.
    for (HWND page : pages) {
        SetWindowPos(page, nullptr, display.left + viewer.TabMarginX, display.top + viewer.TabMarginY,
                     display.right - display.left, display.bottom - display.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(sheet, nullptr, TRUE);
    UpdateWindow(sheet);
}

int CALLBACK CMainSheet::SheetCallback(HWND window, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && lParam) {
        // The sheet is created hidden and resizable. The template is a DLGTEMPLATE or, with the
        // 0xFFFF signature, a DLGTEMPLATEEX whose style follows dlgVer, signature, helpID and
        // exStyle.
        auto* words = reinterpret_cast<WORD*>(lParam);
        DWORD* style = (words[1] == 0xFFFF) ? reinterpret_cast<DWORD*>(words + 6) : reinterpret_cast<DWORD*>(words);
        *style = (*style & ~static_cast<DWORD>(WS_VISIBLE)) | WS_THICKFRAME;
    } else if (message == PSCB_INITIALIZED && window) {
        SendDlgItemMessageW(window, IDOK, BCM_SETSHIELD, 0, 1);
    }
    return 0;
}

LRESULT CALLBACK CMainSheet::SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                               DWORD_PTR) {
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_RESTORED) LayoutSheet(window, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_GETMINMAXINFO: {
        const ViewerState& viewer = Viewer();
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (info && viewer.MinTrackWidth > 0 && viewer.MinTrackHeight > 0) {
            info->ptMinTrackSize.x = viewer.MinTrackWidth;
            info->ptMinTrackSize.y = viewer.MinTrackHeight;
        }
        break;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) OnSheetOk(window);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &CMainSheet::SubclassProcedure, id);
        break;
    default: break;
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    // A page the sheet has just made or shown gets the current layout.
    if ((message == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE) ||
        message == PSM_SETCURSEL) {
        LayoutFromClient(window);
    }
    return result;
}
