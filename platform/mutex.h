// The named-mutex concern: the cross-process single-instance guards.
#pragma once

#include <cstdint>

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

}  // namespace quarro::platform
