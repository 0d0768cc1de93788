#include "app/folders.h"

#include "app/app_state.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string withSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

// Creates every missing folder of path; true when it exists afterwards.
bool makeFolders(const std::string& path) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    // Relative XDG paths are invalid and must be ignored.
    if (v && *v == '/') return v;
    return fallback;
}

} // namespace

std::string defaultProgramFolder() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    buf[n] = '\0';
    std::string exe(buf);
    std::string dir = exe.substr(0, exe.rfind('/'));
    return dir + "/../share/lumivane-basic/";
}

bool resolveFolders(AppState& state) {
    const char* home = std::getenv("HOME");
    std::string config =
        envOr("XDG_CONFIG_HOME", std::string(home && *home ? home : "/tmp") + "/.config");
    std::string dirs = envOr("XDG_CONFIG_DIRS", "/etc/xdg");
    std::string firstDir = dirs.substr(0, dirs.find(':'));
    if (firstDir.empty() || firstDir[0] != '/') firstDir = "/etc/xdg";

    state.userFolder = withSlash(config) + "LumivaneB/";
    state.sharedFolder = withSlash(firstDir) + "LumivaneB/";
    bool ok = makeFolders(state.userFolder.substr(0, state.userFolder.size() - 1));
    state.runtimeFolder = withSlash(envOr("XDG_RUNTIME_DIR", state.userFolder));
    if (state.programFolder.empty()) state.programFolder = defaultProgramFolder();
    state.settingsPath = state.userFolder + "LumivaneB.ini";
    state.sharedSettingsPath = state.sharedFolder + "LumivaneB.ini";
    state.recentFilesPath = state.userFolder + "Lastfile.exini";
    return ok;
}
