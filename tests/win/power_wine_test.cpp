// The real Facet08.dll under Wine without a snapshot: the capabilities come from Wine's
// CallNtPowerInformation, and Wine's power library has no active plan, so the section ends
// cleanly with the plan row "Unknown" and nothing else.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "tabframe/tab_contract.h"
#include "product_module.h"

namespace {

using quarro::wintests::ProductModulePath;
using quarro::wintests::Export;
using quarro::win32::UniqueLibrary;

TEST(PowerOnWine, RealLibraryWithoutActivePlanGivesThePlanRowUnknown) {
    if (GetEnvironmentVariableW(L"QUARRO_MACHINE", nullptr, 0) != 0) GTEST_SKIP() << "a snapshot is named";
    UniqueLibrary module(LoadLibraryW(ProductModulePath(L"Facet08.dll").c_str()));
    ASSERT_NE(module.Get(), nullptr) << GetLastError();
    auto init = Export<InitTabDLLProc>(module.Get(), "InitTabDLL");
    auto text = Export<GetStringDataProc>(module.Get(), "GetStringData");
    auto term = Export<TermTabDLLProc>(module.Get(), "TermTabDLL");
    ASSERT_TRUE(init && text && term);
    const TabInitRecord record{0, kTabRefreshPeriod, nullptr, 0};
    ASSERT_EQ(init(&record), 1);
    std::vector<char> buffer(kReportBufferSize, 0);
    ASSERT_EQ(text(0, buffer.data(), kReportBufferSize, 0), 0);
    const std::string section(buffer.data());
    const std::string rule(119, '-');
    EXPECT_EQ(section, "[Power Options]\r\n" + rule + "\r\n" + std::string("Item") + std::string(31, ' ') +
                           "Settings" + std::string(76, ' ') + "\r\n" + rule + "\r\n" + "Power plan" +
                           std::string(25, ' ') + "Unknown\r\n\r\n\r\n");
    EXPECT_EQ(term(), 1);
}

}  // namespace
