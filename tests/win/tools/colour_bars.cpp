// Test pattern for screen copies: a topmost window titled "QuarroColourBars" at X, Y with size
// W x H, showing the colours given as RRGGBB in equal vertical bars across its upper half and in
// reverse order across its lower half, so that a copy shows whether left and right, top and bottom
// were kept. It closes itself after 120 s at the latest.
//   colour_bars X Y W H RRGGBB [RRGGBB ...]
#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

std::vector<COLORREF> colours;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        const int n = static_cast<int>(colours.size());
        for (int row = 0; row < 2; ++row) {
            for (int i = 0; i < n; ++i) {
                const RECT bar = {client.right * i / n, client.bottom * row / 2, client.right * (i + 1) / n,
                                  client.bottom * (row + 1) / 2};
                HBRUSH brush = CreateSolidBrush(colours[row == 0 ? i : n - 1 - i]);
                FillRect(dc, &bar, brush);
                DeleteObject(brush);
            }
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    for (int i = 5; i < argc; ++i) {
        const unsigned long rgb = std::wcstoul(argv[i], nullptr, 16);
        colours.push_back(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    }
    WNDCLASSW type = {};
    type.lpfnWndProc = &Procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"QuarroColourBars";
    type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    RegisterClassW(&type);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"QuarroColourBars", L"QuarroColourBars", WS_POPUP | WS_VISIBLE,
                                  _wtoi(argv[1]), _wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), nullptr, nullptr,
                                  type.hInstance, nullptr);
    if (!window) return 1;
    SetTimer(window, 1, 120000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
