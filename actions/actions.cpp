#include "actions/actions.h"

#include "actions/app_state.h"
#include "actions/defaults.h"
#include "core/files.h"
#include "core/numbers.h"
#include "core/strings.h"
#include "core/progress.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "core/ui.h"
#include "image/crop.h"
#include "image/load.h"
#include "model/paper.h"
#include "image/placement.h"
#include "image/separation.h"
#include "job/job.h"
#include "model/media.h"
#include "model/models.h"
#include "actions/messages.h"
#include "image/colour.h"
#include "pattern/pattern_mask.h"
#include "printer/spooler.h"
#include "settings/recent_files.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

void setTitle(AppState& state, const std::string& path) {
    state.window.windowTitle = text(state.language, kTextProgramName);
    if (!path.empty()) state.window.windowTitle += " - " + path;
}

// What a load that left no new picture means for the command.
ActionResult loadFailureResult(AppState& state) {
    switch (state.picture.loadFailure) {
    case LoadFailure::Cancelled:
        setProgress(state, 0);
        setStatus(state, kStatusCancelled);
        return ActionResult::Cancelled;
    case LoadFailure::Conversion:
        loadDefaults(state);
        return ActionResult::Rebuild;
    case LoadFailure::OutOfMemory:
        return ActionResult::Close;
    default:
        return ActionResult::Failed;
    }
}

// Loads path as the working picture; true when a picture is loaded afterwards.
bool loadPicture(AppState& state, std::string& path) {
    loadPictureFile(state, path);
    if (path.empty() || state.picture.imageBuffer.empty()) return false;
    state.picture.imageLoaded = 1;
    return true;
}

// The size fields show the placed size in the display unit.
void showPlacedSize(AppState& state) {
    state.window.widthText = formatLength(state.record.unit, state.layout.placedWidthPt);
    state.window.heightText = formatLength(state.record.unit, state.layout.placedHeightPt);
}

// The picture's orientation again after a change of Rotate, Mirror or the crop.
void reorient(AppState& state) {
    if (state.picture.imageLoaded != 1) return;
    orientImage(state.picture, state.layout, state.page, feedback(state));
    showPlacedSize(state);
}

// Makes the picture fit the sheet again after the printable area changed.
void fitToSheet(AppState& state) {
    handleOversize(state.layout, state.page, state.picture);
}

ActionResult refreshed(AppState& state) {
    refreshPreview(state);
    return ActionResult::Done;
}

// Text n without its access-key ampersand (dialog captions and field names).
std::string plainText(const AppState& state, int n) {
    std::string t = text(state.language, n);
    t.erase(std::remove(t.begin(), t.end(), '&'), t.end());
    return t;
}

bool listed(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

void setUpMainWindow(AppState& state) {
    ensureSettings(state);
    ensurePatternDefaults(state.settings);

    setTitle(state, {});
    fillMediaList(state.target, state.language, state.page);
    state.window.mediaList.clear();
    for (const int id : state.page.mediaIds)
        state.window.mediaList.push_back(mediaLabel(state.language, id));
    if (!state.page.mediaIds.empty()) selectMedium(state.page, state.page.mediaIds.front());
    fillTrayList(state.target, state.language, state.page);
    if (state.page.trayList.empty()) {
        state.page.trayList = {text(state.language, kTextTrayAuto),
                               text(state.language, kTextTrayMultiPurpose),
                               text(state.language, kTextTray1)};
        state.page.trayText = state.page.trayList.front();
    }

    // The paper starts as A4 whatever the list holds.
    state.page.paperWidthPt = 595;
    state.page.paperHeightPt = 842;
    buildPaperList(state.target, state.settings, state.page);
    enforceMargins(state.target, state.settings, state.page);
    fitToSheet(state);
    if (!state.page.paperText.empty()) {
        selectPaper(state.page, state.settings, state.page.paperText);
        fitToSheet(state);
    }

    chooseInkThresholds(state.colour, state.settings);
    rebuildColourCurveTable(state.colour);
    state.layout.mirrorChecked = settingValue(readSetting(state.settings, keys::kMirror)) != 0.0;
    state.window.copiesText = "1";
    state.window.xCopiesText = state.window.yCopiesText = state.window.totalCopiesText = "1";
    state.layout.copies = state.layout.xCopies = state.layout.yCopies = 1;
    state.layout.brightness = state.layout.contrast = 0;
    state.picture.imageLoaded = 0;
    state.profiles = colourProfiles(state.settings, state.locations.programFolder);
    setStatus(state, kStatusNoFile);
}

void loadPictureFile(AppState& state, std::string& path) {
    // "Crop" says whether the picture on screen was cropped; a new one is not (yet).
    const std::string previousCrop = readSetting(state.settings, keys::kCrop);
    writeSetting(state.settings, keys::kCrop, "0");
    state.profiles = colourProfiles(state.settings, state.locations.programFolder);
    const LoadRequest request{path, state.layout.flipChecked, state.profiles};
    const LoadOutcome out =
        loadImage(request, state.picture, state.layout, state.page, feedback(state));
    path.clear();
    switch (out.problem) {
    case LoadProblem::None:
        path = out.path;
        state.window.widthText = formatLength(state.record.unit, state.picture.imageWidthPt);
        state.window.heightText = formatLength(state.record.unit, state.picture.imageHeightPt);
        state.window.scaleText =
            formatPicture(static_cast<double>(state.layout.zoom) * 100.0, "#%");
        return;
    case LoadProblem::Cancelled:
        writeSetting(state.settings, keys::kCrop, previousCrop);
        return;
    case LoadProblem::Dropped:
        return;
    case LoadProblem::NoMemory:
    case LoadProblem::Conversion:
        // The new picture had replaced the old one at 100 %.
        state.window.scaleText = "100%";
        break;
    default:
        break;
    }
    showMessages(feedback(state), loadFailureMessages(state.language, out));
    setStatus(state, kStatusUnsuitable);
}

ActionResult updatePatternMask(AppState& state) {
    state.picture.patternMask.clear();
    if (!(state.layout.patternPrintChecked || state.layout.patternPreviewChecked) ||
        state.picture.imageLoaded != 1)
        return ActionResult::Nothing;
    PatternMask mask =
        generateImagePatternMask(state.picture, state.layout, state.settings, feedback(state));
    if (mask.width != state.picture.gridWidth || mask.height != state.picture.gridHeight)
        return ActionResult::Failed;
    state.picture.patternMask = std::move(mask.bytes);
    return ActionResult::Done;
}

PreviewScene previewScene(const AppState& state) {
    return {state.page,   state.picture,  state.layout,
            state.colour, state.profiles, state.window.windowTitle};
}

void refreshPreview(AppState& state) {
    // A pattern mask made for another grid (a new picture, a turn) is made again for this one.
    if ((state.layout.patternPrintChecked || state.layout.patternPreviewChecked) &&
        state.picture.patternMask.size() !=
            static_cast<std::size_t>(std::max(0, state.picture.gridWidth)) *
                std::max(0, state.picture.gridHeight))
        updatePatternMask(state);
    state.profiles = colourProfiles(state.settings, state.locations.programFolder);
    if (state.picture.imageLoaded != 1 || !previewFrame(state.page, state.layout).valid) return;
    const PreviewLayout placed = layoutCopies(state.layout, state.page, state.picture);
    // The fields of the refresh: resolution, scale and sizes, and the copies placed.
    state.window.dpiText = formatPicture(effectiveResolution(state.layout, state.picture), "#.##");
    if (state.picture.imageWidthPt > 0.0f)
        state.window.scaleText =
            formatPicture(static_cast<double>(state.layout.zoom) * 100.0, "#%");
    showPlacedSize(state);
    if (!placed.valid) return;
    state.window.xCopiesText = std::to_string(placed.across);
    state.window.yCopiesText = std::to_string(placed.down);
    state.window.totalCopiesText =
        std::to_string(static_cast<long long>(placed.across) * placed.down);
}

ActionResult openImage(AppState& state, const std::string& path) {
    std::string p = path;
    if (!loadPicture(state, p)) {
        ActionResult r = loadFailureResult(state);
        refreshPreview(state);
        return r;
    }
    rememberFile(state.recent, state.locations.recentFilesPath, state.ui, p);
    setTitle(state, p);
    setProgress(state, 0);
    setStatus(state, kStatusLoaded);
    return refreshed(state);
}

ActionResult openDroppedFile(AppState& state, const std::string& path) {
    static constexpr std::string_view kDroppable[] = {".TIF", ".PSD", ".PNG",
                                                      ".GIF", ".JPG", ".BMP"};
    const std::string upper = upperAscii(path);
    const bool accepted =
        std::any_of(std::begin(kDroppable), std::end(kDroppable),
                    [&](std::string_view ext) { return std::string_view(upper).ends_with(ext); });
    if (!accepted) return ActionResult::Nothing;
    return openImage(state, path);
}

ActionResult reloadImage(AppState& state) {
    return openRecentFile(state, 1);
}

ActionResult openRecentFile(AppState& state, int n) {
    if (n < 1 || n > 5) return ActionResult::Refused;
    readRecentFiles(state.recent, state.locations.recentFilesPath, state.ui);
    std::string p = state.recent.recentFiles[static_cast<std::size_t>(n)];
    if (p.empty()) return ActionResult::Nothing;
    if (!loadPicture(state, p)) {
        const bool cancelled = state.picture.loadFailure == LoadFailure::Cancelled;
        ActionResult r = loadFailureResult(state);
        if (cancelled) return r;
        // The entry no longer loads: it leaves the list.
        forgetRecentFile(state.recent, state.locations.recentFilesPath, state.ui, n);
        setStatus(state, kStatusNoFile);
        refreshPreview(state);
        return r;
    }
    rememberFile(state.recent, state.locations.recentFilesPath, state.ui, p);
    setTitle(state, p);
    setProgress(state, 0);
    setStatus(state, kStatusLoaded);
    return refreshed(state);
}

ActionResult setRotate(AppState& state, bool on) {
    if (state.layout.rotateChecked == on) return ActionResult::Nothing;
    state.layout.rotateChecked = on;
    reorient(state);
    return refreshed(state);
}

ActionResult setMirror(AppState& state, bool on) {
    if (state.layout.mirrorChecked == on) return ActionResult::Nothing;
    state.layout.mirrorChecked = on;
    reorient(state);
    return refreshed(state);
}

ActionResult setFlip(AppState& state, bool on) {
    state.layout.flipChecked = on;
    if (state.picture.imageLoaded != 1) return refreshed(state);
    const bool cropped = readSetting(state.settings, keys::kCrop) == "1";
    // Flip changes the decoder's row order, so the file is read again.
    ActionResult r = reloadImage(state);
    if (r != ActionResult::Done) return r;
    if (cropped) {
        int w = state.picture.imagePixelWidth, h = state.picture.imagePixelHeight;
        autoCrop(state.picture, 2, w, h, feedback(state));
        writeSetting(state.settings, keys::kCrop, "1");
        reorient(state);
    }
    return refreshed(state);
}

ActionResult cropImage(AppState& state) {
    if (state.picture.imageLoaded != 1) return ActionResult::Nothing;
    int w = state.picture.imagePixelWidth, h = state.picture.imagePixelHeight;
    autoCrop(state.picture, 2, w, h, feedback(state));
    reorient(state);
    writeSetting(state.settings, keys::kCrop, "1");
    return refreshed(state);
}

ActionResult setTypedWidth(AppState& state, std::string_view typed) {
    if (state.picture.imageLoaded != 1 || !(state.layout.placedWidthPt > 0.0f))
        return ActionResult::Nothing;
    // A text that is no size shows the placed size again.
    if (!applyTypedWidth(state.layout, state.page, state.picture,
                         parseLength(state.record.unit, typed)))
        showPlacedSize(state);
    return refreshed(state);
}

ActionResult setTypedHeight(AppState& state, std::string_view typed) {
    if (state.picture.imageLoaded != 1 || !(state.layout.placedHeightPt > 0.0f))
        return ActionResult::Nothing;
    if (!applyTypedHeight(state.layout, state.page, state.picture,
                          parseLength(state.record.unit, typed)))
        showPlacedSize(state);
    return refreshed(state);
}

ActionResult fitImageToPage(AppState& state) {
    fitToPage(state.layout, state.page, state.picture);
    return refreshed(state);
}

void setCopies(AppState& state, std::string_view copies) {
    state.window.copiesText = std::string(copies);
    state.layout.copies = printCopiesFromText(copies);
}

ActionResult setCopyCounts(AppState& state, std::string_view across, std::string_view down) {
    state.window.xCopiesText = std::string(across);
    state.window.yCopiesText = std::string(down);
    state.layout.xCopies = copyCountFromText(across);
    state.layout.yCopies = copyCountFromText(down);
    return refreshed(state);
}

ActionResult setAutoTile(AppState& state, bool on) {
    state.layout.autoTileChecked = on;
    return refreshed(state);
}

ActionResult setAlignment(AppState& state, int alignment) {
    static constexpr CopyAlignment kAlignments[] = {CopyAlignment::Centre, CopyAlignment::TopLeft,
                                                    CopyAlignment::TopCentre,
                                                    CopyAlignment::TopRight};
    if (alignment < 0 || alignment > 3) return ActionResult::Refused;
    state.layout.alignment = kAlignments[alignment];
    return refreshed(state);
}

ActionResult setFixedSpacing(AppState& state, bool on, float millimetres) {
    if (!(millimetres >= 0.0f && millimetres <= 1000.0f)) return ActionResult::Refused;
    state.layout.fixedSpacingChecked = on;
    state.layout.fixedSpacingMm = millimetres;
    return refreshed(state);
}

ActionResult setBrightness(AppState& state, int value) {
    state.layout.brightness = std::clamp(value, -100, 100);
    return refreshed(state);
}

ActionResult setContrast(AppState& state, int value) {
    state.layout.contrast = std::clamp(value, -100, 100);
    return refreshed(state);
}

ActionResult setGuardArea(AppState& state, bool on) {
    state.layout.guardAreaChecked = on;
    return refreshed(state);
}

ActionResult setPreviewBackground(AppState& state, int n) {
    if (n < 1 || n > 16) return ActionResult::Refused;
    if (state.layout.previewBackground == n) return ActionResult::Nothing;
    state.layout.previewBackground = n;
    return refreshed(state);
}

ActionResult setHandedness(AppState& state, bool leftHand) {
    writeSetting(state.settings, keys::kLeftHand, leftHand ? "1" : "0");
    writeSetting(state.settings, keys::kRightHand, leftHand ? "0" : "1");
    state.record.leftHand = leftHand ? 1 : 0;
    state.record.rightHand = leftHand ? 0 : 1;
    return refreshed(state);
}

ActionResult choosePaper(AppState& state, std::string_view name) {
    if (!listed(state.page.paperList, name)) {
        showMessage(state, MessageIcon::Exclamation, text(state.language, kTextProgramName),
                    "The paper \"" + std::string(name) + "\" is not offered for this printer.");
        return ActionResult::Refused;
    }
    selectPaper(state.page, state.settings, name);
    fitToSheet(state);
    // A paper of another size may bring or take "Tray 2".
    fillTrayList(state.target, state.language, state.page);
    return refreshed(state);
}

ActionResult chooseMedium(AppState& state, int mediaId) {
    if (!selectMedium(state.page, mediaId)) return ActionResult::Refused;
    restoreMargins(state.settings, state.page);
    fitToSheet(state);
    fillTrayList(state.target, state.language, state.page);
    return refreshed(state);
}

ActionResult chooseTray(AppState& state, std::string_view tray) {
    if (!listed(state.page.trayList, tray)) return ActionResult::Refused;
    state.page.trayText = std::string(tray);
    writeSetting(state.settings, keys::kTray, tray);
    return ActionResult::Done;
}

ActionResult choosePrinterQueue(AppState& state, std::string_view queue) {
    state.window.printerChoice = std::string(queue);
    writeSetting(state.settings, keys::kPrinter, queue);
    return ActionResult::Done;
}

ActionResult chooseTargetPrinter(AppState& state, std::string_view model) {
    std::string code = upperAscii(model);
    const auto& offered = offeredModelCodes();
    const bool known = std::find(offered.begin(), offered.end(), code) != offered.end() ||
                       findPrinterModel(code) != nullptr || isSecondFamilyModel(code);
    if (code.empty() || !known) {
        showMessage(state, MessageIcon::Exclamation, text(state.language, kTextProgramName),
                    "Unknown printer model \"" + std::string(model) + "\".");
        return ActionResult::Refused;
    }
    setTargetPrinter(state.target, code);
    if (!writeSetting(state.settings, keys::kTargetModel, state.target.targetModel))
        return ActionResult::Failed;
    // The model's own defaults, as a first start derives them.
    writeSetting(state.settings, keys::kProfileOut,
                 state.locations.programFolder +
                     defaultOutputProfile(state.target.targetModel, true));
    writeModelMargins(state);
    writeSetting(state.settings, keys::kColourAdjust, defaultColourAdjustText(state.target));
    setColourAdjustFromText(state.colour, defaultColourAdjustText(state.target));
    rebuildColourCurveTable(state.colour);
    const std::string paper = state.page.paperText;
    setUpMainWindow(state);
    // Keep the chosen paper when the new model offers it.
    if (listed(state.page.paperList, paper)) {
        selectPaper(state.page, state.settings, paper);
        fitToSheet(state);
    }
    return ActionResult::Done;
}

ActionResult chooseUnit(AppState& state, std::string_view unit) {
    const std::string code = unit == "C" || unit == "I" ? std::string(unit) : std::string("M");
    if (!writeSetting(state.settings, keys::kUnit, code)) return ActionResult::Failed;
    state.record.unit = unitFromSetting(code);
    showPlacedSize(state);
    return refreshed(state);
}

ActionResult loadDefaultsAction(AppState& state) {
    loadDefaults(state);
    if (state.picture.imageLoaded == 1) return reloadImage(state);
    return refreshed(state);
}

ActionResult chooseProfile(AppState& state, bool output, const std::string& path) {
    if (path.empty()) return ActionResult::Nothing;
    if (!writeSetting(state.settings, output ? keys::kProfileOut : keys::kProfileIn, path))
        return ActionResult::Failed;
    if (output) chooseInkThresholds(state.colour, state.settings);
    return ActionResult::Done;
}

namespace {

// A stored snapshot margin: hundredths of a point as plain decimal text. Anything else, a
// negative value or one wider than any paper (10000 points) loads the fallback "60".
std::string snapshotMargin(const ProfileFile& snapshot, const SettingKey& key) {
    const std::string v = readSetting(snapshot, key, "60");
    const bool plain = !v.empty() && v.find_first_not_of("0123456789.") == std::string::npos &&
                       std::count(v.begin(), v.end(), '.') <= 1 && v != ".";
    if (!plain || settingValue(v) > 1000000.0) return "60";
    return v;
}

// A snapshot's colour adjustment: exactly 48 hexadecimal digits, else the fallback "0".
std::string snapshotProfile(const ProfileFile& snapshot) {
    const std::string v = readSetting(snapshot, keys::kColourAdjust, "0");
    if (v.size() != 48 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return "0";
    return v;
}

} // namespace

ActionResult applySnapshot(AppState& state, const std::string& path) {
    // Only a regular file of settings size: a FIFO would block the window, and a folder, a
    // device or an oversized file would load every fallback over the user's margins.
    std::string content;
    switch (readRegularFile(path, kMaxSettingsFileBytes, content)) {
    case ReadResult::Ok:
        break;
    case ReadResult::TooLarge:
        showMessage(state, MessageIcon::Error, text(state.language, kTextProgramName),
                    "The settings file " + path + " is larger than " +
                        std::to_string(kMaxSettingsFileBytes >> 20) + " MB and was not read");
        return ActionResult::Failed;
    case ReadResult::Unreadable:
        showMessage(state, MessageIcon::Error, text(state.language, kTextProgramName),
                    "Cannot read the settings file " + path);
        return ActionResult::Failed;
    }
    const ProfileFile snapshot(path);
    state.record.unit = unitFromSetting(readSetting(state.settings, keys::kUnit, ""));
    auto byte = [&](const SettingKey& key, std::string_view fallback) {
        const double d = settingValue(readSetting(snapshot, key, fallback));
        return static_cast<std::uint8_t>(std::clamp(d, 0.0, 255.0));
    };
    // A snapshot without white keys gives less white than a fresh settings file.
    state.record.whiteMaskPercent = byte(keys::kWhiteMask, "40");
    state.record.whiteOverlayPercent = byte(keys::kWhiteOverlay, "2");
    state.record.displayWhite = byte(keys::kDisplayWhite, "1");
    state.record.tonerOn = byte(keys::kTonerOn, "1");
    for (const SettingKey* key :
         {&keys::kRightMargin, &keys::kLeftMargin, &keys::kBottomMargin, &keys::kTopMargin})
        writeSetting(state.settings, *key, snapshotMargin(snapshot, *key));
    const std::string paper = readSetting(snapshot, keys::kPaperSize, "");
    int w = state.page.paperWidthPt, h = state.page.paperHeightPt;
    if (snapshotPaperSize(state.settings, paper, w, h)) {
        state.page.paperWidthPt = w;
        state.page.paperHeightPt = h;
        if (listed(state.page.paperList, paper)) state.page.paperText = paper;
    }
    // A stored margin below what the printer can print would reach the job: raise it now.
    enforceMargins(state.target, state.settings, state.page);
    fitToSheet(state);
    computePrintableArea(state.settings, state.page);
    fitToSheet(state);
    setColourAdjustFromText(state.colour, snapshotProfile(snapshot));
    rebuildColourCurveTable(state.colour);
    fillTrayList(state.target, state.language, state.page);
    return refreshed(state);
}

ActionResult saveSnapshot(AppState& state, const std::string& path) {
    // Key by key, so that the other keys of a file saved over (white keys) stay.
    ProfileFile snapshot(path);
    snapshot.onWriteFailure = state.settings.onWriteFailure;
    for (const SettingKey* key :
         {&keys::kRightMargin, &keys::kLeftMargin, &keys::kBottomMargin, &keys::kTopMargin})
        if (!writeSetting(snapshot, *key, readSetting(state.settings, *key, "")))
            return ActionResult::Failed;
    if (!writeSetting(snapshot, keys::kPaperSize, state.page.paperText))
        return ActionResult::Failed;
    if (!writeSetting(snapshot, keys::kColourAdjust, colourAdjustText(state.colour)))
        return ActionResult::Failed;
    return ActionResult::Done;
}

namespace {

std::string chooseSnapshotFile(AppState& state, bool save, const std::string& start) {
    if (!state.ui) return {};
    std::string path =
        state.ui->chooseFile(save, plainText(state, save ? 94 : 93), kSnapshotFilter, start);
    // The default extension, for a seam whose dialog does not add it.
    if (save && !path.empty() && std::filesystem::path(path).extension().string().empty())
        path += std::string(".") + kSnapshotExtension;
    return path;
}

} // namespace

ActionResult saveSettingsCommand(AppState& state) {
    const std::string start = readSetting(state.settings, keys::kLastConfig);
    const std::string path = chooseSnapshotFile(state, true, start);
    if (path.empty()) return ActionResult::Cancelled;
    writeSetting(state.settings, keys::kLastConfig, path);
    return saveSnapshot(state, path);
}

ActionResult loadSettingsCommand(AppState& state) {
    state.record.unit = unitFromSetting(readSetting(state.settings, keys::kUnit, ""));
    std::string start = readSetting(state.settings, keys::kLastConfig);
    if (start.empty()) {
        std::error_code ec;
        start = std::filesystem::current_path(ec).string();
    }
    const std::string path = chooseSnapshotFile(state, false, start);
    if (path.empty()) return ActionResult::Cancelled;
    writeSetting(state.settings, keys::kLastConfig, path);
    const ActionResult r = applySnapshot(state, path);
    if (r == ActionResult::Done) showPlacedSize(state);
    return r;
}

bool parseTypedLength(const AppState& state, std::string_view typed, double& points) {
    std::string t(typed);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    std::size_t i = t.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    t = t.substr(i);
    std::replace(t.begin(), t.end(), ',', '.');
    if (t.find_first_not_of("0123456789.") != std::string::npos ||
        std::count(t.begin(), t.end(), '.') > 1 || t == ".")
        return false;
    points = parseLength(state.record.unit, t);
    return std::isfinite(points);
}

namespace {

// Lower and upper end of a range text such as "(63...215.9)" or "(127..1320.8)".
std::pair<double, double> rangeEnds(const std::string& range) {
    const std::size_t dots = range.find("..");
    const double lo = settingValue(range.substr(1, dots - 1));
    std::size_t from = dots;
    while (from < range.size() && range[from] == '.')
        ++from;
    return {lo, settingValue(range.substr(from))};
}

// Whether a typed length lies in a range text of the dialog (compared in the display unit,
// as the user reads it).
bool inRange(std::string_view typed, const std::string& range) {
    const auto [lo, hi] = rangeEnds(range);
    const double v = leadingNumber(typed, true);
    return v >= lo - 1e-9 && v <= hi + 1e-9;
}

} // namespace

ActionResult saveCustomPaperSize(AppState& state, std::string_view name, std::string_view width,
                                 std::string_view height, std::string_view top,
                                 std::string_view left, std::string_view right,
                                 std::string_view bottom) {
    const std::string caption = plainText(state, 147);
    auto refuse = [&](const std::string& why) {
        showMessage(state, MessageIcon::Exclamation, caption, why);
        return ActionResult::Refused;
    };
    const CustomSizeRanges ranges = customSizeRanges(state.target, state.record.unit);
    const std::string& unit = unitSymbol(state.record.unit, state.language);
    double w = 0, h = 0;
    if (!parseTypedLength(state, width, w) || !inRange(width, ranges.width))
        return refuse(plainText(state, 149) + " must lie in the range " + ranges.width + " " +
                      unit + ".");
    if (!parseTypedLength(state, height, h) || !inRange(height, ranges.height))
        return refuse(plainText(state, 150) + " must lie in the range " + ranges.height + " " +
                      unit + ".");
    std::array<double, 4> m{};
    const std::array<std::string_view, 4> typed = {top, left, right, bottom};
    for (std::size_t i = 0; i < 4; ++i) {
        // An empty margin field keeps the current margins when the size is chosen.
        if (typed[i].find_first_not_of(" \t") == std::string_view::npos) continue;
        if (!parseTypedLength(state, typed[i], m[i]))
            return refuse("A margin must be a number of " + unit + ", 0 or more.");
    }
    switch (addCustomPaper(state.settings, name, w, h, m[0], m[1], m[2], m[3])) {
    case CustomPaperError::None:
        break;
    case CustomPaperError::BadName:
        return refuse("The name must not be empty and must not hold \"^\" or a line break.");
    case CustomPaperError::ReservedName:
        return refuse("The name \"" + std::string(name) + "\" belongs to a built-in paper size.");
    case CustomPaperError::BadMargin:
        return refuse("A margin must be a number of " + unit + ", 0 or more.");
    case CustomPaperError::WriteFailed:
        return ActionResult::Failed;
    default:
        return refuse("This custom paper size cannot be stored.");
    }
    const std::string chosen = state.page.paperText;
    buildPaperList(state.target, state.settings, state.page);
    if (listed(state.page.paperList, chosen)) state.page.paperText = chosen;
    return ActionResult::Done;
}

ActionResult deleteCustomPaperSize(AppState& state, std::string_view name) {
    if (!deleteCustomPaper(state.settings, name)) return ActionResult::Nothing;
    const std::string chosen = state.page.paperText;
    buildPaperList(state.target, state.settings, state.page);
    if (listed(state.page.paperList, chosen)) {
        state.page.paperText = chosen;
        return ActionResult::Done;
    }
    // The chosen size is gone: the list's own choice takes its place.
    selectPaper(state.page, state.settings, state.page.paperText);
    fitToSheet(state);
    return refreshed(state);
}

CheckedMargin checkMargin(const AppState& state, int which, double points) {
    const MarginMinimum m =
        marginMinimums(state.target)[static_cast<std::size_t>(std::clamp(which, 0, 3))];
    CheckedMargin out{points, false};
    if (!(points * 100.0 >= m.hundredths)) {
        out.points = settingValue(m.replacement) / 100.0;
        out.raised = !(std::fabs(out.points - points) < 1e-9);
    }
    return out;
}

std::array<double, 4> printerMarginsPt(const AppState& state) {
    std::array<double, 4> out{};
    const auto minimum = marginMinimums(state.target);
    for (std::size_t i = 0; i < 4; ++i)
        out[i] = settingValue(minimum[i].replacement) / 100.0;
    return out;
}

std::pair<double, double> printableAreaFor(const AppState& state, const std::array<double, 4>& m) {
    return {state.page.paperWidthPt - m[1] - m[2], state.page.paperHeightPt - m[0] - m[3]};
}

ActionResult applyPrintMargins(AppState& state, const std::array<double, 4>& marginsPt) {
    static const char* const kWhich[] = {"Top", "Left", "Right", "Bottom"};
    for (int i = 0; i < 4; ++i) {
        const CheckedMargin m = checkMargin(state, i, marginsPt[static_cast<std::size_t>(i)]);
        if (!writeMargin(state.settings, kWhich[i], m.points * 100.0)) return ActionResult::Failed;
    }
    // The printable area and, when the picture no longer fits, its fitting.
    computePrintableArea(state.settings, state.page);
    fitToSheet(state);
    return refreshed(state);
}

JobInputs jobInputs(const AppState& state) {
    return {state.target,
            state.language,
            state.page,
            state.layout,
            state.picture.gridWidth,
            state.picture.gridHeight,
            state.window.windowTitle};
}

SeparationInputs separationInputs(AppState& state) {
    return {state.picture, state.layout, state.colour, state.page.mediaId,
            state.window.windowTitle};
}

PrintJobParts buildSessionJob(AppState& state) {
    PrintJobParts job = makePrintJob(jobInputs(state), separationInputs(state), feedback(state));
    // The copies field shows the copies the job prints.
    state.window.copiesText = std::to_string(state.layout.copies);
    showMessages(feedback(state), jobFailureMessages(state.language, job.problem));
    return job;
}

bool spoolAndReport(AppState& state, const std::string& queue, const std::string& documentName,
                    PrintJobParts& parts, int settleMs) {
    const SpoolOutcome r = spoolJob(queue, documentName, parts, feedback(state), settleMs);
    showMessages(feedback(state), spoolMessages(queue, r, progressCancelled(state)));
    return r.ok;
}

bool spoolBytesAndReport(AppState& state, const std::string& queue, const std::string& documentName,
                         std::string_view bytes, int settleMs) {
    const SpoolOutcome r = spoolRawBytes(queue, documentName, bytes, feedback(state), settleMs);
    showMessages(feedback(state), spoolMessages(queue, r, progressCancelled(state)));
    return r.ok;
}

ActionResult printToQueue(AppState& state, const std::string& queue) {
    choosePrinterQueue(state, queue);
    const std::string documentName = printDocumentName(jobInputs(state));
    PrintJobParts parts = buildSessionJob(state);
    if (!parts.ok()) {
        if (progressCancelled(state)) setStatus(state, kStatusCancelled);
        return progressCancelled(state) ? ActionResult::Cancelled : ActionResult::Failed;
    }
    if (progressCancelled(state)) {
        setProgress(state, 0);
        setStatus(state, kStatusCancelled);
        return ActionResult::Cancelled;
    }
    if (spoolAndReport(state, queue, documentName, parts)) return ActionResult::Done;
    return progressCancelled(state) ? ActionResult::Cancelled : ActionResult::Failed;
}

ActionResult printImageAction(AppState& state, const std::vector<std::string>& queues,
                              const std::string& queue) {
    if (queues.empty()) return ActionResult::Nothing;
    state.layout.patternPrintChecked = false;
    if (state.picture.imageLoaded != 1) return ActionResult::Nothing;
    return printToQueue(state, queue);
}

ActionResult printBlankPage(AppState& state, const std::string& queue) {
    if (queue.empty()) return ActionResult::Nothing;
    const std::string bytes = blankPageBytes(state);
    // The blank page has its own document name in the spooler.
    return spoolBytesAndReport(state, queue, "DX-Blank", bytes) ? ActionResult::Done
                                                                : ActionResult::Failed;
}

std::string blankPageBytes(AppState& state) {
    const std::string bytes = blankPageJobBytes(jobInputs(state), feedback(state));
    state.window.copiesText = std::to_string(state.layout.copies);
    return bytes;
}

std::string currentJobBytes(AppState& state) {
    return jobBytes(buildSessionJob(state), feedback(state));
}
