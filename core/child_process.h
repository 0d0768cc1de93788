// Child processes that run our own code (not an exec'd program) after fork. A forked child
// holds only the thread that forked; a lock another thread held at that moment (an allocator's,
// for one) stays locked in the child for ever. So the fork is made by a thread whose peers are
// known to be quiet: a program that runs long work on a worker while its window thread keeps
// drawing names the window thread as the forking thread, and the worker waits meanwhile.
#pragma once

#include <functional>
#include <sys/types.h>

// Forks a child that runs inChild and then ends with _exit(127) if inChild returns (it normally
// ends the child itself). Returns the child's pid in the parent, or -1 with errno set when no
// child could be made. The fork is made by the forker set with setChildForker when there is one
// and the caller is not on its thread, else by the calling thread. inChild runs in the child
// only; what it refers to must be alive in the caller (the child has a copy of all memory).
pid_t forkChild(const std::function<void()>& inChild);

// The thread that forks for forkChild: forker(fork) must run fork on its quiet thread and give
// back the result, or call it directly when it is already on that thread. Empty: every caller
// forks itself. Set it before the work starts and clear it after it has ended (it is read
// without waiting by forkChild).
using ChildForker = std::function<pid_t(const std::function<pid_t()>& fork)>;
void setChildForker(ChildForker forker);
