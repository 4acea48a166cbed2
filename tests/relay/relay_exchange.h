// The firmware host's side of the relay exchange (relay_protocol.h): reads one request from a
// connection, has the simulated driver serve it and writes the reply. Portable, so that the frame
// rules are tested natively against the same driver the Windows host runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/sim/misc_driver.h"

namespace quarro::relay {

// Moves exactly `size` bytes; false when the connection ended or failed.
using ReadExact = std::function<bool(void* data, std::size_t size)>;
using WriteAll = std::function<bool(const void* data, std::size_t size)>;

enum class FrameResult {
    Served,  // a reply was written; the connection goes on
    Closed,  // the peer left between frames (or the reply could not be written)
    Broken,  // the request broke the exchange's rules; nothing was answered, drop the connection
};

// A host that breaks the exchange on purpose, to prove the relay holds its bounds.
enum class HostFault {
    None,
    Oversize,  // the reply claims, and sends, 8 bytes more than the caller's capacity
    BadMagic,  // the reply's magic is wrong
    HangUp,    // the connection is dropped instead of a reply
};

// Serves one request on `driver`. The reply carries the driver's Win32 error and at most the
// request's output capacity in bytes (unless `fault` says otherwise).
FrameResult ServeFrame(platform::sim::SimMiscDriver& driver, const ReadExact& read, const WriteAll& write,
                       HostFault fault = HostFault::None);

}  // namespace quarro::relay
