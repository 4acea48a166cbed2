#include "viewer/win32/sheet_settings.h"

#include <commctrl.h>

#include <string>

#include "common/reg.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "viewer/app.h"
#include "viewer/sheet_rules.h"
#include "viewer/viewer_strings.h"
#include "viewer/watch_service.h"
#include "viewer/win32/elevated_service.h"
#include "viewer/win32/viewer_dialogs.h"

namespace pf = quarro::platform;

namespace {

constexpr char16_t kViewerKey[] = u"Software\\Mirelta\\Quarro";
constexpr char16_t kMakerKey[] = u"Software\\Mirelta";
constexpr const char16_t* kPlacementNames[4] = {u"WinPosLeft", u"WinPosTop", u"WinPosRight", u"WinPosBottom"};

int Ask(HWND owner, unsigned textId, std::uint32_t style) {
    const std::wstring text = ViewerString(textId);
    const std::wstring caption = ViewerString(IDS_PRODUCT);
    return pf::Prompt().ShowMessage(reinterpret_cast<pf::WindowHandle>(owner),
                                    reinterpret_cast<const char16_t*>(text.c_str()),
                                    reinterpret_cast<const char16_t*>(caption.c_str()), style);
}

void ApplyThroughElevation(HWND sheet) {
    const ViewerState& viewer = Viewer();
    quarro::win32::CoInitScope com(COINIT_APARTMENTTHREADED);
    if (!com.Succeeded()) return;
    quarro::win32::ComRef<IQuarroServiceSetting> setting;
    const HRESULT bound = BindElevatedServiceSetting(sheet, setting);
    if (FAILED(bound)) {
        // The user declining the consent prompt, or no such object: silent. A policy block says so.
        if (viewer_rules::BlockedByPolicy(bound)) Ask(sheet, IDS_BLOCKED_BY_POLICY, pf::kMbOk);
        return;
    }
    const HRESULT applied = setting->ApplyAutoSaveSetting(
        HandleToUlong(sheet), viewer.AutoSaveOff, viewer_rules::AskFirst(viewer.ServiceStateAtStart, viewer.AutoSaveOff));
    if (FAILED(applied)) Ask(sheet, IDS_NO_PERMISSION, pf::kMbOk);
}

void ApplyDirectly(HWND sheet) {
    const ViewerState& viewer = Viewer();
    if (viewer.AutoSaveOff != 0) {
        if (viewer.ServiceStateAtStart == pf::kServiceRunning && Ask(sheet, IDS_DISABLE_AUTOSAVE, pf::kMbYesNo) != pf::kIdYes) {
            return;
        }
        StopWatchService();
    } else {
        StartWatchService();
    }
}

}  // namespace

void SaveSheetPlacement(HWND sheet) {
    const auto hkcu = pf::kHkeyCurrentUser;
    CReg reg;
    if (!reg.KeyExists(hkcu, kViewerKey, 0)) {
        reg.CreateKey(hkcu, kMakerKey, 0);
        if (!reg.CreateKey(hkcu, kViewerKey, 0)) return;
    }
    RECT rect = {};
    if (GetWindowRect(sheet, &rect)) {
        const LONG values[4] = {rect.left, rect.top, rect.right, rect.bottom};
        for (int i = 0; i < 4; ++i) reg.WriteDword(hkcu, kViewerKey, kPlacementNames[i], static_cast<std::uint32_t>(values[i]), 0);
    }
    HWND tab = PropSheet_GetTabControl(sheet);
    const int selected = tab ? TabCtrl_GetCurSel(tab) : -1;
    if (selected >= 0) reg.WriteDword(hkcu, kViewerKey, u"StartPage", static_cast<std::uint32_t>(selected), 0);
}

void ApplySheetPlacement(HWND sheet) {
    CReg reg;
    std::uint32_t values[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!reg.ReadDword(pf::kHkeyCurrentUser, kViewerKey, kPlacementNames[i], &values[i], 0)) return;
    }
    RECT saved = {static_cast<LONG>(values[0]), static_cast<LONG>(values[1]), static_cast<LONG>(values[2]),
                  static_cast<LONG>(values[3])};
    if (MonitorFromRect(&saved, MONITOR_DEFAULTTONULL)) {
        SetWindowPos(sheet, nullptr, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
                     SWP_NOZORDER);
        return;
    }
    RECT work = {};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return;
    const viewer_rules::Rect placed = viewer_rules::CentreInWorkArea(
        viewer_rules::Rect{saved.left, saved.top, saved.right, saved.bottom},
        viewer_rules::Rect{work.left, work.top, work.right, work.bottom});
    SetWindowPos(sheet, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOZORDER);
}

bool ReadStartPage(std::uint32_t* page) {
    return CReg().ReadDword(pf::kHkeyCurrentUser, kViewerKey, u"StartPage", page, 0) != 0;
}

void OnSheetOk(HWND sheet) {
    SaveSheetPlacement(sheet);
    ViewerState& viewer = Viewer();
    viewer.OkPressed = 1;
    if (!viewer_rules::ServiceChangeNeeded(viewer.AutoSaveOff, viewer.ServiceStateAtStart)) return;
    const CWinVersion version;
    if (version.IsVistaFamilyClient()) {
        ApplyThroughElevation(sheet);
    } else {
        ApplyDirectly(sheet);
    }
}
