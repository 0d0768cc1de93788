// Placement of the picture and its copies on the page, and the page preview.
#pragma once

#include <cstdint>
#include <vector>

struct AppState;

// Shrinks placedWidthPt/HeightPt (and zoom) so the picture fits the printable area.
void fitToPrintableArea(AppState& state);

// The oversize handling run when the placed picture exceeds the printable area.
void handleOversize(AppState& state);

// Recomputes the copies grid and the published placement (copySpacingX/Y, imagePosX/Y,
// across, down) for the preview box; what refreshPreview computes.
void layoutCopies(AppState& state);

// Renders the page preview (paper, margins, guard squares, copies) into a BGRA buffer of
// previewBoxWidth x previewBoxHeight pixels.
std::vector<std::uint8_t> renderPagePreview(AppState& state);
