#include "core/folders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

namespace {

// The home folder: $HOME when it is an absolute path, else the password database's entry
// for the user; empty when there is none. Never a shared folder such as /tmp, where another
// user could plant the settings folder first.
std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

} // namespace

bool resolveFolders(Locations& locations) {
    const std::string home = homeFolder();
    std::string config = envOr("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
    std::string dirs = envOr("XDG_CONFIG_DIRS", "/etc/xdg");
    std::string firstDir = dirs.substr(0, dirs.find(':'));
    if (firstDir.empty() || firstDir[0] != '/') firstDir = "/etc/xdg";

    locations.userFolder = config.empty() ? std::string() : withSlash(config) + "LumivaneB/";
    locations.sharedFolder = withSlash(firstDir) + "LumivaneB/";
    // Without a home folder there is no place of the user's own for the settings.
    bool ok = !config.empty() &&
              makeFolders(locations.userFolder.substr(0, locations.userFolder.size() - 1));
    // A settings folder that is not the user's own is refused: its owner could replace files.
    struct stat st {};
    if (ok && (::stat(locations.userFolder.c_str(), &st) != 0 || st.st_uid != ::geteuid()))
        ok = false;
    const std::string runtime = envOr("XDG_RUNTIME_DIR", locations.userFolder);
    locations.runtimeFolder = runtime.empty() ? std::string() : withSlash(runtime);
    if (locations.programFolder.empty()) locations.programFolder = defaultProgramFolder();
    // Without a user folder the paths stay empty, so every write fails instead of landing in
    // the working folder.
    locations.settingsPath =
        config.empty() ? std::string() : locations.userFolder + "LumivaneB.ini";
    locations.sharedSettingsPath = locations.sharedFolder + "LumivaneB.ini";
    locations.recentFilesPath =
        config.empty() ? std::string() : locations.userFolder + "Lastfile.exini";
    return ok;
}
