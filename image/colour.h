// Colour conversion through ICC profiles (Little CMS 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AppState;

// Where a stored profile name is opened: as given when it exists, otherwise (for a relative
// name) the file of that name in programFolder, the name matched without regard to case.
// Returns the name as given when neither exists.
std::string resolveProfilePath(const AppState& state, const std::string& stored);

// Converts state.imageBuffer in place from RGBA to C, M, Y, K, A (5 bytes a pixel).
// False when it failed (user told, defaults loaded, buffer emptied).
bool convertToCmyk(AppState& state, int width, int height);

// convertToCmyk with the work split into bands of bandRows rows run on `threads` threads
// (0 = one a core), each thread with its own transform of the same profiles. The bytes equal
// those of one transform over the whole image.
bool convertToCmykBanded(AppState& state, int width, int height, int threads, int bandRows);

// The same conversion reading the R, G, B, A pixels from rgba (width x height x 4 bytes, not
// changed) and writing state.imageBuffer (at least width x height x 5 bytes) in full; rgba
// null converts state.imageBuffer in place. Failures as convertToCmyk.
bool convertToCmykFrom(AppState& state, int width, int height, const std::uint8_t* rgba,
                       int threads = 0, int bandRows = 32);

// Converts width x height CMYKA pixels (5 bytes) in data to BGRA (4 bytes, fourth byte 0).
// False (data unchanged) when the transform cannot be made.
// The transform is made once per pair of profile files and reused; nothing is shown when it
// cannot be made (the load reported the profile).
bool convertPreviewPixels(const AppState& state, int width, int height,
                          std::vector<std::uint8_t>& data);

// The profile names the conversion uses: "ICM Profile In" / "ICM Profile Out" of section
// "Active", "sRGB.icm" / "OKC711P2.ICM" when empty (not yet resolved).
std::string inputProfileSetting(const AppState& state);
std::string outputProfileSetting(const AppState& state);

// Installs the program's one Little CMS error handler (once; later calls do nothing). The
// handler collects the library's error texts for takeColourErrorText.
void installColourErrorHandler();

// The error texts Little CMS reported since the last call (one per line, at most a few
// hundred bytes), and clears them. Empty when there were none.
std::string takeColourErrorText();
