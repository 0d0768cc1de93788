#include "image/separation.h"

#include "core/numbers.h"
#include "core/progress.h"
#include "core/strings.h"
#include "core/ui.h"
#include "image/placement.h"
#include "model/media.h"
#include "settings/settings.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

int percentOf(int row, int rows) {
    return roundHalfEven(100.0f * static_cast<float>(row) / rows);
}

// Black folded into a colour: 255 * min(1, c * (1 - k) + k) for c = colour / 255,
// k = black / 255, as a table over (colour, black).
struct FoldTable {
    std::array<std::uint8_t, 256 * 256> v{};
    FoldTable() {
        for (int k = 0; k < 256; ++k) {
            const float kf = static_cast<float>(k) / 255.0f;
            for (int c = 0; c < 256; ++c) {
                const float cf = static_cast<float>(c) / 255.0f;
                v[static_cast<std::size_t>(k * 256 + c)] = static_cast<std::uint8_t>(
                    roundHalfEven(255.0f * std::min(1.0f, cf * (1.0f - kf) + kf)));
            }
        }
    }
    std::uint8_t operator()(std::uint8_t c, std::uint8_t k) const {
        return v[static_cast<std::size_t>(k) * 256 + c];
    }
};

const FoldTable& foldTable() {
    static const FoldTable t;
    return t;
}

// Shapes a grid to w x h cells, keeping its storage when the size is unchanged.
void shapeGrid(PixelGrid& g, int w, int h, int cellBytes) {
    g.width = w;
    g.height = h;
    g.cellBytes = cellBytes;
    g.cells.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) *
                   static_cast<std::size_t>(cellBytes));
}

bool gridsFit(const Picture& s) {
    if (s.gridWidth <= 0 || s.gridHeight <= 0) return false;
    const std::size_t n =
        static_cast<std::size_t>(s.gridWidth) * static_cast<std::size_t>(s.gridHeight);
    return s.printGrid.width == s.gridWidth && s.printGrid.height == s.gridHeight &&
           s.printGrid.cellBytes == 5 && s.printGrid.cells.size() == n * 5 &&
           s.previewGrid.width == s.gridWidth && s.previewGrid.height == s.gridHeight &&
           s.previewGrid.cellBytes == 4 && s.previewGrid.cells.size() == n * 4;
}

// The per-value steps of a printing cell (tone curve and 0.98 scale, contrast, brightness,
// under-colour removal) each depend on one value only, so they are tabulated once a run.
struct PrintTables {
    std::uint8_t toned[3][256];   // round(0.98 x tone curve)
    std::uint8_t white[256];      // round(0.98 x K)
    std::uint8_t contrast[256];   // on the complement: F x (v - 128) + 128, limited, rounded
    std::uint8_t brightness[256]; // on the complement: + b, limited
    std::uint8_t removal[256];    // round(0.2 x min(C, M, Y))

    PrintTables(const ToneCurves& curves, int brightnessValue, int contrastValue) {
        const float scale = 98.0f / 100.0f;
        const int b = roundHalfEven(static_cast<float>(brightnessValue) / 4.0f);
        const float c = static_cast<float>(contrastValue);
        const float f = 259.0f * (c + 255.0f) / (255.0f * (259.0f - c));
        for (int v = 0; v < 256; ++v) {
            for (int ch = 0; ch < 3; ++ch) {
                const int level =
                    curves.table[static_cast<std::size_t>(ch)][static_cast<std::size_t>(v)] & 0xFF;
                toned[ch][v] =
                    static_cast<std::uint8_t>(roundHalfEven(scale * static_cast<float>(level)));
            }
            white[v] = static_cast<std::uint8_t>(roundHalfEven(scale * static_cast<float>(v)));
            const float r = f * static_cast<float>((255 - v) - 128) + 128.0f;
            contrast[v] =
                static_cast<std::uint8_t>(255 - roundHalfEven(std::clamp(r, 0.0f, 255.0f)));
            brightness[v] = static_cast<std::uint8_t>(255 - std::clamp(255 - v + b, 0, 255));
            removal[v] = static_cast<std::uint8_t>(roundHalfEven(0.2f * static_cast<float>(v)));
        }
        chain();
    }

    // C', M', Y', K of a printing cell -> C, M, Y, white.
    // Contrast applies when any toned value is above 0, brightness when any value is above 0
    // after contrast; both chains are tabulated per channel from the colour value.
    std::uint8_t tonedContrast[3][256];
    std::uint8_t tonedContrastBrightness[3][256];

    void chain() {
        for (int ch = 0; ch < 3; ++ch)
            for (int v = 0; v < 256; ++v) {
                tonedContrast[ch][v] = contrast[toned[ch][v]];
                tonedContrastBrightness[ch][v] = brightness[tonedContrast[ch][v]];
            }
    }

    void cell(const std::uint8_t* cmyk, std::uint8_t out[4]) const {
        out[3] = white[cmyk[3]];
        if ((toned[0][cmyk[0]] | toned[1][cmyk[1]] | toned[2][cmyk[2]]) == 0 ||
            (tonedContrast[0][cmyk[0]] | tonedContrast[1][cmyk[1]] | tonedContrast[2][cmyk[2]]) ==
                0) {
            out[0] = out[1] = out[2] = 0; // no colour: nothing to adjust or remove
            return;
        }
        const std::uint8_t v[3] = {tonedContrastBrightness[0][cmyk[0]],
                                   tonedContrastBrightness[1][cmyk[1]],
                                   tonedContrastBrightness[2][cmyk[2]]};
        const std::uint8_t g = removal[std::min({v[0], v[1], v[2]})];
        for (int i = 0; i < 3; ++i)
            out[i] = static_cast<std::uint8_t>(v[i] - g);
    }
};

// Rows handed out in chunks to all cores; progress is reported by the calling thread.
// With cancellable set, a cancel request stops the hand-out of further chunks.
// Rows handed out in chunks of kChunk to all cores (chunkFn(y0, y1) does rows y0 .. y1 - 1);
// progress is reported by the calling thread, one step a row. With cancellable set, a cancel
// request stops the hand-out of further chunks.
constexpr int kChunk = 16;
template <typename ChunkFn>
void forEachChunk(const Feedback& feedback, int rows, ChunkFn chunkFn, bool cancellable = false) {
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    auto work = [&](auto onChunk) {
        for (int y0;
             !(cancellable && feedback.cancelled()) && (y0 = next.fetch_add(kChunk)) < rows;) {
            const int y1 = std::min(rows, y0 + kChunk);
            chunkFn(y0, y1);
            done += y1 - y0;
            onChunk();
        }
    };
    int reported = 0;
    auto report = [&] {
        for (const int d = done.load(); reported < d; ++reported)
            feedback.progress(percentOf(reported + 1, rows));
    };
    std::vector<std::thread> helpers;
    const int n = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1,
                             std::max(1, rows / kChunk));
    for (int i = 1; i < n; ++i) {
        try {
            helpers.emplace_back([&] { work([] {}); });
        } catch (const std::system_error&) {
            break;
        }
    }
    work(report);
    for (auto& h : helpers)
        h.join();
    report();
}

template <typename RowFn>
void forEachRow(const Feedback& feedback, int rows, RowFn rowFn, bool cancellable = false) {
    forEachChunk(
        feedback, rows,
        [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y)
                rowFn(y);
        },
        cancellable);
}

} // namespace

void orientImage(Picture& picture, Layout& layout, const PageSetup& page,
                 const Feedback& feedback) {
    const bool mirror = layout.mirrorChecked != layout.flipChecked;
    const bool rotate = layout.rotateChecked;
    const int w = picture.imagePixelWidth;
    const int h = picture.imagePixelHeight;
    picture.gridWidth = w;
    picture.gridHeight = h;
    layout.placedWidthPt = picture.imageWidthPt;
    layout.placedHeightPt = picture.imageHeightPt;
    if (rotate) {
        std::swap(picture.gridWidth, picture.gridHeight);
        std::swap(layout.placedWidthPt, layout.placedHeightPt);
    }

    const std::size_t pixels =
        w > 0 && h > 0 ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) : 0;
    if (pixels > 0 && picture.imageBuffer.size() / 5 >= pixels) {
        shapeGrid(picture.printGrid, picture.gridWidth, picture.gridHeight, 5);
        shapeGrid(picture.previewGrid, picture.gridWidth, picture.gridHeight, 4);
        const FoldTable& fold = foldTable();
        const std::uint8_t* src = picture.imageBuffer.data();
        const std::size_t gw = static_cast<std::size_t>(picture.gridWidth);
        // Source rows are taken in blocks, on all cores, so that a turned picture is written
        // in short runs instead of one cell per grid row; every cell is written by exactly
        // one block.
        forEachChunk(feedback, h, [&](int b0, int b1) {
            const int y0 = b0 + 1, y1 = b1;
            for (int sy = y0; sy <= y1 && !rotate; ++sy) {
                for (int sx = 1; sx <= w; ++sx) {
                    const std::uint8_t* p =
                        src + ((static_cast<std::size_t>(sy) - 1) * w + sx - 1) * 5;
                    const int x = mirror ? w + 1 - sx : sx;
                    const std::size_t cell = (static_cast<std::size_t>(sy) - 1) * gw + (x - 1);
                    std::uint8_t* pg = picture.printGrid.cells.data() + cell * 5;
                    std::uint8_t* vg = picture.previewGrid.cells.data() + cell * 4;
                    pg[0] = vg[0] = fold(p[0], p[3]);
                    pg[1] = vg[1] = fold(p[1], p[3]);
                    pg[2] = vg[2] = fold(p[2], p[3]);
                    pg[3] = p[3];
                    pg[4] = vg[3] = p[4];
                }
            }
            if (rotate) {
                for (int sx = 1; sx <= w; ++sx) {
                    // Turned anticlockwise the rightmost column is the first row; mirrored as
                    // well (transposed) the leftmost column is.
                    const int y = mirror ? sx : w + 1 - sx;
                    for (int sy = y0; sy <= y1; ++sy) {
                        const std::uint8_t* p =
                            src + ((static_cast<std::size_t>(sy) - 1) * w + sx - 1) * 5;
                        const std::size_t cell = (static_cast<std::size_t>(y) - 1) * gw + (sy - 1);
                        std::uint8_t* pg = picture.printGrid.cells.data() + cell * 5;
                        std::uint8_t* vg = picture.previewGrid.cells.data() + cell * 4;
                        pg[0] = vg[0] = fold(p[0], p[3]);
                        pg[1] = vg[1] = fold(p[1], p[3]);
                        pg[2] = vg[2] = fold(p[2], p[3]);
                        pg[3] = p[3];
                        pg[4] = vg[3] = p[4];
                    }
                }
            }
        });
    }

    layout.placedWidthPt *= layout.zoom;
    layout.placedHeightPt *= layout.zoom;
    if (layout.placedHeightPt > page.printableHeightPt ||
        layout.placedWidthPt > page.printableWidthPt)
        handleOversize(layout, page, picture);
}

void chooseInkThresholds(ColourAdjustment& colour, const ProfileFile& settings) {
    struct Rule {
        const char* part;
        int low, high;
    };
    static const Rule rules[] = {{"C711", 202, 232}, {"C712", 200, 230}, {"C650", 200, 230},
                                 {"C612", 200, 230}, {"C332", 206, 236}, {"C331", 206, 236},
                                 {"C610", 202, 232}, {"C831", 200, 230}, {"C833", 200, 200}};
    const std::string profile = upperAscii(readSetting(settings, keys::kProfileOut));
    colour.inkThresholdLow = 206;
    colour.inkThresholdHigh = 236;
    for (const Rule& r : rules) {
        if (contains(profile, r.part)) {
            colour.inkThresholdLow = r.low;
            colour.inkThresholdHigh = r.high;
            break;
        }
    }
}

int inkThresholdForMedia(const ColourAdjustment& colour, int mediaId) {
    if (mediaId == kMediaTransfer07 || mediaId == kMediaTransfer11) return colour.inkThresholdLow;
    if (mediaId == kMediaTransfer13) return colour.inkThresholdHigh;
    return 0;
}

bool isFoilMedium(int mediaId) {
    return mediaId == kMediaTransfer16;
}

int foilInkLimit(std::string_view title) {
    return contains(title, ".jpg") ? 25 : 1;
}

struct SeparationRows::Impl {
    std::uint8_t* printCells;
    const std::uint8_t* previewCells;
    std::size_t width;
    bool foil, rotate;
    // The mask holds one byte a cell in output order; cells it does not reach are kept.
    const std::vector<std::uint8_t>* mask;
    PrintTables tables;
    int threshold, foilLimit;

    explicit Impl(const SeparationInputs& in)
        : printCells(in.picture.printGrid.cells.data()),
          previewCells(in.picture.previewGrid.cells.data()),
          width(static_cast<std::size_t>(in.picture.gridWidth)), foil(isFoilMedium(in.mediaId)),
          rotate(in.layout.rotateChecked),
          mask(in.layout.patternPrintChecked ? &in.picture.patternMask : nullptr),
          tables(in.colour.toneCurves, in.layout.brightness, in.layout.contrast),
          threshold(inkThresholdForMedia(in.colour, in.mediaId)),
          foilLimit(foilInkLimit(in.title)) {}
};

SeparationRows::SeparationRows(const SeparationInputs& inputs)
    : impl_(gridsFit(inputs.picture) ? std::make_unique<Impl>(inputs) : nullptr) {}

SeparationRows::~SeparationRows() = default;

bool SeparationRows::ok() const {
    return impl_ != nullptr;
}

void SeparationRows::row(int y, char* out, std::size_t planeStride) const {
    const Impl& m = *impl_;
    const std::size_t g = m.width;
    const std::size_t rowCell = static_cast<std::size_t>(y) * g;
    auto* planes = reinterpret_cast<std::uint8_t*>(out);
    std::uint8_t* c = planes;
    std::uint8_t* mg = planes + planeStride;
    std::uint8_t* ye = planes + 2 * planeStride;
    std::uint8_t* wh = planes + 3 * planeStride;
    std::memset(planes + 4 * planeStride, 0, g);
    std::uint8_t* pg = m.printCells + rowCell * 5;
    const std::uint8_t* vg = m.previewCells + rowCell * 4;
    // The limited alpha is stored back only where it changes, so rows of an opaque picture
    // (and rows taken again) leave the grid's memory untouched.
    auto store = [](std::uint8_t& a, std::uint8_t v) {
        if (a != v) a = v;
    };
    if (m.foil) {
        for (std::size_t x = 0; x < g; ++x, pg += 5) {
            store(pg[4], pg[4] > 0 ? 255 : 0);
            const std::uint8_t v = pg[4] == 255 && pg[0] + pg[1] + pg[2] > m.foilLimit ? 200 : 0;
            c[x] = mg[x] = ye[x] = v;
            wh[x] = 0;
        }
    } else {
        for (std::size_t x = 0; x < g; ++x, pg += 5, vg += 4) {
            std::uint8_t v[4] = {0, 0, 0, 0};
            if (!m.rotate) store(pg[4], pg[4] > 180 ? 255 : 0);
            // The ink test reads Y' from the preview grid.
            if (pg[4] > 0 && (m.threshold == 0 || pg[0] + pg[1] + vg[2] + pg[3] >= m.threshold))
                m.tables.cell(pg, v);
            c[x] = v[0];
            mg[x] = v[1];
            ye[x] = v[2];
            wh[x] = v[3];
        }
    }
    // A masked cell prints nothing; cells past the end of the mask are not masked.
    if (m.mask && m.mask->size() > rowCell) {
        const std::size_t end = std::min(g, m.mask->size() - rowCell);
        const std::uint8_t* maskRow = m.mask->data() + rowCell;
        for (std::size_t x = 0; x < end; ++x)
            if (maskRow[x] > 0) c[x] = mg[x] = ye[x] = wh[x] = 0;
    }
}

bool separateForPrint(const SeparationInputs& inputs, SeparationData& out,
                      const Feedback& feedback) {
    out.clear();
    const SeparationRows rows(inputs);
    if (!rows.ok()) return false;
    const int gh = inputs.picture.gridHeight;
    const std::size_t rowBytes = static_cast<std::size_t>(inputs.picture.gridWidth) * 5;
    try {
        out.resize(rowBytes * static_cast<std::size_t>(gh));
    } catch (const std::bad_alloc&) {
        feedback.message(MessageIcon::Error, "Lumivane", kOutOfMemoryText);
        return false;
    }
    char* outBytes = out.data();
    forEachRow(
        feedback, gh,
        [&](int row) {
            rows.row(row, outBytes + static_cast<std::size_t>(row) * rowBytes,
                     static_cast<std::size_t>(inputs.picture.gridWidth));
        },
        true);
    // A cancelled separation is not shown as a failure: the caller reports "Cancelled".
    if (feedback.cancelled()) {
        out.clear();
        return false;
    }
    return true;
}
