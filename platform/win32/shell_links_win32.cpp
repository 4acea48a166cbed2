// The shell-link concern on Windows: FindFirstFileW over "*.lnk", and the shell's link object
// (CLSID_ShellLink) loaded through IPersistFile. COM is initialised for the call when the thread
// has not done it (an apartment of another model is used as it is).
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/concerns.h"
#include "platform/shell_links.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

class Win32ShellLinks : public IShellLinks {
public:
    std::vector<std::u16string> LinkFiles(const std::u16string& folder) override {
        std::vector<std::u16string> files;
        if (folder.empty() || folder.size() > MAX_PATH - 8) return files;
        const std::u16string pattern = folder + u"\\*.lnk";
        WIN32_FIND_DATAW found{};
        quarro::win32::UniqueFindHandle finder(FindFirstFileW(W(pattern.c_str()), &found));
        if (!finder) return files;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            files.push_back(folder + u"\\" + U(found.cFileName));
        } while (FindNextFileW(finder.Get(), &found));
        return files;
    }

    bool ReadLink(const std::u16string& file, std::u16string* target, std::u16string* arguments) override {
        quarro::win32::CoInitScope com(COINIT_APARTMENTTHREADED);
        quarro::win32::ComRef<IShellLinkW> link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())))
            return false;
        quarro::win32::ComRef<IPersistFile> persist;
        if (FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid()))) return false;
        if (FAILED(persist->Load(W(file.c_str()), STGM_READ))) return false;
        wchar_t path[MAX_PATH] = {};
        WIN32_FIND_DATAW data{};
        if (FAILED(link->GetPath(path, MAX_PATH, &data, SLGP_UNCPRIORITY))) path[0] = 0;
        wchar_t args[MAX_PATH] = {};
        if (FAILED(link->GetArguments(args, MAX_PATH))) args[0] = 0;
        path[MAX_PATH - 1] = 0;
        args[MAX_PATH - 1] = 0;
        if (target) *target = U(path);
        if (arguments) *arguments = U(args);
        return true;
    }
};

}  // namespace

std::shared_ptr<IShellLinks> MakeWin32ShellLinks() { return std::make_shared<Win32ShellLinks>(); }

}  // namespace quarro::platform::win32
