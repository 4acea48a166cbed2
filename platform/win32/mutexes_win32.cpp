// The named-mutex concern on Windows: CreateMutexW; the handle is the caller's to close through
// INamedMutexes::Close.
#include "platform/concerns.h"
#include "platform/mutex.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

class Win32NamedMutexes : public INamedMutexes {
public:
    MutexHandle Create(const char16_t* name, bool* alreadyExisted) override {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, W(name));
        const DWORD error = GetLastError();
        if (alreadyExisted) *alreadyExisted = mutex && error == ERROR_ALREADY_EXISTS;
        return reinterpret_cast<MutexHandle>(mutex);
    }

    void Close(MutexHandle mutex) override {
        if (mutex) CloseHandle(reinterpret_cast<HANDLE>(mutex));
    }
};

}  // namespace

std::shared_ptr<INamedMutexes> MakeWin32NamedMutexes() { return std::make_shared<Win32NamedMutexes>(); }

}  // namespace quarro::platform::win32
