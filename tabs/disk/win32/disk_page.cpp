// The "Hard Disk Status" page: the volume list with its free-space refresh, the attribute list,
// the check box that tells the viewer whether the automatic save should run, and the
// "Ad&vanced..." button with the dialog of the raw data sector (CAdvancedDlg).
#include <cstdint>
#include <string>
#include <vector>

#include "common/authority.h"
#include "common/module_strings.h"
#include "common/win_version.h"
#include "tabframe/win32/tab_page.h"
#include "tabs/disk/disk_ids.h"
#include "tabs/disk/disk_module.h"

namespace disk_tab {

namespace {

using quarro::resources::LoadModuleString;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

void PageAnchor() {}
HINSTANCE ThisModule() { return quarro::win32::ModuleOfAddress(reinterpret_cast<const void*>(&PageAnchor)); }

constexpr UINT_PTR kFirstTimerId = 1000;
constexpr UINT_PTR kLastTimerId = 1099;

// The raw data sector in a list box, one line per 16 bytes; "Not Found" when it did not come.
class CAdvancedDlg : public quarro::win32::CDialog {
public:
    explicit CAdvancedDlg(const DiskData& data) : CDialog(ThisModule(), IDD_DISK_ADVANCED), data_(data) {}

protected:
    BOOL OnInitDialog() override {
        HWND list = Item(IDC_DISK_DUMP);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        const std::vector<std::u16string> lines = DialogDumpLines(data_);
        if (lines.empty()) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(LoadModuleString(kIdsNotFound))));
        } else {
            for (const auto& line : lines) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(line)));
            SetHorizontalExtent(list, lines.back());
        }
        CenterOverOwner();
        return TRUE;
    }

private:
    // The pixel width of the last line in the list box's font, and a little room.
    static void SetHorizontalExtent(HWND list, const std::u16string& line) {
        HDC dc = GetDC(list);
        if (!dc) return;
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
        SIZE size = {};
        if (GetTextExtentPoint32W(dc, W(line), static_cast<int>(line.size()), &size)) {
            SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(size.cx + 8), 0);
        }
        SelectObject(dc, old);
        ReleaseDC(list, dc);
    }

    const DiskData& data_;
};

class DiskPage : public tabframe::CTabPage {
public:
    explicit DiskPage(DiskModule& module)
        : CTabPage(module, {IDD_DISK_PAGE, IDC_DISK_ATTRIBUTES, IDC_DISK_SAVE, IDC_DISK_ABOUT}), module_(module) {}

protected:
    void InitPage() override {
        SetDlgItemTextW(Window(), IDC_DISK_GROUP, W(LoadModuleString(kIdsManagementInformation)));
        SetDlgItemTextW(Window(), IDC_DISK_AUTOSAVE_OFF, W(LoadModuleString(kIdsCheckBox)));
        const DiskData* data = module_.Data();
        const Strings& text = module_.Text();
        AddColumns(volumes_, IDC_DISK_VOLUMES, {text(kIdsDrive), text(kIdsFileSystem), text(kIdsFreeSpace), text(kIdsCapacity)},
                   {std::begin(kVolumeWidths), std::end(kVolumeWidths)});
        std::vector<std::u16string> titles = {text(kIdsId), text(kIdsAttribute1), text(kIdsAttribute2), text(kIdsAttribute3)};
        if (data && data->namedView) titles.push_back(text(kIdsAttributeName));
        AddColumns(attributes_, IDC_DISK_ATTRIBUTES, titles, {std::begin(kAttributeWidths), std::end(kAttributeWidths)},
                   kAttributeFirstWidth);
        if (data) {
            for (const VolumeEntry& volume : data->volumes) AddRow(volumes_, VolumeRow(volume));
            for (const auto& row : AttributeRows(*data, text)) AddRow(attributes_, row);
        }
        InitCheckBox();
        if (!data || !data->advancedMode) ShowWindow(GetDlgItem(Window(), IDC_DISK_ADVANCED), SW_HIDE);
        StartRefresh();
        MeasureOwnControls();
    }

    void OnLayout(int width, int, const tabframe::PageLayout& layout) override {
        const int inner = width - 2 * left_;
        if (inner <= 0) return;
        const UINT keepPlace = SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE;
        SetWindowPos(GetDlgItem(Window(), IDC_DISK_GROUP), nullptr, 0, 0, inner, groupHeight_, keepPlace);
        SetWindowPos(GetDlgItem(Window(), IDC_DISK_AUTOSAVE_OFF), nullptr, 0, 0, inner - checkMargin_, checkHeight_,
                     keepPlace);
        SetWindowPos(GetDlgItem(Window(), IDC_DISK_VOLUMES), nullptr, 0, 0, inner, volumesHeight_, keepPlace);
        SetWindowPos(GetDlgItem(Window(), IDC_DISK_ADVANCED), nullptr, width - advancedRightGap_ - advancedWidth_,
                     layout.saveY, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    bool OnCommand(WORD id, WORD code) override {
        if (code == BN_CLICKED && id == IDC_DISK_AUTOSAVE_OFF) {
            const bool ticked = IsDlgButtonChecked(Window(), IDC_DISK_AUTOSAVE_OFF) == BST_CHECKED;
            PostToViewer(kViewerAutoSaveOff, ticked ? 1 : 0);
            return true;
        }
        if (code == BN_CLICKED && id == IDC_DISK_ADVANCED) {
            if (const DiskData* data = module_.Data()) {
                CAdvancedDlg dialog(*data);
                dialog.DoModal(Window());
            }
            return true;
        }
        return CTabPage::OnCommand(id, code);
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (message == WM_TIMER && timer_ != 0 && wParam == timer_) {
            Refresh();
            *result = 0;
            return true;
        }
        if (message == WM_DESTROY && timer_ != 0) {
            KillTimer(Window(), timer_);
            timer_ = 0;
        }
        return CTabPage::OnMessage(message, wParam, lParam, result);
    }

private:
    static void AddRow(quarro::win32::CListControl& list, const std::vector<std::u16string>& cells) {
        const int at = list.InsertItem(list.ItemCount(), L"");
        if (at < 0) return;
        for (std::size_t c = 0; c < cells.size(); ++c) list.SetItemText(at, static_cast<int>(c), W(cells[c]));
        list.Update(at);
    }

    // The viewer answers with the watch service's state as it found it at its start.
    void InitCheckBox() {
        std::int32_t state = 0;
        if (HWND viewer = FindWindowW(L"#32770", L"AlmanacMain")) {
            SendMessageW(viewer, kViewerServiceState, 0, reinterpret_cast<LPARAM>(&state));
        }
        const CheckBoxState box = CheckBoxFor(state, CWinVersion().OsType, CAuthority().IsAdministrator() != 0);
        CheckDlgButton(Window(), IDC_DISK_AUTOSAVE_OFF, box.ticked ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(Window(), IDC_DISK_AUTOSAVE_OFF), box.enabled ? TRUE : FALSE);
    }

    void StartRefresh() {
        const int period = module_.Record().RefreshPeriod;
        if (period <= 0) return;
        for (UINT_PTR id = kFirstTimerId; id <= kLastTimerId && timer_ == 0; ++id) {
            if (SetTimer(Window(), id, static_cast<UINT>(period), nullptr) != 0) timer_ = id;
        }
    }

    void Refresh() {
        if (!module_.RefreshVolumes()) return;
        const DiskData* data = module_.Data();
        const int rows = volumes_.ItemCount();
        for (int row = 0; row < rows && row < static_cast<int>(data->volumes.size()); ++row) {
            volumes_.SetItemText(row, 2, W(FreeSpaceCell(data->volumes[static_cast<std::size_t>(row)])));
        }
    }

    void MeasureOwnControls() {
        RECT client = {};
        GetClientRect(Window(), &client);
        auto rect = [this](int id) {
            RECT r = {};
            HWND item = GetDlgItem(Window(), id);
            if (item && GetWindowRect(item, &r)) MapWindowPoints(HWND_DESKTOP, Window(), reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        const RECT group = rect(IDC_DISK_GROUP);
        const RECT check = rect(IDC_DISK_AUTOSAVE_OFF);
        const RECT volumes = rect(IDC_DISK_VOLUMES);
        const RECT advanced = rect(IDC_DISK_ADVANCED);
        left_ = volumes.left;
        groupHeight_ = group.bottom - group.top;
        checkHeight_ = check.bottom - check.top;
        checkMargin_ = (group.right - group.left) - (check.right - check.left);
        volumesHeight_ = volumes.bottom - volumes.top;
        advancedWidth_ = advanced.right - advanced.left;
        advancedRightGap_ = client.right - advanced.right;
    }

    DiskModule& module_;
    quarro::win32::CListControl volumes_;
    quarro::win32::CListControl attributes_;
    UINT_PTR timer_ = 0;
    int left_ = 0, groupHeight_ = 0, checkHeight_ = 0, checkMargin_ = 0, volumesHeight_ = 0;
    int advancedWidth_ = 0, advancedRightGap_ = 0;
};

}  // namespace

QUARRO_TAB_PAGE(DiskPage, DiskModule)

}  // namespace disk_tab
