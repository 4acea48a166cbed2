// Test driver for the interactive viewer: finds the viewer's windows, reads what they show, and
// plays the user (selects pages, resizes, clicks, answers dialogs) or the system (power events)
// through window messages. One command per run; the answer goes to stdout as "key=value" lines.
//
//   gui_driver sheet [TIMEOUT_MS]            the sheet: window and client size, page titles, selection
//   gui_driver select INDEX                  PSM_SETCURSEL
//   gui_driver resize WIDTH HEIGHT           SetWindowPos on the sheet, then its layout
//   gui_driver layout                        sheet, OK, Cancel, tab control, current page, list, buttons
//   gui_driver page-button ID                BM_CLICK on button ID of the current page (1016 Save, 1017 About)
//   gui_driver press ID                      BM_CLICK on the sheet's button ID (1 OK, 2 Cancel)
//   gui_driver wait-window KIND [TIMEOUT_MS] KIND: progress, range, about, file, message; prints its texts
//   gui_driver range displayed|all ok|cancel answers the save-range question
//   gui_driver save-as PATH                  types PATH into the file dialog and presses its OK button
//   gui_driver about-ok                      closes the About box
//   gui_driver ok KIND                       presses OK of a dialog of that kind (also: dump, the hard-disk
//                                            page's raw-sector dialog)
//   gui_driver message yes|no|ok             answers the open message box
//   gui_driver send MSG WPARAM               SendMessage to "AlmanacMain" (numbers, 0x.. allowed)
//   gui_driver post MSG WPARAM               PostMessage to "AlmanacMain"
//   gui_driver service-state                 WM_APP + 103 with a pointer into the viewer's memory
//   gui_driver about-text TEXT               WM_APP + 101 with an ANSI text in the viewer's memory
//   gui_driver wait-exit [TIMEOUT_MS]        until "AlmanacMain" is gone
//   gui_driver column-widths                 the current page's list column widths
//   gui_driver list-rows                     the current page's list rows: rows=N, rowI=col0|col1
//   gui_driver list-items                    the current page's list rows: "rows=N", then "row=ITEM|VALUE" each
//   gui_driver expand-tree ID                expands every item of tree ID on the current page;
//                                            prints its item count and the first visible item's text
//   gui_driver move-window KIND X Y          moves the window to screen position X, Y (for pictures)
//   gui_driver box CAPTION [TIMEOUT_MS]      any program's message box titled CAPTION: its texts, its
//                                            message with line breaks as "\n", whether it is in front
//   gui_driver box-answer CAPTION yes|no|ok  answers that box
//   gui_driver activate TITLE                brings the top-level window TITLE to the foreground
//   gui_driver shell-string ID               string ID of the system's shell32.dll
// Exit code 0 when the command did its work, 1 when a window was not found, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSendTimeoutMs = 10000;

DWORD Number(const wchar_t* text) { return static_cast<DWORD>(std::wcstoul(text, nullptr, 0)); }

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

std::wstring Text(HWND window) {
    wchar_t buffer[1024] = {};
    // Statics and captions keep their text in the window: read it without a message, which a
    // thread busy loading modules would not answer.
    if (ClassOf(window) != L"Edit" && InternalGetWindowText(window, buffer, 1024) > 0) return buffer;
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    buffer[1023] = 0;
    return buffer;
}

void Print(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void Print(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }

void PrintRect(const char* key, const RECT& r) {
    std::printf("%s=%ld,%ld,%ld,%ld\n", key, r.left, r.top, r.right, r.bottom);
}

HWND MainDialog() { return FindWindowW(L"#32770", L"AlmanacMain"); }

DWORD ViewerProcess() {
    DWORD process = 0;
    if (HWND main = MainDialog()) GetWindowThreadProcessId(main, &process);
    return process;
}

// Visible top-level dialogs of the viewer's process.
std::vector<HWND> ViewerDialogs() {
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{ViewerProcess(), {}};
    if (!search.process) return {};
    EnumWindows(
        [](HWND window, LPARAM data) __attribute__((stdcall)) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == s->process && IsWindowVisible(window) && ClassOf(window) == L"#32770") s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ChildOfClass(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) __attribute__((stdcall)) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (ClassOf(window) == s->name) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsSheet(HWND w) { return GetDlgItem(w, IDOK) && FindWindowExW(w, nullptr, L"SysTabControl32", nullptr); }
bool IsProgress(HWND w) { return GetDlgItem(w, 1010) && ChildOfClass(w, L"msctls_progress32"); }
bool IsRange(HWND w) { return GetDlgItem(w, 1003) && GetDlgItem(w, 1004) && !GetDlgItem(w, 1005); }
bool IsAbout(HWND w) { return GetDlgItem(w, 1005) && GetDlgItem(w, 1004); }
bool IsMessage(HWND w) { return GetDlgItem(w, 0xFFFF) || (GetDlgItem(w, IDYES) && GetDlgItem(w, IDNO)); }
// The hard-disk page's dialog with the raw data sector (list box 1022).
bool IsDump(HWND w) { return GetDlgItem(w, 1022) && GetDlgItem(w, IDOK) && !IsSheet(w); }
bool IsFileDialog(HWND w) { return !IsSheet(w) && !IsRange(w) && !IsAbout(w) && ChildOfClass(w, L"Edit"); }

HWND FindKind(const std::wstring& kind) {
    for (HWND w : ViewerDialogs()) {
        if (kind == L"sheet" && IsSheet(w)) return w;
        if (kind == L"progress" && IsProgress(w)) return w;
        if (kind == L"range" && IsRange(w)) return w;
        if (kind == L"about" && IsAbout(w)) return w;
        if (kind == L"dump" && IsDump(w)) return w;
        if (kind == L"file" && IsFileDialog(w) && !IsDump(w)) return w;
        if (kind == L"message" && IsMessage(w) && !IsSheet(w) && !IsRange(w) && !IsAbout(w)) return w;
    }
    return nullptr;
}

HWND WaitKind(const std::wstring& kind, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindKind(kind)) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

RECT ClientRectIn(HWND parent, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND CurrentPage(HWND sheet) {
    DWORD_PTR page = 0;
    SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &page);
    return reinterpret_cast<HWND>(page);
}

// Reads the sheet's tab titles through memory of the viewer's process (TCM_GETITEMW takes a pointer).
std::vector<std::wstring> TabTitles(HWND tab) {
    std::vector<std::wstring> titles;
    DWORD process = 0;
    GetWindowThreadProcessId(tab, &process);
    HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (!handle) return titles;
    struct Remote {
        TCITEMW item;
        wchar_t text[260];
    };
    auto* remote = static_cast<Remote*>(VirtualAllocEx(handle, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; remote && i < count; ++i) {
        Remote local = {};
        local.item.mask = TCIF_TEXT;
        local.item.pszText = remote->text;
        local.item.cchTextMax = 259;
        SIZE_T moved = 0;
        WriteProcessMemory(handle, remote, &local, sizeof(local), &moved);
        DWORD_PTR ok = 0;
        SendMessageTimeoutW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&remote->item),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ok);
        ReadProcessMemory(handle, remote, &local, sizeof(local), &moved);
        local.text[259] = 0;
        titles.push_back(local.text);
    }
    if (remote) VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
    CloseHandle(handle);
    return titles;
}

void PrintSheet(HWND sheet) {
    RECT window = {}, client = {};
    GetWindowRect(sheet, &window);
    GetClientRect(sheet, &client);
    PrintRect("window", window);
    Print("client", std::to_string(client.right) + "," + std::to_string(client.bottom));
    Print("caption", Utf8(Text(sheet)));
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    std::string titles;
    for (const std::wstring& title : TabTitles(tab)) titles += (titles.empty() ? "" : "|") + Utf8(title);
    Print("titles", titles);
    Print("selected", static_cast<long long>(SendMessageW(tab, TCM_GETCURSEL, 0, 0)));
    const LONG_PTR exStyle = GetWindowLongPtrW(sheet, GWL_EXSTYLE);
    const LONG_PTR style = GetWindowLongPtrW(sheet, GWL_STYLE);
    Print("appwindow", (exStyle & WS_EX_APPWINDOW) ? 1 : 0);
    Print("thickframe", (style & WS_THICKFRAME) ? 1 : 0);
    Print("ok_text", Utf8(Text(GetDlgItem(sheet, IDOK))));
    Print("cancel_text", Utf8(Text(GetDlgItem(sheet, IDCANCEL))));
}

void PrintLayout(HWND sheet) {
    RECT client = {};
    GetClientRect(sheet, &client);
    Print("client", std::to_string(client.right) + "," + std::to_string(client.bottom));
    RECT window = {};
    GetWindowRect(sheet, &window);
    PrintRect("window", window);
    PrintRect("ok", ClientRectIn(sheet, GetDlgItem(sheet, IDOK)));
    PrintRect("cancel", ClientRectIn(sheet, GetDlgItem(sheet, IDCANCEL)));
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    PrintRect("tab", ClientRectIn(sheet, tab));
    HWND page = CurrentPage(sheet);
    if (!page) return;
    PrintRect("page", ClientRectIn(sheet, page));
    RECT pageClient = {};
    GetClientRect(page, &pageClient);
    Print("page_client", std::to_string(pageClient.right) + "," + std::to_string(pageClient.bottom));
    PrintRect("list", ClientRectIn(page, GetDlgItem(page, 1018)));
    PrintRect("save", ClientRectIn(page, GetDlgItem(page, 1016)));
    PrintRect("about", ClientRectIn(page, GetDlgItem(page, 1017)));
}

// The rows of a list view in another process, through a buffer in that process: "rows=N", then
// "row=<item>|<value>" per row (UTF-8).
bool PrintListRows(HWND list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    constexpr int kUnits = 512;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kUnits * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Print("rows", count);
    for (int row = 0; remote && row < count; ++row) {
        std::string line;
        for (int column = 0; column < 2; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.cchTextMax = kUnits;
            item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
            wchar_t text[kUnits] = {};
            SIZE_T done = 0;
            WriteProcessMemory(process, remote, &item, sizeof(item), &done);
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, item.pszText, text, sizeof(text) - sizeof(wchar_t), &done);
            char utf8[kUnits * 3] = {};
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
            line += (column ? "|" : "") + std::string(utf8);
        }
        Print("row", line);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return remote != nullptr;
}

void PrintTexts(HWND dialog) {
    RECT window = {};
    GetWindowRect(dialog, &window);
    PrintRect("window", window);
    Print("caption", Utf8(Text(dialog)));
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM) __attribute__((stdcall)) -> BOOL {
            const int id = GetDlgCtrlID(child);
            std::string text = Utf8(Text(child));
            for (char& c : text) {
                if (c == '\n' || c == '\r') c = ' ';
            }
            std::printf("control.%d=%s\n", id, text.c_str());
            if (ClassOf(child) == L"Button") {
                const LRESULT checked = SendMessageW(child, BM_GETCHECK, 0, 0);
                if (checked == BST_CHECKED) std::printf("checked.%d=1\n", id);
            }
            if (!IsWindowEnabled(child)) std::printf("disabled.%d=1\n", id);
            if (!IsWindowVisible(child)) std::printf("hidden.%d=1\n", id);
            if (ClassOf(child) == L"SysListView32") {
                std::printf("items.%d=%d\n", id, static_cast<int>(SendMessageW(child, LVM_GETITEMCOUNT, 0, 0)));
            }
            if (ClassOf(child) == L"ListBox") {
                std::printf("items.%d=%d\n", id, static_cast<int>(SendMessageW(child, LB_GETCOUNT, 0, 0)));
            }
            return TRUE;
        },
        0);
}

bool Click(HWND button) {
    if (!button) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

// Clicks without waiting: for buttons whose handler opens a modal dialog.
bool ClickLater(HWND button) {
    if (!button) return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

// Waits until `window` is gone (a dialog closed by a click); false when it is still there.
bool WaitGone(HWND window, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

// Copies `bytes` into fresh memory of the viewer's process (left there: the viewer may still read it).
void* CopyIntoViewer(const void* data, SIZE_T bytes) {
    HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, ViewerProcess());
    if (!handle) return nullptr;
    void* remote = VirtualAllocEx(handle, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    SIZE_T moved = 0;
    if (remote) WriteProcessMemory(handle, remote, data, bytes, &moved);
    CloseHandle(handle);
    return remote;
}

int Usage() {
    std::fprintf(stderr, "usage: see the comment at the top of gui_driver.cpp\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    const auto arg = [&](int i) -> const wchar_t* { return i < argc ? argv[i] : L""; };

    if (command == L"sheet") {
        HWND sheet = WaitKind(L"sheet", argc > 2 ? Number(argv[2]) : 20000);
        if (!sheet) return 1;
        PrintSheet(sheet);
        return 0;
    }
    if (command == L"wait-exit") {
        const DWORD timeout = argc > 2 ? Number(argv[2]) : 20000;
        const DWORD start = GetTickCount();
        while (MainDialog()) {
            if (GetTickCount() - start > timeout) return 1;
            Sleep(50);
        }
        return 0;
    }
    if (command == L"move-window") {
        HWND w = WaitKind(arg(2), 10000);
        if (!w || argc < 5) return 1;
        if (!SetWindowPos(w, nullptr, static_cast<int>(Number(argv[3])), static_cast<int>(Number(argv[4])), 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
            return 1;
        }
        PrintTexts(w);
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        return 0;
    }
    if (command == L"box" || command == L"box-answer") {
        const DWORD timeout = command == L"box" && argc > 3 ? Number(argv[3]) : 10000;
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!(box = FindWindowW(L"#32770", arg(2))) || !IsWindowVisible(box)) {
            if (GetTickCount() - start > timeout) return 1;
            Sleep(50);
        }
        if (command == L"box") {
            PrintTexts(box);
            std::string message = Utf8(Text(GetDlgItem(box, 0xFFFF)));
            for (std::size_t at = 0; (at = message.find('\n', at)) != std::string::npos; at += 2) message.replace(at, 1, "\\n");
            Print("message", message);
            Print("foreground", GetForegroundWindow() == box ? 1 : 0);
            return 0;
        }
        const std::wstring answer = arg(3);
        const int id = answer == L"yes" ? IDYES : answer == L"no" ? IDNO : IDOK;
        return ClickLater(GetDlgItem(box, id)) && WaitGone(box) ? 0 : 1;
    }
    if (command == L"activate") {
        HWND window = nullptr;
        const DWORD start = GetTickCount();
        while (!(window = FindWindowW(nullptr, arg(2)))) {
            if (GetTickCount() - start > 10000) return 1;
            Sleep(50);
        }
        SetForegroundWindow(window);
        Print("foreground", GetForegroundWindow() == window ? 1 : 0);
        return 0;
    }
    if (command == L"shell-string") {
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        wchar_t text[260] = {};
        const int copied = shell ? LoadStringW(shell, Number(arg(2)), text, 260) : 0;
        if (shell) FreeLibrary(shell);
        Print("text", Utf8(text));
        return copied > 0 ? 0 : 1;
    }
    if (command == L"wait-window") {
        HWND w = WaitKind(arg(2), argc > 3 ? Number(argv[3]) : 20000);
        if (!w) return 1;
        PrintTexts(w);
        // Ask for a full repaint, so that a screen shot taken next shows the finished window.
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        return 0;
    }
    if (command == L"send" || command == L"post") {
        HWND main = MainDialog();
        if (!main || argc < 4) return 1;
        const UINT message = Number(argv[2]);
        const WPARAM wParam = Number(argv[3]);
        if (command == L"post") return PostMessageW(main, message, wParam, 0) ? 0 : 1;
        DWORD_PTR result = 0;
        const bool sent = SendMessageTimeoutW(main, message, wParam, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
        Print("result", static_cast<long long>(result));
        return sent ? 0 : 1;
    }
    if (command == L"service-state") {
        HWND main = MainDialog();
        if (!main) return 1;
        const std::int32_t marker = 0x5A5A5A5A;
        auto* remote = static_cast<std::int32_t*>(CopyIntoViewer(&marker, sizeof(marker)));
        if (!remote) return 1;
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main, WM_APP + 103, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        HANDLE handle = OpenProcess(PROCESS_VM_READ | PROCESS_VM_OPERATION, FALSE, ViewerProcess());
        std::int32_t state = -1;
        SIZE_T moved = 0;
        if (handle) {
            ReadProcessMemory(handle, remote, &state, sizeof(state), &moved);
            VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
            CloseHandle(handle);
        }
        Print("state", state);
        return 0;
    }
    if (command == L"about-text") {
        HWND main = MainDialog();
        if (!main) return 1;
        char ansi[260] = {};
        WideCharToMultiByte(CP_ACP, 0, arg(2), -1, ansi, 259, nullptr, nullptr);
        void* remote = CopyIntoViewer(ansi, std::strlen(ansi) + 1);
        if (!remote) return 1;
        return PostMessageW(main, WM_APP + 101, 0, reinterpret_cast<LPARAM>(remote)) ? 0 : 1;
    }
    if (command == L"range") {
        HWND range = WaitKind(L"range", 10000);
        if (!range) return 1;
        Click(GetDlgItem(range, std::wstring(arg(2)) == L"all" ? 1004 : 1003));
        return ClickLater(GetDlgItem(range, std::wstring(arg(3)) == L"cancel" ? IDCANCEL : IDOK)) && WaitGone(range) ? 0 : 1;
    }
    if (command == L"save-as") {
        HWND file = WaitKind(L"file", 20000);
        if (!file) return 1;
        Sleep(300);  // let the dialog finish its own set-up
        HWND edit = ChildOfClass(file, L"Edit");
        DWORD_PTR result = 0;
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2)), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        HWND ok = GetDlgItem(file, IDOK);
        if (!ok) return 1;
        return ClickLater(ok) && WaitGone(file) ? 0 : 1;
    }
    if (command == L"ok") {  // ok KIND: presses OK of that dialog
        HWND w = WaitKind(arg(2), 10000);
        return w && ClickLater(GetDlgItem(w, IDOK)) && WaitGone(w) ? 0 : 1;
    }
    if (command == L"about-ok") {
        HWND about = WaitKind(L"about", 10000);
        return about && ClickLater(GetDlgItem(about, IDOK)) && WaitGone(about) ? 0 : 1;
    }
    if (command == L"message") {
        HWND box = WaitKind(L"message", 10000);
        if (!box) return 1;
        const std::wstring answer = arg(2);
        const int id = answer == L"yes" ? IDYES : answer == L"no" ? IDNO : IDOK;
        return ClickLater(GetDlgItem(box, id)) && WaitGone(box) ? 0 : 1;
    }

    HWND sheet = WaitKind(L"sheet", 10000);
    if (!sheet) return 1;
    if (command == L"select") {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(sheet, PSM_SETCURSEL, Number(arg(2)), 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        PrintSheet(sheet);
        return 0;
    }
    if (command == L"resize") {
        SetWindowPos(sheet, nullptr, 0, 0, static_cast<int>(Number(arg(2))), static_cast<int>(Number(arg(3))),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sleep(300);
        PrintLayout(sheet);
        return 0;
    }
    if (command == L"layout") {
        PrintLayout(sheet);
        return 0;
    }
    if (command == L"page-button") {
        HWND page = CurrentPage(sheet);
        return page && ClickLater(GetDlgItem(page, static_cast<int>(Number(arg(2))))) ? 0 : 1;
    }
    if (command == L"press") {
        return ClickLater(GetDlgItem(sheet, static_cast<int>(Number(arg(2))))) ? 0 : 1;
    }
    if (command == L"expand-tree") {
        HWND page = CurrentPage(sheet);
        HWND tree = page ? GetDlgItem(page, static_cast<int>(Number(arg(2)))) : nullptr;
        if (!tree) return 1;
        // Depth first through the handles the tree hands out; each item is expanded before its
        // children are asked for.
        std::vector<HTREEITEM> pending;
        pending.push_back(reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
        int items = 0;
        while (!pending.empty()) {
            HTREEITEM item = pending.back();
            pending.pop_back();
            for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                          reinterpret_cast<LPARAM>(item)))) {
                ++items;
                SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
                const auto child = reinterpret_cast<HTREEITEM>(
                    SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
                if (child) pending.push_back(child);
            }
        }
        const auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(first));
        Print("items", std::to_string(items));
        return 0;
    }
    if (command == L"list-items") {
        HWND page = CurrentPage(sheet);
        HWND list = page ? GetDlgItem(page, 1018) : nullptr;
        return list && PrintListRows(list) ? 0 : 1;
    }
    if (command == L"column-widths") {
        HWND page = CurrentPage(sheet);
        HWND list = page ? GetDlgItem(page, 1018) : nullptr;
        if (!list) return 1;
        std::string widths;
        for (int c = 0; c < 2; ++c) {
            widths += (c ? "," : "") + std::to_string(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
        }
        Print("widths", widths);
        return 0;
    }
    if (command == L"list-rows") {
        HWND page = CurrentPage(sheet);
        HWND list = page ? GetDlgItem(page, 1018) : nullptr;
        HANDLE process = list ? OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE,
                                            ViewerProcess())
                              : nullptr;
        if (!process) return 1;
        // The list's item texts are read through an LVITEMW and a text buffer in the viewer's memory.
        constexpr SIZE_T kUnits = 260;
        auto* remote = static_cast<std::uint8_t*>(
            VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kUnits * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
        DWORD_PTR count = 0;
        SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
        Print("rows", static_cast<long long>(count));
        for (DWORD_PTR i = 0; remote && i < count; ++i) {
            std::wstring cells;
            for (int c = 0; c < 2; ++c) {
                LVITEMW item = {};
                item.iSubItem = c;
                item.cchTextMax = static_cast<int>(kUnits);
                item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
                wchar_t text[kUnits] = {};
                SIZE_T moved = 0;
                DWORD_PTR copied = 0;
                WriteProcessMemory(process, remote, &item, sizeof(item), &moved);
                WriteProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text), &moved);
                SendMessageTimeoutW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                    kSendTimeoutMs, &copied);
                ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t), &moved);
                cells += (c ? L"|" : L"") + std::wstring(text);
            }
            Print(("row" + std::to_string(i)).c_str(), Utf8(cells));
        }
        if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        return remote ? 0 : 1;
    }
    return Usage();
}
