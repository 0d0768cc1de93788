#include "pattern/shape_library.h"

#include "app/app_state.h"
#include "settings/settings.h"

#include <filesystem>

int initialiseShapeLibrary(AppState& state) {
    if (!readSetting(state, "Active", "Shape Library").empty()) return 0;
    if (state.sharedFolder.empty()) return 1;
    std::error_code ec;
    std::string master = state.sharedFolder + "shape.lib";
    if (!std::filesystem::is_regular_file(master, ec)) {
        // An installation without a filled machine-wide folder still ships the master.
        master = state.programFolder + "shape.lib";
        if (state.programFolder.empty() || !std::filesystem::is_regular_file(master, ec)) return 3;
    }
    if (state.userFolder.empty()) return 2;
    const std::string user = state.userFolder + "shape.lib";
    std::filesystem::copy_file(master, user, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return 2;
    writeSetting(state, "Active", "Shape Library", user);
    return 0;
}
