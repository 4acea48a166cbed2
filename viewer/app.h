// CAlmanacApp: the viewer's start-up. The guards run in a fixed order (future-Windows question,
// single-instance mutex, OLE, command line); then the program either ends ("FIRSTLOGIN"), runs the
// report ("/OUTPUTLOG") or runs interactively.
#pragma once

#include <cstdint>
#include <string>

// Viewer-wide state, one per process.
struct ViewerState {
    std::uintptr_t ResourceModule = 0;
    std::int32_t SmartIdNames = 0;
    std::uint32_t ServiceStateAtStart = 0;
    std::int32_t AutoSaveOff = 0;
    std::int32_t OkPressed = 0;
    std::int32_t TabMarginX = 0;
    std::int32_t TabMarginY = 0;
    std::int16_t MinTrackWidth = 0;
    std::int16_t MinTrackHeight = 0;
};

ViewerState& Viewer();

// What differs between the Windows program and the native build.
struct AppEnvironment {
    std::uintptr_t instance = 0;
    bool (*initializeOle)() = nullptr;                 // null: nothing to initialise
    void (*uninitializeOle)() = nullptr;
    void (*runInteractive)(ViewerState&) = nullptr;    // null: the interactive run ends at once
};

class CAlmanacApp {
public:
    explicit CAlmanacApp(const AppEnvironment& environment) : environment_(environment) {}
    virtual ~CAlmanacApp() = default;

    // Does the whole run; always false, so that the program ends when it returns.
    bool InitInstance(const std::u16string& commandLine);

private:
    AppEnvironment environment_;
};
