// Resolution probes: each format's header rules, short files, and the choice by path.
#include "image/probes.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using testsupport::TempDir;
using testsupport::writeFile;

namespace {

using testsupport::be16;
using testsupport::be32;
using testsupport::le16;
using testsupport::le32;
void u16(std::string& s, std::uint32_t v, bool big) {
    big ? be16(s, v) : le16(s, v);
}
void u32(std::string& s, std::uint32_t v, bool big) {
    big ? be32(s, v) : le32(s, v);
}

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string c;
    be32(c, static_cast<std::uint32_t>(data.size()));
    c += type + data;
    be32(c, 0); // the probe does not look at the check sum
    return c;
}

// A PNG header with an IHDR chunk and, when unit >= 0, a pHYs chunk.
std::string png(int unit, std::uint32_t x = 0, std::uint32_t y = 0) {
    std::string ihdr;
    be32(ihdr, 4);
    be32(ihdr, 3);
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    std::string s = "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", ihdr);
    if (unit >= 0) {
        std::string phys;
        be32(phys, x);
        be32(phys, y);
        phys += static_cast<char>(unit);
        s += pngChunk("pHYs", phys);
    }
    s += pngChunk("IEND", "");
    return s;
}

std::string jfif(int unit, std::uint32_t x, std::uint32_t y) {
    std::string s("\xFF\xD8\xFF\xE0", 4);
    be16(s, 16);
    s += std::string("JFIF\0\x01\x02", 7);
    s += static_cast<char>(unit);
    be16(s, x);
    be16(s, y);
    s += std::string("\0\0\xFF\xD9", 4);
    return s;
}

// An Exif APP1 segment whose TIFF structure holds X and Y resolution rationals.
std::string exif(bool big, std::uint32_t xn, std::uint32_t xd, std::uint32_t yn, std::uint32_t yd) {
    std::string t = big ? "MM" : "II";
    u16(t, 42, big);
    u32(t, 8, big);
    u16(t, 2, big);
    const std::uint32_t data = 8 + 2 + 2 * 12 + 4;
    for (std::uint32_t i = 0; i < 2; ++i) {
        u16(t, 0x011A + i, big);
        u16(t, 5, big);
        u32(t, 1, big);
        u32(t, data + 8 * i, big);
    }
    u32(t, 0, big);
    u32(t, xn, big);
    u32(t, xd, big);
    u32(t, yn, big);
    u32(t, yd, big);
    std::string s("\xFF\xD8\xFF\xE1", 4);
    be16(s, static_cast<std::uint32_t>(t.size() + 8));
    s += std::string("Exif\0\0", 6) + t + std::string("\xFF\xD9", 2);
    return s;
}

struct TiffEntry {
    std::uint32_t tag, type, value;
};

// A TIFF with one IFD; rationals (num, den) for tags 282/283 when given; next-IFD offset.
std::string
tiff(bool big,
     std::vector<std::pair<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>> rationals,
     std::uint32_t nextIfd = 0, std::uint32_t rationalType = 5) {
    std::string s = big ? "MM" : "II";
    u16(s, 42, big);
    u32(s, 8, big);
    std::vector<TiffEntry> entries = {{256, 3, 4}, {257, 3, 3}};
    std::uint32_t count = static_cast<std::uint32_t>(entries.size() + rationals.size());
    std::uint32_t data = 8 + 2 + 12 * count + 4;
    for (std::size_t i = 0; i < rationals.size(); ++i)
        entries.push_back(
            {rationals[i].first, rationalType, data + 8 * static_cast<std::uint32_t>(i)});
    u16(s, count, big);
    for (const auto& e : entries) {
        u16(s, e.tag, big);
        u16(s, e.type, big);
        u32(s, 1, big);
        if (e.type == 3) {
            u16(s, e.value, big);
            u16(s, 0, big);
        } else {
            u32(s, e.value, big);
        }
    }
    u32(s, nextIfd, big);
    for (const auto& r : rationals) {
        u32(s, r.second.first, big);
        u32(s, r.second.second, big);
    }
    return s;
}

std::string bmp(std::uint32_t xPerMetre, std::uint32_t yPerMetre) {
    std::string s = "BM";
    le32(s, 54 + 4);
    le32(s, 0);
    le32(s, 54);
    le32(s, 40);
    le32(s, 1);
    le32(s, 1);
    le16(s, 1);
    le16(s, 32);
    le32(s, 0);
    le32(s, 4);
    le32(s, xPerMetre);
    le32(s, yPerMetre);
    le32(s, 0);
    le32(s, 0);
    s += std::string(4, '\0');
    return s;
}

// A PSD header followed by image resources; the resolution resource sits after `padding`
// bytes of another resource when resolution is true.
std::string psd(bool resolution, std::uint32_t h, std::uint32_t v, std::size_t padding = 0) {
    std::string s = "8BPS";
    be16(s, 1);
    s += std::string(6, '\0');
    be16(s, 3);
    be32(s, 1);
    be32(s, 1);
    be16(s, 8);
    be16(s, 3);
    be32(s, 0); // colour mode data
    std::string res;
    if (padding) {
        res += "8BIM";
        be16(res, 0x0400);
        be16(res, 0);
        be32(res, static_cast<std::uint32_t>(padding));
        res += std::string(padding, '\0');
    }
    if (resolution) {
        res += "8BIM";
        be16(res, 0x03ED);
        be16(res, 0);
        be32(res, 16);
        be32(res, h << 16 | 0x8000); // the fraction is ignored
        be16(res, 1);
        be16(res, 1);
        be32(res, v << 16);
        be16(res, 1);
        be16(res, 1);
    }
    be32(s, static_cast<std::uint32_t>(res.size()));
    return s + res;
}

struct ProbeCase {
    const char* name;
    std::string ext;
    std::string bytes;
    float x, y;
};

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTable, GivesTheResolution) {
    const ProbeCase& c = GetParam();
    TempDir dir;
    std::string path = dir.file(std::string("picture") + c.ext);
    writeFile(path, c.bytes);
    float x = -1, y = -1;
    probeResolutionForPath(path, x, y);
    EXPECT_NEAR(x, c.x, 0.01) << c.name;
    EXPECT_NEAR(y, c.y, 0.01) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ProbeTable,
    ::testing::Values(
        ProbeCase{"png_11811", ".png", png(1, 11811, 11811), 299.9994f, 299.9994f},
        ProbeCase{"png_unit0", ".png", png(0, 1, 1), 300, 300},
        ProbeCase{"png_no_phys", ".png", png(-1), 300, 300},
        ProbeCase{"png_different_axes", ".png", png(1, 2835, 5669), 72.009f, 143.99f},
        ProbeCase{"jfif_unit0", ".jpg", jfif(0, 1, 1), 300, 300},
        ProbeCase{"jfif_dpi", ".jpg", jfif(1, 72, 72), 72, 72},
        ProbeCase{"jfif_dpcm", ".jpg", jfif(2, 118, 118), 299.72f, 299.72f},
        ProbeCase{"jfif_too_high", ".jpg", jfif(1, 5000, 5000), 300, 300},
        ProbeCase{"jfif_x_only_low", ".jpg", jfif(1, 10, 200), 300, 300},
        ProbeCase{"jfif_1000_kept", ".jpg", jfif(1, 1000, 11), 1000, 11},
        ProbeCase{"exif_ii", ".jpg", exif(false, 240, 1, 240, 1), 240, 240},
        ProbeCase{"exif_mm", ".jpg", exif(true, 240, 1, 240, 1), 240, 240},
        ProbeCase{"exif_y_low", ".jpg", exif(false, 72, 1, 5, 1), 300, 300},
        ProbeCase{"exif_fraction", ".jpg", exif(true, 1200, 7, 600, 2), 171.4286f, 300},
        ProbeCase{"exif_zero_denominator", ".jpg", exif(false, 0, 0, 240, 1), 300, 300},
        ProbeCase{"exif_bad_order", ".jpg",
                  [] {
                      std::string s = exif(false, 240, 1, 240, 1);
                      s[12] = 'X';
                      return s;
                  }(),
                  300, 300},
        ProbeCase{"not_jpeg", ".jpg", std::string(40, 'a'), 300, 300},
        ProbeCase{"gif", ".gif", "GIF89a", 150, 150},
        // No GIF signature, so the GIF probe (which reads nothing) does not run either.
        ProbeCase{"gif_empty_file", ".gif", "", 300, 300},
        ProbeCase{"tiff_ii", ".tif", tiff(false, {{282, {240, 1}}, {283, {120, 1}}}), 240, 120},
        ProbeCase{"tiff_mm", ".tiff", tiff(true, {{282, {600, 2}}, {283, {600, 1}}}), 300, 600},
        ProbeCase{"tiff_x_only", ".tif", tiff(false, {{282, {600, 1}}}), 600, 300},
        ProbeCase{"tiff_multi_page", ".tif", tiff(false, {{282, {600, 1}}, {283, {600, 1}}}, 64),
                  300, 300},
        ProbeCase{"tiff_low_axis", ".tif", tiff(false, {{282, {9, 1}}, {283, {4000, 1}}}), 300,
                  4000},
        ProbeCase{"tiff_zero_denominator", ".tif", tiff(false, {{282, {600, 0}}, {283, {72, 1}}}),
                  300, 72},
        ProbeCase{"tiff_not_rational", ".tif",
                  tiff(false, {{282, {600, 1}}, {283, {600, 1}}}, 0, 4), 300, 300},
        ProbeCase{"bmp_3780", ".bmp", bmp(3780, 3780), 96.012f, 96.012f},
        ProbeCase{"bmp_zero", ".bmp", bmp(0, 0), 150, 150},
        ProbeCase{"psd_300", ".psd", psd(true, 300, 300), 300, 300},
        ProbeCase{"psd_axes", ".psd", psd(true, 240, 72), 240, 72},
        ProbeCase{"psd_no_resource", ".psd", psd(false, 0, 0), 300, 300},
        ProbeCase{"psd_resource_too_late", ".psd", psd(true, 72, 72, 65000), 300, 300},
        ProbeCase{"psd_resource_in_range", ".psd", psd(true, 72, 72, 60000), 72, 72},
        ProbeCase{"no_probe_for_jpeg_extension", ".jpeg", jfif(1, 72, 72), 300, 300},
        ProbeCase{"no_extension", "", jfif(1, 72, 72), 300, 300}),
    [](const ::testing::TestParamInfo<ProbeCase>& i) { return std::string(i.param.name); });

// Every file shorter than what a probe reads must give the same result as the same bytes
// followed by zeros: positions past the end read as 0, nothing outside the file is read.
TEST(ProbeBounds, ShortFilesReadAsZeroPadded) {
    struct Source {
        std::string bytes;
        void (*probe)(std::string_view, float&, float&);
    };
    std::vector<Source> sources = {
        {png(1, 11811, 5906), probeResolutionPngBytes},
        {jfif(2, 118, 60), probeResolutionJpegBytes},
        {exif(true, 240, 1, 180, 1), probeResolutionJpegBytes},
        {tiff(false, {{282, {600, 1}}, {283, {300, 1}}}), probeResolutionTiffBytes},
        {bmp(11811, 3780), probeResolutionBmpBytes},
        {psd(true, 200, 100), probeResolutionPsdBytes},
    };
    for (const auto& s : sources) {
        for (std::size_t len = 0; len <= s.bytes.size(); ++len) {
            std::string cut = s.bytes.substr(0, len);
            std::string padded = cut + std::string(70000, '\0');
            float x1 = 300, y1 = 300, x2 = 300, y2 = 300;
            s.probe(cut, x1, y1);
            s.probe(padded, x2, y2);
            ASSERT_EQ(x1, x2) << "length " << len;
            ASSERT_EQ(y1, y2) << "length " << len;
        }
    }
}

TEST(ProbeBounds, JpegLooksOnlyAtTheFirst400Bytes) {
    // The Exif offset points past byte 400: the rationals read as 0 / 0 there.
    std::string s = exif(false, 240, 1, 240, 1);
    std::string far = s.substr(0, 12 + 8 + 2);
    // Rewrite both value offsets to 500 and place real rationals there.
    for (int i = 0; i < 2; ++i) {
        far += std::string(s.substr(22 + 12 * i, 8));
        std::string off;
        le32(off, 500 + 8 * i);
        far += off;
    }
    far += std::string(4, '\0');
    far.resize(12 + 500, '\0');
    le32(far, 240);
    le32(far, 1);
    le32(far, 240);
    le32(far, 1);
    float x = 1, y = 1;
    probeResolutionJpegBytes(far, x, y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 300);
}

TEST(ProbeBounds, HugeOffsetsStayInside) {
    // Offsets near 2^32 must not wrap into the file.
    std::string t = tiff(false, {{282, {600, 1}}});
    t[4] = t[5] = t[6] = t[7] = '\xFF';
    float x = 300, y = 300;
    probeResolutionTiffBytes(t, x, y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 300);
    std::string e = exif(true, 240, 1, 240, 1);
    for (std::size_t i = 30; i < 34; ++i)
        e[i] = '\xFF';
    probeResolutionJpegBytes(e, x, y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 300);
}

struct PathCase {
    const char* name;
    std::string relative; // file under the temp folder; folders made as needed
    std::string bytes;
    float x, y;
};

class ProbeByPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ProbeByPath, ChoosesByLowerCasedPath) {
    const PathCase& c = GetParam();
    TempDir dir;
    std::string path = dir.path + "/" + c.relative;
    std::size_t slash = path.find_last_of('/');
    std::filesystem::create_directories(path.substr(0, slash));
    writeFile(path, c.bytes);
    float x = 0, y = 0;
    probeResolutionForPath(path, x, y);
    EXPECT_NEAR(x, c.x, 0.01) << c.name;
    EXPECT_NEAR(y, c.y, 0.01) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ProbeByPath,
    ::testing::Values(
        PathCase{"upper_case_jpg", "photo.JPG", jfif(1, 72, 72), 72, 72},
        PathCase{"jpeg_not_probed", "photo.jpeg", jfif(1, 72, 72), 300, 300},
        // Both the PNG and the JPEG probe run; the later JPEG result stands.
        PathCase{"png_folder_then_jpg", "pics.png/a.jpg", jfif(1, 72, 72), 72, 72},
        // JPEG bytes: neither the PNG nor the GIF probe reads another format's bytes.
        PathCase{"png_then_gif", "a.png.gif", jfif(1, 72, 72), 300, 300},
        // A 300 dpi PNG in a folder whose name holds ".bmp": the BMP probe does not run on it
        // (it would read 108702 x 4926745 dpi out of the PNG's header).
        PathCase{"png_in_bmp_named_folder", "scans.bmp.d/a.png", png(1, 11811, 11811), 299.9994f,
                 299.9994f},
        PathCase{"gif_file", "a.gif", std::string("GIF89a\x04\x00\x03\x00", 10), 150, 150},
        PathCase{"bmp_in_png_named_folder", "x.png/a.bmp", bmp(3780, 3780), 96.012f, 96.012f},
        PathCase{"gif_then_bmp", "a.gif.bmp", bmp(3780, 3780), 96.012f, 96.012f},
        PathCase{"tif_in_folder_name", "x.tif/plain", png(1, 2835, 2835), 300, 300},
        // A zero vertical density cannot give an infinite picture: that axis takes 300.
        PathCase{"bmp_zero_vertical", "z.bmp", bmp(3780, 0), 96.012f, 300},
        PathCase{"png_zero_density", "z.png", png(1, 0, 2835), 300, 72.009f},
        PathCase{"psd_zero", "z.psd", psd(true, 0, 0), 300, 300},
        PathCase{"empty_png", "empty.png", "", 300, 300}),
    [](const ::testing::TestParamInfo<PathCase>& i) { return std::string(i.param.name); });

TEST(ProbeByPath, MissingFilesGiveTheDefaults) {
    TempDir dir;
    // A missing file carries no signature, so no probe runs (not even the GIF probe, which
    // would otherwise give 150 without reading).
    for (const char* name : {"a.png", "a.jpg", "a.tif", "a.psd", "a.bmp", "a.gif"}) {
        float x = 0, y = 0;
        probeResolutionForPath(dir.file(name), x, y);
        EXPECT_EQ(x, 300) << name;
        EXPECT_EQ(y, 300) << name;
    }
}

// The file probes whose fields may sit anywhere (PNG, TIFF) hold a bounded amount of the file
// in memory, and a match that straddles the reader's blocks is found as in memory.
TEST(ProbeFiles, HugeTailsCostNoMemoryAndGiveTheSameResult) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string head;
        float x, y;
    };
    std::string straddle = "\x89PNG\r\n\x1a\n" + std::string(65536 - 8 - 2, 'z') + "pHYs";
    be32(straddle, 11811);
    be32(straddle, 5906);
    straddle += '\x01';
    const Case cases[] = {
        {"a.png", png(1, 11811, 11811), 299.9994f, 299.9994f},
        {"b.png", straddle, 299.9994f, 150.0144f},
        {"a.tif", tiff(true, {{282, {240, 1}}, {283, {120, 1}}}), 240, 120},
    };
    for (const Case& c : cases) {
        const bool isTiff = std::string_view(c.name).substr(2) == "tif";
        float mx = 0, my = 0;
        (isTiff ? probeResolutionTiffBytes : probeResolutionPngBytes)(c.head, mx, my);
        EXPECT_NEAR(mx, c.x, 0.01) << c.name;
        EXPECT_NEAR(my, c.y, 0.01) << c.name;
        // 400 MB of tail (a hole in the file: no disk space used).
        const std::string path = dir.file(c.name);
        writeFile(path, c.head);
        ASSERT_EQ(::truncate(path.c_str(), 400ll << 20), 0);
        const int rc = testsupport::inChild([&] {
            rusage before{};
            ::getrusage(RUSAGE_SELF, &before);
            float x = 0, y = 0;
            probeResolutionForPath(path, x, y);
            rusage after{};
            ::getrusage(RUSAGE_SELF, &after);
            if (std::fabs(x - c.x) > 0.01 || std::fabs(y - c.y) > 0.01) return 1;
            return after.ru_maxrss - before.ru_maxrss < 32 * 1024 ? 0 : 2; // kilobytes
        });
        EXPECT_EQ(rc, 0) << c.name << (rc == 2 ? ": too much memory" : ": wrong result");
    }
}

TEST(ProbeFiles, RealEncodersAgree) {
    // Files written by ImageMagick, as a user's program would write them.
    TempDir dir;
    struct Real {
        const char* file;
        const char* args;
        float x, y;
    };
    for (const Real& r : {Real{"a.png", "-density 300 -units PixelsPerInch", 299.9994f, 299.9994f},
                          Real{"a.jpg", "-density 72 -units PixelsPerInch", 72, 72},
                          Real{"a.tif", "-density 240x120 -units PixelsPerInch", 240, 120},
                          Real{"a.bmp", "-density 96 -units PixelsPerInch", 96.012f, 96.012f}}) {
        std::string cmd = std::string("convert -size 4x3 xc:red ") + r.args + " " +
                          dir.file(r.file) + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        float x = 0, y = 0;
        probeResolutionForPath(dir.file(r.file), x, y);
        EXPECT_NEAR(x, r.x, 0.05) << r.file;
        EXPECT_NEAR(y, r.y, 0.05) << r.file;
    }
}

} // namespace
