#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/native/sim_clock.h"
#include "viewer/command_line.h"
#include "viewer/instance_guard.h"
#include "viewer/report.h"

namespace pf = quarro::platform;
namespace fs = std::filesystem;

namespace {

TEST(ViewerCommandLine, SwitchesAreFoundAnywhereAndValuesReadAsTyped) {
    struct Row {
        const char16_t* line;
        bool firstLogin, smart, outputLog;
        char16_t drive;
        const char16_t* folder;
        int separator;
        char16_t tab;
    };
    const Row rows[] = {
        {u"/OUTPUTLOG", false, false, true, u'C', u"", 0, 0},
        {u"/outputlog /smartid_name", false, true, true, u'C', u"", 0, 0},
        {u"/SMARTID_NAME/OUTPUTLOG", false, true, true, u'C', u"", 0, 0},
        {u"xxFirstLoginxx", true, false, false, u'C', u"", 0, 0},
        {u"/OUTPUTLOG /D:E /S:1", false, false, true, u'E', u"", 0x2C, 0},
        {u"/outputlog /d:e /s:1", false, false, true, u'C', u"", 0x2C, 0},
        {u"/OUTPUTLOG /S:0 /T:3", false, false, true, u'C', u"", 0x09, u'3'},
        {u"/OUTPUTLOG /S:2 /T:a", false, false, true, u'C', u"", 0, u'a'},
        {u"/OUTPUTLOG /T:A /P:C:\\My Reports\\", false, false, true, u'C', u"C:\\My Reports\\", 0, u'A'},
        {u"/OUTPUTLOG /D:", false, false, true, u'C', u"", 0, 0},
        {u"/OUTPUTLOG /P:", false, false, true, u'C', u"", 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(quarro::text::ToUtf8(r.line));
        const CommandLine c = ParseCommandLine(r.line);
        EXPECT_EQ(c.firstLogin, r.firstLogin);
        EXPECT_EQ(c.smartIdNames, r.smart);
        EXPECT_EQ(c.outputLog, r.outputLog);
        EXPECT_EQ(c.report.drive, r.drive);
        EXPECT_EQ(c.report.folder, std::u16string(r.folder));
        EXPECT_EQ(c.report.separator, r.separator);
        EXPECT_EQ(c.report.tab, r.tab);
    }
}

TEST(ViewerCommandLine, FolderIsTheRestOfTheLineCutAt259) {
    const std::u16string folder(300, u'f');
    const CommandLine c = ParseCommandLine(u"/OUTPUTLOG /P:" + folder);
    EXPECT_EQ(c.report.folder, std::u16string(259, u'f'));
}

TEST(ViewerCommandLine, ReportPlacesAndPages) {
    ReportSwitches s;
    s.folder = u"/tmp/out";
    EXPECT_EQ(ReportFilePath(s), u"/tmp/out\\Sysnote.txt");
    s.folder = u"D:\\out\\";
    EXPECT_EQ(ReportFilePath(s), u"D:\\out\\Sysnote.txt");
    s.folder.clear();
    s.drive = u'E';
    EXPECT_EQ(ReportFilePath(s), u"E:\\Sysnote.txt");

    const std::pair<char16_t, int> pages[] = {{u'0', 0}, {u'1', 1}, {u'2', -1}, {u'9', -1}, {u'A', -1}, {0, -1}};
    for (const auto& [tab, page] : pages) {
        s.tab = tab;
        EXPECT_EQ(ReportPage(s, 2), page) << int(tab);
    }
    s.tab = u'A';
    EXPECT_TRUE(ReportAppendsLogs(s));
    s.tab = u'a';
    EXPECT_FALSE(ReportAppendsLogs(s));
}

TEST(ViewerHeader, ExactBytes) {
    const std::string rule(119, '-');
    EXPECT_EQ(ReportHeader(u"Quarro 1.0", u"Mirelta Corporation (C) 2026"),
              rule + "\r\nQuarro 1.0\r\nMirelta Corporation (C) 2026\r\n" + rule + "\r\n\r\n\r\n");
    // Lines are cut to fit 260 bytes.
    const std::string header = ReportHeader(std::u16string(300, u'q'), u"m");
    EXPECT_EQ(header.substr(121, 261), std::string(259, 'q') + "\r\n");
}

TEST(ViewerInstanceGuard, SecondHolderAndEmptyName) {
    CMultipleInstancePreventer first(u"MireltaQuarroMutexTest");
    EXPECT_EQ(first.Create(), 1);
    {
        CMultipleInstancePreventer second(u"MireltaQuarroMutexTest");
        EXPECT_EQ(second.Create(), 0);
    }
    CMultipleInstancePreventer empty(u"");
    EXPECT_EQ(empty.Create(), 0);
}

// The program lives in a folder of the test's own, with a Log folder beside it.
class FakeProgram : public pf::IModules {
public:
    explicit FakeProgram(std::u16string program) : program_(std::move(program)) {}
    std::u16string ProgramFileName() override { return program_; }
    pf::LibraryHandle Load(const char16_t*, bool) override { return 0; }
    void* GetExport(pf::LibraryHandle, const char*) override { return nullptr; }
    void Free(pf::LibraryHandle) override {}

private:
    std::u16string program_;
};

class ServiceLogs : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("quarro-logs-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "Log");
        program_ = std::make_unique<FakeProgram>(quarro::text::FromUtf8((folder_ / "Almanac").string()));
        pf::Services s;
        s.modules = program_.get();
        s.clock = &clock_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
        report_ = folder_ / "Sysnote.txt";
        std::ofstream(report_, std::ios::binary) << "report\r\n";
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Log(const std::string& name, const std::string& text) { std::ofstream(folder_ / "Log" / name, std::ios::binary) << text; }
    std::string Report() {
        std::ifstream in(report_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_, report_;
    pf::sim::FakeClock clock_;
    std::unique_ptr<FakeProgram> program_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

TEST_F(ServiceLogs, JanuaryTakesDecemberOfThePreviousYearFirst) {
    clock_.local = {2027, 1, 5, 14, 9, 0, 0, 0};
    Log("Hdd_202701.txt", "january\n");
    Log("Hdd_202612.txt", "december\r\nsecond\n");
    Log("Hdd_202611.txt", "november\n");
    Log("Hdd_202612.log", "not a log\n");
    EXPECT_EQ(AppendServiceLogs(quarro::text::FromUtf8(report_.string())), 1);
    EXPECT_EQ(Report(), "report\r\ndecember\r\nsecond\r\njanuary\r\n");
}

TEST_F(ServiceLogs, ZeroDateAndMissingReportAppendNothing) {
    clock_.local = {0, 0, 0, 0, 0, 0, 0, 0};
    Log("Hdd_000000.txt", "x\n");
    EXPECT_EQ(AppendServiceLogs(quarro::text::FromUtf8(report_.string())), 0);
    EXPECT_EQ(Report(), "report\r\n");
    clock_.local = {2026, 12, 1, 7, 0, 0, 0, 0};
    EXPECT_EQ(AppendServiceLogs(quarro::text::FromUtf8((folder_ / "missing" / "Sysnote.txt").string())), 0);
}

}  // namespace
