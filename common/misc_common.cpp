#include "common/misc_common.h"

#include <climits>
#include <cstring>
#include <new>

#include "common/crypto/bignum.h"
#include "common/crypto/hdrand.h"
#include "common/crypto/hmac_sha1.h"
#include "common/crypto/preshared_key.h"
#include "common/crypto/sha1.h"
#include "common/text.h"
#include "platform/last_error.h"
#include "platform/platform.h"

namespace MiscCommon {

namespace pf = quarro::platform;
namespace crypto = quarro::crypto;

namespace {

// ---- Operation names and messages of LastErrorText ----

constexpr const char16_t* kOpOpenDriver = u"OpenDriver";
constexpr const char16_t* kOpInitialize = u"_Initialize";
constexpr const char16_t* kOpEncrypt = u"_Encrypt";
constexpr const char16_t* kOpDecrypt = u"_Decrypt";
constexpr const char16_t* kOpInitializeCapsule = u"_InitializeMessageCapsule";
constexpr const char16_t* kOpEncapsulated = u"EncapsuledDeviceIoControl";
constexpr const char16_t* kOpCallMisc = u"CallMiscFunction";
constexpr const char16_t* kOpBootGet = u"BootPriorityGetPriorityAndTable";
constexpr const char16_t* kOpBootSet = u"BootPrioritySetPriority";
constexpr const char16_t* kOpBiosTable = u"GetBiosExtensionTable2";
constexpr const char16_t* kOpModelNumber = u"GetModelNumber";
constexpr const char16_t* kOpSetRegistry = u"SetRegistry";
constexpr const char16_t* kOpQueryRegistry = u"QueryRegistry";
constexpr const char16_t* kOpRegKeyExists = u"RegKeyExists";
constexpr const char16_t* kOpDelRegKey = u"DelRegKey";
constexpr const char16_t* kOpDelRegValue = u"DelRegValue";
constexpr const char16_t* kOpCreateRegKey = u"CreateRegKey";

constexpr const char16_t* kMsgDeviceIoControl = u"DeviceIoControl failed.";
constexpr const char16_t* kMsgHeapAlloc = u"HeapAlloc failed.";
constexpr const char16_t* kMsgNoDevice = u"_hDevice is NULL";
constexpr const char16_t* kMsgInvalidArguments = u"Invalid Argument(s).";

// ---- Little-endian fields ----

std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Write32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
void Write16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void WriteWords(std::uint8_t* p, const std::uint32_t* words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Write32(p + 4 * i, words[i]);
}
void ReadWords(std::uint32_t* words, const std::uint8_t* p, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) words[i] = Read32(p + 4 * i);
}
void WriteText(std::uint8_t* p, const char16_t* text, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) Write16(p + 2 * i, static_cast<std::uint16_t>(text[i]));
    Write16(p + 2 * chars, 0);
}

constexpr std::uint32_t Tag(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}
constexpr std::uint32_t kTagIni1 = Tag('I', 'n', 'i', '1');
constexpr std::uint32_t kTagIni2 = Tag('I', 'n', 'i', '2');
constexpr std::uint32_t kTagIni3 = Tag('I', 'n', 'i', '3');
constexpr std::uint32_t kTagRegW = Tag('R', 'e', 'g', 'W');
constexpr std::uint32_t kTagRgQI = Tag('R', 'g', 'Q', 'I');
constexpr std::uint32_t kTagRgQO = Tag('R', 'g', 'Q', 'O');
constexpr std::uint32_t kAuthWord = 0x68747541;  // "Auth"
constexpr std::uint32_t kMiscWord = 0x6373694D;  // "Misc"

// ---- Heap blocks that are wiped before they are freed ----

class WipedBlock {
public:
    WipedBlock() = default;
    explicit WipedBlock(std::size_t size) { Allocate(size); }
    ~WipedBlock() { Free(); }
    WipedBlock(const WipedBlock&) = delete;
    WipedBlock& operator=(const WipedBlock&) = delete;

    bool Allocate(std::size_t size) {
        Free();
        data_ = new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]();
        size_ = data_ ? size : 0;
        return data_ != nullptr;
    }
    void Free() {
        if (data_) crypto::SecureZero(data_, size_);
        delete[] data_;
        data_ = nullptr;
        size_ = 0;
    }
    std::uint8_t* get() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// A Blowfish context on the heap, wiped before it is freed unless released to the session.
class CipherBlock {
public:
    CipherBlock() : ctx_(new (std::nothrow) crypto::BlowfishContext()) {}
    ~CipherBlock() {
        if (ctx_) {
            crypto::BlowfishWipe(ctx_);
            delete ctx_;
        }
    }
    CipherBlock(const CipherBlock&) = delete;
    CipherBlock& operator=(const CipherBlock&) = delete;
    crypto::BlowfishContext* get() const { return ctx_; }
    crypto::BlowfishContext* release() {
        crypto::BlowfishContext* ctx = ctx_;
        ctx_ = nullptr;
        return ctx;
    }

private:
    crypto::BlowfishContext* ctx_;
};

// Key material on the stack of the handshake, wiped on every way out.
struct HandshakeSecrets {
    crypto::HdrandContext rng{};
    std::uint32_t exponent[4] = {};
    std::uint8_t clientNonce[24] = {};  // 20 random bytes and 4 zero bytes
    std::uint8_t psk[crypto::kPresharedKeySize] = {};
    std::uint8_t k1[crypto::kHmacSha1Size] = {};
    std::uint8_t expectedProof[crypto::kHmacSha1Size] = {};
    std::uint8_t clientProof[crypto::kHmacSha1Size] = {};
    std::uint32_t shared[crypto::kBigNumWords] = {};
    std::uint8_t sharedBytes[4 * crypto::kBigNumWords] = {};
    std::uint8_t digest[crypto::kSha1DigestSize] = {};
    std::uint8_t kek[16] = {};
    std::uint32_t sessionKeyWords[4] = {};
    std::uint8_t sessionKey[16] = {};
    std::uint8_t phase1Reply[160] = {};
    ~HandshakeSecrets() { crypto::SecureZero(this, sizeof(*this)); }
};

// A device-info set destroyed on every path, keeping the caller's last error.
class InfoSetGuard {
public:
    InfoSetGuard(pf::IDeviceInterfaces& devices, pf::DeviceInfoSet set) : devices_(devices), set_(set) {}
    ~InfoSetGuard() {
        const std::uint32_t error = pf::GetLastErrorCode();
        devices_.DestroyDeviceInfoList(set_);
        pf::SetLastErrorCode(error);
    }
    InfoSetGuard(const InfoSetGuard&) = delete;
    InfoSetGuard& operator=(const InfoSetGuard&) = delete;

private:
    pf::IDeviceInterfaces& devices_;
    pf::DeviceInfoSet set_;
};

bool ConstantTimeEqual(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < size; ++i) diff = static_cast<std::uint8_t>(diff | (a[i] ^ b[i]));
    return diff == 0;
}

void SystemTimeBytes(const pf::SystemTime& t, std::uint8_t out[crypto::kHdrandSystemTimeSize]) {
    const std::uint16_t fields[8] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (int i = 0; i < 8; ++i) Write16(out + 2 * i, fields[i]);
}

bool SeedRandom(crypto::HdrandContext* rng) {
    std::uint8_t time[crypto::kHdrandSystemTimeSize];
    SystemTimeBytes(pf::Clock().UtcNow(), time);
    return crypto::HdrandInit(rng, pf::Clock().PerformanceCounter(), time);
}

// Decimal text of a signed number.
std::size_t FormatInt(char16_t* out, int value) {
    char16_t digits[12];
    std::size_t n = 0;
    long long v = value;
    const bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    std::size_t written = 0;
    if (negative) out[written++] = u'-';
    while (n > 0) out[written++] = digits[--n];
    out[written] = 0;
    return written;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

constexpr std::uint32_t kFieldOffset[kModelTypeCount] = {4, 40, 32, 27, 80, 91, 92};
constexpr std::uint32_t kFieldLength[kModelTypeCount] = {16, 12, 8, 5, 2, 1, 1};
constexpr std::uint32_t kExtendedLengthByte = 95;
constexpr std::uint32_t kExtensionOffset = 96;
constexpr std::uint32_t kExtendedBufferMinimum = 20;

// Longest registry path and value name the driver is asked about (the registry's own limits).
constexpr std::size_t kMaxRegistryPathChars = 32767;
constexpr std::size_t kMaxRegistryNameChars = 16383;

// A device interface detail record never exceeds its header and a path of 32767 characters.
constexpr std::uint32_t kMaxInterfaceDetailBytes = 8 + 2 * 32768;

}  // namespace

// ======================================================================================
// Pieces of the channel
// ======================================================================================

std::uint32_t CapsuleLength(std::uint32_t payloadLength) {
    if (payloadLength == 0) return 16;
    return ((payloadLength - 1) & ~static_cast<std::uint32_t>(7)) + 24;
}

void WriteInnerMessage(std::uint8_t* out, std::uint32_t sequence, std::uint32_t code, const void* input,
                       std::uint32_t inputLength, std::uint32_t outputCapacity) {
    Write32(out, sequence);
    Write32(out + 4, InnerMessageLength(inputLength));
    Write32(out + 8, code);
    Write32(out + 12, inputLength);
    Write32(out + 16, outputCapacity);
    if (inputLength) std::memcpy(out + 20, input, inputLength);
    Write32(out + 20 + inputLength, 0);
}

void WriteCapsule(std::uint8_t* capsule, std::uint32_t sessionId, const std::uint8_t* payload,
                  std::uint32_t payloadLength) {
    const std::uint32_t length = CapsuleLength(payloadLength);
    std::memset(capsule, 0, length);
    Write32(capsule, payloadLength);
    Write32(capsule + 4, length);
    Write32(capsule + 8, sessionId);
    if (payloadLength) std::memcpy(capsule + 12, payload, payloadLength);
}

std::uint32_t ReplyBlockCount(const std::uint8_t* reply, std::uint32_t bufferSize) {
    if (bufferSize < 12) return 0;
    const std::uint32_t declared = Read32(reply + 4);
    const std::uint32_t declaredBlocks = declared < 16 ? 0 : (declared - 16) / 8;
    const std::uint32_t roomBlocks = (bufferSize - 12) / 8;
    return declaredBlocks < roomBlocks ? declaredBlocks : roomBlocks;
}

int ParseDriverVersion(const char16_t* text, int fields[4]) {
    if (!text) return 0;
    const char16_t* p = text;
    int parsed = 0;
    for (; parsed < 4; ++parsed) {
        if (parsed > 0) {
            if (*p != u'.') break;
            ++p;
        }
        while (IsSpace(*p)) ++p;
        bool negative = false;
        if (*p == u'+' || *p == u'-') {
            negative = *p == u'-';
            ++p;
        }
        if (*p < u'0' || *p > u'9') break;
        long long value = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) {
            if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - u'0');
        }
        if (negative) value = -value;
        if (value > INT_MAX) value = INT_MAX;
        if (value < INT_MIN) value = INT_MIN;
        fields[parsed] = static_cast<int>(value);
    }
    return parsed;
}

int CutModelNumberField(const std::uint8_t record[kModelRecordSize], std::uint32_t type, void* buffer,
                        std::uint32_t* size) {
    if (!size || type >= kModelTypeCount) return kMiscInvalidArgument;
    const std::uint32_t needed = kFieldLength[type];
    if (!buffer) {
        if (*size != 0) return kMiscInvalidArgument;
        *size = needed;
        return kMiscNoMemory;
    }
    if (*size < needed) {
        *size = needed;
        return kMiscNoMemory;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (type == 1 && record[kExtendedLengthByte] != 0 && *size >= kExtendedBufferMinimum) {
        const std::uint32_t extended = record[kExtendedLengthByte];
        if (extended < 12 || extended > 19) return kMiscSystemError;
        std::memcpy(out, record + kFieldOffset[1], 11);
        std::memcpy(out + 11, record + kExtensionOffset, extended - 11);
        *size = extended;
        return kMiscSuccess;
    }
    std::memcpy(out, record + kFieldOffset[type], needed);
    *size = needed;
    return kMiscSuccess;
}

std::uint32_t RegWRecordLength(int kind, std::size_t pathChars, std::size_t nameChars, std::size_t dataLength) {
    unsigned long long total = 2ull * pathChars + 29;
    if (kind != kRegWKey) total += 2ull * nameChars + 2;
    if (kind == kRegWData) total += dataLength;
    return total > kMaxTransferBytes ? 0 : static_cast<std::uint32_t>(total);
}

void WriteRegWRecord(std::uint8_t* out, int kind, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t type, const void* data, std::uint32_t dataLength) {
    const std::uint32_t total = RegWRecordLength(kind, pathChars, nameChars, dataLength);
    std::memset(out, 0, total);
    const auto pathBytes = static_cast<std::uint32_t>(2 * (pathChars + 1));
    const auto nameBytes = static_cast<std::uint32_t>(2 * (nameChars + 1));
    Write32(out, kTagRegW);
    Write32(out + 4, kind == kRegWData ? type : 0);
    Write32(out + 8, total);
    Write32(out + 12, kind != kRegWKey ? pathBytes : 0);
    Write32(out + 16, kind == kRegWData ? pathBytes + nameBytes : 0);
    Write32(out + 20, kind == kRegWData ? dataLength : 0);
    WriteText(out + 24, path, pathChars);
    if (kind != kRegWKey) WriteText(out + 24 + pathBytes, name, nameChars);
    if (kind == kRegWData && dataLength) std::memcpy(out + 24 + pathBytes + nameBytes, data, dataLength);
}

std::uint32_t RgQIRecordLength(std::size_t pathChars, std::size_t nameChars) {
    const unsigned long long total = 2ull * pathChars + 2ull * nameChars + 23;
    return total > kMaxTransferBytes ? 0 : static_cast<std::uint32_t>(total);
}

void WriteRgQIRecord(std::uint8_t* out, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t replyLength) {
    const std::uint32_t total = RgQIRecordLength(pathChars, nameChars);
    std::memset(out, 0, total);
    const auto pathBytes = static_cast<std::uint32_t>(2 * (pathChars + 1));
    Write32(out, kTagRgQI);
    Write32(out + 4, total);
    Write32(out + 8, replyLength);
    Write32(out + 12, pathBytes);
    WriteText(out + 16, path, pathChars);
    WriteText(out + 16 + pathBytes, name, nameChars);
}

// ======================================================================================
// CMiscCommon: construction, error text, version
// ======================================================================================

CMiscCommon::CMiscCommon()
    : _hDevice(pf::kInvalidDevice),
      _szVersion(nullptr),
      SessionId(0),
      Sequence(0),
      Cipher(nullptr),
      Encrypting(1),
      LastErrorText{},
      VersionMajor(0),
      VersionMinor(0),
      VersionBuild(0),
      VersionRevision(0),
      _pDevices(nullptr) {}

CMiscCommon::~CMiscCommon() {
    Close();
    delete[] _szVersion;
}

void CMiscCommon::SetErrorText(const char16_t* operation, const char16_t* message) {
    std::u16string line = u"MiscCommon::CMiscCommon::";
    line += operation;
    line += u": ";
    line += message;
    quarro::text::CopyBounded(LastErrorText, kLastErrorTextUnits, line.c_str());
}

void CMiscCommon::SetErrorTextNumbers(const char16_t* operation, const char16_t* message, int first,
                                      const char16_t* between, int second, bool withSecond) {
    char16_t number[16];
    std::u16string text = message;
    FormatInt(number, first);
    text += number;
    if (withSecond) {
        text += between;
        FormatInt(number, second);
        text += number;
    }
    SetErrorText(operation, text.c_str());
}

const char16_t* CMiscCommon::GetDriverVersion(int* major, int* minor, int* build, int* revision) {
    if (_szVersion && VersionMajor == 0 && VersionMinor == 0 && VersionBuild == 0 && VersionRevision == 0) {
        int fields[4] = {0, 0, 0, 0};
        ParseDriverVersion(_szVersion, fields);
        VersionMajor = fields[0];
        VersionMinor = fields[1];
        VersionBuild = fields[2];
        VersionRevision = fields[3];
    }
    if (major) *major = VersionMajor;
    if (minor) *minor = VersionMinor;
    if (build) *build = VersionBuild;
    if (revision) *revision = VersionRevision;
    return _szVersion ? _szVersion : u"";
}

bool CMiscCommon::IsDriverVersionAtLeast(int a, int b, int c, int d) const {
    const int have[4] = {VersionMajor, VersionMinor, VersionBuild, VersionRevision};
    const int want[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        if (have[i] != want[i]) return have[i] > want[i];
    }
    return true;
}

bool CMiscCommon::SessionGate() const { return IsDriverVersionAtLeast(1, 0, 8, 0); }
bool CMiscCommon::ExtendedGate() const { return IsDriverVersionAtLeast(1, 0, 800, 0); }

// ======================================================================================
// Session
// ======================================================================================

int CMiscCommon::Open() {
    const int opened = OpenDriver();
    if (opened != kMiscSuccess) return opened;
    if (!SessionGate()) return kMiscSuccess;
    const int initialized = _Initialize();
    if (initialized != kMiscSuccess) CloseDevice();
    return initialized;
}

int CMiscCommon::OpenDriver() {
    if (IsOpen()) Close();
    pf::IDeviceInterfaces& devices = pf::Devices();

    const pf::DeviceInfoSet set =
        devices.GetClassDevs(kMiscDriverInterface, pf::kDigcfPresent | pf::kDigcfDeviceInterface);
    if (!set) {
        SetErrorText(kOpOpenDriver, u"SetupDiGetClassDevs failed.");
        return kMiscSystemError;
    }
    InfoSetGuard guard(devices, set);

    pf::DeviceInterfaceRef iface;
    if (!devices.EnumDeviceInterfaces(set, kMiscDriverInterface, 0, &iface)) {
        SetErrorText(kOpOpenDriver, u"SetupDiEnumDeviceInterfaces failed.");
        return kMiscNotFound;
    }

    std::uint32_t required = 0;
    if (devices.GetDeviceInterfaceDetail(set, iface, 0, &required, nullptr, nullptr) ||
        pf::GetLastErrorCode() != static_cast<std::uint32_t>(pf::kErrorInsufficientBuffer) || required == 0) {
        SetErrorText(kOpOpenDriver, u"SetupDiGetDeviceInterfaceDetail (First time) failed.");
        return kMiscSystemError;
    }
    if (required > kMaxInterfaceDetailBytes) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        SetErrorText(kOpOpenDriver, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::u16string devicePath;
    pf::DeviceInstanceRef instance;
    std::uint32_t requiredAgain = 0;
    if (!devices.GetDeviceInterfaceDetail(set, iface, required, &requiredAgain, &devicePath, &instance) ||
        devicePath.empty()) {
        SetErrorText(kOpOpenDriver, u"SetupDiGetDeviceInterfaceDetail (Second time) failed.");
        return kMiscSystemError;
    }

    // The version is read once per object; a read that failed is tried again on the next open.
    if (!_szVersion || _szVersion[0] == 0) {
        if (!_szVersion) {
            _szVersion = new (std::nothrow) char16_t[kVersionTextUnits]();
            if (!_szVersion) {
                pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
                SetErrorText(kOpOpenDriver, u"_szVersion array initialize failed.");
                return kMiscNoMemory;
            }
        }
        std::uint8_t value[kVersionValueBytes] = {};
        std::uint32_t type = 0;
        std::uint32_t size = sizeof(value);
        bool keyOpened = false;
        const long result =
            devices.QueryDriverKeyValue(set, instance, u"DriverVersion", &type, value, &size, &keyOpened);
        if (!keyOpened) {
            SetErrorText(kOpOpenDriver, u"SetupDiOpenDevRegKey failed.");
            return kMiscSystemError;
        }
        if (result != pf::kErrorSuccess) {
            pf::SetLastErrorCode(static_cast<std::uint32_t>(result));
            SetErrorText(kOpOpenDriver, u"RegQueryValueEx failed.");
            return kMiscSystemError;
        }
        if (size > sizeof(value)) size = sizeof(value);
        const std::size_t units = size / 2;  // at most 128 of the 256 units: always terminated
        for (std::size_t i = 0; i < units; ++i) _szVersion[i] = static_cast<char16_t>(Read16(value + 2 * i));
        _szVersion[units] = 0;
        int fields[4] = {0, 0, 0, 0};
        ParseDriverVersion(_szVersion, fields);
        VersionMajor = fields[0];
        VersionMinor = fields[1];
        VersionBuild = fields[2];
        VersionRevision = fields[3];
    }

    const pf::DeviceHandle device =
        devices.CreateFile(devicePath.c_str(), pf::kGenericRead | pf::kGenericWrite, 0, pf::kOpenExisting);
    if (device == pf::kInvalidDevice) {
        SetErrorText(kOpOpenDriver, u"CreateFile failed.");
        return kMiscCreateFileFailed;
    }
    _hDevice = device;
    _pDevices = &devices;
    ClearErrorText();
    return kMiscSuccess;
}

void CMiscCommon::SendEndSession(std::uint32_t sessionId) {
    const std::uint32_t error = pf::GetLastErrorCode();
    std::uint8_t id[4];
    Write32(id, sessionId);
    std::uint32_t returned = 0;
    _pDevices->DeviceIoControl(_hDevice, kIoctlEndSession, id, sizeof(id), nullptr, 0, &returned);
    pf::SetLastErrorCode(error);
}

void CMiscCommon::EndCipherSession() {
    if (!Cipher) return;
    SendEndSession(SessionId);
    SessionId = 0;
    Sequence = 0;
    crypto::BlowfishWipe(Cipher);
    delete Cipher;
    Cipher = nullptr;
}

void CMiscCommon::CloseDevice() {
    if (!IsOpen()) return;
    const std::uint32_t error = pf::GetLastErrorCode();
    _pDevices->CloseHandle(_hDevice);
    _hDevice = pf::kInvalidDevice;
    pf::SetLastErrorCode(error);
}

void CMiscCommon::Close() {
    if (!IsOpen()) return;
    EndCipherSession();
    CloseDevice();
}

int CMiscCommon::InitializeFailed(int code, const char16_t* message, bool endSession) {
    SetErrorText(kOpInitialize, message);
    if (endSession) {
        SendEndSession(SessionId);
        SessionId = 0;
    }
    return code;
}

int CMiscCommon::_Initialize() {
    if (!SessionGate()) return kMiscTooOld;
    if (!IsOpen()) {
        pf::SetLastErrorCode(pf::kErrorInvalidHandle);
        return InitializeFailed(kMiscSystemError, kMsgDeviceIoControl, false);
    }
    EndCipherSession();
    pf::IDeviceInterfaces& devices = *_pDevices;
    Encrypting = 1;
    Sequence = 0;
    SessionId = 0;

    // Probe: a driver without the enciphered channel refuses it with ERROR_NOT_SUPPORTED.
    std::uint32_t returned = 0;
    if (!devices.DeviceIoControl(_hDevice, kIoctlHandshake, nullptr, 0, nullptr, 0, &returned) &&
        pf::GetLastErrorCode() == static_cast<std::uint32_t>(pf::kErrorNotSupported)) {
        Encrypting = 0;
        return kMiscSuccess;
    }

    HandshakeSecrets s;
    if (!SeedRandom(&s.rng)) return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    bool healthy = false;
    for (int attempt = 0; attempt < 16 && !healthy; ++attempt) {
        healthy = crypto::HdrandTest(&s.rng);
        if (!healthy && !SeedRandom(&s.rng)) return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    }
    if (!healthy) return InitializeFailed(kMiscNotFound, u"hdrand_test failed 16 times", false);

    // Private exponent (three random words, top word 0) and client nonce (five words).
    std::uint32_t nonceWords[5] = {};
    if (!crypto::HdrandFill(&s.rng, s.exponent, 3) || !crypto::HdrandFill(&s.rng, nonceWords, 5)) {
        return InitializeFailed(kMiscNotFound, u"hdrand_init failed", false);
    }
    s.exponent[3] = 0;
    WriteWords(s.clientNonce, nonceWords, 5);
    crypto::SecureZero(nonceWords, sizeof(nonceWords));

    std::uint32_t clientPublic[crypto::kBigNumWords] = {};
    if (!crypto::Pow2Mod(s.exponent, 4, clientPublic)) return InitializeFailed(kMiscNotFound, u"pow2mod failed.", false);
    std::uint8_t clientPublicBytes[4 * crypto::kBigNumWords];
    WriteWords(clientPublicBytes, clientPublic, crypto::kBigNumWords);

    // Phase 1: "Ini1", A, client nonce, 4 zero bytes; the reply is session id, B, driver nonce.
    std::uint8_t request1[160] = {};
    Write32(request1, kTagIni1);
    std::memcpy(request1 + 4, clientPublicBytes, sizeof(clientPublicBytes));
    std::memcpy(request1 + 136, s.clientNonce, 20);
    returned = 0;
    const bool phase1 = devices.DeviceIoControl(_hDevice, kIoctlHandshake, request1, sizeof(request1), s.phase1Reply,
                                                sizeof(s.phase1Reply), &returned);
    if (!phase1 || returned != sizeof(s.phase1Reply)) {
        if (phase1) pf::SetLastErrorCode(kErrorInvalidData);
        return InitializeFailed(kMiscSystemError, kMsgDeviceIoControl, false);
    }
    SessionId = Read32(s.phase1Reply);
    const std::uint8_t* driverPublicBytes = s.phase1Reply + 4;
    const std::uint8_t* driverNonce = s.phase1Reply + 136;

    // K1 = HMAC(pre-shared key, client nonce and its zeros, driver nonce).
    std::uint8_t nonces[48];
    std::memcpy(nonces, s.clientNonce, 24);
    std::memcpy(nonces + 24, driverNonce, 24);
    crypto::DerivePresharedKey(crypto::kPresharedKeySource, s.psk);
    crypto::HmacSha1(s.psk, sizeof(s.psk), nonces, sizeof(nonces), s.k1);
    crypto::SecureZero(s.psk, sizeof(s.psk));

    {
        WipedBlock work(264);
        if (!work) {
            pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
            return InitializeFailed(kMiscNoMemory, u"HeapAlloc (phase2) failed.", true);
        }
        std::memcpy(work.get(), driverPublicBytes, 132);
        std::memcpy(work.get() + 132, clientPublicBytes, 132);
        crypto::HmacSha1(s.k1, sizeof(s.k1), work.get(), 264, s.expectedProof);
        std::memcpy(work.get(), clientPublicBytes, 132);
        std::memcpy(work.get() + 132, driverPublicBytes, 132);
        crypto::HmacSha1(s.k1, sizeof(s.k1), work.get(), 264, s.clientProof);
    }

    // Phase 2: "Ini2", session id, client proof; the reply is the driver's proof.
    std::uint8_t request2[28];
    Write32(request2, kTagIni2);
    Write32(request2 + 4, SessionId);
    std::memcpy(request2 + 8, s.clientProof, 20);
    std::uint8_t reply2[20] = {};
    returned = 0;
    if (!devices.DeviceIoControl(_hDevice, kIoctlHandshake, request2, sizeof(request2), reply2, sizeof(reply2),
                                 &returned)) {
        return InitializeFailed(kMiscSystemError, u"DeviceIoControl (phase2) failed.", true);
    }
    if (returned != sizeof(reply2) || !ConstantTimeEqual(reply2, s.expectedProof, sizeof(reply2))) {
        pf::SetLastErrorCode(pf::kErrorAccessDenied);
        return InitializeFailed(kMiscNotFound, u"Driver Authentication Failed.", true);
    }

    // Key-encryption key: the first 16 bytes of SHA-1 over Z = B^x mod P.
    std::uint32_t driverPublic[crypto::kBigNumWords];
    ReadWords(driverPublic, driverPublicBytes, crypto::kBigNumWords);
    if (!crypto::PowMod(driverPublic, s.exponent, 4, crypto::kModp1024Prime, s.shared)) {
        return InitializeFailed(kMiscNotFound, u"Key Encryption Key calculation failed.", true);
    }
    WriteWords(s.sharedBytes, s.shared, crypto::kBigNumWords);
    crypto::Sha1(s.sharedBytes, sizeof(s.sharedBytes), s.digest);
    std::memcpy(s.kek, s.digest, sizeof(s.kek));

    // Session key, sent enciphered under the key-encryption key.
    if (!crypto::HdrandFill(&s.rng, s.sessionKeyWords, 4)) {
        return InitializeFailed(kMiscNotFound, u"hdrand_init failed", true);
    }
    WriteWords(s.sessionKey, s.sessionKeyWords, 4);
    CipherBlock context;
    if (!context.get()) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return InitializeFailed(kMiscNoMemory, u"HeapAlloc (phase3) failed.", true);
    }
    if (!crypto::BlowfishInitialize(context.get(), s.kek, sizeof(s.kek))) {
        return InitializeFailed(kMiscNotFound, u"BlowfishInitialize (1st time) failed.", true);
    }
    std::uint8_t request3[24];
    Write32(request3, kTagIni3);
    Write32(request3 + 4, SessionId);
    std::memcpy(request3 + 8, s.sessionKey, 16);
    const bool enciphered = crypto::BlowfishEncipherBlock(context.get(), request3 + 8) &&
                            crypto::BlowfishEncipherBlock(context.get(), request3 + 16);
    crypto::BlowfishWipe(context.get());
    if (!enciphered) return InitializeFailed(kMiscNotFound, u"BlowfishEncipher failed.", true);

    // Phase 3: "Ini3", session id, the enciphered session key; the reply reads "Auth" "Misc"
    // under the session key.
    std::uint8_t reply3[8] = {};
    returned = 0;
    const bool phase3 =
        devices.DeviceIoControl(_hDevice, kIoctlHandshake, request3, sizeof(request3), reply3, sizeof(reply3), &returned);
    if (!phase3 || returned != sizeof(reply3)) {
        if (phase3) pf::SetLastErrorCode(kErrorInvalidData);
        return InitializeFailed(kMiscSystemError, u"DeviceIoControl (phase3) failed.", true);
    }
    if (!crypto::BlowfishInitialize(context.get(), s.sessionKey, sizeof(s.sessionKey))) {
        return InitializeFailed(kMiscNotFound, u"BlowfishInitialize (2nd time) failed.", true);
    }
    std::uint32_t left = Read32(reply3);
    std::uint32_t right = Read32(reply3 + 4);
    if (!crypto::BlowfishDecipher(context.get(), left, right) || left != kAuthWord || right != kMiscWord) {
        pf::SetLastErrorCode(pf::kErrorAccessDenied);
        return InitializeFailed(kMiscNotFound, u"BlowfishDecipher failed.", true);
    }

    Cipher = context.release();
    Sequence = 0;
    return kMiscSuccess;
}

// ======================================================================================
// Capsules
// ======================================================================================

int CMiscCommon::_Encrypt(std::uint8_t* capsule, std::uint32_t capsuleLength) {
    if (!capsule) {
        SetErrorText(kOpEncrypt, u"capsule is NULL");
        return kMiscInvalidArgument;
    }
    if (!Cipher) {
        SetErrorText(kOpEncrypt, u"BlowFish Context is not initialized.");
        return kMiscNotInitialized;
    }
    const std::uint32_t blocks = capsuleLength < 16 ? 0 : (capsuleLength - 16) / 8;
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (!crypto::BlowfishEncipherBlock(Cipher, capsule + 12 + 8 * i)) {
            SetErrorTextNumbers(kOpEncrypt, u"BlowFish Encipher failed. i = ", static_cast<int>(i), nullptr, 0, false);
            return kMiscSystemError;
        }
    }
    return kMiscSuccess;
}

int CMiscCommon::_Decrypt(std::uint8_t* capsule, std::uint32_t bufferSize) {
    if (!capsule) {
        SetErrorText(kOpDecrypt, u"capsule is NULL");
        return kMiscInvalidArgument;
    }
    if (!Cipher) {
        SetErrorText(kOpDecrypt, u"BlowFish Context is not initialized.");
        return kMiscNotInitialized;
    }
    const std::uint32_t blocks = ReplyBlockCount(capsule, bufferSize);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (!crypto::BlowfishDecipherBlock(Cipher, capsule + 12 + 8 * i)) {
            SetErrorTextNumbers(kOpDecrypt, u"BlowFish Decipher failed. i = ", static_cast<int>(i), nullptr, 0, false);
            return kMiscSystemError;
        }
    }
    return kMiscSuccess;
}

std::uint8_t* CMiscCommon::_InitializeMessageCapsule(const std::uint8_t* payload, std::uint32_t payloadLength,
                                                     std::uint32_t* capsuleLength) {
    const std::uint32_t length = CapsuleLength(payloadLength);
    auto* capsule = new (std::nothrow) std::uint8_t[length];
    if (!capsule) {
        SetErrorText(kOpInitializeCapsule, kMsgHeapAlloc);
        return nullptr;
    }
    WriteCapsule(capsule, SessionId, payload, payloadLength);
    *capsuleLength = length;
    return capsule;
}

int CMiscCommon::EncapsuledDeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputLength,
                                           void* output, std::uint32_t outputCapacity, std::uint32_t* returned) {
    if (!SessionGate()) {
        pf::SetLastErrorCode(pf::kErrorNotSupported);
        return 0;
    }
    if ((input == nullptr) != (inputLength == 0) || (output == nullptr) != (outputCapacity == 0) || !returned) {
        SetErrorText(kOpEncapsulated, kMsgInvalidArguments);
        pf::SetLastErrorCode(pf::kErrorInvalidParameter);
        return 0;
    }
    *returned = 0;
    if (!IsOpen() || (Encrypting && !Cipher)) {
        SetErrorText(kOpEncapsulated, u"Session Not Initialized.");
        pf::SetLastErrorCode(IsOpen() ? pf::kErrorAccessDenied : pf::kErrorInvalidHandle);
        return 0;
    }
    if (inputLength > kMaxTransferBytes || outputCapacity > kMaxTransferBytes) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }

    const std::uint32_t innerLength = InnerMessageLength(inputLength);
    WipedBlock inner(innerLength);
    if (!inner) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }
    WriteInnerMessage(inner.get(), Sequence, code, input, inputLength, outputCapacity);

    std::uint32_t requestLength = 0;
    std::uint8_t* rawRequest = _InitializeMessageCapsule(inner.get(), innerLength, &requestLength);
    if (!rawRequest) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }
    // Owned from here on, wiped on the way out.
    struct Owned {
        std::uint8_t* p;
        std::uint32_t n;
        ~Owned() {
            crypto::SecureZero(p, n);
            delete[] p;
        }
    } request{rawRequest, requestLength};
    inner.Free();

    if (Encrypting) {
        const int encrypted = _Encrypt(request.p, request.n);
        if (encrypted != kMiscSuccess) {
            pf::SetLastErrorCode(encrypted == kMiscNotInitialized ? pf::kErrorAccessDenied : pf::kErrorGenFailure);
            return 0;
        }
    }

    const std::uint32_t replySize = CapsuleLength(outputCapacity);
    WipedBlock reply(replySize);
    if (!reply) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }

    std::uint32_t got = 0;
    bool ok = _pDevices->DeviceIoControl(_hDevice, kIoctlCapsule, request.p, request.n, reply.get(), replySize, &got);
    std::uint32_t error = pf::GetLastErrorCode();
    if (ok || got > 0) ++Sequence;
    if (got > replySize) got = replySize;

    if (got < 12) {
        SetErrorTextNumbers(kOpEncapsulated, u"Invalid structure returned. size = ", static_cast<int>(got), nullptr, 0,
                            false);
        pf::SetLastErrorCode(ok ? static_cast<std::uint32_t>(kErrorInvalidData) : error);
        return 0;
    }
    std::uint32_t deciphered = got;  // bytes after the header that hold plain text
    if (Encrypting) {
        const int decrypted = _Decrypt(reply.get(), replySize);
        if (decrypted != kMiscSuccess) {
            pf::SetLastErrorCode(decrypted == kMiscNotInitialized ? pf::kErrorAccessDenied : pf::kErrorGenFailure);
            return 0;
        }
        deciphered = 12 + 8 * ReplyBlockCount(reply.get(), replySize);
    }

    const std::uint32_t payloadLength = Read32(reply.get());
    if (payloadLength != 0) {
        std::uint32_t copy = payloadLength < outputCapacity ? payloadLength : outputCapacity;
        // Only bytes the driver returned and, when enciphered, that its capsule length covers are
        // payload. A reply that claims success with less is malformed; a failed call hands back
        // what it carries, with its own error.
        const std::uint32_t available = (got < deciphered ? got : deciphered) - 12;
        if (copy > available) {
            if (ok) {
                SetErrorTextNumbers(kOpEncapsulated, u"Invalid structure returned. size = ", static_cast<int>(got),
                                    nullptr, 0, false);
                pf::SetLastErrorCode(kErrorInvalidData);
                return 0;
            }
            copy = available;
        }
        if (copy) std::memcpy(output, reply.get() + 12, copy);
        *returned = copy;
        if (payloadLength > outputCapacity && ok) {
            ok = false;
            error = static_cast<std::uint32_t>(pf::kErrorMoreData);
        }
    }
    pf::SetLastErrorCode(error);
    return ok ? 1 : 0;
}

// ======================================================================================
// Misc function packets
// ======================================================================================

int CMiscCommon::CallMiscFunction(void* packet, std::uint32_t packetSize, std::uint32_t retries,
                                  std::uint32_t pauseMs) {
    if (!IsOpen()) {
        SetErrorText(kOpCallMisc, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!packet) {
        SetErrorText(kOpCallMisc, u"pPacket is NULL");
        return kMiscInvalidArgument;
    }
    if (packetSize == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket is '0'");
        return kMiscInvalidArgument;
    }
    if (!SessionGate()) return kMiscTooOld;
    auto* bytes = static_cast<std::uint8_t*>(packet);
    if (packetSize < kPacketHeaderSize || Read16(bytes + 2) > packetSize || Read16(bytes + 4) > packetSize) {
        SetErrorText(kOpCallMisc, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t inputLength = Read16(bytes + 2);
    const std::uint32_t outputLength = Read16(bytes + 4);

    WipedBlock copy(packetSize);
    if (!copy) {
        SetErrorText(kOpCallMisc, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(copy.get(), bytes, packetSize);

    for (std::uint32_t repeats = 0;; ++repeats) {
        std::uint32_t got = 0;
        const int ok = EncapsuledDeviceIoControl(kInnerCallMisc, inputLength ? bytes : nullptr, inputLength,
                                                 outputLength ? bytes : nullptr, outputLength, &got);
        if (!ok) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;  // "Session Not Initialized." stays
            SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (outputLength == 0) break;
        if (got == 0) {
            // No status byte came back: byte 0 would still hold the function number.
            pf::SetLastErrorCode(kErrorInvalidData);
            SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (bytes[0] != kStatusBusy || repeats >= retries) break;
        pf::Clock().Sleep(pauseMs);
        std::memcpy(bytes, copy.get(), packetSize);
    }
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::CallMiscFunction(void* packet1, std::uint32_t packetSize1, void* packet2,
                                  std::uint32_t packetSize2) {
    if (!IsOpen()) {
        SetErrorText(kOpCallMisc, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!packet1) {
        SetErrorText(kOpCallMisc, u"pPacket1 is NULL");
        return kMiscInvalidArgument;
    }
    if (!packet2) {
        SetErrorText(kOpCallMisc, u"pPacket2 is NULL");
        return kMiscInvalidArgument;
    }
    if (packetSize1 == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket1 is '0'");
        return kMiscInvalidArgument;
    }
    if (packetSize2 == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket2 is '0'");
        return kMiscInvalidArgument;
    }
    if (!SessionGate()) return kMiscTooOld;
    auto* bytes1 = static_cast<std::uint8_t*>(packet1);
    auto* bytes2 = static_cast<std::uint8_t*>(packet2);
    if (packetSize1 < kPacketHeaderSize || packetSize2 < kPacketHeaderSize || Read16(bytes1 + 2) > packetSize1 ||
        Read16(bytes1 + 4) > packetSize1 || Read16(bytes2 + 2) > packetSize2 || Read16(bytes2 + 4) > packetSize2) {
        SetErrorText(kOpCallMisc, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t in1 = Read16(bytes1 + 2), out1 = Read16(bytes1 + 4);
    const std::uint32_t in2 = Read16(bytes2 + 2), out2 = Read16(bytes2 + 4);
    const unsigned long long total = static_cast<unsigned long long>(packetSize1) + packetSize2;

    WipedBlock buffer;
    if (total > kMaxTransferBytes || !buffer.Allocate(static_cast<std::size_t>(total))) {
        SetErrorText(kOpCallMisc, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(buffer.get(), bytes1, in1);
    std::memcpy(buffer.get() + in1, bytes2, in2);
    const std::uint32_t inputLength = in1 + in2;
    const std::uint32_t outputLength = out1 + out2;
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerCallMisc2, inputLength ? buffer.get() : nullptr, inputLength,
                                   outputLength ? buffer.get() : nullptr, outputLength, &got)) {
        if (Encrypting && !Cipher) return kMiscNotInitialized;
        SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    // Only what came back is handed out; the rest of each packet stays as the caller sent it.
    std::memcpy(bytes1, buffer.get(), got < out1 ? got : out1);
    if (got > out1) {
        const std::uint32_t rest = got - out1;
        std::memcpy(bytes2, buffer.get() + out1, rest < out2 ? rest : out2);
    }
    ClearErrorText();
    return kMiscSuccess;
}

// ======================================================================================
// Records and tables
// ======================================================================================

int CMiscCommon::GetModelNumber(std::uint32_t type, void* buffer, std::uint32_t* size) {
    if (!IsOpen()) return kMiscNotInitialized;
    if (!SessionGate()) return kMiscTooOld;
    if (!size || type >= kModelTypeCount) return kMiscInvalidArgument;
    if (!buffer || *size < kFieldLength[type]) return CutModelNumberField(nullptr, type, buffer, size);

    WipedBlock record(kModelRecordSize);
    if (!record) {
        SetErrorText(kOpModelNumber, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::uint32_t got = 0;
    const bool ok =
        _pDevices->DeviceIoControl(_hDevice, kIoctlModelRecord, nullptr, 0, record.get(), kModelRecordSize, &got);
    if (!ok || got != kModelRecordSize) {
        if (ok) pf::SetLastErrorCode(kErrorInvalidData);
        SetErrorText(kOpModelNumber, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    return CutModelNumberField(record.get(), type, buffer, size);
}

int CMiscCommon::BootPriorityGetPriorityAndTable(std::uint8_t* status, void* priority, std::uint32_t prioritySize,
                                                 void* table, std::uint32_t tableSize) {
    if (!IsOpen()) {
        SetErrorText(kOpBootGet, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!ExtendedGate()) return kMiscTooOld;
    WipedBlock reply(kBootPriorityReplySize);
    if (!reply) {
        SetErrorText(kOpBootGet, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    for (int attempt = 0;; ++attempt) {
        std::uint32_t got = 0;
        if (!EncapsuledDeviceIoControl(kInnerBootPriorityGet, nullptr, 0, reply.get(), kBootPriorityReplySize, &got)) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;
            SetErrorText(kOpBootGet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (got == 0) {
            pf::SetLastErrorCode(kErrorInvalidData);
            SetErrorText(kOpBootGet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (reply.get()[0] != kStatusBusy || attempt >= 1) break;
        pf::Clock().Sleep(100);
        std::memset(reply.get(), 0, reply.size());
    }
    if (status) *status = reply.get()[0];
    if (priority && prioritySize) {
        std::memcpy(priority, reply.get() + 4, prioritySize < kBootPriorityAreaSize ? prioritySize : kBootPriorityAreaSize);
    }
    if (table && tableSize) {
        std::memcpy(table, reply.get() + kBootPriorityTableOffset,
                    tableSize < kBootPriorityAreaSize ? tableSize : kBootPriorityAreaSize);
    }
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::BootPrioritySetPriority(std::uint8_t* status, const void* array, std::uint32_t size) {
    if (!IsOpen()) {
        SetErrorText(kOpBootSet, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!ExtendedGate()) return kMiscTooOld;
    if (!array) {
        SetErrorText(kOpBootSet, u"pBootPriorityArray is NULL");
        return kMiscInvalidArgument;
    }
    if (size > kBootPriorityAreaSize) {
        SetErrorText(kOpBootSet, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    WipedBlock request(kBootPriorityAreaSize);
    if (!request) {
        SetErrorText(kOpBootSet, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(request.get(), array, size);
    std::uint8_t reply = 0;
    for (int attempt = 0;; ++attempt) {
        std::uint32_t got = 0;
        reply = 0;
        if (!EncapsuledDeviceIoControl(kInnerBootPrioritySet, request.get(), kBootPriorityAreaSize, &reply, 1, &got)) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;
            SetErrorText(kOpBootSet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (got == 0) {
            pf::SetLastErrorCode(kErrorInvalidData);
            SetErrorText(kOpBootSet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (reply != kStatusBusy || attempt >= 1) break;
        pf::Clock().Sleep(100);
    }
    if (status) *status = reply;
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::GetBiosExtensionTable2(std::uint16_t table, void* buffer, std::uint32_t* size) {
    if (!ExtendedGate()) return kMiscTooOld;
    if (!size || *size == 0) return kMiscInvalidArgument;
    std::uint8_t request[2];
    Write16(request, table);
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerBiosExtensionTable2, request, sizeof(request), buffer, *size, &got)) {
        SetErrorText(kOpBiosTable, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    *size = got;
    return kMiscSuccess;
}

// ======================================================================================
// Registry performed by the driver
// ======================================================================================

int CMiscCommon::RegistryPreamble(quarro::platform::RegKey root) const {
    if (!SessionGate()) return kMiscTooOld;
    if (root != pf::kHkeyLocalMachine) return kMiscTooOld;
    return kMiscSuccess;
}

int CMiscCommon::SendRegWRecord(const char16_t* operation, std::uint32_t innerCode, int kind, const char16_t* path,
                                const char16_t* name, std::uint32_t type, const void* data, std::uint32_t size) {
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    const std::size_t nameChars = kind == kRegWKey ? 0 : quarro::text::LengthBounded(name, kMaxRegistryNameChars + 1);
    if (pathChars > kMaxRegistryPathChars || nameChars > kMaxRegistryNameChars) {
        SetErrorText(operation, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t total = RegWRecordLength(kind, pathChars, nameChars, size);
    WipedBlock record;
    if (total == 0 || !record.Allocate(total)) {
        SetErrorText(operation, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    WriteRegWRecord(record.get(), kind, path, pathChars, name, nameChars, type, data, size);
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(innerCode, record.get(), total, nullptr, 0, &got)) {
        SetErrorText(operation, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    return kMiscSuccess;
}

int CMiscCommon::SetRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name,
                             std::uint32_t type, const void* data, std::uint32_t size) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name || !data) {
        SetErrorText(kOpSetRegistry, u"lpPath, lpName or lpData is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpSetRegistry, kInnerSetRegistry, kRegWData, path, name, type, data, size);
}

int CMiscCommon::DelRegValue(quarro::platform::RegKey root, const char16_t* path, const char16_t* name) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name) {
        SetErrorText(kOpDelRegValue, u"lpPath or lpName is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpDelRegValue, kInnerDelRegValue, kRegWValue, path, name, 0, nullptr, 0);
}

int CMiscCommon::DelRegKey(quarro::platform::RegKey root, const char16_t* path) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpDelRegKey, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpDelRegKey, kInnerDelRegKey, kRegWKey, path, nullptr, 0, nullptr, 0);
}

int CMiscCommon::CreateRegKey(quarro::platform::RegKey root, const char16_t* path) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpCreateRegKey, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpCreateRegKey, kInnerCreateRegKey, kRegWKey, path, nullptr, 0, nullptr, 0);
}

int CMiscCommon::RegKeyExists(quarro::platform::RegKey root, const char16_t* path, int* exists) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpRegKeyExists, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    if (pathChars > kMaxRegistryPathChars) {
        SetErrorText(kOpRegKeyExists, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t total = RegWRecordLength(kRegWKey, pathChars, 0, 0);
    WipedBlock record;
    if (total == 0 || !record.Allocate(total)) {
        SetErrorText(kOpRegKeyExists, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    WriteRegWRecord(record.get(), kRegWKey, path, pathChars, nullptr, 0, 0, nullptr, 0);
    std::uint8_t reply[4] = {};
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerRegKeyExists, record.get(), total, reply, sizeof(reply), &got)) {
        return kMiscSystemError;
    }
    if (got < sizeof(reply)) {
        pf::SetLastErrorCode(kErrorInvalidData);
        return kMiscSystemError;
    }
    if (exists) *exists = Read32(reply) == 1 ? 1 : 0;
    return kMiscSuccess;
}

int CMiscCommon::QueryRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name,
                               std::uint32_t* type, void* data, std::uint32_t* size) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name) {
        SetErrorText(kOpQueryRegistry, u"lpPath or lpName is NULL");
        return kMiscInvalidArgument;
    }
    if (data && !size) {
        SetErrorText(kOpQueryRegistry, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    const std::size_t nameChars = quarro::text::LengthBounded(name, kMaxRegistryNameChars + 1);
    if (pathChars > kMaxRegistryPathChars || nameChars > kMaxRegistryNameChars) {
        SetErrorText(kOpQueryRegistry, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t room = data ? *size : 0;
    const std::uint32_t requestLength = RgQIRecordLength(pathChars, nameChars);
    const unsigned long long replyLength = static_cast<unsigned long long>(room) + 15;
    WipedBlock request;
    WipedBlock reply;
    if (requestLength == 0 || replyLength > kMaxTransferBytes || !request.Allocate(requestLength) ||
        !reply.Allocate(static_cast<std::size_t>(replyLength))) {
        SetErrorTextNumbers(kOpQueryRegistry, u"HeapAlloc failed. I:", static_cast<int>(requestLength), u" O:",
                            static_cast<int>(replyLength), true);
        return kMiscNoMemory;
    }
    WriteRgQIRecord(request.get(), path, pathChars, name, nameChars, static_cast<std::uint32_t>(replyLength));

    std::uint32_t got = 0;
    const bool ok = EncapsuledDeviceIoControl(kInnerQueryRegistry, request.get(), requestLength, reply.get(),
                                              static_cast<std::uint32_t>(replyLength), &got) != 0;
    const std::uint32_t error = pf::GetLastErrorCode();
    const bool hasReply = got >= 12 && Read32(reply.get() + 4) == kTagRgQO;
    const std::uint32_t valueSize = hasReply ? Read32(reply.get()) : 0;
    const std::uint32_t valueType = hasReply ? Read32(reply.get() + 8) : 0;

    if (!ok) {
        if (error == static_cast<std::uint32_t>(pf::kErrorInvalidParameter)) return kMiscInvalidArgument;
        if ((error == static_cast<std::uint32_t>(pf::kErrorBufferOverflow) ||
             error == static_cast<std::uint32_t>(pf::kErrorMoreData)) &&
            hasReply) {
            if (size) *size = valueSize;
            if (type) *type = valueType;
            return data ? kMiscMoreData : kMiscSuccess;
        }
        return kMiscSystemError;
    }
    if (!hasReply) {
        SetErrorText(kOpQueryRegistry, u"Invalid return struct.");
        return kMiscSystemError;
    }
    if (data && valueSize > room) {
        *size = valueSize;
        if (type) *type = valueType;
        return kMiscMoreData;
    }
    if (data) {
        if (valueSize > got - 12) {  // the reply claims more data than it carries
            SetErrorText(kOpQueryRegistry, u"Invalid return struct.");
            pf::SetLastErrorCode(kErrorInvalidData);
            return kMiscSystemError;
        }
        std::memcpy(data, reply.get() + 12, valueSize);
    }
    if (size) *size = valueSize;
    if (type) *type = valueType;
    return kMiscSuccess;
}

}  // namespace MiscCommon
