// printconv-cli layout, separate and preview.
#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/ui.h"
#include "core/texts.h"
#include "cli/commands.h"
#include "cli/job_options.h"
#include "image/placement.h"
#include "image/separation.h"

#include <cstdio>
#include <fstream>

namespace {

void printValue(const char* name, double value, int decimals) {
    std::printf("%s %s\n", name, formatFixed(value, decimals).c_str());
}

} // namespace

int cliLayout(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o) || !o.output.empty()) return 2;
    if (!openWithOptions(state, o)) return 1;
    printValue("across", state.layout.across, 0);
    printValue("down", state.layout.down, 0);
    printValue("copySpacingX", state.layout.copySpacingX, 4);
    printValue("copySpacingY", state.layout.copySpacingY, 4);
    printValue("imagePosX", state.layout.imagePosX, 4);
    printValue("imagePosY", state.layout.imagePosY, 4);
    printValue("placedWidthPt", state.layout.placedWidthPt, 4);
    printValue("placedHeightPt", state.layout.placedHeightPt, 4);
    printValue("zoom", state.layout.zoom, 4);
    printValue("printableWidthPt", state.page.printableWidthPt, 4);
    printValue("printableHeightPt", state.page.printableHeightPt, 4);
    printValue("paperWidthPt", state.page.paperWidthPt, 0);
    printValue("paperHeightPt", state.page.paperHeightPt, 0);
    return 0;
}

int cliSeparate(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: separate needs -o FILE\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    SeparationData data;
    if (!separateForPrint(separationInputs(state), data, feedback(state))) return 1;
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "printconv-cli: cannot write %s\n", o.output.c_str());
        return 1;
    }
    std::printf("%d %d %s %s\n", state.picture.gridWidth, state.picture.gridHeight,
                formatFixed(state.layout.placedWidthPt, 4).c_str(),
                formatFixed(state.layout.placedHeightPt, 4).c_str());
    return 0;
}

int cliPreview(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: preview needs -o FILE.png\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    if (!writePagePreviewPng(previewScene(state), state.window.previewBoxWidth,
                             state.window.previewBoxHeight, o.output)) {
        std::fprintf(stderr, "printconv-cli: cannot write %s\n", o.output.c_str());
        return 1;
    }
    return 0;
}
