// Placement of the picture and its copies on the page, and the page preview.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QImage;

struct AppState;

// Scales placedWidthPt/HeightPt (aspect kept) until the picture touches the printable area on
// one side, shrinking or enlarging; a change of less than 0.001 % that still fits restores
// the exact 100 % size. Updates zoom and the size fields. Nothing when no picture is placed.
void fitToPrintableArea(AppState& state);

// The oversize handling: fits the picture when it exceeds the printable area in either
// direction, otherwise leaves it.
void handleOversize(AppState& state);

// The "Fit to Page" button: both copy counts "1", then the fit to printable area (which also
// enlarges a smaller picture). The caller refreshes.
void fitToPage(AppState& state);

// A width (or height) typed in the display unit: rescales the placed picture keeping its
// aspect ratio, rewrites the other field, fits when it no longer fits, updates zoom. A value
// of 0 (or no number, or a negative one) only rewrites both fields. Nothing when no picture
// is placed. The window calls these only for the user's own edits.
void applyTypedWidth(AppState& state, std::string_view typed);
void applyTypedHeight(AppState& state, std::string_view typed);

// Rewrites widthText/heightText from the placed size.
void showPlacedSize(AppState& state);

// zoom = placed width ÷ 100 % width (with "Rotate": placed height ÷ 100 % width) and the
// scale field ("#%"). zoom is left when the 100 % width is 0.
void updateZoom(AppState& state);

// gridWidth ÷ (placedWidthPt ÷ 72), in pixels per inch; 0 when nothing is placed.
double effectiveResolution(const AppState& state);
// True when the resolution field is shown in red (effective resolution below 50).
bool resolutionIsLow(const AppState& state);

// The paper and its printable area in preview pixels. valid is false for a paper without
// size or an empty preview box.
struct PreviewFrame {
    bool valid = false;
    int paperWidth = 0;  // pw
    int paperHeight = 0; // ph
    int left = 0, right = 0, top = 0, bottom = 0;
};
// The frame on the layout box (layoutBoxWidth x layoutBoxHeight, the starting preview box).
PreviewFrame previewFrame(const AppState& state);
// The frame on a box of boxWidth x boxHeight pixels (the drawing's frame).
PreviewFrame previewFrameFor(const AppState& state, int boxWidth, int boxHeight);

// The copies grid in preview pixels.
struct PreviewLayout {
    bool valid = false; // false when no picture is loaded or its preview size is 0
    PreviewFrame frame;
    int pictureWidth = 0, pictureHeight = 0; // w x h
    int gap = 0;
    int across = 0, down = 0;
    int gapX = 0, gapY = 0; // gxp, gyp
    int x = 0, y = 0;       // first copy
};

// Copy (i, j), i = 1..across, j = 1..down: its top-left corner in preview pixels.
std::array<int, 2> copyPosition(const PreviewLayout& layout, int i, int j);

// The copies grid on the starting box, computed from the state without changing it.
PreviewLayout computeLayout(const AppState& state);

// The preview refresh's computation: the size, resolution and scale fields, zoom, the copy
// counts (written back to xCopiesText/yCopiesText/totalCopiesText) and the published
// placement (across, down, copySpacingX/Y, imagePosX/Y in whole points), on the starting box.
// Nothing when no picture is loaded (imageLoaded != 1).
PreviewLayout layoutCopies(AppState& state);

// False while more than one copy is placed: the alignment buttons are then disabled.
bool alignmentButtonsEnabled(const AppState& state);

// Red, green, blue of preview background n (1..16; others give 13, white).
std::array<std::uint8_t, 3> previewBackgroundColour(int n);

// Renders the page preview into width x height BGRA pixels (4 bytes, alpha 255), rows top to
// bottom: the area around the paper grey, the paper in the background colour, the copies of
// the layout (computeLayout, scaled from the starting box), the guard squares, the printable
// area outlined blue and the paper black. Only reads the state; empty when the box has no
// size.
std::vector<std::uint8_t> renderPagePreview(const AppState& state, int width, int height);
// The same for previewBoxWidth x previewBoxHeight.
std::vector<std::uint8_t> renderPagePreview(const AppState& state);

// Saves width x height BGRA pixels as a PNG file; false when it cannot be written.
bool savePreviewPng(const std::vector<std::uint8_t>& bgra, int width, int height,
                    const std::string& path);

// Writes image as a PNG file; false when it cannot be encoded or written whole (a full disk
// is a failure, and no partial file is left).
bool savePng(const QImage& image, const std::string& path);

// renderPagePreview then savePreviewPng; false when the box is empty or the file failed.
bool writePagePreviewPng(const AppState& state, const std::string& path);
