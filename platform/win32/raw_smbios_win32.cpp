// The raw-SMBIOS concern on Windows: the first object of WMI's MSSMBios_RawSMBiosTables in
// ROOT\WMI (wmi_query_win32.h), in an apartment-threaded COM of the call's own, its properties
// read only when they have their own types. COM is uninitialised again when this call's
// initialisation succeeded; the objects are released first.
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
#include "platform/win32/wmi_query_win32.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::CoInitScope;
using quarro::win32::Variant;

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
    bool found = false;
    const bool ran = RunWmiQuery(L"ROOT\\WMI", L"SELECT * FROM MSSMBios_RawSMBiosTables", [&](IWbemClassObject* object) {
        RawSmbiosRecord read;
        read.majorVersion = ReadByte(object, L"SmbiosMajorVersion");
        read.minorVersion = ReadByte(object, L"SmbiosMinorVersion");
        read.size = ReadDword(object, L"Size");
        read.hasData = read.size != 0 && ReadBytes(object, L"SMBiosData", read.size, &read.data);
        *record = std::move(read);
        found = true;
        return false;  // the first object only
    });
    return ran && found;
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
