// Decoding behind the three walls: formats, damaged and hostile files, the fenced child.
#include "image/decode_testing.h"

#include "actions/messages.h"

#include "tests/support/test_support.h"
#include "image/image_header_testing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAsan = true;
#else
constexpr bool kUnderAsan = false;
#endif
#else
constexpr bool kUnderAsan = false;
#endif

// Restores the process-wide limits when a test ends.
struct LimitsGuard {
    DecodeLimits saved = decodeLimits();
    ~LimitsGuard() { decodeLimits() = saved; }
};

using testsupport::be16;
using testsupport::be32;
using testsupport::le16;
using testsupport::le32;

// 3 x 2 pixels, RGBA, top row first.
const std::vector<std::uint8_t> kPixels = {
    255, 0,   0,   255, 0, 255, 0, 255, 0,   0,  255, 255,
    255, 255, 255, 255, 0, 0,   0, 255, 128, 64, 32,  255,
};

// The pixels as a binary PPM, which ImageMagick turns into each format.
std::string ppm(const std::vector<std::uint8_t>& rgba, int w, int h) {
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        s.append(reinterpret_cast<const char*>(&rgba[i]), 3);
    return s;
}

// Runs ImageMagick's convert on in with options, writing out; fails the test when it fails.
void convert(const std::string& in, const std::string& options, const std::string& out) {
    std::string cmd = "convert " + in + " " + options + " " + out + " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

std::string makeImage(const TempDir& dir, const std::string& name, const std::string& options,
                      const std::vector<std::uint8_t>& rgba = kPixels, int w = 3, int h = 2) {
    std::string src = dir.file("source.ppm");
    writeFile(src, ppm(rgba, w, h));
    // "FMT:name" asks ImageMagick for a particular variant of the format.
    std::string prefix;
    std::string file = name;
    if (std::size_t colon = name.find(':'); colon != std::string::npos) {
        prefix = name.substr(0, colon + 1);
        file = name.substr(colon + 1);
    }
    std::string out = dir.file(file);
    convert(src, options, prefix + out);
    return out;
}

std::vector<std::uint8_t> rgbaOf(const DecodeOutcome& o) {
    std::size_t n = static_cast<std::size_t>(o.width) * static_cast<std::size_t>(o.height) * 4;
    return {o.pixels.begin(), o.pixels.begin() + static_cast<std::ptrdiff_t>(n)};
}

struct FormatCase {
    const char* name;
    std::string file;    // written by convert with this name
    std::string options; // convert options; "FMT:" prefixes go into file
    ImageFormat format;
};

class EachFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EachFormat, DecodesExactPixels) {
    const FormatCase& c = GetParam();
    TempDir dir;
    std::string path = makeImage(dir, c.file, c.options);
    std::string real = path;
    EXPECT_EQ(sniffImageFormat(readFile(real)), c.format);
    DecodeOutcome o = decodeImageFile(real, false);
    ASSERT_EQ(o.status, DecodeStatus::Ok) << decodeFailureText(o);
    EXPECT_EQ(o.width, 3);
    EXPECT_EQ(o.height, 2);
    ASSERT_EQ(o.pixels.size(), 3u * 2u * 5u);
    EXPECT_EQ(rgbaOf(o), kPixels);
    // The fifth byte a pixel is room for the converted form, zero until then.
    for (std::size_t i = 24; i < o.pixels.size(); ++i)
        EXPECT_EQ(o.pixels[i], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EachFormat,
    ::testing::Values(FormatCase{"png", "a.png", "", ImageFormat::Png},
                      FormatCase{"gif", "a.gif", "", ImageFormat::Gif},
                      FormatCase{"tiff", "a.tif", "-compress none", ImageFormat::Tiff},
                      FormatCase{"tiff_lzw", "b.tif", "-compress lzw", ImageFormat::Tiff},
                      FormatCase{"bmp", "BMP3:a.bmp", "", ImageFormat::Bmp},
                      FormatCase{"psd", "a.psd", "", ImageFormat::Psd}),
    [](const ::testing::TestParamInfo<FormatCase>& i) { return std::string(i.param.name); });

TEST(Decode, JpegDecodesNearTheColour) {
    TempDir dir;
    std::vector<std::uint8_t> solid;
    for (int i = 0; i < 16 * 8; ++i)
        solid.insert(solid.end(), {200, 100, 50, 255});
    std::string path = makeImage(dir, "a.jpg", "-quality 95", solid, 16, 8);
    DecodeOutcome o = decodeImageFile(path, false);
    ASSERT_EQ(o.status, DecodeStatus::Ok) << decodeFailureText(o);
    EXPECT_EQ(o.width, 16);
    EXPECT_EQ(o.height, 8);
    auto px = rgbaOf(o);
    for (std::size_t i = 0; i < px.size(); i += 4) {
        EXPECT_NEAR(px[i], 200, 4);
        EXPECT_NEAR(px[i + 1], 100, 4);
        EXPECT_NEAR(px[i + 2], 50, 4);
        EXPECT_EQ(px[i + 3], 255);
    }
}

TEST(Decode, FlipGivesTheBottomRowFirst) {
    TempDir dir;
    for (std::string name : {"a.png", "a.tif", "BMP3:a.bmp", "a.gif", "a.psd"}) {
        std::string path = makeImage(dir, name, "");
        DecodeOutcome o = decodeImageFile(path, true);
        ASSERT_EQ(o.status, DecodeStatus::Ok) << name << ": " << decodeFailureText(o);
        std::vector<std::uint8_t> flipped(kPixels.begin() + 12, kPixels.end());
        flipped.insert(flipped.end(), kPixels.begin(), kPixels.begin() + 12);
        EXPECT_EQ(rgbaOf(o), flipped) << name;
    }
}

TEST(Decode, AlphaIsKept) {
    TempDir dir;
    // A PAM file carries alpha into the PNG.
    std::string pam = "P7\nWIDTH 3\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const std::vector<std::uint8_t> px = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255};
    pam.append(reinterpret_cast<const char*>(px.data()), px.size());
    writeFile(dir.file("a.pam"), pam);
    convert(dir.file("a.pam"), "", dir.file("a.png"));
    DecodeOutcome o = decodeImageFile(dir.file("a.png"), false);
    ASSERT_EQ(o.status, DecodeStatus::Ok) << decodeFailureText(o);
    auto got = rgbaOf(o);
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[3], 0);
    EXPECT_EQ(got[7], 128);
    EXPECT_EQ(got[11], 255);
    EXPECT_EQ(got[4], 40);
    EXPECT_EQ(got[9], 80);
}

struct VariantCase {
    const char* name;
    std::string file;
    std::string options;
    bool grey; // the expected pixels are the grey of the source
};

class Variants : public ::testing::TestWithParam<VariantCase> {};

// Palette, 16-bit and grey pictures come out as 8-bit RGBA of the same size.
TEST_P(Variants, DecodeToRgba) {
    const VariantCase& c = GetParam();
    TempDir dir;
    std::vector<std::uint8_t> src;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            src.insert(src.end(),
                       {static_cast<std::uint8_t>(x * 60), static_cast<std::uint8_t>(y * 80),
                        static_cast<std::uint8_t>(x * 60), 255});
    std::string path = makeImage(dir, c.file, c.options, src, 5, 4);
    DecodeOutcome o = decodeImageFile(path, false);
    ASSERT_EQ(o.status, DecodeStatus::Ok) << c.name << ": " << decodeFailureText(o);
    EXPECT_EQ(o.width, 5);
    EXPECT_EQ(o.height, 4);
    auto px = rgbaOf(o);
    // Top right pixel (240, 0, 240) and bottom left (0, 240, 0).
    const std::uint8_t* tr = &px[4 * 4];
    const std::uint8_t* bl = &px[15 * 4];
    int tol = 12;
    if (c.grey) {
        EXPECT_EQ(tr[0], tr[1]);
        EXPECT_EQ(tr[1], tr[2]);
        EXPECT_EQ(bl[0], bl[2]);
        // Green is much lighter than magenta in grey.
        EXPECT_GT(bl[0], tr[0] + 40) << c.name;
    } else {
        EXPECT_NEAR(tr[0], 240, tol) << c.name;
        EXPECT_NEAR(tr[1], 0, tol) << c.name;
        EXPECT_NEAR(bl[1], 240, tol) << c.name;
        EXPECT_NEAR(bl[0], 0, tol) << c.name;
    }
    EXPECT_EQ(tr[3], 255);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Variants,
    ::testing::Values(VariantCase{"palette_png", "PNG8:a.png", "", false},
                      VariantCase{"png_16bit", "PNG48:b.png", "", false},
                      VariantCase{"tiff_16bit", "c.tif", "-depth 16", false},
                      VariantCase{"psd_16bit", "d.psd", "-depth 16", false},
                      VariantCase{"palette_bmp", "BMP3:e.bmp", "-type palette", false},
                      VariantCase{"palette_tiff", "f.tif", "-type palette", false},
                      VariantCase{"grey_png", "g.png", "-colorspace gray", true},
                      VariantCase{"grey_jpeg", "h.jpg", "-colorspace gray -quality 95", true},
                      VariantCase{"grey_tiff", "i.tif", "-colorspace gray", true}),
    [](const ::testing::TestParamInfo<VariantCase>& i) { return std::string(i.param.name); });

TEST(Decode, OneByNAndNByOne) {
    TempDir dir;
    for (auto [w, h] : {std::pair{1, 7}, std::pair{7, 1}, std::pair{1, 1}}) {
        std::vector<std::uint8_t> px;
        for (int i = 0; i < w * h; ++i)
            px.insert(px.end(), {static_cast<std::uint8_t>(i * 30), 7, 9, 255});
        for (std::string name : {"a.png", "a.tif", "a.gif", "BMP3:a.bmp", "a.jpg"}) {
            std::string path = makeImage(dir, name, "", px, w, h);
            DecodeOutcome o = decodeImageFile(path, false);
            if (w * h == 1 && name == "a.gif" && o.status != DecodeStatus::Ok) {
                // DevIL refuses the one-bit code size of a one-colour GIF: a clear message.
                EXPECT_EQ(o.status, DecodeStatus::DevilError);
                EXPECT_FALSE(decodeFailureText(o).empty());
                continue;
            }
            ASSERT_EQ(o.status, DecodeStatus::Ok)
                << name << " " << w << "x" << h << ": " << decodeFailureText(o);
            EXPECT_EQ(o.width, w) << name;
            EXPECT_EQ(o.height, h) << name;
        }
    }
}

// A version 5 BMP turned into version 4: the header without its last 16 bytes (rendering
// intent and embedded profile fields), offsets moved accordingly.
std::string asVersion4(const std::string& v5) {
    std::string v4 = v5.substr(0, 14 + 108) + v5.substr(14 + 124);
    v4[14] = 108;
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            v4[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
    };
    auto get = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(v5[at + static_cast<std::size_t>(i)]);
        return v;
    };
    put(2, static_cast<std::uint32_t>(v4.size()));
    put(10, get(10) - 16);
    return v4;
}

// BMP files with the version 4 and 5 headers, as ImageMagick (and most programs) write them
// today, decode to the same pixels as the version 3 file.
TEST(BmpHeaders, Version4And5DecodeLikeVersion3) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* options;
        std::uint32_t header;
        bool coarse;
    };
    const Case cases[] = {
        {"BMP:v5.bmp", "", 124, false},
        {"BMP:v4.bmp", "", 108, false},
        {"BMP:palette.bmp", "-type palette", 124, false},
        {"BMP:bitfields.bmp", "-define bmp:subtype=RGB555", 124, true},
    };
    for (const Case& c : cases) {
        const std::string path = makeImage(dir, c.name, c.options);
        if (c.header == 108) writeFile(path, asVersion4(readFile(path)));
        const std::string bytes = readFile(path);
        ASSERT_GE(bytes.size(), 18u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[14]), c.header) << c.name;
        DecodeOutcome o = decodeImageFile(path, false);
        ASSERT_EQ(o.status, DecodeStatus::Ok) << c.name << ": " << decodeFailureText(o);
        // 5 bits a channel for the bitfields file: equal within the step.
        const std::vector<std::uint8_t> got = rgbaOf(o);
        ASSERT_EQ(got.size(), kPixels.size()) << c.name;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], kPixels[i], c.coarse ? 8 : 0) << c.name << " byte " << i;
    }
    // Transparency is what the decoder cannot read from a BMP: refused with a clear reason
    // rather than printed with white toner under the transparent parts.
    const std::string alpha =
        makeImage(dir, "BMP:alpha.bmp", "-alpha set -channel A -evaluate set 50% +channel");
    DecodeOutcome o = decodeImageFile(alpha, false);
    EXPECT_EQ(o.verdict, HeaderVerdict::BmpAlpha);
    EXPECT_NE(decodeFailureText(o).find("transparency"), std::string::npos);
}

// ---- Hand-made headers.

std::string pngHeader(std::uint32_t w, std::uint32_t h) {
    std::string s = "\x89PNG\r\n\x1a\n";
    be32(s, 13);
    s += "IHDR";
    be32(s, w);
    be32(s, h);
    s += std::string("\x08\x06\x00\x00\x00", 5);
    be32(s, 0);
    // The closing chunk, so that the chunk walk reaches the end inside the file.
    be32(s, 0);
    s += "IEND";
    be32(s, 0);
    return s + std::string(52, '\0');
}

// A 1 x 1 PNG header followed by a gAMA chunk that claims `claimed` bytes but holds 4.
std::string pngClaimingChunk(std::uint32_t claimed) {
    std::string s = pngHeader(1, 1).substr(0, 33);
    be32(s, claimed);
    s += "gAMA";
    be32(s, 45455);
    be32(s, 0);
    be32(s, 0);
    s += "IEND";
    be32(s, 0);
    return s;
}

std::string bmpHeader(std::int32_t w, std::int32_t h, std::uint32_t bpp = 24) {
    std::string s = "BM";
    le32(s, 0);
    le32(s, 0);
    le32(s, 54);
    le32(s, 40);
    le32(s, static_cast<std::uint32_t>(w));
    le32(s, static_cast<std::uint32_t>(h));
    le16(s, 1);
    le16(s, bpp);
    le32(s, 0);
    s += std::string(20, '\0');
    return s;
}

std::string jpegSof(std::uint32_t w, std::uint32_t h, int components) {
    std::string s("\xFF\xD8\xFF\xE0", 4);
    be16(s, 16);
    s += std::string("JFIF\0\x01\x02\x01\x00\x48\x00\x48\x00\x00", 14);
    s += std::string("\xFF\xC0", 2);
    be16(s, static_cast<std::uint32_t>(8 + 3 * components));
    s += '\x08';
    be16(s, h);
    be16(s, w);
    s += static_cast<char>(components);
    for (int i = 0; i < components; ++i)
        s += std::string{static_cast<char>(i + 1), '\x11', '\0'};
    s += std::string("\xFF\xD9", 2);
    return s;
}

std::string psdHeader(std::uint32_t w, std::uint32_t h) {
    std::string s = "8BPS";
    be16(s, 1);
    s += std::string(6, '\0');
    be16(s, 3);
    be32(s, h);
    be32(s, w);
    be16(s, 8);
    be16(s, 3);
    return s + std::string(16, '\0');
}

std::string gifFrames(std::uint32_t screenW, std::uint32_t screenH, int frames) {
    std::string s = "GIF89a";
    le16(s, screenW);
    le16(s, screenH);
    s += std::string("\x80\x00\x00", 3);
    s += std::string("\0\0\0\xFF\xFF\xFF", 6);
    for (int i = 0; i < frames; ++i) {
        s += '\x2C';
        le16(s, 0);
        le16(s, 0);
        le16(s, 1);
        le16(s, 1);
        s += std::string("\x00\x02\x02\x44\x01\x00", 6);
    }
    return s + "\x3B";
}

std::string tiffPages(std::uint32_t w, std::uint32_t h, int pages) {
    std::string s("II\x2A\x00", 4);
    le32(s, 8);
    for (int p = 0; p < pages; ++p) {
        std::uint32_t here = static_cast<std::uint32_t>(s.size());
        le16(s, 2);
        for (std::uint32_t tag : {256u, 257u}) {
            le16(s, tag);
            le16(s, 4);
            le32(s, 1);
            le32(s, tag == 256 ? w : h);
        }
        le32(s, p + 1 < pages ? here + 2 + 24 + 4 : 0);
    }
    return s;
}

struct HeaderCase {
    const char* name;
    std::string bytes;
    HeaderVerdict verdict;
};

class Headers : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Headers, AreJudgedBeforeDecoding) {
    const HeaderCase& c = GetParam();
    ImageHeader h;
    EXPECT_EQ(inspectImageHeader(c.bytes, h, DecodeLimits{}), c.verdict) << c.name;
    // The same verdict reaches the loader's caller, with a message for the user.
    if (c.verdict != HeaderVerdict::Ok) {
        TempDir dir;
        writeFile(dir.file("x.img"), c.bytes);
        DecodeOutcome o = decodeImageFile(dir.file("x.img"), false);
        EXPECT_EQ(o.status, DecodeStatus::Refused) << c.name;
        EXPECT_EQ(o.verdict, c.verdict) << c.name;
        EXPECT_FALSE(decodeFailureText(o).empty()) << c.name;
        EXPECT_TRUE(o.pixels.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Headers,
    ::testing::Values(
        HeaderCase{"png_0x0", pngHeader(0, 0), HeaderVerdict::Empty},
        HeaderCase{"png_0x5", pngHeader(0, 5), HeaderVerdict::Empty},
        HeaderCase{"png_huge", pngHeader(100000, 100000), HeaderVerdict::TooLarge},
        // 65536 x 65536 x 4 wraps a 32-bit size to 0.
        HeaderCase{"png_wraps", pngHeader(65536, 65536), HeaderVerdict::TooLarge},
        HeaderCase{"png_one_side_too_long", pngHeader(20001, 1), HeaderVerdict::TooLarge},
        HeaderCase{"png_too_many_bytes", pngHeader(20000, 7000), HeaderVerdict::TooLarge},
        HeaderCase{"png_largest_allowed", pngHeader(16384, 8192), HeaderVerdict::Ok},
        HeaderCase{"png_short", std::string("\x89PNG\r\n\x1a\n\0\0", 10), HeaderVerdict::Damaged},
        // A chunk may not reach past the end of the file (the decoder would wait on 2 GB).
        HeaderCase{"png_chunk_claims_2gb", pngClaimingChunk(0x7FFFFFF0u), HeaderVerdict::Damaged},
        HeaderCase{"png_chunk_length_invalid", pngClaimingChunk(0x80000004u),
                   HeaderVerdict::Damaged},
        HeaderCase{"png_chunk_fits", pngClaimingChunk(4), HeaderVerdict::Ok},
        HeaderCase{"png_no_iend", pngHeader(1, 1).substr(0, 33), HeaderVerdict::Damaged},
        HeaderCase{"bmp_0_wide", bmpHeader(0, 4), HeaderVerdict::Empty},
        HeaderCase{"bmp_huge", bmpHeader(30000, 30000), HeaderVerdict::TooLarge},
        HeaderCase{"bmp_negative_width", bmpHeader(-5, 4), HeaderVerdict::Damaged},
        HeaderCase{"bmp_int_min_height", bmpHeader(4, INT_MIN), HeaderVerdict::TooLarge},
        HeaderCase{"bmp_rows_missing", bmpHeader(100, 100), HeaderVerdict::Damaged},
        HeaderCase{"bmp_small_header",
                   "BM" + std::string(12, '\0') + std::string("\x08\0\0\0", 4) +
                       std::string(16, '\0'),
                   HeaderVerdict::Damaged},
        HeaderCase{"jpeg_huge", jpegSof(65535, 65535, 3), HeaderVerdict::TooLarge},
        HeaderCase{"jpeg_zero_height", jpegSof(100, 0, 3), HeaderVerdict::Empty},
        HeaderCase{"jpeg_cmyk", jpegSof(10, 10, 4), HeaderVerdict::CmykJpeg},
        HeaderCase{"jpeg_no_frame", std::string("\xFF\xD8\xFF\xD9", 4), HeaderVerdict::Damaged},
        HeaderCase{"jpeg_endless_fill", std::string("\xFF\xD8") + std::string(20, '\xFF'),
                   HeaderVerdict::Damaged},
        HeaderCase{"psd_huge", psdHeader(30000, 30000), HeaderVerdict::TooLarge},
        HeaderCase{"psd_0x0", psdHeader(0, 0), HeaderVerdict::Empty},
        HeaderCase{"gif_screen_0", gifFrames(0, 0, 1), HeaderVerdict::Empty},
        // Every frame is decoded at the screen size: 200 frames of 1000 x 1000 is 800 MB.
        HeaderCase{"gif_many_frames", gifFrames(1000, 1000, 200), HeaderVerdict::TooLarge},
        HeaderCase{"gif_few_frames", gifFrames(1000, 1000, 100), HeaderVerdict::Ok},
        HeaderCase{"gif_no_frames", gifFrames(10, 10, 0), HeaderVerdict::Damaged},
        HeaderCase{"tiff_pages_sum", tiffPages(10000, 10000, 2), HeaderVerdict::TooLarge},
        HeaderCase{"tiff_one_page", tiffPages(10000, 10000, 1), HeaderVerdict::Ok},
        HeaderCase{"tiff_no_size", tiffPages(0, 0, 1), HeaderVerdict::Empty},
        // Each page costs decoding time: a long chain is refused.
        HeaderCase{"tiff_long_chain", tiffPages(2, 2, static_cast<int>(kMaxTiffPages) + 1),
                   HeaderVerdict::TooLarge},
        HeaderCase{"tiff_most_pages", tiffPages(2, 2, static_cast<int>(kMaxTiffPages)),
                   HeaderVerdict::Ok},
        HeaderCase{"text", "hello, world\n", HeaderVerdict::NotAnImage},
        HeaderCase{"empty", "", HeaderVerdict::NotAnImage},
        HeaderCase{"ppm", "P6\n3 2\n255\n" + std::string(18, '\x7F'), HeaderVerdict::NotAnImage},
        HeaderCase{"targa",
                   std::string("\0\0\x02\0\0\0\0\0\0\0\0\0\x03\0\x02\0\x18\0", 18) +
                       std::string(18, '\x7F'),
                   HeaderVerdict::NotAnImage}),
    [](const ::testing::TestParamInfo<HeaderCase>& i) { return std::string(i.param.name); });

// The child's CPU time follows the work a file can make, so a tiny file cannot keep the
// decoder busy for the full minute.
TEST(Headers, ChildCpuTimeScalesWithTheFile) {
    const DecodeLimits lim;
    struct Case {
        std::uint64_t fileBytes, rgbaBytes;
        std::uint32_t seconds;
    };
    const Case cases[] = {
        {5000, 4, 5},                    // a tiny PNG
        {520u << 10, 40000, 5},          // the 520 KB TIFF
        {40ull << 20, 140ull << 20, 19}, // an A4 600 dpi PNG: 5 + 10 + 4
        {2ull << 30, 512ull << 20, 60},  // capped at the limit
    };
    for (const Case& c : cases)
        EXPECT_EQ(childCpuSeconds(c.fileBytes, c.rgbaBytes, lim), c.seconds) << c.fileBytes;
    DecodeLimits tight;
    tight.cpuSeconds = 2;
    EXPECT_EQ(childCpuSeconds(5000, 4, tight), 2u) << "a tighter limit stays";
}

TEST(Headers, LoopingTiffChainEnds) {
    // An IFD whose next offset points back at itself.
    std::string s = tiffPages(10, 10, 1);
    s[8 + 2 + 24] = 8;
    ImageHeader h;
    EXPECT_EQ(inspectImageHeader(s, h, DecodeLimits{}), HeaderVerdict::Ok);
    EXPECT_EQ(h.frames, 1u);
}

TEST(Headers, CmykJpegFromAnEncoderIsRefused) {
    TempDir dir;
    std::string path = makeImage(dir, "c.jpg", "-colorspace cmyk");
    DecodeOutcome o = decodeImageFile(path, false);
    EXPECT_EQ(o.status, DecodeStatus::Refused);
    EXPECT_EQ(o.verdict, HeaderVerdict::CmykJpeg);
    EXPECT_NE(decodeFailureText(o).find("CMYK"), std::string::npos);
}

// The format comes from the content, never from the name.
TEST(Sniffing, ContentDecidesNotTheName) {
    TempDir dir;
    std::string png = makeImage(dir, "a.png", "");
    writeFile(dir.file("looks.jpg"), readFile(png));
    DecodeOutcome o = decodeImageFile(dir.file("looks.jpg"), false);
    ASSERT_EQ(o.status, DecodeStatus::Ok);
    EXPECT_EQ(o.header.format, ImageFormat::Png);
    EXPECT_EQ(rgbaOf(o), kPixels);

    // A format DevIL could read by itself but which is not one of the six stays out.
    convert(png, "", dir.file("x.tga"));
    writeFile(dir.file("tga.png"), readFile(dir.file("x.tga")));
    o = decodeImageFile(dir.file("tga.png"), false);
    EXPECT_EQ(o.status, DecodeStatus::Refused);
    EXPECT_EQ(o.verdict, HeaderVerdict::NotAnImage);
}

TEST(Sniffing, TypesForDevil) {
    EXPECT_EQ(devilTypeFor(ImageFormat::Png), 0x042Au);
    EXPECT_EQ(devilTypeFor(ImageFormat::Jpeg), 0x0425u);
    EXPECT_EQ(devilTypeFor(ImageFormat::Gif), 0x0436u);
    EXPECT_EQ(devilTypeFor(ImageFormat::Tiff), 0x042Eu);
    EXPECT_EQ(devilTypeFor(ImageFormat::Bmp), 0x0420u);
    EXPECT_EQ(devilTypeFor(ImageFormat::Psd), 0x0439u);
    EXPECT_EQ(devilTypeFor(ImageFormat::Unknown), 0u);
    EXPECT_EQ(sniffImageFormat(std::string("MM\0\x2A", 4)), ImageFormat::Tiff);
    EXPECT_EQ(sniffImageFormat(std::string("MM\0\x2B", 4)), ImageFormat::Unknown);
    EXPECT_EQ(sniffImageFormat("GIF87a"), ImageFormat::Gif);
    EXPECT_EQ(sniffImageFormat("GIF88a"), ImageFormat::Unknown);
    EXPECT_EQ(sniffImageFormat(std::string("\xFF\xD8\xFF", 3)), ImageFormat::Jpeg);
    EXPECT_EQ(sniffImageFormat(std::string("\xFF\xD8", 2)), ImageFormat::Unknown);
}

// ---- Damaged files of each format.

class Damaged : public ::testing::TestWithParam<std::string> {};

TEST_P(Damaged, TruncatedFilesAreRefusedOrReported) {
    TempDir dir;
    std::vector<std::uint8_t> src;
    for (int i = 0; i < 24 * 16; ++i)
        src.insert(src.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13),
                               static_cast<std::uint8_t>(i), 255});
    std::string name = GetParam();
    std::string path = makeImage(dir, name, "", src, 24, 16);
    std::string full = readFile(path);
    ASSERT_GT(full.size(), 40u);
    for (std::size_t len : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{30},
                            full.size() / 2, full.size() - 8}) {
        std::string cut = dir.file("cut" + std::to_string(len));
        writeFile(cut, full.substr(0, len));
        DecodeOutcome o = decodeImageFile(cut, false);
        if (o.status == DecodeStatus::Ok) {
            // Some decoders finish a picture whose last bytes are missing; its size must
            // still be the one in the header.
            EXPECT_GE(len, full.size() / 2) << name << " cut to " << len;
            EXPECT_EQ(o.width, 24);
            EXPECT_EQ(o.height, 16);
        } else {
            EXPECT_FALSE(decodeFailureText(o).empty()) << name << " cut to " << len;
            EXPECT_TRUE(o.pixels.empty());
        }
    }
}

TEST_P(Damaged, CorruptedBytesAreContained) {
    TempDir dir;
    std::vector<std::uint8_t> src;
    for (int i = 0; i < 24 * 16; ++i)
        src.insert(src.end(), {static_cast<std::uint8_t>(i * 5), static_cast<std::uint8_t>(i * 3),
                               static_cast<std::uint8_t>(i), 255});
    std::string name = GetParam();
    std::string path = makeImage(dir, name, "", src, 24, 16);
    std::string full = readFile(path);
    std::uint32_t seed = 12345;
    for (int round = 0; round < 12; ++round) {
        std::string bad = full;
        for (int k = 0; k < 1 + round; ++k) {
            seed = seed * 1103515245u + 12345u;
            std::size_t at = 8 + (seed >> 8) % (bad.size() - 8);
            bad[at] = static_cast<char>(seed >> 24);
        }
        std::string p = dir.file("bad" + std::to_string(round));
        writeFile(p, bad);
        DecodeOutcome o = decodeImageFile(p, round % 2 == 1);
        if (o.status == DecodeStatus::Ok) {
            ASSERT_GT(o.width, 0);
            ASSERT_GT(o.height, 0);
            EXPECT_EQ(o.pixels.size(), static_cast<std::size_t>(o.width) * o.height * 5);
        } else {
            EXPECT_FALSE(decodeFailureText(o).empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Damaged,
                         ::testing::Values("a.png", "a.jpg", "a.gif", "a.tif", "BMP3:a.bmp",
                                           "a.psd"),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                             std::string n = i.param.substr(i.param.find(':') + 1);
                             return n.substr(n.find('.') + 1);
                         });

TEST(Damaged, DevilErrorsCarryTheirCodeAndStage) {
    TempDir dir;
    // Chunks intact, compressed pixel data garbled: the header walk passes, DevIL fails.
    std::string full = readFile(makeImage(dir, "a.png", ""));
    const std::size_t idat = full.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    for (std::size_t i = idat + 4; i < idat + 12 && i < full.size(); ++i)
        full[i] = '\xFF';
    writeFile(dir.file("short.png"), full);
    DecodeOutcome o = decodeImageFile(dir.file("short.png"), false);
    ASSERT_EQ(o.status, DecodeStatus::DevilError);
    EXPECT_EQ(o.devilStage, DevilStage::Load);
    EXPECT_NE(o.devilError, 0u);
    EXPECT_EQ(decodeFailureText(o), devilErrorText(o.devilError));
}

TEST(Damaged, MissingFileIsUnreadable) {
    TempDir dir;
    DecodeOutcome o = decodeImageFile(dir.file("nothing.png"), false);
    EXPECT_EQ(o.status, DecodeStatus::Unreadable);
}

// ---- The fenced child.

std::string gForbiddenPath;

void crashWithSegv() {
    std::raise(SIGSEGV);
}
void crashWithAbort() {
    std::abort();
}
void exitWithFailure() {
    _exit(1);
}
void hangForever() {
    for (;;)
        asm volatile("");
}
void sleepForever() {
    for (;;)
        pause();
}
void exitWithoutReport() {
    // A clean exit before any report: no pixels may be taken from the shared memory.
    _exit(0);
}

TEST(Child, CrashesAndHangsAreContained) {
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    struct Hook {
        const char* name;
        void (*fn)();
    };
    decodeLimits().wallMilliseconds = 400;
    decodeLimits().cpuSeconds = 1;
    for (const Hook& h : {Hook{"segv", crashWithSegv}, Hook{"abort", crashWithAbort},
                          Hook{"exit1", exitWithFailure}, Hook{"spin", hangForever},
                          Hook{"sleep", sleepForever}, Hook{"silent", exitWithoutReport}}) {
        decodeLimits().childHook = h.fn;
        DecodeOutcome o = decodeImageFile(path, false);
        EXPECT_EQ(o.status, DecodeStatus::ChildFailed) << h.name;
        EXPECT_TRUE(o.pixels.empty()) << h.name;
        EXPECT_FALSE(decodeFailureText(o).empty());
    }
    // The program carries on: the next decode works.
    decodeLimits().childHook = nullptr;
    DecodeOutcome o = decodeImageFile(path, false);
    ASSERT_EQ(o.status, DecodeStatus::Ok);
    EXPECT_EQ(rgbaOf(o), kPixels);
}

TEST(Child, CpuLimitEndsASpinningDecoder) {
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    decodeLimits().wallMilliseconds = 60000; // only the CPU limit can end it in time
    decodeLimits().cpuSeconds = 1;
    decodeLimits().childHook = hangForever;
    DecodeOutcome o = decodeImageFile(path, false);
    EXPECT_EQ(o.status, DecodeStatus::ChildFailed);
}

// Each of these fails the decode (exit 9) if the child may do it.
void mayNotOpenSockets() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s >= 0) _exit(9);
}
void mayNotWriteFiles() {
    int fd = open(gForbiddenPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) _exit(9);
    fd = open(gForbiddenPath.c_str(), O_RDWR);
    if (fd >= 0) _exit(9);
    if (unlink(gForbiddenPath.c_str()) == 0) _exit(9);
}
void mayNotStartProcesses() {
    pid_t p = fork();
    if (p == 0) _exit(0);
    if (p > 0) _exit(9);
}
void mayNotAllocateWithoutLimit() {
    void* p = std::malloc(std::size_t{64} << 30);
    if (p) _exit(9);
}

// A process the child must not reach (the test process itself).
pid_t gOtherPid = 0;
void mayNotSignalOthers() {
    if (syscall(SYS_tgkill, gOtherPid, gOtherPid, 0) == 0) _exit(9);
}
void mayNotLimitOthers() {
    rlimit old{};
    if (prlimit(gOtherPid, RLIMIT_CORE, nullptr, &old) == 0) _exit(9);
}
// What the decoder and its C library still need: signalling and limiting itself.
void maySignalAndLimitItself() {
    rlimit old{};
    if (syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), 0) != 0 ||
        prlimit(0, RLIMIT_CORE, nullptr, &old) != 0 ||
        prlimit(getpid(), RLIMIT_CORE, nullptr, &old) != 0)
        _exit(9);
}
// No capability is left, even when the program runs as root.
void holdsNoCapabilities() {
    const int fd = open("/proc/self/status", O_RDONLY);
    char buf[4096] = {};
    const ssize_t n = fd >= 0 ? read(fd, buf, sizeof buf - 1) : -1;
    if (n <= 0) _exit(9);
    const std::string status(buf, static_cast<std::size_t>(n));
    for (const char* set : {"CapInh:", "CapPrm:", "CapEff:", "CapBnd:", "CapAmb:"}) {
        const std::size_t at = status.find(set);
        if (at == std::string::npos) _exit(9);
        const std::size_t value = status.find_first_not_of(" \t", at + std::strlen(set));
        if (status.compare(value, 16, "0000000000000000") != 0) _exit(9);
    }
}

TEST(Child, ReachesNoOtherProcessAndHoldsNoPrivilege) {
#ifndef PRINTCONV_HAVE_SECCOMP
    GTEST_SKIP() << "built without libseccomp";
#endif
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    gOtherPid = getpid();
    struct Hook {
        const char* name;
        void (*fn)();
    };
    for (const Hook& h :
         {Hook{"tgkill", mayNotSignalOthers}, Hook{"prlimit64", mayNotLimitOthers},
          Hook{"self", maySignalAndLimitItself}, Hook{"capabilities", holdsNoCapabilities}}) {
        decodeLimits().childHook = h.fn;
        DecodeOutcome o = decodeImageFile(path, false);
        EXPECT_EQ(o.status, DecodeStatus::Ok) << h.name;
    }
}

TEST(Child, IsFenced) {
#ifndef PRINTCONV_HAVE_SECCOMP
    GTEST_SKIP() << "built without libseccomp";
#endif
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    gForbiddenPath = dir.file("existing");
    writeFile(gForbiddenPath, "keep");
    struct Hook {
        const char* name;
        void (*fn)();
    };
    for (const Hook& h : {Hook{"socket", mayNotOpenSockets}, Hook{"write", mayNotWriteFiles},
                          Hook{"fork", mayNotStartProcesses}}) {
        decodeLimits().childHook = h.fn;
        DecodeOutcome o = decodeImageFile(path, false);
        EXPECT_EQ(o.status, DecodeStatus::Ok) << h.name << " was allowed";
    }
    EXPECT_EQ(readFile(gForbiddenPath), "keep");
}

TEST(Child, AddressSpaceIsLimited) {
    if (kUnderAsan) GTEST_SKIP() << "the sanitizer needs unlimited address space";
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    decodeLimits().childHook = mayNotAllocateWithoutLimit;
    DecodeOutcome o = decodeImageFile(path, false);
    EXPECT_EQ(o.status, DecodeStatus::Ok);
}

TEST(Child, LimitsApplyToTheHeader) {
    LimitsGuard guard;
    TempDir dir;
    std::string path = makeImage(dir, "a.png", "");
    decodeLimits().maxSide = 2;
    DecodeOutcome o = decodeImageFile(path, false);
    EXPECT_EQ(o.status, DecodeStatus::Refused);
    EXPECT_EQ(o.verdict, HeaderVerdict::TooLarge);
    decodeLimits().maxSide = 20000;
    decodeLimits().maxRgbaBytes = 3 * 2 * 4 - 1;
    o = decodeImageFile(path, false);
    EXPECT_EQ(o.verdict, HeaderVerdict::TooLarge);
    EXPECT_NE(decodeFailureText(o).find("3 x 2"), std::string::npos);
}

TEST(ErrorTexts, Table) {
    EXPECT_EQ(devilErrorText(0), "");
    EXPECT_EQ(devilErrorText(0x0501), "INVALID ENUM");
    EXPECT_EQ(devilErrorText(0x0509), "INVALID PARAMATER");
    EXPECT_EQ(devilErrorText(0x050E), "STACK OVERFLOW ");
    EXPECT_EQ(devilErrorText(0x0512), "FILE READ ERROR ");
    EXPECT_EQ(devilErrorText(0x05E3), "LIB PNG ERROR");
    EXPECT_EQ(devilErrorText(0x05E7), "LIB EXR ERROR");
    EXPECT_EQ(devilErrorText(0x05FF), "UNKNOWN ERROR");
    EXPECT_EQ(devilErrorText(0x0513), "Error 1299");
    EXPECT_EQ(devilErrorText(4660), "Error 4660");
}

} // namespace
