// Sends the Misc Driver's model-record request (0x222940, 128 bytes of room in a larger buffer)
// twice on one handle of the device and prints one line per request:
//   ok=<0|1> error=<Win32 error> returned=<bytes> buffer=<untouched|written|overrun>
// "overrun" means a byte past the 128 given was changed. For the relay's broken-host cases.
//   device_probe [device path]
#include <windows.h>

#include <cstdio>
#include <cstring>

int wmain(int argc, wchar_t** argv) {
    const wchar_t* path = argc > 1 ? argv[1] : L"\\\\?\\root#mirelta_misc#0000#{80dcc0c5-bd3e-4bc0-8a06-11eae4ae7224}";
    HANDLE device = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        std::printf("open error=%lu\n", GetLastError());
        return 1;
    }
    for (int request = 0; request < 2; ++request) {
        unsigned char buffer[160];
        std::memset(buffer, 0xCC, sizeof(buffer));
        DWORD returned = 0;
        SetLastError(0);
        const BOOL ok = DeviceIoControl(device, 0x222940, nullptr, 0, buffer, 128, &returned, nullptr);
        const DWORD error = ok ? 0 : GetLastError();
        bool written = false, overrun = false;
        for (int i = 0; i < 160; ++i) {
            if (buffer[i] != 0xCC) (i < 128 ? written : overrun) = true;
        }
        std::printf("ok=%d error=%lu returned=%lu buffer=%s\n", ok ? 1 : 0, error, returned,
                    overrun ? "overrun" : written ? "written" : "untouched");
    }
    CloseHandle(device);
    return 0;
}
