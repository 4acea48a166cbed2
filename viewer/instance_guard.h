// CMultipleInstancePreventer: the cross-process single-instance guard (a named mutex held for
// the whole run).
#pragma once

#include "platform/mutex.h"

class CMultipleInstancePreventer {
public:
    explicit CMultipleInstancePreventer(const char16_t* name) : name_(name) {}
    ~CMultipleInstancePreventer();
    CMultipleInstancePreventer(const CMultipleInstancePreventer&) = delete;
    CMultipleInstancePreventer& operator=(const CMultipleInstancePreventer&) = delete;

    // 1 when this process is the only instance; an empty name fails.
    int Create();

private:
    const char16_t* name_;
    quarro::platform::MutexHandle mutex_ = 0;
};
