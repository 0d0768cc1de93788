// Colour conversion through ICC profiles (Little CMS 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AppState;

// Where a stored profile name is opened: as given when it exists, otherwise (for a relative
// name) the file of that name in programFolder.
std::string resolveProfilePath(const AppState& state, const std::string& stored);

// Converts state.imageBuffer in place from RGBA to C, M, Y, K, A (5 bytes a pixel).
// False when it failed (user told, defaults loaded, buffer emptied).
bool convertToCmyk(AppState& state, int width, int height);

// Converts width x height CMYKA pixels (5 bytes) in data to BGRA (4 bytes, fourth byte 0).
// False (data unchanged) when the transform cannot be made.
bool convertPreviewPixels(AppState& state, int width, int height, std::vector<std::uint8_t>& data);
