#include "actions/startup.h"

#include "actions/app_state.h"
#include "core/strings.h"
#include "core/folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "pattern/shape_library.h"
#include "model/models.h"
#include "settings/language.h"
#include "actions/defaults.h"
#include "settings/settings.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The lock stays held by this descriptor until the process ends; the kernel drops it when a
// crashed process goes, so a stale lock file never blocks the next start.
int gLockFd = -1;

} // namespace

bool isAlreadyRunning(AppState& state, const std::string& name) {
    if (gLockFd >= 0) return false; // this process holds it already
    std::string folder = state.locations.runtimeFolder.empty() ? state.locations.userFolder
                                                               : state.locations.runtimeFolder;
    if (folder.empty()) return false; // no folder of the user's own: no lock can be had
    const std::string path = folder + name + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false; // no lock can be had: do not refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK;
    }
    gLockFd = fd;
    return false;
}

std::string instanceSocketPath(const AppState& state, const std::string& name) {
    const std::string& folder = state.locations.runtimeFolder.empty()
                                    ? state.locations.userFolder
                                    : state.locations.runtimeFolder;
    return folder + name + "-" + std::to_string(::getuid()) + ".socket";
}

void prepareSettings(AppState& state, bool provisionShapes) {
    // Shape library: reported before the texts are loaded, so without caption.
    switch (provisionShapes ? initialiseShapeLibrary(state.settings, state.locations) : 0) {
    case 1:
        showMessage(state, MessageIcon::Error, "", "Problem with ProgramData Folder");
        break;
    case 2:
        showMessage(state, MessageIcon::Error, "", "Problem with Users AppData Folder");
        break;
    case 3:
        showMessage(state, MessageIcon::Error, "", "Master Shape.lib Missing");
        break;
    default:
        break;
    }

    // Language: a stored name naming a language file gives way to the shared choice.
    std::string language = readSetting(state.settings, keys::kLanguage);
    if (language.empty() || containsNoCase(language, ".lan3")) {
        std::string shared = readSetting(state.sharedSettings, keys::kLanguage);
        if (!shared.empty()) {
            writeSetting(state.settings, keys::kLanguageCopied, shared);
            language = shared;
        }
    }
    state.language.languageFile = language;
    if (language.empty())
        loadBuiltInTexts(state.language);
    else
        loadLanguage(state.language, state.locations.programFolder, language, state.ui);

    if (readSetting(state.settings, keys::kProfileIn).empty())
        writeSetting(state.settings, keys::kProfileIn, state.locations.programFolder + "sRGB.ICM");
    if (readSetting(state.settings, keys::kProfileOut).empty())
        writeSetting(state.settings, keys::kProfileOut,
                     state.locations.programFolder +
                         defaultOutputProfile(state.target.targetModel, false));

    // Old installations stored a bottom margin just above 4 points.
    double bottom = settingValue(readSetting(state.settings, keys::kBottomMargin));
    if (bottom != 0.0 && std::trunc(100.0 / bottom) == 24.0)
        writeSetting(state.settings, keys::kBottomMargin, "1307");

    double right = settingValue(readSetting(state.settings, keys::kRightHand));
    double left = settingValue(readSetting(state.settings, keys::kLeftHand));
    if (right + left == 0.0) {
        writeSetting(state.settings, keys::kRightHand, "1");
        writeSetting(state.settings, keys::kLeftHand, "0");
    }
}

void shutDown(AppState& state) {
    writeSetting(state.settings, keys::kColourAdjust, defaultColourAdjustText(state.target));
    writeModelMargins(state);
}

int runApplication(AppState& state, int (*runWindow)(AppState&)) {
    SilentUserInterface silent;
    if (!state.ui) state.ui = &silent;
    resolveFolders(state.locations);
    if (isAlreadyRunning(state, "Lumivane_Basic")) {
        if (state.ui == &silent) state.ui = nullptr;
        return 0;
    }
    loadTargetPrinter(state.target, state.settings);
    prepareSettings(state);
    if (runWindow) {
        runWindow(state);
        shutDown(state);
    }
    if (state.ui == &silent) state.ui = nullptr;
    return 0;
}
