// Almanac.exe on Windows: the application object over wWinMain.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "viewer/app.h"
#include "viewer/win32/almanac_dlg.h"

namespace {

bool InitializeOle() { return SUCCEEDED(OleInitialize(nullptr)); }
void UninitializeOle() { OleUninitialize(); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // Common Controls 6 (the manifest): progress bar, list view, tab control, property sheet.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                           ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    AppEnvironment environment;
    environment.instance = reinterpret_cast<std::uintptr_t>(instance);
    environment.initializeOle = &InitializeOle;
    environment.uninitializeOle = &UninitializeOle;
    environment.runInteractive = &RunInteractiveViewer;
    CAlmanacApp app(environment);
    app.InitInstance(commandLine ? reinterpret_cast<const char16_t*>(commandLine) : u"");
    return 0;
}
