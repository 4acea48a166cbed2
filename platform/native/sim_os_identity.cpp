#include "platform/native/sim_os_identity.h"

#include <cstring>
#include <string>

#include "platform/concerns.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

SimOsIdentity::SimOsIdentity(const nlohmann::json* os) {
    version.size = kOsVersionInfoExSize;
    version.platformId = SectionField<std::uint32_t>(os, "platformId", 2);
    version.majorVersion = SectionField<std::uint32_t>(os, "major", 6);
    version.minorVersion = SectionField<std::uint32_t>(os, "minor", 1);
    version.buildNumber = SectionField<std::uint32_t>(os, "build", 7601);
    const std::u16string csd = Utf8ToUtf16(SectionField<std::string>(os, "csdVersion", "Service Pack 1"));
    const std::size_t units = csd.size() < 127 ? csd.size() : 127;
    std::memcpy(version.csdVersion, csd.data(), units * sizeof(char16_t));
    version.servicePackMajor = SectionField<std::uint16_t>(os, "servicePackMajor", 1);
    version.servicePackMinor = SectionField<std::uint16_t>(os, "servicePackMinor", 0);
    version.suiteMask = SectionField<std::uint16_t>(os, "suiteMask", 0x100);
    version.productType = SectionField<std::uint8_t>(os, "productType", kVerNtWorkstation);
    versionFails = SectionField<bool>(os, "versionFails", false);

    hasNativeSystemInfo = SectionField<bool>(os, "hasNativeSystemInfo", true);
    systemInfo.processorArchitecture =
        SectionField<std::uint16_t>(os, "processorArchitecture", kProcessorArchitectureAmd64);
    systemInfo.pageSize = 4096;
    systemInfo.numberOfProcessors = SectionField<std::uint32_t>(os, "numberOfProcessors", 2);
    systemInfo.allocationGranularity = 65536;

    hasProductInfo = SectionField<bool>(os, "hasProductInfo", true);
    productType = SectionField<std::uint32_t>(os, "productInfo", 0);
    const nlohmann::json* metrics = nullptr;
    if (os && os->is_object()) {
        auto it = os->find("metrics");
        if (it != os->end()) metrics = &*it;
    }
    tabletPc = SectionField<int>(metrics, "tabletPc", 0);
    mediaCenter = SectionField<int>(metrics, "mediaCenter", 0);
    starter = SectionField<int>(metrics, "starter", 0);
}

bool SimOsIdentity::GetNativeSystemInfo(SystemInfo* info) {
    if (!hasNativeSystemInfo || !info) return false;
    *info = systemInfo;
    return true;
}

bool SimOsIdentity::GetVersionRecord(OsVersionInfoEx* info) {
    if (!info || versionFails) return false;
    if (info->size == kOsVersionInfoSize) {
        std::memcpy(reinterpret_cast<char*>(info) + sizeof(info->size),
                    reinterpret_cast<const char*>(&version) + sizeof(version.size),
                    kOsVersionInfoSize - sizeof(version.size));
        return true;
    }
    if (info->size == kOsVersionInfoExSize) {
        if (extendedVersionFails) return false;
        *info = version;
        info->size = kOsVersionInfoExSize;
        return true;
    }
    return false;
}

int SimOsIdentity::GetSystemMetrics(int index) {
    switch (index) {
    case kSmTabletPc: return tabletPc;
    case kSmMediaCenter: return mediaCenter;
    case kSmStarter: return starter;
    default: return 0;
    }
}

bool SimOsIdentity::GetProductInfo(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t* type) {
    if (!hasProductInfo || !type) return false;
    *type = productType;
    return true;
}

std::shared_ptr<IOsIdentity> MakeSimOsIdentity(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimOsIdentity>(machine ? machine->Section("os") : nullptr);
}

}  // namespace quarro::platform::sim
