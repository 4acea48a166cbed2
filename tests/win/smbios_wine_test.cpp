// The SMBIOS tab's Windows side under Wine: the real Facet09.dll loaded as the viewer loads it,
// reading its table through the raw-SMBIOS concern. With QUARRO_MACHINE naming machines/default
// the snapshot's table is the one reported; without a snapshot the real WMI query answers
// (Wine's table may be empty: "Not Found") and nothing crashes. The WMI query leaves a thread's
// own COM initialisation alone.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/raw_smbios.h"
#include "platform/win32/handles.h"
#include "tabframe/tab_contract.h"
#include "product_module.h"

namespace {

using quarro::wintests::ProductModulePath;
using quarro::wintests::Export;
using quarro::win32::UniqueLibrary;

TEST(SmbiosOnWine, TheRealModuleReportsTheTableItIsGiven) {
    const bool snapshot = _wgetenv(L"QUARRO_MACHINE") != nullptr;
    UniqueLibrary module(LoadLibraryW(ProductModulePath(L"Facet09.dll").c_str()));
    ASSERT_TRUE(module);
    const auto init = Export<InitTabDLLProc>(module.Get(), "InitTabDLL");
    const auto text = Export<GetStringDataProc>(module.Get(), "GetStringData");
    const auto term = Export<TermTabDLLProc>(module.Get(), "TermTabDLL");
    ASSERT_TRUE(init && text && term);
    // As in the viewer: the thread is in a single-threaded apartment already.
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    TabInitRecord record = {8, kTabRefreshPeriod, nullptr, 0};
    EXPECT_EQ(init(&record), 1);
    std::vector<char> buffer(kReportBufferSize, 0);
    EXPECT_EQ(text(1, buffer.data(), kReportBufferSize, ','), 0);
    const std::string body(buffer.data());
    if (snapshot) {
        EXPECT_EQ(body.rfind("System Management BIOS\r\nGeneral Information\r\n  BIOS Information\r\n    Vendor,", 0), 0u)
            << body.substr(0, 200);
        EXPECT_NE(body.find("    Product Name,MIRELTA NB-7420\r\n"), std::string::npos);
        EXPECT_NE(body.find("Portable Battery\r\n  Portable Battery 1\r\n"), std::string::npos);
    } else {
        std::printf("Wine's table gives: %s\n", body.substr(0, body.find("\r\n")).c_str());
        EXPECT_TRUE(body == "Not Found\r\n\r\n\r\n" || body.rfind("System Management BIOS\r\n", 0) == 0) << body;
    }
    EXPECT_EQ(term(), 1);
    OleUninitialize();
}

TEST(SmbiosOnWine, AThreadInTheMultithreadedApartmentKeepsIt) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    quarro::platform::RawSmbiosRecord record;
    const bool answered = quarro::platform::RawSmbiosTables().ReadRawTable(&record);
    if (!_wgetenv(L"QUARRO_MACHINE")) {
        EXPECT_FALSE(answered) << "the query needs a single-threaded apartment";
    }
    // Still initialised as before: another multithreaded initialisation only counts up.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
