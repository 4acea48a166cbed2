// The shell-folder concern on Windows: SHGetKnownFolderPath, SHGetFolderPathW where that is
// missing.
#include <shlobj.h>

#include "platform/concerns.h"
#include "platform/shell_folders.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

struct FolderIds {
    GUID known;
    int csidl;
};

FolderIds IdsOf(KnownFolder folder) {
    // FOLDERID_* values, spelled out so that no import library symbol is needed on old systems.
    switch (folder) {
    case KnownFolder::Documents:
        return {{0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}}, CSIDL_PERSONAL};
    case KnownFolder::Desktop:
        return {{0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}}, CSIDL_DESKTOPDIRECTORY};
    case KnownFolder::Startup:
        return {{0xB97D20BB, 0xF46A, 0x4C97, {0xBA, 0x10, 0x5E, 0x36, 0x08, 0x43, 0x08, 0x54}}, CSIDL_STARTUP};
    case KnownFolder::CommonStartup:
        return {{0x82A5EA35, 0xD9CD, 0x47C5, {0x96, 0x29, 0xE1, 0x5D, 0x2F, 0x71, 0x4E, 0x6E}}, CSIDL_COMMON_STARTUP};
    case KnownFolder::ProgramFiles:
        return {{0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}}, CSIDL_PROGRAM_FILES};
    case KnownFolder::Windows:
        return {{0xF38BF404, 0x1D43, 0x42F2, {0x93, 0x05, 0x67, 0xDE, 0x0B, 0x28, 0xFC, 0x23}}, CSIDL_WINDOWS};
    case KnownFolder::DefaultUserStartup:
        return {{0xB97D20BB, 0xF46A, 0x4C97, {0xBA, 0x10, 0x5E, 0x36, 0x08, 0x43, 0x08, 0x54}}, CSIDL_STARTUP};
    }
    return {};
}

class Win32ShellFolders : public IShellFolders {
public:
    bool GetKnownFolderPath(KnownFolder folder, std::u16string* path) override {
        if (!path) return false;
        const FolderIds ids = IdsOf(folder);
        // The default user's folders are the user's folders asked for with the token -1.
        HANDLE token = folder == KnownFolder::DefaultUserStartup ? reinterpret_cast<HANDLE>(-1) : nullptr;
        // SHGetKnownFolderPath exists from Vista on; older systems answer SHGetFolderPathW.
        using KnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
        if (const auto knownFolderPath = LoadedExport<KnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath")) {
            // The shell's string is freed on every path, also when the copy throws.
            quarro::win32::CoTaskString found;
            if (FAILED(knownFolderPath(ids.known, 0, token, found.Put())) || !found.Get()) return false;
            *path = U(found.Get());
            return !path->empty();
        }
        wchar_t buffer[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathW(nullptr, ids.csidl, token, SHGFP_TYPE_CURRENT, buffer))) return false;
        *path = U(buffer);
        return !path->empty();
    }
};

}  // namespace

std::shared_ptr<IShellFolders> MakeWin32ShellFolders() { return std::make_shared<Win32ShellFolders>(); }

}  // namespace quarro::platform::win32
