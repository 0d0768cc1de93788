#include "image/probes.h"

#include "core/files.h"
#include "image/header_bytes.h"
#include "image/image_header.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Pixels per metre to pixels per inch.
constexpr double kPerMetrePerInch = 39.3700787;

using Bytes = HeaderReader<MemoryBytes>;

std::string_view head(std::string_view bytes, std::size_t n) {
    return bytes.substr(0, n);
}

// A rational as the probes read it: a zero denominator gives +infinity, which every range
// check treats as out of range (0/0 would give NaN, which slips through comparisons).
double rational(std::uint32_t num, std::uint32_t den) {
    if (den == 0) return HUGE_VAL;
    return static_cast<double>(num) / static_cast<double>(den);
}

} // namespace

void probeResolutionPngBytes(std::string_view bytes, float& xDpi, float& yDpi) {
    const Bytes b{MemoryBytes(bytes)};
    std::uint64_t p = b.find("pHYs", 3);
    if (p == Bytes::npos) {
        xDpi = yDpi = kDefaultResolution;
        return;
    }
    xDpi = static_cast<float>(b.be32(p + 4) / kPerMetrePerInch);
    yDpi = static_cast<float>(b.be32(p + 8) / kPerMetrePerInch);
    if (b.at(p + 12) == 0) xDpi = yDpi = kDefaultResolution;
}

void probeResolutionJpegBytes(std::string_view bytes, float& xDpi, float& yDpi) {
    const Bytes b{MemoryBytes(head(bytes, kJpegProbeBytes))};
    // The identifier may sit at offset 6 or 7 of the five bytes 6..10; missing bytes are 0.
    std::string id;
    for (int i = 6; i <= 10; ++i)
        id.push_back(static_cast<char>(b.at(i)));
    double x = kDefaultResolution, y = kDefaultResolution;
    if (id.find("JFIF") != std::string::npos) {
        std::uint32_t unit = b.at(13);
        double dx = b.be16(14), dy = b.be16(16);
        if (unit == 1) {
            x = dx, y = dy;
        } else if (unit == 2) {
            x = dx * 2.54, y = dy * 2.54;
        }
    } else if (id.find("Exif") != std::string::npos) {
        const std::uint64_t tiff = 12;
        std::string_view mark = b.text(tiff, 2);
        if (mark == "MM" || mark == "II") {
            bool big = mark == "MM";
            auto tagBytes = [big](std::uint32_t tag) {
                std::string t(2, '\0');
                t[big ? 0 : 1] = static_cast<char>(tag >> 8);
                t[big ? 1 : 0] = static_cast<char>(tag & 0xFF);
                return t;
            };
            auto readRational = [&](std::uint32_t tag, double& out) {
                std::uint64_t t = b.find(tagBytes(tag), 0);
                if (t == Bytes::npos) return;
                std::uint64_t off = b.u32(t + 8, big);
                out = rational(b.u32(tiff + off, big), b.u32(tiff + off + 4, big));
            };
            readRational(0x011A, x);
            readRational(0x011B, y);
        }
    }
    // Plausibility: a value outside 10 < dpi <= 1000 on either axis resets both.
    if (!(x > 10 && x <= 1000)) x = y = kDefaultResolution;
    if (!(y > 10 && y <= 1000)) x = y = kDefaultResolution;
    xDpi = static_cast<float>(x);
    yDpi = static_cast<float>(y);
}

void probeResolutionGifBytes(std::string_view, float& xDpi, float& yDpi) {
    xDpi = yDpi = 150.0f;
}

void probeResolutionTiffBytes(std::string_view bytes, float& xDpi, float& yDpi) {
    const Bytes b{MemoryBytes(bytes)};
    bool big = b.text(0, 2) == "MM" && b.be16(2) == 42;
    std::uint64_t ifd = b.u32(4, big);
    std::uint32_t count = b.u16(ifd, big);
    if (b.u32(ifd + 2 + 12ull * count, big) != 0) return; // several images: keep the caller's
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t e = ifd + 2 + 12ull * i;
        std::uint32_t tag = b.u16(e, big), type = b.u16(e + 2, big);
        if (type != 5 || (tag != 282 && tag != 283)) continue;
        std::uint64_t off = b.u32(e + 8, big);
        std::uint32_t num = b.u32(off, big), den = b.u32(off + 4, big);
        // Without an upper bound here a zero denominator must not reach the value.
        float v = den == 0 ? kDefaultResolution : static_cast<float>(rational(num, den));
        (tag == 282 ? xDpi : yDpi) = v;
    }
    if (yDpi < 10) yDpi = kDefaultResolution;
    if (xDpi < 10) xDpi = kDefaultResolution;
}

void probeResolutionBmpBytes(std::string_view bytes, float& xDpi, float& yDpi) {
    const Bytes b{MemoryBytes(head(bytes, kBmpProbeBytes))};
    xDpi = static_cast<float>(b.le32(38) / kPerMetrePerInch);
    yDpi = static_cast<float>(b.le32(42) / kPerMetrePerInch);
    if (xDpi < 5) xDpi = yDpi = 150.0f;
}

void probeResolutionPsdBytes(std::string_view bytes, float& xDpi, float& yDpi) {
    const Bytes b{MemoryBytes(head(bytes, kPsdProbeBytes))};
    std::uint64_t p = b.find(std::string_view("8BIM\x03\xED", 6), 3);
    if (p == Bytes::npos) {
        xDpi = yDpi = kDefaultResolution;
        return;
    }
    xDpi = static_cast<float>(b.be16(p + 12));
    yDpi = static_cast<float>(b.be16(p + 20));
}

void probeResolutionPng(const std::string& path, float& xDpi, float& yDpi) {
    // The search for "pHYs" goes over the whole file, so it streams it in blocks: a small
    // picture followed by a huge tail costs one block of memory, and the first match and the
    // nine bytes after it are what the in-memory search would see.
    std::string found; // "pHYs" at offset 3 and the bytes after it, for the byte probe
    const int fd = openRegularFile(path);
    if (fd >= 0) {
        constexpr std::size_t kBlock = 1 << 16;
        std::string window; // file bytes from offset base
        std::uint64_t base = 0;
        std::vector<char> buf(kBlock);
        for (;;) {
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            window.append(buf.data(), static_cast<std::size_t>(n));
            const std::size_t from = base < 3 ? static_cast<std::size_t>(3 - base) : 0;
            const std::size_t hit =
                window.size() > from ? window.find("pHYs", from) : std::string::npos;
            if (hit != std::string::npos) {
                char after[9] = {};
                std::size_t got = 0;
                const auto at = static_cast<off_t>(base + hit + 4);
                while (got < sizeof after) {
                    const ssize_t r =
                        ::pread(fd, after + got, sizeof after - got, at + static_cast<off_t>(got));
                    if (r < 0 && errno == EINTR) continue;
                    if (r <= 0) break;
                    got += static_cast<std::size_t>(r);
                }
                found = std::string(3, '\0') + "pHYs" + std::string(after, got);
                break;
            }
            // Keep the last three bytes: a match may straddle two blocks.
            const std::size_t keep = std::min<std::size_t>(3, window.size());
            base += window.size() - keep;
            window.erase(0, window.size() - keep);
        }
        ::close(fd);
    }
    probeResolutionPngBytes(found, xDpi, yDpi);
}
void probeResolutionJpeg(const std::string& path, float& xDpi, float& yDpi) {
    probeResolutionJpegBytes(readFileHead(path, kJpegProbeBytes), xDpi, yDpi);
}
void probeResolutionGif(const std::string& path, float& xDpi, float& yDpi) {
    (void)path;
    probeResolutionGifBytes({}, xDpi, yDpi);
}
void probeResolutionTiff(const std::string& path, float& xDpi, float& yDpi) {
    // The entries may sit anywhere in the file: it is mapped, not read, so only the pages
    // the probe looks at are loaded.
    const int fd = openRegularFile(path);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0) {
        if (fd >= 0) ::close(fd);
        probeResolutionTiffBytes({}, xDpi, yDpi);
        return;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        probeResolutionTiffBytes({}, xDpi, yDpi);
        return;
    }
    probeResolutionTiffBytes(std::string_view(static_cast<const char*>(map), size), xDpi, yDpi);
    ::munmap(map, size);
}
void probeResolutionBmp(const std::string& path, float& xDpi, float& yDpi) {
    probeResolutionBmpBytes(readFileHead(path, kBmpProbeBytes), xDpi, yDpi);
}
void probeResolutionPsd(const std::string& path, float& xDpi, float& yDpi) {
    probeResolutionPsdBytes(readFileHead(path, kPsdProbeBytes), xDpi, yDpi);
}

void probeResolutionForPath(const std::string& path, float& xDpi, float& yDpi) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    xDpi = yDpi = kDefaultResolution;
    using Probe = void (*)(const std::string&, float&, float&);
    static const struct {
        std::string_view ext;
        ImageFormat format;
        Probe probe;
    } probes[] = {
        {".png", ImageFormat::Png, probeResolutionPng},
        {".jpg", ImageFormat::Jpeg, probeResolutionJpeg},
        {".gif", ImageFormat::Gif, probeResolutionGif},
        {".tif", ImageFormat::Tiff, probeResolutionTiff},
        {".bmp", ImageFormat::Bmp, probeResolutionBmp},
        {".psd", ImageFormat::Psd, probeResolutionPsd},
    };
    // A probe reads its own format's fields only: on another format's bytes (a PNG in a
    // folder named "scans.bmp.d") it would read nonsense, so it leaves the values as they are.
    const ImageFormat format = sniffImageFormat(readFileHead(path, 16));
    for (const auto& p : probes)
        if (lower.find(p.ext) != std::string::npos && p.format == format) p.probe(path, xDpi, yDpi);
    // A header that claims 0 dots per metre (or a huge number that overflowed) would make
    // the physical size infinite or zero; such an axis takes the default.
    if (!std::isfinite(xDpi) || xDpi <= 0) xDpi = kDefaultResolution;
    if (!std::isfinite(yDpi) || yDpi <= 0) yDpi = kDefaultResolution;
}
