#include "platform/win32/hotfixes_win32.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

namespace quarro::platform::win32 {

namespace {

// {4590F811-1D3A-11D0-891F-00AA004B2E24} and {DC12A687-737F-11CF-884D-00AA004B2E24}: kept here so
// that no module needs the wbemuuid import library.
const CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

// Owns one COM interface pointer and releases it on every path.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Out() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return s_; }

private:
    BSTR s_;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Get() { return &v_; }

private:
    VARIANT v_;
};

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
                                reinterpret_cast<void**>(locator.Out())))) {
        return false;
    }
    const Bstr space(L"ROOT\\CIMV2");
    if (!space.Get()) return false;
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Out())) ||
        !services.Get()) {
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        return false;
    }
    const Bstr language(L"WQL");
    const Bstr query(L"SELECT * FROM Win32_QuickFixEngineering");
    if (!language.Get() || !query.Get()) return false;
    ComRef<IEnumWbemClassObject> objects;
    if (FAILED(services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, objects.Out())) ||
        !objects.Get()) {
        return false;
    }
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT next = objects->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Out(), &returned);
        if (FAILED(next) || returned == 0 || !object.Get()) break;
        HotfixObject record;
        ReadText(object.Get(), L"HotFixID", &record.hotFixIdIsString, &record.hotFixId);
        ReadText(object.Get(), L"Description", &record.descriptionIsString, &record.description);
        object.Reset();
        if (!visit(record)) break;
    }
    return true;
}

// Balances a successful CoInitializeEx only: uninitialising after a failed one would take away
// an initialisation that belongs to someone else on this thread.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (ok_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_;
};

}  // namespace

bool Win32Hotfixes::Query(const std::function<bool(const HotfixObject&)>& visit) {
    const ComApartment apartment;
    if (!apartment.Ok()) return false;
    return RunQuery(visit);
}

}  // namespace quarro::platform::win32
