// The OS identity of the native build, as the "os" section of machine.json describes it (see
// machines/README.md for the fields).
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "platform/os_identity.h"

namespace quarro::platform::sim {

class SimOsIdentity : public IOsIdentity {
public:
    explicit SimOsIdentity(const nlohmann::json* os);

    bool GetNativeSystemInfo(SystemInfo* info) override;
    bool GetVersionRecord(OsVersionInfoEx* info) override;
    int GetSystemMetrics(int index) override;
    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                        std::uint32_t* productType) override;

    // The record the simulated system reports; tests change it to reach other systems.
    OsVersionInfoEx version{};
    bool versionFails = false;          // every GetVersionEx call fails
    bool extendedVersionFails = false;  // only the OSVERSIONINFOEXW-sized call fails
    bool hasNativeSystemInfo = true;
    SystemInfo systemInfo{};
    bool hasProductInfo = true;
    std::uint32_t productType = 0;
    int tabletPc = 0;
    int mediaCenter = 0;
    int starter = 0;
};

}  // namespace quarro::platform::sim
