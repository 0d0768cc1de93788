// Colour conversion through ICC profiles (Little CMS 2).
#pragma once

#include "core/profile_file.h"
#include "core/state.h"
#include "core/ui.h"

#include <cstdint>
#include <string>
#include <vector>

// Where a stored profile name is opened: as given when it exists, otherwise (for a relative
// name) the file of that name in programFolder, the name matched without regard to case.
// Returns the name as given when neither exists.
std::string resolveProfilePath(const std::string& programFolder, const std::string& stored);

// The profile names the conversion uses: "ICM Profile In" / "ICM Profile Out" of section
// "Active", "sRGB.icm" / "OKC711P2.ICM" when empty (not yet resolved).
std::string inputProfileSetting(const ProfileFile& settings);
std::string outputProfileSetting(const ProfileFile& settings);

// Both profiles as the files to open (the settings resolved against programFolder).
ColourProfiles colourProfiles(const ProfileFile& settings, const std::string& programFolder);

// How a conversion ended.
enum class ConversionStatus {
    Done,
    Refused,     // the buffer does not hold the picture's size (nothing was converted)
    NoTransform, // the profiles give no transform; detail holds what Little CMS said
    OutOfMemory, // no band buffers could be had; part of the picture is unconverted
    Cancelled,   // the feedback asked to stop
};
struct ConversionOutcome {
    ConversionStatus status = ConversionStatus::Done;
    std::string detail;
    bool ok() const { return status == ConversionStatus::Done; }
};

// Converts the R, G, B, A pixels from rgba (width x height x 4 bytes, not
// changed) to C, M, Y, K, A (5 bytes a pixel), writing buffer (at least width x height x 5
// bytes) in full; rgba null converts buffer in place. The work runs in bands of bandRows rows
// on `threads` threads (0 = one a core), each with its own transform of the same profiles,
// the progress bar following the rows. On any failure but a cancel the buffer is emptied
// (no half-converted picture remains).
ConversionOutcome convertToCmykFrom(ImageBuffer& buffer, int width, int height,
                                    const std::uint8_t* rgba, const ColourProfiles& profiles,
                                    const Feedback& feedback, int threads = 0, int bandRows = 32);

// Converts width x height CMYKA pixels (5 bytes) in data to BGRA (4 bytes, fourth byte 0).
// False (data unchanged) when the transform cannot be made.
// The transform is made once per pair of profile files and reused; nothing is shown when it
// cannot be made (the load reported the profile).
bool convertPreviewPixels(const ColourProfiles& profiles, int width, int height,
                          std::vector<std::uint8_t>& data);

// Installs the program's one Little CMS error handler (once; later calls do nothing). The
// handler collects the library's error texts for takeColourErrorText.
void installColourErrorHandler();

// The error texts Little CMS reported since the last call (one per line, at most a few
// hundred bytes), and clears them. Empty when there were none.
std::string takeColourErrorText();
