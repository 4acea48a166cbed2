// The rows of the "Setup" tab (Facet04): the notebook's identity (model, serial number, operating
// system, BIOS and controller versions, memory) and the current firmware setup values and device
// enable states, as an "Item" / "Value" list of at most 200 rows. Nothing is ever written to the
// firmware.
//
// The builder is portable: every source it reads is a parameter. Firmware requests go through
// ISetupFirmware (the module adapts the viewer's driver session to it), texts through a string
// lookup (the module's string table), and the Windows facts (OS classification, user-interface
// language, physical memory, the "C:\util\version.doc" text) come in SetupFacts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tabframe/list_table.h"

namespace setup_tab {

// String-table ids of the module.
inline constexpr std::uint32_t kItemTitle = 2;
inline constexpr std::uint32_t kValueTitle = 3;
inline constexpr std::uint32_t kSectionHead = 5;
inline constexpr std::uint32_t kLanguageSelector = 6;  // "1" English, "3" French, "2" Japanese: device-name tags
inline constexpr std::uint32_t kUnknown = 999;
inline constexpr std::uint32_t kDeviceNameBase = 700;  // 700 + device number

inline constexpr int kRowCapacity = 200;
inline constexpr int kRowLimit = 199;        // rows refuse to be added from here on
inline constexpr int kDeviceRowLimit = 195;  // device rows stop here
inline constexpr int kReplicatorRowLimit = 196;
inline constexpr int kMemoryRowLimit = 175;
inline constexpr std::size_t kNameUnits = 100;  // 99 characters and the terminator
inline constexpr std::size_t kValueUnits = 70;  // 69 characters and the terminator

enum Column : int { kItemColumn = 0, kValueColumn, kColumnCount };
extern const tabframe::ListColumnSpec kColumns[kColumnCount];

inline constexpr int kDeviceCount = 35;
inline constexpr int kMaxInstances = 5;

// The firmware as the tab sees it. Every query answers true only when the request was carried
// and the firmware reported success (status 0); outputs are written only then.
class ISetupFirmware {
public:
    virtual ~ISetupFirmware() = default;
    // 0x10C: the setting's value masked to its meaningful bits, and their count.
    virtual bool Setting(std::uint32_t number, std::uint32_t* value, std::uint8_t* bits) = 0;
    // Model record field `type` into `buffer` (`size` bytes of room).
    virtual bool ModelRecord(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) = 0;
    // 0x115: first value and flag word (short form), or the three extended values.
    virtual bool BiosConfiguration(bool extended, std::uint16_t values[3]) = 0;
    // BIOS extension table `table` into `buffer` (`size` bytes of room).
    virtual bool ExtensionTable(std::uint16_t table, std::uint8_t* buffer, std::uint32_t size) = 0;
    virtual bool FeatureLevel(std::uint8_t* level) = 0;                       // 0x21A
    virtual bool EcVersion(std::uint8_t version[5]) = 0;                      // 0x20F
    virtual bool EcRegister(std::uint32_t address, std::uint8_t* value) = 0;  // 0x210
    virtual bool MeFirmware(std::uint16_t version[4]) = 0;                    // 0x2B0
    virtual bool OperatingTime(std::uint32_t* hours) = 0;                     // 0x110
    // 0x111: one instance of a device; the four words (state, instance count, two more) and the
    // name data (tagged strings) as far as the firmware reported it.
    virtual bool DeviceEntry(std::uint16_t device, std::uint16_t instance, std::uint16_t values[4],
                             std::vector<std::uint8_t>* names) = 0;
    virtual bool EnvironmentControl(std::uint8_t* result) = 0;    // 0x10F with argument 0
    virtual bool EnvironmentStatus(std::uint8_t bytes[2]) = 0;    // 0x240, bytes 8 and 9
    virtual bool AntennaKind(std::uint8_t* kind) = 0;             // 0xC07
    // 0x1001 for boot kind n: true only when status and flag byte are both 0.
    virtual bool UefiBoot(std::uint32_t kind, std::uint32_t* value) = 0;
    virtual bool BootOrderKind(std::uint16_t* value) = 0;         // 0x1060
    virtual bool BootTableLayout(std::uint16_t layout[4]) = 0;    // 0x1061
    // The priority list and the device table of the boot order.
    virtual bool BootPriorities(std::vector<std::uint8_t>* priority, std::vector<std::uint8_t>* table) = 0;
    // 0x304: the password data and the length the firmware reports.
    virtual bool PasswordData(std::vector<std::uint8_t>* data, std::uint32_t* reportedLength) = 0;
    virtual bool DockingState(std::uint8_t* state, std::uint8_t* usbType, std::uint8_t* antenna) = 0;  // 0x260
    // 0x261: -1 when the request was not carried, else the status byte (bytes valid with 0).
    virtual int PortReplicatorFirmware(std::uint8_t bytes[4]) = 0;
    virtual bool MemorySlotCount(std::uint8_t* count) = 0;                     // 0x220
    virtual bool MemorySlotInfo(std::uint32_t slot, std::uint32_t* info) = 0;  // 0x221
    virtual bool Spd(std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16]) = 0;  // 0x222
};

// What the tab takes from Windows itself.
struct SetupFacts {
    bool osKnown = false;
    std::int16_t osType = 0;  // CWinVersion codes
    std::uint32_t productType = 0;  // GetProductInfo type (Vista and later)
    std::uint32_t editionFlags = 0; // CWinVersion edition bits (bit 0 tablet, 1 media center, 2 starter)
    std::uint16_t suiteMask = 0;
    bool amd64 = false;
    std::u16string servicePack;
    std::uint16_t uiLanguage = 0;   // GetUserDefaultUILanguage
    std::uint64_t totalPhysicalBytes = 0;
    bool versionDocOpened = false;
    std::string versionDoc;         // the file's bytes, ANSI
};

// The module's text for a string id; empty when there is none.
using StringLookup = std::function<std::u16string(std::uint32_t id)>;
// ANSI text (the process code page) to UTF-16.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// Fills `table` (2 columns, 200 rows) with the Setup rows. `firmware` may be null (no session):
// the firmware rows are then left out or show "Unknown".
void FillSetupRows(tabframe::ListTable& table, ISetupFirmware* firmware, const SetupFacts& facts,
                   const StringLookup& text, const AnsiDecoder& ansi);

// Row texts, exposed for the tests.
std::u16string ModelNumberText(const std::uint8_t* record, std::size_t size);           // "" = unknown
std::u16string SerialNumberText(const std::uint8_t record[8]);                          // "" = unknown
std::u16string BiosVersionText(const std::uint8_t b[5]);
std::u16string EcVersionText(const std::uint8_t v[5]);  // major, minor, level, letter, M-number
// The OS description, "" when the family has no text.
std::u16string OsDescription(const SetupFacts& facts);
// English name of a user-interface language identifier; null when not in the table.
const char* LanguageName(std::uint16_t languageId);
// Joins the lines of version.doc: at most 10 lines of at most 259 characters, newlines as spaces.
std::string VersionDocText(const std::string& bytes);
// Device names out of 0x111 name data for the language selector ("1", "3" or "2"); "" when none.
std::u16string DeviceOwnName(const std::vector<std::uint8_t>& names, const std::u16string& selector,
                             const AnsiDecoder& ansi);

}  // namespace setup_tab
