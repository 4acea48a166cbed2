// The pipe-client concern on Windows: the real named pipe.
#include <windows.h>

#include <memory>

#include "platform/concerns.h"
#include "platform/pipe_client.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

HANDLE H(PipeHandle pipe) { return reinterpret_cast<HANDLE>(pipe); }

class Win32PipeClient : public IPipeClient {
public:
    PipeHandle Open(const char16_t* name) override {
        HANDLE pipe = CreateFileW(W(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return pipe == INVALID_HANDLE_VALUE ? kInvalidPipe : reinterpret_cast<PipeHandle>(pipe);
    }
    bool Write(PipeHandle pipe, const void* data, std::uint32_t size, std::uint32_t* written) override {
        DWORD done = 0;
        const BOOL ok = WriteFile(H(pipe), data, size, &done, nullptr);
        *written = done;
        return ok != FALSE;
    }
    bool Read(PipeHandle pipe, void* data, std::uint32_t size, std::uint32_t* read) override {
        DWORD done = 0;
        const BOOL ok = ReadFile(H(pipe), data, size, &done, nullptr);
        *read = done;
        return ok != FALSE;
    }
    void Close(PipeHandle pipe) override { CloseHandle(H(pipe)); }
};

}  // namespace

std::shared_ptr<IPipeClient> MakeWin32PipeClient() { return std::make_shared<Win32PipeClient>(); }

}  // namespace quarro::platform::win32
