// TabModule: the one frame every tab module is built on, list or not. It keeps the module
// globals (the set-up record, the page object, the saving flag, the report's resumption) and
// implements the five exports the same way for every module:
//
//   SetupPropertyPage  null `out` -1; the page object is made once (none: -2), and every call
//                      makes a new sheet page for it (none made: -3)
//   InitTabDLL         copies the record (all zero when the pointer is null) and builds the data;
//                      1, or 0 when the module refuses
//   TermTabDLL         frees the data and the page object; 1, also without a set-up
//   GetStringData      the argument checks and the chunked report (tabframe/report_writer.h)
//   CommandMessage     1 and 2 set and clear the saving flag, 120 stores the column widths of the
//                      page's lists; every code then reaches the module; always 1
//
// Nothing thrown inside ever crosses the boundary: it becomes the failure result of the export
// (-2, 0, 1, -4, 1 in the order above), and what the failed step half made is undone.
//
// A module derives from TabModule (or from ListModule, tabframe/list_module.h), supplies its
// data and its report, and exports the entry points with QUARRO_TAB_MODULE_EXPORTS:
//
//     class BatteryModule : public tabframe::TabModule {
//     public:
//         BatteryModule() : TabModule(u"Facet07") {}
//     protected:
//         bool BuildData(const TabInitRecord& record) override;
//         void ReleaseData() override;
//         bool HasData() const override;
//         tabframe::ReportStatus WriteReport(tabframe::ReportWriter& w, tabframe::ReportResume& at) override;
//     };
//     BatteryModule theModule;
//     QUARRO_TAB_MODULE_EXPORTS(theModule)
//
// Its page is a Win32 class on the page base (tabframe/win32/tab_page.h), registered in its own
// source with QUARRO_TAB_PAGE(BatteryPage, BatteryModule); natively there are no pages.
#pragma once

#include <memory>
#include <vector>

#include "tabframe/column_widths.h"
#include "tabframe/report_writer.h"
#include "tabframe/tab_contract.h"

namespace tabframe {

class TabModule;

// A module's page as the portable part sees it (the Win32 page base implements it).
class ITabPage {
public:
    virtual ~ITabPage() = default;
    // CreatePropertySheetPageW for the page object; null when none was made.
    virtual PropSheetPageHandle CreateSheetPage() = 0;
    // The current widths of the page's lists, by value number; false (nothing to store) when no
    // list window exists or a width comes back negative.
    virtual bool ColumnWidths(std::vector<ColumnWidth>* widths) = 0;
};

// Makes a module's page object; null when it cannot be made.
using PageMaker = ITabPage* (*)(TabModule& module);
// The page maker of this module binary: set by QUARRO_TAB_PAGE, null natively.
PageMaker& ModulePageMaker();

class TabModule {
public:
    // `moduleName`: "Facet01" and so on, the name of the module's key under HKCU
    // "Software\Mirelta\quarro".
    explicit TabModule(const char16_t* moduleName) : moduleName_(moduleName) {}
    virtual ~TabModule();
    TabModule(const TabModule&) = delete;
    TabModule& operator=(const TabModule&) = delete;

    // The five exports.
    int SetupPropertyPage(PropSheetPageHandle* out) noexcept;
    int InitTabDLL(const TabInitRecord* record) noexcept;
    int TermTabDLL() noexcept;
    int GetStringData(int chunk, char* buffer, int size, int separator) noexcept;
    int CommandMessage(int code) noexcept;

    const char16_t* ModuleName() const { return moduleName_; }
    const TabInitRecord& Record() const { return record_; }
    bool Saving() const { return saving_ != 0; }

protected:
    // Builds the module's data from the record; false refuses the module (InitTabDLL 0).
    virtual bool BuildData(const TabInitRecord& record) = 0;
    // Frees the data; called before every build, after a refused one and by TermTabDLL.
    virtual void ReleaseData() = 0;
    // TermTabDLL's release: by default ReleaseData. A module that keeps something across builds
    // of one set-up (read once per load) frees it here as well.
    virtual void TerminateData() { ReleaseData(); }
    // Whether there is data to report (GetStringData -4 otherwise).
    virtual bool HasData() const = 0;
    // One call's part of the report text.
    virtual ReportStatus WriteReport(ReportWriter& writer, ReportResume& resume) = 0;
    // Every CommandMessage code, after the frame's own handling.
    virtual void OnCommand(int /*code*/) {}
    // The module's page object: by default what QUARRO_TAB_PAGE registered.
    virtual ITabPage* CreatePage();

private:
    void Reset() noexcept;

    const char16_t* moduleName_;
    TabInitRecord record_{};
    int saving_ = 0;
    ReportResume resume_;
    std::unique_ptr<ITabPage> page_;
};

}  // namespace tabframe

#if defined(_WIN32)
#define QUARRO_EXPORT
#else
#define QUARRO_EXPORT __attribute__((visibility("default")))
#endif

// The five exports of a tab module, forwarding to `module` (a tabframe::TabModule). The entry
// points never throw.
#define QUARRO_TAB_MODULE_EXPORTS(module)                                                                      \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL SetupPropertyPage(PropSheetPageHandle* out) {                  \
        return (module).SetupPropertyPage(out);                                                                 \
    }                                                                                                           \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL InitTabDLL(const TabInitRecord* record) {                      \
        return (module).InitTabDLL(record);                                                                     \
    }                                                                                                           \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL TermTabDLL() { return (module).TermTabDLL(); }                 \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL GetStringData(int chunk, char* buffer, int size, int sep) {    \
        return (module).GetStringData(chunk, buffer, size, sep);                                                \
    }                                                                                                           \
    extern "C" QUARRO_EXPORT int QUARRO_STDCALL CommandMessage(int code) { return (module).CommandMessage(code); }
