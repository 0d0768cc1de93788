// The DevIL calls of a decode. They run inside the decoding child only (decode_child.h):
// DevIL keeps its state in globals and is not safe on hostile files.
#pragma once

#include "image/image_header.h"

#include <cstdint>
#include <string>

// The DevIL call after which an error was read.
enum class DevilStage {
    None,
    Enable,
    OriginFunc,
    GenImages,
    BindImage,
    Load,
    GetHeight,
    GetWidth,
    CopyPixels
};

// What the DevIL calls of one decode found. Plain data: it crosses the pipe from the child.
struct DevilReport {
    std::int32_t stage = 0;       // DevilStage of a reported error
    std::uint32_t error = 0;      // DevIL error code
    std::int32_t copyFailed = 0;  // ilCopyPixels returned false
    std::int32_t loadFailed = 0;  // ilLoad returned false with no error pending
    std::int32_t sizeRefused = 0; // DevIL's size is outside the limits
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint64_t bytes = 0; // RGBA bytes written into the pixel memory
};

// DevIL's type constant for a format (IL_PNG ...); 0 for Unknown.
unsigned devilTypeFor(ImageFormat format);

// The text of a DevIL error code: empty for 0, "Error <decimal>" for unknown codes.
std::string devilErrorText(unsigned code);

// Loads the file at path as DevIL type (devilTypeFor), rows from the bottom when flip, and
// copies its pixels as R, G, B, A bytes into the memory file pixelFd, which is sized to fit.
// A BMP with a version 4 or 5 header is handed to DevIL under the version 3 header it reads.
// report receives the outcome: an error with its stage, a refused size (beyond lim's), or
// the byte count. Returns 0, or a process exit code (4, 5) when the pixel memory could not
// be sized or mapped.
int decodeWithDevil(const std::string& path, unsigned type, bool flip, const DecodeLimits& lim,
                    int pixelFd, DevilReport& report);
