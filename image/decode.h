// Decoding image files to 8-bit RGBA with DevIL, behind three walls.
//
// DevIL is not safe on damaged or hostile files, so decoding (1) accepts only files whose
// leading bytes are one of the six supported formats and hands DevIL that format explicitly,
// (2) reads the picture size and frame count from the header first and refuses sizes that
// could wrap DevIL's size arithmetic or exhaust memory, and (3) runs DevIL in a child process
// with limits on memory, CPU and wall time, no network and no file writes, which hands the
// pixels back through shared memory. A crash, hang or limit in the child makes the file
// unsuitable; the program carries on.
#pragma once

#include "core/state.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Tiff, Bmp, Psd };

// The format told by the leading bytes (signature) of a file; Unknown for anything else.
ImageFormat sniffImageFormat(std::string_view head);
// DevIL's type constant for a format (IL_PNG ...); 0 for Unknown.
unsigned devilTypeFor(ImageFormat format);

// Limits of one decode. The defaults suit the program; tests and fuzzers tighten them.
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

// The CPU seconds the decoding child gets for a file: 5, plus 1 per 4 MB of file and 1 per
// 32 MB of RGBA it decodes to, at most limits.cpuSeconds. Its wall time is 3 x that + 10 s
// (at most limits.wallMilliseconds).
std::uint32_t childCpuSeconds(std::uint64_t fileBytes, std::uint64_t rgbaBytes,
                              const DecodeLimits& limits);

// The process-wide limits used by decodeImageFile.
DecodeLimits& decodeLimits();

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

// Sniffs and reads the header in bytes. BMP files with the version 4 or 5 header are read
// (the decoder is given the same pixels under a version 3 header). (the whole file or as much as
// there is).
HeaderVerdict inspectImageHeader(std::string_view bytes, ImageHeader& header,
                                 const DecodeLimits& limits);

enum class DecodeStatus {
    Ok,
    Unreadable,  // the file cannot be opened or read
    Refused,     // a header wall refused it (see verdict)
    DevilError,  // DevIL reported an error (see devilError, devilStage)
    CopyFailed,  // ilCopyPixels returned false (devilError holds the pending error, may be 0)
    OutOfMemory, // the pixel buffer could not be allocated
    ChildFailed, // the decoding child crashed, hung, hit a limit or sent a wrong byte count
    Cancelled,   // the caller's tick asked to stop; the child was ended
};

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

// Decoded R, G, B, A bytes left in the shared memory the decoder wrote them to, read-only;
// unmapped when the object ends. Moves, never copies.
class DecodedPixels {
  public:
    DecodedPixels() = default;
    DecodedPixels(const void* map, std::size_t bytes) : map_(map), bytes_(bytes) {}
    DecodedPixels(DecodedPixels&& other) noexcept { *this = std::move(other); }
    DecodedPixels& operator=(DecodedPixels&& other) noexcept;
    DecodedPixels(const DecodedPixels&) = delete;
    DecodedPixels& operator=(const DecodedPixels&) = delete;
    ~DecodedPixels() { release(); }

    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(map_); }
    std::size_t size() const { return bytes_; }
    bool empty() const { return bytes_ == 0; }
    void release();

  private:
    const void* map_ = nullptr;
    std::size_t bytes_ = 0;
};

struct DecodeOutcome {
    DecodeStatus status = DecodeStatus::Unreadable;
    HeaderVerdict verdict = HeaderVerdict::Ok;
    ImageHeader header;
    DevilStage devilStage = DevilStage::None;
    unsigned devilError = 0;
    int width = 0; // decoded size (DevIL's), pixels
    int height = 0;
    // width x height x 5 bytes whose first width x height x 4 hold R, G, B, A, first row the
    // top of the picture (the bottom when flip); the last fifth, room for the conversion, is
    // zero.
    ImageBuffer pixels;
    // decodeImageFileShared only: the width x height x 4 bytes R, G, B, A where the decoder
    // left them (pixels stays empty).
    DecodedPixels rgba;
};

// Decodes the file at path. flip selects DevIL's lower-left origin (rows bottom first).
// tick, when given, runs about every 100 ms while the child decodes; returning false ends
// the child and gives DecodeStatus::Cancelled.
DecodeOutcome decodeImageFile(const std::string& path, bool flip,
                              const std::function<bool()>& tick = {});

// decodeImageFile without the copy: the pixels stay in the decoder's shared memory (rgba),
// where the colour conversion reads them.
DecodeOutcome decodeImageFileShared(const std::string& path, bool flip,
                                    const std::function<bool()>& tick = {});

// The text of a DevIL error code: empty for 0, "Error <decimal>" for unknown codes.
std::string devilErrorText(unsigned code);
