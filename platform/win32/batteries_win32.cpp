// The battery concern on Windows: SetupAPI finds the battery interfaces, each battery is opened
// for overlapped I/O and asked with the battery class driver's requests. Every request waits for
// its own completion (the tag and status requests carry their own wait for the driver; the
// thread waits that long and a margin more, then cancels), and every reply's size is checked.
#include "platform/battery.h"

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/concerns.h"
#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

const GUID kBatteryClass = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};

constexpr DWORD kQueryTag = 0x294040;
constexpr DWORD kQueryInformation = 0x294044;
constexpr DWORD kQueryStatus = 0x29404C;

enum Level : std::uint32_t { kLevelInformation = 0, kLevelEstimatedTime = 3, kLevelDeviceName = 4 };

// BATTERY_QUERY_INFORMATION and BATTERY_WAIT_STATUS as the driver reads them.
struct QueryInformationIn {
    ULONG tag;
    ULONG level;
    LONG atRate;
};
static_assert(sizeof(QueryInformationIn) == 12, "BATTERY_QUERY_INFORMATION layout");
struct WaitStatusIn {
    ULONG tag;
    ULONG timeout;
    ULONG powerState;
    ULONG lowCapacity;
    ULONG highCapacity;
};
static_assert(sizeof(WaitStatusIn) == 20, "BATTERY_WAIT_STATUS layout");

// A request that needs no wait of its own still gets this long before it is cancelled; a
// battery driver that never answers must not hold its caller for ever.
constexpr DWORD kAnswerMarginMs = 5000;

HANDLE Device(BatteryHandle battery) { return reinterpret_cast<HANDLE>(battery); }
HDEVINFO Set(BatterySet set) { return reinterpret_cast<HDEVINFO>(set); }

// DeviceIoControl on an overlapped handle, waiting up to `waitMs` + the margin for the answer.
// `*returned` is the byte count the driver gave back.
bool Request(BatteryHandle battery, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
             DWORD waitMs, DWORD* returned) {
    *returned = 0;
    const quarro::win32::UniqueHandle<quarro::win32::KernelHandleTraits> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    if (DeviceIoControl(Device(battery), code, const_cast<void*>(in), inSize, out, outSize, returned, &overlapped)) {
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) return false;
    quarro::win32::PendingIo pending(Device(battery), &overlapped);
    if (WaitForSingleObject(event.Get(), waitMs + kAnswerMarginMs) != WAIT_OBJECT_0) {
        SetLastError(WAIT_TIMEOUT);
        return false;  // the guard cancels the request and waits for it to end
    }
    const BOOL done = GetOverlappedResult(Device(battery), &overlapped, returned, FALSE);
    pending.Completed();
    return done != FALSE;
}

bool QueryLevel(BatteryHandle battery, std::uint32_t tag, Level level, void* out, DWORD size, DWORD* returned) {
    const QueryInformationIn in = {tag, level, 0};
    return Request(battery, kQueryInformation, &in, sizeof in, out, size, 0, returned);
}

bool WrongSize(DWORD returned, DWORD expected) {
    if (returned == expected) return false;
    SetLastError(ERROR_INVALID_DATA);
    return true;
}

class Win32Batteries : public IBatteries {
public:
    BatterySet OpenSet(std::uint32_t flags) override {
        const HDEVINFO set = SetupDiGetClassDevsW(&kBatteryClass, nullptr, nullptr, flags);
        return set == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<BatterySet>(set);
    }

    bool InterfacePath(BatterySet set, std::uint32_t index, std::u16string* path) override {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof(data);
        if (!SetupDiEnumDeviceInterfaces(Set(set), nullptr, &kBatteryClass, index, &data)) return false;
        DWORD required = 0;
        if (SetupDiGetDeviceInterfaceDetailW(Set(set), &data, nullptr, 0, &required, nullptr) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
        const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        if (required <= offset || required > 64 * 1024) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        // One spare unit keeps the path terminated whatever SetupAPI wrote.
        std::vector<std::uint8_t> buffer(required + sizeof(WCHAR), 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(Set(set), &data, detail, required, nullptr, nullptr)) return false;
        const auto* units = reinterpret_cast<const char16_t*>(buffer.data() + offset);
        const std::size_t room = (buffer.size() - offset) / sizeof(WCHAR);
        std::size_t length = 0;
        while (length < room && units[length] != 0) ++length;
        if (path) path->assign(units, length);
        return true;
    }

    void CloseSet(BatterySet set) override {
        if (set) SetupDiDestroyDeviceInfoList(Set(set));
    }

    BatteryHandle Open(const char16_t* path) override {
        const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        return handle == INVALID_HANDLE_VALUE ? kNoBattery : reinterpret_cast<BatteryHandle>(handle);
    }

    void Close(BatteryHandle battery) override {
        if (battery != kNoBattery) CloseHandle(Device(battery));
    }

    bool QueryTag(BatteryHandle battery, std::uint32_t waitMs, std::uint32_t* tag) override {
        ULONG wait = waitMs;
        ULONG answer = 0;
        DWORD returned = 0;
        if (tag) *tag = 0;
        if (!Request(battery, kQueryTag, &wait, sizeof wait, &answer, sizeof answer, waitMs, &returned)) return false;
        if (WrongSize(returned, sizeof answer)) return false;
        if (answer == 0) {  // BATTERY_TAG_INVALID: the slot is empty
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if (tag) *tag = answer;
        return true;
    }

    bool QueryDeviceName(BatteryHandle battery, std::uint32_t tag, std::u16string* name) override {
        char16_t text[kBatteryNameReplyBytes / 2] = {};
        DWORD returned = 0;
        if (!QueryLevel(battery, tag, kLevelDeviceName, text, sizeof text, &returned)) return false;
        std::size_t length = returned / 2 < kBatteryNameMaxChars ? returned / 2 : kBatteryNameMaxChars;
        std::size_t end = 0;
        while (end < length && text[end] != 0) ++end;
        if (name) name->assign(text, end);
        return true;
    }

    bool QueryInformation(BatteryHandle battery, std::uint32_t tag, BatteryInformation* info) override {
        BatteryInformation answer;
        DWORD returned = 0;
        if (!QueryLevel(battery, tag, kLevelInformation, &answer, sizeof answer, &returned)) return false;
        if (WrongSize(returned, sizeof answer)) return false;
        if (info) *info = answer;
        return true;
    }

    bool QueryEstimatedTime(BatteryHandle battery, std::uint32_t tag, std::uint32_t* seconds) override {
        ULONG answer = 0;
        DWORD returned = 0;
        if (!QueryLevel(battery, tag, kLevelEstimatedTime, &answer, sizeof answer, &returned)) return false;
        if (WrongSize(returned, sizeof answer)) return false;
        if (seconds) *seconds = answer;
        return true;
    }

    bool QueryStatus(BatteryHandle battery, std::uint32_t tag, std::uint32_t waitMs, BatteryStatus* status) override {
        const WaitStatusIn in = {tag, waitMs, 0, 0, 0};
        BatteryStatus answer;
        DWORD returned = 0;
        if (!Request(battery, kQueryStatus, &in, sizeof in, &answer, sizeof answer, waitMs, &returned)) return false;
        if (WrongSize(returned, sizeof answer)) return false;
        if (status) *status = answer;
        return true;
    }
};

}  // namespace

std::shared_ptr<IBatteries> MakeWin32Batteries() { return std::make_shared<Win32Batteries>(); }

}  // namespace quarro::platform::win32
