#include "actions/about.h"

#include "actions/app_state.h"
#include "core/strings.h"
#include "netutil/discovery.h"
#include "settings/settings.h"

#include <sys/stat.h>

#include <ctime>
#include <filesystem>

namespace {

std::string localDateTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    std::tm local{};
    localtime_r(&info.st_mtime, &local);
    char date[64] = {}, time[64] = {};
    std::strftime(date, sizeof date, "%x", &local);
    std::strftime(time, sizeof time, "%X", &local);
    return std::string(date) + " " + time;
}

} // namespace

std::string aboutText(const AppState& state, const std::vector<SpoolerQueue>& queues) {
    const std::string language = readSetting(state.settings, keys::kLanguage);
    // The program folder is found beside the executable ("bin/../share/..."): shown without
    // the detour.
    const std::string path =
        std::filesystem::path(state.locations.programFolder + language).lexically_normal().string();
    std::string out = path + "\r\n" + (language.empty() ? std::string() : localDateTime(path));
    out += "\r\n>>>>> Release " + std::string(kReleaseName) + " <<<<<<";
    out += "\r\nProgram Version " + std::string(kProgramVersion);
    const std::string model = upperAscii(state.target.targetModel);
    int shown = 0;
    for (const SpoolerQueue& q : queues) {
        if (shown >= kMaxPrinterEntries) break;
        const std::string name = upperAscii(q.name);
        if (model.empty() || name.find(model) == std::string::npos) continue;
        out += "\r\nPrinter Name " + name + " on " + q.deviceUri;
        ++shown;
    }
    if (shown == 0) out += "\r\nNo matching printer found";
    return out;
}
