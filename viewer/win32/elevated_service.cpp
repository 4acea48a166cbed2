#include "viewer/win32/elevated_service.h"

#include <objbase.h>

#include <string>

#if defined(__i386__)
static_assert(sizeof(BIND_OPTS3) == 36, "BIND_OPTS3 of the 32-bit build");
#endif

HRESULT BindElevatedServiceSetting(HWND owner, quarro::win32::ComRef<IQuarroServiceSetting>& setting) {
    wchar_t clsid[40] = {};
    if (StringFromGUID2(kClsidQuarroServiceSetting, clsid, 40) == 0) return E_FAIL;
    const std::wstring moniker = std::wstring(L"Elevation:Administrator!new:") + clsid;
    BIND_OPTS3 options;
    ZeroMemory(&options, sizeof(options));
    options.cbStruct = sizeof(options);
    options.dwClassContext = CLSCTX_LOCAL_SERVER;
    options.hwnd = owner;
    return CoGetObject(moniker.c_str(), &options, kIidQuarroServiceSetting, setting.PutVoid());
}
