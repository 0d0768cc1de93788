// make_profiles OUTDIR: writes the program's colour profiles into OUTDIR.
//
//   sRGB.ICM      Little CMS's built-in sRGB profile, saved as a file.
//   OKC332P2.ICM, OKC331P2.ICM, OKC711P2.ICM, OKC831P2.ICM, OKC833P2.ICM, OKC610P2.ICM,
//   OKC612P2.ICM, OKC650P2.ICM, RCSPC11E1C.icm
//                 generic printer CMYK profiles (ICC v4.3, output class, Lab PCS) computed from
//                 the toner model below. They carry the file names the printer tables ask for
//                 so that the program works out of the box; they are stand-ins, not
//                 measurements of any printer.
//
// Toner model (one parameter set per file name, table kModels):
//
//   1. Dot gain. A device value t in 0..1 prints the area coverage a = t + g * t * (1 - t),
//      g = dot gain at 50 % (0 <= g < 1 keeps a monotonic, a(0) = 0, a(1) = 1).
//   2. Demichel weights. With coverages ac, am, ay, ak the sixteen overprint combinations
//      (paper, C, M, Y, MY, CY, CM, CMY, and each of them under K) cover the area
//      w = product over the four toners of (a or 1 - a).
//   3. Yule-Nielsen modified spectral Neugebauer, worked on tristimulus values instead of
//      spectra: for each of X, Y, Z,
//          X^(1/n) = sum over the combinations of w * X_combination^(1/n),
//      n = Yule-Nielsen factor (light scattering in the paper; 1 = Murray-Davies).
//      The colour combinations are given as CIELAB (D50) values of solid overprints on the
//      paper; a combination under black toner has the tristimulus values of the colour
//      combination multiplied by the black solid's reflectance relative to the paper, times
//      a small extra darkening (kOverprint), so black over colour is darker than black alone.
//   4. Perceptual rendering. The perceptual tables map the device range (paper white to the
//      device's rich black, step 5) linearly in L* onto the reference medium of the ICC v4
//      perceptual PCS (L* 100 down to the perceptual black, L* about 3.14); the neutral axis
//      of the device (the line from rich black to paper white in CIELAB) maps onto a* = b* = 0.
//      So PCS white gives no toner and PCS black the rich black. Only the perceptual tables
//      are written; Little CMS uses them for the other intents as well.
//   5. Black generation (the inverse, BToA tables). For a CIELAB target the CMY-only solution
//      (K = 0) is found first by a damped, box-constrained Gauss-Newton search minimising the
//      CIELAB distance, which also clips out-of-gamut colours to the nearest reachable colour.
//      Grey component m = min(C, M, Y) of that solution sets
//          K = kMax * ((m - kStart) / (1 - kStart))^kGamma   for m > kStart, else 0,
//      and C, M, Y are solved again with that K held. Dark and neutral colours therefore
//      carry K and light or saturated colours carry none. The darkest neutral is reached with
//      full K and about richBlack of each of C, M, Y (the rich black of step 4).
//
// The K channel of these profiles is what the program prints with the white toner.
//
// Grids: AToB 13^4 (CMYK -> Lab), BToA 33^3 (Lab -> CMYK), 16-bit, wrapped in identity
// curves as lutAtoBType / lutBtoAType require.

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

struct LabValue {
    double L, a, b;
};

struct ModelParameters {
    const char* fileName;
    const char* description;
    double dotGain;     // g of step 1
    double yuleNielsen; // n of step 3
    double kStart;      // grey component where black generation starts
    double kMax;        // K at the darkest neutral
    double kGamma;      // shape of the black generation curve
    double richBlack;   // C, M, Y under full K at the darkest neutral
    LabValue paper;     // unprinted medium
    LabValue cyan, magenta, yellow, red, green, blue, cmy, black;
};

// Solid colours of a generic dry-toner laser printer on a bright white medium.
constexpr LabValue kPaper{95.0, 0.0, -2.0};
constexpr LabValue kCyan{56.0, -35.0, -48.0};
constexpr LabValue kMagenta{49.0, 72.0, -4.0};
constexpr LabValue kYellow{88.0, -4.0, 88.0};
constexpr LabValue kRed{48.0, 66.0, 46.0};    // magenta + yellow
constexpr LabValue kGreen{51.0, -62.0, 24.0}; // cyan + yellow
constexpr LabValue kBlue{26.0, 18.0, -46.0};  // cyan + magenta
constexpr LabValue kCmy{20.0, 1.0, 2.0};
constexpr LabValue kBlack{17.0, 0.0, 1.0};
constexpr double kOverprint = 0.85;

const std::array<ModelParameters, 9> kModels{{
    {"OKC332P2.ICM", "Generic white-toner laser CMYK (332 class)", 0.22, 1.7, 0.30, 1.0, 1.4, 0.55,
     kPaper, kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC331P2.ICM", "Generic laser CMYK (331 class)", 0.22, 1.7, 0.30, 1.0, 1.4, 0.55, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC711P2.ICM", "Generic laser CMYK (711 class)", 0.20, 1.8, 0.25, 1.0, 1.3, 0.60, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC831P2.ICM", "Generic laser CMYK (831 class)", 0.24, 1.7, 0.30, 1.0, 1.4, 0.55, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC833P2.ICM", "Generic laser CMYK (833 class)", 0.24, 1.7, 0.30, 1.0, 1.4, 0.55, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC610P2.ICM", "Generic laser CMYK (610 class)", 0.20, 1.8, 0.25, 1.0, 1.3, 0.60, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC612P2.ICM", "Generic laser CMYK (612 class)", 0.21, 1.8, 0.28, 1.0, 1.3, 0.58, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"OKC650P2.ICM", "Generic laser CMYK (650 class)", 0.21, 1.8, 0.28, 1.0, 1.3, 0.58, kPaper,
     kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
    {"RCSPC11E1C.icm", "Generic white-toner laser CMYK (second family)", 0.18, 1.9, 0.35, 0.95, 1.5,
     0.50, kPaper, kCyan, kMagenta, kYellow, kRed, kGreen, kBlue, kCmy, kBlack},
}};

// Reference medium black of the ICC v4 perceptual PCS (Y = 0.0034731).
constexpr double kPerceptualBlackL = 3.1373;

struct Xyz {
    double X, Y, Z;
};

Xyz labToXyz(const LabValue& lab) {
    cmsCIELab in{lab.L, lab.a, lab.b};
    cmsCIEXYZ out;
    cmsLab2XYZ(cmsD50_XYZ(), &out, &in);
    return {out.X, out.Y, out.Z};
}

LabValue xyzToLab(const Xyz& xyz) {
    cmsCIEXYZ in{xyz.X, xyz.Y, xyz.Z};
    cmsCIELab out;
    cmsXYZ2Lab(cmsD50_XYZ(), &out, &in);
    return {out.L, out.a, out.b};
}

class TonerModel {
  public:
    explicit TonerModel(const ModelParameters& p) : p_(p) {
        // Combination index bits: 1 = C, 2 = M, 4 = Y, 8 = K.
        const LabValue colour[8] = {p.paper,  p.cyan,  p.magenta, p.blue,
                                    p.yellow, p.green, p.red,     p.cmy};
        const Xyz paper = labToXyz(p.paper);
        const Xyz black = labToXyz(p.black);
        for (int i = 0; i < 8; ++i) {
            Xyz c = labToXyz(colour[i]);
            Xyz k = i == 0 ? black
                           : Xyz{c.X * black.X / paper.X * kOverprint,
                                 c.Y * black.Y / paper.Y * kOverprint,
                                 c.Z * black.Z / paper.Z * kOverprint};
            setPrimary(i, c);
            setPrimary(i + 8, k);
        }
        whiteLab_ = p.paper;
        blackLab_ = forward(p.richBlack, p.richBlack, p.richBlack, p.kMax);
    }

    // Colorimetric CIELAB of device values c, m, y, k in 0..1.
    LabValue forward(double c, double m, double y, double k) const {
        const double a[4] = {coverage(c), coverage(m), coverage(y), coverage(k)};
        double sum[3] = {0, 0, 0};
        for (int i = 0; i < 16; ++i) {
            double w = 1.0;
            for (int t = 0; t < 4; ++t)
                w *= (i >> t & 1) ? a[t] : 1.0 - a[t];
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += w * primary_[i][ch];
        }
        const double n = p_.yuleNielsen;
        return xyzToLab({std::pow(sum[0], n), std::pow(sum[1], n), std::pow(sum[2], n)});
    }

    // Device CIELAB -> perceptual PCS CIELAB (step 4), and back.
    LabValue toPerceptual(const LabValue& dev) const {
        const double s = (dev.L - blackLab_.L) / (whiteLab_.L - blackLab_.L);
        const double na = blackLab_.a + s * (whiteLab_.a - blackLab_.a);
        const double nb = blackLab_.b + s * (whiteLab_.b - blackLab_.b);
        return {kPerceptualBlackL + s * (100.0 - kPerceptualBlackL), dev.a - na, dev.b - nb};
    }
    LabValue fromPerceptual(const LabValue& pcs) const {
        const double s = (pcs.L - kPerceptualBlackL) / (100.0 - kPerceptualBlackL);
        const double na = blackLab_.a + s * (whiteLab_.a - blackLab_.a);
        const double nb = blackLab_.b + s * (whiteLab_.b - blackLab_.b);
        return {blackLab_.L + s * (whiteLab_.L - blackLab_.L), pcs.a + na, pcs.b + nb};
    }

    // C, M, Y, K in 0..1 for a colorimetric CIELAB target with black generation (step 5).
    std::array<double, 4> inverse(const LabValue& target) const {
        std::array<double, 3> cmy = solve(target, 0.0, {0.3, 0.3, 0.3});
        const double grey = std::min({cmy[0], cmy[1], cmy[2]});
        double k = 0.0;
        if (grey > p_.kStart)
            k = p_.kMax * std::pow((grey - p_.kStart) / (1.0 - p_.kStart), p_.kGamma);
        if (k > 0.0) cmy = solve(target, k, cmy);
        return {cmy[0], cmy[1], cmy[2], k};
    }

  private:
    double coverage(double t) const { return t + p_.dotGain * t * (1.0 - t); }

    void setPrimary(int i, const Xyz& xyz) {
        const double e = 1.0 / p_.yuleNielsen;
        primary_[i][0] = std::pow(xyz.X, e);
        primary_[i][1] = std::pow(xyz.Y, e);
        primary_[i][2] = std::pow(xyz.Z, e);
    }

    static double distance2(const LabValue& u, const LabValue& v) {
        const double dl = u.L - v.L, da = u.a - v.a, db = u.b - v.b;
        return dl * dl + da * da + db * db;
    }

    // Box-constrained Levenberg-Marquardt on C, M, Y with K fixed.
    std::array<double, 3> solve(const LabValue& target, double k, std::array<double, 3> x) const {
        double lambda = 1e-3;
        LabValue cur = forward(x[0], x[1], x[2], k);
        double err = distance2(cur, target);
        for (int iter = 0; iter < 60 && err > 1e-8; ++iter) {
            // Jacobian by central differences (one-sided at the box edges).
            double jac[3][3];
            for (int j = 0; j < 3; ++j) {
                const double h = 1e-5;
                std::array<double, 3> lo = x, hi = x;
                lo[j] = std::max(0.0, x[j] - h);
                hi[j] = std::min(1.0, x[j] + h);
                const LabValue fl = forward(lo[0], lo[1], lo[2], k);
                const LabValue fh = forward(hi[0], hi[1], hi[2], k);
                const double d = hi[j] - lo[j];
                jac[0][j] = (fh.L - fl.L) / d;
                jac[1][j] = (fh.a - fl.a) / d;
                jac[2][j] = (fh.b - fl.b) / d;
            }
            const double r[3] = {target.L - cur.L, target.a - cur.a, target.b - cur.b};
            double jtj[3][3], jtr[3];
            for (int i = 0; i < 3; ++i) {
                jtr[i] = 0;
                for (int q = 0; q < 3; ++q)
                    jtr[i] += jac[q][i] * r[q];
                for (int j = 0; j < 3; ++j) {
                    jtj[i][j] = 0;
                    for (int q = 0; q < 3; ++q)
                        jtj[i][j] += jac[q][i] * jac[q][j];
                }
            }
            bool improved = false;
            for (int tries = 0; tries < 12 && !improved; ++tries) {
                double m[3][4];
                for (int i = 0; i < 3; ++i) {
                    for (int j = 0; j < 3; ++j)
                        m[i][j] = jtj[i][j];
                    m[i][i] += lambda * (jtj[i][i] + 1e-9);
                    m[i][3] = jtr[i];
                }
                std::array<double, 3> step{};
                if (!solve3(m, step)) {
                    lambda *= 10;
                    continue;
                }
                std::array<double, 3> nx;
                for (int i = 0; i < 3; ++i)
                    nx[i] = std::clamp(x[i] + step[i], 0.0, 1.0);
                const LabValue nf = forward(nx[0], nx[1], nx[2], k);
                const double ne = distance2(nf, target);
                if (ne < err) {
                    // Converged (or stuck on the gamut boundary) once a step gains nothing.
                    const bool tiny = err - ne < 1e-9 * (1.0 + err);
                    x = nx;
                    cur = nf;
                    err = ne;
                    lambda = std::max(lambda / 10, 1e-9);
                    improved = !tiny;
                    if (tiny) return x;
                } else {
                    lambda *= 10;
                }
            }
            if (!improved) break;
        }
        return x;
    }

    static bool solve3(double m[3][4], std::array<double, 3>& out) {
        for (int c = 0; c < 3; ++c) {
            int piv = c;
            for (int r = c + 1; r < 3; ++r)
                if (std::fabs(m[r][c]) > std::fabs(m[piv][c])) piv = r;
            if (std::fabs(m[piv][c]) < 1e-14) return false;
            for (int j = 0; j < 4; ++j)
                std::swap(m[c][j], m[piv][j]);
            for (int r = 0; r < 3; ++r) {
                if (r == c) continue;
                const double f = m[r][c] / m[c][c];
                for (int j = c; j < 4; ++j)
                    m[r][j] -= f * m[c][j];
            }
        }
        for (int i = 0; i < 3; ++i)
            out[i] = m[i][3] / m[i][i];
        return true;
    }

    const ModelParameters& p_;
    double primary_[16][3]{};
    LabValue whiteLab_{}, blackLab_{};
};

struct Cargo {
    const TonerModel* model;
    bool perceptual;
};

cmsUInt16Number toWord(double v) {
    return static_cast<cmsUInt16Number>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
}

cmsInt32Number sampleForward(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const Cargo& c = *static_cast<const Cargo*>(cargo);
    LabValue lab =
        c.model->forward(in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0);
    if (c.perceptual) lab = c.model->toPerceptual(lab);
    cmsCIELab v{std::clamp(lab.L, 0.0, 100.0), std::clamp(lab.a, -128.0, 127.0),
                std::clamp(lab.b, -128.0, 127.0)};
    cmsFloat2LabEncoded(out, &v);
    return TRUE;
}

// The BToA grid has 33 nodes per axis, and a* = b* = 0 (encoded 0x8080) falls between two
// of them; PCS white and greys would then pick up ink from their out-of-gamut neighbours. The
// input curves of a* and b* therefore bend 0x8080 onto the middle node (0x8000): a
// 256-entry table whose entry 128 sits exactly at input 0x8080.
constexpr double kMidIn = 32896.0, kMidNode = 32768.0;

cmsToneCurve* makeNeutralCurve() {
    cmsUInt16Number table[256];
    for (int i = 0; i < 256; ++i) {
        const double v = i <= 128 ? i * (kMidNode / 128.0)
                                  : kMidNode + (i - 128) * ((65535.0 - kMidNode) / 127.0);
        table[i] = static_cast<cmsUInt16Number>(std::lround(v));
    }
    return cmsBuildTabulatedToneCurve16(nullptr, 256, table);
}

// Inverse of the neutral curve: grid coordinate -> encoded a* or b*.
double unbendNeutral(double node) {
    return node <= kMidNode
               ? node * (kMidIn / kMidNode)
               : kMidIn + (node - kMidNode) * ((65535.0 - kMidIn) / (65535.0 - kMidNode));
}

cmsInt32Number sampleInverse(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const Cargo& c = *static_cast<const Cargo*>(cargo);
    // ICC v4 CIELAB encoding: L* = 100 x / 65535, a* = 255 x / 65535 - 128.
    LabValue lab{in[0] * 100.0 / 65535.0, unbendNeutral(in[1]) * 255.0 / 65535.0 - 128.0,
                 unbendNeutral(in[2]) * 255.0 / 65535.0 - 128.0};
    if (c.perceptual) lab = c.model->fromPerceptual(lab);
    const std::array<double, 4> cmyk = c.model->inverse(lab);
    for (int i = 0; i < 4; ++i)
        out[i] = toWord(cmyk[i]);
    return TRUE;
}

// lutAtoBType/lutBtoAType pipelines need curves on both sides of the CLUT. With labInput the
// a* and b* input curves are the neutral curves above.
cmsPipeline* makeLut(int inputs, int outputs, int grid, cmsSAMPLER16 sampler, Cargo* cargo,
                     bool labInput) {
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, inputs, outputs);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, grid, inputs, outputs, nullptr);
    if (!lut || !clut || !cmsStageSampleCLut16bit(clut, sampler, cargo, 0)) {
        if (clut) cmsStageFree(clut);
        if (lut) cmsPipelineFree(lut);
        return nullptr;
    }
    cmsStage* inCurves = nullptr;
    if (labInput) {
        cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, 1.0), makeNeutralCurve(),
                                   makeNeutralCurve()};
        inCurves = cmsStageAllocToneCurves(nullptr, 3, curves);
        cmsFreeToneCurveTriple(curves);
    } else {
        inCurves = cmsStageAllocToneCurves(nullptr, inputs, nullptr);
    }
    cmsPipelineInsertStage(lut, cmsAT_END, inCurves);
    cmsPipelineInsertStage(lut, cmsAT_END, clut);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, outputs, nullptr));
    return lut;
}

bool writeText(cmsHPROFILE h, cmsTagSignature sig, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (!mlu) return false;
    const bool ok = cmsMLUsetASCII(mlu, "en", "US", text) && cmsWriteTag(h, sig, mlu);
    cmsMLUfree(mlu);
    return ok;
}

bool writePrinterProfile(const ModelParameters& p, const std::string& path) {
    const TonerModel model(p);
    cmsHPROFILE h = cmsCreateProfilePlaceholder(nullptr);
    if (!h) return false;
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmsSigOutputClass);
    cmsSetColorSpace(h, cmsSigCmykData);
    cmsSetPCS(h, cmsSigLabData);
    cmsSetHeaderRenderingIntent(h, INTENT_PERCEPTUAL);
    bool ok = writeText(h, cmsSigProfileDescriptionTag, p.description) &&
              writeText(h, cmsSigCopyrightTag,
                        "Generic profile from a toner model, no measured data; no copyright") &&
              cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());

    Cargo perceptual{&model, true};
    struct {
        cmsTagSignature sig;
        int in, out, grid;
        cmsSAMPLER16 sampler;
        Cargo* cargo;
        bool labInput;
    } const tables[] = {
        {cmsSigAToB0Tag, 4, 3, 13, sampleForward, &perceptual, false},
        {cmsSigBToA0Tag, 3, 4, 33, sampleInverse, &perceptual, true},
    };
    for (const auto& t : tables) {
        if (!ok) break;
        cmsPipeline* lut = makeLut(t.in, t.out, t.grid, t.sampler, t.cargo, t.labInput);
        ok = lut && cmsWriteTag(h, t.sig, lut);
        if (lut) cmsPipelineFree(lut);
    }
    ok = ok && cmsMD5computeID(h) && cmsSaveProfileToFile(h, path.c_str());
    cmsCloseProfile(h);
    return ok;
}

void logError(cmsContext, cmsUInt32Number code, const char* text) {
    std::fprintf(stderr, "make_profiles: lcms2 error %u: %s\n", code, text);
}

} // namespace

int main(int argc, char** argv) {
    cmsSetLogErrorHandler(logError);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_profiles OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";

    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const bool srgbOk = srgb && cmsSaveProfileToFile(srgb, (dir + "sRGB.ICM").c_str());
    if (srgb) cmsCloseProfile(srgb);
    if (!srgbOk) {
        std::fprintf(stderr, "make_profiles: cannot write %ssRGB.ICM\n", dir.c_str());
        return 1;
    }
    // The profiles are independent: compute them on all cores.
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto worker = [&] {
        for (std::size_t i; (i = next++) < kModels.size();) {
            const ModelParameters& p = kModels[i];
            if (!writePrinterProfile(p, dir + p.fileName)) {
                std::fprintf(stderr, "make_profiles: cannot write %s%s\n", dir.c_str(), p.fileName);
                failed = true;
            }
        }
    };
    const unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < n; ++t)
        threads.emplace_back(worker);
    for (auto& t : threads)
        t.join();
    return failed ? 1 : 0;
}
