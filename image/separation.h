// Orientation of the converted picture and its separation into the printed planes.
#pragma once

#include "core/app_state.h"

#include <cstddef>
#include <memory>
#include <string_view>

// Applies mirror/flip/rotate, folds black into C, M, Y and fills printGrid and previewGrid;
// sets gridWidth, gridHeight, placedWidthPt, placedHeightPt.
void orientImage(AppState& state);

// Builds the five-plane raster for printing from the grids and the controls; "ERR" on failure.
SeparationData separateForPrint(AppState& state);

// The printed planes of one grid row at a time, for a job that is produced while it is sent.
// Made from the state's grids and controls; the state must not change while rows are taken.
// Like separateForPrint, a row taken stores the limited alpha back into printGrid (taking a
// row again gives the same bytes).
class SeparationRows {
  public:
    explicit SeparationRows(AppState& state);
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
void chooseInkThresholds(AppState& state);

// The ink threshold of a medium identity (0 = no test): "Transfer media 07" and "11" the low
// threshold, "Transfer media 13" the high one.
int inkThresholdForMedia(const AppState& state, int mediaId);

// True for the foil medium ("Transfer media 16"), separated and previewed as foil.
bool isFoilMedium(int mediaId);
