// The "Battery Status" page: the frame's list page (template 129, list 1018) filled by the core
// at initialisation and brought up to date by the refresh timer (4000 ms, the first identifier
// from 1100 that SetTimer accepts). The timer goes with the page: on OK, Cancel or destruction.
#include <windows.h>
#include <commctrl.h>

#include "tabframe/win32/list_page_ids.h"
#include "tabframe/win32/tab_page.h"
#include "tabs/battery/battery_module.h"

namespace battery_tab {

namespace {

constexpr UINT_PTR kTimerIdsTried = 100;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class BatteryPage : public tabframe::CTabPage, private IBatteryList {
public:
    explicit BatteryPage(BatteryModule& module)
        : CTabPage(module, {IDD_LIST_PAGE, IDC_LIST_VIEW, IDC_LIST_SAVE, IDC_LIST_ABOUT}), module_(module) {}
    ~BatteryPage() override { StopTimer(); }

protected:
    void InitPage() override {
        const Texts& texts = module_.ModuleTexts();
        if (!module_.Refresher()) return;
        AddColumns(list_, IDC_LIST_VIEW, {texts.load(kStrItem), texts.load(kStrStatus)}, {120, 300});
        module_.Refresher()->Refresh(WalkMode::kFull);
        state_.Fill(*this, module_.Refresher()->Current(), module_.Settings(), texts);
        if (Module().Record().RefreshPeriod == 0) return;
        for (UINT_PTR id = kFirstTimerId; id < kFirstTimerId + kTimerIdsTried; ++id) {
            if (SetTimer(Window(), id, kTimerPeriodMs, nullptr)) {
                timer_ = id;
                break;
            }
        }
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (message == WM_TIMER && timer_ && wParam == timer_) {
            Tick();
            *result = 0;
            return true;
        }
        if (message == WM_DESTROY) StopTimer();
        if (message == WM_NOTIFY && lParam) {
            const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
            if (code == PSN_APPLY || code == PSN_RESET) StopTimer();
        }
        return CTabPage::OnMessage(message, wParam, lParam, result);
    }

private:
    void Tick() {
        BatteryRefresh* refresh = module_.Refresher();
        if (ticking_ || module_.Paused() || !refresh) return;
        ticking_ = true;
        refresh->Refresh(WalkMode::kRefresh);
        state_.Update(*this, refresh->Current(), module_.Settings(), module_.ModuleTexts());
        ticking_ = false;
    }

    void StopTimer() {
        if (timer_ && Window()) KillTimer(Window(), timer_);
        timer_ = 0;
    }

    void InsertRow(int index, const std::u16string& label, const std::u16string& value) override {
        const int item = list_.InsertItem(index, L"");
        if (item < 0) return;
        list_.SetItemText(item, 0, W(label));
        list_.SetItemText(item, 1, W(value));
        list_.Update(item);
    }
    void SetValue(int index, const std::u16string& value) override {
        list_.SetItemText(index, 1, W(value));
        list_.Update(index);
    }
    void DeleteRow(int index) override {
        SendMessageW(list_.Window(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
    }

    BatteryModule& module_;
    quarro::win32::CListControl list_;
    BatteryListState state_;
    UINT_PTR timer_ = 0;
    bool ticking_ = false;
};

}  // namespace

}  // namespace battery_tab

QUARRO_TAB_PAGE(battery_tab::BatteryPage, battery_tab::BatteryModule)
