#include "image/placement.h"

#include "core/state.h"
#include "core/files.h"
#include "core/texts.h"
#include "core/numbers.h"
#include "model/media.h"
#include "image/colour.h"
#include "image/separation.h"
#include "settings/settings.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

int fix(double v) {
    return truncToInt(v);
}

bool pictureFits(const Layout& layout, const PageSetup& page) {
    return !(layout.placedHeightPt > page.printableHeightPt ||
             layout.placedWidthPt > page.printableWidthPt);
}

// Largest count of copies a field may ask for: far beyond any page, small enough that the
// total and the loops over copies stay in range.
constexpr int kMaxCopiesAcross = 10000;

} // namespace

int copyCountFromText(std::string_view field) {
    double v = settingValue(field);
    if (!(v >= 1.0)) return 1;
    if (v > kMaxCopiesAcross) return kMaxCopiesAcross;
    return static_cast<int>(v);
}

namespace {

int alignmentValue(CopyAlignment a) {
    switch (a) {
    case CopyAlignment::Centre:
        return 1;
    case CopyAlignment::TopLeft:
        return 2;
    case CopyAlignment::TopCentre:
        return 4;
    case CopyAlignment::TopRight:
        return 8;
    }
    return 0;
}

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;

    void set(int x, int y, std::array<std::uint8_t, 3> rgb) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::uint8_t* p = bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4;
        p[0] = rgb[2];
        p[1] = rgb[1];
        p[2] = rgb[0];
        p[3] = 255;
    }
    void fill(int x0, int y0, int x1, int y1, std::array<std::uint8_t, 3> rgb) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width);
        y1 = std::min(y1, height);
        const std::uint8_t quad[4] = {rgb[2], rgb[1], rgb[0], 255};
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* p = bgra.data() + (static_cast<std::size_t>(y) * width + x0) * 4;
            for (int x = x0; x < x1; ++x, p += 4)
                std::memcpy(p, quad, 4);
        }
    }
    // The border of the rectangle [x0, x1) x [y0, y1), one pixel wide.
    void outline(int x0, int y0, int x1, int y1, std::array<std::uint8_t, 3> rgb) {
        if (x1 <= x0 || y1 <= y0) return;
        for (int x = x0; x < x1; ++x) {
            set(x, y0, rgb);
            set(x, y1 - 1, rgb);
        }
        for (int y = y0; y < y1; ++y) {
            set(x0, y, rgb);
            set(x1 - 1, y, rgb);
        }
    }
};

constexpr std::array<std::uint8_t, 3> kSurround = {160, 160, 160};
constexpr std::array<std::uint8_t, 3> kPaperLine = {0, 0, 0};
constexpr std::array<std::uint8_t, 3> kMarginLine = {0, 0, 255};
constexpr std::array<std::uint8_t, 3> kGuardFirst = {255, 0, 0};  // top-right, bottom-left
constexpr std::array<std::uint8_t, 3> kGuardSecond = {0, 170, 0}; // top-left, bottom-right
constexpr std::array<std::uint8_t, 3> kFoilTint = {200, 170, 60};

// The picture at its preview size as BGRA with a coverage flag per pixel (0 = paper shows).
struct PictureBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;
    std::vector<std::uint8_t> covered;
};

// The print-side adjustments as the preview simulates them, on one cell's C, M, Y: tone
// curves, 0.98, brightness and contrast (each only while some ink is left), then the 1.1
// gamma. Every step is a table lookup so a refresh stays cheap.
struct PreviewAdjust {
    std::array<std::array<std::uint8_t, 256>, 3> curve{}; // curves then 0.98
    std::array<std::uint8_t, 256> bright{};
    std::array<std::uint8_t, 256> contrast{};
    std::array<std::uint8_t, 256> gamma{};

    PreviewAdjust(const ToneCurves& curves, int brightnessValue, int contrastValue) {
        const int b = roundHalfEven(std::clamp(brightnessValue, -100, 100) / 4.0);
        const int c = std::clamp(contrastValue, -100, 100);
        const double f = 259.0 * (c + 255) / (255.0 * (259 - c));
        for (int x = 0; x < 256; ++x) {
            for (std::size_t ch = 0; ch < 3; ++ch)
                curve[ch][static_cast<std::size_t>(x)] =
                    static_cast<std::uint8_t>(roundHalfEven(0.98 * (curves.table[ch][x] & 0xFF)));
            bright[static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(255 - std::clamp(255 - x + b, 0, 255));
            const double r = std::clamp(f * ((255 - x) - 128) + 128, 0.0, 255.0);
            contrast[static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(255 - roundHalfEven(r));
            const double g = 255.0 - 255.0 * std::pow((255.0 - x) / 255.0, 1.1);
            gamma[static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(std::clamp(roundHalfEven(g), 0, 255));
        }
    }

    // Writes the adjusted C, M, Y of one cell to out[0..2].
    void apply(int c, int m, int y, std::uint8_t* out) const {
        c = curve[0][static_cast<std::size_t>(c)];
        m = curve[1][static_cast<std::size_t>(m)];
        y = curve[2][static_cast<std::size_t>(y)];
        // Brightness, then contrast: the reverse of the print order.
        if (c | m | y) {
            c = bright[static_cast<std::size_t>(c)];
            m = bright[static_cast<std::size_t>(m)];
            y = bright[static_cast<std::size_t>(y)];
        }
        if (c | m | y) {
            c = contrast[static_cast<std::size_t>(c)];
            m = contrast[static_cast<std::size_t>(m)];
            y = contrast[static_cast<std::size_t>(y)];
        }
        out[0] = gamma[static_cast<std::size_t>(c)];
        out[1] = gamma[static_cast<std::size_t>(m)];
        out[2] = gamma[static_cast<std::size_t>(y)];
    }
};

PictureBitmap renderPicture(const PreviewScene& scene, int w, int h) {
    PictureBitmap pic;
    const PreviewGrid& grid = scene.picture.previewGrid;
    if (w <= 0 || h <= 0 || grid.width <= 0 || grid.height <= 0 || grid.cellBytes < 4 ||
        grid.cells.size() < static_cast<std::size_t>(grid.width) * grid.height * grid.cellBytes)
        return pic;
    pic.width = w;
    pic.height = h;
    const std::size_t n = static_cast<std::size_t>(w) * h;
    pic.covered.assign(n, 0);
    pic.bgra.assign(n * 4, 0);

    const bool foil = isFoilMedium(scene.page.mediaId);
    const int threshold = foil ? 0 : inkThresholdForMedia(scene.colour, scene.page.mediaId);
    const int foilLimit = foilInkLimit(scene.title);
    const bool pattern =
        (scene.layout.patternPrintChecked || scene.layout.patternPreviewChecked) &&
        scene.picture.patternMask.size() == static_cast<std::size_t>(grid.width) * grid.height;
    const PreviewAdjust adjust(scene.colour.toneCurves, scene.layout.brightness,
                               scene.layout.contrast);

    // Source column of each preview column, computed once.
    std::vector<int> column(static_cast<std::size_t>(w));
    const double stepX = static_cast<double>(grid.width) / w;
    const double stepY = static_cast<double>(grid.height) / h;
    for (int px = 0; px < w; ++px)
        column[static_cast<std::size_t>(px)] =
            std::clamp(roundHalfEven(1.0 + px * stepX), 1, grid.width);

    // Rows y0..y1-1: sampled, adjusted and sent through the preview transform as one band.
    auto band = [&](int y0, int y1) {
        const std::size_t first = static_cast<std::size_t>(y0) * w;
        const std::size_t count = static_cast<std::size_t>(y1 - y0) * w;
        std::vector<std::uint8_t> cmyka(count * 5, 0);
        for (int py = y0; py < y1; ++py) {
            const int sy = std::clamp(roundHalfEven(1.0 + py * stepY), 1, grid.height);
            const std::uint8_t* row = grid.at(1, sy);
            const std::uint8_t* maskRow = pattern
                                              ? scene.picture.patternMask.data() +
                                                    static_cast<std::size_t>(sy - 1) * grid.width
                                              : nullptr;
            for (int px = 0; px < w; ++px) {
                const int sx = column[static_cast<std::size_t>(px)];
                const std::uint8_t* cell = row + static_cast<std::size_t>(sx - 1) * 4;
                const std::size_t i = static_cast<std::size_t>(py) * w + px;
                if (maskRow && maskRow[sx - 1] > 0) continue;
                const int ink = cell[0] + cell[1] + cell[2];
                if (foil) {
                    if (cell[3] > 0 && ink > foilLimit) pic.covered[i] = 2;
                    continue;
                }
                // Cells below the medium's ink threshold show the paper (the grid is not
                // touched).
                if (cell[3] == 0 || (threshold != 0 && ink < threshold)) continue;
                std::uint8_t* out = cmyka.data() + (i - first) * 5;
                adjust.apply(cell[0], cell[1], cell[2], out);
                out[4] = 255;
                pic.covered[i] = 1;
            }
        }
        std::vector<std::uint8_t> converted = cmyka;
        const bool viaProfile = !foil &&
                                convertPreviewPixels(scene.profiles, w, y1 - y0, converted) &&
                                converted.size() >= count * 4;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = first + k;
            std::uint8_t* out = pic.bgra.data() + i * 4;
            if (pic.covered[i] == 2) {
                out[0] = kFoilTint[2];
                out[1] = kFoilTint[1];
                out[2] = kFoilTint[0];
            } else if (pic.covered[i] == 1 && viaProfile) {
                out[0] = converted[k * 4];
                out[1] = converted[k * 4 + 1];
                out[2] = converted[k * 4 + 2];
            } else if (pic.covered[i] == 1) {
                // No preview transform (profile missing): a plain complement still shows it.
                out[0] = static_cast<std::uint8_t>(255 - cmyka[k * 5 + 2]);
                out[1] = static_cast<std::uint8_t>(255 - cmyka[k * 5 + 1]);
                out[2] = static_cast<std::uint8_t>(255 - cmyka[k * 5]);
            }
            out[3] = 255;
        }
    };
    // Two bands on two threads keep a refresh within a slider step; a small picture is one.
    const int split = h >= 64 ? h / 2 : h;
    std::thread helper;
    if (split < h) {
        try {
            helper = std::thread(band, split, h);
        } catch (const std::system_error&) {
        }
    }
    band(0, split);
    if (helper.joinable())
        helper.join();
    else if (split < h)
        band(split, h);
    return pic;
}

} // namespace

void updateZoom(Layout& layout, const Picture& picture) {
    if (!(picture.imageWidthPt > 0.0f)) return;
    const float placed = layout.rotateChecked ? layout.placedHeightPt : layout.placedWidthPt;
    layout.zoom = placed / picture.imageWidthPt;
}

void fitToPrintableArea(Layout& layout, const PageSetup& page, const Picture& picture) {
    if (!(layout.placedWidthPt > 0.0f) || !(layout.placedHeightPt > 0.0f)) return;
    const double pw = page.printableWidthPt;
    const double ph = page.printableHeightPt;
    double f = pw / layout.placedWidthPt;
    if (layout.placedHeightPt * f < ph) {
        layout.placedWidthPt = static_cast<float>(layout.placedWidthPt * f);
        layout.placedHeightPt = static_cast<float>(layout.placedHeightPt * f);
    } else {
        f = ph / layout.placedHeightPt;
        layout.placedWidthPt = static_cast<float>(layout.placedWidthPt * f);
        layout.placedHeightPt = static_cast<float>(layout.placedHeightPt * f);
    }
    if (f >= 0.99999 && f <= 1.0) {
        if (!layout.rotateChecked) {
            if (ph > picture.imageHeightPt && pw > picture.imageWidthPt) {
                layout.placedWidthPt = picture.imageWidthPt;
                layout.placedHeightPt = picture.imageHeightPt;
            }
        } else if (pw > picture.imageHeightPt && ph > picture.imageWidthPt) {
            layout.placedWidthPt = picture.imageHeightPt;
            layout.placedHeightPt = picture.imageWidthPt;
        }
    }
    updateZoom(layout, picture);
}

void handleOversize(Layout& layout, const PageSetup& page, const Picture& picture) {
    if (!pictureFits(layout, page)) fitToPrintableArea(layout, page, picture);
}

void fitToPage(Layout& layout, const PageSetup& page, const Picture& picture) {
    layout.xCopies = 1;
    layout.yCopies = 1;
    fitToPrintableArea(layout, page, picture);
}

namespace {

bool applyTypedSize(Layout& layout, const PageSetup& page, const Picture& picture, double newSize,
                    bool width) {
    if (!(layout.placedWidthPt > 0.0f) || !(layout.placedHeightPt > 0.0f)) return false;
    if (!(newSize > 0.0) || !std::isfinite(newSize)) return false;
    if (width) {
        const double ratio = newSize / layout.placedWidthPt;
        layout.placedWidthPt = static_cast<float>(newSize);
        layout.placedHeightPt = static_cast<float>(layout.placedHeightPt * ratio);
    } else {
        const double ratio = newSize / layout.placedHeightPt;
        layout.placedHeightPt = static_cast<float>(newSize);
        layout.placedWidthPt = static_cast<float>(layout.placedWidthPt * ratio);
    }
    if (!pictureFits(layout, page)) fitToPrintableArea(layout, page, picture);
    updateZoom(layout, picture);
    return true;
}

} // namespace

bool applyTypedWidth(Layout& layout, const PageSetup& page, const Picture& picture, double points) {
    return applyTypedSize(layout, page, picture, points, true);
}
bool applyTypedHeight(Layout& layout, const PageSetup& page, const Picture& picture,
                      double points) {
    return applyTypedSize(layout, page, picture, points, false);
}

double effectiveResolution(const Layout& layout, const Picture& picture) {
    if (!(layout.placedWidthPt > 0.0f)) return 0.0;
    return picture.gridWidth / (layout.placedWidthPt / 72.0);
}

bool resolutionIsLow(const Layout& layout, const Picture& picture) {
    return effectiveResolution(layout, picture) < 50.0;
}

PreviewFrame previewFrame(const PageSetup& page, const Layout& layout) {
    return previewFrameFor(page, layout.layoutBoxWidth, layout.layoutBoxHeight);
}

PreviewFrame previewFrameFor(const PageSetup& page, int boxWidth, int boxHeight) {
    PreviewFrame frame;
    const int pw0 = boxWidth;
    const int ph0 = boxHeight;
    if (pw0 <= 0 || ph0 <= 0 || page.paperWidthPt <= 0 || page.paperHeightPt <= 0) return frame;
    const double paperW = page.paperWidthPt;
    const double paperH = page.paperHeightPt;
    int pw = pw0;
    int ph = fix(pw0 * paperH / paperW);
    if (ph0 < ph) {
        pw = fix(ph0 * paperW / paperH);
        ph = ph0;
    }
    // The margins as the printable area was last worked out from them: drawing reads no file.
    const Margins& m = page.margins;
    frame.left = roundHalfEven(pw * static_cast<double>(fix(m.left)) / paperW);
    frame.right = roundHalfEven(pw * static_cast<double>(fix(m.right)) / paperW);
    frame.top = roundHalfEven(ph * static_cast<double>(fix(m.top)) / paperH);
    frame.bottom = roundHalfEven(ph * static_cast<double>(fix(m.bottom)) / paperH);
    frame.paperWidth = pw;
    frame.paperHeight = ph;
    frame.valid = pw > 0 && ph > 0;
    return frame;
}

std::array<int, 2> copyPosition(const PreviewLayout& layout, int i, int j) {
    return {layout.x + (i - 1) * (layout.pictureWidth + layout.gapX),
            layout.y + (j - 1) * (layout.pictureHeight + layout.gapY)};
}

PreviewLayout computeLayout(const PageSetup& page, const Layout& layout, const Picture& picture) {
    PreviewLayout grid;
    if (picture.imageLoaded != 1) return grid;
    grid.frame = previewFrame(page, layout);
    const PreviewFrame& f = grid.frame;
    if (!f.valid) return grid;

    const double paperW = page.paperWidthPt;
    const double paperH = page.paperHeightPt;
    const int pw = f.paperWidth;
    const int ph = f.paperHeight;
    const int aw = pw - f.left - f.right;
    const int ah = ph - f.top - f.bottom;
    int x = f.left;
    int y = f.top;
    const int gap = fix(kPointsPerMm * layout.fixedSpacingMm * pw / paperW);
    const int w = fix(pw * static_cast<double>(layout.placedWidthPt) / paperW);
    const int h = fix(ph * static_cast<double>(layout.placedHeightPt) / paperH);
    grid.gap = gap;
    grid.pictureWidth = w;
    grid.pictureHeight = h;
    if (w <= 0 || h <= 0) return grid;

    int across = 1;
    int down = 1;
    if (layout.autoTileChecked) {
        across = aw / w;
        while (across > 0 &&
               static_cast<long long>(across) * w + static_cast<long long>(across - 1) * gap >= aw)
            --across;
        down = ah / h;
        while (down > 0 &&
               static_cast<long long>(down) * h + static_cast<long long>(down - 1) * gap >= ah)
            --down;
    } else {
        across = layout.xCopies;
        down = layout.yCopies;
    }
    across = std::max(across, 1);
    down = std::max(down, 1);

    const int lw = fix(static_cast<double>(aw) - static_cast<double>(w) * across -
                       static_cast<double>(gap) * (across - 1));
    const int lh = fix(static_cast<double>(ah) - static_cast<double>(h) * down -
                       static_cast<double>(gap) * (down - 1));

    const int a = across + down > 2 ? 1 : alignmentValue(layout.alignment);
    int gxp = 0;
    int gyp = 0;
    if (a == 1 && !layout.fixedSpacingChecked) {
        if (across > 1) gxp = lw / (across + 1) + gap;
        x += lw / (across + 1);
        if (down > 1) gyp = lh / (down + 1) + gap;
        y += lh / (down + 1);
    } else if (a == 1) {
        x += lw / 2;
        y += lh / 2;
        gxp = gap;
        gyp = gap;
    } else if (a == 4) {
        x += lw / (across + 1);
    } else if (a == 8) {
        x += 2 * (lw / (across + 1));
    }

    grid.valid = true;
    grid.across = across;
    grid.down = down;
    grid.gapX = gxp;
    grid.gapY = gyp;
    grid.x = x;
    grid.y = y;
    return grid;
}

PreviewLayout layoutCopies(Layout& layout, const PageSetup& page, const Picture& picture) {
    if (picture.imageLoaded != 1 || !previewFrame(page, layout).valid) return {};
    updateZoom(layout, picture);

    const PreviewLayout grid = computeLayout(page, layout, picture);
    if (!grid.valid) return grid;
    const double paperW = page.paperWidthPt;
    const double paperH = page.paperHeightPt;
    const int pw = grid.frame.paperWidth;
    const int ph = grid.frame.paperHeight;
    layout.xCopies = grid.across;
    layout.yCopies = grid.down;

    layout.across = grid.across;
    layout.down = grid.down;
    layout.copySpacingX = static_cast<float>(roundHalfEven(paperW * grid.gapX / pw));
    layout.copySpacingY = static_cast<float>(roundHalfEven(paperH * grid.gapY / ph));
    layout.imagePosX = static_cast<float>(roundHalfEven(paperW * grid.x / pw));
    layout.imagePosY = static_cast<float>(roundHalfEven(paperH * grid.y / ph));
    return grid;
}

bool alignmentButtonsEnabled(const Layout& layout) {
    return layout.across + layout.down <= 2;
}

std::array<std::uint8_t, 3> previewBackgroundColour(int n) {
    static constexpr std::array<std::array<std::uint8_t, 3>, 16> colours = {{
        {205, 92, 92},
        {255, 160, 122},
        {255, 99, 71},
        {250, 250, 210},
        {255, 255, 0},
        {127, 255, 212},
        {173, 255, 47},
        {135, 206, 250},
        {251, 211, 210},
        {210, 180, 140},
        {238, 130, 238},
        {147, 7, 219},
        {255, 255, 255},
        {211, 211, 211},
        {105, 105, 105},
        {0, 0, 0},
    }};
    if (n < 1 || n > 16) n = 13;
    return colours[static_cast<std::size_t>(n - 1)];
}

std::vector<std::uint8_t> renderPagePreview(const PreviewScene& scene, int width, int height) {
    Canvas canvas;
    canvas.width = width;
    canvas.height = height;
    if (canvas.width <= 0 || canvas.height <= 0 || canvas.width > 20000 || canvas.height > 20000)
        return {};
    canvas.bgra.assign(static_cast<std::size_t>(canvas.width) * canvas.height * 4, 0);
    canvas.fill(0, 0, canvas.width, canvas.height, kSurround);

    // The copies are placed on the starting box and drawn scaled to this one, so the size
    // of the window never moves what is printed.
    const PreviewLayout layout = computeLayout(scene.page, scene.layout, scene.picture);
    const PreviewFrame frame = previewFrameFor(scene.page, width, height);
    if (!frame.valid) return canvas.bgra;
    const int pw = frame.paperWidth;
    const int ph = frame.paperHeight;
    const auto background = previewBackgroundColour(scene.layout.previewBackground);
    canvas.fill(0, 0, pw, ph, background);

    if (layout.valid && layout.frame.paperWidth > 0) {
        const double s = static_cast<double>(pw) / layout.frame.paperWidth;
        const int picW = std::max(1, roundHalfEven(layout.pictureWidth * s));
        const int picH = std::max(1, roundHalfEven(layout.pictureHeight * s));
        PictureBitmap pic = renderPicture(scene, picW, picH);
        if (pic.width > 0) {
            // Copies only overlap when more were asked for than the page holds; bound the
            // work so such a request cannot stall the window.
            long long budget = 32LL * pw * ph;
            for (int j = 1; j <= layout.down && budget > 0; ++j) {
                const int top = roundHalfEven(copyPosition(layout, 1, j)[1] * s);
                if (top >= ph) break;
                if (top + pic.height <= 0) continue;
                for (int i = 1; i <= layout.across && budget > 0; ++i) {
                    const int left = roundHalfEven(copyPosition(layout, i, j)[0] * s);
                    if (left >= pw) break;
                    if (left + pic.width <= 0) continue;
                    budget -= static_cast<long long>(pic.width) * pic.height;
                    for (int py = std::max(0, -top); py < pic.height && top + py < ph; ++py) {
                        for (int px = std::max(0, -left); px < pic.width && left + px < pw; ++px) {
                            const std::size_t k = static_cast<std::size_t>(py) * pic.width + px;
                            if (!pic.covered[k]) continue;
                            const std::uint8_t* p = pic.bgra.data() + k * 4;
                            canvas.set(left + px, top + py, {p[2], p[1], p[0]});
                        }
                    }
                }
            }
        }
    }

    const int x0 = frame.left;
    const int y0 = frame.top;
    const int x1 = pw - frame.right;
    const int y1 = ph - frame.bottom;
    if (scene.layout.guardAreaChecked && scene.page.paperWidthPt > 0 &&
        scene.page.paperHeightPt > 0) {
        const int gw = roundHalfEven(static_cast<double>(pw) / scene.page.paperWidthPt * 72.0);
        const int gh = roundHalfEven(static_cast<double>(ph) / scene.page.paperHeightPt * 72.0);
        // The bottom squares end one pixel above the bottom margin line (row y1 - 1).
        const int bottomEnd = y1 - 1;
        canvas.fill(x0, y0, x0 + gw, y0 + gh, kGuardSecond);
        canvas.fill(x1 - gw, y0, x1, y0 + gh, kGuardFirst);
        canvas.fill(x0, bottomEnd - gh, x0 + gw, bottomEnd, kGuardFirst);
        canvas.fill(x1 - gw, bottomEnd - gh, x1, bottomEnd, kGuardSecond);
    }
    canvas.outline(x0, y0, x1, y1, kMarginLine);
    canvas.outline(0, 0, pw, ph, kPaperLine);
    return canvas.bgra;
}

bool savePreviewPng(const std::vector<std::uint8_t>& bgra, int width, int height,
                    const std::string& path) {
    if (width <= 0 || height <= 0 ||
        bgra.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return false;
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) return false;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* p = bgra.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, p += 4)
            line[x] = qRgba(p[2], p[1], p[0], p[3]);
    }
    return savePng(image, path);
}

bool savePng(const QImage& image, const std::string& path) {
    // Encoded in memory, then written with every write checked: QImage::save may report
    // success for a file the disk had no room for.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return false;
    return writeWholeFile(
               path, std::string_view(png.constData(), static_cast<std::size_t>(png.size()))) == 0;
}

bool writePagePreviewPng(const PreviewScene& scene, int width, int height,
                         const std::string& path) {
    std::vector<std::uint8_t> bgra = renderPagePreview(scene, width, height);
    if (bgra.empty()) return false;
    return savePreviewPng(bgra, width, height, path);
}
