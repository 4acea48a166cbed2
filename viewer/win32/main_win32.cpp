// Almanac.exe on Windows: the application object over wWinMain.
#include <windows.h>
#include <ole2.h>

#include "viewer/app.h"

namespace {

bool InitializeOle() { return SUCCEEDED(OleInitialize(nullptr)); }
void UninitializeOle() { OleUninitialize(); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    AppEnvironment environment;
    environment.instance = reinterpret_cast<std::uintptr_t>(instance);
    environment.initializeOle = &InitializeOle;
    environment.uninitializeOle = &UninitializeOle;
    CAlmanacApp app(environment);
    app.InitInstance(commandLine ? reinterpret_cast<const char16_t*>(commandLine) : u"");
    return 0;
}
