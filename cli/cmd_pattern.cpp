// printconv-cli pattern print: the --pattern options, "mask" and "shapes".
#include "actions/app_state.h"
#include "actions/pattern_actions.h"
#include "core/strings.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/job_options.h"
#include "pattern/ai_import.h"
#include "pattern/pattern_mask.h"
#include "pattern/shape_library.h"
#include "settings/settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

bool fail(const std::string& message) {
    std::fprintf(stderr, "printconv-cli: %s\n", message.c_str());
    return false;
}

bool toNumber(const std::string& s, double& v) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

// The library the commands work on: the user's, made from the master on first use.
bool libraryReady(AppState& state) {
    switch (initialiseShapeLibrary(state.settings, state.locations)) {
    case 0:
        return true;
    case 3:
        return fail("Master Shape.lib Missing");
    default:
        return fail("the shape library folder is not available");
    }
}

// Answers the replace question as --replace asked, and says so.
struct AnsweringUi : CliUserInterface {
    bool replace = false;
    bool askOkCancel(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s (answered %s)\n", caption.c_str(), text.c_str(),
                     replace ? "OK" : "Cancel");
        return replace;
    }
};

} // namespace

bool parsePatternOption(const CliArgs& args, std::size_t& i, JobOptions& o) {
    const std::string& a = args[i];
    const auto next = [&](std::string& v) {
        if (i + 1 >= args.size()) return fail(a + " needs a value");
        v = args[++i];
        return true;
    };
    const auto length = [&](double& out, double lo) {
        std::string v;
        if (!next(v)) return false;
        if (!toNumber(v, out) || out <= lo || out > kMaxPatternLength)
            return fail(a + " takes millimetres above " + (lo < 0 ? std::string("-1000") : "0") +
                        " and at most 1000");
        return true;
    };
    if (a == "--pattern") {
        o.pattern = true;
        return true;
    }
    if (a == "--pattern-invert") {
        o.patternInvert = true;
        return true;
    }
    if (a == "--pattern-shape") {
        std::string v;
        if (!next(v)) return false;
        if (shapeKey(v).empty()) return fail("--pattern-shape needs a shape name");
        o.patternShape = v;
        return true;
    }
    if (a == "--pattern-size") {
        double w = 0, h = 0;
        if (!length(w, 0) || !length(h, 0)) return false;
        o.patternSize = std::pair{w, h};
        return true;
    }
    if (a == "--pattern-gap") {
        double g = 0;
        if (!length(g, -kMaxPatternLength)) return false;
        o.patternGap = g;
        return true;
    }
    if (a == "--pattern-angle") {
        std::string v;
        if (!next(v)) return false;
        if (v != "0" && v != "45") return fail("--pattern-angle takes 0 or 45");
        o.patternAngle = v == "0" ? 0 : 45;
        return true;
    }
    return fail("unknown option " + a);
}

bool applyPatternOptions(AppState& state, const JobOptions& o) {
    const bool any = o.pattern || o.patternInvert || o.patternShape || o.patternSize ||
                     o.patternGap || o.patternAngle;
    if (!any) return true;
    if (!libraryReady(state)) return false;
    ensurePatternDefaults(state.settings);
    PatternSettings s = readPatternSettings(state.settings);
    if (o.patternShape) s.shape = *o.patternShape;
    if (o.patternSize) {
        s.sizeX = o.patternSize->first;
        s.sizeY = o.patternSize->second;
    }
    if (o.patternGap) s.gap = *o.patternGap;
    if (o.patternAngle) s.screen = *o.patternAngle;
    if (o.patternInvert) s.invert = true;
    if (const std::string problem = patternSettingsProblem(s); !problem.empty())
        return fail(problem);
    writePatternSettings(state.settings, s);
    if (!o.pattern) return true;
    state.layout.patternPrintChecked = true;
    return updatePatternMask(state) != ActionResult::Failed;
}

int cliMask(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: mask needs -o FILE\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    if (!libraryReady(state)) return 1;
    const PatternMask mask =
        generateImagePatternMask(state.picture, state.layout, state.settings, feedback(state));
    if (mask.width == 0) return 1;
    const std::string bytes = encodePatternMask(mask);
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "printconv-cli: cannot write %s\n", o.output.c_str());
        return 1;
    }
    std::printf("%d %d\n", mask.width, mask.height);
    return 0;
}

int cliShapes(AppState& state, const CliArgs& args) {
    if (args.empty()) return 2;
    const std::string& what = args[0];
    if (what == "list") {
        if (args.size() != 1) return 2;
        if (!libraryReady(state)) return 1;
        // Names come from a file (an imported file's name among them): a control character
        // would drive the terminal.
        for (const std::string& name : listShapeNames(state.settings))
            std::printf("%s\n", printableText(name, kShapeNameSize).c_str());
        return 0;
    }
    if (what == "import") {
        std::string file, name;
        int spacing[2] = {50, 50}; // slider positions for angle 0 and 45; 50 adds nothing
        bool replace = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if ((a == "--name" || a == "--spacing0" || a == "--spacing45") && i + 1 < args.size()) {
                const std::string& v = args[++i];
                if (a == "--name") {
                    if (const std::string problem = shapeNameProblem(v); !problem.empty()) {
                        fail("--name takes a shape name of 1 to " + std::to_string(kShapeNameSize) +
                             " characters without control characters (" + problem + ")");
                        return 2;
                    }
                    name = v;
                    continue;
                }
                int p = -1;
                auto r = std::from_chars(v.data(), v.data() + v.size(), p);
                if (r.ec != std::errc() || r.ptr != v.data() + v.size() || p < 0 || p > 100) {
                    fail(a + " takes a slider position from 0 to 100");
                    return 2;
                }
                spacing[a == "--spacing45"] = p;
            } else if (a == "--replace")
                replace = true;
            else if (!a.empty() && a[0] != '-' && file.empty())
                file = a;
            else {
                fail("unexpected argument " + a);
                return 2;
            }
        }
        if (file.empty()) return 2;
        if (!libraryReady(state)) return 1;
        AnsweringUi ui;
        ui.replace = replace;
        UserInterface* previous = state.ui;
        state.ui = &ui;
        AiConversion c = importIllustratorFile(file, feedback(state));
        ShapeSaveResult saved = ShapeSaveResult::Failed;
        if (c.status > 0) {
            if (!name.empty()) c.shape.name = name;
            // A name taken from the file's name is held to the same rule as --name.
            if (const std::string problem = shapeNameProblem(c.shape.name); !problem.empty()) {
                state.ui = previous;
                fail("the file's name is no shape name (" + problem + "): give one with --name");
                return 2;
            }
            c.shape.name = shapeStoredName(c.shape.name);
            c.shape.spacing0 = static_cast<float>((spacing[0] - 50) / 100.0);
            c.shape.spacing45 = static_cast<float>((spacing[1] - 50) / 100.0);
            saved = saveShape(state.settings, state.locations, c.shape, feedback(state));
        }
        state.ui = previous;
        if (saved == ShapeSaveResult::Appended || saved == ShapeSaveResult::Replaced) {
            std::printf("%s %s\n", saved == ShapeSaveResult::Appended ? "added" : "replaced",
                        shapeDisplayName(c.shape.name).c_str());
            return 0;
        }
        return 1;
    }
    if (what == "remove") {
        if (args.size() < 2) return 2;
        if (!libraryReady(state)) return 1;
        const std::vector<std::string> names = listShapeNames(state.settings);
        std::vector<std::string> keep;
        for (const std::string& n : names) {
            bool removed = false;
            for (std::size_t i = 1; i < args.size(); ++i)
                removed = removed || shapeKey(args[i]) == shapeKey(n);
            if (!removed) keep.push_back(n);
        }
        for (std::size_t i = 1; i < args.size(); ++i) {
            bool known = false;
            for (const std::string& n : names)
                known = known || shapeKey(args[i]) == shapeKey(n);
            if (!known) {
                fail("no shape named \"" + args[i] + "\" in the library");
                return 1;
            }
        }
        return keepShapes(state.settings, keep, feedback(state)) ? 0 : 1;
    }
    return 2;
}
