// A tab module with a page that is not the list frame's, used only by tests: it shows how a
// non-list module is written (its data, its report through the shared writer, its own page on
// the page base) and lets tests see the frame from outside.
//
// The report, in the fixed or the separated layout:
//   [Test Page]                           heading, in a fresh sequence only
//   TabIndex, RefreshPeriod, Session, SmartIdNames, Saving   one line each: what the frame holds
//   Entries                               a list of 12 numbered entries, resumed inside the list
//   "  Dump" and 4 lines                  a part that always begins in a call of its own
//   an empty line and CR LF
// QUARRO_TEST_PAGE_THROW=<export name> makes that export's module part throw (after writing a
// line, for GetStringData), so that tests see the frame's failure results.
#pragma once

#include <string>
#include <vector>

#include "tabframe/tab_module.h"

namespace test_page {

// Resource ids (test_page_module.rc).
inline constexpr unsigned kItemStringId = 2;
inline constexpr unsigned kValueStringId = 3;
inline constexpr unsigned kHeadStringId = 5;
inline constexpr unsigned kPageTemplate = 300;
inline constexpr int kPageList = 310;
inline constexpr int kPageSave = 311;
inline constexpr int kPageAbout = 312;

inline constexpr int kEntries = 12;

class TestPageModule : public tabframe::TabModule {
public:
    TestPageModule() : TabModule(u"FacetPage") {}

    struct Fact {
        std::string item;
        std::string value;
    };
    // What the page and the report show: the record as InitTabDLL copied it, and the saving flag.
    std::vector<Fact> Facts() const;
    bool Built() const { return built_; }

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override;
    bool HasData() const override { return built_; }
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override;
    void OnCommand(int code) override;
    tabframe::ITabPage* CreatePage() override;

private:
    bool built_ = false;
};

}  // namespace test_page
