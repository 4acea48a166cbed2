// The PC Status page: the frame's list page (template 129) with the columns "Item" and "Status",
// filled from the module's rows, and a refresh timer with the viewer's refresh period. Each tick
// the module refreshes the elapsed time, the AC adaptor state and the process list; the page then
// rewrites the rows that changed and inserts or deletes rows at the end, where the process list
// sits, so that the list matches.
#include <algorithm>
#include <vector>

#include "tabframe/win32/list_page_ids.h"
#include "tabframe/win32/tab_page.h"
#include "tabs/pcstatus/status_module.h"

namespace pcstatus {

namespace {

constexpr UINT_PTR kFirstTimerId = 1000;
constexpr UINT_PTR kLastTimerId = 1100;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class StatusPage : public tabframe::CTabPage {
public:
    explicit StatusPage(StatusModule& module)
        : CTabPage(module, {IDD_LIST_PAGE, IDC_LIST_VIEW, IDC_LIST_SAVE, IDC_LIST_ABOUT}), module_(module) {}

protected:
    void InitPage() override {
        AddColumns(list_, IDC_LIST_VIEW, {StatusModule::Text(kItemTitle), StatusModule::Text(kStatusTitle)},
                   {180, 450});
        shown_.clear();
        if (const StatusData* data = module_.Data()) Show(PageRows(*data, &StatusModule::Text));
        timer_ = 0;
        const int period = module_.Record().RefreshPeriod;
        if (period > 0) {
            // The first identifier the window grants.
            for (UINT_PTR id = kFirstTimerId; id <= kLastTimerId && !timer_; ++id) {
                if (SetTimer(Window(), id, static_cast<UINT>(period), nullptr)) timer_ = id;
            }
        }
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (message == WM_TIMER && timer_ && wParam == timer_) {
            if (!module_.Saving() && module_.Refresh() && module_.Data()) Show(PageRows(*module_.Data(), &StatusModule::Text));
            return true;
        }
        if (message == WM_DESTROY && timer_) {
            KillTimer(Window(), timer_);
            timer_ = 0;
        }
        return CTabPage::OnMessage(message, wParam, lParam, result);
    }

private:
    // Makes the list show `rows`: changed texts rewritten, missing rows inserted at the end and
    // surplus ones deleted from the end.
    void Show(const std::vector<StatusRow>& rows) {
        if (!list_.Exists()) return;
        const std::size_t keep = std::min(rows.size(), shown_.size());
        for (std::size_t i = 0; i < keep; ++i) {
            const int at = static_cast<int>(i);
            if (rows[i].item != shown_[i].item) list_.SetItemText(at, 0, W(rows[i].item));
            if (rows[i].value != shown_[i].value) list_.SetItemText(at, 1, W(rows[i].value));
        }
        for (std::size_t i = shown_.size(); i > rows.size(); --i) {
            SendMessageW(list_.Window(), LVM_DELETEITEM, i - 1, 0);
        }
        for (std::size_t i = keep; i < rows.size(); ++i) {
            const int at = list_.InsertItem(static_cast<int>(i), L"");
            if (at < 0) break;
            list_.SetItemText(at, 0, W(rows[i].item));
            list_.SetItemText(at, 1, W(rows[i].value));
            list_.Update(at);
        }
        shown_ = rows;
        if (static_cast<std::size_t>(list_.ItemCount()) < shown_.size()) {
            shown_.resize(static_cast<std::size_t>(list_.ItemCount()));
        }
    }

    StatusModule& module_;
    quarro::win32::CListControl list_;
    std::vector<StatusRow> shown_;
    UINT_PTR timer_ = 0;
};

}  // namespace

QUARRO_TAB_PAGE(StatusPage, StatusModule)

}  // namespace pcstatus
