// Test tool: holds a named mutex, as a running viewer does, until killed or the time is up.
// usage: hold_mutex NAME READY_FILE SECONDS   (READY_FILE is created once the mutex is held)
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, argv[1]);
    if (!mutex) return 1;
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    Sleep(static_cast<DWORD>(_wtoi(argv[3])) * 1000);
    CloseHandle(mutex);
    return 0;
}
