// The utility's portable core against fakes of the driver registry, the power facts and the audit
// test, on a simulated Windows (OS identity, administrator test, mutexes, files).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/concerns.h"
#include "platform/native/files_posix.h"
#include "platform/native/sim_os_identity.h"
#include "platform/native/sim_security.h"
#include "platform/platform.h"
#include "utility/toolbench_core.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
namespace tb = quarro::toolbench;

namespace {

std::string U8(const char16_t* s) { return quarro::text::ToUtf8(s); }

// The driver's registry as a map "path|name" -> value, with a log of every request.
class FakeDriverRegistry : public tb::IDriverRegistry {
public:
    std::map<std::string, std::uint32_t> values;
    std::map<std::string, bool> keys;
    std::vector<std::string> log;
    bool failWrites = false;

    bool ReadDword(const char16_t* path, const char16_t* name, std::uint32_t* value) override {
        log.push_back("read " + U8(name));
        auto it = values.find(U8(path) + "|" + U8(name));
        if (it == values.end()) return false;
        *value = it->second;
        return true;
    }
    bool KeyExists(const char16_t* path) override {
        log.push_back("exists " + U8(path));
        return keys.count(U8(path)) != 0;
    }
    bool CreateKey(const char16_t* path) override {
        log.push_back("create " + U8(path));
        keys[U8(path)] = true;
        return !failWrites;
    }
    bool WriteDword(const char16_t* path, const char16_t* name, std::uint32_t value) override {
        log.push_back("write " + U8(name) + "=" + std::to_string(value));
        if (failWrites) return false;
        values[U8(path) + "|" + U8(name)] = value;
        return true;
    }
};

class FakePower : public tb::IPowerFacts {
public:
    bool capabilities = true, batteries = true, hibernate = true;
    bool activeWorks = true, defaultsWork = true, policyWorks = true;
    std::uint32_t active[2] = {3600, 1800};
    std::uint32_t defaults[2] = {10800, 7200};
    tb::PolicyTimeouts policy;
    std::string plan;

    bool BatteriesPresent(bool* present) override {
        *present = batteries;
        return capabilities;
    }
    bool HibernateAllowed() override { return hibernate; }
    bool ActivePlanHibernateSeconds(bool battery, std::uint32_t* seconds) override {
        *seconds = active[battery];
        return activeWorks;
    }
    bool DefaultHibernateSeconds(const char* p, bool battery, std::uint32_t* seconds) override {
        plan = p;
        *seconds = defaults[battery];
        return defaultsWork;
    }
    bool CurrentPolicy(tb::PolicyTimeouts* out) override {
        *out = policy;
        return policyWorks;
    }
};

class StopFile : public sim::PosixFiles {
public:
    bool present = false;
    bool CanOpenForReading(const char16_t* path) override {
        return present && std::u16string(path) == u"C:\\util\\version.doc";
    }
};

const std::string kQuarro = "Software\\Mirelta\\QUARRO|";
const std::string kKestrel = "SOFTWARE\\Mirelta\\Kestrel\\Setup|";

class ToolbenchRun : public ::testing::Test {
public:  // the table rows arrange the fixture
    void SetUp() override {
        SetOs(6, 1);
        pf::Services s;
        s.os = &os_;
        s.security = &security_;
        s.files = &files_;
        s.mutexes = mutexes_.get();
        override_ = std::make_unique<pf::ScopedOverride>(s);
        environment_.inAudit = [this] { return audit_; };
        environment_.openDriver = [this]() -> std::unique_ptr<tb::IDriverRegistry> {
            ++opens_;
            if (!driverWorks_) return nullptr;
            // The registry outlives the run: hand out a forwarding view of it.
            struct View : tb::IDriverRegistry {
                FakeDriverRegistry* r;
                bool ReadDword(const char16_t* p, const char16_t* n, std::uint32_t* v) override { return r->ReadDword(p, n, v); }
                bool KeyExists(const char16_t* p) override { return r->KeyExists(p); }
                bool CreateKey(const char16_t* p) override { return r->CreateKey(p); }
                bool WriteDword(const char16_t* p, const char16_t* n, std::uint32_t v) override { return r->WriteDword(p, n, v); }
            };
            auto view = std::make_unique<View>();
            view->r = &driver_;
            return view;
        };
        environment_.power = &power_;
    }
    void SetOs(std::uint32_t major, std::uint32_t minor) {
        os_.version.majorVersion = major;
        os_.version.minorVersion = minor;
        os_.version.platformId = 2;
        os_.version.productType = 1;
    }
    std::map<std::string, std::uint32_t> Written() const {
        std::map<std::string, std::uint32_t> out;
        for (const auto& [key, value] : driver_.values) {
            if (key.rfind(kQuarro, 0) == 0) out[key.substr(kQuarro.size())] = value;
        }
        return out;
    }

    sim::SimOsIdentity os_{nullptr};
    sim::SimSecurity security_{nullptr};
    StopFile files_;
    std::shared_ptr<pf::INamedMutexes> mutexes_ = sim::MakeSimNamedMutexes(nullptr, nullptr);
    std::unique_ptr<pf::ScopedOverride> override_;
    FakeDriverRegistry driver_;
    FakePower power_;
    tb::Environment environment_;
    bool audit_ = false, driverWorks_ = true;
    pf::MutexHandle held_ = 0;
    int opens_ = 0;
};

using Values = std::map<std::string, std::uint32_t>;

TEST_F(ToolbenchRun, HibernateTimeoutsByOsIdentity) {
    tb::PolicyTimeouts xp;
    xp.idleActionHibernate[0] = true;  // mains: idle 20 min hibernates directly
    xp.idleSeconds[0] = 1200;
    xp.idleSeconds[1] = 300;           // battery: 5 min idle, then 25 min to hibernate
    xp.dozeToHibernateSeconds[1] = 1500;
    const struct Row {
        const char* what;
        std::uint32_t major, minor;
        bool batteries;
        Values kestrel;  // Hib_AC / Hib_DC through the driver
        bool administrator;
        tb::Outcome outcome;
        Values written;
    } rows[] = {
        {"Vista, active plan", 6, 0, true, {}, true, tb::Outcome::Written, {{"HddNotif004", 60}, {"HddNotif005", 30}}},
        {"7, active plan, no batteries", 6, 1, false, {}, true, tb::Outcome::Written, {{"HddNotif004", 60}}},
        {"8, Kestrel values as they are", 6, 2, true, {{"Hib_AC", 45}, {"Hib_DC", 15}}, true, tb::Outcome::Written,
         {{"HddNotif004", 45}, {"HddNotif005", 15}}},
        {"8.1, no Hib_AC: the plan's defaults", 6, 3, true, {{"Hib_DC", 15}}, true, tb::Outcome::Written,
         {{"HddNotif004", 180}, {"HddNotif005", 120}}},
        {"future, Hib_AC without the needed Hib_DC", 10, 0, true, {{"Hib_AC", 45}}, true, tb::Outcome::ReadFailed, {}},
        {"future, Hib_AC, no batteries", 10, 0, false, {{"Hib_AC", 45}}, true, tb::Outcome::Written,
         {{"HddNotif004", 45}}},
        {"XP, administrator: the policy", 5, 1, true, {}, true, tb::Outcome::Written,
         {{"HddNotif004", 20}, {"HddNotif005", 30}}},
        {"XP, no administrator", 5, 1, true, {}, false, tb::Outcome::NotAdministrator, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        driver_ = FakeDriverRegistry();
        for (const auto& [name, value] : row.kestrel) driver_.values[kKestrel + name] = value;
        SetOs(row.major, row.minor);
        power_.batteries = row.batteries;
        power_.policy = xp;
        security_.administrator = row.administrator;
        EXPECT_EQ(row.outcome, tb::Run(environment_));
        EXPECT_EQ(row.written, Written());
    }
    EXPECT_EQ("a83ffe77-647e-45df-899e-cd3f4e2835a1", power_.plan);
}

TEST_F(ToolbenchRun, SecondRunWritesNothingAndKeysAreMadeOnce) {
    EXPECT_EQ(tb::Outcome::Written, tb::Run(environment_));
    EXPECT_EQ((std::vector<std::string>{"read HddNotif004", "read HddNotif005", "exists Software\\Mirelta\\QUARRO",
                                        "create Software\\Mirelta", "create Software\\Mirelta\\QUARRO",
                                        "write HddNotif004=60", "write HddNotif005=30"}),
              driver_.log);
    driver_.log.clear();
    power_.active[0] = 600;
    EXPECT_EQ(tb::Outcome::AlreadyRecorded, tb::Run(environment_));
    EXPECT_EQ((std::vector<std::string>{"read HddNotif004"}), driver_.log);
    EXPECT_EQ((Values{{"HddNotif004", 60}, {"HddNotif005", 30}}), Written());

    // Only the mains value missing: with batteries the battery value still counts as the record;
    // without batteries only the mains value is looked at, and written again.
    driver_.values.erase(kQuarro + "HddNotif004");
    EXPECT_EQ(tb::Outcome::AlreadyRecorded, tb::Run(environment_));
    power_.batteries = false;
    driver_.log.clear();
    EXPECT_EQ(tb::Outcome::Written, tb::Run(environment_));
    EXPECT_EQ((Values{{"HddNotif004", 10}, {"HddNotif005", 30}}), Written());
    EXPECT_EQ((std::vector<std::string>{"read HddNotif004", "exists Software\\Mirelta\\QUARRO", "write HddNotif004=10"}),
              driver_.log);
}

TEST_F(ToolbenchRun, EveryEarlyExitWritesNothing) {
    const struct Row {
        const char* what;
        std::function<void(ToolbenchRun&)> arrange;
        tb::Outcome outcome;
        bool driverOpened;
    } rows[] = {
        {"another instance",
         [](ToolbenchRun& t) {
             bool existed = false;
             t.held_ = t.mutexes_->Create(u"Mirelta_Toolbench_Execute_Mutex", &existed);
         },
         tb::Outcome::AlreadyRunning, false},
        {"audit mode", [](ToolbenchRun& t) { t.audit_ = true; }, tb::Outcome::Audit, false},
        {"C:\\util\\version.doc", [](ToolbenchRun& t) { t.files_.present = true; }, tb::Outcome::StopFile, false},
        {"no driver", [](ToolbenchRun& t) { t.driverWorks_ = false; }, tb::Outcome::NoDriver, true},
        {"no capabilities", [](ToolbenchRun& t) { t.power_.capabilities = false; }, tb::Outcome::NoCapabilities, true},
        {"hibernation disabled", [](ToolbenchRun& t) { t.power_.hibernate = false; }, tb::Outcome::HibernateNotAllowed,
         true},
        {"active plan unreadable", [](ToolbenchRun& t) { t.power_.activeWorks = false; }, tb::Outcome::ReadFailed, true},
        {"XP without an active scheme",
         [](ToolbenchRun& t) {
             t.SetOs(5, 1);
             t.power_.policyWorks = false;
         },
         tb::Outcome::ReadFailed, true},
        {"8 defaults unreadable",
         [](ToolbenchRun& t) {
             t.SetOs(6, 2);
             t.power_.defaultsWork = false;
         },
         tb::Outcome::ReadFailed, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        driver_ = FakeDriverRegistry();
        power_ = FakePower();
        audit_ = false;
        driverWorks_ = true;
        files_.present = false;
        SetOs(6, 1);
        opens_ = 0;
        row.arrange(*this);
        EXPECT_EQ(row.outcome, tb::Run(environment_));
        if (held_) mutexes_->Close(std::exchange(held_, 0));
        EXPECT_EQ(row.driverOpened, opens_ == 1);
        EXPECT_TRUE(Written().empty());
        for (const std::string& request : driver_.log) EXPECT_EQ(0u, request.rfind("read ", 0)) << "only reads: " << request;
    }
}

TEST(ToolbenchPolicy, MinutesFromAnOldPolicy) {
    const struct {
        bool hibernate;
        std::uint32_t idle, doze, minutes;
    } rows[] = {{true, 1200, 9999, 20}, {false, 300, 1500, 30}, {false, 300, 0, 0}, {true, 59, 0, 0}, {false, 0, 119, 1}};
    for (const auto& row : rows) {
        tb::PolicyTimeouts p;
        p.idleActionHibernate[1] = row.hibernate;
        p.idleSeconds[1] = row.idle;
        p.dozeToHibernateSeconds[1] = row.doze;
        EXPECT_EQ(row.minutes, tb::PolicyMinutes(p, 1));
    }
}

}  // namespace

namespace {

// The power facts over the power concern, here the default notebook's snapshot.
TEST(ToolbenchPowerFacts, ReadTheDefaultNotebook) {
    const auto power = tb::MakePlatformPowerFacts();
    bool batteries = false;
    ASSERT_TRUE(power->BatteriesPresent(&batteries));
    EXPECT_TRUE(batteries);
    EXPECT_TRUE(power->HibernateAllowed());
    std::uint32_t seconds[4] = {1, 1, 1, 1};
    EXPECT_TRUE(power->ActivePlanHibernateSeconds(false, &seconds[0]));
    EXPECT_TRUE(power->ActivePlanHibernateSeconds(true, &seconds[1]));
    EXPECT_TRUE(power->DefaultHibernateSeconds(tb::kDefaultsPlan, false, &seconds[2]));
    EXPECT_TRUE(power->DefaultHibernateSeconds(tb::kDefaultsPlan, true, &seconds[3]));
    EXPECT_EQ((std::vector<std::uint32_t>{0, 21600, 10800, 7200}), std::vector<std::uint32_t>(seconds, seconds + 4));
    EXPECT_FALSE(power->DefaultHibernateSeconds("not-a-guid", false, &seconds[0]));
    tb::PolicyTimeouts policy;
    ASSERT_TRUE(power->CurrentPolicy(&policy));
    EXPECT_EQ(0u, tb::PolicyMinutes(policy, 0));   // sleeps when idle, no doze to hibernate
    EXPECT_EQ(65u, tb::PolicyMinutes(policy, 1));  // 300 s idle + 3600 s to hibernate
}

}  // namespace
