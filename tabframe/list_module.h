// The shared part of the list modules (Drivers, Programs1, Programs2): the module globals, the
// table built once in InitTabDLL, the report text, and CommandMessage. A module supplies its
// columns and a function that fills the rows, and exports the five entry points with
// QUARRO_LIST_MODULE_EXPORTS.
#pragma once

#include <memory>
#include <vector>

#include "tabframe/list_report.h"
#include "tabframe/list_table.h"
#include "tabframe/tab_contract.h"

namespace tabframe {

// String-table ids every list module has.
inline constexpr unsigned kSectionHeadStringId = 5;

// The page of a list module as the module part sees it (the Win32 page implements it).
class IListPage {
public:
    virtual ~IListPage() = default;
    // Creates the sheet page (CreatePropertySheetPageW); null when none was made.
    virtual PropSheetPageHandle CreateSheetPage() = 0;
    // The list's column widths; false when the list window does not exist.
    virtual bool ColumnWidths(int columnCount, std::vector<int>* widths) = 0;
};

struct ListModuleSpec {
    const char16_t* moduleName;        // "Facet01": the name of the module's registry key
    const ListColumnSpec* columns;
    int columnCount;
    // Fills the rows; false when the table cannot be built (InitTabDLL then returns 0).
    bool (*buildRows)(ListTable& table, const TabInitRecord& record);
    // Makes the module's page (null natively, or when the page cannot be made).
    IListPage* (*createPage)(class ListModule& module);
};

// The frame's list page (CFacetDlg on the module's template 129, see tabframe/win32/list_page.rc):
// what a list module names as its createPage. Natively there are no pages and it gives null.
IListPage* CreateListPage(class ListModule& module);

class ListModule {
public:
    explicit ListModule(const ListModuleSpec& spec) : spec_(spec) {}

    int SetupPropertyPage(PropSheetPageHandle* out);
    int InitTabDLL(const TabInitRecord* record);
    int TermTabDLL();
    int GetStringData(int chunk, char* buffer, int size, int separator);
    int CommandMessage(int code);

    const ListModuleSpec& Spec() const { return spec_; }
    const ListTable* Table() const { return table_.get(); }
    const TabInitRecord& Record() const { return record_; }
    bool Saving() const { return saving_ != 0; }

private:
    ListModuleSpec spec_;
    TabInitRecord record_{};
    int saving_ = 0;
    int resumeIndex_ = 0;
    std::unique_ptr<ListTable> table_;
    std::unique_ptr<IListPage> page_;
};

}  // namespace tabframe

#if defined(_WIN32)
#define QUARRO_EXPORT
#else
#define QUARRO_EXPORT __attribute__((visibility("default")))
#endif

// The five exports of a list module, forwarding to `module` (a tabframe::ListModule). Nothing
// thrown inside ever crosses the boundary.
#define QUARRO_LIST_MODULE_EXPORTS(module)                                                                    \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL SetupPropertyPage(PropSheetPageHandle* out) {                \
        try { return (module).SetupPropertyPage(out); } catch (...) { return -2; }                           \
    }                                                                                                         \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL InitTabDLL(const TabInitRecord* record) {                    \
        try { return (module).InitTabDLL(record); } catch (...) { return 0; }                                \
    }                                                                                                         \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL TermTabDLL() {                                               \
        try { return (module).TermTabDLL(); } catch (...) { return 1; }                                      \
    }                                                                                                         \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL GetStringData(int chunk, char* buffer, int size, int sep) {  \
        try { return (module).GetStringData(chunk, buffer, size, sep); } catch (...) { return -4; }          \
    }                                                                                                         \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL CommandMessage(int code) {                                   \
        try { return (module).CommandMessage(code); } catch (...) { return 1; }                              \
    }
