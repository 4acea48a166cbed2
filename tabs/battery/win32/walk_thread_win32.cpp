// The walk's worker thread on Windows: CreateThread, and WaitForSingleObject for its end; the
// thread's handle is closed once it has ended.
#include <windows.h>

#include "platform/win32/handles.h"
#include "tabs/battery/battery_core.h"

namespace battery_tab {

namespace {

class Win32WalkThread : public IWalkThread {
public:
    ~Win32WalkThread() override {
        if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
    }

    bool Start(std::function<void()> work) override {
        if (thread_) return false;
        work_ = std::move(work);
        thread_.Reset(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
        return static_cast<bool>(thread_);
    }

    bool Wait(std::uint32_t milliseconds) override {
        if (!thread_) return true;
        if (WaitForSingleObject(thread_.Get(), milliseconds) != WAIT_OBJECT_0) return false;
        thread_.Reset();
        return true;
    }

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<Win32WalkThread*>(self)->work_();
        return 0;
    }

    std::function<void()> work_;
    quarro::win32::UniqueHandle<quarro::win32::KernelHandleTraits> thread_;
};

}  // namespace

std::unique_ptr<IWalkThread> MakeWalkThread() { return std::make_unique<Win32WalkThread>(); }

}  // namespace battery_tab
