// Progress of long operations (load, conversion, separation, job build, spooling, discovery)
// and the user's wish to cancel them.
//
// Threading contract (core/ui.h): an operation reports steps on the thread that runs it (in
// the window, the command's worker); helper threads inside an operation only read the cancel
// flag, which is safe from any thread, as is requestCancel. A sink carries a step elsewhere
// (the window's sink queues it to the window's thread); it never runs other work.
#pragma once

#include "core/no_widgets.h"

#include <atomic>

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // The running operation reached percent (0..100) of the phase shown by status text
    // number phase (0 when no phase text was set). Called often (per row): keep it cheap.
    virtual void step(int phase, int percent) {
        (void)phase;
        (void)percent;
    }
    // Asks the running operation to stop at its next check; safe from any thread.
    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
    // Clears a cancel request before the next operation starts.
    void clearCancel() { cancel_.store(false, std::memory_order_relaxed); }

  private:
    std::atomic<bool> cancel_{false};
};
