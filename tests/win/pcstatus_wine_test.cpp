// The PC Status tab (Facet06.dll from bin/) under Wine with Windows' own sources: real shortcuts
// made through IShellLinkW in the three start-up folders, a Run value in each registry view, a
// helper process of the test's own, and the start-up utility's test double installed in the
// program-files folder. The snapshot serves only the driver.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "common/misc_common.h"
#include "platform/win32/handles.h"
#include "tabframe/tab_contract.h"
#include "product_module.h"

namespace {

using quarro::wintests::Export;
using quarro::win32::ComRef;
using quarro::win32::UniqueKernelHandle;
using quarro::win32::UniqueLibrary;

std::wstring BuildDir() {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring dir(program);
    dir = dir.substr(0, dir.find_last_of(L'\\'));
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring TestsDir() {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring dir(program);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring Folder(int csidl, HANDLE token) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, token, SHGFP_TYPE_CURRENT, path))) return L"";
    return path;
}

bool MakeLink(const std::wstring& file, const wchar_t* target, const wchar_t* arguments) {
    ComRef<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()))) return false;
    link->SetPath(target);
    link->SetArguments(arguments);
    ComRef<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid()))) return false;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

bool SetRun(REGSAM view, const wchar_t* name, const wchar_t* data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                        KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    quarro::win32::UniqueRegKey owned(key);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                          static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(static_cast<char>(c < 128 ? c : '?'));
    return out;
}

// Lines of the report that contain `needle`, in order.
std::vector<std::string> LinesWith(const std::string& text, const std::string& needle) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find(needle) != std::string::npos) lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

TEST(PcStatusOnWine, RealStartupSourcesProcessesAndTheUtilityLibraryAppear) {
    quarro::win32::CoInitScope com(COINIT_APARTMENTTHREADED);
    const wchar_t* target = L"C:\\windows\\system32\\notepad.exe";
    const std::wstring folders[] = {Folder(CSIDL_COMMON_STARTUP, nullptr), Folder(CSIDL_STARTUP, nullptr),
                                    Folder(CSIDL_STARTUP, reinterpret_cast<HANDLE>(-1))};
    const wchar_t* arguments[] = {L"/common-startup", L"/user-startup", L"/default-user-startup"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(folders[i].empty()) << i;
        SHCreateDirectoryExW(nullptr, folders[i].c_str(), nullptr);
        ASSERT_TRUE(MakeLink(folders[i] + L"\\QuarroTest" + std::to_wstring(i) + L".lnk", target, arguments[i])) << i;
    }
    ASSERT_TRUE(SetRun(KEY_WOW64_64KEY, L"QuarroRun64", L"C:\\run\\sixty-four.exe"));
    ASSERT_TRUE(SetRun(KEY_WOW64_32KEY, L"QuarroRun32", L"C:\\run\\thirty-two.exe"));

    // The utility's double, installed where the tab looks for it.
    const std::wstring programFiles = Folder(CSIDL_PROGRAM_FILES, nullptr);
    SHCreateDirectoryExW(nullptr, (programFiles + L"\\Mirelta\\velostart").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((BuildDir() + L"testmodules\\velostart\\VELOSTLIB.dll").c_str(),
                          (programFiles + L"\\Mirelta\\velostart\\VELOSTLIB.dll").c_str(), FALSE));

    // A long-running helper of the test's own.
    const std::wstring helper = TestsDir() + L"hold_mutex.exe";
    const std::wstring ready = TestsDir() + L"pcstatus_helper.ready";
    DeleteFileW(ready.c_str());
    std::wstring command = L"\"" + helper + L"\" QuarroPcStatusHelper \"" + ready + L"\" 60";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(helper.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    for (int i = 0; i < 100 && GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);

    MiscCommon::CMiscCommon session;
    ASSERT_EQ(session.Open(), MiscCommon::kMiscSuccess);
    UniqueLibrary facet(LoadLibraryW((BuildDir() + L"bin\\Facet06.dll").c_str()));
    ASSERT_TRUE(facet);
    const auto init = Export<InitTabDLLProc>(facet.Get(), "InitTabDLL");
    const auto text = Export<GetStringDataProc>(facet.Get(), "GetStringData");
    const auto term = Export<TermTabDLLProc>(facet.Get(), "TermTabDLL");
    ASSERT_TRUE(init && text && term);
    const TabInitRecord record{0, 1000, &session, 0};
    ASSERT_EQ(init(&record), 1);
    std::vector<char> buffer(kReportBufferSize, 0);
    ASSERT_EQ(text(0, buffer.data(), kReportBufferSize, ','), 0);
    const std::string report = buffer.data();
    term();
    TerminateProcess(process.Get(), 0);

    // Each shortcut is listed under every list whose folder holds it: Wine answers the default
    // user's start-up folder with the user's own, so there those two lists are the same.
    for (int i = 0; i < 3; ++i) {
        std::size_t holders = 0;
        for (const std::wstring& folder : folders) holders += lstrcmpiW(folder.c_str(), folders[i].c_str()) == 0;
        const auto lines = LinesWith(report, "notepad.exe " + Narrow(arguments[i]));
        EXPECT_EQ(lines.size(), holders) << Narrow(arguments[i]) << "\n" << report;
    }
    // The 64-bit view first, then the 32-bit one.
    const std::size_t run64 = report.find("QuarroRun64(C:\\run\\sixty-four.exe)");
    const std::size_t run32 = report.find("QuarroRun32(C:\\run\\thirty-two.exe)");
    EXPECT_NE(run64, std::string::npos) << report;
    EXPECT_NE(run32, std::string::npos) << report;
    EXPECT_LT(run64, run32);
    EXPECT_EQ(LinesWith(report, "hold_mutex.exe").size(), 1u) << report;
    // QUARRO_VELOSTART=1,0,1,1:0:1,1,0,1,1 (set by the test's CTest entry).
    const char* const kVelostartLines[] = {
        "Velostart,\r\n",
        "  Optimize launch of devices/services,Enabled\r\n",
        "    Network connection while off, before login,Disabled\r\n",
        "    Embedded Security Chip (TPM),Enabled\r\n",
        "    Sound when Windows Starts or after Log on,Enabled\r\n",
        "  Adjust restore point,Do not make restore points periodically\r\n",
        "  Put Windows system on physical memory,Enabled\r\n",
        "  Skip logo at Windows start,Enabled\r\n",
        "  Do not wait for desktop to be ready at login,Disabled\r\n",
        "  Optimize disc reading at boot,Disabled\r\n",
        "  Delay initializing hibernation file,Enabled\r\n",
    };
    std::string velostart;
    for (const char* line : kVelostartLines) velostart += line;
    EXPECT_NE(report.find(velostart), std::string::npos) << report;
}

}  // namespace
