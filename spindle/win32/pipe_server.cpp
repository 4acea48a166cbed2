#include "spindle/win32/pipe_server.h"

#include <sddl.h>

#include <cstdio>
#include <vector>

#include "platform/win32/handles.h"
#include "smart/exchange.h"

namespace quarro::spindle {

namespace {

using quarro::win32::FileHandleTraits;
using quarro::win32::KernelHandleTraits;
using quarro::win32::UniqueHandle;

// Network logons are denied outright (older systems know no PIPE_REJECT_REMOTE_CLIENTS); SYSTEM
// and administrators have full access; interactive users may read and write data but not create
// instances of the pipe, so nobody else can serve under our name.
constexpr wchar_t kPipeSddl[] = L"D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x12008B;;;IU)";

constexpr DWORD kOutBuffer = 4096;  // holds the largest answer, so writing never waits on the client
constexpr DWORD kInBuffer = 64;

struct LocalMemoryTraits {
    using Handle = PSECURITY_DESCRIPTOR;
    static PSECURITY_DESCRIPTOR None() { return nullptr; }
    static void Close(PSECURITY_DESCRIPTOR memory) { LocalFree(memory); }
};

enum class Wait { Done, Failed, TimedOut, Stopped };

// Waits for overlapped I/O on `pipe` to finish, at most `timeout`, or until `stop`. I/O that does
// not finish is cancelled and waited for, so `overlapped` is free again on return.
Wait Finish(HANDLE pipe, OVERLAPPED* overlapped, BOOL started, HANDLE stop, DWORD timeout, DWORD* bytes) {
    *bytes = 0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return error == ERROR_PIPE_CONNECTED ? Wait::Done : Wait::Failed;
        const HANDLE events[2] = {overlapped->hEvent, stop};
        const DWORD which = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (which != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, overlapped, bytes, TRUE);
            return which == WAIT_OBJECT_0 + 1 ? Wait::Stopped : Wait::TimedOut;
        }
    }
    return GetOverlappedResult(pipe, overlapped, bytes, FALSE) ? Wait::Done : Wait::Failed;
}

const char* Name(Wait wait) {
    switch (wait) {
    case Wait::Done: return "done";
    case Wait::Failed: return "failed";
    case Wait::TimedOut: return "timed out";
    case Wait::Stopped: return "stopped";
    }
    return "?";
}

void Log(bool log, const char* text, const char* detail = "", unsigned value = 0) {
    if (!log) return;
    std::printf("spindle: %s%s %u\n", text, detail, value);
    std::fflush(stdout);
}

HANDLE CreatePipe(SECURITY_ATTRIBUTES* security) {
    const DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
    const DWORD access = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
    const wchar_t* name = reinterpret_cast<const wchar_t*>(smart::kPipeName);
    HANDLE pipe = CreateNamedPipeW(name, access, mode | PIPE_REJECT_REMOTE_CLIENTS, 1, kOutBuffer, kInBuffer, 0,
                                   security);
    // Systems before Vista refuse the flag; the DACL's network deny stands in for it there.
    if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
        pipe = CreateNamedPipeW(name, access, mode, 1, kOutBuffer, kInBuffer, 0, security);
    }
    return pipe;
}

// One client, from its connection to its drop.
void ServeClient(platform::IStorage& storage, HANDLE pipe, OVERLAPPED* overlapped, HANDLE stop, bool log) {
    DWORD bytes = 0;
    std::uint8_t mode = 0;
    ResetEvent(overlapped->hEvent);
    Wait wait = Finish(pipe, overlapped, ReadFile(pipe, &mode, 1, nullptr, overlapped), stop, kClientTimeoutMs, &bytes);
    if (wait != Wait::Done || bytes != 1) {
        Log(log, "dropped a client without a request: ", Name(wait), bytes);
        return;
    }
    std::vector<std::uint8_t> reply;
    if (!smart::AnswerRequest(mode, storage, &reply)) {
        Log(log, "refused request mode", "", mode);
        return;
    }
    ResetEvent(overlapped->hEvent);
    wait = Finish(pipe, overlapped,
                  WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, overlapped), stop,
                  kClientTimeoutMs, &bytes);
    if (wait != Wait::Done || bytes != reply.size()) {
        Log(log, "dropped a client while answering: ", Name(wait), bytes);
        return;
    }
    // The answer must be read before the instance is disconnected (which would discard it): the
    // client closes its end when it has read it, and that ends this read.
    std::uint8_t extra = 0;
    ResetEvent(overlapped->hEvent);
    wait = Finish(pipe, overlapped, ReadFile(pipe, &extra, 1, nullptr, overlapped), stop, kClientTimeoutMs, &bytes);
    Log(log, wait == Wait::TimedOut ? "answered, client kept the pipe, mode" : "answered mode", "", mode);
}

}  // namespace

DWORD ServePipe(platform::IStorage& storage, HANDLE stop, bool log) {
    UniqueHandle<LocalMemoryTraits> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSddl, SDDL_REVISION_1, descriptor.Put(), nullptr)) {
        return GetLastError();
    }
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.Get(), FALSE};
    const UniqueHandle<FileHandleTraits> pipe(CreatePipe(&security));
    if (!pipe) return GetLastError();
    const UniqueHandle<KernelHandleTraits> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return GetLastError();
    Log(log, "listening", "", 0);
    for (;;) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event.Get();
        ResetEvent(event.Get());
        DWORD bytes = 0;
        const Wait connected =
            Finish(pipe.Get(), &overlapped, ConnectNamedPipe(pipe.Get(), &overlapped), stop, INFINITE, &bytes);
        if (connected == Wait::Stopped) return 0;
        if (connected == Wait::Done) ServeClient(storage, pipe.Get(), &overlapped, stop, log);
        DisconnectNamedPipe(pipe.Get());
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return 0;
    }
}

}  // namespace quarro::spindle
