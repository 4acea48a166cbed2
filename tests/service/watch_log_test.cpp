// The log and history engine on a simulated disk, firmware and batteries: every log file is
// compared byte for byte with tests/expected/watchpost/ (QUARRO_UPDATE_EXPECTED=1 rewrites them).
#include "service/watch_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "common/ansi.h"
#include "common/reg.h"
#include "platform/native/files_posix.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_clock.h"
#include "platform/platform.h"
#include "service/watch_core.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
using namespace watch;

namespace {

constexpr char16_t kKey[] = u"Software\\Mirelta\\Quarro";

struct Attribute {
    std::uint8_t id;
    std::uint64_t raw;
};

// A disk that answers from a list of attributes; `spin` queues states for the next reads
// (kStateNotSpunUp for a disk that is down).
struct Disk : IDiskReader {
    DriveIdentity identity;
    std::vector<Attribute> attributes;
    std::deque<std::int32_t> spin;
    std::int32_t state = 1;  // > 0: the attributes; else this state
    std::uint8_t fill = 0;   // the data sector's bytes around the attributes
    int reads = 0;

    void Set(std::uint8_t id, std::uint64_t raw) {
        for (Attribute& a : attributes) {
            if (a.id == id) {
                a.raw = raw;
                return;
            }
        }
        attributes.push_back({id, raw});
    }
    void Take(int event, SmartSnapshot* s, DriveIdentity* id) override {
        ++reads;
        if (event == kPowerOn) *id = identity;
        std::int32_t st = state;
        if (!spin.empty()) {
            st = spin.front();
            spin.pop_front();
        }
        if (st <= 0) {
            s->state = st;
            if (st == kStateNoDisk) {
                s->failureStep = 3;
                s->failureCode = 2;
            }
            return;
        }
        std::memset(s->sector, fill, sizeof(s->sector));
        int n = 0;
        for (const Attribute& a : attributes) {
            std::uint8_t* slot = s->sector + 2 + 12 * n;
            SmartEntry& e = s->entries[n++];
            e.id = slot[0] = a.id;
            e.current = slot[3] = 100;
            for (int b = 0; b < 6; ++b) e.raw[b] = slot[5 + b] = static_cast<std::uint8_t>(a.raw >> (8 * b));
        }
        s->state = n;
    }
};

struct Firmware : IWatchFirmware {
    bool opens = true;
    const char* model = "PT12345A";
    std::uint8_t serial[8] = {'9', 'Z', '0', '1', '2', 0x39, 0x30, 0x00};  // 12345
    bool serialOk = true;
    std::uint16_t bays = 0x0F;
    int docked = 1;  // -1: request fails
    int mask = 0x007;  // -1: request fails
    std::map<int, int> readings{{0, 3132}, {1, 2700}, {2, 0}};  // missing: reading fails

    bool Open() override { return opens; }
    bool ModelNumber(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) override {
        if (type == 1) {
            std::snprintf(reinterpret_cast<char*>(buffer), size, "%s", model);
            return true;
        }
        if (!serialOk) return false;
        std::memcpy(buffer, serial, sizeof(serial));
        return true;
    }
    bool BatteryBays(std::uint16_t* bits) override {
        *bits = bays;
        return true;
    }
    bool DockingState(std::uint8_t* state) override {
        if (docked < 0) return false;
        *state = static_cast<std::uint8_t>(docked);
        return true;
    }
    bool ThermalMask(std::uint16_t* m) override {
        if (mask < 0) return false;
        *m = static_cast<std::uint16_t>(mask);
        return true;
    }
    bool ThermalReading(std::uint16_t index, std::uint16_t* r) override {
        const auto it = readings.find(index);
        if (it == readings.end()) return false;
        *r = static_cast<std::uint16_t>(it->second);
        return true;
    }
};

struct Batteries : IBatteryReader {
    int present = 2;
    BatteryCharge charges[2] = {{true, 41250, -10500}, {false, 0, 0}};
    int Read(int wanted, BatteryCharge out[2]) override {
        out[0] = charges[0];
        out[1] = charges[1];
        return present < wanted ? present : wanted;
    }
};

struct Timers : ITimers {
    std::map<int, std::uint32_t> running;
    void Start(int id, std::uint32_t ms) override { running[id] = ms; }
    void Stop(int id) override { running.erase(id); }
};

class WatchLogTest : public ::testing::Test {
protected:
    WatchLogTest() {
        FreshRegistry();
        char pattern[] = "/tmp/watchlogXXXXXX";
        folder_ = mkdtemp(pattern);
        clock_.local = {2026, 11, 1, 30, 23, 0, 5, 0};
        disk_.identity = {"ST9500325AS         ", "  5VE1ABCD", false};
        disk_.attributes = {{1, 0}, {4, 1234}, {5, 0}, {9, 0x0102030405ull}, {12, 1200}, {191, 0x00020003},
                            {194, 0x0000001E0028ull}};
        CReg().WriteString(pf::kHkeyLocalMachine, u"Software\\Mirelta\\QUARRO", u"Version", u"8.2.0", 12, 0);
        CReg().WriteString(pf::kHkeyLocalMachine, u"Software\\Mirelta\\QUARRO", u"CopyrightYear", u"2026", 10, 0);
    }
    ~WatchLogTest() override {
        override_.reset();
        std::filesystem::remove_all(folder_);
    }
    void FreshRegistry() {
        override_.reset();
        registry_ = std::make_unique<sim::MemoryRegistry>();
        pf::Services s;
        s.registry = registry_.get();
        s.files = &files_;
        s.clock = &clock_;
        override_ = std::make_unique<pf::ScopedOverride>(s);
    }

    WatchLog& Log() {
        if (!log_) {
            log_ = std::make_unique<WatchLog>(
                disk_, firmware_, batteries_,
                LogTexts{u"Quarro", u"Mirelta Corporation", u"Hard Disk Management Information", u"yyyy/MM/dd"},
                OsNumbers{11, 6, 1, 7601}, quarro::text::FromAnsi(folder_.string() + "/"));
        }
        return *log_;
    }
    void Tick(int seconds) {
        clock_.local.second = static_cast<std::uint16_t>(clock_.local.second + seconds % 60);
        clock_.local.minute = static_cast<std::uint16_t>(clock_.local.minute + seconds / 60);
    }
    std::string Dword(const char16_t* name) {
        std::uint32_t v = 0;
        return CReg().ReadDword(pf::kHkeyLocalMachine, kKey, name, &v, 0) ? std::to_string(v) : "-";
    }
    std::string Text(const char16_t* name) {
        char16_t buffer[260] = {};
        std::uint32_t bytes = sizeof(buffer) - 2;
        return CReg().ReadString(pf::kHkeyLocalMachine, kKey, name, buffer, &bytes, 0)
                   ? quarro::text::ToAnsi(buffer)
                   : "-";
    }
    std::vector<std::string> LogFiles() {
        std::vector<std::string> names;
        if (std::filesystem::exists(folder_ / "Log")) {
            for (const auto& e : std::filesystem::directory_iterator(folder_ / "Log")) {
                names.push_back(e.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The log folder's files, joined with their names, against tests/expected/watchpost/<name>.
    void ExpectLogs(const std::string& name) {
        std::string all;
        for (const std::string& file : LogFiles()) {
            std::ifstream in(folder_ / "Log" / file, std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            all += "#### " + file + "\n" + content.str();
        }
        const std::filesystem::path expected =
            std::filesystem::path(QUARRO_SOURCE_DIR) / "tests/expected/watchpost" / (name + ".txt");
        if (getenv("QUARRO_UPDATE_EXPECTED")) {
            std::filesystem::create_directories(expected.parent_path());
            std::ofstream(expected, std::ios::binary) << all;
        }
        std::ifstream in(expected, std::ios::binary);
        std::stringstream want;
        want << in.rdbuf();
        EXPECT_EQ(all, want.str()) << "log files differ from " << expected;
    }

    std::unique_ptr<sim::MemoryRegistry> registry_;
    sim::PosixFiles files_;
    sim::FakeClock clock_;
    std::unique_ptr<pf::ScopedOverride> override_;
    std::filesystem::path folder_;
    Disk disk_;
    Firmware firmware_;
    Batteries batteries_;
    std::unique_ptr<WatchLog> log_;
};

// Power-on, an unchanged hour, a changed counter, suspend, a resume whose disk spins up at the
// third retry, notifications, stop; then a new month.
TEST_F(WatchLogTest, SequenceOfEvents) {
    Timers timers;
    WatchCore core(&Log(), timers, 3600000);
    CReg().WriteDword(pf::kHkeyLocalMachine, kKey, u"_HddNotif013", 3, 0);
    CReg().WriteDword(pf::kHkeyLocalMachine, kKey, u"_HddNotif014", 1, 0);
    core.PowerOn();
    EXPECT_EQ(Log().Family(), 12);
    EXPECT_EQ(Log().BatteryBays(), 2);
    EXPECT_EQ(Dword(u"HddNotif000"), "1");
    EXPECT_EQ(Text(u"HddNotif002"), "2026/11/30 23:00:05  1234 33752069 131075 40");
    EXPECT_EQ(Text(u"ETMSupport"), "028000000------------------");
    EXPECT_EQ(timers.running, (std::map<int, std::uint32_t>{{kPeriodicTimer, 3600000}}));
    Tick(60);
    core.PeriodicTick();
    Tick(60);
    disk_.Set(4, 1235);
    firmware_.readings = {{0, 3332}, {1, 2700}};
    core.Control(144);
    EXPECT_EQ(Text(u"HddNotif001"), "2026/11/30 23:01:05  1234 33752069 131075 40");
    EXPECT_EQ(Text(u"HddNotif003"), "2026/11/30 23:02:05  1235 33752069 131075 40");
    Tick(1);
    core.Suspend();
    EXPECT_TRUE(timers.running.empty());
    Tick(30);
    disk_.spin = {kStateNotSpunUp, kStateNotSpunUp, kStateNotSpunUp};
    core.Resume();
    std::vector<std::uint32_t> delays;
    while (timers.running.count(kRetryTimer)) {
        delays.push_back(timers.running[kRetryTimer]);
        core.RetryTick();
    }
    EXPECT_EQ(delays, (std::vector<std::uint32_t>{100, 100, 100}));
    Tick(1);
    firmware_.docked = 0;
    core.Control(145);
    core.Control(146);
    core.Control(147);
    firmware_.docked = -1;
    core.Control(148);
    core.Control(150);
    const int reads = disk_.reads;
    Tick(1);
    core.Stop();
    EXPECT_EQ(disk_.reads, reads);
    for (const char16_t* name : {u"HddNotif001", u"HddNotif002", u"HddNotif003", u"HddNotif010"}) {
        EXPECT_EQ(Text(name), "-");
    }
    clock_.local = {2026, 12, 2, 1, 0, 10, 0, 0};
    core.PowerOn();
    core.Shutdown();
    EXPECT_EQ(Text(u"HddNotif002"), "-");
    ExpectLogs("sequence");
}

// A disk that never spins up after a resume: six retries, then no entry at all.
TEST_F(WatchLogTest, ResumeWhoseDiskNeverSpinsUp) {
    Timers timers;
    WatchCore core(&Log(), timers, 0);
    core.PowerOn();
    EXPECT_TRUE(timers.running.empty());  // no period
    disk_.state = kStateNotSpunUp;
    core.Resume();
    std::vector<std::uint32_t> delays;
    while (timers.running.count(kRetryTimer)) {
        delays.push_back(timers.running[kRetryTimer]);
        core.RetryTick();
    }
    EXPECT_EQ(delays, (std::vector<std::uint32_t>{100, 100, 100, 5000, 5000, 5000}));
    EXPECT_EQ(core.RetryCounter(), 0);
    std::ifstream in(folder_ / "Log" / LogFiles().at(0), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str().find("Resume"), std::string::npos);
}

// The body modes and the annotations, one expected file per row.
TEST_F(WatchLogTest, BodiesAndParts) {
    struct Row {
        const char* name;
        const char* model;
        bool ssd;
        int bays, present, docked, mask;
        std::uint32_t advanced;  // ~0: leave absent
        const char* history000;
    } const rows[] = {
        {"allsave", "INTEL SSDSA2CW120G3", true, 0x01, 1, -1, -1, ~0u, "0"},
        {"advancedsave", "TS128GSSD320", false, 0x04, 1, 0, 0x1FF, ~0u, "0"},
        {"advanced_other", "TS128GSSD320", false, 0x00, 0, -1, -1, 2, "0"},
        {"one_bay", "WDC WD3200BEVT", false, 0x02, 1, -1, -1, ~0u, "1"},
        {"two_bays_one_found", "HGST HTS725050", false, 0x08, 1, 1, -1, ~0u, "1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove_all(folder_ / "Log");
        log_.reset();
        FreshRegistry();
        if (r.advanced != ~0u) CReg().WriteDword(pf::kHkeyLocalMachine, kKey, u"AdvancedSAVE", r.advanced, 0);
        std::snprintf(disk_.identity.model, sizeof(disk_.identity.model), "%s", r.model);
        disk_.identity.solidState = r.ssd;
        firmware_.bays = static_cast<std::uint16_t>(r.bays);
        firmware_.docked = r.docked;
        firmware_.mask = r.mask;
        batteries_.present = r.present;
        disk_.Set(4, 1234);
        Log().Handle(kPowerOn);
        disk_.Set(4, 1300);
        disk_.Set(200, 7);
        Log().Handle(kPeriodic);
        EXPECT_EQ(Dword(u"HddNotif000"), r.history000);
        EXPECT_EQ(Dword(u"ALLSAVE"), r.ssd ? "1" : "-");
        ExpectLogs(r.name);
    }
}

// The history record's counters per drive family: power-on time, G-sense count, temperature.
TEST_F(WatchLogTest, HistoryArithmeticPerFamily) {
    struct Row {
        const char* model;
        int family;
        const char* record;  // S H G T
    } const rows[] = {
        {"FUJITSU MHV2080AH", 2, "1234 2 3 40"},
        {"HITACHI_DK23EA-20", 3, "1234 120 131075 40"},
        {"SAMSUNG HM160HI", 7, "1234 60 131075 40"},
        {"FUJITSU MHW2120BH", 9, "1234 7200 3 40"},
        {"WDC WD1600BEVS", 11, "1234 7200 131075 30"},
        {"HTS541010G9SA00", 4, "1234 7200 5 40"},
        {"Hitachi HTS54321", 5, "1234 7200 5 40"},
        {"IC25N040ATCS04", 6, "1234 7200 5 40"},
        {"HGST HTS545050", 13, "1234 7200 5 40"},
        {"ST9500325AS", 12, "1234 7200 131075 40"},
        {"MIRELTA MK3265GSX", 1, "1234 7200 131075 40"},
    };
    disk_.Set(9, 7200);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        log_.reset();
        FreshRegistry();
        std::snprintf(disk_.identity.model, sizeof(disk_.identity.model), "  %s ", r.model);
        CReg().WriteDword(pf::kHkeyLocalMachine, kKey, u"HddNotif000", 3, 0);  // kept whatever the family
        Log().Handle(kPowerOn);
        EXPECT_EQ(Log().Family(), r.family);
        EXPECT_EQ(Text(u"HddNotif002"), std::string("2026/11/30 23:00:05  ") + r.record);
    }
}

// The widest entries the formats make (every sector row changed, every part at its widest) are
// written whole.
TEST_F(WatchLogTest, WidestEntriesAreWrittenWhole) {
    CReg().WriteDword(pf::kHkeyLocalMachine, kKey, u"AdvancedSAVE", 1, 0);
    disk_.fill = 0xA5;
    firmware_.docked = 0;
    firmware_.mask = 0x1FF;
    for (int sensor = 0; sensor < 9; ++sensor) firmware_.readings[sensor] = 65535;
    batteries_.charges[0] = batteries_.charges[1] = {true, 4294967295u, -2147483647 - 1};
    Log().Handle(kPowerOn);
    disk_.fill = 0x5A;
    Log().Handle(kPeriodic);
    ExpectLogs("widest");
}

// An entry past the bound keeps its whole lines and its closing empty line.
TEST(WatchLogBound, EntriesPastTheBoundKeepWholeLines) {
    const auto line = [](std::size_t bytes) { return std::string(bytes - 2, 'x') + "\r\n"; };
    struct Row {
        std::string entry, want;
    } const rows[] = {
        {line(100) + line(1900) + "\r\n", line(100) + line(1900) + "\r\n"},
        {line(2045) + "\r\n", line(2045) + "\r\n"},                       // exactly the bound
        {line(2045) + line(10) + "\r\n", line(2045) + "\r\n"},            // cut to the bound
        {line(1000) + line(1100) + "\r\n", line(1000) + "\r\n"},          // no torn line
        {std::string(3000, '='), std::string(2043, '=') + "\r\n\r\n"},  // one line past the bound
    };
    for (const Row& r : rows) {
        const std::string bounded = BoundEntry(r.entry);
        EXPECT_EQ(bounded, r.want) << r.entry.size() << " bytes";
        EXPECT_LE(bounded.size(), kMaxEntryBytes);
    }
}

// The control handler's table: the message it posts, the state it reports, its result.
TEST(WatchControl, AnswersEachControl) {
    using P = ControlPost;
    struct Row {
        std::uint32_t control, lastState;
        bool stopping;
        ControlAnswer want;
    } const rows[] = {
        {1, 4, false, {P::kStop, 3, 0}},       {2, 4, false, {P::kNothing, 7, 0}},
        {2, 7, false, {P::kNothing, 4, 0}},    {5, 4, false, {P::kClose, 0, 0}},
        {3, 7, false, {P::kNothing, 4, 0}},    {4, 4, false, {P::kNothing, 4, 0}},
        {13, 4, false, {P::kNothing, 4, 0}},   {130, 4, false, {P::kNothing, 4, 0}},
        {144, 4, false, {P::kControl, 4, 0}},  {148, 4, false, {P::kControl, 4, 0}},
        {149, 4, false, {P::kNothing, 4, 120}}, {255, 4, false, {P::kNothing, 4, 120}},
        {143, 4, false, {P::kNothing, 4, 120}}, {128, 4, false, {P::kNothing, 4, 120}},
        {6, 4, false, {P::kNothing, 4, 120}},  {144, 3, true, {P::kControl, 0, 0}},
        {149, 3, true, {P::kNothing, 0, 120}}, {2, 4, true, {P::kNothing, 0, 0}},
        {1, 3, true, {P::kStop, 3, 0}},
    };
    for (const Row& r : rows) {
        EXPECT_TRUE(AnswerControl(r.control, r.lastState, r.stopping) == r.want) << "control " << r.control;
    }
}

TEST_F(WatchLogTest, FileNamesKeepToTheLogFolder) {
    EXPECT_EQ(LogFileName("..\\..\\Windows/x:y", "9Z01212345", "PT-12345A", 2026, 3),
              u"quarro_....Windowsxy_9Z01212345_PT-12345A_202603.txt");
    EXPECT_EQ(LogFileName("a<b>c\"d|e?f*\x01", "", "", 1, 12), u"quarro_abcdef___000112.txt");
    EXPECT_EQ(LogFileName(std::string(400, 'x'), "s", "m", 2026, 1).size(), 259u);
}

// The service while idle, or without a driver session, or with an unusable disk, writes nothing.
TEST_F(WatchLogTest, NothingIsWrittenWithoutSessionOrUsableDisk) {
    Timers timers;
    WatchCore idle(nullptr, timers, 3600000);
    idle.PowerOn();
    idle.Control(144);
    idle.Stop();
    firmware_.opens = false;
    Log().Handle(kPowerOn);
    firmware_.opens = true;
    disk_.state = kStateSmartUnusable;
    Log().Handle(kPowerOn);
    Log().Handle(kPeriodic);
    EXPECT_TRUE(LogFiles().empty());
    EXPECT_EQ(disk_.reads, 3);
}

// A machine without a readable PC serial, an undetermined system, no disk at the sample.
TEST_F(WatchLogTest, UnknownSerialAndNoDisk) {
    firmware_.serialOk = false;
    firmware_.model = "PT12-345";
    firmware_.mask = -1;
    firmware_.docked = -1;
    batteries_.present = 0;
    log_ = std::make_unique<WatchLog>(disk_, firmware_, batteries_, LogTexts{u"Quarro", u"Mirelta Corporation",
                                      u"Hard Disk Management Information", u"yyyy/MM/dd"},
                                      OsNumbers{}, quarro::text::FromAnsi(folder_.string() + "/"));
    CReg().DeleteValue(pf::kHkeyLocalMachine, u"Software\\Mirelta\\QUARRO", u"Version", 0);
    Log().Handle(kPowerOn);
    disk_.state = kStateNoDisk;
    Log().Handle(kPeriodic);
    disk_.state = kStateNoEntries;
    Log().Handle(kResume);
    ExpectLogs("unknown_serial_no_disk");
}

}  // namespace
