#include "viewer/win32/save_dialog.h"

#include <commdlg.h>
#include <shobjidl.h>

#include "common/text.h"
#include "common/win_version.h"
#include "viewer/app.h"
#include "viewer/report.h"
#include "viewer/sheet_rules.h"
#include "viewer/viewer_strings.h"
#include "viewer/win32/viewer_dialogs.h"

namespace {

constexpr wchar_t kDefaultExtension[] = L"TXT";
constexpr wchar_t kProposedName[] = L"QUARRO.TXT";

std::wstring ChooseWithItemDialog(HWND owner) {
    quarro::win32::ComRef<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog, dialog.PutVoid()))) {
        return {};
    }
    const std::wstring typeName = ViewerString(IDS_FILE_TYPE_TXT);
    const std::wstring pattern = ViewerString(IDS_PATTERN_TXT);
    const COMDLG_FILTERSPEC type = {typeName.c_str(), pattern.c_str()};
    dialog->SetFileTypes(1, &type);
    dialog->SetDefaultExtension(kDefaultExtension);
    dialog->SetFileName(kProposedName);
    if (FAILED(dialog->Show(owner))) return {};
    quarro::win32::ComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put()))) return {};
    quarro::win32::CoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path.Get()) return {};
    wchar_t bounded[MAX_PATH] = {};
    quarro::text::CopyBounded(reinterpret_cast<char16_t*>(bounded), MAX_PATH, reinterpret_cast<const char16_t*>(path.Get()));
    return bounded;
}

std::wstring ChooseWithClassicDialog(HWND owner) {
    const std::wstring spec = ViewerString(IDS_FILTER_TXT);
    const std::wstring pattern = ViewerString(IDS_PATTERN_TXT);
    const std::u16string filter = viewer_rules::SaveFilter(std::u16string(spec.begin(), spec.end()),
                                                           std::u16string(pattern.begin(), pattern.end()));
    wchar_t file[MAX_PATH] = {};
    quarro::text::CopyBounded(reinterpret_cast<char16_t*>(file), MAX_PATH, reinterpret_cast<const char16_t*>(kProposedName));
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = reinterpret_cast<const wchar_t*>(filter.c_str());
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrDefExt = kDefaultExtension;
    request.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
    if (!GetSaveFileNameW(&request)) return {};
    file[MAX_PATH - 1] = 0;
    return file;
}

}  // namespace

std::wstring ChooseReportFile(HWND owner, bool itemDialog) {
    return itemDialog ? ChooseWithItemDialog(owner) : ChooseWithClassicDialog(owner);
}

int SaveReport(HWND owner, const std::vector<CTab*>& range, bool allPages) {
    const CWinVersion version;
    const std::wstring path = ChooseReportFile(owner, version.IsVistaFamilyClient());
    if (path.empty()) return kSaveCancelled;
    return SaveReportToFile(std::u16string(path.begin(), path.end()), range, allPages, Viewer().ServiceStateAtStart);
}
