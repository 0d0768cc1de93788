#include "job/job.h"

#include "app/numbers.h"
#include "app/texts.h"
#include "app/progress.h"
#include "app/ui.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kRasterLimit = 1073741824.0; // 2^30 bytes

// Nearest integer, halves to even.
double roundEven(double v) {
    return std::nearbyint(v);
}

bool fail(AppState& state, int textNumber, std::string& raster) {
    showMessage(state, MessageIcon::Error, text(state, 0), text(state, textNumber));
    raster.assign(kErr);
    return false;
}

} // namespace

bool tileRaster(AppState& state, int nx, int ny, int& cols, int& rows, float& sx, float& sy,
                std::string& raster) {
    const long long w = state.gridWidth;
    const long long h = state.gridHeight;
    const double wpt = state.placedWidthPt;
    const double hpt = state.placedHeightPt;
    nx = std::max(nx, 1);
    ny = std::max(ny, 1);
    // A raster that does not match the grid (or an empty grid) cannot be tiled; copying it
    // would read past its end.
    if (w <= 0 || h <= 0 || !(wpt > 0) || !(hpt > 0) ||
        raster.size() != static_cast<std::size_t>(w * h * 5))
        return fail(state, 134, raster);

    double gx = state.copySpacingX;
    double gy = state.copySpacingY;
    long long gxp, gyp;
    if (state.fixedSpacingChecked) {
        gxp = static_cast<long long>(std::trunc(w * kPointsPerMm * state.fixedSpacingMm / wpt));
        gyp = static_cast<long long>(std::trunc(h * kPointsPerMm * state.fixedSpacingMm / hpt));
    } else {
        gxp = static_cast<long long>(std::trunc(w * gx / wpt));
        gyp = static_cast<long long>(std::trunc(h * gy / hpt));
    }
    // Copies never overlap: a negative spacing would write one copy over the other.
    gxp = std::max(gxp, 0LL);
    gyp = std::max(gyp, 0LL);

    double c = roundEven(static_cast<double>(w * nx + 2 + gxp * (nx - 1)));
    double r = roundEven(static_cast<double>(h * ny + 2 + gyp * (ny - 1)));
    double totalX = wpt * nx + gx * (nx - 1);
    double totalY = hpt * ny + gy * (ny - 1);

    // Fit to the printable area by narrowing the gaps. A single copy in a direction has no
    // gap to narrow, so that direction is left as it is.
    const double pw = state.printableWidthPt;
    const double ph = state.printableHeightPt;
    if (pw < totalX && nx > 1) {
        gx = roundEven(std::fabs((pw - totalX) / (nx - 1) + gx - 1));
        gxp = std::max(2LL, static_cast<long long>(std::trunc(w * gx / wpt)));
        c = roundEven(static_cast<double>(w * nx + 2 + gxp * (nx - 1)));
        totalX = wpt * nx + gx * (nx - 1);
    }
    if (ph < totalY && ny > 1) {
        gy = roundEven(std::fabs((ph - totalY - 1) / (ny - 1) + gy - 1));
        gyp = std::max(3LL, static_cast<long long>(std::trunc(h * gy / hpt)));
        r = roundEven(static_cast<double>(h * ny + 2 + gyp * (ny - 1)));
        totalY = hpt * ny + gy * (ny - 1);
    }

    if (r * c * 5 > kRasterLimit) return fail(state, 135, raster);

    cols = static_cast<int>(c);
    rows = static_cast<int>(r);
    sx = static_cast<float>(totalX);
    sy = static_cast<float>(totalY);

    const std::size_t rowBytes = static_cast<std::size_t>(cols) * 5;
    std::string out(rowBytes * static_cast<std::size_t>(rows), '\0');
    const std::size_t plane = static_cast<std::size_t>(w);
    const std::size_t step = static_cast<std::size_t>(w + gxp);
    const char* src = raster.data();
    char* dst = out.data();
    int shown = -1;
    for (int j = 1; j <= ny; ++j) {
        if (progressCancelled(state)) {
            // Cancelled by the user: no message, the caller reports "Cancelled".
            raster.assign(kErr);
            return false;
        }
        char* copyRow =
            dst + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(h + gyp) * rowBytes;
        for (long long y = 0; y < h; ++y) {
            const char* srcRow = src + static_cast<std::size_t>(y) * plane * 5;
            char* outRow = copyRow + static_cast<std::size_t>(y) * rowBytes;
            for (int p = 0; p < 5; ++p) {
                const char* from = srcRow + static_cast<std::size_t>(p) * plane;
                char* to = outRow + static_cast<std::size_t>(p) * static_cast<std::size_t>(cols);
                for (int k = 0; k < nx; ++k)
                    std::memcpy(to + static_cast<std::size_t>(k) * step, from, plane);
            }
            const int percent = static_cast<int>(std::nearbyint(100.0 * j / ny));
            if (percent != shown) {
                setProgress(state, percent);
                shown = percent;
            }
        }
    }
    raster.swap(out);
    return true;
}
