#include "platform/win32/wmi_query_win32.h"

#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::Bstr;
using quarro::win32::ComRef;

// {4590F811-1D3A-11D0-891F-00AA004B2E24} and {DC12A687-737F-11CF-884D-00AA004B2E24}: kept here so
// that no module needs the wbemuuid import library.
const CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

}  // namespace

bool RunWmiQuery(const wchar_t* space, const wchar_t* wql, const std::function<bool(IWbemClassObject*)>& visit) {
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) return false;

    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                                locator.PutVoid())) ||
        !locator) {
        return false;
    }
    const Bstr name(space);
    if (!name) return false;
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put())) ||
        !services) {
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        return false;
    }
    const Bstr language(L"WQL");
    const Bstr query(wql);
    if (!language || !query) return false;
    ComRef<IEnumWbemClassObject> objects;
    if (FAILED(services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, objects.Put())) ||
        !objects) {
        return false;
    }
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT next = objects->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Put(), &returned);
        if (FAILED(next) || returned == 0 || !object) break;
        if (!visit(object.Get())) break;
    }
    return true;
}

}  // namespace quarro::platform::win32
