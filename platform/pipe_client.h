// The pipe-client concern: the client end of a named pipe, with Win32 semantics. The hard-disk
// tab asks the S.M.A.R.T. server through it. On Windows it is always the real pipe (to replay a
// snapshot's disk, Spindle.exe serves it with /machine:<folder>); natively the server's own
// exchange code answers in-process, so a client never knows which end it talks to.
#pragma once

#include <cstdint>

#include "platform/owner.h"

namespace quarro::platform {

using PipeHandle = std::uintptr_t;
inline constexpr PipeHandle kInvalidPipe = ~static_cast<PipeHandle>(0);  // INVALID_HANDLE_VALUE

class IPipeClient {
public:
    virtual ~IPipeClient() = default;

    // CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL):
    // kInvalidPipe with the last error set (2 no server, 231 all instances busy) when it fails.
    virtual PipeHandle Open(const char16_t* name) = 0;
    // WriteFile: false on failure (last error set); `*written` says how many bytes went.
    virtual bool Write(PipeHandle pipe, const void* data, std::uint32_t size, std::uint32_t* written) = 0;
    // ReadFile of at most `size` bytes: false on failure or when the server has closed its end
    // (last error 109); `*read` says how many bytes arrived, which may be fewer than asked.
    virtual bool Read(PipeHandle pipe, void* data, std::uint32_t size, std::uint32_t* read) = 0;
    virtual void Close(PipeHandle pipe) = 0;
};

struct PipeHandleTraits {
    using Interface = IPipeClient;
    using Handle = PipeHandle;
    static PipeHandle None() { return kInvalidPipe; }
    static void Close(IPipeClient& pipes, PipeHandle pipe) {
        const KeepLastError keep;
        pipes.Close(pipe);
    }
};
using OwnedPipe = SeamOwner<PipeHandleTraits>;

}  // namespace quarro::platform
