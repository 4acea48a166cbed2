// The volumes concern on Windows: the four Win32 calls as they are.
#include <windows.h>

#include <memory>

#include "platform/concerns.h"
#include "platform/volumes.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

class Win32Volumes : public IVolumes {
public:
    bool DosDeviceTarget(const char16_t* device, std::u16string* target) override {
        wchar_t buffer[MAX_PATH + 1] = {};
        // The answer is a list of zero-terminated targets; the first one is the device's.
        if (QueryDosDeviceW(W(device), buffer, MAX_PATH) == 0) return false;
        buffer[MAX_PATH] = 0;
        target->assign(U(buffer));
        return true;
    }

    std::uint32_t DriveType(const char16_t* root) override { return GetDriveTypeW(W(root)); }

    bool FileSystemName(const char16_t* root, char16_t* buffer, std::uint32_t units) override {
        if (!buffer || units == 0) return false;
        buffer[0] = 0;
        if (!GetVolumeInformationW(W(root), nullptr, 0, nullptr, nullptr, nullptr, W(buffer), units)) return false;
        buffer[units - 1] = 0;
        return true;
    }

    bool Space(const char16_t* root, VolumeSpace* space) override {
        ULARGE_INTEGER caller = {}, total = {}, free = {};
        if (!GetDiskFreeSpaceExW(W(root), &caller, &total, &free)) return false;
        space->freeToCaller = caller.QuadPart;
        space->total = total.QuadPart;
        space->totalFree = free.QuadPart;
        return true;
    }
};

}  // namespace

std::shared_ptr<IVolumes> MakeWin32Volumes() { return std::make_shared<Win32Volumes>(); }

}  // namespace quarro::platform::win32
