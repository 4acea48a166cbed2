// The raw-SMBIOS concern on Windows: the first object of WMI's MSSMBios_RawSMBiosTables in
// ROOT\WMI, through COM, in this order: apartment-threaded COM for the call, process security
// (RPC_E_TOO_LATE accepted: someone set it already), the in-process locator, the namespace, the
// proxy blanket, a forward-only query that returns immediately, the first object only, and its
// properties read only when they have their own types. COM is uninitialised again when this
// call's initialisation succeeded; the objects are released first.
#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/concerns.h"
#include "platform/raw_smbios.h"
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

// An unsigned-byte property; 0 when it is absent or of another type.
std::uint8_t ReadByte(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Get(), nullptr, nullptr))) return 0;
    return V_VT(value.Get()) == VT_UI1 ? V_UI1(value.Get()) : 0;
}

// A 32-bit integer property (WMI hands uint32 out as VT_I4); 0 when absent or of another type.
std::uint32_t ReadDword(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Get(), nullptr, nullptr))) return 0;
    if (V_VT(value.Get()) == VT_I4) return static_cast<std::uint32_t>(V_I4(value.Get()));
    if (V_VT(value.Get()) == VT_UI4) return V_UI4(value.Get());
    return 0;
}

// The unsigned-byte array property `name`: at most `size` of its bytes. False when it is absent,
// not such an array, or its data cannot be reached.
bool ReadBytes(IWbemClassObject* object, const wchar_t* name, std::uint32_t size, std::vector<std::uint8_t>* bytes) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Get(), nullptr, nullptr))) return false;
    if (V_VT(value.Get()) != (VT_ARRAY | VT_UI1)) return false;
    SAFEARRAY* array = V_ARRAY(value.Get());
    if (!array || SafeArrayGetDim(array) != 1) return false;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) return false;
    const LONGLONG count = upper >= lower ? LONGLONG{upper} - lower + 1 : 0;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return false;
    const std::size_t n = static_cast<std::size_t>(count < LONGLONG{size} ? count : LONGLONG{size});
    const auto* first = static_cast<const std::uint8_t*>(data);
    if (first) bytes->assign(first, first + n);
    SafeArrayUnaccessData(array);
    return first != nullptr || n == 0;
}

bool QueryFirstObject(RawSmbiosRecord* record) {
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) return false;

    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                                locator.PutVoid())) ||
        !locator) {
        return false;
    }
    const Bstr space(L"ROOT\\WMI");
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
    const Bstr query(L"SELECT * FROM MSSMBios_RawSMBiosTables");
    if (!language || !query) return false;
    ComRef<IEnumWbemClassObject> objects;
    if (FAILED(services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, objects.Put())) ||
        !objects) {
        return false;
    }
    ComRef<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT next = objects->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Put(), &returned);
    if (FAILED(next) || returned == 0 || !object) return false;

    RawSmbiosRecord read;
    read.majorVersion = ReadByte(object.Get(), L"SmbiosMajorVersion");
    read.minorVersion = ReadByte(object.Get(), L"SmbiosMinorVersion");
    read.size = ReadDword(object.Get(), L"Size");
    read.hasData = read.size != 0 && ReadBytes(object.Get(), L"SMBiosData", read.size, &read.data);
    *record = std::move(read);
    return true;
}

class Win32RawSmbiosTables : public IRawSmbiosTables {
public:
    bool ReadRawTable(RawSmbiosRecord* record) override {
        if (!record) return false;
        const CoInitScope apartment(COINIT_APARTMENTTHREADED);
        if (!apartment.Succeeded()) return false;
        return QueryFirstObject(record);
    }
};

}  // namespace

std::shared_ptr<IRawSmbiosTables> MakeWin32RawSmbiosTables() { return std::make_shared<Win32RawSmbiosTables>(); }

}  // namespace quarro::platform::win32
