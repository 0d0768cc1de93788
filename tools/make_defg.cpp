// make_defg OUTFILE: writes the second printer family's CIEBasedDEFG colour space
// dictionary (the body between "[/CIEBasedDEFG" and "]") as PostScript text.
//
// The colour space describes a press-like coated CMYK characterisation of our own; it is a
// model, not a measurement of any press or printer:
//
//   1. Tone value increase. A device value t in 0..1 prints the effective area coverage
//      e(t) = t + 4 g t (1 - t), g = increase at 50 % (cyan 0.14, magenta 0.15, yellow 0.13,
//      black 0.17, typical of positive plates on coated stock). 4 g < 1 keeps e monotonic
//      with e(0) = 0 and e(1) = 1. The four DecodeDEFG procedures carry e sampled at
//      257 points, so the table below is indexed by effective coverage.
//   2. Demichel weights. With coverages c, m, y, k the sixteen overprint combinations cover
//      the areas w = product over the four inks of (coverage or 1 - coverage).
//   3. Yule-Nielsen modified Neugebauer on tristimulus values: for each of X, Y, Z,
//      X^(1/n) = sum of w * X_combination^(1/n), n = 1.8 (light scattering in the paper).
//      The eight colour combinations are CIELAB (D50) solids of a coated press; a
//      combination under black has the colour combination's tristimulus values multiplied
//      by the black solid's reflectance relative to the paper.
//   4. Relative colorimetry. Tristimulus values are taken relative to the paper (paper white
//      becomes the D50 white point), so no ink gives white.
//   5. Encoding. The 9 x 9 x 9 x 9 table holds CIELAB as three bytes: L* x 255 / 100,
//      a* + 128, b* + 128. RangeABC, DecodeABC and MatrixABC turn these bytes back into
//      f(X), f(Y), f(Z) of CIELAB; DecodeLMN inverts f and scales by the white point;
//      MatrixLMN is the identity. RangeLMN keeps its default 0..1, which holds every X, Y, Z
//      of D50 white and below (an explicit range makes some interpreters rescale).
//
// The output is deterministic: equal sources give byte-identical files.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Lab {
    double L, a, b;
};
struct Xyz {
    double X, Y, Z;
};

constexpr Xyz kD50 = {0.9642, 1.0, 0.8249};
constexpr int kGrid = 9;
constexpr int kDecodePoints = 257;
constexpr double kYuleNielsen = 1.8;
constexpr std::array<double, 4> kToneIncrease = {0.14, 0.15, 0.13, 0.17};

// Solid overprints of the coated press model, indexed by bit 0 = cyan, 1 = magenta,
// 2 = yellow (without black).
constexpr std::array<Lab, 8> kSolids = {{
    {95.0, 0.0, -2.0},    // paper
    {55.0, -37.0, -50.0}, // cyan
    {48.0, 74.0, -3.0},   // magenta
    {24.0, 22.0, -46.0},  // cyan + magenta (blue)
    {89.0, -5.0, 93.0},   // yellow
    {50.0, -65.0, 27.0},  // cyan + yellow (green)
    {47.0, 68.0, 48.0},   // magenta + yellow (red)
    {23.0, 0.0, 0.0},     // three-colour black
}};
constexpr Lab kBlackSolid = {16.0, 0.0, 0.0};

double finv(double t) {
    const double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3 * d * d * (t - 4.0 / 29.0);
}
double f(double t) {
    const double d = 6.0 / 29.0;
    return t > d * d * d ? std::cbrt(t) : t / (3 * d * d) + 4.0 / 29.0;
}

Xyz toXyz(const Lab& c) {
    const double fy = (c.L + 16) / 116;
    return {kD50.X * finv(fy + c.a / 500), kD50.Y * finv(fy), kD50.Z * finv(fy - c.b / 200)};
}
Lab toLab(const Xyz& c) {
    const double fx = f(c.X / kD50.X), fy = f(c.Y / kD50.Y), fz = f(c.Z / kD50.Z);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

double effectiveCoverage(int ink, double t) {
    return t + 4 * kToneIncrease[static_cast<std::size_t>(ink)] * t * (1 - t);
}

struct Model {
    std::array<Xyz, 16> primaries; // bit 3 = black
    Xyz paper;

    Model() {
        paper = toXyz(kSolids[0]);
        const Xyz k = toXyz(kBlackSolid);
        for (int i = 0; i < 8; ++i) {
            const Xyz c = toXyz(kSolids[static_cast<std::size_t>(i)]);
            primaries[static_cast<std::size_t>(i)] = c;
            primaries[static_cast<std::size_t>(i + 8)] = {c.X * k.X / paper.X, c.Y * k.Y / paper.Y,
                                                          c.Z * k.Z / paper.Z};
        }
    }

    // CIELAB relative to the paper for effective coverages.
    Lab colour(double c, double m, double y, double k) const {
        const std::array<double, 4> cov = {c, m, y, k};
        Xyz sum{0, 0, 0};
        for (int i = 0; i < 16; ++i) {
            double w = 1;
            for (int ink = 0; ink < 4; ++ink)
                w *= (i >> ink & 1) ? cov[static_cast<std::size_t>(ink)]
                                    : 1 - cov[static_cast<std::size_t>(ink)];
            const Xyz& p = primaries[static_cast<std::size_t>(i)];
            sum.X += w * std::pow(p.X, 1 / kYuleNielsen);
            sum.Y += w * std::pow(p.Y, 1 / kYuleNielsen);
            sum.Z += w * std::pow(p.Z, 1 / kYuleNielsen);
        }
        const Xyz absolute = {std::pow(sum.X, kYuleNielsen), std::pow(sum.Y, kYuleNielsen),
                              std::pow(sum.Z, kYuleNielsen)};
        return toLab({absolute.X / paper.X * kD50.X, absolute.Y / paper.Y * kD50.Y,
                      absolute.Z / paper.Z * kD50.Z});
    }
};

int toByte(double v) {
    const long r = std::lround(v);
    return r < 0 ? 0 : r > 255 ? 255 : static_cast<int>(r);
}

std::string fixed(double v, int decimals) {
    // Plain '.' decimal text whatever the locale: built from integers.
    const double scale = std::pow(10.0, decimals);
    long long n = std::llround(v * scale);
    std::string s;
    if (n < 0) s += '-', n = -n;
    const long long whole = n / static_cast<long long>(scale);
    long long frac = n % static_cast<long long>(scale);
    s += std::to_string(whole);
    if (decimals > 0) {
        std::string digits = std::to_string(frac);
        s += '.';
        s += std::string(static_cast<std::size_t>(decimals) - digits.size(), '0') + digits;
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

const char kHex[] = "0123456789abcdef";

// FNV-1a, 64 bits, from a seed: two of them identify the table.
std::uint64_t fnv(const std::vector<std::uint8_t>& bytes, std::uint64_t seed) {
    std::uint64_t h = seed;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTFILE\n", argv[0]);
        return 2;
    }
    const Model model;

    // The table, cyan slowest, black fastest.
    std::vector<std::uint8_t> table;
    table.reserve(kGrid * kGrid * kGrid * kGrid * 3);
    for (int c = 0; c < kGrid; ++c)
        for (int m = 0; m < kGrid; ++m)
            for (int y = 0; y < kGrid; ++y)
                for (int k = 0; k < kGrid; ++k) {
                    const double s = 1.0 / (kGrid - 1);
                    const Lab lab = model.colour(c * s, m * s, y * s, k * s);
                    table.push_back(static_cast<std::uint8_t>(toByte(lab.L * 255 / 100)));
                    table.push_back(static_cast<std::uint8_t>(toByte(lab.a + 128)));
                    table.push_back(static_cast<std::uint8_t>(toByte(lab.b + 128)));
                }

    std::string out;
    out += "20 dict begin\n";
    out += "/CreationDate (D:20250101000000Z) def\n";
    out += "/RenderingIntent (RelativeColorimetric) def\n";
    out += "/Description (U.S. Web Coated (SWOP) v2) def\n";
    out += "/ColorSpace (CMYK) def\n";
    out += "/Copyright (Coated press model of Lumivane Basic, computed by make_defg) def\n";
    out += "/ProfileID <";
    for (std::uint64_t h : {fnv(table, 0xcbf29ce484222325ULL), fnv(table, 0x84222325cbf29ce4ULL)})
        for (int i = 15; i >= 0; --i)
            out += kHex[(h >> (i * 4)) & 15];
    out += "> def\n";
    out += "/RangeDEFG [0 1 0 1 0 1 0 1] def\n";
    out += "/DecodeDEFG [\n";
    for (int ink = 0; ink < 4; ++ink) {
        // x in 0..1 -> linear interpolation in the 257-entry table of effective coverage.
        out += "{dup 0 le {pop 0} {dup 1 ge {pop 1} {256 mul dup floor cvi dup 255 gt {pop 255} "
               "if exch 1 index sub exch\n[";
        for (int i = 0; i < kDecodePoints; ++i) {
            out += fixed(effectiveCoverage(ink, i / 256.0), 5);
            out += (i % 16 == 15 || i == kDecodePoints - 1) ? "\n" : " ";
        }
        out += "] exch 2 getinterval aload pop 1 index sub 3 -1 roll mul add} ifelse} ifelse} "
               "bind\n";
    }
    out += "] def\n";
    out += "/RangeHIJK [0 1 0 1 0 1 0 1] def\n";
    out += "/Table [9 9 9 9 [\n";
    const std::size_t perString = kGrid * kGrid * 3;
    std::size_t pos = 0;
    for (int c = 0; c < kGrid; ++c) {
        out += "[\n";
        for (int m = 0; m < kGrid; ++m) {
            out += "<";
            for (std::size_t i = 0; i < perString; ++i, ++pos) {
                out += kHex[table[pos] >> 4];
                out += kHex[table[pos] & 15];
                if (i % 40 == 39 && i + 1 < perString) out += "\n";
            }
            out += ">\n";
        }
        out += "]\n";
    }
    out += "]] def\n";
    out += "/RangeABC [0 100 -128 127 -128 127] def\n";
    out += "/DecodeABC [{16 add 116 div} bind {500 div} bind {200 div} bind] def\n";
    out += "/MatrixABC [1 1 1 1 0 0 0 0 -1] def\n";
    out += "/DecodeLMN [\n";
    for (double white : {kD50.X, kD50.Y, kD50.Z})
        out += "{dup 6 29 div ge {dup dup mul mul} {4 29 div sub 108 841 div mul} ifelse " +
               fixed(white, 4) + " mul} bind\n";
    out += "] def\n";
    out += "/MatrixLMN [1 0 0 0 1 0 0 0 1] def\n";
    out += "/BlackPoint [0.0210520369 0.0218336175 0.0180106689] def\n";
    out += "/WhitePoint [0.9642028809 1 0.8249053955] def\n";
    out += "currentdict end\n";

    std::FILE* fp = std::fopen(argv[1], "wb");
    if (!fp) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(out.data(), 1, out.size(), fp) == out.size();
    if (std::fclose(fp) != 0 || !ok) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    return 0;
}
