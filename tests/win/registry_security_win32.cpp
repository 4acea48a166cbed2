// Gives a registry key a protected security descriptor that grants everyone exactly the rights of
// an access mask, so that a test can make Windows refuse an access (the CReg differential table
// uses it; natively the in-memory registry's RestrictKey stands in).
#include <windows.h>

#include <cstdint>

#include "platform/registry.h"
#include "platform/win32/handles.h"

bool RestrictKeyForTest(quarro::platform::RegKey root, const char16_t* path, std::uint32_t view,
                        std::uint32_t granted) {
    DWORD sid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)] = {};
    DWORD sidSize = sizeof(sid);
    if (!CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize)) return false;
    DWORD acl[64] = {};
    auto* dacl = reinterpret_cast<PACL>(acl);
    if (!InitializeAcl(dacl, sizeof(acl), ACL_REVISION) || !AddAccessAllowedAce(dacl, ACL_REVISION, granted, sid)) {
        return false;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE)) {
        return false;
    }
    quarro::win32::UniqueRegKey key;
    if (RegOpenKeyExW(reinterpret_cast<HKEY>(root), reinterpret_cast<const wchar_t*>(path), 0, WRITE_DAC | view,
                      key.Put()) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             &descriptor) == ERROR_SUCCESS;
}
