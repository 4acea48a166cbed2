// CFacetDlg: the list page of the list modules (template 129 of the module): a report-view list
// filled from the module's table, "&Save" and "&About" buttons that ask the viewer's main window,
// and a layout that follows the page's size.
#pragma once

#include <vector>

#include "tabframe/list_module.h"
#include "tabframe/win32/dialog.h"
#include "tabframe/win32/page_layout.h"

namespace tabframe {

class CFacetDlg : public quarro::win32::CPropertyPage, public IListPage {
public:
    explicit CFacetDlg(ListModule& module);
    ~CFacetDlg() override = default;

    PropSheetPageHandle CreateSheetPage() override;
    bool ColumnWidths(int columnCount, std::vector<int>* widths) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void FillColumns();
    void FillRows();
    void Measure();
    void Layout(int width, int height);
    // Posts `message` to the viewer's main window when there is one.
    static void PostToViewer(UINT message, WPARAM wParam);

    ListModule& module_;
    quarro::win32::CListControl list_;
    HWND save_ = nullptr;
    HWND about_ = nullptr;
    ListPageMetrics metrics_;
};

}  // namespace tabframe
