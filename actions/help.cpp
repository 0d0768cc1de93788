#include "actions/help.h"

#include "actions/app_state.h"
#include "core/strings.h"

#include <unistd.h>

std::string helpFilePath(const AppState& state) {
    // The language setting holds the file name ("German.lan3"); older settings the bare name.
    if (lowerAscii(state.language.languageFile).rfind("german", 0) == 0) {
        std::string german = state.locations.programFolder + kHelpPageGerman;
        if (::access(german.c_str(), R_OK) == 0) return german;
    }
    return state.locations.programFolder + kHelpPageEnglish;
}
