// Folders of the program, the Linux way.
#pragma once

#include <string>

#include "core/state.h"

// Fills userFolder ($XDG_CONFIG_HOME or ~/.config, + "/LumivaneB/", created when missing; the
// home folder is $HOME or the password database's, never a fallback such as /tmp),
// sharedFolder (first entry of $XDG_CONFIG_DIRS or /etc/xdg, + "/LumivaneB/", never created),
// runtimeFolder ($XDG_RUNTIME_DIR, else userFolder), programFolder (see below) and the three
// file paths. Returns false when userFolder cannot be created, there is no home folder, or the
// folder is not owned by the user.
bool resolveFolders(Locations& locations);

// The installed data folder: "../share/lumivane-basic/" beside the running executable, with a
// trailing '/'. The build tree has the same shape.
std::string defaultProgramFolder();
