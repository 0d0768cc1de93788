#include "settings/recent_files.h"

#include "core/state.h"
#include "settings/settings.h"
#include "core/files.h"
#include "core/ui.h"

#include <sstream>
#include <string>

namespace {
constexpr std::size_t kMaxEntry = 512;
}

void readRecentFiles(RecentFiles& recent, const std::string& recordPath, UserInterface* ui) {
    for (auto& e : recent.recentFiles)
        e.clear();
    // Only a regular file of sane size: a FIFO would block the start, a huge file stall it.
    std::string content;
    const ReadResult r = readRegularFile(recordPath, kMaxRecentFileBytes, content);
    if (r == ReadResult::TooLarge) {
        if (ui)
            ui->showMessage(MessageIcon::Warning, "Lumivane",
                            recordPath + "\r\nis larger than " +
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
        recent.recentFiles[static_cast<std::size_t>(n)] = line.substr(0, kMaxEntry);
    }
}

namespace {

// The six lines of state.recentFiles[1..5] as stored; entry 6 becomes a copy of entry 1.
std::string recordText(RecentFiles& recent) {
    std::string content;
    for (int n = 1; n <= 5; ++n) {
        const std::string& e = recent.recentFiles[static_cast<std::size_t>(n)];
        // An empty entry is stored as a single blank so the six lines stay six.
        content += e.empty() ? std::string(" ") : e;
        content += "\r\n";
    }
    std::string first = recent.recentFiles[1];
    while (!first.empty() && first.back() == ' ')
        first.pop_back();
    recent.recentFiles[6] = first;
    content += first + "\r\n";
    return content;
}

// Reads the record, applies edit to the entries and writes them back as one step under the
// folder's write lock, so a second program remembering a file at the same time is not undone.
template <typename Edit>
bool updateRecentFiles(RecentFiles& recent, const std::string& recordPath, UserInterface* ui,
                       Edit edit) {
    const int err = updateWholeFileAtomically(recordPath, [&](std::string& content) {
        readRecentFiles(recent, recordPath, ui);
        edit(recent.recentFiles);
        content = recordText(recent);
        return 0;
    });
    reportProfileWriteFailure(ui, recordPath, err);
    return err == 0;
}

} // namespace

bool rememberFile(RecentFiles& recent, const std::string& recordPath, UserInterface* ui,
                  const std::string& path) {
    // A line break in a name would split the record into lines of its own and shift or plant
    // entries; such a file is opened but not remembered.
    if (path.find_first_of("\r\n") != std::string::npos) return false;
    const std::string entry = path.substr(0, kMaxEntry);
    return updateRecentFiles(recent, recordPath, ui, [&](auto& e) {
        if (!entry.empty() && e[1].find(entry) != std::string::npos) return;
        int k = 0;
        for (int n = 2; n <= 5 && !entry.empty(); ++n)
            if (e[static_cast<std::size_t>(n)].find(entry) != std::string::npos) {
                k = n;
                break;
            }
        if (k != 0) {
            std::string moved = e[static_cast<std::size_t>(k)];
            for (int n = k; n > 1; --n)
                e[static_cast<std::size_t>(n)] = e[static_cast<std::size_t>(n - 1)];
            e[1] = moved;
        } else {
            for (int n = 5; n > 1; --n)
                e[static_cast<std::size_t>(n)] = e[static_cast<std::size_t>(n - 1)];
            e[1] = entry;
        }
    });
}

bool forgetRecentFile(RecentFiles& recent, const std::string& recordPath, UserInterface* ui,
                      int n) {
    if (n < 1 || n > 5) return false;
    return updateRecentFiles(recent, recordPath, ui, [&](auto& e) {
        for (int i = n; i < 5; ++i)
            e[static_cast<std::size_t>(i)] = e[static_cast<std::size_t>(i + 1)];
        e[5].clear();
    });
}

std::string recentMenuText(const std::string& path) {
    if (path.size() <= 35) return path;
    return "..." + path.substr(path.size() - 32);
}
