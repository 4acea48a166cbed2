// The service-control concern: the calls the programs make on the service control manager, with
// Win32 semantics and Win32 values. Handles are opaque; 0 is failure (last error set).
#pragma once

#include <cstdint>

namespace quarro::platform {

using ScHandle = std::uintptr_t;

inline constexpr std::uint32_t kScManagerConnect = 0x0001;
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceQueryConfig = 0x0001;
inline constexpr std::uint32_t kServiceChangeConfig = 0x0002;
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;
inline constexpr std::uint32_t kServiceStart = 0x0010;
inline constexpr std::uint32_t kServiceStop = 0x0020;

inline constexpr std::uint32_t kServiceNoChange = 0xFFFFFFFFu;
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceDisabled = 4;

inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;

inline constexpr std::uint32_t kServiceControlStop = 1;

class IServiceControl {
public:
    virtual ~IServiceControl() = default;
    virtual ScHandle OpenManager(std::uint32_t access) = 0;                         // OpenSCManagerW(NULL, NULL, access)
    virtual ScHandle OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) = 0;  // OpenServiceW
    // ChangeServiceConfigW changing only the start type (everything else SERVICE_NO_CHANGE/null).
    virtual bool ChangeStartType(ScHandle service, std::uint32_t startType) = 0;
    // QueryServiceStatus: dwCurrentState.
    virtual bool QueryState(ScHandle service, std::uint32_t* state) = 0;
    virtual bool Start(ScHandle service) = 0;                            // StartServiceW, no arguments
    virtual bool Control(ScHandle service, std::uint32_t control, std::uint32_t* state) = 0;  // ControlService
    virtual void CloseHandle(ScHandle handle) = 0;                       // CloseServiceHandle
};

}  // namespace quarro::platform
