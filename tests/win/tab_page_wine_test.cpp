// The pages of the tab-module frame under Wine, through a list module (TestListA, the frame's
// list page) and a non-list module (TestPage, its own page on the page base), loaded from
// testmodules/ as the viewer loads modules: a new sheet page per SetupPropertyPage, Save and About
// posted to "AlmanacMain", the resizing, and the column widths stored by CommandMessage(120).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "platform/win32/handles.h"
#include "tabframe/tab_contract.h"
#include "product_module.h"

namespace {

using quarro::wintests::Export;
using quarro::win32::UniqueLibrary;
using quarro::win32::UniqueWindow;

std::wstring TestModulePath(const wchar_t* name) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring dir(program);
    dir = dir.substr(0, dir.find_last_of(L'\\'));      // ...\tests
    dir = dir.substr(0, dir.find_last_of(L'\\') + 1);  // the build folder
    return dir + L"testmodules\\" + name;
}

struct Exports {
    SetupPropertyPageProc setup;
    InitTabDLLProc init;
    TermTabDLLProc term;
    CommandMessageProc command;
};

Exports Bind(HMODULE module) {
    return Exports{Export<SetupPropertyPageProc>(module, "SetupPropertyPage"), Export<InitTabDLLProc>(module, "InitTabDLL"),
                   Export<TermTabDLLProc>(module, "TermTabDLL"), Export<CommandMessageProc>(module, "CommandMessage")};
}

DWORD StoredWidth(const wchar_t* key, const wchar_t* value) {
    DWORD data = 0xFFFFFFFF, size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) return 0xFFFFFFFF;
    return data;
}

RECT ChildRect(HWND parent, HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct PageCase {
    const wchar_t* dll;
    int body, save, about;
    const wchar_t* key;  // where the module keeps its column widths
};

const PageCase kPages[] = {
    {L"TestListA.dll", 1018, 1016, 1017, L"Software\\Mirelta\\quarro\\FacetTest"},
    {L"TestPage.dll", 310, 311, 312, L"Software\\Mirelta\\quarro\\FacetPage"},
};

TEST(TabPagesOnWine, EveryModulesPageServesTheSheetTheViewerAndTheColumnWidths) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(std::string(c.dll, c.dll + wcslen(c.dll)));
        RegDeleteTreeW(HKEY_CURRENT_USER, c.key);
        UniqueLibrary module(LoadLibraryW(TestModulePath(c.dll).c_str()));
        ASSERT_TRUE(module);
        const Exports x = Bind(module.Get());
        ASSERT_TRUE(x.setup && x.init && x.term && x.command);

        EXPECT_EQ(x.setup(nullptr), -1);
        const TabInitRecord record{7, kTabRefreshPeriod, nullptr, 0};
        ASSERT_EQ(x.init(&record), 1);
        PropSheetPageHandle first = nullptr, second = nullptr;
        ASSERT_EQ(x.setup(&first), 1);
        ASSERT_EQ(x.setup(&second), 1) << "a second call makes a new sheet page for the same page object";
        ASSERT_TRUE(first && second);
        EXPECT_NE(first, second);
        DestroyPropertySheetPage(static_cast<HPROPSHEETPAGE>(first));

        HPROPSHEETPAGE pages[] = {static_cast<HPROPSHEETPAGE>(second)};
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
        header.hInstance = GetModuleHandleW(nullptr);
        header.pszCaption = L"Pages";
        header.nPages = 1;
        header.phpage = pages;
        UniqueWindow sheet(reinterpret_cast<HWND>(PropertySheetW(&header)));
        ASSERT_TRUE(sheet);
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet.Get(), PSM_GETCURRENTPAGEHWND, 0, 0));
        ASSERT_TRUE(page);
        HWND body = GetDlgItem(page, c.body);
        ASSERT_TRUE(body);

        // Save and About reach the viewer's main window.
        UniqueWindow viewer(CreateWindowExW(0, L"#32770", L"AlmanacMain", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                            nullptr, nullptr));
        ASSERT_TRUE(viewer);
        struct Button {
            int id;
            UINT message;
            WPARAM wParam;
        } buttons[] = {{c.save, kViewerSaveRequest, 7}, {c.about, kViewerAboutRequest, 0}};
        for (const Button& b : buttons) {
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(b.id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, b.id)));
            MSG msg = {};
            ASSERT_TRUE(PeekMessageW(&msg, viewer.Get(), b.message, b.message, PM_REMOVE)) << b.id;
            EXPECT_EQ(msg.wParam, b.wParam);
            EXPECT_EQ(msg.lParam, 0);
        }

        // The main control keeps its corner and margins when the page grows.
        const RECT before = ChildRect(page, body);
        SendMessageW(page, WM_SIZE, SIZE_RESTORED, MAKELPARAM(600, 420));
        const RECT after = ChildRect(page, body);
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
        EXPECT_EQ(after.right - after.left, 600 - 2 * before.left);

        // CommandMessage(120) stores every column's width as "ColumnWnn".
        SendMessageW(body, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(77, 0));
        EXPECT_EQ(x.command(kTabCommandClosedWithOk), 1);
        EXPECT_EQ(StoredWidth(c.key, L"ColumnW01"), 77u);
        EXPECT_EQ(StoredWidth(c.key, L"ColumnW00"), static_cast<DWORD>(SendMessageW(body, LVM_GETCOLUMNWIDTH, 0, 0)));
        EXPECT_EQ(StoredWidth(c.key, L"ColumnW02"), 0xFFFFFFFFu) << "two columns, two values";

        sheet.Reset();
        EXPECT_EQ(x.term(), 1);
        RegDeleteTreeW(HKEY_CURRENT_USER, c.key);
    }
}

TEST(TabPagesOnWine, APageThatThrowsWhileBeingMadeIsRefused) {
    _wputenv(L"QUARRO_TEST_PAGE_THROW=SetupPropertyPage");
    UniqueLibrary module(LoadLibraryW(TestModulePath(L"TestPage.dll").c_str()));
    ASSERT_TRUE(module);
    const Exports x = Bind(module.Get());
    ASSERT_TRUE(x.setup && x.term);
    PropSheetPageHandle page = &page;
    EXPECT_EQ(x.setup(&page), -2);
    EXPECT_EQ(page, nullptr);
    _wputenv(L"QUARRO_TEST_PAGE_THROW=");
    EXPECT_EQ(x.setup(&page), 1);
    DestroyPropertySheetPage(static_cast<HPROPSHEETPAGE>(page));
    EXPECT_EQ(x.term(), 1);
}

}  // namespace
