#include "settings/recent_files.h"

#include "app/app_state.h"

#include <fstream>
#include <string>

namespace {
constexpr std::size_t kMaxEntry = 512;
}

void readRecentFiles(AppState& state) {
    for (auto& e : state.recentFiles)
        e.clear();
    std::ifstream in(state.recentFilesPath, std::ios::binary);
    std::string line;
    for (int n = 1; n <= 6 && in && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // An empty entry is stored as a single blank.
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        state.recentFiles[static_cast<std::size_t>(n)] = line.substr(0, kMaxEntry);
    }
}
