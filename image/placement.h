// Placement of the picture and its copies on the page, and the page preview.
#pragma once

#include "core/state.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QImage;

// Scales placedWidthPt/HeightPt (aspect kept) until the picture touches the printable area on
// one side, shrinking or enlarging; a change of less than 0.001 % that still fits restores
// the exact 100 % size. Updates zoom. Nothing when no picture is placed.
void fitToPrintableArea(Layout& layout, const PageSetup& page, const Picture& picture);

// The oversize handling: fits the picture when it exceeds the printable area in either
// direction, otherwise leaves it.
void handleOversize(Layout& layout, const PageSetup& page, const Picture& picture);

// The "Fit to Page" button: both copy counts 1, then the fit to printable area (which also
// enlarges a smaller picture). The caller refreshes.
void fitToPage(Layout& layout, const PageSetup& page, const Picture& picture);

// A width (or height) typed by the user, in points: rescales the placed picture keeping its
// aspect ratio, fits when it no longer fits, updates zoom. False (nothing changed) for a size
// that is not above 0 and finite, and when no picture is placed.
bool applyTypedWidth(Layout& layout, const PageSetup& page, const Picture& picture, double points);
bool applyTypedHeight(Layout& layout, const PageSetup& page, const Picture& picture, double points);

// zoom = placed width ÷ 100 % width (with "Rotate": placed height ÷ 100 % width); left as it is
// when the 100 % width is 0.
void updateZoom(Layout& layout, const Picture& picture);

// gridWidth ÷ (placedWidthPt ÷ 72), in pixels per inch; 0 when nothing is placed.
double effectiveResolution(const Layout& layout, const Picture& picture);
// True when the resolution field is shown in red (effective resolution below 50).
bool resolutionIsLow(const Layout& layout, const Picture& picture);

// A copy count as the X and Y copy fields are read: the number the text starts with, below 1
// (or none) counts as 1, above 10000 as 10000.
int copyCountFromText(std::string_view text);

// The paper and its printable area in preview pixels. valid is false for a paper without
// size or an empty preview box.
struct PreviewFrame {
    bool valid = false;
    int paperWidth = 0;  // pw
    int paperHeight = 0; // ph
    int left = 0, right = 0, top = 0, bottom = 0;
};
// The frame on the layout box (layoutBoxWidth x layoutBoxHeight, the starting preview box).
PreviewFrame previewFrame(const PageSetup& page, const Layout& layout);
// The frame on a box of boxWidth x boxHeight pixels (the drawing's frame).
PreviewFrame previewFrameFor(const PageSetup& page, int boxWidth, int boxHeight);

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

// The copies grid on the starting box, computed without changing anything.
PreviewLayout computeLayout(const PageSetup& page, const Layout& layout, const Picture& picture);

// The preview refresh's computation: zoom, the copy counts placed (written back to xCopies
// and yCopies) and the published placement (across, down, copySpacingX/Y, imagePosX/Y in
// whole points), on the starting box. Nothing when no picture is loaded (imageLoaded != 1).
PreviewLayout layoutCopies(Layout& layout, const PageSetup& page, const Picture& picture);

// False while more than one copy is placed: the alignment buttons are then disabled.
bool alignmentButtonsEnabled(const Layout& layout);

// Red, green, blue of preview background n (1..16; others give 13, white).
std::array<std::uint8_t, 3> previewBackgroundColour(int n);

// What the page preview shows: the sheet, the picture, its placement, the colour adjustment
// and profiles it is simulated with, and the picture's title (a JPEG's foil rule).
struct PreviewScene {
    const PageSetup& page;
    const Picture& picture;
    const Layout& layout;
    const ColourAdjustment& colour;
    const ColourProfiles& profiles;
    std::string_view title;
};

// Renders the page preview into width x height BGRA pixels (4 bytes, alpha 255), rows top to
// bottom: the area around the paper grey, the paper in the background colour, the copies of
// the layout (computeLayout, scaled from the starting box), the guard squares, the printable
// area outlined blue and the paper black. Only reads the scene; empty when the box has no
// size.
std::vector<std::uint8_t> renderPagePreview(const PreviewScene& scene, int width, int height);

// Saves width x height BGRA pixels as a PNG file; false when it cannot be written.
bool savePreviewPng(const std::vector<std::uint8_t>& bgra, int width, int height,
                    const std::string& path);

// Writes image as a PNG file; false when it cannot be encoded or written whole (a full disk
// is a failure, and no partial file is left).
bool savePng(const QImage& image, const std::string& path);

// renderPagePreview then savePreviewPng; false when the box is empty or the file failed.
bool writePagePreviewPng(const PreviewScene& scene, int width, int height, const std::string& path);
