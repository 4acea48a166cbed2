// CFacetDlg: the list page of the list modules (template 129 of the module): a report-view list
// filled from the module's table, on the page base (buttons, layout, column widths).
#pragma once

#include "tabframe/list_module.h"
#include "tabframe/win32/tab_page.h"

namespace tabframe {

class CFacetDlg : public CTabPage {
public:
    explicit CFacetDlg(ListModule& module);

protected:
    void InitPage() override;

private:
    ListModule& module_;
    quarro::win32::CListControl list_;
};

}  // namespace tabframe
