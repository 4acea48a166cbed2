// CTabPage: the page base of every tab module's page, list or not. It gives a page
//   - the "&Save" and "&About" buttons: each click looks up the viewer's main window
//     (FindWindowW("#32770", "AlmanacMain")) and posts WM_APP + 100 with the tab index, or
//     WM_APP + 101; nothing happens when the window is not there;
//   - the resizing: the positions of the main control (list or tree) and of the two buttons are
//     recorded when the page is initialised, and each SIZE_RESTORED lays them out again
//     (tabframe/page_layout.h); a page with further controls moves them in OnLayout;
//   - the column widths of any list on the page: AddColumns inserts a list's columns with their
//     stored widths, and CommandMessage(120) stores the widths of every such list.
//
// A page derives from it, names its template and controls, fills itself in InitPage, and is
// registered in its source file with QUARRO_TAB_PAGE(Page, Module); its constructor takes the
// module:
//
//     class BatteryPage : public tabframe::CTabPage {
//     public:
//         explicit BatteryPage(BatteryModule& module) : CTabPage(module, {129, 1018, 1016, 1017}) {}
//     protected:
//         void InitPage() override { AddColumns(list_, 1018, {titleItem, titleStatus}, {120, 300}); ... }
//     };
//     QUARRO_TAB_PAGE(BatteryPage, BatteryModule)
#pragma once

#include <new>
#include <string>
#include <vector>

#include "tabframe/page_layout.h"
#include "tabframe/tab_module.h"
#include "tabframe/win32/dialog.h"

namespace tabframe {

// The page's dialog template and the identifiers of its main control and its two buttons.
struct PageControls {
    UINT templateId;
    int body;
    int save;
    int about;
};

class CTabPage : public quarro::win32::CPropertyPage, public ITabPage {
public:
    CTabPage(TabModule& module, const PageControls& controls);
    ~CTabPage() override = default;

    PropSheetPageHandle CreateSheetPage() override { return CreateSheetPageHandle(); }
    bool ColumnWidths(std::vector<ColumnWidth>* widths) override;

protected:
    // Fills the page when its window is made (the base records the layout afterwards).
    virtual void InitPage() {}
    // Moves further controls after a resize; `layout` is what the base applied.
    virtual void OnLayout(int /*width*/, int /*height*/, const PageLayout& /*layout*/) {}

    // Binds `list` to control `id`, inserts one column per title with its stored width (the
    // default otherwise; columns numbered from `firstIndex`), and keeps the list for storing the
    // widths. Returns the number of columns inserted.
    int AddColumns(quarro::win32::CListControl& list, int id, const std::vector<std::u16string>& titles,
                   const std::vector<int>& defaults, int firstIndex = 0);

    TabModule& Module() const { return module_; }
    // Posts `message` to the viewer's main window when there is one.
    static void PostToViewer(UINT message, WPARAM wParam);

    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    struct TrackedList {
        quarro::win32::CListControl* list;
        int firstIndex;
        int columns;
    };

    void Measure();
    void Layout(int width, int height);

    TabModule& module_;
    PageControls controls_;
    PageMetrics metrics_;
    std::vector<TrackedList> lists_;
};

// Registers Page as the page of Module in this module binary (see ModulePageMaker).
template <typename Page, typename Module>
struct PageRegistration {
    PageRegistration() {
        ModulePageMaker() = [](TabModule& module) -> ITabPage* {
            auto* own = dynamic_cast<Module*>(&module);
            return own ? new (std::nothrow) Page(*own) : nullptr;
        };
    }
};

}  // namespace tabframe

#define QUARRO_TAB_PAGE(Page, Module) \
    static const ::tabframe::PageRegistration<Page, Module> quarroTabPageRegistration;
