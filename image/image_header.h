// The header check in front of the decoder: which of the six formats a file is, how large
// its pictures are, and whether the decoder may be given it at all.
//
// DevIL trusts a file's header, so what it claims is read here first: files that are none of
// the six formats, headers that contradict the file (a chunk longer than the file, rows
// missing from an uncompressed BMP), sizes that could wrap DevIL's size arithmetic or exhaust
// memory, and the two kinds DevIL decodes wrongly are refused before it sees them.
#pragma once

#include "image/header_bytes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Tiff, Bmp, Psd };

// The format told by the leading bytes (signature) of a file; Unknown for anything else.
ImageFormat sniffImageFormat(std::string_view head);

// Limits of one decode. The defaults suit the program; tests and fuzzers tighten them. The
// header check uses the two size limits; the rest bound the decoding child.
struct DecodeLimits {
    std::uint32_t maxSide = 20000;                   // pixels, either direction, each frame
    std::uint64_t maxRgbaBytes = 512ull << 20;       // 4 bytes a pixel summed over all frames
    std::uint32_t cpuSeconds = 60;                   // CPU time of the decoding child
    std::uint32_t wallMilliseconds = 120000;         // wall time before the child is killed
    std::uint64_t addressSpaceBytes = 1536ull << 20; // beyond 4 x the RGBA size (not with ASan)
    // Test hook run in the child just before DevIL is called (nullptr: none).
    void (*childHook)() = nullptr;
};
// Most pages (TIFF directories) a file may chain; a longer chain is refused as too large.
inline constexpr std::size_t kMaxTiffPages = 100;

// What the header says.
struct ImageHeader {
    ImageFormat format = ImageFormat::Unknown;
    std::uint64_t width = 0;     // largest frame, pixels
    std::uint64_t height = 0;    // largest frame, pixels
    std::uint64_t frames = 0;    // frames (GIF) or pages (TIFF); 1 for the others
    std::uint64_t rgbaBytes = 0; // 4 bytes a pixel over all frames
    bool cmyk = false;
};

enum class HeaderVerdict {
    Ok,
    NotAnImage, // not one of the six formats
    Damaged,    // the header cannot be read (too short, inconsistent)
    Empty,      // a side of 0 pixels
    TooLarge,   // beyond maxSide or maxRgbaBytes
    CmykJpeg,   // a four-component JPEG (DevIL decodes it to wrong colours)
    BmpAlpha,   // a BMP with an alpha mask (DevIL drops the transparency)
};

// Sniffs and reads the header of the open regular file fd, read in blocks where the header
// walk goes (what is past the end reads as 0); header receives what was read up to the
// verdict and fileBytes the file's size. The descriptor stays open.
HeaderVerdict inspectImageFile(int fd, ImageHeader& header, const DecodeLimits& limits,
                               std::uint64_t& fileBytes);
