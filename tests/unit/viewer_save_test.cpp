// The interactive save's core and the module loader, with modules played by the test: the
// module concern hands out the test's own entry points.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/native/files_posix.h"
#include "platform/native/sim_clock.h"
#include "viewer/report.h"
#include "viewer/tab.h"

namespace pf = quarro::platform;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> calls;
bool withoutCommandMessage = false;
int initCalls = 0;
int refusedInit = 0;  // the n-th InitTabDLL call (from 1) refuses

int QUARRO_STDCALL Setup(PropSheetPageHandle*) {
    calls.push_back("setup");
    return 1;
}
int QUARRO_STDCALL Init(const TabInitRecord* record) {
    calls.push_back("init " + std::to_string(record->TabIndex));
    return ++initCalls == refusedInit ? 0 : 1;
}
int QUARRO_STDCALL Term() {
    calls.push_back("term");
    return 1;
}
int QUARRO_STDCALL Text(int chunk, char* buffer, int size, int separator) {
    calls.push_back("text " + std::to_string(chunk) + " " + std::to_string(size) + " " + std::to_string(separator));
    std::strcat(buffer, chunk == 0 ? "first chunk\r\n" : "second chunk\r\n");
    return chunk == 0 ? 1 : 0;
}
int QUARRO_STDCALL Command(int code) {
    calls.push_back("command " + std::to_string(code));
    return 1;
}

class TestModules : public pf::IModules {
public:
    std::u16string program;
    std::set<std::u16string> only;  // when not empty, the only names that load
    std::vector<std::string> loaded;
    int open = 0;
    std::u16string ProgramFileName() override { return program; }
    pf::LibraryHandle Load(const char16_t* name, bool quiet) override {
        loaded.push_back(quarro::text::ToUtf8(name) + (quiet ? " quiet" : ""));
        if (std::u16string(name) == u"Missing.dll" || (!only.empty() && !only.count(name))) return 0;
        ++open;
        return 42;
    }
    void* GetExport(pf::LibraryHandle, const char* name) override {
        const std::string n = name;
        if (n == "SetupPropertyPage") return reinterpret_cast<void*>(&Setup);
        if (n == "InitTabDLL") return reinterpret_cast<void*>(&Init);
        if (n == "TermTabDLL") return reinterpret_cast<void*>(&Term);
        if (n == "GetStringData") return reinterpret_cast<void*>(&Text);
        if (n == "CommandMessage" && !withoutCommandMessage) return reinterpret_cast<void*>(&Command);
        return nullptr;
    }
    void Free(pf::LibraryHandle) override {
        calls.push_back("free");
        --open;
    }
};

// A disk that fails in the middle of a write by throwing, as an allocation may.
class ThrowingDisk : public pf::sim::PosixFiles {
public:
    int open = 0;
    pf::FileHandle CreateForWriting(const char16_t* path, std::uint32_t attributes) override {
        const pf::FileHandle file = PosixFiles::CreateForWriting(path, attributes);
        if (file != pf::kInvalidFile) ++open;
        return file;
    }
    bool Write(pf::FileHandle, const void*, std::uint32_t) override { throw std::runtime_error("disk"); }
    void Close(pf::FileHandle file) override {
        --open;
        PosixFiles::Close(file);
    }
};

class ViewerSave : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        withoutCommandMessage = false;
        initCalls = 0;
        refusedInit = 0;
        folder_ = fs::temp_directory_path() / ("quarro-save-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "Log");
        modules_.program = quarro::text::FromUtf8((folder_ / "Almanac").string());
        pf::Services s;
        s.modules = &modules_;
        s.clock = &clock_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
        std::ofstream(folder_ / "Log" / "Hdd_202612.txt", std::ios::binary) << "log line\n";
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::u16string Path(const char* name) const { return quarro::text::FromUtf8((folder_ / name).string()); }
    std::string Read(const char* name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_;
    TestModules modules_;
    pf::sim::FakeClock clock_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

TEST_F(ViewerSave, LoadBindsAllFiveExportsOrNothing) {
    CTab tab;
    EXPECT_EQ(tab.Load(u"Facet01.dll"), 1);
    EXPECT_EQ(modules_.loaded, std::vector<std::string>{"Facet01.dll quiet"});
    EXPECT_EQ(tab.CommandMessage(7), 1);
    tab.Unload();
    EXPECT_EQ(modules_.open, 0);
    EXPECT_EQ(tab.CommandMessage(7), -1) << "no entry point: -1 without a call";
    EXPECT_EQ(tab.GetStringData(0, nullptr, 0, 0), -1);
    EXPECT_EQ(tab.Load(u"Missing.dll"), 0);
    withoutCommandMessage = true;
    EXPECT_EQ(tab.Load(u"Facet02.dll"), 0);
    EXPECT_EQ(modules_.open, 0) << "a module without all five exports is freed";
    EXPECT_EQ(calls, (std::vector<std::string>{"command 7", "free", "free"}));
}

TEST_F(ViewerSave, FullSaveBracketsTheModulesAndAppendsLogsWhenTheServiceRan) {
    CTab a, b;
    ASSERT_EQ(a.Load(u"Facet01.dll"), 1);
    ASSERT_EQ(b.Load(u"Facet02.dll"), 1);
    EXPECT_EQ(SaveReportToFile(Path("QUARRO.TXT"), {&a, &b}, true, pf::kServiceRunning), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"command 1", "command 1", "text 0 102400 0", "text 1 102400 0",
                                               "text 0 102400 0", "text 1 102400 0", "command 2", "command 2"}));
    const std::string report = Read("QUARRO.TXT");
    const std::string body = "first chunk\r\nsecond chunk\r\n";
    EXPECT_EQ(report.substr(report.size() - 2 * body.size() - 10), body + body + "log line\r\n");
}

TEST_F(ViewerSave, LogsOnlyForAFullSaveWithTheServiceRunning) {
    CTab a;
    ASSERT_EQ(a.Load(u"Facet01.dll"), 1);
    const struct {
        bool all;
        std::uint32_t state;
        bool logs;
    } cases[] = {{true, pf::kServiceRunning, true}, {true, pf::kServiceStopped, false}, {false, pf::kServiceRunning, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(SaveReportToFile(Path("r.txt"), {&a}, c.all, c.state), 0);
        const std::string report = Read("r.txt");
        EXPECT_EQ(report.find("log line") != std::string::npos, c.logs) << c.all << " " << c.state;
    }
}

TEST_F(ViewerSave, UncreatableFileStillEndsTheSave) {
    CTab a;
    ASSERT_EQ(a.Load(u"Facet01.dll"), 1);
    const std::u16string path = quarro::text::FromUtf8((folder_ / "no" / "such" / "x.txt").string());
    EXPECT_EQ(SaveReportToFile(path, {&a}, true, pf::kServiceRunning), kSaveNoFile);
    EXPECT_EQ(calls, (std::vector<std::string>{"command 1", "command 2"}));
}

TEST_F(ViewerSave, ReportRunUnloadsARefusedModuleAtOnceAndSendsNoPageOrCommand) {
    modules_.only = {u"Facet01.dll", u"Facet02.dll", u"Facet03.dll"};
    refusedInit = 2;
    ReportSwitches switches;
    switches.folder = Path("");
    switches.separator = 0x2C;
    WriteReportRun(switches, false);
    EXPECT_EQ(calls, (std::vector<std::string>{"init 0", "init 1", "free", "init 1", "text 0 102400 44",
                                               "text 1 102400 44", "text 0 102400 44", "text 1 102400 44", "term",
                                               "free", "term", "free"}));
    EXPECT_EQ(modules_.open, 0);
}

TEST_F(ViewerSave, AnExceptionWhileWritingClosesTheFile) {
    ThrowingDisk disk;
    pf::Services s;
    s.files = &disk;
    const pf::ScopedOverride failing(s);
    CTab a;
    ASSERT_EQ(a.Load(u"Facet01.dll"), 1);
    EXPECT_THROW(SaveReportToFile(Path("QUARRO.TXT"), {&a}, false, 0), std::runtime_error);
    EXPECT_EQ(disk.open, 0);
    ReportSwitches switches;
    switches.folder = Path("");
    EXPECT_THROW(WriteReportRun(switches, false), std::runtime_error);
    EXPECT_EQ(disk.open, 0);
}

}  // namespace
