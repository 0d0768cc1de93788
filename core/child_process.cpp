#include "core/child_process.h"

#include <memory>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex forkerLock;
std::shared_ptr<const ChildForker> forkerInUse;

} // namespace

void setChildForker(ChildForker forker) {
    auto next = forker ? std::make_shared<const ChildForker>(std::move(forker)) : nullptr;
    std::lock_guard<std::mutex> hold(forkerLock);
    forkerInUse = std::move(next);
}

pid_t forkChild(const std::function<void()>& inChild) {
    std::shared_ptr<const ChildForker> forker;
    {
        std::lock_guard<std::mutex> hold(forkerLock);
        forker = forkerInUse;
    }
    const auto forkAndRun = [&inChild]() -> pid_t {
        const pid_t pid = ::fork();
        if (pid == 0) {
            inChild();
            ::_exit(127);
        }
        return pid;
    };
    return forker ? (*forker)(forkAndRun) : forkAndRun();
}
