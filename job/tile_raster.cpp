#include "job/job.h"
#include "job/job_testing.h"

#include "core/numbers.h"
#include "core/progress.h"
#include "core/texts.h"
#include "core/ui.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr double kRasterLimit = 1073741824.0; // 2^30 bytes

// Bytes of tiled raster handed to the sink at once: large enough that a write or a CUPS
// request costs little per byte, small enough to stay in the cache while it is written.
constexpr std::size_t kBlockBytes = 1 << 20;

// Writes output rows [first, first + count) of the tiled raster into block.
void tiledRows(const TilePlan& plan, const SeparatedRows& source, long long first, long long count,
               char* block) {
    const std::size_t rowBytes = static_cast<std::size_t>(plan.cols) * 5;
    const std::size_t planeStride = static_cast<std::size_t>(plan.cols);
    const std::size_t w = static_cast<std::size_t>(plan.width);
    const std::size_t step = static_cast<std::size_t>(plan.width + plan.gapX);
    const long long period = plan.height + plan.gapY;
    const long long copiesEnd = period * (plan.ny - 1) + plan.height;
    for (long long i = 0; i < count; ++i) {
        char* out = block + static_cast<std::size_t>(i) * rowBytes;
        const long long r = first + i;
        const long long y = r % period;
        if (r >= copiesEnd || y >= plan.height) {
            std::memset(out, 0, rowBytes); // between copies or below the last
            continue;
        }
        // The first copy of the row is separated in place, the others are copied from it;
        // what lies between and after the copies is zero.
        source(static_cast<int>(y), out, planeStride);
        for (int p = 0; p < 5; ++p) {
            char* plane = out + static_cast<std::size_t>(p) * planeStride;
            for (int k = 1; k < plan.nx; ++k) {
                std::memset(plane + static_cast<std::size_t>(k - 1) * step + w, 0, step - w);
                std::memcpy(plane + static_cast<std::size_t>(k) * step, plane, w);
            }
            const std::size_t used = static_cast<std::size_t>(plan.nx - 1) * step + w;
            std::memset(plane + used, 0, planeStride - used);
        }
    }
}

} // namespace

std::uint64_t TilePlan::bytes() const {
    return static_cast<std::uint64_t>(cols) * static_cast<std::uint64_t>(rows) * 5;
}

JobProblem planTiles(const JobInputs& in, int nx, int ny, TilePlan& plan) {
    const long long w = in.gridWidth;
    const long long h = in.gridHeight;
    const double wpt = in.layout.placedWidthPt;
    const double hpt = in.layout.placedHeightPt;
    nx = std::max(nx, 1);
    ny = std::max(ny, 1);
    if (w <= 0 || h <= 0 || !(wpt > 0) || !(hpt > 0)) return JobProblem::Unplaceable;

    double gx = in.layout.copySpacingX;
    double gy = in.layout.copySpacingY;
    long long gxp, gyp;
    if (in.layout.fixedSpacingChecked) {
        gxp = static_cast<long long>(std::trunc(w * kPointsPerMm * in.layout.fixedSpacingMm / wpt));
        gyp = static_cast<long long>(std::trunc(h * kPointsPerMm * in.layout.fixedSpacingMm / hpt));
    } else {
        gxp = static_cast<long long>(std::trunc(w * gx / wpt));
        gyp = static_cast<long long>(std::trunc(h * gy / hpt));
    }
    // Copies never overlap: a negative spacing would write one copy over the other.
    gxp = std::max(gxp, 0LL);
    gyp = std::max(gyp, 0LL);

    double c = roundHalfEven(static_cast<double>(w * nx + 2 + gxp * (nx - 1)));
    double r = roundHalfEven(static_cast<double>(h * ny + 2 + gyp * (ny - 1)));
    double totalX = wpt * nx + gx * (nx - 1);
    double totalY = hpt * ny + gy * (ny - 1);

    // Fit to the printable area by narrowing the gaps. A single copy in a direction has no
    // gap to narrow, so that direction is left as it is.
    const double pw = in.page.printableWidthPt;
    const double ph = in.page.printableHeightPt;
    if (pw < totalX && nx > 1) {
        gx = roundHalfEven(std::fabs((pw - totalX) / (nx - 1) + gx - 1));
        gxp = std::max(2LL, static_cast<long long>(std::trunc(w * gx / wpt)));
        c = roundHalfEven(static_cast<double>(w * nx + 2 + gxp * (nx - 1)));
        totalX = wpt * nx + gx * (nx - 1);
    }
    if (ph < totalY && ny > 1) {
        gy = roundHalfEven(std::fabs((ph - totalY - 1) / (ny - 1) + gy - 1));
        gyp = std::max(3LL, static_cast<long long>(std::trunc(h * gy / hpt)));
        r = roundHalfEven(static_cast<double>(h * ny + 2 + gyp * (ny - 1)));
        totalY = hpt * ny + gy * (ny - 1);
    }

    if (r * c * 5 > kRasterLimit) return JobProblem::TooLarge;

    plan.cols = static_cast<int>(c);
    plan.rows = static_cast<int>(r);
    plan.sx = static_cast<float>(totalX);
    plan.sy = static_cast<float>(totalY);
    plan.width = w;
    plan.height = h;
    plan.gapX = gxp;
    plan.gapY = gyp;
    plan.nx = nx;
    plan.ny = ny;
    return JobProblem::None;
}

bool produceTiles(const TilePlan& plan, const SeparatedRows& source, const ByteSink& sink) {
    const std::size_t rowBytes = static_cast<std::size_t>(plan.cols) * 5;
    const long long blockRows = std::max<long long>(
        1, static_cast<long long>(kBlockBytes / std::max<std::size_t>(rowBytes, 1)));
    const long long blocks = (plan.rows + blockRows - 1) / blockRows;
    auto rowsOf = [&](long long b) {
        return std::min<long long>(blockRows, plan.rows - b * blockRows);
    };

    // Two buffers: a second thread fills one while the sink takes the other, so separating and
    // writing overlap. A sink that stops the job stops the filling too.
    std::vector<char> buffers[2];
    for (auto& b : buffers)
        b.resize(static_cast<std::size_t>(std::min<long long>(blockRows, plan.rows)) * rowBytes);
    std::mutex mutex;
    std::condition_variable cv;
    long long filled = 0; // blocks filled so far
    long long taken = 0;  // blocks the sink has taken
    bool stop = false;
    auto fill = [&] {
        for (long long b = 0; b < blocks; ++b) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                cv.wait(lock, [&] { return stop || b - taken < 2; });
                if (stop) return;
            }
            tiledRows(plan, source, b * blockRows, rowsOf(b), buffers[b % 2].data());
            {
                std::lock_guard<std::mutex> lock(mutex);
                filled = b + 1;
            }
            cv.notify_all();
        }
    };
    std::thread filler;
    try {
        if (blocks > 1) filler = std::thread(fill);
    } catch (const std::system_error&) {
    }
    // Whatever way this function is left, the filler is stopped and joined first.
    struct Join {
        std::thread& t;
        std::mutex& m;
        std::condition_variable& cv;
        bool& stop;
        ~Join() {
            if (!t.joinable()) return;
            {
                std::lock_guard<std::mutex> lock(m);
                stop = true;
            }
            cv.notify_all();
            t.join();
        }
    } join{filler, mutex, cv, stop};
    bool ok = true;
    for (long long b = 0; b < blocks && ok; ++b) {
        if (!filler.joinable()) {
            tiledRows(plan, source, b * blockRows, rowsOf(b), buffers[b % 2].data());
        } else {
            std::unique_lock<std::mutex> lock(mutex);
            cv.wait(lock, [&] { return filled > b; });
        }
        ok = sink(std::string_view(buffers[b % 2].data(),
                                   static_cast<std::size_t>(rowsOf(b)) * rowBytes));
        {
            std::lock_guard<std::mutex> lock(mutex);
            taken = b + 1;
            stop = !ok;
        }
        cv.notify_all();
    }
    return ok;
}

JobProblem tileRaster(const JobInputs& in, int nx, int ny, int& cols, int& rows, float& sx,
                      float& sy, std::string& raster, const Feedback& feedback) {
    const long long w = in.gridWidth;
    const long long h = in.gridHeight;
    // A raster that does not match the grid (or an empty grid) cannot be tiled; copying it
    // would read past its end.
    if (w <= 0 || h <= 0 || raster.size() != static_cast<std::size_t>(w * h * 5)) {
        raster.clear();
        return JobProblem::Unplaceable;
    }
    TilePlan plan;
    if (const JobProblem problem = planTiles(in, nx, ny, plan); problem != JobProblem::None) {
        raster.clear();
        return problem;
    }
    cols = plan.cols;
    rows = plan.rows;
    sx = plan.sx;
    sy = plan.sy;

    std::string out;
    out.reserve(static_cast<std::size_t>(plan.bytes()));
    const std::size_t rowBytes = static_cast<std::size_t>(cols) * 5;
    const std::string& src = raster;
    const SeparatedRows source = [&](int y, char* to, std::size_t planeStride) {
        const char* from =
            src.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 5;
        for (int p = 0; p < 5; ++p)
            std::memcpy(to + static_cast<std::size_t>(p) * planeStride,
                        from + static_cast<std::size_t>(p) * static_cast<std::size_t>(w),
                        static_cast<std::size_t>(w));
    };
    // The bar follows the copy rows: copy row j is done once its last image row is out.
    int done = 0, shown = -1;
    const bool whole = produceTiles(plan, source, [&](std::string_view block) {
        out.append(block);
        const long long outRows = static_cast<long long>(out.size() / rowBytes);
        while (done < plan.ny && outRows >= done * (plan.height + plan.gapY) + plan.height) {
            ++done;
            const int percent = roundHalfEven(100.0 * done / plan.ny);
            if (percent != shown) feedback.progress(percent);
            shown = percent;
        }
        return !feedback.cancelled();
    });
    if (!whole) {
        // Cancelled by the user: no message, the caller reports "Cancelled".
        raster.clear();
        return JobProblem::Cancelled;
    }
    raster.swap(out);
    return JobProblem::None;
}
