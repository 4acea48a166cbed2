// A client of the S.M.A.R.T. pipe for the Wine tests of Spindle.exe, over the real named pipe.
//
//   smart_pipe_client ask MODE          the hard-disk tab's exchange: mode byte, count, entries
//                                       (count >= 1), sector (mode 3); prints what arrived
//   smart_pipe_client stall MS          opens the pipe, sends nothing for MS ms, then tells
//                                       whether the server has dropped it
//   smart_pipe_client send HEX          sends these bytes (none: connects and closes) and prints
//                                       how many bytes came back
//
// Opening retries every 100 ms for up to 10 s while the server is absent or busy. Exit 0 when the
// step worked, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kPipe[] = L"\\\\.\\pipe\\MireltaQuarroPipeSVName";

HANDLE OpenPipe() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE pipe = CreateFileW(kPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) return pipe;
        Sleep(100);
    }
    std::printf("open failed %lu\n", GetLastError());
    return INVALID_HANDLE_VALUE;
}

// Reads exactly `size` bytes (several reads if the pipe hands them out in parts).
bool ReadAll(HANDLE pipe, void* data, DWORD size) {
    DWORD got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(pipe, static_cast<char*>(data) + got, size - got, &n, nullptr) || n == 0) return false;
        got += n;
    }
    return true;
}

int Ask(unsigned mode) {
    HANDLE pipe = OpenPipe();
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    const unsigned char byte = static_cast<unsigned char>(mode);
    DWORD n = 0;
    int count = 0;
    unsigned char entries[310] = {};
    unsigned char sector[512] = {};
    bool ok = WriteFile(pipe, &byte, 1, &n, nullptr) && n == 1 && ReadAll(pipe, &count, 4);
    bool haveEntries = false, haveSector = false;
    if (ok && count >= 1) ok = haveEntries = ReadAll(pipe, entries, sizeof entries);
    if (ok && mode == 3) haveSector = ReadAll(pipe, sector, sizeof sector);
    CloseHandle(pipe);
    if (!ok) {
        std::printf("exchange failed %lu\n", GetLastError());
        return 1;
    }
    std::printf("count=%d", count);
    if (haveEntries) {
        std::printf(" entry13=");
        for (int i = 0; i < 10; ++i) std::printf("%02x", entries[13 * 10 + i]);
    }
    if (haveSector) {
        unsigned sum = 0;
        for (unsigned char b : sector) sum += b;
        std::printf(" sector=%02x%02x sum=%02x", sector[0], sector[1], sum & 0xFF);
    }
    std::printf("\n");
    return 0;
}

int Stall(DWORD ms) {
    HANDLE pipe = OpenPipe();
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    std::printf("holding\n");
    std::fflush(stdout);
    Sleep(ms);
    const unsigned char byte = 0;
    DWORD n = 0;
    int count = 0;
    const bool answered = WriteFile(pipe, &byte, 1, &n, nullptr) && ReadAll(pipe, &count, 4);
    CloseHandle(pipe);
    std::printf(answered ? "still connected\n" : "dropped\n");
    return answered ? 1 : 0;
}

int Send(const char* hex) {
    std::vector<unsigned char> bytes;
    for (const char* p = hex; p[0] && p[1]; p += 2) bytes.push_back(static_cast<unsigned char>(std::strtoul(std::string(p, 2).c_str(), nullptr, 16)));
    HANDLE pipe = OpenPipe();
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    DWORD n = 0;
    if (!bytes.empty() && !WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) {
        std::printf("write failed %lu\n", GetLastError());
    }
    DWORD total = 0;
    if (!bytes.empty()) {
        unsigned char buffer[1024];
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) total += n;
    }
    CloseHandle(pipe);
    std::printf("reply=%lu\n", total);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "ask") return Ask(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 0)));
    if (argc >= 3 && std::string(argv[1]) == "stall") return Stall(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0)));
    if (argc >= 2 && std::string(argv[1]) == "send") return Send(argc >= 3 ? argv[2] : "");
    std::fprintf(stderr, "usage: smart_pipe_client ask MODE | stall MS | send HEX\n");
    return 2;
}
