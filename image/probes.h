// Print resolution read from the header bytes of an image file.
//
// Every probe reads bytes through a bounds-checked view: a position past the end of what was
// read gives 0, so a short or damaged file can only yield the fallback values, never a read
// outside the loaded bytes. No probe reports an error. xDpi and yDpi are dots per inch; the
// caller sets both (normally to kDefaultResolution) before calling, and a probe overwrites
// both, one, or neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The resolution of a picture whose file tells none.
inline constexpr float kDefaultResolution = 300.0f;

// How many leading bytes of the file each probe looks at (0 = the whole file).
inline constexpr std::size_t kJpegProbeBytes = 400;
inline constexpr std::size_t kBmpProbeBytes = 50;
inline constexpr std::size_t kPsdProbeBytes = 65000;

// The probes over bytes already in memory (what the file probes read from the file). They
// look only at the bytes given; the JPEG, BMP and PSD probes also only at their leading
// kJpegProbeBytes, kBmpProbeBytes and kPsdProbeBytes.
void probeResolutionPngBytes(std::string_view bytes, float& xDpi, float& yDpi);
void probeResolutionJpegBytes(std::string_view bytes, float& xDpi, float& yDpi);
void probeResolutionGifBytes(std::string_view bytes, float& xDpi, float& yDpi);
void probeResolutionTiffBytes(std::string_view bytes, float& xDpi, float& yDpi);
void probeResolutionBmpBytes(std::string_view bytes, float& xDpi, float& yDpi);
void probeResolutionPsdBytes(std::string_view bytes, float& xDpi, float& yDpi);

// The probes over the file at path. An unreadable file reads as empty.
// PNG: pHYs chunk (pixels per metre), unit 0 or no chunk gives 300 x 300.
void probeResolutionPng(const std::string& path, float& xDpi, float& yDpi);
// JPEG: JFIF density or Exif X/YResolution in the first 400 bytes; outside 10 < dpi <= 1000
// both become 300.
void probeResolutionJpeg(const std::string& path, float& xDpi, float& yDpi);
// GIF: always 150 x 150; the file is not read.
void probeResolutionGif(const std::string& path, float& xDpi, float& yDpi);
// TIFF: X/YResolution rationals of a single-image file (a multi-image file leaves both);
// an axis below 10, or with a zero denominator, becomes 300.
void probeResolutionTiff(const std::string& path, float& xDpi, float& yDpi);
// BMP: pixels per metre of the information header; below 5 dpi across, both become 150.
void probeResolutionBmp(const std::string& path, float& xDpi, float& yDpi);
// PSD: whole-number part of the resolution information resource in the first 65000 bytes;
// no resource gives 300 x 300.
void probeResolutionPsd(const std::string& path, float& xDpi, float& yDpi);

// The resolution loading uses for the file at path: both 300, then every probe whose
// extension text (".png", ".jpg", ".gif", ".tif", ".bmp", ".psd", in this order) occurs
// anywhere in the lower-cased path and whose format's signature starts the file, a later one
// overwriting an earlier one (a probe never reads another format's bytes). An axis that
// ends up not a positive finite number (a header that says 0 dots per metre) gets 300, so
// the physical size of the picture is always finite.
void probeResolutionForPath(const std::string& path, float& xDpi, float& yDpi);
