// Test double of the maker's start-up utility library (VELOSTLIB.dll), never shipped: the eight
// queries the PC Status tab asks, with values from QUARRO_VELOSTART. That variable holds eight
// comma-separated fields in this order:
//   DisablePagingExecutive, DisableDelayedDesktopSwitch, DisablePeriodicallyRecoveryPointCreation,
//   VelostartConfig (three numbers joined by ':'), NoGUIBootBySvc, EnableReadyBoot,
//   VelostartDelayHibernation, UseTPM
// A field "x" makes that query fail (return 0). Without the variable every query fails.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Field `index` of QUARRO_VELOSTART into up to three words; false when it is missing or "x".
bool Field(int index, std::uint32_t words[3]) {
    char text[256] = {};
    const DWORD length = GetEnvironmentVariableA("QUARRO_VELOSTART", text, sizeof(text));
    if (length == 0 || length >= sizeof(text)) return false;
    char* p = text;
    for (int i = 0; i < index; ++i) {
        p = std::strchr(p, ',');
        if (!p) return false;
        ++p;
    }
    if (*p == 'x' || *p == ',' || *p == 0) return false;
    for (int w = 0; w < 3; ++w) {
        char* end = nullptr;
        words[w] = static_cast<std::uint32_t>(std::strtoul(p, &end, 10));
        if (*end != ':') break;
        p = end + 1;
    }
    return true;
}

int Answer(int index, std::uint32_t* result, int words) {
    std::uint32_t values[3] = {};
    if (!result || !Field(index, values)) return 0;
    for (int w = 0; w < words; ++w) result[w] = values[w];
    return 1;
}

}  // namespace

extern "C" {
__declspec(dllexport) int WINAPI Get_DisablePagingExecutive(std::uint32_t* r) { return Answer(0, r, 1); }
__declspec(dllexport) int WINAPI Get_DisableDelayedDesktopSwitch(std::uint32_t* r) { return Answer(1, r, 1); }
__declspec(dllexport) int WINAPI Get_DisablePeriodicallyRecoveryPointCreation(std::uint32_t* r) { return Answer(2, r, 1); }
__declspec(dllexport) int WINAPI Get_VelostartConfig(std::uint32_t* r) { return Answer(3, r, 3); }
__declspec(dllexport) int WINAPI Get_NoGUIBootBySvc(std::uint32_t* r) { return Answer(4, r, 1); }
__declspec(dllexport) int WINAPI Get_EnableReadyBoot(std::uint32_t* r) { return Answer(5, r, 1); }
__declspec(dllexport) int WINAPI Get_VelostartDelayHibernation(std::uint32_t* r) { return Answer(6, r, 1); }
// The TPM query is given the caller's driver session; the double only checks that there is one.
__declspec(dllexport) int WINAPI Get_UseTPM(void* session, std::uint32_t* r) { return session ? Answer(7, r, 1) : 0; }
}
