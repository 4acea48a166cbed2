// The hard-disk tab's portable core: the volume table from simulated volumes, the exchange with
// the S.M.A.R.T. server through a scripted pipe and a clock that does not wait, the report's
// edge cases (limits of the untrusted count, chunking at whole rows, the dump in a call of its
// own, the closing zero word inside the buffer), the page's rows and the check box rules.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/text.h"
#include "common/win_version.h"
#include "platform/native/sim_clock.h"
#include "platform/native/sim_volumes.h"
#include "platform/pipe_client.h"
#include "tabs/disk/disk_module.h"
#include "tabs/disk/disk_report.h"

namespace {

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
using namespace disk_tab;

const std::string kRule(119, '-');

std::u16string EnglishString(std::uint32_t id) {
    static const std::map<std::uint32_t, std::u16string> strings = {
        {2, u"ID"}, {3, u"Attribute1"}, {4, u"Attribute2"}, {5, u"[Hard Disk Status]"}, {6, u"Attribute3"},
        {7, u"Drive   File system          Free space(bytes)    Capacity(bytes)"}, {8, u"Unknown"},
        {9, u"Not Found"}, {10, u"Drive"}, {11, u"File system"}, {12, u"Free space(bytes)"},
        {13, u"Capacity(bytes)"}, {14, u"  ID    Attribute1   Attribute2      Attribute3"},
        {17, u"Attribute name"}, {18, u"  ID    Attribute1   Attribute2      Attribute3      Attribute name"},
        {19, u"Management Information-Advanced"}, {1009, u"Power-On Hours Count"}, {1191, u"G-Sense Error Rate"},
        {1194, u"Temperature"}};
    auto it = strings.find(id);
    return it == strings.end() ? u"?" + quarro::text::FromUtf8(std::to_string(id)) : it->second;
}

std::string U8(const std::u16string& s) { return quarro::text::ToUtf8(s); }

// ---------------------------------------------------------------------------------------------
// Volumes

sim::SimVolumes::Drive Drive(const char16_t* device, std::uint32_t type, const char16_t* fs, bool space = true) {
    sim::SimVolumes::Drive d;
    d.device = device;
    d.type = type;
    if (fs) d.fileSystem = fs;
    if (space) d.space = pf::VolumeSpace{1000, 5000, 1100};
    return d;
}

TEST(DiskVolumes, OnlyFixedHarddiskVolumesWithReadableCountsAreListed) {
    sim::SimVolumes volumes;
    volumes.Set('c', Drive(u"\\Device\\HarddiskVolume2", pf::kDriveFixed, u"NTFS"));
    volumes.Set('d', Drive(u"\\device\\harddiskvolume3", pf::kDriveFixed, nullptr));          // "Unknown"
    volumes.Set('e', Drive(u"\\Device\\CdRom0", pf::kDriveCdRom, u"CDFS"));                   // not a volume
    volumes.Set('f', Drive(u"\\Device\\HarddiskVolume5", pf::kDriveRemovable, u"FAT32"));     // not fixed
    volumes.Set('g', Drive(u"\\Device\\HarddiskVolume6", pf::kDriveFixed, u"NTFS", false));   // no counts
    volumes.Set('h', Drive(u"\\??\\C:\\subst", pf::kDriveFixed, u"NTFS"));                    // a subst
    volumes.Set('k', Drive(u"\\Device\\HarddiskVolume7", pf::kDriveFixed, u"AVeryLongFileSystemName"));  // 23 > 19
    volumes.Set('z', Drive(u"\\Device\\HarddiskVolume8", pf::kDriveFixed, u"exFAT"));
    const auto table = BuildVolumeTable(volumes, u"Unknown");
    std::vector<std::string> got;
    for (const auto& v : table) got.push_back(U8(v.root) + " " + U8(v.fileSystem) + " " + std::to_string(v.total));
    EXPECT_EQ(got, (std::vector<std::string>{"c:\\ NTFS 5000", "d:\\ Unknown 5000", "k:\\ Unknown 5000",
                                             "z:\\ exFAT 5000"}));

    volumes.SetSpace('c', pf::VolumeSpace{7, 8, 9});
    volumes.SetSpace('d', std::nullopt);  // unreadable now: keeps its counts
    auto refreshed = table;
    RefreshVolumes(volumes, refreshed);
    EXPECT_EQ(refreshed[0].freeToCaller, 7u);
    EXPECT_EQ(refreshed[0].totalFree, 9u);
    EXPECT_EQ(refreshed[1].freeToCaller, 1000u);
    EXPECT_EQ(VolumeRow(refreshed[0]), (std::vector<std::u16string>{u"C: ", u"NTFS ", u"7 ", u"8 "}));
}

TEST(DiskVolumes, NoFixedDisksGiveAnEmptyTable) {
    sim::SimVolumes volumes;
    volumes.Set('e', Drive(u"\\Device\\CdRom0", pf::kDriveCdRom, nullptr, false));
    volumes.Set('z', Drive(u"\\Device\\LanmanRedirector\\;Z:0\\s\\p", pf::kDriveRemote, u"NTFS"));
    EXPECT_TRUE(BuildVolumeTable(volumes, u"Unknown").empty());
}

// ---------------------------------------------------------------------------------------------
// The exchange

// A server scripted byte by byte: opens fail a number of times, then the reply is handed out in
// parts of at most `part` bytes; after the reply the server has closed its end.
class ScriptedPipe : public pf::IPipeClient {
public:
    int failingOpens = 0;
    std::string reply;
    std::uint32_t part = 4096;
    bool writeFails = false;

    int opens = 0, closes = 0;
    std::string written;

    pf::PipeHandle Open(const char16_t* name) override {
        ++opens;
        EXPECT_EQ(std::u16string(name), u"\\\\.\\pipe\\MireltaQuarroPipeSVName");
        if (opens <= failingOpens) return pf::kInvalidPipe;
        return 42;
    }
    bool Write(pf::PipeHandle pipe, const void* data, std::uint32_t size, std::uint32_t* out) override {
        EXPECT_EQ(pipe, 42u);
        *out = 0;
        if (writeFails) return false;
        written.append(static_cast<const char*>(data), size);
        *out = size;
        return true;
    }
    bool Read(pf::PipeHandle pipe, void* data, std::uint32_t size, std::uint32_t* read) override {
        EXPECT_EQ(pipe, 42u);
        *read = 0;
        if (at_ >= reply.size()) return false;
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>({size, part, reply.size() - at_}));
        std::memcpy(data, reply.data() + at_, n);
        at_ += n;
        *read = n;
        return true;
    }
    void Close(pf::PipeHandle pipe) override {
        EXPECT_EQ(pipe, 42u);
        ++closes;
    }

private:
    std::size_t at_ = 0;
};

std::string Le32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
}

// 30 entries with identifiers 1, 2, 3, ... (and the 10 spare bytes) as a server sends them.
std::string Entries(const std::vector<int>& ids = {}) {
    std::string bytes(kAttributeBytes, '\0');
    for (int i = 0; i < kAttributeSlots; ++i) {
        const int id = i < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(i)] : i + 1;
        char* e = &bytes[static_cast<std::size_t>(i * kSmartEntrySize)];
        e[0] = static_cast<char>(id);
        e[1] = static_cast<char>(100 + i);
        for (int b = 0; b < 6; ++b) e[2 + b] = static_cast<char>(i * 6 + b);
        e[8] = static_cast<char>(90 + i);
    }
    return bytes;
}

std::string Sector() {
    std::string sector(kRawSectorSize, '\0');
    for (int i = 0; i < kRawSectorSize; ++i) sector[static_cast<std::size_t>(i)] = static_cast<char>(i * 7);
    return sector;
}

TEST(DiskExchange, EachReplyLeavesTheDataItShould) {
    const struct Case {
        const char* what;
        bool advanced;
        int failingOpens;
        std::string reply;
        std::uint32_t part;
        bool writeFails;
        int attempts;
        // expected
        int opens;
        std::int32_t count;
        int rawLength;
        bool notFound;
    } cases[] = {
        {"no server: 50 opens, 49 waits", false, 1000, "", 4096, false, 50, 50, 0, 0, true},
        {"a small attempt count", false, 1000, "", 4096, false, 3, 3, 0, 0, true},
        {"server after 3 failures", false, 3, Le32(5) + Entries(), 4096, false, 50, 4, 5, 0, false},
        {"the reply in small parts", true, 0, Le32(2) + Entries() + Sector(), 7, false, 50, 1, 2, 512, false},
        {"advanced with its sector", true, 0, Le32(30) + Entries() + Sector(), 4096, false, 50, 1, 30, 512, false},
        {"advanced, short sector", true, 0, Le32(30) + Entries() + Sector().substr(0, 500), 4096, false, 50, 1, 30, 0, false},
        {"count 40 is kept as sent", false, 0, Le32(40) + Entries(), 4096, false, 50, 1, 40, 0, false},
        {"count 0", false, 0, Le32(0) + Entries(), 4096, false, 50, 1, 0, 0, true},
        {"negative count", true, 0, Le32(-7) + Sector(), 4096, false, 50, 1, 0, 512, true},
        {"short entries", false, 0, Le32(5) + Entries().substr(0, 300), 4096, false, 50, 1, 0, 0, true},
        {"short count", false, 0, std::string("\x05\x00", 2), 4096, false, 50, 1, 0, 0, true},
        {"the mode byte cannot be written", false, 0, Le32(5) + Entries(), 4096, true, 50, 1, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPipe pipe;
        pipe.failingOpens = c.failingOpens;
        pipe.reply = c.reply;
        pipe.part = c.part;
        pipe.writeFails = c.writeFails;
        sim::FakeClock clock;
        DiskData data;
        data.advancedMode = c.advanced;
        FetchSmartSnapshot(pipe, clock, data, u"Not Found", c.attempts);
        EXPECT_EQ(pipe.opens, c.opens);
        EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(static_cast<std::size_t>(c.opens - 1), 1000u));
        EXPECT_EQ(pipe.closes, c.opens > c.failingOpens ? 1 : 0);
        if (c.opens > c.failingOpens && !c.writeFails) {
            EXPECT_EQ(pipe.written, std::string(1, c.advanced ? '\x03' : '\x00'));
        }
        EXPECT_EQ(data.attributeCount, c.count);
        EXPECT_EQ(data.rawLength, c.rawLength);
        EXPECT_EQ(data.notFound, c.notFound ? u"Not Found" : u"");
        if (c.count > 0) {
            EXPECT_EQ(std::string(data.attributes.begin(), data.attributes.end()), Entries());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The report

DiskData Sample(int count, bool named, bool advanced) {
    DiskData data;
    data.namedView = named;
    data.advancedMode = advanced;
    data.volumes = {{u"c:\\", u"NTFS", 98765432832ull, 221946949632ull, 1}, {u"d:\\", u"Unknown", 5, 6, 7}};
    const std::string entries = Entries({9, 191, 0, 14, 194});
    std::memcpy(data.attributes.data(), entries.data(), entries.size());
    data.attributeCount = count;
    if (count == 0) data.notFound = u"Not Found";
    if (advanced) {
        const std::string sector = Sector();
        std::memcpy(data.rawSector.data(), sector.data(), sector.size());
        data.rawLength = kRawSectorSize;
    }
    return data;
}

// A whole sequence in buffers of `size` bytes (with guard bytes beyond them), as the viewer runs it.
std::vector<std::string> Chunks(const DiskData& data, int size, int separator) {
    std::vector<std::string> chunks;
    tabframe::ReportResume resume;
    for (int chunk = 0; chunk < 100; ++chunk) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 16, '\x5A');
        std::fill(buffer.begin(), buffer.begin() + size, 0);
        const int result = tabframe::RunReportCall(chunk, buffer.data(), size, separator, true, resume,
                                                   [&](tabframe::ReportWriter& w, tabframe::ReportResume& at) {
                                                       return WriteDiskReport(data, &EnglishString, w, at);
                                                   });
        EXPECT_EQ(std::string(buffer.begin() + size, buffer.end()), std::string(16, '\x5A')) << "past the buffer";
        chunks.emplace_back(buffer.data());
        if (result <= 0) break;
        EXPECT_EQ(result, chunk + 1);
    }
    return chunks;
}

std::string Whole(const DiskData& data, int separator) {
    const auto chunks = Chunks(data, 102400, separator);
    std::string all;
    for (const auto& c : chunks) all += c;
    return all;
}

const std::string kVolumeHead = "[Hard Disk Status]\r\n" + kRule +
                                "\r\nDrive   File system          Free space(bytes)    Capacity(bytes)\r\n" + kRule + "\r\n";

TEST(DiskReport, FixedLayoutWithNamesAndTheDumpInACallOfItsOwn) {
    const auto chunks = Chunks(Sample(5, true, true), 102400, 0);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0],
              kVolumeHead +
                  "C:        NTFS                    98765432832       221946949632\r\n"
                  "D:        Unknown                           5                  6\r\n"
                  "\r\n" + kRule + "\r\n  ID    Attribute1   Attribute2      Attribute3      Attribute name\r\n" + kRule + "\r\n"
                  "    9        100    050403020100         90      Power-On Hours Count\r\n"
                  "  191        101    0b0a09080706         91      G-Sense Error Rate\r\n"
                  "    0        102    11100f0e0d0c         92      \r\n"
                  "   14        103    171615141312         93      \r\n"
                  "  194        104    1d1c1b1a1918         94      Temperature\r\n");
    std::string dump = "\r\n" + kRule + "\r\n  Management Information-Advanced\r\n" + kRule + "\r\n";
    EXPECT_EQ(chunks[1].substr(0, dump.size()), dump);
    EXPECT_NE(chunks[1].find("\r\n  000   00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69\r\n"), std::string::npos);
    EXPECT_NE(chunks[1].find("\r\n  1F0   90 97 9E A5 AC B3 BA C1 C8 CF D6 DD E4 EB F2 F9\r\n\r\n\r\n"), std::string::npos);
    EXPECT_EQ(chunks[1].size(), dump.size() + 32 * 57 + 4);
}

TEST(DiskReport, SeparatedLayoutWithoutNames) {
    EXPECT_EQ(Whole(Sample(2, false, false), ','),
              "[Hard Disk Status]\r\n" + kRule + "\r\nDrive,File system,Free space(bytes),Capacity(bytes)\r\n" + kRule +
                  "\r\nC:,NTFS,98765432832,221946949632\r\nD:,Unknown,5,6\r\n\r\n" + kRule +
                  "\r\nID,Attribute1,Attribute2,Attribute3\r\n" + kRule +
                  "\r\n9,100,050403020100,90\r\n191,101,0b0a09080706,91\r\n\r\n\r\n");
    const std::string named = Whole(Sample(2, true, true), '\t');
    EXPECT_NE(named.find("\r\nID\tAttribute1\tAttribute2\tAttribute3\tAttribute name\r\n"), std::string::npos);
    EXPECT_NE(named.find("\r\n191\t101\t0b0a09080706\t91\tG-Sense Error Rate\r\n"), std::string::npos);
    EXPECT_NE(named.find("\r\n  1F0\t90 97 9E A5 AC B3 BA C1 C8 CF D6 DD E4 EB F2 F9\r\n"), std::string::npos);
}

TEST(DiskReport, NothingReceivedAndNoDisks) {
    DiskData data = Sample(0, false, true);
    data.volumes.clear();
    data.rawLength = 0;
    const auto chunks = Chunks(data, 102400, 0);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], kVolumeHead + "\r\n" + kRule + "\r\n  ID    Attribute1   Attribute2      Attribute3\r\n" + kRule +
                             "\r\n  Not Found\r\n");
    EXPECT_EQ(chunks[1], "\r\n" + kRule + "\r\n  Management Information-Advanced\r\n" + kRule + "\r\n  Not Found\r\n\r\n\r\n");
}

TEST(DiskReport, TheCountNeverReachesPastTheThirtyEntries) {
    for (const std::int32_t count : {40, 31, 0x7fffffff, -1, -2147483647 - 1}) {
        SCOPED_TRACE(count);
        DiskData data = Sample(5, false, false);
        data.attributeCount = count;
        const std::string text = Whole(data, ',');
        const std::size_t rows = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 12;
        EXPECT_EQ(rows, count > 0 ? 30u : 0u);
        EXPECT_EQ(AttributeRows(data, &EnglishString).size(), count > 0 ? 30u : 0u);
    }
}

TEST(DiskReport, SmallBuffersEndAtWholeRowsAndTheDumpBeginsAFreshCall) {
    // The rows of a chunk and the one after it join into the text of one big call; the dump
    // (about 2 KB, never split) needs a buffer that holds it.
    for (const auto& [advanced, size, calls] : std::vector<std::tuple<bool, int, std::size_t>>{{false, 1000, 3}, {true, 2300, 3}}) {
        SCOPED_TRACE(size);
        const DiskData data = Sample(30, true, advanced);
        const auto chunks = Chunks(data, size, 0);
        ASSERT_EQ(chunks.size(), calls);
        std::string joined;
        for (const auto& chunk : chunks) {
            EXPECT_EQ(chunk.substr(chunk.size() - 2), "\r\n");
            joined += chunk;
        }
        EXPECT_EQ(joined, Whole(data, 0));
        if (advanced) {
            EXPECT_EQ(chunks.back().substr(0, 2 + 119 + 2), "\r\n" + kRule + "\r\n");
            EXPECT_EQ(chunks[calls - 2].substr(chunks[calls - 2].size() - 18), "       119      \r\n");
        }
    }
}

TEST(DiskReport, TheClosingZeroWordStaysInsideTheBuffer) {
    // Sizes around the point where the text fills the buffer: the guard bytes beyond it stay.
    const DiskData data = Sample(3, false, false);
    const std::size_t length = Whole(data, 0).size();
    for (std::size_t size = length - 3; size <= length + 3; ++size) Chunks(data, static_cast<int>(size), 0);
}

// ---------------------------------------------------------------------------------------------
// The page's rows and the check box

TEST(DiskPageRows, AttributeRowsAndNames) {
    const DiskData data = Sample(5, true, false);
    const auto rows = AttributeRows(data, &EnglishString);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], (std::vector<std::u16string>{u"191 ", u"101   ", u"0b0a09080706 ", u"91    ", u"G-Sense Error Rate"}));
    EXPECT_EQ(rows[2][4], u"");  // 0
    EXPECT_EQ(rows[3][4], u"");  // 14
    EXPECT_EQ(AttributeRows(Sample(5, false, false), &EnglishString)[0].size(), 4u);
    EXPECT_EQ(AttributeRows(Sample(0, true, false), &EnglishString),
              (std::vector<std::vector<std::u16string>>{{u"Not Found", u"", u"", u"", u""}}));
    for (const auto& [id, named] : std::vector<std::pair<int, bool>>{
             {0, false}, {1, true}, {13, true}, {14, false}, {190, false}, {191, true}, {209, true}, {210, false},
             {219, false}, {220, true}, {229, false}, {230, true}, {231, true}, {232, false}, {240, true},
             {241, false}, {249, false}, {250, true}, {251, false}, {255, false}}) {
        EXPECT_EQ(AttributeNameId(id) != 0, named) << id;
    }
}

TEST(DiskPageRows, DialogDumpLines) {
    EXPECT_TRUE(DialogDumpLines(Sample(1, false, false)).empty());
    const auto lines = DialogDumpLines(Sample(1, false, true));
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], u"000   00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69");
    EXPECT_EQ(lines[31].substr(0, 9), u"1F0   90 ");
}

TEST(DiskCheckBox, StateRules) {
    const struct {
        std::int32_t state;
        int os;
        bool admin;
        bool ticked, enabled;
    } cases[] = {
        {4, CWinVersion::kWindows7, false, false, true},   {1, CWinVersion::kWindows7, false, true, true},
        {0, CWinVersion::kWindows7, true, true, false},    {4, CWinVersion::kVista, false, false, true},
        {4, CWinVersion::kWindows81, false, false, true},  {4, CWinVersion::kFutureOs, false, false, true},
        {4, CWinVersion::kWindowsXp, false, false, false}, {4, CWinVersion::kWindowsXp, true, false, true},
        {1, CWinVersion::kWindowsXp, true, true, true},    {0, CWinVersion::kWindowsXp, true, true, false},
        {4, CWinVersion::kServer2008, false, false, false}, {4, CWinVersion::kServer2008, true, false, true},
    };
    for (const auto& c : cases) {
        const CheckBoxState box = CheckBoxFor(c.state, c.os, c.admin);
        EXPECT_EQ(box.ticked, c.ticked) << c.state << " " << c.os << " " << c.admin;
        EXPECT_EQ(box.enabled, c.enabled) << c.state << " " << c.os << " " << c.admin;
    }
}

// ---------------------------------------------------------------------------------------------
// The module with its sources injected

sim::SimVolumes* gVolumes = nullptr;
ScriptedPipe* gPipe = nullptr;
sim::FakeClock* gClock = nullptr;

TEST(DiskModule, SetUpOnceAndTheRefreshPausesWhileSaving) {
    sim::SimVolumes volumes;
    volumes.Set('c', Drive(u"\\Device\\HarddiskVolume2", pf::kDriveFixed, u"NTFS"));
    ScriptedPipe pipe;
    pipe.reply = Le32(3) + Entries();
    sim::FakeClock clock;
    gVolumes = &volumes;
    gPipe = &pipe;
    gClock = &clock;
    DiskModule module([] { return DiskSources{gVolumes, gPipe, gClock, kPipeAttempts, false}; }, &EnglishString);
    std::vector<char> buffer(1000, 0);
    EXPECT_EQ(module.GetStringData(0, buffer.data(), 1000, 0), kTextNoTable);
    const TabInitRecord record{0, kTabRefreshPeriod, nullptr, 1};
    ASSERT_EQ(module.InitTabDLL(&record), 1);
    ASSERT_NE(module.Data(), nullptr);
    EXPECT_TRUE(module.Data()->namedView);
    EXPECT_EQ(module.Data()->attributeCount, 3);
    EXPECT_EQ(pipe.opens, 1);

    volumes.SetSpace('c', pf::VolumeSpace{1, 2, 3});
    module.CommandMessage(kTabCommandSaveBegin);
    EXPECT_FALSE(module.RefreshVolumes());
    EXPECT_EQ(module.Data()->volumes[0].freeToCaller, 1000u);
    module.CommandMessage(kTabCommandSaveEnd);
    EXPECT_TRUE(module.RefreshVolumes());
    EXPECT_EQ(module.Data()->volumes[0].freeToCaller, 1u);
    EXPECT_EQ(module.TermTabDLL(), 1);
    EXPECT_EQ(module.Data(), nullptr);
}

}  // namespace
