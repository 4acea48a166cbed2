// The installed-updates concern on Windows: WMI's Win32_QuickFixEngineering through COM. One query
// per call, on the calling thread: COM is initialised for the call (single-threaded apartment)
// and uninitialised again when that initialisation succeeded.
#include <windows.h>
#include <wbemidl.h>

#include "platform/concerns.h"
#include "platform/hotfixes.h"
#include "platform/win32/handles.h"
#include "platform/win32/wmi_query_win32.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::CoInitScope;
using quarro::win32::Variant;

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
    return RunWmiQuery(L"ROOT\\CIMV2", L"SELECT * FROM Win32_QuickFixEngineering", [&](IWbemClassObject* object) {
        HotfixObject record;
        ReadText(object, L"HotFixID", &record.hotFixIdIsString, &record.hotFixId);
        ReadText(object, L"Description", &record.descriptionIsString, &record.description);
        return visit(record);
    });
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
