// The firmware host's frame rules: a request is answered exactly as the simulated driver answers
// it directly, and a frame that breaks the rules is never answered.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "relay_exchange.h"
#include "relay_protocol.h"

namespace sim = quarro::platform::sim;
namespace relay = quarro::relay;

namespace {

using Bytes = std::vector<std::uint8_t>;

const nlohmann::json kSection = nlohmann::json::parse(R"({
  "driverVersion": "1.0.900.0",
  "modelRecord": { "modelName": "MIRELTA NB-7420", "modelNumber": "NB7420C2BKEA",
                   "serialNumber": { "prefix": "3LKSA", "number": 48213 }, "biosVersion": "0220130012" }
})");

Bytes Frame(std::uint32_t magic, std::uint32_t code, const Bytes& in, std::uint32_t outCapacity,
            std::uint32_t declaredIn = ~0u, std::uint32_t reserved = 0) {
    const RelayRequest request{magic, code, declaredIn == ~0u ? static_cast<std::uint32_t>(in.size()) : declaredIn,
                               outCapacity, reserved};
    Bytes frame(sizeof(request));
    std::memcpy(frame.data(), &request, sizeof(request));
    frame.insert(frame.end(), in.begin(), in.end());
    return frame;
}

struct Stream {
    Bytes input;
    std::size_t at = 0;
    Bytes output;
    relay::ReadExact Reader() {
        return [this](void* data, std::size_t size) {
            if (input.size() - at < size) return false;
            std::memcpy(data, input.data() + at, size);
            at += size;
            return true;
        };
    }
    relay::WriteAll Writer() {
        return [this](const void* data, std::size_t size) {
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            output.insert(output.end(), bytes, bytes + size);
            return true;
        };
    }
};

// The reply the relay must carry: the driver's own answer to the same call.
Bytes DirectReply(std::uint32_t code, const Bytes& in, std::uint32_t outCapacity) {
    sim::SimMiscDriver driver(&kSection);
    driver.OnOpen();
    Bytes out(outCapacity);
    std::uint32_t returned = 0;
    const bool ok = driver.DeviceIoControl(code, in.empty() ? nullptr : in.data(), static_cast<std::uint32_t>(in.size()),
                                           out.empty() ? nullptr : out.data(), outCapacity, &returned);
    const RelayReply reply{RELAY_REPLY_MAGIC, ok ? 0u : quarro::platform::GetLastErrorCode(), returned};
    Bytes frame(sizeof(reply));
    std::memcpy(frame.data(), &reply, sizeof(reply));
    frame.insert(frame.end(), out.begin(), out.begin() + returned);
    return frame;
}

TEST(RelayExchange, RepliesAsTheDriverDoes) {
    struct Case {
        const char* what;
        std::uint32_t code;
        Bytes in;
        std::uint32_t outCapacity;
        std::uint32_t error;
    } cases[] = {
        {"model record", sim::kIoctlModelRecord, {}, 128, 0},
        {"model record into too little room", sim::kIoctlModelRecord, {}, 16, 122},
        {"handshake probe", sim::kIoctlHandshake, {}, 0, 0},
        {"malformed phase 1", sim::kIoctlHandshake, Bytes(12, 0x49), 160, 87},
        {"unknown code", 0x222FFC, {1, 2, 3, 4}, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SimMiscDriver driver(&kSection);
        driver.OnOpen();
        Stream stream;
        stream.input = Frame(RELAY_REQUEST_MAGIC, c.code, c.in, c.outCapacity);
        EXPECT_EQ(relay::ServeFrame(driver, stream.Reader(), stream.Writer()), relay::FrameResult::Served);
        const Bytes expected = DirectReply(c.code, c.in, c.outCapacity);
        EXPECT_EQ(stream.output, expected);
        RelayReply reply{};
        ASSERT_GE(stream.output.size(), sizeof(reply));
        std::memcpy(&reply, stream.output.data(), sizeof(reply));
        EXPECT_EQ(reply.error, c.error);
        EXPECT_LE(reply.returned, c.outCapacity);
        EXPECT_TRUE(driver.Calls().empty()) << "a connection keeps no call history";
    }
}

TEST(RelayExchange, BrokenFramesAreNeverAnswered) {
    struct Case {
        const char* what;
        Bytes input;
        relay::FrameResult result;
    } cases[] = {
        {"peer left between frames", {}, relay::FrameResult::Closed},
        {"half a header", Bytes(7, 0), relay::FrameResult::Closed},
        {"wrong magic", Frame(RELAY_REPLY_MAGIC, sim::kIoctlModelRecord, {}, 128), relay::FrameResult::Broken},
        {"reserved word set", Frame(RELAY_REQUEST_MAGIC, sim::kIoctlModelRecord, {}, 128, ~0u, 1),
         relay::FrameResult::Broken},
        {"input over the bound", Frame(RELAY_REQUEST_MAGIC, sim::kIoctlCapsule, {}, 0, RELAY_MAX_BYTES + 1),
         relay::FrameResult::Broken},
        {"capacity over the bound", Frame(RELAY_REQUEST_MAGIC, sim::kIoctlModelRecord, {}, RELAY_MAX_BYTES + 1),
         relay::FrameResult::Broken},
        {"input shorter than declared", Frame(RELAY_REQUEST_MAGIC, sim::kIoctlCapsule, Bytes(10, 0), 64, 24),
         relay::FrameResult::Broken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SimMiscDriver driver(&kSection);
        Stream stream;
        stream.input = c.input;
        EXPECT_EQ(relay::ServeFrame(driver, stream.Reader(), stream.Writer()), c.result);
        EXPECT_TRUE(stream.output.empty());
    }
}

}  // namespace
