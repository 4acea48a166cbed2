#include "tabs/setup/setup_rows.h"

#include <cstdio>

namespace setup_tab {

const tabframe::ListColumnSpec kColumns[kColumnCount] = {
    {kItemTitle, 220, "%-42s ", kNameUnits},
    {kValueTitle, 320, "%-16s\r\n", kValueUnits},
};

namespace {

std::u16string Widen(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}

// Value texts by string id.
enum ValueText : std::uint32_t {
    kDisabled = 100, kEnabled, kAuto, kOff, kOn, kNormal, kFnKey, kPcBuiltIn, kNone, kGps, kWlanSub, kWlan,
    kWwanSub, kWwan, kWlanMain, kWwanMain, kUpperSlot, kLowerSlot, kReserved118, kPerformance, kPowerSaving,
    kFnF8, kF8, kRightAlt, kTabletButton, kPc, kReplace, kNumLock, kSingle, kMultiple, kApplication,
    kCtrlAltDel, kDefault, kNormalBrightness, kHighBrightness, kCompatible, kAhci, kSoftware, kHardware,
    kStandard, kSwitchable, kPowerSavingVideo, kPerformanceVideo, kNormalTemperature, kHighTemperature,
    kOperatingTime, kBatteryLifetime, kFast, kHardDiskOnly, kTryPriorDevices, kNoProtection, kProtected,
    kSameAsBoot, kUsb20, kUsb30, kDocked, kUndocked, kUsb11Type, kUsb20Type, kWithHub, kWithHub31,
    kWithHub31Plus, kNotAvailable, kAvailable, kHardDisk, kOpticalDrive, kLan, kEsataPort, kUsbFloppy,
    kUsbHardDisk, kUsbOptical, kUsbKey, kFixed, kHours, kTouchscreenModeValue, kTabletMode, kBootOption,
};

// Row names by string id.
enum : std::uint32_t {
    kModelNo = 200, kSerialNo, kOsVersion, kTabletPc, kTabletTouch, kPenTouch, kBios, kBiosConfiguration,
    kSampleId, kEmbeddedController, kMeFirmwareName, kKestrelVersion, kLanguage, kSystemMemory,
    kOperatingTimeName, kPointingDevice, kTouchscreenMode,
    kDelBs = 220, kRightCtrl, kTenKey, kOpticalPower, kCpuPowerMode, kChargingLed, kApp4, kHandleButton,
    kWwanAntenna, kAntennaSwitching, kExtAntenna, kUpperExtAntenna, kLowerExtAntenna, kWiredLanSwitching,
    kLcdBrightness, kPowerOnAc, kLidSwitch, kCoreMulti, kHyperThreading, kVirtualization, kVtd, kTxt,
    kTurboBoost, kHddController, kTriggerMode, kWwanId, kWirelessReady, kSettingName, kLegacyCard,
    kLegacyUsb, kSmartConnect, kRapidStart, kSwitchableGraphics, kInputPanel, kRotationButton,
    kSecurityButton, kUserButton, kEnvironment, kBatteryPriority, kEcoMode, kBattery1Status,
    kBattery2Status, kCurrentStatus, kBootMode, kUefiBoot, kCsmSupport, kUefiHdd, kUefiOptical, kUefiLan,
    kUefiUsb, kBootPriorities, kBootPopup, kPasswordOnBoot, kPasswordOnReboot, kPasswordOnResume,
    kBootOnResume, kSupervisorPassword, kUserProtection, kUserPassword, kHardDiskLock, kExecuteDisable,
    kAmt, kMeSetupPrompt, kUsbConfigure, kSecureBoot, kConcealedMode, kTriggerKey, kReplicatorStatus,
    kReplicatorUsbType, kExternalAntenna, kReplicatorFirmware, kMemorySlots, kSlotNo,
    kFnCtrl = 460,
    kFnCtrlAlternative = 606,
};

struct Values {
    const std::uint32_t* ids;
    int count;
};
constexpr std::uint32_t kDisEnAutoIds[] = {kDisabled, kEnabled, kAuto};
constexpr std::uint32_t kOffOnIds[] = {kOff, kOn};
constexpr std::uint32_t kNormalFnIds[] = {kNormal, kFnKey};
constexpr std::uint32_t kAutoBuiltInIds[] = {kAuto, kPcBuiltIn};
constexpr std::uint32_t kSingleAntennaIds[] = {kNone, kGps, kWlanSub, kWlan, kWwanSub, kWwan};
constexpr std::uint32_t kDualAntennaIds[] = {kNone, kGps, kWlanSub, kWlanMain, kWwanSub, kWwanMain};
constexpr std::uint32_t kSlotsIds[] = {kUpperSlot, kLowerSlot};
constexpr std::uint32_t kUnknownEnDisIds[] = {kUnknown, kEnabled, kDisabled};
constexpr std::uint32_t kPerfSavingIds[] = {kPerformance, kPowerSaving};
constexpr std::uint32_t kTriggerKeysIds[] = {kFnF8, kF8, kRightAlt, kTabletButton};
constexpr std::uint32_t kPcAutoIds[] = {kPc, kAuto};
#define TABLE(ids) Values{ids, static_cast<int>(sizeof(ids) / sizeof(ids[0]))}

enum class Form {
    TwoState,      // a, b: texts for 0 and 1
    TwoStateShown, // as TwoState, but a setting that cannot be read still shows "Unknown"
    Table,         // values: the table
    FourState,     // texts for 0 to 3 in v
    ThreeState,    // texts for 0 to 2 in v
    BitField4,     // values: the table, 4 bits
    Devices,       // devices: the list
    FnCtrl, WwanId, Antenna, Environment, UefiBoot, PasswordOnBoot, SupervisorPassword, UserPassword,
};

struct Step {
    Form form;
    std::uint32_t setting;
    std::uint32_t name;
    std::uint32_t v[4];
    Values values;
    const std::uint8_t* devices;
    int deviceCount;
};

constexpr std::uint8_t kDevices4[] = {4};
constexpr std::uint8_t kDevices17[] = {17, 24};
constexpr std::uint8_t kDevices14[] = {14, 5, 6, 7, 27, 8, 9, 31, 10};
constexpr std::uint8_t kDevices22[] = {22, 21};
constexpr std::uint8_t kDevices35[] = {35, 11};
constexpr std::uint8_t kDevices12[] = {12, 13, 26, 20, 15, 32, 23, 34};
constexpr std::uint8_t kDevices25[] = {25, 29, 28};
constexpr std::uint8_t kDevices33[] = {33};
constexpr std::uint8_t kDevices1[] = {1, 16};
constexpr std::uint8_t kDevices18[] = {18, 19};
#define DEVICES(list) Form::Devices, 0, 0, {}, {}, list, static_cast<int>(sizeof(list))
#define TWO(s, n, a, b) Form::TwoState, s, n, {a, b}, {}, nullptr, 0
#define TAB(s, n, t) Form::Table, s, n, {}, TABLE(t), nullptr, 0
#define FOUR(s, n, a, b, c, d) Form::FourState, s, n, {a, b, c, d}, {}, nullptr, 0
#define THREE(s, n, a, b, c) Form::ThreeState, s, n, {a, b, c}, {}, nullptr, 0
#define SPECIAL(f, s) f, s, 0, {}, {}, nullptr, 0

// The setting rows in display order.
const Step kSteps[] = {
    {SPECIAL(Form::FnCtrl, 36)},
    {TWO(67, kDelBs, kNormal, kReplace)},
    {TAB(88, kRightCtrl, kNormalFnIds)},
    {TWO(59, kTenKey, kNumLock, kFnKey)},
    {TAB(53, kOpticalPower, kOffOnIds)},
    {TAB(95, kCpuPowerMode, kPerfSavingIds)},
    {TWO(80, kChargingLed, kSingle, kMultiple)},
    {TWO(66, kApp4, kApplication, kCtrlAltDel)},
    {TWO(69, kHandleButton, kDisabled, kEnabled)},
    {TWO(41, kWwanAntenna, kDefault, kPc)},
    {TAB(89, kAntennaSwitching, kAutoBuiltInIds)},
    {SPECIAL(Form::Antenna, 90)},
    {TAB(118, kWiredLanSwitching, kPcAutoIds)},
    {TWO(42, kLcdBrightness, kNormalBrightness, kHighBrightness)},
    {TWO(56, kPowerOnAc, kDisabled, kEnabled)},
    {TWO(55, kLidSwitch, kDisabled, kEnabled)},
    {TWO(37, kCoreMulti, kDisabled, kEnabled)},
    {TWO(51, kHyperThreading, kDisabled, kEnabled)},
    {TWO(38, kVirtualization, kDisabled, kEnabled)},
    {TWO(73, kVtd, kDisabled, kEnabled)},
    {TWO(54, kTxt, kDisabled, kEnabled)},
    {TAB(87, kTurboBoost, kDisEnAutoIds)},
    {DEVICES(kDevices4)},
    {FOUR(45, kHddController, kCompatible, 0, 0, kAhci)},
    {DEVICES(kDevices17)},
    {TWO(68, kTriggerMode, kSoftware, kHardware)},
    {DEVICES(kDevices14)},
    {SPECIAL(Form::WwanId, 0)},
    {DEVICES(kDevices22)},
    {TAB(94, kWirelessReady, kUnknownEnDisIds)},
    {DEVICES(kDevices35)},
    {TWO(83, kSettingName, kStandard, kCompatible)},
    {TAB(93, kLegacyCard, kSlotsIds)},
    {DEVICES(kDevices12)},
    {Form::TwoStateShown, 27, kLegacyUsb, {kDisabled, kEnabled}, {}, nullptr, 0},
    {DEVICES(kDevices25)},
    {TAB(119, kSmartConnect, kDisEnAutoIds)},
    {TAB(120, kRapidStart, kDisEnAutoIds)},
    {FOUR(63, kSwitchableGraphics, kSwitchable, kPowerSavingVideo, kPerformanceVideo, 0)},
    {DEVICES(kDevices33)},
    {TWO(76, kInputPanel, kDisabled, kEnabled)},
    {TWO(77, kRotationButton, kDisabled, kEnabled)},
    {TWO(78, kSecurityButton, kDisabled, kEnabled)},
    {TWO(79, kUserButton, kDisabled, kEnabled)},
    {SPECIAL(Form::Environment, 8)},
    {FOUR(75, kBootMode, kFast, kNormal, kCompatible, 0)},
    {TAB(113, kUefiBoot, kDisEnAutoIds)},
    {TAB(116, kCsmSupport, kDisEnAutoIds)},
    {SPECIAL(Form::UefiBoot, 0)},
    {TWO(71, kBootPopup, kDisabled, kEnabled)},
    {SPECIAL(Form::PasswordOnBoot, 5)},
    {TAB(74, kPasswordOnResume, kDisEnAutoIds)},
    {TWO(70, kBootOnResume, kHardDiskOnly, kTryPriorDevices)},
    {SPECIAL(Form::SupervisorPassword, 0)},
    {THREE(28, kUserProtection, kNoProtection, kProtected, 0)},
    {SPECIAL(Form::UserPassword, 29)},
    {THREE(2, kHardDiskLock, kDisabled, kEnabled, 0)},
    {DEVICES(kDevices1)},
    {TWO(39, kExecuteDisable, kDisabled, kEnabled)},
    {DEVICES(kDevices18)},
    {TWO(52, kAmt, kDisabled, kEnabled)},
    {TAB(72, kMeSetupPrompt, kDisEnAutoIds)},
    {TAB(86, kUsbConfigure, kDisEnAutoIds)},
    {TAB(114, kSecureBoot, kDisEnAutoIds)},
    {TWO(57, kConcealedMode, kDisabled, kEnabled)},
    {Form::BitField4, 106, kTriggerKey, {}, TABLE(kTriggerKeysIds), nullptr, 0},
};

// Boot device type codes and their texts.
struct BootType {
    std::uint16_t code;
    std::uint32_t text;
};
constexpr BootType kBootTypes[] = {
    {2, kHardDisk}, {3, kOpticalDrive}, {6, kLan}, {8, kEsataPort}, {514, kEsataPort}, {520, kEsataPort},
    {261, kUsbFloppy}, {517, kUsbHardDisk}, {773, kUsbOptical}, {1285, kUsbKey}, {0xFFFF, kDisabled},
};

struct Device {
    bool present = false;
    int instances = 0;
    std::uint16_t state[kMaxInstances] = {};
    std::u16string ownName[kMaxInstances];
};

class Builder {
public:
    Builder(tabframe::ListTable& table, ISetupFirmware* firmware, const SetupFacts& facts, const StringLookup& text,
            const AnsiDecoder& ansi)
        : table_(table), fw_(firmware), facts_(facts), text_(text), ansi_(ansi) {}

    void Run();

private:
    int Rows() const { return table_.RowCount(); }
    std::u16string Text(std::uint32_t id) const {
        if (id == 0) id = kUnknown;
        return text_(id);
    }
    // Adds a row while fewer than `limit` rows exist.
    bool Add(const std::u16string& name, const std::u16string& value, int limit = kRowLimit) {
        if (Rows() >= limit) return false;
        const int row = table_.AppendRow();
        if (row < 0) return false;
        table_.SetField(row, kItemColumn, name.c_str());
        table_.SetField(row, kValueColumn, value.c_str());
        return true;
    }
    bool AddId(std::uint32_t name, std::uint32_t value) { return Add(Text(name), Text(value)); }
    bool Setting(std::uint32_t number, std::uint32_t* value, std::uint8_t* bits) {
        return fw_ && fw_->Setting(number, value, bits);
    }
    bool SettingReads(std::uint32_t number, std::uint32_t expected) {
        std::uint32_t value = 0;
        std::uint8_t bits = 0;
        return Setting(number, &value, &bits) && value == expected;
    }

    void Identity();
    void OsRows();
    void EcRow();
    void ReadDevices();
    void DeviceRows(int device);
    void TwoState(std::uint32_t setting, std::uint32_t name, std::uint32_t zero, std::uint32_t one, bool shown);
    void TableRow(std::uint32_t setting, std::uint32_t name, Values values);
    void FourState(std::uint32_t setting, std::uint32_t name, const std::uint32_t texts[4]);
    bool ThreeState(std::uint32_t setting, std::uint32_t name, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                    std::uint32_t* raw);
    void BitField(std::uint32_t setting, std::uint32_t name, Values values, int bitCount);
    void Special(const Step& step);
    void EnvironmentRows();
    void BootRows();
    void PasswordRow(std::uint32_t name, std::uint32_t fallbackSetting, bool supervisor);
    void ReplicatorRows();
    void MemoryRows();

    tabframe::ListTable& table_;
    ISetupFirmware* fw_;
    const SetupFacts& facts_;
    const StringLookup& text_;
    const AnsiDecoder& ansi_;
    bool deviceTableRead_ = false;
    Device devices_[kDeviceCount + 1];
    bool passwordDataRead_ = false;
    bool passwordDataValid_ = false;
    std::vector<std::uint8_t> passwordData_;
};

void Builder::Run() {
    ReadDevices();
    Identity();
    for (const Step& step : kSteps) {
        switch (step.form) {
        case Form::TwoState: TwoState(step.setting, step.name, step.v[0], step.v[1], false); break;
        case Form::TwoStateShown: TwoState(step.setting, step.name, step.v[0], step.v[1], true); break;
        case Form::Table: TableRow(step.setting, step.name, step.values); break;
        case Form::FourState: FourState(step.setting, step.name, step.v); break;
        case Form::ThreeState: {
            std::uint32_t raw = 0;
            ThreeState(step.setting, step.name, step.v[0], step.v[1], step.v[2], &raw);
            break;
        }
        case Form::BitField4: BitField(step.setting, step.name, step.values, 4); break;
        case Form::Devices:
            for (int i = 0; i < step.deviceCount; ++i) DeviceRows(step.devices[i]);
            break;
        default: Special(step); break;
        }
    }
    ReplicatorRows();
    MemoryRows();
}

void Builder::Identity() {
    const std::u16string unknown = Text(kUnknown);
    std::uint8_t record[258] = {};
    std::u16string model;
    if (fw_ && fw_->ModelRecord(1, record, sizeof record)) {
        record[sizeof record - 1] = 0;
        model = ModelNumberText(record, sizeof record);
    }
    Add(Text(kModelNo), model.empty() ? unknown : model);

    std::uint8_t serial[8] = {};
    std::u16string serialText;
    if (fw_ && fw_->ModelRecord(2, serial, sizeof serial)) serialText = SerialNumberText(serial);
    Add(Text(kSerialNo), serialText.empty() ? unknown : serialText);

    OsRows();

    std::uint8_t bios[5] = {};
    Add(Text(kBios), fw_ && fw_->ModelRecord(3, bios, sizeof bios) ? BiosVersionText(bios) : unknown);

    std::uint16_t config[3] = {};
    if (fw_ && fw_->BiosConfiguration(false, config) && config[0] < 256 && (config[1] & 1u) &&
        fw_->BiosConfiguration(true, config)) {
        char text[32];
        std::snprintf(text, sizeof text, "%04X-%04X-%04X", config[0], config[1], config[2]);
        Add(Text(kBiosConfiguration), Widen(text));
    }

    std::uint8_t sample[16] = {};
    if (fw_ && fw_->ExtensionTable(13, sample, sizeof sample) && sample[3] != 0) {
        sample[15] = 0;
        Add(Text(kSampleId), ansi_(reinterpret_cast<const char*>(sample + 3)));
    }

    EcRow();

    std::uint16_t me[4] = {};
    if (fw_ && fw_->MeFirmware(me)) {
        char text[40];
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", me[0], me[1], me[2], me[3]);
        Add(Text(kMeFirmwareName), Widen(text));
    }

    Add(Text(kKestrelVersion), facts_.versionDocOpened ? ansi_(VersionDocText(facts_.versionDoc)) : unknown);

    const char* language = LanguageName(facts_.uiLanguage);
    Add(Text(kLanguage), language ? Widen(language) : unknown);

    char memory[40];
    std::snprintf(memory, sizeof memory, "%lu KBytes",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(facts_.totalPhysicalBytes / 1024)));
    Add(Text(kSystemMemory), Widen(memory));

    std::uint32_t hours = 0;
    if (SettingReads(40, 1) && fw_->OperatingTime(&hours)) {
        char text[32];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(hours - hours % 10));
        Add(Text(kOperatingTimeName), Widen(text) + Text(kHours));
    }

    if (deviceTableRead_) {
        DeviceRows(2);
    } else {
        std::uint32_t raw = 0;
        ThreeState(30, kPointingDevice, kDisabled, kEnabled, kAuto, &raw);
    }
    DeviceRows(3);
    std::uint32_t mode = 0;
    std::uint8_t bits = 0;
    if (Setting(48, &mode, &bits) && !(mode & 4u)) {
        const std::uint32_t texts[] = {kTouchscreenModeValue, kTabletMode, kAuto};
        AddId(kTouchscreenMode, mode < 3 ? texts[mode] : kUnknown);
    }
}

void Builder::OsRows() {
    const std::u16string os = OsDescription(facts_);
    Add(Text(kOsVersion), os.empty() ? Text(kUnknown) : os);
    std::uint32_t name = 0;
    switch (facts_.osType) {
    case 6: name = kTabletPc; break;
    case 8: name = kTabletTouch; break;
    case 11: case 13: case 15: name = kPenTouch; break;
    default: return;
    }
    AddId(name, (facts_.editionFlags & 1u) ? kEnabled : kDisabled);
}

void Builder::EcRow() {
    const std::u16string unknown = Text(kUnknown);
    if (!fw_) {
        Add(Text(kEmbeddedController), unknown);
        return;
    }
    std::uint8_t level = 0;
    std::u16string text = unknown;
    if (fw_->FeatureLevel(&level)) {
        std::uint8_t v[5] = {};
        if (level == 3 && fw_->EcVersion(v)) text = EcVersionText(v);
    } else {
        std::uint8_t r255 = 0, r253 = 0, r254 = 0, r250 = 0, r251 = 0;
        if (fw_->EcRegister(255, &r255)) {
            if (r255 == 0) {
                if (fw_->EcRegister(253, &r253) && fw_->EcRegister(254, &r254)) {
                    char buffer[32];
                    std::snprintf(buffer, sizeof buffer, "V%X.%X0L%02X", r253 >> 4, r253 & 0xF, r254);
                    text = Widen(buffer);
                }
            } else if (fw_->EcRegister(253, &r253) && fw_->EcRegister(250, &r250) && fw_->EcRegister(254, &r254) &&
                       fw_->EcRegister(251, &r251)) {
                const std::uint8_t v[5] = {static_cast<std::uint8_t>(r253 & 0xF), r250, r254, r255, r251};
                text = EcVersionText(v);
            }
        }
    }
    Add(Text(kEmbeddedController), text);
}

void Builder::ReadDevices() {
    if (!fw_) return;
    const std::u16string selector = Text(kLanguageSelector);
    for (int device = 1; device <= kDeviceCount; ++device) {
        Device& d = devices_[device];
        for (int instance = 0; instance < kMaxInstances; ++instance) {
            std::uint16_t values[4] = {};
            std::vector<std::uint8_t> names;
            if (!fw_->DeviceEntry(static_cast<std::uint16_t>(device), static_cast<std::uint16_t>(instance), values,
                                  &names)) {
                break;
            }
            deviceTableRead_ = true;
            d.present = true;
            d.state[instance] = values[0];
            d.ownName[instance] = DeviceOwnName(names, selector, ansi_);
            d.instances = instance + 1;
            if (instance + 1 >= values[1]) break;  // the firmware's instance count
        }
    }
}

void Builder::DeviceRows(int device) {
    const Device& d = devices_[device];
    const bool usb3 = device == 32 || device == 34;
    for (int instance = 0; instance < d.instances; ++instance) {
        std::u16string name = d.ownName[instance];
        if (name.empty()) {
            name = Text(kDeviceNameBase + device);
            if (d.instances > 1) {
                name += u' ';
                name += static_cast<char16_t>(u'A' + instance);
            }
        }
        if (usb3) name.insert(0, 1, u' ');
        std::uint32_t value = kUnknown;
        switch (d.state[instance]) {
        case 1: value = usb3 ? kUsb20 : kDisabled; break;
        case 2: value = usb3 ? kUsb30 : kEnabled; break;
        case 3: value = usb3 ? kUnknown : kAuto; break;
        default: break;
        }
        if (!Add(name, Text(value), kDeviceRowLimit)) return;
    }
}

void Builder::TwoState(std::uint32_t setting, std::uint32_t name, std::uint32_t zero, std::uint32_t one,
                       bool shown) {
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(setting, &value, &bits)) {
        if (shown) AddId(name, kUnknown);
        return;
    }
    if (value & 2u) return;
    AddId(name, (value & 1u) ? one : zero);
}

void Builder::TableRow(std::uint32_t setting, std::uint32_t name, Values values) {
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(setting, &value, &bits) || bits < 2 || bits > 32) return;
    if (value & (1u << (bits - 1))) return;
    AddId(name, value < static_cast<std::uint32_t>(values.count) ? values.ids[value] : kUnknown);
}

void Builder::FourState(std::uint32_t setting, std::uint32_t name, const std::uint32_t texts[4]) {
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(setting, &value, &bits) || (value & 4u)) return;
    AddId(name, value < 4 ? texts[value] : kUnknown);
}

bool Builder::ThreeState(std::uint32_t setting, std::uint32_t name, std::uint32_t a, std::uint32_t b,
                         std::uint32_t c, std::uint32_t* raw) {
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(setting, &value, &bits)) return false;  // the row is not counted
    *raw = value;
    const std::uint32_t texts[] = {a, b, c};
    AddId(name, value < 3 ? texts[value] : kUnknown);
    return true;
}

void Builder::BitField(std::uint32_t setting, std::uint32_t name, Values values, int bitCount) {
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(setting, &value, &bits) || bits < bitCount) return;
    value &= (1u << bitCount) - 1;
    if (value & (1u << (bitCount - 1))) return;
    AddId(name, value < static_cast<std::uint32_t>(values.count) ? values.ids[value] : kUnknown);
}

void Builder::Special(const Step& step) {
    switch (step.form) {
    case Form::FnCtrl: {
        std::uint32_t value = 0;
        std::uint8_t bits = 0;
        const bool alternative = Setting(36, &value, &bits) && (value & 4u);
        TwoState(36, alternative ? kFnCtrlAlternative : kFnCtrl, kNormal, kReplace, false);
        break;
    }
    case Form::WwanId: {
        std::uint8_t id[1] = {};
        if (fw_ && fw_->ModelRecord(5, id, sizeof id) && id[0] >= 1 && id[0] <= 254) {
            char text[8];
            std::snprintf(text, sizeof text, "%x", id[0] - 1);
            Add(Text(kWwanId), Widen(text));
        }
        break;
    }
    case Form::Antenna: {
        std::uint8_t kind = 0;
        if (fw_ && fw_->AntennaKind(&kind) && kind != 0) {
            TableRow(90, kUpperExtAntenna, TABLE(kDualAntennaIds));
            TableRow(91, kLowerExtAntenna, TABLE(kDualAntennaIds));
        } else {
            TableRow(90, kExtAntenna, TABLE(kSingleAntennaIds));
        }
        break;
    }
    case Form::Environment: EnvironmentRows(); break;
    case Form::UefiBoot: BootRows(); break;
    case Form::PasswordOnBoot: {
        std::uint32_t raw = 0;
        ThreeState(5, kPasswordOnBoot, kDisabled, kEnabled, kAuto, &raw);
        if (SettingReads(46, 1)) {
            std::uint32_t reboot = 0;
            std::uint8_t bits = 0;
            const bool read = Setting(47, &reboot, &bits);
            AddId(kPasswordOnReboot, !read ? kUnknown : reboot == 0 ? kDisabled : reboot == 1 ? kSameAsBoot : kUnknown);
        }
        break;
    }
    case Form::SupervisorPassword: PasswordRow(kSupervisorPassword, 0, true); break;
    case Form::UserPassword: PasswordRow(kUserPassword, 29, false); break;
    default: break;
    }
}

void Builder::EnvironmentRows() {
    std::uint8_t control = 0;
    std::uint32_t raw = 0;
    if (!fw_ || !fw_->EnvironmentControl(&control)) {
        ThreeState(8, kEnvironment, kNormalTemperature, kHighTemperature, kAuto, &raw);
        return;
    }
    std::uint8_t status[2] = {};
    if (control == 0) {
        if (fw_->EnvironmentStatus(status) && (status[0] & 1u)) {
            std::u16string value = Text((status[0] & 0x80u) ? kEnabled : kDisabled);
            if ((status[0] & 0x80u) && SettingReads(34, 0)) value += Text(kFixed);
            Add(Text(kEcoMode), value);
        }
        if (ThreeState(8, kEnvironment, kNormalTemperature, kHighTemperature, kAuto, &raw) && raw == 2) {
            std::uint8_t again[2] = {};
            const bool read = fw_->EnvironmentStatus(again);
            auto state = [&](std::uint8_t bit) -> std::uint32_t {
                if (!read || !(again[0] & 1u)) return kUnknown;
                return (again[0] & bit) ? kHighTemperature : kNormalTemperature;
            };
            if (read && (again[1] & 1u)) {
                AddId(kBattery1Status, state(0x80));
                AddId(kBattery2Status, state(0x40));
            } else {
                AddId(kCurrentStatus, state(0x80));
            }
        }
        return;
    }
    if (ThreeState(8, kBatteryPriority, kOperatingTime, kBatteryLifetime, kAuto, &raw) && raw == 2) {
        std::uint32_t value = kUnknown;
        if (fw_->EnvironmentStatus(status) && (status[0] & 1u)) {
            value = (status[0] & 0x80u) ? kBatteryLifetime : kOperatingTime;
        }
        AddId(kCurrentStatus, value);
    }
}

void Builder::BootRows() {
    if (!fw_) return;
    const std::uint32_t names[] = {kUefiHdd, kUefiOptical, kUefiLan, kUefiUsb};
    for (std::uint32_t n = 0; n < 4; ++n) {
        std::uint32_t value = 0;
        if (fw_->UefiBoot(n, &value)) AddId(names[n], value == 0 ? kDisabled : value == 1 ? kEnabled : kUnknown);
    }

    std::uint32_t uefi = 0;
    std::uint8_t bits = 0;
    std::uint16_t kind = 0;
    std::uint16_t layout[4] = {};
    if (!Setting(113, &uefi, &bits) || (uefi & 1u) || !fw_->BootOrderKind(&kind) || kind != 770 ||
        !fw_->BootTableLayout(layout)) {
        return;
    }
    const std::uint16_t priorityCount = layout[0], deviceCount = layout[1];
    const std::size_t prioritySize = layout[2], deviceSize = layout[3];
    if (priorityCount > 19 || deviceCount > 19 || prioritySize < 2 || deviceSize < 2) return;
    std::vector<std::uint8_t> priority, table;
    if (!fw_->BootPriorities(&priority, &table)) return;
    if (priority.size() < priorityCount * prioritySize || table.size() < deviceCount * deviceSize) return;
    std::uint16_t types[19] = {};
    for (std::size_t i = 0; i < priorityCount; ++i) {
        const std::uint8_t* entry = priority.data() + i * prioritySize;
        const std::uint16_t index = static_cast<std::uint16_t>(entry[0] | (entry[1] << 8));
        if (index < deviceCount) {
            const std::uint8_t* device = table.data() + index * deviceSize;
            types[i] = static_cast<std::uint16_t>(device[0] | (device[1] << 8));
        } else {
            types[i] = 0xFFFF;
        }
    }
    if (priorityCount == 0 || types[0] == 0 || types[0] == 7) return;
    if (Rows() + 1 + priorityCount > kRowLimit) return;
    Add(Text(kBootPriorities), u"");
    const std::u16string option = Text(kBootOption);
    for (std::size_t i = 0; i < priorityCount; ++i) {
        std::uint32_t text = kUnknown;
        for (const BootType& t : kBootTypes) {
            if (t.code == types[i]) text = t.text;
        }
        char number[16];
        std::snprintf(number, sizeof number, " #%d", static_cast<int>(i + 1));
        Add(u" " + option + Widen(number), Text(text));
    }
}

void Builder::PasswordRow(std::uint32_t name, std::uint32_t fallbackSetting, bool supervisor) {
    if (!passwordDataRead_) {
        passwordDataRead_ = true;
        std::uint32_t length = 0;
        passwordDataValid_ = fw_ && fw_->PasswordData(&passwordData_, &length) && length > 0 && length <= 256 &&
                             passwordData_.size() >= 2;
    }
    if (passwordDataValid_) {
        // Byte 0: the supervisor password is set (bit 0); byte 1: the user password.
        AddId(name, (passwordData_[supervisor ? 0 : 1] & 1u) ? kEnabled : kDisabled);
        return;
    }
    std::uint32_t value = 0;
    std::uint8_t bits = 0;
    if (!Setting(fallbackSetting, &value, &bits)) {
        AddId(name, kUnknown);
        return;
    }
    AddId(name, value == 0 ? kDisabled : kEnabled);
}

void Builder::ReplicatorRows() {
    std::uint8_t state = 0, usb = 0, antenna = 0;
    if (Rows() >= kReplicatorRowLimit || !fw_ || !fw_->DockingState(&state, &usb, &antenna)) return;
    const bool docked = state == 1;
    AddId(kReplicatorStatus, docked ? kDocked : kUndocked);
    if (!docked) return;
    if (usb != 0) {
        const std::uint32_t types[] = {kUsb11Type, kUsb20Type, kWithHub, kWithHub31, kWithHub31Plus};
        AddId(kReplicatorUsbType, usb <= 5 ? types[usb - 1] : kUnknown);
    }
    if (antenna != 0) AddId(kExternalAntenna, antenna == 1 ? kNotAvailable : antenna == 2 ? kAvailable : kUnknown);
    std::uint8_t firmware[4] = {};
    const int status = fw_->PortReplicatorFirmware(firmware);
    if (status < 0) return;
    if (status != 0) {
        AddId(kReplicatorFirmware, kUnknown);
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "V%X.%X0L%X%X%c", firmware[0] >> 4, firmware[0] & 0xF, firmware[1] >> 4,
                  firmware[1] & 0xF, firmware[2]);
    Add(Text(kReplicatorFirmware), Widen(text));
}

void Builder::MemoryRows() {
    std::uint8_t slots = 0;
    if (Rows() >= kMemoryRowLimit || !fw_ || !fw_->MemorySlotCount(&slots)) return;
    char text[64];
    std::snprintf(text, sizeof text, "%d", slots);
    Add(Text(kMemorySlots), Widen(text));
    const std::u16string slotName = Text(kSlotNo);
    for (std::uint32_t slot = 0; slot < slots && Rows() < kRowLimit; ++slot) {
        std::uint32_t info = 0;
        if (!fw_->MemorySlotInfo(slot, &info)) continue;
        const std::uint8_t flags = static_cast<std::uint8_t>(info & 0xFF);
        const std::uint16_t size = static_cast<std::uint16_t>(info >> 8);
        std::snprintf(text, sizeof text, " %u", static_cast<unsigned>(slot));
        const std::u16string name = slotName + Widen(text);
        std::snprintf(text, sizeof text, "%d %d %d %d %d", flags & 1, (flags >> 1) & 1, (flags >> 2) & 1,
                      (flags >> 3) & 1, flags >> 4);
        Add(name, Widen(text));
        std::uint32_t length = 0;
        if (flags >= 0x40 && flags <= 0x4F) length = 64;
        else if (flags >= 0x80 && flags <= 0x8F) length = 128;
        else if (flags >= 0xC0 && flags <= 0xCF) length = (size & 0xFFu) + 1;
        for (std::uint32_t offset = 0; offset < length; offset += 16) {
            std::uint8_t data[16] = {};
            if (!fw_->Spd(static_cast<std::uint8_t>(slot), offset, data)) continue;
            std::string hex;
            for (int i = 0; i < 16; ++i) {
                std::snprintf(text, sizeof text, i ? " %02X" : "%02X", data[i]);
                hex += text;
            }
            std::snprintf(text, sizeof text, "       SPD %2u", static_cast<unsigned>(offset));
            if (!Add(Widen(text), Widen(hex.c_str()))) return;
        }
    }
}

}  // namespace

void FillSetupRows(tabframe::ListTable& table, ISetupFirmware* firmware, const SetupFacts& facts,
                   const StringLookup& text, const AnsiDecoder& ansi) {
    Builder(table, firmware, facts, text, ansi).Run();
}

}  // namespace setup_tab
