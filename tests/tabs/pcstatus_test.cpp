// The PC Status core: the collection's rules against a scripted firmware and the simulated
// Windows, the rows they make, and the report's staged resumption inside the lists.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/win_version.h"
#include "platform/processes.h"
#include "tabs/pcstatus/status_data.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

using namespace pcstatus;

// The firmware as a script: each query answers from its map (missing: not answered).
class ScriptedFirmware : public IStatusFirmware {
public:
    std::map<std::uint32_t, std::uint32_t> settings;
    std::map<std::pair<int, int>, std::uint16_t> thermal;  // (sub-function, index)
    std::map<std::u16string, std::uint32_t> registry;      // "path|name"
    int flags190 = -1;

    bool Setting(std::uint32_t item, std::uint32_t* value) override { return Find(settings, item, value); }
    bool Thermal(std::uint16_t sub, std::uint16_t index, std::uint16_t* result) override {
        return Find(thermal, std::make_pair(static_cast<int>(sub), static_cast<int>(index)), result);
    }
    bool FanMarks(std::uint8_t*) override { return false; }
    bool FanControl(std::uint16_t*) override { return false; }
    bool FeatureLevel(std::uint8_t* level) override {
        *level = 3;
        return true;
    }
    bool FeatureFlags(std::uint8_t, std::uint8_t* flags) override {
        if (flags190 < 0) return false;
        *flags = static_cast<std::uint8_t>(flags190);
        return true;
    }
    bool FirmwareCommand(const std::uint8_t*, std::uint8_t*) override { return false; }
    bool Hold(std::uint8_t*) override { return false; }
    bool RegistryDword(const char16_t* path, const char16_t* name, std::uint32_t* value) override {
        return Find(registry, std::u16string(path) + u"|" + name, value);
    }

private:
    template <typename Map, typename Key, typename Value>
    static bool Find(const Map& map, const Key& key, Value* out) {
        auto it = map.find(key);
        if (it == map.end()) return false;
        *out = static_cast<Value>(it->second);
        return true;
    }
};

std::u16string English(std::uint32_t id) {
    static const std::map<std::uint32_t, std::string> kTexts = {
        {kUnknown, "Unknown"}, {kDegreesOrAbove, "\xC2\xB0" "C or above"}, {kDegreesOrBelow, "\xC2\xB0" "C or below"},
        {kDegrees, "\xC2\xB0" "C"}, {kCreated, "Created"}, {kCreatable, "Creatable"}, {kDisabled, "Disabled"},
        {kAlwaysEnabled, "Always Enabled"}, {kAuto, "Auto"}, {kEnabledAcPower, "Enabled (AC Power)"},
        {kEnabledAcBattery, "Enabled (AC Power/Battery)"}, {kProcessesTitle, "Processes"},
        {kSectionHead, "[PC Status]"}, {kItemTitle, "Item"}, {kStatusTitle, "Status"}};
    auto it = kTexts.find(id);
    return it == kTexts.end() ? U("#" + std::to_string(id)) : U(it->second);
}

std::string Utf8(const std::u16string& text) { return quarro::text::ToUtf8(text); }

// The value of the first row whose item is string `id`; "(none)" when there is no such row.
std::string ValueOf(const StatusData& data, std::uint32_t id) {
    for (const StatusRow& row : ValueRows(data, &English)) {
        if (row.item == English(id)) return Utf8(row.value);
    }
    return "(none)";
}

TEST(PcStatusRows, TemperatureStatusAndLcdForms) {
    struct Case {
        std::uint32_t item;      // the row
        std::uint32_t setting;   // the 0x10C item behind it
        std::int64_t value;      // -1: not answered
        const char* lcdUnit;  // null: the value is missing
        std::string shown;
    };
    const Case cases[] = {
        {kTemperatureMin, 13, 85 << 16, "1", "25\xC2\xB0" "C or above"},
        {kTemperatureMin, 13, (85 << 16) | 4, "1", "25\xC2\xB0" "C"},
        {kTemperatureMax, 12, (40 << 16) | 3, "1", "-20\xC2\xB0" "C or below"},
        {kTemperatureMax, 12, -1, "1", "Unknown"},
        {kStatusCode, 31, 26, "1", "1ah"},
        {kLimitCount, 25, 7, "1", "       7"},
        {kLcdTime, 32, 12000, nullptr, "(none)"},
        {kLcdTime, 32, 12000, "60", "     200"},
        {kLcdTime, 32, 12000 | (1 << 22), "60", "     200*"},
        {kLcdTime, 32, 12000, "", "     120"},
        {kLcdTime, 32, 12000, "0", "   12000"},
        {kLcdTime, 32, 12000, "500", "     120"},
    };
    for (const Case& c : cases) {
        SimMachine machine;
        if (c.lcdUnit) {
            machine.Registry(std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mirelta\\QUARRO]\r\n"
                                         "\"DebuglcdLightingTimeUnit\"=\"") + c.lcdUnit + "\"\r\n");
        }
        ScriptedFirmware firmware;
        if (c.value >= 0) firmware.settings[c.setting] = static_cast<std::uint32_t>(c.value);
        StatusData data;
        CollectStatus(data, firmware, nullptr, {}, &English);
        EXPECT_EQ(ValueOf(data, c.item), c.shown) << c.item << " " << c.value;
    }
}

TEST(PcStatusCollect, ThermalText) {
    struct Case {
        std::vector<std::pair<int, std::uint16_t>> sensors;  // index, tenths of a kelvin
        int mask;
        std::string text;
    };
    const std::string dashes8 = "------------------------";
    const Case cases[] = {
        {{{0, 3032}}, 1, "01E" + dashes8},
        {{{0, 0}, {1, 2000}, {2, 4096}, {3, 2732}, {4, 4095}}, 0x1F, "0FF0FE0FD000088------------"},
        {{{1, 3032}}, 1, "---" + dashes8},  // bit set but the sensor does not answer
        {{}, -1, ""},                       // no mask: no text
    };
    for (const Case& c : cases) {
        ScriptedFirmware firmware;
        if (c.mask >= 0) firmware.thermal[{1, 0}] = static_cast<std::uint16_t>(c.mask);
        for (const auto& s : c.sensors) firmware.thermal[{2, s.first}] = s.second;
        EXPECT_EQ(Utf8(ThermalText(firmware)), c.text);
    }
}

TEST(PcStatusCollect, AcAdaptorRuleForEveryFlagCombination) {
    for (int flags = 0; flags < 64; ++flags) {
        int expected = -1;
        if ((flags & 3) == 3) {
            expected = (flags & 4) ? 4 : (flags & 32) ? 2 : (flags & 8) ? 0 : (flags & 16) ? 1 : 3;
        }
        EXPECT_EQ(AcAdaptorState(static_cast<std::uint8_t>(flags)), expected) << flags;
        // The timer keeps the previous state when the bits do not make one.
        StatusData data;
        data.acState = 2;
        ScriptedFirmware firmware;
        firmware.flags190 = flags;
        RefreshAcAdaptor(data, firmware);
        EXPECT_EQ(data.acState, expected < 0 ? 2 : expected) << flags;
    }
}

TEST(PcStatusCollect, UsbChargingRules) {
    struct Case {
        const char* values;  // OnChargeMode, OffChargeMode, OffChargeACOnly as registry lines
        std::string rapid, powerOff;
    };
    const Case cases[] = {
        {"\"OnChargeMode\"=dword:00000002\r\n\"OffChargeMode\"=dword:00000001\r\n\"OffChargeACOnly\"=dword:00000001\r\n", "Auto",
         "Enabled (AC Power)"},
        {"\"OnChargeMode\"=dword:00000001\r\n\"OffChargeMode\"=dword:00000001\r\n\"OffChargeACOnly\"=dword:00000000\r\n", "Always Enabled",
         "Enabled (AC Power/Battery)"},
        {"\"OnChargeMode\"=dword:00000000\r\n\"OffChargeMode\"=dword:00000000\r\n\"OffChargeACOnly\"=dword:00000007\r\n", "Disabled",
         "Disabled"},
        {"\"OnChargeMode\"=dword:00000003\r\n\"OffChargeMode\"=dword:00000000\r\n\"OffChargeACOnly\"=dword:00000000\r\n", "(none)", "(none)"},
        {"\"OnChargeMode\"=dword:00000001\r\n\"OffChargeMode\"=dword:00000002\r\n\"OffChargeACOnly\"=dword:00000000\r\n", "(none)", "(none)"},
        {"\"OnChargeMode\"=dword:00000001\r\n\"OffChargeMode\"=dword:00000001\r\n\"OffChargeACOnly\"=dword:00000002\r\n", "(none)", "(none)"},
        {"\"OnChargeMode\"=dword:00000001\r\n\"OffChargeMode\"=dword:00000000\r\n", "(none)", "(none)"},
        {"\"OnChargeMode\"=\"1\"\r\n\"OffChargeMode\"=dword:00000000\r\n\"OffChargeACOnly\"=dword:00000000\r\n", "(none)", "(none)"},
    };
    for (const Case& c : cases) {
        SimMachine machine;
        machine.Registry(std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mirelta\\Quillon]\r\n") + c.values);
        StatusData data;
        CollectUsbCharging(data);
        EXPECT_EQ(ValueOf(data, kUsbRapidCharging), c.rapid) << c.values;
        EXPECT_EQ(ValueOf(data, kUsbPowerOffCharging), c.powerOff) << c.values;
    }
}

TEST(PcStatusCollect, RecoveryDiscRules) {
    struct Case {
        int recvTemplate, created;  // -1: unreadable
        std::string shown;
    };
    const Case cases[] = {{0, -1, "Created"},    {0, 0, "Created"},   {1, 1, "Created"},  {1, 0, "Creatable"},
                          {1, -1, "Creatable"},  {1, 2, "(none)"},    {2, 1, "(none)"},   {-1, 1, "(none)"}};
    for (const Case& c : cases) {
        ScriptedFirmware firmware;
        if (c.recvTemplate >= 0) firmware.registry[u"Software\\Mirelta\\Verimont|RecvTemplate"] = c.recvTemplate;
        if (c.created >= 0) firmware.registry[u"Software\\Mirelta\\Saltmarsh|Created"] = c.created;
        StatusData data;
        CollectRecoveryDisc(data, firmware);
        EXPECT_EQ(ValueOf(data, kRecoveryDisc), c.shown) << c.recvTemplate << " " << c.created;
    }
}

TEST(PcStatusCollect, FirstLogonIsLocalTimeOfTheInstallDate) {
    EXPECT_EQ(Utf8(FirstLogonText(1354000000, 0)), "11/27/2012 07:06:40");
    EXPECT_EQ(Utf8(FirstLogonText(1354000000, 9 * 3600)), "11/27/2012 16:06:40");
    EXPECT_EQ(Utf8(FirstLogonText(1354000000, -8 * 3600)), "11/26/2012 23:06:40");
    EXPECT_EQ(Utf8(FirstLogonText(0, 0)), "");
}

class ManyProcesses : public pf::IProcesses {
public:
    std::vector<std::uint32_t> ProcessIds(std::size_t maxIds) override {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t id = 1; id <= count && ids.size() < maxIds; ++id) ids.push_back(id);
        return ids;
    }
    bool ImagePath(std::uint32_t id, pf::ImagePathKind, std::u16string* path, bool* wow64) override {
        *path = U("C:\\p\\" + std::to_string(id + generation) + ".exe");
        *wow64 = id % 2 == 0;
        return true;
    }
    std::uint32_t count = 150;
    std::uint32_t generation = 0;
};

TEST(PcStatusCollect, ListsKeepTheFirstHundredAndMarkWow64) {
    ManyProcesses processes;
    pf::Services services;
    services.processes = &processes;
    const pf::ScopedOverride override(services);
    EntryList list;
    CollectProcesses(list, {});
    ASSERT_EQ(list.entries.size(), 100u);
    EXPECT_EQ(Utf8(list.entries[0]), "C:\\p\\1.exe");
    EXPECT_EQ(Utf8(list.entries[99]), "C:\\p\\100.exe *32");
}

TEST(PcStatusCollect, RunKeyOfBothViewsOn64BitWindows) {
    SimMachine machine;
    machine.Registry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"Tool\"=\"C:\\\\t.exe\"\r\n"
        "\"Number\"=dword:00000001\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
        "\"Old\"=hex(2):25,00,78,00,25,00,00,00\r\n\"Tool\"=\"C:\\\\t.exe\"\r\n");
    StatusData data;
    CollectLists(data, {CWinVersion::kWindows7, true});
    std::vector<std::string> run;
    for (const auto& e : data.lists[kRunList].entries) run.push_back(Utf8(e));
    EXPECT_EQ(run, (std::vector<std::string>{"Tool(C:\\t.exe)", "Old(%x%)", "Tool(C:\\t.exe)"}));
    CollectLists(data, {CWinVersion::kWindows7, false});
    EXPECT_EQ(data.lists[kRunList].entries.size(), 2u);
}

// The report of a block with only the process list, written into buffers of `size` bytes.
std::vector<std::string> ReportChunks(StatusData& data, int size, char separator) {
    std::vector<std::string> chunks;
    tabframe::ReportResume at;
    const auto refresh = [](StatusData&, int) {};
    const auto ansi = [](const std::u16string& t) { return Utf8(t); };
    for (int chunk = 0; chunk < 50; ++chunk) {
        std::vector<char> buffer(static_cast<std::size_t>(size), 0);
        const int result = tabframe::RunReportCall(
            chunk, buffer.data(), size, separator, true, at,
            [&](tabframe::ReportWriter& w, tabframe::ReportResume& r) {
                return WriteStatusReport(w, r, data, &English, ansi, refresh);
            });
        chunks.push_back(buffer.data());
        if (result <= 0) break;
    }
    return chunks;
}

TEST(PcStatusReport, ASmallBufferEndsInsideTheProcessListAndGoesOn) {
    StatusData data;
    data.firstLogon = u"x";
    for (int i = 1; i <= 6; ++i) data.lists[kProcessList].Add(U("C:\\p" + std::to_string(i) + ".exe"));
    const std::vector<std::string> whole = ReportChunks(data, 102400, ',');
    ASSERT_EQ(whole.size(), 1u);
    const std::string rule(119, '-');
    const std::string head = "[PC Status]\r\n" + rule + "\r\nItem,Status\r\n" + rule + "\r\n";
    std::string expected = head + "#7,x\r\n#8,Unknown\r\n#10,Unknown\r\n#11,Unknown\r\n#12,Unknown\r\n#13,Unknown\r\n"
                                  "Processes,\r\n";
    for (int i = 1; i <= 6; ++i) expected += ",  " + std::to_string(i) + " : C:\\p" + std::to_string(i) + ".exe\r\n";
    EXPECT_EQ(whole[0], expected + "\r\n\r\n");
    // Room for the heading, the values, the title and three entries: the rest follows.
    const int room = static_cast<int>(expected.size()) - 3 * 18 + 20 + 1;
    const std::vector<std::string> parts = ReportChunks(data, room, ',');
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].substr(parts[0].size() - 18), ",  3 : C:\\p3.exe\r\n");
    EXPECT_EQ(parts[1].substr(0, 18), ",  4 : C:\\p4.exe\r\n");
    EXPECT_EQ(parts[0] + parts[1], whole[0]);
}

TEST(PcStatusReport, FixedLayoutRowForms) {
    StatusData data;
    data.limitCount = 3;
    data.statusCode = 26;
    data.minRecord = 85 << 16;
    data.lcdRaw = 200 | (1 << 22);
    data.lcdUnit = 1;
    data.lists[kRunList].Add(u"a(b)");
    const std::string text = ReportChunks(data, 102400, 0)[0];
    const auto line = [](const std::string& item, const std::string& value) {
        std::string padded = item;
        padded.resize(34, ' ');
        return padded + " " + value + "\r\n";
    };
    EXPECT_NE(text.find(line("#10", "3" + std::string(83, ' '))), std::string::npos);
    EXPECT_NE(text.find(line("#11", "1ah")), std::string::npos);
    EXPECT_NE(text.find(line("#12", "25 \xC2\xB0" "C or above" + std::string(81 - 12, ' '))), std::string::npos);
    EXPECT_NE(text.find(line("#22", "200*" + std::string(77, ' '))), std::string::npos);
    EXPECT_NE(text.find("#9" + std::string(32, ' ') + "\r\n" + std::string(34, ' ') + "  1 : a(b)" +
                        std::string(75, ' ') + "\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tab_tests

namespace tab_tests {
namespace {

TEST(PcStatusCollect, DevicePathsBecomeDriveLetterPaths) {
    const std::vector<pf::DosDevice> devices = {{u"C:", u"\\Device\\HarddiskVolume1"},
                                                {u"D:", u"\\Device\\HarddiskVolume10"}};
    const std::pair<const char*, const char*> cases[] = {
        {"\\Device\\HarddiskVolume1\\Windows\\explorer.exe", "C:\\Windows\\explorer.exe"},
        {"\\device\\harddiskvolume10\\x.exe", "D:\\x.exe"},  // not claimed by Volume1
        {"\\Device\\HarddiskVolume2\\y.exe", "\\Device\\HarddiskVolume2\\y.exe"},
        {"\\Device\\HarddiskVolume1", "C:"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8(pf::DevicePathToDosPath(U(c.first), devices)), c.second) << c.first;
}

}  // namespace
}  // namespace tab_tests
