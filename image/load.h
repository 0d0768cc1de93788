// Loading an image file into the program's one working image.
#pragma once

#include <string>

struct AppState;

// Loads the picture at path (surrounding double quotes removed) into state.imageBuffer,
// converts it to CMYK, orients it and fills the grids. On failure path is set to empty (the
// user has been told) and no half-loaded image remains.
void loadImage(AppState& state, std::string& path);
