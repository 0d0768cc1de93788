// The parts of the session state. Each part is a plain record that a subsystem takes on its
// own, const where it only reads; the session record that holds them all (AppState, in
// actions/app_state.h) is for the user actions only. Field names are the ones the rules use.
#pragma once

#include "core/no_widgets.h"
#include "core/units.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// Where the program's files are (computed at start, never stored). Folders end with '/'.
struct Locations {
    std::string programFolder;
    std::string userFolder;
    std::string sharedFolder;
    std::string settingsPath;
    std::string sharedSettingsPath;
    std::string recentFilesPath;
    std::string runtimeFolder; // where the single-instance lock lives
};

// The printer the jobs are made for: brand "OKI", "HP" or "RICOH" and the upper-case model code.
struct TargetPrinter {
    std::string targetBrand = "OKI";
    std::string targetModel = "C711WT";
};

// The values read from the settings file when the main window is built and when a snapshot
// is applied.
struct SettingsRecord {
    float settingsVersion = 0.0f;
    std::uint8_t whiteMaskPercent = 100;
    std::uint8_t whiteOverlayPercent = 2;
    std::uint8_t displayWhite = 1;
    std::uint8_t tonerOn = 1;
    Unit unit = Unit::Millimetre;
    int leftHand = 0;
    int rightHand = 1;
};

// The colour adjustment (three groups of four control points (x, y) for C, M, Y), the tone
// curves built from it, and the ink thresholds chosen from the output profile's name: the
// first for "Transfer media 07" and "Transfer media 11", the second for "Transfer media 13".
struct ColourAdjustment {
    std::array<std::uint8_t, 24> colourAdjust{};
    ToneCurves toneCurves;
    int inkThresholdLow = 206;
    int inkThresholdHigh = 236;
};

// The colour profiles the picture is converted with, as the files to open ("ICM Profile In"
// and "ICM Profile Out" resolved against the program folder).
struct ColourProfiles {
    std::string inputProfilePath;
    std::string outputProfilePath;
};

// The interface texts in force and the language file they came from.
struct TextTable {
    std::string languageFile;
    std::vector<std::string> texts;
};

// Recent files: entries 1..5 newest first, entry 6 repeats entry 1 (index 0 unused).
struct RecentFiles {
    std::array<std::string, 7> recentFiles;
};

// The four margins of the sheet in points.
struct Margins {
    double top = 0.0;
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// The sheet: paper, its margins and printable area, medium and tray, and the choices the
// printer offers.
struct PageSetup {
    std::string paperText = "A4"; // the chosen paper by its list name
    std::vector<std::string> paperList;
    int paperWidthPt = 595;
    int paperHeightPt = 842;
    // The stored margins ("Top Margin" ... in hundredths of a point) as they were last read,
    // when the printable area was worked out; the preview draws them.
    Margins margins;
    float printableWidthPt = 0.0f;
    float printableHeightPt = 0.0f;
    // The chosen medium by its identity (model/media.h): the interface text number of its
    // entry (kUserTypeMedia + n for the C844's user types). Every media rule reads this.
    int mediaId = 101;
    std::vector<int> mediaIds;
    std::string trayText = "AUTO"; // the chosen paper source, as the list shows it
    std::vector<std::string> trayList;
};

// The loaded picture and its derived grids.
struct Picture {
    int imageLoaded = 0; // 1 while a converted picture is held
    LoadFailure loadFailure = LoadFailure::None;
    int imagePixelWidth = 0;
    int imagePixelHeight = 0;
    float imageWidthPt = 0.0f;
    float imageHeightPt = 0.0f;
    float xDpi = 300.0f;
    float yDpi = 300.0f;
    int gridWidth = 0;
    int gridHeight = 0;
    ImageBuffer imageBuffer;
    PrintGrid printGrid;
    PreviewGrid previewGrid;
    // The pattern print mask: one byte a grid cell (non-zero = knocked out); empty when off.
    std::vector<std::uint8_t> patternMask;
};

// How the picture is placed and printed: size, orientation, adjustments, the copies grid.
struct Layout {
    float zoom = 1.0f;
    float placedWidthPt = 0.0f;
    float placedHeightPt = 0.0f;
    // The copies of the sheet (1..99) and the copy counts asked for across and down
    // (1..10000); what is placed is published below.
    int copies = 1;
    int xCopies = 1;
    int yCopies = 1;
    bool rotateChecked = false;
    bool mirrorChecked = true;
    bool flipChecked = false;
    int brightness = 0; // -100..100
    int contrast = 0;   // -100..100
    bool patternPrintChecked = false;
    bool patternPreviewChecked = false;
    bool autoTileChecked = false;
    bool fixedSpacingChecked = false;
    float fixedSpacingMm = 1.0f; // whole millimetres, 1 unless changed
    CopyAlignment alignment = CopyAlignment::Centre;
    bool guardAreaChecked = false;
    int previewBackground = 13;
    // The box the copies are placed on: the starting preview box, whatever size the window's
    // preview area has, so that the printed layout never depends on the window.
    int layoutBoxWidth = 298;
    int layoutBoxHeight = 421;
    // Published placement of the copies grid, in points on the paper.
    int across = 1;
    int down = 1;
    float copySpacingX = 0.0f;
    float copySpacingY = 0.0f;
    float imagePosX = 0.0f;
    float imagePosY = 0.0f;
};

// What the main window's controls show as text. The window keeps them in step with its
// controls; the command-line tool sets them from its options.
struct WindowTexts {
    std::string windowTitle;
    std::string printerChoice; // "Select Printer" box text
    std::vector<std::string> printerList;
    std::vector<std::string> mediaList; // the media box, in the order of PageSetup::mediaIds
    std::string copiesText = "1";
    std::string xCopiesText = "1";
    std::string yCopiesText = "1";
    std::string totalCopiesText = "1";
    std::string widthText;  // image width in the display unit
    std::string heightText; // image height in the display unit
    std::string dpiText;
    std::string scaleText = "100%";
    std::string statusText;
    int statusNumber = 0; // interface text number of the status line (0 before the first)
    int progress = 0;
    // The size the preview is drawn at (the window's preview area, or --preview-size).
    int previewBoxWidth = 298;
    int previewBoxHeight = 421;
};
