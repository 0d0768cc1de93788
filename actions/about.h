// The About box's text: language file, release, version and the target printer's queues.
#pragma once

#include "core/no_widgets.h"

#include <string>
#include <vector>

struct AppState;
struct SpoolerQueue;

inline constexpr const char* kReleaseName = "2.0";
inline constexpr const char* kProgramVersion = "2.0.0.76";

// The About box's lines joined by CR LF: the language file's full path (programFolder +
// "Language", without "." and ".." steps), its last-write date and time in the local formats (empty
// when the file is missing), the release line, the version line, then one line per queue of the
// target printer (its name holds the target model, in any case; at most 30) as "Printer Name QUEUE
// on PORT" with the queue name in upper case and the device URI as port, or "No matching printer
// found" when there is none. The queues are taken as the spooler lists them, without asking
// the printers, so the box opens at once.
std::string aboutText(const AppState& state, const std::vector<SpoolerQueue>& queues);
