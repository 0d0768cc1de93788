// The one application state record. Every procedure of the program reads and writes this
// record; windows only copy values between their controls and it.
#pragma once

#include "core/no_widgets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct UserInterface;
class ProgressSink;

// The failure result of the separation and tiling steps; the caller tests for it and stops
// (the user has already been told).
inline constexpr std::string_view kErr = "ERR";

// An allocator whose value-initialisation leaves the bytes as they are: picture buffers are
// written in full before they are read, so clearing them first would only cost time (large
// ones come as fresh pages, which the system has cleared already).
template <typename T> struct NoClearAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = NoClearAllocator<U>; };
    NoClearAllocator() = default;
    template <typename U> NoClearAllocator(const NoClearAllocator<U>&) noexcept {}
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... A> void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
};

// Bytes of a picture: resize() does not clear the bytes it adds; assign(n, 0) does.
using PictureBytes = std::vector<std::uint8_t, NoClearAllocator<std::uint8_t>>;

// The loaded picture: width x height x 5 bytes. Decoding fills the first width x height x 4
// bytes with R, G, B, A; colour conversion rewrites it in place as C, M, Y, K, A.
using ImageBuffer = PictureBytes;

// A pixel grid addressed (x, y) with x = 1..width, y = 1..height; cellBytes bytes a cell,
// row after row. Index 0 of either direction holds no storage.
struct PixelGrid {
    int width = 0;
    int height = 0;
    int cellBytes = 0;
    PictureBytes cells;

    std::uint8_t* at(int x, int y) {
        return cells.data() + (static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(x - 1)) *
                                  static_cast<std::size_t>(cellBytes);
    }
    const std::uint8_t* at(int x, int y) const { return const_cast<PixelGrid*>(this)->at(x, y); }
};

// Cell of 5 bytes: C', M', Y' (black folded in), K, A.
using PrintGrid = PixelGrid;
// Cell of 4 bytes: C', M', Y', A.
using PreviewGrid = PixelGrid;

// For each of C, M, Y a table of 256 entries indexed by input level; the low byte of an
// entry is the output level.
struct ToneCurves {
    std::array<std::array<std::uint16_t, 256>, 3> table{};
};

// gridHeight rows, each of five plane rows of gridWidth bytes: C, M, Y, white, zero.
// Holds the three bytes "ERR" when the separation failed.
using SeparationData = std::string;

// A job as three parts spooled in this order: header, image data, trailer.
struct PrintJobParts {
    std::string header;
    // The image data when it is held in memory; "ERR" when the job could not be built.
    std::string imageData;
    std::string trailer;
    // The image data when it is produced while the job is sent (imageData is then empty):
    // imageBytes bytes in all, handed to sink in order; false as soon as sink returns false.
    std::function<bool(const std::function<bool(std::string_view)>& sink)> produceImage;
    std::uint64_t imageBytes = 0;
};

// Why the last load left no new picture.
enum class LoadFailure {
    None,
    Unsuitable,  // the file could not be read or decoded (the previous picture stays)
    Conversion,  // the colour conversion failed: defaults are loaded and the window rebuilt
    OutOfMemory, // memory ran out: the program closes
    Cancelled,   // the user cancelled (the previous picture stays)
};

// Alignment of a single copy on the printable area.
enum class CopyAlignment { Centre, TopLeft, TopCentre, TopRight };

struct AppState {
    // --- Locations (computed at start, never stored). Folders end with '/'.
    std::string programFolder;
    std::string userFolder;
    std::string sharedFolder;
    std::string settingsPath;
    std::string sharedSettingsPath;
    std::string recentFilesPath;
    std::string runtimeFolder; // where the single-instance lock lives

    // --- Target printer.
    std::string targetBrand = "OKI";
    std::string targetModel = "C711WT";

    // --- Settings record (filled by readSettingsRecord).
    float settingsVersion = 0.0f;
    std::string trayName;
    std::uint8_t whiteMaskPercent = 100;
    std::uint8_t whiteOverlayPercent = 2;
    std::uint8_t displayWhite = 1;
    std::uint8_t tonerOn = 1;
    std::uint8_t unitIndex = 0;

    // --- Colour adjustment: three groups of four control points (x, y) for C, M, Y.
    std::array<std::uint8_t, 24> colourAdjust{};
    ToneCurves toneCurves;

    // --- Units.
    std::string unitCode = "M";
    float unitFactor = 1.0f;

    // --- Language and texts.
    std::string languageFile;
    std::vector<std::string> texts;

    // --- Window.
    void* mainWindow = nullptr;

    // --- Handedness.
    int leftHand = 0;
    int rightHand = 1;

    // --- Recent files: entries 1..5 newest first, entry 6 repeats entry 1 (index 0 unused).
    std::array<std::string, 7> recentFiles;

    // --- Image and page geometry.
    int imagePixelWidth = 0;
    int imagePixelHeight = 0;
    int gridWidth = 0;
    int gridHeight = 0;
    float imageWidthPt = 0.0f;
    float imageHeightPt = 0.0f;
    float zoom = 1.0f;
    float xDpi = 300.0f;
    float yDpi = 300.0f;
    float placedWidthPt = 0.0f;
    float placedHeightPt = 0.0f;
    int paperWidthPt = 595;
    int paperHeightPt = 842;
    float printableWidthPt = 0.0f;
    float printableHeightPt = 0.0f;
    ImageBuffer imageBuffer;
    PrintGrid printGrid;
    PreviewGrid previewGrid;
    // The pattern print mask: one byte a grid cell (non-zero = knocked out); empty when off.
    std::vector<std::uint8_t> patternMask;

    // Published placement of the copies grid, in points on the paper.
    int across = 1;
    int down = 1;
    float copySpacingX = 0.0f;
    float copySpacingY = 0.0f;
    float imagePosX = 0.0f;
    float imagePosY = 0.0f;

    // Ink thresholds chosen from the output profile name when the main window is built:
    // the first for "Transfer media 07" and "Transfer media 11", the second for
    // "Transfer media 13".
    int inkThresholdLow = 206;
    int inkThresholdHigh = 236;

    // --- Session flags.
    int imageLoaded = 0;
    LoadFailure loadFailure = LoadFailure::None;
    int previewBackground = 13;
    int languageListBusy = 0;
    std::string statusText;
    int statusNumber = 0; // interface text number of the status line (0 before the first)
    int progress = 0;
    // The sink of the running long operation (null when none runs): progress steps and the
    // cancel flag.
    ProgressSink* progressSink = nullptr;

    // --- Values of the main window's controls. The window keeps them in step with its
    // controls; the command-line tool sets them from its options.
    std::string windowTitle;
    std::string printerChoice; // "Select Printer" box text
    std::vector<std::string> printerList;
    // The chosen medium, by its entry in the media list: the interface text number of that
    // entry (kUserTypeMedia + n for the C844's user types). Every media rule reads this, never
    // a text; mediaText is what the box shows.
    int mediaId = 101;
    std::vector<int> mediaIds;
    std::string mediaText; // "Media Type" box text
    std::vector<std::string> mediaList;
    std::string paperText = "A4"; // "Paper Size" box text
    std::vector<std::string> paperList;
    std::string trayText = "AUTO"; // "Paper Tray" box text
    std::vector<std::string> trayList;
    std::string copiesText = "1";
    std::string xCopiesText = "1";
    std::string yCopiesText = "1";
    std::string totalCopiesText = "1";
    std::string widthText;  // image width in the display unit
    std::string heightText; // image height in the display unit
    std::string dpiText;
    std::string scaleText = "100%";
    int brightness = 0; // -100..100
    int contrast = 0;   // -100..100
    bool rotateChecked = false;
    bool mirrorChecked = true;
    bool flipChecked = false;
    bool patternPrintChecked = false;
    bool autoTileChecked = false;
    bool fitToPageChecked = false;
    bool fixedSpacingChecked = false;
    float fixedSpacingMm = 1.0f; // whole millimetres, 1 unless changed
    CopyAlignment alignment = CopyAlignment::Centre;
    bool guardAreaChecked = false;
    bool patternPreviewChecked = false;
    // The size the preview is drawn at (the window's preview area, or --preview-size).
    int previewBoxWidth = 298;
    int previewBoxHeight = 421;
    // The box the copies are placed on: the starting preview box, whatever size the window's
    // preview area has, so that the printed layout never depends on the window.
    int layoutBoxWidth = 298;
    int layoutBoxHeight = 421;

    // --- The user-interface seam (never null once start-up has run).
    UserInterface* ui = nullptr;
};

// Number of entries of the built-in interface text table (0..312).
inline constexpr int kBuiltInTextCount = 313;
