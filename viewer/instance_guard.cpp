#include "viewer/instance_guard.h"

#include "platform/platform.h"

CMultipleInstancePreventer::~CMultipleInstancePreventer() {
    if (mutex_) quarro::platform::Mutexes().Close(mutex_);
}

int CMultipleInstancePreventer::Create() {
    if (!name_ || !*name_ || mutex_) return 0;
    bool existed = false;
    mutex_ = quarro::platform::Mutexes().Create(name_, &existed);
    return mutex_ && !existed ? 1 : 0;
}
