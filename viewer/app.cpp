#include "viewer/app.h"

#include "common/module_strings.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "viewer/command_line.h"
#include "viewer/instance_guard.h"
#include "viewer/report.h"
#include "viewer/viewer_strings.h"
#include "viewer/watch_service.h"

using quarro::resources::LoadModuleString;

ViewerState& Viewer() {
    static ViewerState state;
    return state;
}

bool CAlmanacApp::InitInstance(const std::u16string& commandLine) {
    ViewerState& viewer = Viewer();
    viewer.ResourceModule = environment_.instance;

    {
        const CWinVersion version;
        char16_t caption[100] = {};
        char16_t text[260] = {};
        LoadModuleString(IDS_PRODUCT, caption, 100);
        LoadModuleString(IDS_UNSUPPORTED_OS, text, 260);
        if (version.ConfirmSupportedOs(0, text, caption) == 0) return false;
    }

    CMultipleInstancePreventer instance(u"MireltaQuarroMutex");
    if (!instance.Create()) return false;

    if (environment_.initializeOle && !environment_.initializeOle()) return false;
    struct OleScope {
        void (*uninitialize)();
        ~OleScope() {
            if (uninitialize) uninitialize();
        }
    } ole{environment_.initializeOle ? environment_.uninitializeOle : nullptr};

    const CommandLine line = ParseCommandLine(commandLine);
    if (line.firstLogin) return false;
    if (line.smartIdNames) viewer.SmartIdNames = 1;
    if (line.outputLog) {
        WriteReportRun(line.report, viewer.SmartIdNames != 0);
        return false;
    }

    std::uint32_t state = 0;
    if (QueryWatchServiceState(&state)) {
        viewer.ServiceStateAtStart = state;
        viewer.AutoSaveOff = state != quarro::platform::kServiceRunning ? 1 : 0;
    } else {
        viewer.ServiceStateAtStart = 0;
    }
    if (environment_.runInteractive) environment_.runInteractive(viewer);
    return false;
}
