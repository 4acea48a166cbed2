// Glance.exe on Windows: the screen capture through GDI, the system's name for the documents
// folder, and bringing a running instance's window forward; everything else is the portable run.
#include <windows.h>

#include <cstring>
#include <new>

#include "platform/win32/handles.h"
#include "screencopy/glance_core.h"

namespace {

using quarro::glance::Capture;
using namespace quarro::win32;

// The whole screen into an 8-bit section with the fixed palette. Windows maps every screen colour
// onto its nearest palette entry as it copies; CAPTUREBLT takes layered windows along.
bool CaptureScreen(Capture* out) {
    WindowDc screen(nullptr);
    if (!screen || !out) return false;
    const int width = GetDeviceCaps(screen.Get(), HORZRES);
    const int height = GetDeviceCaps(screen.Get(), VERTRES);
    if (width <= 0 || height <= 0) return false;

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    static_assert(sizeof(info) == quarro::glance::kInfoHeaderBytes + quarro::glance::kColourTableBytes, "BITMAPINFO");
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: rows bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    const auto table = quarro::glance::PaletteColourTable();
    std::memcpy(info.colours, table.data(), table.size());

    UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    UniqueGdiObject section(
        CreateDIBSection(screen.Get(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !section || !bits) return false;
    {
        SelectedObject selected(memory.Get(), section.Get());
        if (!selected.Succeeded()) return false;
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY | CAPTUREBLT)) return false;
        GdiFlush();
        if (GetDIBColorTable(memory.Get(), 0, 256, reinterpret_cast<RGBQUAD*>(out->colourTable.data())) != 256) {
            return false;
        }
    }
    DIBSECTION described = {};
    if (GetObjectW(section.Get(), sizeof(described), &described) != sizeof(described)) return false;
    std::memcpy(out->infoHeader.data(), &described.dsBmih, quarro::glance::kInfoHeaderBytes);
    const auto stride = static_cast<std::size_t>(described.dsBm.bmWidthBytes);
    if (stride != quarro::glance::RowStride(width) || described.dsBm.bmHeight != height) return false;
    try {
        const auto* first = static_cast<const std::uint8_t*>(bits);
        out->pixels.assign(first, first + stride * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool LoadShellString(std::uint32_t id, std::u16string* text) {
    UniqueLibrary shell(LoadLibraryW(L"shell32.dll"));
    if (!shell || !text) return false;
    wchar_t buffer[260] = {};
    const int copied = LoadStringW(shell.Get(), id, buffer, 260);
    if (copied <= 0) return false;
    text->assign(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(copied));
    return true;
}

// The first instance's window is its message box, titled with the caption.
void BringForward(const char16_t* caption) {
    HWND window = FindWindowW(nullptr, reinterpret_cast<const wchar_t*>(caption));
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(window));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quarro::glance::Environment environment;
    environment.capture = &CaptureScreen;
    environment.loadSystemString = &LoadShellString;
    environment.bringForward = &BringForward;
    quarro::glance::Run(environment);
    return 0;
}
