// Decoding image files to 8-bit RGBA with DevIL, behind three walls.
//
// DevIL is not safe on damaged or hostile files, so decoding (1) accepts only files whose
// leading bytes are one of the six supported formats and hands DevIL that format explicitly,
// (2) reads the picture size and frame count from the header first and refuses sizes that
// could wrap DevIL's size arithmetic or exhaust memory (image_header.h), and (3) runs DevIL
// (devil_calls.h) in a child process with limits on memory, CPU and wall time, no network
// and no file writes, which hands the pixels back through shared memory (decode_child.h). A
// crash, hang or limit in the child makes the file unsuitable; the program carries on.
#pragma once

#include "core/state.h"
#include "image/devil_calls.h"
#include "image/image_header.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The CPU seconds the decoding child gets for a file: 5, plus 1 per 4 MB of file and 1 per
// 32 MB of RGBA it decodes to, at most limits.cpuSeconds. Its wall time is 3 x that + 10 s
// (at most limits.wallMilliseconds).
std::uint32_t childCpuSeconds(std::uint64_t fileBytes, std::uint64_t rgbaBytes,
                              const DecodeLimits& limits);

// The process-wide limits used by decodeImageFileShared.
DecodeLimits& decodeLimits();

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
    // The copying form only (decode_testing.h): width x height x 5 bytes whose first
    // width x height x 4 hold R, G, B, A, the last fifth (room for the conversion) zero.
    ImageBuffer pixels;
    // The width x height x 4 bytes R, G, B, A, first row the top of the picture (the bottom
    // when flip), where the decoder left them.
    DecodedPixels rgba;
};

// Decodes the file at path: the header check (image_header.h), then DevIL in the sandboxed
// child (decode_child.h); the pixels stay in the child's shared memory (rgba), where the
// colour conversion reads them. flip selects DevIL's lower-left origin (rows bottom first).
// tick, when given, runs about every 100 ms while the child decodes; returning false ends
// the child and gives DecodeStatus::Cancelled.
DecodeOutcome decodeImageFileShared(const std::string& path, bool flip,
                                    const std::function<bool()>& tick = {});
