#include "cli/job_options.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/temp_folders.h"
#include "core/tone_curves.h"
#include "model/media.h"
#include "model/models.h"
#include "settings/settings.h"

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

bool toInt(const std::string& s, int& v) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool toFloat(const std::string& s, float& v) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    // from_chars reads "nan" and "inf" too: only finite numbers are values of an option.
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "printconv-cli: %s\n", message.c_str());
    return false;
}

// A model the program offers, in any spelling setTargetPrinter accepts.
bool offeredModel(const std::string& text) {
    AppState probe;
    setTargetPrinter(probe.target, text);
    const auto& codes = offeredModelCodes();
    return !text.empty() &&
           std::find(codes.begin(), codes.end(), probe.target.targetModel) != codes.end();
}

std::string offeredList() {
    std::string out;
    for (const auto& code : offeredModelCodes())
        out += (out.empty() ? "" : ", ") + code;
    return out;
}

// The checks that need the set-up state: the tray must be offered for the printer and medium,
// the margins may not make the printable area larger than the sheet, and copies asked for
// across and down must all fit (the layout would otherwise drop some silently).
bool layoutAsAsked(const AppState& state, const JobOptions& o) {
    if (state.page.printableWidthPt > state.page.paperWidthPt ||
        state.page.printableHeightPt > state.page.paperHeightPt)
        return fail("the margins of the paper \"" + state.page.paperText +
                    "\" are negative: its printable area is larger than the sheet");
    if (!o.xcopies && !o.ycopies) return true;
    // Copies that overlap (negative spacing) or reach past the printable area were cut or
    // pushed off the sheet by the layout.
    auto fits = [](int n, double size, double spacing, double room) {
        constexpr double kSlack = 0.01; // points
        return n <= 1 ? size <= room + kSlack
                      : spacing >= -kSlack && n * size + (n - 1) * spacing <= room + kSlack;
    };
    if (!fits(state.layout.across, state.layout.placedWidthPt, state.layout.copySpacingX,
              state.page.printableWidthPt) ||
        !fits(state.layout.down, state.layout.placedHeightPt, state.layout.copySpacingY,
              state.page.printableHeightPt))
        return fail(std::to_string(state.layout.across) + " x " +
                    std::to_string(state.layout.down) +
                    " copies of this size do not fit the sheet (--xcopies, --ycopies)");
    return true;
}

} // namespace

bool parseJobOptions(const CliArgs& args, bool wantImage, JobOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return fail(a + " needs a value");
            out = args[++i];
            return true;
        };
        auto opt = [&](std::optional<std::string>& out) {
            std::string v;
            if (!value(v)) return false;
            out = v;
            return true;
        };
        auto number = [&](std::optional<int>& out, int lo, int hi) {
            std::string v;
            int n = 0;
            if (!value(v)) return false;
            if (!toInt(v, n) || n < lo || n > hi)
                return fail(a + " takes a whole number from " + std::to_string(lo) + " to " +
                            std::to_string(hi));
            out = n;
            return true;
        };
        // A whole number in lo..hi, kept as the text the window's field would hold.
        auto countText = [&](std::optional<std::string>& out, int lo, int hi) {
            std::optional<int> n;
            if (!number(n, lo, hi)) return false;
            out = std::to_string(*n);
            return true;
        };
        // A length in the display unit: a plain decimal number above 0, at most 10000.
        auto length = [&](std::optional<std::string>& out) {
            std::string v;
            float f = 0;
            if (!value(v)) return false;
            if (!toFloat(v, f) || !(f > 0) || f > 10000)
                return fail(a + " takes a length above 0 and at most 10000 (in the display unit)");
            out = v;
            return true;
        };
        bool ok = true;
        if (a == "-o")
            ok = value(o.output);
        else if (a == "--queue")
            ok = value(o.queue);
        else if (a == "--printer") {
            ok = opt(o.printer);
            if (ok && !offeredModel(*o.printer))
                ok = fail("--printer takes one of: " + offeredList());
        } else if (a == "--paper")
            ok = opt(o.paper);
        else if (a == "--media")
            ok = opt(o.media);
        else if (a == "--tray")
            ok = opt(o.tray);
        else if (a == "--copies")
            ok = countText(o.copies, 1, 99);
        else if (a == "--xcopies")
            ok = countText(o.xcopies, 1, 10000);
        else if (a == "--ycopies")
            ok = countText(o.ycopies, 1, 10000);
        else if (a == "--width")
            ok = length(o.width);
        else if (a == "--height")
            ok = length(o.height);
        else if (a == "--profile-in")
            ok = opt(o.profileIn);
        else if (a == "--profile-out")
            ok = opt(o.profileOut);
        else if (a == "--snapshot")
            ok = opt(o.snapshot);
        else if (a == "--colour-adjust") {
            ok = opt(o.colourAdjust);
            if (ok &&
                (o.colourAdjust->size() != 48 ||
                 o.colourAdjust->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos))
                ok = fail("--colour-adjust takes 48 hexadecimal digits");
        } else if (a == "--brightness")
            ok = number(o.brightness, -100, 100);
        else if (a == "--contrast")
            ok = number(o.contrast, -100, 100);
        else if (a == "--fixed-spacing") {
            std::string v;
            float mm = 0;
            ok = value(v);
            if (ok && (!toFloat(v, mm) || mm < 0 || mm > 100))
                ok = fail("--fixed-spacing takes millimetres from 0 to 100");
            if (ok) o.fixedSpacingMm = mm;
        } else if (a == "--align") {
            ok = opt(o.align);
            if (ok && *o.align != "centre" && *o.align != "top-left" && *o.align != "top-centre" &&
                *o.align != "top-right")
                ok = fail("--align takes centre, top-left, top-centre or top-right");
        } else if (a == "--preview-size") {
            std::string v;
            ok = value(v);
            std::size_t x = v.find('x');
            int w = 0, h = 0;
            if (ok && (x == std::string::npos || !toInt(v.substr(0, x), w) ||
                       !toInt(v.substr(x + 1), h) || w < 10 || h < 10 || w > 10000 || h > 10000))
                ok = fail("--preview-size takes WxH, each 10 to 10000 pixels");
            if (ok) o.previewSize = std::pair{w, h};
        } else if (a == "--rotate")
            o.rotate = true;
        else if (a == "--no-rotate")
            o.rotate = false;
        else if (a == "--mirror")
            o.mirror = true;
        else if (a == "--no-mirror")
            o.mirror = false;
        else if (a == "--flip")
            o.flip = true;
        else if (a == "--crop")
            o.crop = true;
        else if (a == "--auto-tile")
            o.autoTile = true;
        else if (a == "--fit-to-page")
            o.fitToPage = true;
        else if (a == "--details")
            o.details = true;
        else if (a.rfind("--pattern", 0) == 0)
            ok = parsePatternOption(args, i, o);
        else if (!a.empty() && a[0] == '-' && a != "-")
            ok = fail("unknown option " + a);
        else if (wantImage && o.image.empty())
            o.image = a;
        else
            ok = fail("unexpected argument " + a);
        if (!ok) return false;
    }
    if (wantImage && o.image.empty()) return fail("an image file is needed");
    return true;
}

bool openWithOptions(AppState& state, const JobOptions& o) {
    // Options that come before the window is set up: the model and its defaults, profiles
    // and the colour adjustment.
    if (o.printer && chooseTargetPrinter(state, *o.printer) != ActionResult::Done) return false;
    if (o.profileIn) chooseProfile(state, false, *o.profileIn);
    if (o.profileOut) chooseProfile(state, true, *o.profileOut);
    if (o.colourAdjust) writeSetting(state.settings, keys::kColourAdjust, *o.colourAdjust);
    if (o.previewSize) {
        state.window.previewBoxWidth = o.previewSize->first;
        state.window.previewBoxHeight = o.previewSize->second;
    }

    setUpMainWindow(state);
    // The snapshot acts on the run's settings as Load Settings would, before the options
    // that follow; an explicit colour adjustment still wins over the snapshot's.
    if (o.snapshot) {
        if (applySnapshot(state, *o.snapshot) != ActionResult::Done) return false;
        if (o.colourAdjust) setColourAdjustFromText(state.colour, *o.colourAdjust);
    }

    if (o.media) {
        const int id = findMedium(state.page, state.language, *o.media);
        if (id == 0) return fail("unknown media type \"" + *o.media + "\"");
        chooseMedium(state, id);
    }
    if (o.paper) {
        bool known = false;
        for (const auto& p : state.page.paperList)
            known = known || p == *o.paper;
        if (!known) return fail("the paper \"" + *o.paper + "\" is not offered for this printer");
        choosePaper(state, *o.paper);
    }
    if (o.tray) {
        bool known = false;
        std::string offered;
        for (const auto& t : state.page.trayList) {
            known = known || t == *o.tray;
            offered += (offered.empty() ? "" : ", ") + t;
        }
        if (!known) return fail("--tray takes one of: " + offered);
        state.page.trayText = *o.tray;
    }
    if (o.copies) setCopies(state, *o.copies);
    state.layout.flipChecked = o.flip;
    state.layout.autoTileChecked = o.autoTile;
    if (o.fixedSpacingMm) setFixedSpacing(state, true, *o.fixedSpacingMm);
    if (o.align) {
        setAlignment(state, *o.align == "top-left"     ? 1
                            : *o.align == "top-centre" ? 2
                            : *o.align == "top-right"  ? 3
                                                       : 0);
    }
    if (o.brightness) setBrightness(state, *o.brightness);
    if (o.contrast) setContrast(state, *o.contrast);

    if (o.image.empty()) {
        refreshPreview(state);
        return layoutAsAsked(state, o);
    }

    if (openImage(state, o.image) != ActionResult::Done) return false;
    if (o.crop) cropImage(state);
    if (o.rotate) setRotate(state, *o.rotate);
    if (o.mirror) setMirror(state, *o.mirror);
    if (o.width) setTypedWidth(state, *o.width);
    if (o.height) setTypedHeight(state, *o.height);
    if (o.fitToPage) fitImageToPage(state);
    if (o.xcopies || o.ycopies)
        setCopyCounts(state, o.xcopies ? *o.xcopies : state.window.xCopiesText,
                      o.ycopies ? *o.ycopies : state.window.yCopiesText);
    if (!applyPatternOptions(state, o)) return false;
    refreshPreview(state);
    return layoutAsAsked(state, o);
}
