// Job steps that only the tests call: the dispatcher over a raster held in memory and the
// tiling of such a raster.
#pragma once

#include "job/job.h"

// Builds the job of the target printer's family. On entry job.imageData holds the separated
// raster (gridWidth x gridHeight x 5 bytes); on return the job produces the tiled raster
// from it when sent (produceImage), or problem says why there is none (header and trailer
// are then left empty).
void buildPrintJob(const JobInputs& in, PrintJobParts& job, const Feedback& feedback);

// planTiles and produceTiles for a separated raster held in memory (gridWidth x gridHeight x
// 5 bytes). Out: cols, rows, sx, sy of the plan; raster becomes the tiled raster. A raster
// that does not match the grid gives Unplaceable, a plan that fails its problem, a cancel
// Cancelled; raster is then emptied. Moves the progress bar to 100 as the copy rows are done.
JobProblem tileRaster(const JobInputs& in, int nx, int ny, int& cols, int& rows, float& sx,
                      float& sy, std::string& raster, const Feedback& feedback);
