// The user actions: one function per user command, over the one state record. The desktop
// window and printconv-cli call these same functions, so a command does the same whichever
// front end asked for it. Each returns its result; messages the user must see have already
// gone through the state's seam.
//
// Threading: every action runs on the window's thread (the thread that owns AppState). Long
// actions report through the state's progress sink (core/progress.h) and stop when it asks.
#pragma once

#include "core/no_widgets.h"
#include "image/placement.h"
#include "image/separation.h"
#include "job/job.h"
#include "printer/spooler.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct AppState;
class ProgressSink;

// How an action ended.
enum class ActionResult {
    Done,      // the command did what it does
    Nothing,   // nothing to do (no image, no queue, value unchanged); nothing changed
    Refused,   // a value was not acceptable; nothing changed (the user has been told)
    Failed,    // the work failed (the user has been told)
    Cancelled, // the user cancelled; what the action would replace is as it was
    // The picture could not be converted: the defaults were loaded; the window is rebuilt.
    Rebuild,
    // Memory ran out while converting: the user has been told that the program closes.
    Close,
};

// --- Window set-up -------------------------------------------------------------------------

// What building the main window does to the state (settings ensured, lists filled, controls
// at their starting values, status "no file"). The window calls it before showing itself;
// the command-line tool calls it instead of a window.
void setUpMainWindow(AppState& state);

// The page preview's computation (the refresh): sizes, zoom, resolution, copy counts and the
// published placement, the fields that show them, the colour profiles the preview simulates
// with and, while pattern print or preview is on, the mask for the grid. Drawing the preview
// afterwards only reads the state.
void refreshPreview(AppState& state);

// What the page preview draws: the session's sheet, picture, layout, colour and title.
PreviewScene previewScene(const AppState& state);

// Makes the mask for the loaded picture from the stored pattern settings when Pattern Print
// or Pattern Preview is on, and empties it otherwise. Failed (the user has been told) when
// the settings cannot make a screen.
ActionResult updatePatternMask(AppState& state);

// --- Images --------------------------------------------------------------------------------

// Loads the picture at path (surrounding double quotes removed) into the session as the open
// commands do: the crop marker reset, the load, its messages and the size fields. On failure
// path is set to empty (the user has been told) and no half-loaded image remains.
void loadPictureFile(AppState& state, std::string& path);

// Open File: loads path, records it as recent entry 1, sets title and status "Loaded" and
// refreshes. On failure the previous picture stays (a failed decode) or none is left.
ActionResult openImage(AppState& state, const std::string& path);

// A file dropped on the preview (links already resolved): opened as by Open File when its
// extension is .tif, .psd, .png, .gif, .jpg or .bmp in any case; Nothing for other files.
ActionResult openDroppedFile(AppState& state, const std::string& path);

// Recent entry 1 loaded again (recent file 1, profile change, Flip, language change).
// Success: recorded again, title, status "Loaded". Failure: entry 1 removed, "no file".
ActionResult reloadImage(AppState& state);

// Recent entry n (1..5): loads it; success makes it entry 1, failure removes entry n.
ActionResult openRecentFile(AppState& state, int n);

// The "Rotate" box: the converted picture turned (or back), sizes shown again, refresh.
ActionResult setRotate(AppState& state, bool on);
// The "Mirror" box: the picture's orientation follows, sizes shown again, refresh.
ActionResult setMirror(AppState& state, bool on);
// The "Flip" box: recent entry 1 reloaded with the vertical origin the box selects, the
// automatic crop again when "Crop" is "1", then refresh.
ActionResult setFlip(AppState& state, bool on);
// Crop Image: automatic crop, orientation again, "Crop" = "1", refresh.
ActionResult cropImage(AppState& state);

// A width or height typed in the display unit (Enter in the size fields): applied keeping the
// aspect ratio when a picture is loaded, then refresh.
ActionResult setTypedWidth(AppState& state, std::string_view typed);
ActionResult setTypedHeight(AppState& state, std::string_view typed);
// Fit to Page: both copy counts "1", the picture fitted to the printable area, refresh.
ActionResult fitImageToPage(AppState& state);

// --- Copies and layout ---------------------------------------------------------------------

// The copies field (printed copies of the sheet); kept as typed, read leniently at print time.
void setCopies(AppState& state, std::string_view copies);
// X and Y copy counts as typed (Enter in the copy fields): the layout applies them ("0" or
// empty counts as 1) and writes back what it placed.
ActionResult setCopyCounts(AppState& state, std::string_view across, std::string_view down);
ActionResult setAutoTile(AppState& state, bool on);
ActionResult setAlignment(AppState& state, int alignment); // 0 centre .. 3 top-right
// Fixed copy spacing on or off with its millimetres (0..1000).
ActionResult setFixedSpacing(AppState& state, bool on, float millimetres);
// Brightness and contrast, each -100..100 (others are held at the ends).
ActionResult setBrightness(AppState& state, int value);
ActionResult setContrast(AppState& state, int value);
ActionResult setGuardArea(AppState& state, bool on);
ActionResult setPreviewBackground(AppState& state, int n); // swatch 1..16
// Handedness buttons: writes "LeftHand"/"RightHand" of section "Others".
ActionResult setHandedness(AppState& state, bool leftHand);

// --- Paper, medium, tray, printer -----------------------------------------------------------

// The paper box: margins by model, the size and printable area, refresh. Refused for a
// name the list does not offer.
ActionResult choosePaper(AppState& state, std::string_view name);
// The media box, by the medium's identity (model/media.h): margins restored from their
// backups, printable area, paper source list refilled, refresh. Refused for an identity the
// list does not hold.
ActionResult chooseMedium(AppState& state, int mediaId);
// The paper source box: stores "Tray". Refused for a text the list does not hold.
ActionResult chooseTray(AppState& state, std::string_view tray);
// The printer box: stores "Printer".
ActionResult choosePrinterQueue(AppState& state, std::string_view queue);

// The user picks the target printer model: writes "Target Model" and derives that model's
// defaults as a first start would: output profile, margins by model, the family's colour
// adjustment, media and paper lists. Settings the user changed by hand that are not model
// defaults (unit, language, custom sizes, handedness, snapshots folder) are kept.
ActionResult chooseTargetPrinter(AppState& state, std::string_view model);

// The unit dialog: writes "Unit" ("M", "C" or "I"; anything else is "M") and shows the
// sizes again in that unit.
ActionResult chooseUnit(AppState& state, std::string_view unit);

// Load Defaults: colour adjustment, brightness, contrast, copies, margins by model,
// handedness, tray, default keys and profiles; the picture is reloaded with the new profiles
// when one is loaded; refresh.
ActionResult loadDefaultsAction(AppState& state);

// Chooses a colour profile file ("ICM Profile In" or "ICM Profile Out"); the caller reloads
// the picture (the window is rebuilt).
ActionResult chooseProfile(AppState& state, bool output, const std::string& path);

// Applies a configuration snapshot file: white keys, margins (raised to the printer's
// minimum), paper by its first four characters or custom size, printable area and fit,
// colour adjustment; refresh. Failed when the file cannot be read.
ActionResult applySnapshot(AppState& state, const std::string& path);
// Writes a configuration snapshot of the current margins, paper and colour adjustment into
// path (other keys of an existing file stay).
ActionResult saveSnapshot(AppState& state, const std::string& path);

// The file dialog filter of configuration snapshots and their default extension.
inline constexpr const char* kSnapshotFilter = "SCFG Files .scfg (*.scfg)";
inline constexpr const char* kSnapshotExtension = "scfg";
// Save Settings: asks for the file (starting at "Last Config"), records it as "Last Config"
// and saves the snapshot. Cancelled when no file was chosen.
ActionResult saveSettingsCommand(AppState& state);
// Load Settings: reads the unit, asks for the file (starting at "Last Config", else the
// current folder), records it as "Last Config" and applies the snapshot.
ActionResult loadSettingsCommand(AppState& state);

// --- Page set-up dialogs ---------------------------------------------------------------------

// A typed length of a dialog field in the display unit, in points; false when the text is not
// a plain number (blanks around it allowed).
bool parseTypedLength(const AppState& state, std::string_view typed, double& points);

// Custom Paper Size, save: name, width and height and the four margins (top, left, right,
// bottom) as typed in the display unit. Refused, with a message naming the range or the
// reason, for a width or height outside the ranges the dialog shows, a bad name or bad
// margins. A size of the same name is replaced. The paper list is rebuilt and keeps the
// chosen paper.
ActionResult saveCustomPaperSize(AppState& state, std::string_view name, std::string_view width,
                                 std::string_view height, std::string_view top,
                                 std::string_view left, std::string_view right,
                                 std::string_view bottom);
// Custom Paper Size, delete: removes the size (later ones renumbered) and rebuilds the paper
// list; a deleted size that was chosen gives way to "A4".
ActionResult deleteCustomPaperSize(AppState& state, std::string_view name);

// One margin of the margins dialog after the printer's minimum was applied.
struct CheckedMargin {
    double points = 0.0; // the value to use
    bool raised = false; // the typed value was below the minimum
};
// which: 0 top, 1 left, 2 right, 3 bottom; a value below that margin's minimum is raised to it.
CheckedMargin checkMargin(const AppState& state, int which, double points);
// The four minimums in points (top, left, right, bottom): "Get Printer Margins".
std::array<double, 4> printerMarginsPt(const AppState& state);
// The printable width and height the margins (points; top, left, right, bottom) leave on
// the current paper.
std::pair<double, double> printableAreaFor(const AppState& state,
                                           const std::array<double, 4>& marginsPt);
// Print Margins, OK: writes the four margins (each raised to its minimum), recomputes the
// printable area, fits the picture when it no longer fits, refresh.
ActionResult applyPrintMargins(AppState& state, const std::array<double, 4>& marginsPt);

// --- Printing --------------------------------------------------------------------------------

// What the job writers and the separation read of the session.
JobInputs jobInputs(const AppState& state);
SeparationInputs separationInputs(AppState& state);

// The job of the loaded picture as printing builds it, its image data separated and tiled
// while it is sent; the copies field shows the copies it prints. A job that cannot be built
// has been reported (problem says why).
PrintJobParts buildSessionJob(AppState& state);

// Spools parts (or bytes) to queue as documentName and tells the user what went wrong: a
// refusal or failure in a message naming the queue and the reason, a stopped queue in a
// warning; the user's own cancel says nothing. True when the job was handed over.
bool spoolAndReport(AppState& state, const std::string& queue, const std::string& documentName,
                    PrintJobParts& parts, int settleMs = kJobSettleMs);
bool spoolBytesAndReport(AppState& state, const std::string& queue, const std::string& documentName,
                         std::string_view bytes, int settleMs = kJobSettleMs);

// Stores queue as "Printer", builds the job of the current picture and spools it to queue;
// Cancelled (status "Cancelled") when the user stopped it, Failed when the job could not be
// built or the spooler refused it.
ActionResult printToQueue(AppState& state, const std::string& queue);

// The print action: stops when the target printer has no queue (queues empty) or no picture
// is loaded; otherwise clears "Pattern Print", stores the queue as "Printer", builds the job
// and spools it to queue. Failed (status "Cancelled") when the spooler refused it.
ActionResult printImageAction(AppState& state, const std::vector<std::string>& queues,
                              const std::string& queue);
// The blank page job spooled to queue as "DX-Blank".
ActionResult printBlankPage(AppState& state, const std::string& queue);
// The bytes of the blank page job as they are spooled.
std::string blankPageBytes(AppState& state);

// The job bytes of the current picture as printing would spool them (for job files and the
// proof): header, image data and trailer. Empty when the separation or tiling failed.
std::string currentJobBytes(AppState& state);
