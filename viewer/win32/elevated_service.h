// The elevated service-control object: a local COM server outside the viewer (registered as an
// elevatable class) that sets the watch service "Watchpost" to match the user's wish. The viewer
// reaches it through the elevation moniker and calls one method. See docs/elevated-service-object.md.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "platform/win32/handles.h"

// CLSID {E1A2F613-2EC2-4FB8-B34F-25AF355EBF5B}
inline constexpr GUID kClsidQuarroServiceSetting = {
    0xe1a2f613, 0x2ec2, 0x4fb8, {0xb3, 0x4f, 0x25, 0xaf, 0x35, 0x5e, 0xbf, 0x5b}};
// IID {2A99CA62-F847-452A-85C3-769E6DEF9B77}
inline constexpr GUID kIidQuarroServiceSetting = {
    0x2a99ca62, 0xf847, 0x452a, {0x85, 0xc3, 0x76, 0x9e, 0x6d, 0xef, 0x9b, 0x77}};

// Dual interface; the viewer calls only its first method after the four of IDispatch.
struct IQuarroServiceSetting : public IDispatch {
    // owner: the window to own the object's question (a window handle as a 32-bit value, as
    // handles cross process and bitness boundaries); autoSaveOff: 1 = disable and stop the
    // service, 0 = automatic start and running; askFirst: 1 = ask the user before changing.
    // Negative when the change was refused or failed.
    virtual HRESULT STDMETHODCALLTYPE ApplyAutoSaveSetting(ULONG owner, LONG autoSaveOff, LONG askFirst) = 0;
};

// CoGetObject on "Elevation:Administrator!new:{CLSID}" with BIND_OPTS3 (the structure's own size
// -- 36 bytes in the 32-bit build --, CLSCTX_LOCAL_SERVER, `owner` for the consent prompt,
// everything else zero). COM must be initialised on the calling thread.
HRESULT BindElevatedServiceSetting(HWND owner, quarro::win32::ComRef<IQuarroServiceSetting>& setting);
