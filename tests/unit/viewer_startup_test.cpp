// The viewer's start-up against a simulated Windows: the guards in their fixed order, and where
// the report run stops before it loads anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/text.h"
#include "platform/concerns.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/sim/sim_devices.h"
#include "platform/native/sim_prompt.h"
#include "platform/native/sim_os_identity.h"
#include "viewer/app.h"
#include "viewer/report.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
namespace fs = std::filesystem;

namespace {

// Questions, mutexes, library loads and the interactive run, in the order they happen.
std::vector<std::string> events;

class OrderedPrompt : public sim::SimPrompt {
public:
    int ShowMessage(pf::WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override {
        events.push_back("box " + quarro::text::ToUtf8(text).substr(0, 16));
        return SimPrompt::ShowMessage(owner, text, caption, style);
    }
};

class OrderedMutexes : public pf::INamedMutexes {
public:
    pf::MutexHandle Create(const char16_t* name, bool* alreadyExisted) override {
        events.push_back("mutex " + quarro::text::ToUtf8(name));
        return inner_->Create(name, alreadyExisted);
    }
    void Close(pf::MutexHandle mutex) override { inner_->Close(mutex); }

private:
    std::shared_ptr<pf::INamedMutexes> inner_ = sim::MakeSimNamedMutexes(nullptr, nullptr);
};

class NoLibraries : public pf::IModules {
public:
    std::u16string ProgramFileName() override { return u"/nowhere/Almanac"; }
    pf::LibraryHandle Load(const char16_t* name, bool) override {
        events.push_back("load " + quarro::text::ToUtf8(name));
        return 0;
    }
    void* GetExport(pf::LibraryHandle, const char*) override { return nullptr; }
    void Free(pf::LibraryHandle) override {}
};

class Documents : public pf::IShellFolders {
public:
    bool found = true;
    std::u16string path;
    bool GetKnownFolderPath(pf::KnownFolder, std::u16string* out) override {
        *out = path;
        return found;
    }
};

class ViewerStartup : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        folder_ = fs::temp_directory_path() / ("quarro-startup-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        documents_.path = Text(folder_.string());
        pf::Services s;
        s.os = &os_;
        s.prompt = &prompt_;
        s.mutexes = &mutexes_;
        s.registry = &registry_;
        s.modules = &modules_;
        s.folders = &documents_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
    }
    void TearDown() override { fs::remove_all(folder_); }

    static std::u16string Text(const std::string& s) { return quarro::text::FromUtf8(s); }
    bool Written() const { return fs::exists(folder_ / "Sysnote.txt"); }

    fs::path folder_;
    sim::SimOsIdentity os_{nullptr};
    OrderedPrompt prompt_;
    OrderedMutexes mutexes_;
    sim::MemoryRegistry registry_;
    NoLibraries modules_;
    Documents documents_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

TEST_F(ViewerStartup, FutureWindowsQuestionComesBeforeTheMutexAndNoEndsEveryRun) {
    const std::string question = "box This application";
    const std::string mutex = "mutex MireltaQuarroMutex";
    struct Row {
        const char* what;
        std::uint32_t major;
        int answer;            // 0: the box's default (No)
        bool anotherInstance;
        bool reportRun;
        std::vector<std::string> guards;  // the events before any library is loaded
        bool ran;                         // the report was written or the interactive run started
    } const rows[] = {
        {"future, No, report", 10, 0, false, true, {question}, false},
        {"future, No, interactive", 10, 0, false, false, {question}, false},
        {"future, No, second instance", 10, 0, true, true, {question}, false},
        {"future, Yes, report", 10, pf::kIdYes, false, true, {question, mutex}, true},
        {"future, Yes, interactive", 10, pf::kIdYes, false, false, {question, mutex}, true},
        {"future, Yes, second instance", 10, pf::kIdYes, true, true, {question, mutex}, false},
        {"Windows 7, report", 6, 0, false, true, {mutex}, true},
        {"Windows 7, second instance", 6, 0, true, false, {mutex}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(folder_ / "Sysnote.txt");
        os_.version.majorVersion = row.major;
        prompt_.answerOverride = row.answer;
        pf::MutexHandle other = 0;
        bool existed = false;
        if (row.anotherInstance) other = mutexes_.Create(u"MireltaQuarroMutex", &existed);
        events.clear();

        static bool interactive;
        interactive = false;
        AppEnvironment environment;
        environment.runInteractive = [](ViewerState&) { interactive = true; };
        CAlmanacApp app(environment);
        EXPECT_FALSE(app.InitInstance(row.reportRun ? u"/OUTPUTLOG /P:" + documents_.path : u""));
        if (other) mutexes_.Close(other);

        std::vector<std::string> guards;
        for (const std::string& e : events) {
            if (e.rfind("load ", 0) != 0) guards.push_back(e);
        }
        EXPECT_EQ(guards, row.guards);
        EXPECT_EQ(row.reportRun ? Written() : interactive, row.ran);
    }
}

TEST_F(ViewerStartup, ReportRunWithoutDocumentsFolderStopsBeforeTheSession) {
    // No driver: a run that went on to open the session would show its message.
    const std::shared_ptr<pf::IDeviceInterfaces> absent = sim::MakeAbsentDeviceInterfaces();
    pf::Services s;
    s.devices = absent.get();
    const pf::ScopedOverride noDriver(s);
    struct Row {
        bool found;
        bool emptyPath;
        bool sessionTried;
    } const rows[] = {{false, false, false}, {true, true, false}, {true, false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.found) + std::to_string(row.emptyPath));
        events.clear();
        documents_.found = row.found;
        documents_.path = row.emptyPath ? u"" : Text(folder_.string());
        WriteReportRun(ReportSwitches{}, false);
        EXPECT_EQ(events, row.sessionTried ? std::vector<std::string>{"box Access to System"} : std::vector<std::string>{});
        EXPECT_FALSE(Written());
    }
}

}  // namespace
