// The test page module's page: one list of the frame's facts (Item, Value) on a template of its
// own, with the page base doing buttons, layout and column widths.
#include "common/module_strings.h"
#include "tabframe/win32/tab_page.h"
#include "tests/modules/test_page_module.h"

namespace test_page {

namespace {

class TestPage : public tabframe::CTabPage {
public:
    explicit TestPage(TestPageModule& module)
        : CTabPage(module, {kPageTemplate, kPageList, kPageSave, kPageAbout}), module_(module) {}

protected:
    void InitPage() override {
        using quarro::resources::LoadModuleString;
        AddColumns(list_, kPageList, {LoadModuleString(kItemStringId), LoadModuleString(kValueStringId)}, {120, 200});
        int row = 0;
        for (const auto& fact : module_.Facts()) {
            const std::wstring item(fact.item.begin(), fact.item.end());
            const std::wstring value(fact.value.begin(), fact.value.end());
            const int at = list_.InsertItem(row++, item.c_str());
            if (at >= 0) list_.SetItemText(at, 1, value.c_str());
        }
    }

private:
    TestPageModule& module_;
    quarro::win32::CListControl list_;
};

}  // namespace

QUARRO_TAB_PAGE(TestPage, TestPageModule)

}  // namespace test_page
