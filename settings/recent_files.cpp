#include "settings/recent_files.h"

#include "app/app_state.h"
#include "app/files.h"
#include "app/ui.h"

#include <sstream>
#include <string>

namespace {
constexpr std::size_t kMaxEntry = 512;
}

void readRecentFiles(AppState& state) {
    for (auto& e : state.recentFiles)
        e.clear();
    // Only a regular file of sane size: a FIFO would block the start, a huge file stall it.
    std::string content;
    const ReadResult r = readRegularFile(state.recentFilesPath, kMaxRecentFileBytes, content);
    if (r == ReadResult::TooLarge) {
        showMessage(state, MessageIcon::Warning, "Lumivane",
                    state.recentFilesPath + "\r\nis larger than " +
                        std::to_string(kMaxRecentFileBytes >> 10) +
                        " KB and was not read; the recent-file list starts empty");
        return;
    }
    std::istringstream in(content);
    std::string line;
    for (int n = 1; n <= 6 && in && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // An empty entry is stored as a single blank.
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        state.recentFiles[static_cast<std::size_t>(n)] = line.substr(0, kMaxEntry);
    }
}
