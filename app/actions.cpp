#include "app/actions.h"

#include "app/app_state.h"
#include "app/defaults.h"
#include "app/pattern_actions.h"
#include "app/strings.h"
#include "app/progress.h"
#include "app/texts.h"
#include "app/tone_curves.h"
#include "app/ui.h"
#include "image/crop.h"
#include "image/load.h"
#include "image/paper.h"
#include "image/placement.h"
#include "image/separation.h"
#include "job/job.h"
#include "printer/media.h"
#include "printer/models.h"
#include "printer/spooler.h"
#include "settings/recent_files.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

void writeWhenMissing(AppState& state, const char* section, const char* key, const char* value) {
    if (readSetting(state, section, key).empty()) writeSetting(state, section, key, value);
}

void setTitle(AppState& state, const std::string& path) {
    state.windowTitle = text(state, kTextProgramName);
    if (!path.empty()) state.windowTitle += " - " + path;
}

// What a load that left no new picture means for the command.
ActionResult loadFailureResult(AppState& state) {
    switch (state.loadFailure) {
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
    loadImage(state, path);
    if (path.empty() || state.imageBuffer.empty()) return false;
    state.imageLoaded = 1;
    return true;
}

// The picture's orientation again after a change of Rotate, Mirror or the crop.
void reorient(AppState& state) {
    if (state.imageLoaded != 1) return;
    orientImage(state);
    showPlacedSize(state);
}

ActionResult refreshed(AppState& state) {
    refreshPreview(state);
    return ActionResult::Done;
}

bool listed(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

void setUpMainWindow(AppState& state) {
    ensureSettings(state);
    writeWhenMissing(state, "RIP Patten Setup", "SizeX", "2");
    writeWhenMissing(state, "RIP Patten Setup", "SizeY", "2");
    writeWhenMissing(state, "RIP Patten Setup", "Gap", "1");
    writeWhenMissing(state, "RIP Patten Setup", "Screen", "45");
    writeWhenMissing(state, "RIP Patten Setup", "Shape", "Ellipse");

    setTitle(state, {});
    fillMediaList(state);
    if (!state.mediaIds.empty()) selectMedium(state, state.mediaIds.front());
    fillTrayList(state);
    if (state.trayList.empty()) {
        state.trayList = {text(state, kTextTrayAuto), text(state, kTextTrayMultiPurpose),
                          text(state, kTextTray1)};
        state.trayText = state.trayList.front();
    }

    // The paper starts as A4 whatever the list holds.
    state.paperWidthPt = 595;
    state.paperHeightPt = 842;
    buildPaperList(state);
    enforceMargins(state);
    if (!state.paperText.empty()) selectPaper(state, state.paperText);

    chooseInkThresholds(state);
    rebuildColourCurveTable(state);
    state.mirrorChecked = settingValue(readSetting(state, "Active", "Mirror", "1")) != 0.0;
    state.copiesText = "1";
    state.xCopiesText = state.yCopiesText = state.totalCopiesText = "1";
    state.brightness = state.contrast = 0;
    state.imageLoaded = 0;
    setStatus(state, kStatusNoFile);
}

void refreshPreview(AppState& state) {
    // A pattern mask made for another grid (a new picture, a turn) is made again for this one.
    if ((state.patternPrintChecked || state.patternPreviewChecked) &&
        state.patternMask.size() !=
            static_cast<std::size_t>(std::max(0, state.gridWidth)) * std::max(0, state.gridHeight))
        updatePatternMask(state);
    layoutCopies(state);
}

ActionResult openImage(AppState& state, const std::string& path) {
    std::string p = path;
    if (!loadPicture(state, p)) {
        ActionResult r = loadFailureResult(state);
        refreshPreview(state);
        return r;
    }
    rememberFile(state, p);
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
    readRecentFiles(state);
    std::string p = state.recentFiles[1];
    if (p.empty()) return ActionResult::Nothing;
    if (!loadPicture(state, p)) {
        if (state.loadFailure == LoadFailure::Cancelled) return loadFailureResult(state);
        ActionResult r = loadFailureResult(state);
        forgetRecentFile(state, 1);
        setStatus(state, kStatusNoFile);
        refreshPreview(state);
        return r;
    }
    rememberFile(state, p);
    setTitle(state, p);
    setProgress(state, 0);
    setStatus(state, kStatusLoaded);
    return refreshed(state);
}

ActionResult openRecentFile(AppState& state, int n) {
    if (n == 1) return reloadImage(state);
    if (n < 2 || n > 5) return ActionResult::Refused;
    readRecentFiles(state);
    std::string p = state.recentFiles[static_cast<std::size_t>(n)];
    if (p.empty()) return ActionResult::Nothing;
    if (!loadPicture(state, p)) {
        if (state.loadFailure == LoadFailure::Cancelled) return loadFailureResult(state);
        ActionResult r = loadFailureResult(state);
        forgetRecentFile(state, n);
        setStatus(state, kStatusNoFile);
        refreshPreview(state);
        return r;
    }
    rememberFile(state, p);
    setTitle(state, p);
    setProgress(state, 0);
    setStatus(state, kStatusLoaded);
    return refreshed(state);
}

ActionResult setRotate(AppState& state, bool on) {
    if (state.rotateChecked == on) return ActionResult::Nothing;
    state.rotateChecked = on;
    reorient(state);
    return refreshed(state);
}

ActionResult setMirror(AppState& state, bool on) {
    if (state.mirrorChecked == on) return ActionResult::Nothing;
    state.mirrorChecked = on;
    reorient(state);
    return refreshed(state);
}

ActionResult setFlip(AppState& state, bool on) {
    state.flipChecked = on;
    if (state.imageLoaded != 1) return refreshed(state);
    const bool cropped = readSetting(state, "Active", "Crop") == "1";
    // Flip changes the decoder's row order, so the file is read again.
    ActionResult r = reloadImage(state);
    if (r != ActionResult::Done) return r;
    if (cropped) {
        int w = state.imagePixelWidth, h = state.imagePixelHeight;
        autoCrop(state, 2, w, h);
        writeSetting(state, "Active", "Crop", "1");
        reorient(state);
    }
    return refreshed(state);
}

ActionResult cropImage(AppState& state) {
    if (state.imageLoaded != 1) return ActionResult::Nothing;
    int w = state.imagePixelWidth, h = state.imagePixelHeight;
    autoCrop(state, 2, w, h);
    reorient(state);
    writeSetting(state, "Active", "Crop", "1");
    return refreshed(state);
}

ActionResult setTypedWidth(AppState& state, std::string_view typed) {
    if (state.imageLoaded != 1 || !(state.placedWidthPt > 0.0f)) return ActionResult::Nothing;
    applyTypedWidth(state, typed);
    return refreshed(state);
}

ActionResult setTypedHeight(AppState& state, std::string_view typed) {
    if (state.imageLoaded != 1 || !(state.placedHeightPt > 0.0f)) return ActionResult::Nothing;
    applyTypedHeight(state, typed);
    return refreshed(state);
}

ActionResult fitImageToPage(AppState& state) {
    fitToPage(state);
    return refreshed(state);
}

void setCopies(AppState& state, std::string_view copies) {
    state.copiesText = std::string(copies);
}

ActionResult setCopyCounts(AppState& state, std::string_view across, std::string_view down) {
    state.xCopiesText = std::string(across);
    state.yCopiesText = std::string(down);
    return refreshed(state);
}

ActionResult setAutoTile(AppState& state, bool on) {
    state.autoTileChecked = on;
    return refreshed(state);
}

ActionResult setAlignment(AppState& state, int alignment) {
    static constexpr CopyAlignment kAlignments[] = {CopyAlignment::Centre, CopyAlignment::TopLeft,
                                                    CopyAlignment::TopCentre,
                                                    CopyAlignment::TopRight};
    if (alignment < 0 || alignment > 3) return ActionResult::Refused;
    state.alignment = kAlignments[alignment];
    return refreshed(state);
}

ActionResult setFixedSpacing(AppState& state, bool on, float millimetres) {
    if (!(millimetres >= 0.0f && millimetres <= 1000.0f)) return ActionResult::Refused;
    state.fixedSpacingChecked = on;
    state.fixedSpacingMm = millimetres;
    return refreshed(state);
}

ActionResult setBrightness(AppState& state, int value) {
    state.brightness = std::clamp(value, -100, 100);
    return refreshed(state);
}

ActionResult setContrast(AppState& state, int value) {
    state.contrast = std::clamp(value, -100, 100);
    return refreshed(state);
}

ActionResult setGuardArea(AppState& state, bool on) {
    state.guardAreaChecked = on;
    return refreshed(state);
}

ActionResult setPreviewBackground(AppState& state, int n) {
    if (n < 1 || n > 16) return ActionResult::Refused;
    if (state.previewBackground == n) return ActionResult::Nothing;
    state.previewBackground = n;
    return refreshed(state);
}

ActionResult setHandedness(AppState& state, bool leftHand) {
    writeSetting(state, "Others", "LeftHand", leftHand ? "1" : "0");
    writeSetting(state, "Others", "RightHand", leftHand ? "0" : "1");
    state.leftHand = leftHand ? 1 : 0;
    state.rightHand = leftHand ? 0 : 1;
    return refreshed(state);
}

ActionResult choosePaper(AppState& state, std::string_view name) {
    if (!listed(state.paperList, name)) {
        showMessage(state, MessageIcon::Exclamation, text(state, kTextProgramName),
                    "The paper \"" + std::string(name) + "\" is not offered for this printer.");
        return ActionResult::Refused;
    }
    selectPaper(state, name);
    // A paper of another size may bring or take "Tray 2".
    fillTrayList(state);
    return refreshed(state);
}

ActionResult chooseMedium(AppState& state, int mediaId) {
    if (!selectMedium(state, mediaId)) return ActionResult::Refused;
    restoreMargins(state);
    fillTrayList(state);
    return refreshed(state);
}

ActionResult chooseTray(AppState& state, std::string_view tray) {
    if (!listed(state.trayList, tray)) return ActionResult::Refused;
    state.trayText = std::string(tray);
    writeSetting(state, "Active", "Tray", tray);
    return ActionResult::Done;
}

ActionResult choosePrinterQueue(AppState& state, std::string_view queue) {
    state.printerChoice = std::string(queue);
    writeSetting(state, "Active", "Printer", queue);
    return ActionResult::Done;
}

ActionResult chooseTargetPrinter(AppState& state, std::string_view model) {
    std::string code = upperAscii(model);
    const auto& offered = offeredModelCodes();
    const bool known = std::find(offered.begin(), offered.end(), code) != offered.end() ||
                       findPrinterModel(code) != nullptr || isSecondFamilyModel(code);
    if (code.empty() || !known) {
        showMessage(state, MessageIcon::Exclamation, text(state, kTextProgramName),
                    "Unknown printer model \"" + std::string(model) + "\".");
        return ActionResult::Refused;
    }
    setTargetPrinter(state, code);
    if (!writeSetting(state, "Active", "Target Model", state.targetModel))
        return ActionResult::Failed;
    // The model's own defaults, as a first start derives them.
    writeSetting(state, "Active", "ICM Profile Out",
                 state.programFolder + defaultOutputProfile(state.targetModel, true));
    writeModelMargins(state);
    writeSetting(state, "KYMC", "Profile", defaultColourAdjustText(state));
    setColourAdjustFromText(state, defaultColourAdjustText(state));
    rebuildColourCurveTable(state);
    const std::string paper = state.paperText;
    setUpMainWindow(state);
    // Keep the chosen paper when the new model offers it.
    if (listed(state.paperList, paper)) selectPaper(state, paper);
    return ActionResult::Done;
}

ActionResult chooseUnit(AppState& state, std::string_view unit) {
    const std::string code = unit == "C" || unit == "I" ? std::string(unit) : std::string("M");
    if (!writeSetting(state, "Active", "Unit", code)) return ActionResult::Failed;
    setUnit(state, code);
    showPlacedSize(state);
    return refreshed(state);
}

ActionResult loadDefaultsAction(AppState& state) {
    loadDefaults(state);
    if (state.imageLoaded == 1) return reloadImage(state);
    return refreshed(state);
}

ActionResult chooseProfile(AppState& state, bool output, const std::string& path) {
    if (path.empty()) return ActionResult::Nothing;
    if (!writeSetting(state, "Active", output ? "ICM Profile Out" : "ICM Profile In", path))
        return ActionResult::Failed;
    if (output) chooseInkThresholds(state);
    return ActionResult::Done;
}

ActionResult applySnapshot(AppState& state, const std::string& path) {
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
        showMessage(state, MessageIcon::Error, text(state, kTextProgramName),
                    "Cannot read the settings file " + path);
        return ActionResult::Failed;
    }
    probe.close();
    state.unitIndex = [&] {
        const std::string u = readSetting(state, "Active", "Unit");
        return u == "C" ? 1 : u == "I" ? 2 : 0;
    }();
    auto byte = [](const std::string& v) {
        const double d = settingValue(v);
        return static_cast<std::uint8_t>(std::clamp(d, 0.0, 255.0));
    };
    state.whiteMaskPercent = byte(readProfileString(path, "Active", "White Mask %", "40"));
    state.whiteOverlayPercent = byte(readProfileString(path, "Active", "White Overlay %", "2"));
    state.displayWhite = byte(readProfileString(path, "Active", "Display", "1"));
    state.tonerOn = byte(readProfileString(path, "Active", "TonerOn", "1"));
    for (const char* which : {"Right", "Left", "Bottom", "Top"}) {
        const std::string key = std::string(which) + " Margin";
        writeSetting(state, "Active", key, readProfileString(path, "Active", key, "60"));
    }
    const std::string paper = readProfileString(path, "Active", "PaperSize", "");
    int w = state.paperWidthPt, h = state.paperHeightPt;
    if (snapshotPaperSize(state, paper, w, h)) {
        state.paperWidthPt = w;
        state.paperHeightPt = h;
        if (listed(state.paperList, paper)) state.paperText = paper;
    }
    // A stored margin below what the printer can print would reach the job: raise it now.
    enforceMargins(state);
    computePrintableArea(state);
    setColourAdjustFromText(state, readProfileString(path, "KYMC", "Profile", "0"));
    rebuildColourCurveTable(state);
    fillTrayList(state);
    return refreshed(state);
}

ActionResult saveSnapshot(AppState& state, const std::string& path) {
    std::string content;
    content += "[Active]\r\n";
    for (const char* which : {"Right", "Left", "Bottom", "Top"}) {
        const std::string key = std::string(which) + " Margin";
        content += key + "=" + readSetting(state, "Active", key) + "\r\n";
    }
    content += "PaperSize=" + state.paperText + "\r\n";
    content += "[KYMC]\r\nProfile=" + colourAdjustText(state) + "\r\n";
    const int err = writeWholeFileAtomically(path, content);
    return reportFailedWrite(state, path, err) ? ActionResult::Done : ActionResult::Failed;
}

ActionResult printImageAction(AppState& state, const std::vector<std::string>& queues,
                              const std::string& queue) {
    if (queues.empty()) return ActionResult::Nothing;
    state.patternPrintChecked = false;
    if (state.imageLoaded != 1) return ActionResult::Nothing;
    choosePrinterQueue(state, queue);
    const std::string documentName = printDocumentName(state);
    PrintJobParts parts = makePrintJob(state);
    if (parts.imageData == kErr) {
        if (progressCancelled(state)) setStatus(state, kStatusCancelled);
        return progressCancelled(state) ? ActionResult::Cancelled : ActionResult::Failed;
    }
    if (progressCancelled(state)) {
        setProgress(state, 0);
        setStatus(state, kStatusCancelled);
        return ActionResult::Cancelled;
    }
    return spoolJob(state, queue, documentName, parts) ? ActionResult::Done : ActionResult::Failed;
}

ActionResult printBlankPage(AppState& state, const std::string& queue) {
    if (queue.empty()) return ActionResult::Nothing;
    const std::string bytes = blankPageJobBytes(state);
    // The blank page has its own document name in the spooler.
    return spoolRawBytes(state, queue, "DX-Blank", bytes) ? ActionResult::Done
                                                          : ActionResult::Failed;
}

std::string currentJobBytes(AppState& state) {
    PrintJobParts job = makePrintJob(state);
    if (job.imageData == kErr) return {};
    std::string bytes;
    bytes.reserve(job.header.size() + job.imageData.size() + job.trailer.size());
    bytes += job.header;
    bytes += job.imageData;
    bytes += job.trailer;
    return bytes;
}
