// One table of file reads that runs natively on the snapshot's files and under Wine on real
// files written by the test: the Setup page's version.doc is read the same way on both.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/system_info.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include "platform/native/sim_system_info.h"
#endif

namespace pf = quarro::platform;

namespace {

const char kContent[] = "Kestrel V3.20L10\r\nline two\n";

pf::ISystemInfo& Info() {
#ifdef _WIN32
    static const bool written = [] {
        std::filesystem::create_directories("C:\\quarro-sysinfo");
        std::ofstream("C:\\quarro-sysinfo\\version.doc", std::ios::binary) << kContent;
        std::ofstream("C:\\quarro-sysinfo\\empty.doc", std::ios::binary);
        return true;
    }();
    (void)written;
    return pf::SystemInformation();
#else
    static pf::sim::SimSystemInfo simulated = [] {
        pf::sim::SimSystemInfo info;
        info.SetFile(u"C:\\quarro-sysinfo\\version.doc", kContent);
        info.SetFile(u"C:\\quarro-sysinfo\\empty.doc", "");
        info.SetMemory(8ull << 30);
        return info;
    }();
    return simulated;
#endif
}

struct Case {
    const char* what;
    const char16_t* path;
    std::size_t maxBytes;
    bool opens;
    std::string bytes;
};

const Case kCases[] = {
    {"the whole file, line ends as they are", u"C:\\quarro-sysinfo\\version.doc", 2600, true, kContent},
    {"at most maxBytes", u"C:\\quarro-sysinfo\\version.doc", 7, true, "Kestrel"},
    {"nothing asked", u"C:\\quarro-sysinfo\\version.doc", 0, true, ""},
    {"paths ignore case", u"c:\\QUARRO-SYSINFO\\Version.DOC", 7, true, "Kestrel"},
    {"slashes separate too", u"C:/quarro-sysinfo/version.doc", 7, true, "Kestrel"},
    {"an empty file", u"C:\\quarro-sysinfo\\empty.doc", 100, true, ""},
    {"a missing file", u"C:\\quarro-sysinfo\\missing.doc", 100, false, ""},
    {"a folder is no file", u"C:\\quarro-sysinfo", 100, false, ""},
};

}  // namespace

TEST(SystemInfoDifferential, ReadsFilesAsWindowsDoes) {
    pf::ISystemInfo& info = Info();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::string bytes = "left over";
        EXPECT_EQ(info.ReadTextFile(c.path, c.maxBytes, &bytes), c.opens);
        if (c.opens) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
    EXPECT_FALSE(info.ReadTextFile(nullptr, 10, nullptr));
    std::uint64_t memory = 0;
    EXPECT_TRUE(info.TotalPhysicalMemory(&memory));
    EXPECT_GE(memory, 64ull << 20);
}
