// The named-mutex concern: the cross-process single-instance guards.
#pragma once

#include <cstdint>

#include "platform/owner.h"

namespace quarro::platform {

using MutexHandle = std::uintptr_t;

class INamedMutexes {
public:
    virtual ~INamedMutexes() = default;
    // CreateMutexW(NULL, FALSE, name): 0 on failure. *alreadyExisted tells whether another
    // holder had created it (ERROR_ALREADY_EXISTS).
    virtual MutexHandle Create(const char16_t* name, bool* alreadyExisted) = 0;
    virtual void Close(MutexHandle mutex) = 0;
};

struct MutexHandleTraits {
    using Interface = INamedMutexes;
    using Handle = MutexHandle;
    static MutexHandle None() { return 0; }
    static void Close(INamedMutexes& mutexes, MutexHandle mutex) { mutexes.Close(mutex); }
};
using OwnedMutex = SeamOwner<MutexHandleTraits>;

}  // namespace quarro::platform
