#include "image/image_header.h"
#include "image/image_header_testing.h"

#include <algorithm>
#include <set>

namespace {

template <class Src> ImageFormat sniff(const HeaderReader<Src>& r) {
    if (r.is(0, "\x89PNG\r\n\x1a\n")) return ImageFormat::Png;
    if (r.at(0) == 0xFF && r.at(1) == 0xD8 && r.at(2) == 0xFF) return ImageFormat::Jpeg;
    if (r.is(0, "GIF87a") || r.is(0, "GIF89a")) return ImageFormat::Gif;
    if (r.is(0, std::string_view("II\x2A\x00", 4)) || r.is(0, std::string_view("MM\x00\x2A", 4)))
        return ImageFormat::Tiff;
    if (r.is(0, "BM")) return ImageFormat::Bmp;
    if (r.is(0, "8BPS")) return ImageFormat::Psd;
    return ImageFormat::Unknown;
}

// Adds one frame of w x h to the header, refusing sizes beyond the limits as they appear so
// that the sums cannot overflow.
HeaderVerdict addFrame(ImageHeader& h, std::uint64_t w, std::uint64_t ht, const DecodeLimits& lim) {
    if (w == 0 || ht == 0) return HeaderVerdict::Empty;
    h.width = std::max(h.width, w);
    h.height = std::max(h.height, ht);
    ++h.frames;
    if (w > lim.maxSide || ht > lim.maxSide) return HeaderVerdict::TooLarge;
    h.rgbaBytes += w * ht * 4;
    if (h.rgbaBytes > lim.maxRgbaBytes) return HeaderVerdict::TooLarge;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectPng(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26 || !r.is(12, "IHDR")) return HeaderVerdict::Damaged;
    const HeaderVerdict v = addFrame(h, r.be32(16), r.be32(20), lim);
    if (v != HeaderVerdict::Ok) return v;
    // Every chunk up to IEND must lie within the file: the decoder would otherwise try to read
    // (and allocate for) a length such as 2 GB claimed by a tiny file.
    for (std::uint64_t p = 8;;) {
        if (p + 12 > size) return HeaderVerdict::Damaged;
        const std::uint64_t len = r.be32(p);
        if (len > 0x7FFFFFFFu || p + 12 + len > size) return HeaderVerdict::Damaged;
        if (r.is(p + 4, "IEND")) return HeaderVerdict::Ok;
        p += 12 + len;
    }
}

template <class Src>
HeaderVerdict inspectJpeg(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                          const DecodeLimits& lim) {
    std::uint64_t p = 2;
    while (p < size) {
        if (r.at(p) != 0xFF) { // stray byte between segments: the decoder skips it too
            ++p;
            continue;
        }
        while (p < size && r.at(p) == 0xFF)
            ++p; // fill bytes
        if (p >= size) break;
        std::uint32_t m = r.at(p++);
        if (m == 0x00 || m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) continue;
        if (m == 0xD9 || m == 0xDA) break; // end of image or scan before any frame header
        std::uint32_t len = r.be16(p);
        if (len < 2) return HeaderVerdict::Damaged;
        bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (sof) {
            if (p + 8 > size) return HeaderVerdict::Damaged;
            std::uint32_t height = r.be16(p + 3), width = r.be16(p + 5);
            std::uint32_t components = r.at(p + 7);
            HeaderVerdict v = addFrame(h, width, height, lim);
            if (v != HeaderVerdict::Ok) return v;
            if (components == 4) {
                h.cmyk = true;
                return HeaderVerdict::CmykJpeg;
            }
            return HeaderVerdict::Ok;
        }
        p += len;
    }
    return HeaderVerdict::Damaged;
}

template <class Src>
HeaderVerdict inspectGif(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 13) return HeaderVerdict::Damaged;
    std::uint64_t screenW = r.le16(6), screenH = r.le16(8);
    if (screenW == 0 || screenH == 0) return HeaderVerdict::Empty;
    std::uint32_t packed = r.at(10);
    std::uint64_t p = 13;
    if (packed & 0x80) p += 3ull << ((packed & 7) + 1);
    auto skipSubBlocks = [&] {
        while (p < size) {
            std::uint32_t n = r.at(p);
            p += 1 + n;
            if (n == 0) return;
        }
    };
    while (p < size) {
        std::uint32_t b = r.at(p);
        if (b == 0x2C) {
            std::uint64_t left = r.le16(p + 1), top = r.le16(p + 3);
            std::uint64_t w = r.le16(p + 5), ht = r.le16(p + 7);
            std::uint32_t lp = r.at(p + 9);
            p += 10;
            if (lp & 0x80) p += 3ull << ((lp & 7) + 1);
            p += 1; // LZW minimum code size
            skipSubBlocks();
            // Every frame is decoded onto a picture of at least the logical screen.
            HeaderVerdict v =
                addFrame(h, std::max(screenW, left + std::max<std::uint64_t>(w, 1)),
                         std::max(screenH, top + std::max<std::uint64_t>(ht, 1)), lim);
            if (v != HeaderVerdict::Ok) return v;
        } else if (b == 0x21) {
            p += 2;
            skipSubBlocks();
        } else {
            break; // trailer or garbage: the decoder stops here as well
        }
    }
    if (h.frames == 0) return HeaderVerdict::Damaged;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectTiff(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                          const DecodeLimits& lim) {
    bool big = r.at(0) == 'M';
    std::uint64_t off = r.u32(4, big);
    std::set<std::uint64_t> seen;
    while (off != 0) {
        if (off + 2 > size || !seen.insert(off).second) break; // the reader stops here too
        // Each page costs the decoder time: a long chain of pages is refused.
        if (seen.size() > kMaxTiffPages) return HeaderVerdict::TooLarge;
        std::uint32_t count = r.u16(off, big);
        std::uint64_t w = 0, ht = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t e = off + 2 + 12ull * i;
            if (e + 12 > size) return HeaderVerdict::Damaged;
            std::uint32_t tag = r.u16(e, big), type = r.u16(e + 2, big);
            if (tag != 256 && tag != 257) continue;
            std::uint64_t v = type == 3 ? r.u16(e + 8, big) : r.u32(e + 8, big);
            (tag == 256 ? w : ht) = v;
        }
        HeaderVerdict v = addFrame(h, w, ht, lim);
        if (v != HeaderVerdict::Ok) return v;
        off = r.u32(off + 2 + 12ull * count, big);
    }
    if (h.frames == 0) return HeaderVerdict::Damaged;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectBmp(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26) return HeaderVerdict::Damaged;
    std::uint32_t dib = r.le32(14);
    std::uint64_t w, ht;
    if (dib == 12) {
        w = r.le16(18);
        ht = r.le16(20);
    } else if (dib >= 40) {
        auto sw = static_cast<std::int32_t>(r.le32(18));
        auto sh = static_cast<std::int64_t>(static_cast<std::int32_t>(r.le32(22)));
        if (sw < 0) return HeaderVerdict::Damaged;
        w = static_cast<std::uint64_t>(sw);
        ht = static_cast<std::uint64_t>(sh < 0 ? -sh : sh); // negative: rows top first
    } else {
        return HeaderVerdict::Damaged;
    }
    HeaderVerdict v = addFrame(h, w, ht, lim);
    if (v != HeaderVerdict::Ok) return v;
    // Uncompressed rows must all be in the file: DevIL fills the missing part of a short
    // file with whatever its buffer held.
    std::uint32_t bpp = dib == 12 ? r.le16(24) : r.le16(28);
    std::uint32_t compression = dib == 12 ? 0 : r.le32(30);
    if (bpp == 0 || bpp > 64) return HeaderVerdict::Damaged;
    // The decoder reads BMP colours but not BMP transparency: a picture with an alpha mask
    // would print its transparent parts with white toner, so it is refused.
    if (dib >= 56 && compression == 3 && r.le32(66) != 0) return HeaderVerdict::BmpAlpha;
    if (compression == 0 || compression == 3) {
        std::uint64_t rowBytes = (w * bpp + 31) / 32 * 4;
        if (size < r.le32(10) + rowBytes * ht) return HeaderVerdict::Damaged;
    }
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectPsd(const HeaderReader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26) return HeaderVerdict::Damaged;
    return addFrame(h, r.be32(18), r.be32(14), lim);
}

template <class Src>
HeaderVerdict inspect(const Src& src, ImageHeader& h, const DecodeLimits& lim) {
    h = ImageHeader{};
    HeaderReader<Src> r(src);
    h.format = sniff(r);
    std::uint64_t size = src.size();
    switch (h.format) {
    case ImageFormat::Png:
        return inspectPng(r, size, h, lim);
    case ImageFormat::Jpeg:
        return inspectJpeg(r, size, h, lim);
    case ImageFormat::Gif:
        return inspectGif(r, size, h, lim);
    case ImageFormat::Tiff:
        return inspectTiff(r, size, h, lim);
    case ImageFormat::Bmp:
        return inspectBmp(r, size, h, lim);
    case ImageFormat::Psd:
        return inspectPsd(r, size, h, lim);
    case ImageFormat::Unknown:
        break;
    }
    return HeaderVerdict::NotAnImage;
}

} // namespace

ImageFormat sniffImageFormat(std::string_view head) {
    return sniff(HeaderReader(MemoryBytes(head)));
}

HeaderVerdict inspectImageHeader(std::string_view bytes, ImageHeader& header,
                                 const DecodeLimits& limits) {
    return inspect(MemoryBytes(bytes), header, limits);
}

HeaderVerdict inspectImageFile(int fd, ImageHeader& header, const DecodeLimits& limits,
                               std::uint64_t& fileBytes) {
    const FileBytes src(fd);
    fileBytes = src.size();
    return inspect(src, header, limits);
}
