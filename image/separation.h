// Orientation of the converted picture and its separation into the printed planes.
#pragma once

#include "core/profile_file.h"
#include "core/state.h"
#include "core/ui.h"

#include <cstddef>
#include <memory>
#include <string_view>

// Applies mirror/flip/rotate of the layout, folds black into C, M, Y and fills printGrid and
// previewGrid; sets gridWidth, gridHeight, placedWidthPt, placedHeightPt (the zoom applied)
// and fits the picture when it no longer fits the sheet's printable area. The progress bar
// follows the rows.
void orientImage(Picture& picture, Layout& layout, const PageSetup& page, const Feedback& feedback);

// What the printed planes are separated from: the picture's grids (the limited alpha is stored
// back into printGrid), the layout's orientation, adjustments and pattern print, the colour
// adjustment and ink thresholds, the medium, and the picture's title (a JPEG's foil rule).
struct SeparationInputs {
    Picture& picture;
    const Layout& layout;
    const ColourAdjustment& colour;
    int mediaId;
    std::string_view title;
};

// gridHeight rows, each of five plane rows of gridWidth bytes: C, M, Y, white, zero;
// 0 = no toner, 255 = full toner.
using SeparationData = std::string;

// Builds the five-plane raster for printing from the grids and the controls into out. False
// when the grids hold no picture, memory ran out (a message says so) or the user cancelled
// (nothing shown); out is then empty.
bool separateForPrint(const SeparationInputs& inputs, SeparationData& out,
                      const Feedback& feedback);

// The printed planes of one grid row at a time, for a job that is produced while it is sent.
// The inputs must not change while rows are taken. Like separateForPrint, a row taken stores
// the limited alpha back into printGrid (taking a row again gives the same bytes).
class SeparationRows {
  public:
    explicit SeparationRows(const SeparationInputs& inputs);
    ~SeparationRows();
    SeparationRows(const SeparationRows&) = delete;
    SeparationRows& operator=(const SeparationRows&) = delete;

    // False when the grids do not match the grid size (nothing can be separated).
    bool ok() const;
    // Writes grid row y (0 .. gridHeight - 1) as five planes of gridWidth bytes: C, M, Y,
    // white and a zero plane, plane p at out + p * planeStride (planeStride >= gridWidth).
    // Rows may be taken from several threads at once when they differ.
    void row(int y, char* out, std::size_t planeStride) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Chooses inkThresholdLow/High from the text of "ICM Profile Out".
void chooseInkThresholds(ColourAdjustment& colour, const ProfileFile& settings);

// The ink threshold of a medium identity (0 = no test): "Transfer media 07" and "11" the low
// threshold, "Transfer media 13" the high one.
int inkThresholdForMedia(const ColourAdjustment& colour, int mediaId);

// True for the foil medium ("Transfer media 16"), separated and previewed as foil.
bool isFoilMedium(int mediaId);

// The least ink a foil cell must carry to print (C + M + Y above it): 25 for a picture whose
// title names a ".jpg" file (its compression leaves faint colour in white areas), else 1.
int foilInkLimit(std::string_view title);
