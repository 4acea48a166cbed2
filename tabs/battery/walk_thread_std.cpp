// The walk's worker thread in the native build: a standard thread that says when it is done.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tabs/battery/battery_core.h"

namespace battery_tab {

namespace {

class StdWalkThread : public IWalkThread {
public:
    ~StdWalkThread() override {
        if (thread_.joinable()) thread_.join();
    }

    bool Start(std::function<void()> work) override {
        if (thread_.joinable()) return false;
        done_ = false;
        thread_ = std::thread([this, work = std::move(work)] {
            work();
            const std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
            ended_.notify_all();
        });
        return true;
    }

    bool Wait(std::uint32_t milliseconds) override {
        if (!thread_.joinable()) return true;
        {
            std::unique_lock<std::mutex> hold(lock_);
            if (!ended_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return done_; })) return false;
        }
        thread_.join();
        return true;
    }

private:
    std::mutex lock_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<IWalkThread> MakeWalkThread() { return std::make_unique<StdWalkThread>(); }

}  // namespace battery_tab
