// Fuzzes the language file loader: any file must load without a crash, keep the table within
// its bounds and leave entry 0 as the program's name.
#include "actions/app_state.h"
#include "core/texts.h"
#include "core/ui.h"
#include "settings/language.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder = [] {
        char dir[] = "/tmp/fuzz-language-XXXXXX";
        return std::string(::mkdtemp(dir) ? dir : "/tmp") + "/";
    }();
    FILE* f = std::fopen((folder + "Fuzz.lan3").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    SilentUserInterface ui;
    AppState state;
    state.ui = &ui;
    state.locations.programFolder = folder;
    loadLanguage(state.language, state.locations.programFolder, "Fuzz.lan3", state.ui);
    if (state.language.texts.size() < 313 || state.language.texts.size() > kMaxLanguageEntry + 1u)
        __builtin_trap();
    if (state.language.texts[0] != "Lumivane Basic") __builtin_trap();
    (void)listLanguages(state.locations.programFolder, state.settings);
    return 0;
}
