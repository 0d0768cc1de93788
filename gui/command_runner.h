// Long work off the window thread, the way Qt's own examples do it.
//
// runOffThread runs work on a worker thread and returns when it is done. Meanwhile the window
// thread's event loop keeps running: paints (the preview repaints its last picture), timers,
// the queued status and progress of window_ui.h, and the printer box's result. The work owns
// the state it was given until it returns; the window thread reads none of it meanwhile.
// Every window open when the work starts takes no input but that of the allowed objects (the
// Cancel button) and Escape, which calls onEscape; a window the work opens (a message box)
// takes input as usual. Closing is the windows' own matter (the main window refuses and
// cancels). Children the work forks with forkChild (core/child_process.h) are forked on
// the window thread while the worker waits.
#pragma once

#include <functional>
#include <vector>

class QObject;

// Runs work on a worker thread as above. An exception thrown by work is thrown again here.
void runOffThread(const std::vector<const QObject*>& allowed, const std::function<void()>& onEscape,
                  const std::function<void()>& work);
