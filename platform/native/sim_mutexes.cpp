// Named mutexes in the native build: process-local (the simulated machine runs one process at a
// time), with the Win32 rule that a name already held reports ERROR_ALREADY_EXISTS.
#include <map>
#include <mutex>
#include <string>

#include "platform/concerns.h"
#include "platform/mutex.h"

namespace quarro::platform::sim {

namespace {

class SimNamedMutexes : public INamedMutexes {
public:
    MutexHandle Create(const char16_t* name, bool* alreadyExisted) override {
        std::lock_guard<std::mutex> guard(lock_);
        const std::u16string key = name ? name : u"";
        int& count = open_[key];
        if (alreadyExisted) *alreadyExisted = !key.empty() && count > 0;
        ++count;
        const MutexHandle handle = next_++;
        handles_[handle] = key;
        return handle;
    }

    void Close(MutexHandle mutex) override {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = handles_.find(mutex);
        if (it == handles_.end()) return;
        if (--open_[it->second] <= 0) open_.erase(it->second);
        handles_.erase(it);
    }

private:
    std::mutex lock_;
    std::map<std::u16string, int> open_;
    std::map<MutexHandle, std::u16string> handles_;
    MutexHandle next_ = 1;
};

}  // namespace

std::shared_ptr<INamedMutexes> MakeSimNamedMutexes(const MachineSnapshot*, std::string*) {
    return std::make_shared<SimNamedMutexes>();
}

}  // namespace quarro::platform::sim
