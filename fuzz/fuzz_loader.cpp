// Fuzzes the whole loader with its walls: file content and extension chosen by the input,
// loaded as the Open File command would. A crash inside the decoding child is contained and
// is no finding; a crash, hang or leak here is. After every load the state must be whole:
// either a complete new picture or the previous one, and no temporary file left behind.
#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/decode.h"
#include "image/load.h"
#include "image/probes.h"

#include <IL/il.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace {

struct LoaderFuzzSetup {
    std::string inputFolder;
    std::string tempFolder;
    AppState state;
    SilentUserInterface ui;

    LoaderFuzzSetup() {
        char base[] = "/tmp/fuzz-loader-XXXXXX";
        std::string root = ::mkdtemp(base) ? base : "/tmp";
        inputFolder = root + "/in";
        tempFolder = root + "/tmp";
        ::mkdir(inputFolder.c_str(), 0700);
        ::mkdir(tempFolder.c_str(), 0700);
        ::mkdir((root + "/config").c_str(), 0700);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (root + "/xdg").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root + "/config").c_str(), 1);
        setenv("TMPDIR", tempFolder.c_str(), 1);
        state.ui = &ui;
        resolveFolders(state.locations);
        state.locations.programFolder = PRINTCONV_FUZZ_DATA_DIR;
        loadBuiltInTexts(state.language);
        state.page.printableWidthPt = 571.0f;
        state.page.printableHeightPt = 814.0f;
        ilInit();
        // Small pictures only, and short limits, so that a hanging decoder costs little.
        DecodeLimits& lim = decodeLimits();
        lim.maxSide = 2048;
        lim.maxRgbaBytes = 16u << 20;
        lim.cpuSeconds = 2;
        lim.wallMilliseconds = 3000;
    }
};

LoaderFuzzSetup& setup() {
    static LoaderFuzzSetup s;
    return s;
}

bool folderIsEmpty(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    bool empty = true;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") empty = false;
    }
    ::closedir(d);
    return empty;
}

void checkWhole(const AppState& s) {
    if (s.picture.imageLoaded != 1) return;
    const std::size_t pixels = static_cast<std::size_t>(s.picture.imagePixelWidth) *
                               static_cast<std::size_t>(s.picture.imagePixelHeight);
    if (s.picture.imagePixelWidth <= 0 || s.picture.imagePixelHeight <= 0) __builtin_trap();
    if (s.picture.imageBuffer.size() != pixels * 5) __builtin_trap();
    if (s.picture.printGrid.cells.size() != pixels * 5 ||
        s.picture.previewGrid.cells.size() != pixels * 4)
        __builtin_trap();
    if (!std::isfinite(s.picture.imageWidthPt) || !(s.picture.imageWidthPt > 0) ||
        !std::isfinite(s.picture.imageHeightPt) || !(s.picture.imageHeightPt > 0))
        __builtin_trap();
    if (!std::isfinite(s.layout.zoom) || !(s.layout.zoom > 0) || !(s.picture.xDpi > 0) ||
        !(s.picture.yDpi > 0))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoaderFuzzSetup& f = setup();
    // The first byte picks the name, so that every probe and the no-probe paths are reached.
    static const char* const kNames[] = {"in.png", "in.jpg",  "in.gif", "in.tif",     "in.bmp",
                                         "in.psd", "in.jpeg", "in",     "\"in.PNG\"", "a.png.jpg"};
    std::string name = kNames[size ? data[0] % 10 : 0];
    std::string unquoted = name;
    if (unquoted.front() == '"') unquoted = unquoted.substr(1, unquoted.size() - 2);
    std::string file = f.inputFolder + "/" + unquoted;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 0;
    if (size > 1) std::fwrite(data + 1, 1, size - 1, out);
    std::fclose(out);

    AppState& s = f.state;
    s.layout.flipChecked = size > 1 && (data[1] & 1);
    const ImageBuffer before = s.picture.imageBuffer;
    const int loadedBefore = s.picture.imageLoaded;
    std::string path = name[0] == '"' ? "\"" + file + "\"" : file;
    loadPictureFile(s, path);
    if (path.empty()) {
        // A refused or failed decode keeps the previous picture; a failed conversion drops it.
        if (s.picture.imageLoaded == 1 && (loadedBefore != 1 || s.picture.imageBuffer != before))
            __builtin_trap();
    } else {
        if (path != file || s.picture.imageLoaded != 1) __builtin_trap();
    }
    checkWhole(s);
    if (!folderIsEmpty(f.tempFolder)) __builtin_trap(); // the temporary copy is always removed
    ::unlink(file.c_str());
    return 0;
}
