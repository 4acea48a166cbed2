// libFuzzer entry point for both sides of the driver channel:
//  - the simulated driver decodes arbitrary request bytes (handshake phases, capsules with inner
//    messages, registry records, Misc packets) on a plain channel, so the bytes reach the inner
//    decoders;
//  - the session client decodes arbitrary reply bytes for capsule exchanges, registry queries,
//    Misc packets and the model record.
// Neither may crash, read or write past a buffer, or leave the device open.
// Built by the fuzz preset; a short run is a test, tools/fuzz.sh runs it for longer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/misc_common.h"
#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/sim/misc_driver.h"
#include "platform/native/sim_clock.h"

namespace pf = quarro::platform;

namespace {

// A device whose every capsule reply is the fuzz input; the probe refuses the cipher.
class FuzzDevice : public pf::IDeviceInterfaces {
public:
    const std::uint8_t* reply = nullptr;
    std::size_t replySize = 0;
    bool open = false;

    pf::DeviceInfoSet GetClassDevs(const pf::Guid&, std::uint32_t) override { return 1; }
    void DestroyDeviceInfoList(pf::DeviceInfoSet) override {}
    bool EnumDeviceInterfaces(pf::DeviceInfoSet, const pf::Guid& cls, std::uint32_t index,
                              pf::DeviceInterfaceRef* out) override {
        if (index != 0) return false;
        out->interfaceClass = cls;
        return true;
    }
    bool GetDeviceInterfaceDetail(pf::DeviceInfoSet, const pf::DeviceInterfaceRef&, std::uint32_t room,
                                  std::uint32_t* requiredSize, std::u16string* path, pf::DeviceInstanceRef*) override {
        if (requiredSize) *requiredSize = 16;
        if (room < 16) {
            pf::SetLastErrorCode(pf::kErrorInsufficientBuffer);
            return false;
        }
        if (path) *path = u"\\\\?\\fuzz";
        return true;
    }
    long QueryDriverKeyValue(pf::DeviceInfoSet, const pf::DeviceInstanceRef&, const char16_t*, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* size, bool* opened) override {
        static const char16_t kVersion[] = u"1.0.900.0";
        if (opened) *opened = true;
        if (type) *type = pf::kRegSz;
        if (!size) return pf::kErrorInvalidParameter;
        if (!data || *size < sizeof(kVersion)) {
            *size = sizeof(kVersion);
            return data ? pf::kErrorMoreData : 0;
        }
        std::memcpy(data, kVersion, sizeof(kVersion));
        *size = sizeof(kVersion);
        return 0;
    }
    pf::DeviceHandle CreateFile(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t) override {
        open = true;
        return 7;
    }
    bool DeviceIoControl(pf::DeviceHandle, std::uint32_t code, const void*, std::uint32_t, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override {
        *returned = 0;
        if (code == 0x222000) {
            pf::SetLastErrorCode(pf::kErrorNotSupported);
            return false;
        }
        const std::size_t n = replySize < outSize ? replySize : outSize;
        if (out && n) std::memcpy(out, reply, n);
        *returned = static_cast<std::uint32_t>(n);
        const bool ok = replySize == 0 || (reply[0] & 1) == 0;
        if (!ok) pf::SetLastErrorCode(reply[0] & 2 ? pf::kErrorMoreData : pf::kErrorGenFailure);
        return ok;
    }
    void CloseHandle(pf::DeviceHandle) override { open = false; }
};

void FuzzDriver(const std::uint8_t* data, std::size_t size) {
    static const nlohmann::json section = nlohmann::json::parse(
        R"({"present": true, "cipher": false, "driverVersion": "1.0.900.0",
            "settings": {"2": {"bits": 2, "value": 1}}, "biosExtensionTables": {"13": "0D 00 10"}})");
    static const std::uint32_t kCodes[] = {0x222000, 0x222004, 0x222008, 0x222940, 0x222008, 0x222008};
    quarro::platform::sim::SimMiscDriver driver(&section);
    driver.Seed(1);
    driver.OnOpen();
    // Several requests in a row from one input: a length byte, a code byte, then the request.
    std::size_t at = 0;
    std::vector<std::uint8_t> out(4096);
    while (at + 2 <= size) {
        const std::size_t length = data[at];
        const std::uint32_t code = kCodes[data[at + 1] % 6];
        at += 2;
        const std::size_t n = length < size - at ? length : size - at;
        std::uint32_t returned = 0;
        const std::uint32_t outSize = static_cast<std::uint32_t>(data[at - 2] * 16 % out.size());
        driver.DeviceIoControl(code, n ? data + at : nullptr, static_cast<std::uint32_t>(n), outSize ? out.data() : nullptr,
                               outSize, &returned);
        if (returned > outSize) std::abort();
        at += n;
    }
    driver.OnClose();
}

void FuzzClient(const std::uint8_t* data, std::size_t size) {
    FuzzDevice device;
    device.reply = data;
    device.replySize = size;
    pf::sim::FakeClock clock;
    pf::sim::MemoryRegistry registry;
    pf::Services s;
    s.devices = &device;
    s.clock = &clock;
    s.registry = &registry;
    pf::ScopedOverride scoped(s);
    {
        MiscCommon::CMiscCommon session;
        if (session.Open() != 0) std::abort();  // the crafted device always opens, without cipher
        std::uint8_t output[64];
        std::uint32_t returned = 0;
        const std::uint8_t input[5] = {1, 2, 3, 4, 5};
        session.EncapsuledDeviceIoControl(0x222944, input, sizeof(input), output, sizeof(output), &returned);
        if (returned > sizeof(output)) std::abort();
        std::uint8_t packet[32] = {0x0C, 0x01, 32, 0, 32, 0};
        session.CallMiscFunction(packet, sizeof(packet), 1, 100);
        std::uint32_t type = 0;
        std::uint8_t value[16];
        std::uint32_t valueSize = sizeof(value);
        session.QueryRegistry(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", u"Value", &type, value, &valueSize);
        std::uint32_t sizeOnly = 0;
        session.QueryRegistry(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", u"Value", &type, nullptr, &sizeOnly);
        int exists = 0;
        session.RegKeyExists(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta", &exists);
        std::uint8_t model[20];
        std::uint32_t modelSize = sizeof(model);
        session.GetModelNumber(1, model, &modelSize);
        std::uint8_t table[32];
        std::uint32_t tableSize = sizeof(table);
        session.GetBiosExtensionTable2(13, table, &tableSize);
    }
    if (device.open) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 0x80) {
        FuzzDriver(data + 1, size - 1);
    } else {
        FuzzClient(data + 1, size - 1);
    }
    return 0;
}
