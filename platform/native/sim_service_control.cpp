#include "platform/native/sim_service_control.h"

#include <cstdio>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

// Access rights beyond the ones platform/service_control.h names.
constexpr std::uint32_t kReadControl = 0x00020000;           // STANDARD_RIGHTS_READ/WRITE/EXECUTE
constexpr std::uint32_t kMaximumAllowed = 0x02000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericExecute = 0x20000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kScManagerCreateService = 0x0002;
constexpr std::uint32_t kScManagerEnumerateService = 0x0004;
constexpr std::uint32_t kScManagerLock = 0x0008;
constexpr std::uint32_t kScManagerQueryLockStatus = 0x0010;
constexpr std::uint32_t kScManagerModifyBootConfig = 0x0020;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kServiceEnumerateDependents = 0x0008;
constexpr std::uint32_t kServicePauseContinue = 0x0040;
constexpr std::uint32_t kServiceInterrogate = 0x0080;
constexpr std::uint32_t kServiceUserDefinedControl = 0x0100;

constexpr std::uint32_t kServiceControlPause = 2;
constexpr std::uint32_t kServiceControlContinue = 3;
constexpr std::uint32_t kServiceControlInterrogate = 4;

struct GenericMapping {
    std::uint32_t read, write, execute, all;
};

constexpr GenericMapping kManagerMapping{
    kReadControl | kScManagerEnumerateService | kScManagerQueryLockStatus,
    kReadControl | kScManagerCreateService | kScManagerModifyBootConfig,
    kReadControl | kScManagerConnect | kScManagerLock,
    kScManagerAllAccess,
};

constexpr GenericMapping kServiceMapping{
    kReadControl | kServiceQueryConfig | kServiceQueryStatus | kServiceInterrogate | kServiceEnumerateDependents,
    kReadControl | kServiceChangeConfig,
    kReadControl | kServiceStart | kServiceStop | kServicePauseContinue | kServiceUserDefinedControl,
    kServiceAllAccess,
};

// The specific rights an access mask asks for; MAXIMUM_ALLOWED asks for whatever is granted.
std::uint32_t Requested(std::uint32_t access, const GenericMapping& mapping, std::uint32_t granted) {
    std::uint32_t specific = access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
    if (access & kGenericRead) specific |= mapping.read;
    if (access & kGenericWrite) specific |= mapping.write;
    if (access & kGenericExecute) specific |= mapping.execute;
    if (access & kGenericAll) specific |= mapping.all;
    if (access & kMaximumAllowed) specific |= granted;
    return specific;
}

std::uint32_t StateFromJson(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number >= kServiceStopped && number <= kServiceRunning) return static_cast<std::uint32_t>(number);
    } else if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (text == "stopped") return kServiceStopped;
        if (text == "startPending") return kServiceStartPending;
        if (text == "stopPending") return kServiceStopPending;
        if (text == "running") return kServiceRunning;
    }
    return kServiceStopped;
}

std::uint32_t StartTypeFromJson(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number >= kServiceAutoStart && number <= kServiceDisabled) return static_cast<std::uint32_t>(number);
    } else if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (text == "auto") return kServiceAutoStart;
        if (text == "demand") return kServiceDemandStart;
        if (text == "disabled") return kServiceDisabled;
    }
    return kServiceDemandStart;
}

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool SameName(const std::u16string& a, const char16_t* b) {
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0 || FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return b[i] == 0;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

SimServiceControl::SimServiceControl(const nlohmann::json* section) {
    if (!section || !section->is_object()) return;
    for (auto it = section->begin(); it != section->end(); ++it) {
        const nlohmann::json& entry = it.value();
        if (!entry.is_object()) continue;
        auto installed = entry.find("installed");
        if (installed != entry.end() && installed->is_boolean() && !installed->get<bool>()) continue;
        Service service;
        auto state = entry.find("state");
        if (state != entry.end()) service.state = StateFromJson(*state);
        auto startType = entry.find("startType");
        if (startType != entry.end()) service.startType = StartTypeFromJson(*startType);
        services[Utf8ToUtf16(it.key())] = service;
    }
}

bool SimServiceControl::Failing(Call call) {
    auto it = failures.find(call);
    if (it == failures.end()) return false;
    SetLastErrorCode(it->second);
    return true;
}

SimServiceControl::Service* SimServiceControl::Checked(ScHandle handle, std::uint32_t right) {
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.manager) {
        SetLastErrorCode(kErrorInvalidHandle);
        return nullptr;
    }
    if ((it->second.access & right) != right) {
        SetLastErrorCode(kErrorAccessDenied);
        return nullptr;
    }
    auto service = services.find(it->second.service);
    if (service == services.end()) {
        // Removed from the table while the handle was open.
        SetLastErrorCode(kErrorServiceMarkedForDelete);
        return nullptr;
    }
    return &service->second;
}

std::string SimServiceControl::NameOf(ScHandle handle) const {
    auto it = handles_.find(handle);
    if (it == handles_.end()) return "?";
    return it->second.manager ? std::string("manager") : Utf16ToUtf8(it->second.service);
}

ScHandle SimServiceControl::OpenManager(std::uint32_t access) {
    calls.push_back("OpenManager(" + Hex(access) + ")");
    if (Failing(Call::OpenManager)) return 0;
    // Connecting is implied by opening the manager at all.
    const std::uint32_t requested = Requested(access, kManagerMapping, grantedManagerAccess) | kScManagerConnect;
    if ((requested & ~grantedManagerAccess) != 0) {
        SetLastErrorCode(kErrorAccessDenied);
        return 0;
    }
    const ScHandle handle = next_;
    next_ += 0x10;
    handles_[handle] = Handle{true, {}, requested};
    return handle;
}

ScHandle SimServiceControl::OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) {
    calls.push_back("OpenService(" + (name ? Utf16ToUtf8(name) : std::string("(null)")) + "," + Hex(access) + ")");
    if (Failing(Call::OpenService)) return 0;
    auto owner = handles_.find(manager);
    if (owner == handles_.end() || !owner->second.manager) {
        SetLastErrorCode(kErrorInvalidHandle);
        return 0;
    }
    if (!name || !*name) {
        SetLastErrorCode(kErrorInvalidName);
        return 0;
    }
    auto found = services.begin();
    while (found != services.end() && !SameName(found->first, name)) ++found;
    if (found == services.end()) {
        SetLastErrorCode(kErrorServiceDoesNotExist);
        return 0;
    }
    const std::uint32_t requested = Requested(access, kServiceMapping, grantedServiceAccess);
    if ((requested & ~grantedServiceAccess) != 0) {
        SetLastErrorCode(kErrorAccessDenied);
        return 0;
    }
    const ScHandle handle = next_;
    next_ += 0x10;
    handles_[handle] = Handle{false, found->first, requested};
    return handle;
}

bool SimServiceControl::ChangeStartType(ScHandle handle, std::uint32_t startType) {
    calls.push_back("ChangeStartType(" + NameOf(handle) + "," + std::to_string(startType) + ")");
    if (Failing(Call::ChangeStartType)) return false;
    Service* service = Checked(handle, kServiceChangeConfig);
    if (!service) return false;
    if (startType == kServiceNoChange) return true;
    // Boot and system start are for drivers only.
    if (startType < kServiceAutoStart || startType > kServiceDisabled) {
        SetLastErrorCode(kErrorInvalidParameter);
        return false;
    }
    service->startType = startType;
    return true;
}

bool SimServiceControl::QueryState(ScHandle handle, std::uint32_t* state) {
    calls.push_back("QueryState(" + NameOf(handle) + ")");
    if (Failing(Call::QueryState)) return false;
    Service* service = Checked(handle, kServiceQueryStatus);
    if (!service) return false;
    if (!state) {
        SetLastErrorCode(kErrorInvalidParameter);
        return false;
    }
    *state = service->state;
    return true;
}

bool SimServiceControl::Start(ScHandle handle) {
    calls.push_back("Start(" + NameOf(handle) + ")");
    if (Failing(Call::Start)) return false;
    Service* service = Checked(handle, kServiceStart);
    if (!service) return false;
    if (service->startType == kServiceDisabled) {
        SetLastErrorCode(kErrorServiceDisabled);
        return false;
    }
    if (service->state != kServiceStopped) {
        SetLastErrorCode(kErrorServiceAlreadyRunning);
        return false;
    }
    service->state = kServiceRunning;
    return true;
}

bool SimServiceControl::Control(ScHandle handle, std::uint32_t control, std::uint32_t* state) {
    calls.push_back("Control(" + NameOf(handle) + "," + std::to_string(control) + ")");
    if (Failing(Call::Control)) return false;
    std::uint32_t right = 0;
    if (control == kServiceControlStop) {
        right = kServiceStop;
    } else if (control == kServiceControlPause || control == kServiceControlContinue) {
        right = kServicePauseContinue;
    } else if (control == kServiceControlInterrogate) {
        right = kServiceInterrogate;
    } else if (control >= 128 && control <= 255) {
        right = kServiceUserDefinedControl;
    } else {
        SetLastErrorCode(kErrorInvalidParameter);
        return false;
    }
    Service* service = Checked(handle, right);
    if (!service) return false;
    if (service->state == kServiceStopped) {
        SetLastErrorCode(kErrorServiceNotActive);
        return false;
    }
    if (service->state != kServiceRunning) {
        SetLastErrorCode(kErrorServiceCannotAcceptControl);
        return false;
    }
    if (control == kServiceControlPause || control == kServiceControlContinue) {
        SetLastErrorCode(kErrorInvalidServiceControl);
        return false;
    }
    if (control == kServiceControlStop) service->state = kServiceStopped;
    if (state) *state = service->state;
    return true;
}

void SimServiceControl::CloseHandle(ScHandle handle) {
    calls.push_back("Close(" + NameOf(handle) + ")");
    if (handles_.erase(handle) == 0) SetLastErrorCode(kErrorInvalidHandle);
}

std::shared_ptr<IServiceControl> MakeSimServiceControl(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimServiceControl>(machine ? machine->Section("services") : nullptr);
}

}  // namespace quarro::platform::sim
