// The in-place and banded forms of the conversion, for tests and benchmarks that compare
// bytes: the load converts with convertToCmykFrom.
#pragma once

#include "image/colour.h"

// Converts buffer (width x height pixels) in place from RGBA to C, M, Y, K, A (5 bytes a
// pixel), the progress bar following the rows. On any failure but a cancel the buffer is
// emptied (no half-converted picture remains).
ConversionOutcome convertToCmyk(ImageBuffer& buffer, int width, int height,
                                const ColourProfiles& profiles, const Feedback& feedback);

// convertToCmyk with the work split into bands of bandRows rows run on `threads` threads
// (0 = one a core), each thread with its own transform of the same profiles. The bytes equal
// those of one transform over the whole image.
ConversionOutcome convertToCmykBanded(ImageBuffer& buffer, int width, int height,
                                      const ColourProfiles& profiles, const Feedback& feedback,
                                      int threads, int bandRows);
