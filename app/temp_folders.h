// Temporary folders that hold copies of the user's data (a picture, the settings, a job) are
// removed when the program is stopped by Ctrl-C or SIGTERM, not only when it ends normally.
#pragma once

#include <string>

// Registers path (a folder this process made) for removal on SIGINT, SIGTERM or SIGHUP.
// Up to a fixed number of folders; more are simply not registered.
void registerTemporaryFolder(const std::string& path);
// Removes path from the register (call before the folder is removed the normal way).
void unregisterTemporaryFolder(const std::string& path);

// Installs the handlers: on SIGINT, SIGTERM or SIGHUP every registered folder and the files
// in it are removed, then the signal's default action ends the process.
void removeTemporaryFoldersOnSignals();
