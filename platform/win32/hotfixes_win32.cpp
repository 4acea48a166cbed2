// The installed-updates concern on Windows: WMI's Win32_QuickFixEngineering through COM. One query
// per call, on the calling thread: COM is initialised for the call (single-threaded apartment)
// and uninitialised again when that initialisation succeeded.
#include <windows.h>
#include <wbemidl.h>

#include "platform/concerns.h"
#include "platform/hotfixes.h"
#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::Bstr;
using quarro::win32::CoInitScope;
using quarro::win32::ComRef;
using quarro::win32::Variant;

// {4590F811-1D3A-11D0-891F-00AA004B2E24} and {DC12A687-737F-11CF-884D-00AA004B2E24}: kept here so
// that no module needs the wbemuuid import library.
const CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

// A string property of a WMI object; *isString false when it is absent, NULL or of another type.
void ReadText(IWbemClassObject* object, const wchar_t* name, bool* isString, std::u16string* text) {
    *isString = false;
    text->clear();
    Variant value;
    if (FAILED(object->Get(name, 0, value.Get(), nullptr, nullptr))) return;
    if (V_VT(value.Get()) != VT_BSTR) return;
    *isString = true;
    const BSTR s = V_BSTR(value.Get());
    if (!s) return;
    UINT length = SysStringLen(s);
    if (length > kHotfixTextMaxUnits) length = static_cast<UINT>(kHotfixTextMaxUnits);
    text->assign(reinterpret_cast<const char16_t*>(s), length);
}

bool RunQuery(const std::function<bool(const HotfixObject&)>& visit) {
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // Someone in the process (the viewer, another module) already set it: that is fine.
    if (FAILED(security) && security != RPC_E_TOO_LATE) return false;

    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                                locator.PutVoid()))) {
        return false;
    }
    const Bstr space(L"ROOT\\CIMV2");
    if (!space) return false;
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put())) ||
        !services) {
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        return false;
    }
    const Bstr language(L"WQL");
    const Bstr query(L"SELECT * FROM Win32_QuickFixEngineering");
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
        HotfixObject record;
        ReadText(object.Get(), L"HotFixID", &record.hotFixIdIsString, &record.hotFixId);
        ReadText(object.Get(), L"Description", &record.descriptionIsString, &record.description);
        object.Reset();
        if (!visit(record)) break;
    }
    return true;
}

class Win32Hotfixes : public IHotfixes {
public:
    bool Query(const std::function<bool(const HotfixObject&)>& visit) override {
        const CoInitScope apartment(COINIT_APARTMENTTHREADED);
        if (!apartment.Succeeded()) return false;
        return RunQuery(visit);
    }
};

}  // namespace

std::shared_ptr<IHotfixes> MakeWin32Hotfixes() { return std::make_shared<Win32Hotfixes>(); }

}  // namespace quarro::platform::win32
