// The audit test and the watch service's idle decision, one row per system and registry state.
#include "common/audit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/reg.h"
#include "common/win_version.h"
#include "platform/native/files_posix.h"
#include "platform/native/memory_registry.h"
#include "platform/platform.h"
#include "service/idle.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
using W = CWinVersion;

namespace {

constexpr char16_t kState[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\State";
constexpr char16_t kMaker[] = u"SOFTWARE\\Mirelta\\Kestrel\\Setup";

// What the machine holds: 0 in a field = absent.
struct Machine {
    const char16_t* imageState;
    int audit;            // -1 absent, else the DWORD
    int auditInProgress;  // -1 absent
    bool sysprepFile;
    std::uint32_t view = pf::kKeyWow64_64Key;  // where the values are written
};

struct Row {
    std::int16_t os;
    Machine machine;
    int audit;
};

class Audit : public ::testing::Test {
protected:
    Audit() {
        Fresh();
        char pattern[] = "/tmp/audit_testXXXXXX";
        folder_ = mkdtemp(pattern);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
    }
    ~Audit() override {
        override_.reset();
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(folder_);
    }

    void Fresh() {
        override_.reset();
        registry_ = std::make_unique<sim::MemoryRegistry>();
        pf::Services s;
        s.registry = registry_.get();
        s.files = &files_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
    }

    void Set(const Machine& m) {
        CReg reg;
        if (m.imageState) {
            const std::u16string text = m.imageState;
            reg.WriteString(pf::kHkeyLocalMachine, kState, u"ImageState", text.c_str(),
                            static_cast<std::uint32_t>((text.size() + 1) * 2), m.view);
        }
        if (m.audit >= 0) reg.WriteDword(pf::kHkeyLocalMachine, kMaker, u"Audit", m.audit, m.view);
        if (m.auditInProgress >= 0) {
            reg.WriteDword(pf::kHkeyLocalMachine, u"SYSTEM\\Setup", u"AuditInProgress", m.auditInProgress, m.view);
        }
        if (m.sysprepFile) {
            std::filesystem::create_directories("C:/sysprep");
            std::FILE* f = std::fopen("C:/sysprep/shutdown.exe", "wb");
            std::fclose(f);
        }
    }

    std::unique_ptr<sim::MemoryRegistry> registry_;
    sim::PosixFiles files_;
    std::unique_ptr<pf::ScopedOverride> override_;
    std::filesystem::path folder_, old_;
};

constexpr const char16_t* kNone = nullptr;
const char16_t kComplete[] = u"IMAGE_STATE_COMPLETE";
const char16_t kUndeployable[] = u"IMAGE_STATE_UNDEPLOYABLE";
const char16_t kOobe[] = u"IMAGE_STATE_UNDEPLOYABLE_OOBE";
const char16_t kGeneralize[] = u"IMAGE_STATE_GENERALIZE_RESEAL_TO_AUDIT";

TEST_F(Audit, AnswersPerSystemFromItsOwnSigns) {
    const Row rows[] = {
        {W::kWindows2000, {kNone, -1, -1, false}, 0},
        {W::kWindows2000, {kNone, -1, -1, true}, 1},
        {W::kWindows2000, {kGeneralize, 1, 1, false}, 0},
        {W::kWindowsXp, {kNone, -1, 1, false}, 1},
        {W::kWindowsXp, {kNone, -1, 2, false}, 0},
        {W::kWindowsXp, {kGeneralize, 1, -1, true}, 0},
        {W::kVista, {kComplete, 1, -1, false}, 0},
        {W::kVista, {kUndeployable, -1, -1, false}, 0},
        {W::kVista, {kGeneralize, -1, -1, false}, 1},
        {W::kVista, {kNone, 1, 1, true}, 0},
        {W::kWindows7, {kComplete, -1, -1, false}, 0},
        {W::kWindows7, {kComplete, 0, -1, false}, 0},
        {W::kWindows7, {kComplete, 5, -1, false}, 1},
        {W::kWindows7, {kOobe, -1, -1, false}, 1},
        {W::kWindows7, {kNone, -1, -1, false}, 0},
        {W::kWindows7, {kGeneralize, 0, -1, false, 0}, 0},  // written to the 32-bit view only
        {W::kWindows8, {kGeneralize, 0, -1, false}, 0},      // "Audit" reads: it decides
        {W::kWindows8, {kComplete, 1, -1, false}, 1},
        {W::kWindows8, {kUndeployable, -1, -1, false}, 1},
        {W::kWindows8, {kComplete, -1, -1, false}, 0},
        {W::kWindows81, {kUndeployable, -1, -1, false}, 1},
        {W::kWindows81, {kNone, -1, -1, false}, 0},
        {W::kFutureOs, {kGeneralize, 1, 1, true}, 0},
        {W::kServer2008R2, {kGeneralize, 1, 1, true}, 0},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << n++ << " os " << r.os);
        Fresh();
        std::filesystem::remove_all("C:");
        Set(r.machine);
        EXPECT_EQ(CAudit(r.os).IsAudit(CAudit::kSysprepFlag), r.audit);
        EXPECT_EQ(CAudit(r.os).IsAudit(1), 0);
    }
}

TEST_F(Audit, IdleDecisionPerSystem) {
    struct Case {
        std::int16_t os;
        bool audit, sessionOpens, idle, probed;
    } const cases[] = {
        {W::kWindows2000, false, true, false, true}, {W::kWindowsXp, false, true, false, true},
        {W::kVista, false, true, false, true},       {W::kWindows7, false, true, false, true},
        {W::kWindows8, false, true, false, true},    {W::kWindows81, false, true, false, true},
        {W::kFutureOs, false, true, false, true},    {W::kWindows7, false, false, true, true},
        {W::kWindowsXp, true, true, true, false},    {W::kWindows7, true, true, true, false},
        {W::kServer2008R2, false, true, true, false}, {W::kServer2003, false, true, true, false},
        {W::kNt4, false, true, true, false},         {W::kWindowsMe, false, true, true, false},
        {W::kUnknown, false, true, true, false},     {W::kServer2012R2, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.os);
        Fresh();
        if (c.audit) {
            CReg().WriteDword(pf::kHkeyLocalMachine, u"SYSTEM\\Setup", u"AuditInProgress", 1, 0);
            CReg().WriteDword(pf::kHkeyLocalMachine, kMaker, u"Audit", 1, pf::kKeyWow64_64Key);
        }
        bool probed = false;
        const bool idle = ShouldStayIdle(c.os, CAudit(c.os), [&] {
            probed = true;
            return c.sessionOpens;
        });
        EXPECT_EQ(idle, c.idle);
        EXPECT_EQ(probed, c.probed);
    }
}

}  // namespace
