// Orientation of the converted picture and its separation into the printed planes.
#pragma once

#include "app/app_state.h"

#include <string_view>

// Applies mirror/flip/rotate, folds black into C, M, Y and fills printGrid and previewGrid;
// sets gridWidth, gridHeight, placedWidthPt, placedHeightPt.
void orientImage(AppState& state);

// Builds the five-plane raster for printing from the grids and the controls; "ERR" on failure.
SeparationData separateForPrint(AppState& state);

// Chooses inkThresholdLow/High from the text of "ICM Profile Out".
void chooseInkThresholds(AppState& state);

// The ink threshold of a medium (0 = no test).
int inkThresholdForMedia(const AppState& state, std::string_view media);
