#include "relay_exchange.h"

#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "relay_protocol.h"

namespace quarro::relay {

FrameResult ServeFrame(platform::sim::SimMiscDriver& driver, const ReadExact& read, const WriteAll& write,
                       HostFault fault) {
    RelayRequest request{};
    if (!read(&request, sizeof(request))) return FrameResult::Closed;
    if (request.magic != RELAY_REQUEST_MAGIC || request.reserved != 0 || request.inSize > RELAY_MAX_BYTES ||
        request.outCapacity > RELAY_MAX_BYTES) {
        return FrameResult::Broken;
    }
    std::vector<std::uint8_t> in(request.inSize);
    if (!in.empty() && !read(in.data(), in.size())) return FrameResult::Broken;

    std::vector<std::uint8_t> out(request.outCapacity);
    std::uint32_t returned = 0;
    const bool ok = driver.DeviceIoControl(request.code, in.empty() ? nullptr : in.data(), request.inSize,
                                           out.empty() ? nullptr : out.data(), request.outCapacity, &returned);
    std::uint32_t error = ok ? 0 : platform::GetLastErrorCode();
    if (!ok && error == 0) error = 31;  // ERROR_GEN_FAILURE: a failure never travels as success
    // The host keeps no history of a connection that may live for days.
    driver.ClearCalls();
    if (returned > request.outCapacity) returned = 0;

    if (fault == HostFault::HangUp) return FrameResult::Closed;
    if (fault == HostFault::Oversize) {
        returned = request.outCapacity + 8;
        out.resize(returned, 0xEE);
    }
    RelayReply reply{fault == HostFault::BadMagic ? RELAY_REQUEST_MAGIC : RELAY_REPLY_MAGIC, error, returned};
    std::vector<std::uint8_t> frame(sizeof(reply) + returned);
    std::memcpy(frame.data(), &reply, sizeof(reply));
    if (returned) std::memcpy(frame.data() + sizeof(reply), out.data(), returned);
    return write(frame.data(), frame.size()) ? FrameResult::Served : FrameResult::Closed;
}

}  // namespace quarro::relay
