// bench_load: file -> job file for generated photo-like A4 pictures, stage by stage,
// with peak memory, and ImageMagick's profile conversion of the same files beside it.
//
//   bench_load [--quick] [--workdir DIR] [--no-magick]
//
// --quick runs only the 300 dpi pictures. Generated pictures are kept in DIR (default
// $TMPDIR/printconv-bench) and reused. Every measurement runs in a child process of its own so
// that its peak memory (VmHWM) is its own.

#include "actions/actions.h"
#include "actions/app_state.h"
#include "bench/bench_support.h"
#include "model/media.h"
#include "tests/support/test_support.h"
#include "core/folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/colour.h"
#include "image/decode_testing.h"
#include "image/load.h"
#include "job/job.h"
#include "image/separation.h"
#include "settings/settings.h"
#include "image/colour_testing.h"

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Peak resident memory of this process in bytes (VmHWM).
double peakBytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) * 1024.0;
}

double childrenPeakBytes() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return static_cast<double>(ru.ru_maxrss) * 1024.0;
}

// Runs fn in a child process; the child's one line of output comes back.
template <typename Fn> std::string inChild(Fn fn) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string out = fn();
        (void)!write(fds[1], out.data(), out.size());
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

std::vector<double> numbers(const std::string& s) {
    std::vector<double> v;
    const char* p = s.c_str();
    char* end = nullptr;
    for (double d = std::strtod(p, &end); end != p; d = std::strtod(p, &end)) {
        v.push_back(d);
        p = end;
    }
    return v;
}

std::string joinNumbers(std::initializer_list<double> v) {
    std::string s;
    for (double d : v)
        s += formatFixed(d, 6) + " ";
    return s;
}

// A fresh program state with its own settings in dir, the build tree's data folder and the
// profiles ImageMagick gets as well.
void prepareState(AppState& s, QuietUi& ui, const std::string& dir) {
    fs::create_directories(dir + "/config");
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    startBenchSession(s, ui);
    writeSetting(s.settings, keys::kProfileIn, s.locations.programFolder + "sRGB.ICM");
    writeSetting(s.settings, keys::kProfileOut, s.locations.programFolder + "OKC711P2.ICM");
    // A4 less the usual margins of 12.96 / 13.08 points.
    s.page.paperWidthPt = 595;
    s.page.paperHeightPt = 842;
    s.page.printableWidthPt = 595 - 25.92f;
    s.page.printableHeightPt = 842 - 26.04f;
    fillMediaList(s.target, s.language, s.page);
    selectMedium(s.page, findMedium(s.page, s.language, "Transfer media 13"));
    chooseInkThresholds(s.colour, s.settings);
}

// The whole program path: loadImage (decode, conversion, orientation) then separateForPrint.
// Returns: seconds for load, seconds for separation, peak bytes after load, after
// separation, baseline peak before, decoder child's peak, pixels.
std::string measureWhole(const std::string& file, const std::string& dir) {
    AppState s;
    QuietUi ui;
    prepareState(s, ui, dir);
    const double base = peakBytes();
    std::string path = file;
    const auto t0 = Clock::now();
    loadPictureFile(s, path);
    const double load = secondsSince(t0);
    if (path.empty()) return "fail";
    const double peakLoad = peakBytes();
    // The job as printing makes it: header and trailer first, then the image data separated,
    // tiled and written block by block.
    const auto t2 = Clock::now();
    const PrintJobParts job = makePrintJob(jobInputs(s), separationInputs(s), feedback(s));
    const double build = secondsSince(t2);
    if (!job.ok()) return "fail";
    const auto t3 = Clock::now();
    std::string error;
    if (!writeJobFile(job, dir + "/bench-job.prn", error, feedback(s))) return "fail";
    const double write = secondsSince(t3);
    const double peakJob = peakBytes();
    const double pixels =
        static_cast<double>(s.picture.imagePixelWidth) * s.picture.imagePixelHeight;
    return joinNumbers({load, peakLoad, peakJob, base, childrenPeakBytes(), pixels, build, write});
}

// The same path stage by stage: decode, colour transform, orientation, separation (seconds).
std::string measureStages(const std::string& file, const std::string& dir) {
    AppState s;
    QuietUi ui;
    prepareState(s, ui, dir);
    auto t = Clock::now();
    DecodeOutcome d = decodeImageFile(file, false);
    const double decode = secondsSince(t);
    if (d.status != DecodeStatus::Ok) return "fail";
    const int w = d.width, h = d.height;
    s.picture.imageBuffer = std::move(d.pixels);
    s.picture.imagePixelWidth = s.picture.gridWidth = w;
    s.picture.imagePixelHeight = s.picture.gridHeight = h;
    s.picture.imageWidthPt = 72.0f * w / 300.0f;
    s.picture.imageHeightPt = 72.0f * h / 300.0f;
    s.picture.printGrid.cells.assign(static_cast<std::size_t>(w) * h * 5, 0);
    s.picture.previewGrid.cells.assign(static_cast<std::size_t>(w) * h * 4, 0);
    t = Clock::now();
    if (!convertToCmyk(s.picture.imageBuffer, w, h,
                       colourProfiles(s.settings, s.locations.programFolder), feedback(s))
             .ok())
        return "fail";
    const double transform = secondsSince(t);
    t = Clock::now();
    orientImage(s.picture, s.layout, s.page, feedback(s));
    const double orient = secondsSince(t);
    t = Clock::now();
    SeparationData sep;
    const bool separated = separateForPrint(separationInputs(s), sep, feedback(s));
    const double separate = secondsSince(t);
    if (!separated) return "fail";
    return joinNumbers({decode, transform, orient, separate});
}

// ImageMagick's conversion of the same file with the same profiles: seconds, peak bytes.
std::vector<double> measureMagick(const std::string& file, const std::string& dir) {
    const std::string data = defaultProgramFolder();
    const std::string out = dir + "/magick.cmyk";
    std::vector<std::string> args = {"convert",         file,       "-profile",
                                     data + "sRGB.ICM", "-profile", data + "OKC711P2.ICM",
                                     "-depth",          "8",        out};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "convert", nullptr, nullptr, argv.data(), environ) != 0) return {};
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    const double secs = secondsSince(t0);
    std::error_code ec;
    fs::remove(out, ec);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {secs, static_cast<double>(ru.ru_maxrss) * 1024.0};
}

std::string mps(double pixels, double secs) {
    return secs > 0 ? formatFixed(pixels / 1e6 / secs, 1) : "-";
}
std::string mb(double bytes) {
    return formatFixed(bytes / 1048576.0, 0);
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false, magick = true;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/printconv-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick")
            quick = true;
        else if (a == "--no-magick")
            magick = false;
        else if (a == "--workdir" && i + 1 < argc)
            dir = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_load [--quick] [--workdir DIR] [--no-magick]\n");
            return 2;
        }
    }
    fs::create_directories(dir);
    installColourErrorHandler();

    struct Size {
        const char* name;
        int w, h;
    };
    std::vector<Size> sizes = {{"A4 300 dpi", 2480, 3508}};
    if (!quick) sizes.push_back({"A4 600 dpi", 4960, 7016});

    std::printf("threads available: %u\n", std::max(1u, std::thread::hardware_concurrency()));
    for (const Size& sz : sizes) {
        for (const char* ext : {"png", "jpg"}) {
            const std::string file =
                dir + "/photo_" + std::to_string(sz.w) + "x" + std::to_string(sz.h) + "." + ext;
            if (!fs::exists(file)) {
                const std::string ok = inChild([&] {
                    const QImage img = makePhoto(sz.w, sz.h, 7);
                    return std::string(img.save(QString::fromStdString(file), nullptr,
                                                std::string(ext) == "jpg" ? 90 : -1)
                                           ? "ok"
                                           : "fail");
                });
                if (ok != "ok") {
                    std::fprintf(stderr, "cannot write %s\n", file.c_str());
                    return 1;
                }
            }
            const double px = static_cast<double>(sz.w) * sz.h;
            const auto stages = numbers(inChild([&] { return measureStages(file, dir); }));
            const auto whole = numbers(inChild([&] { return measureWhole(file, dir); }));
            std::printf(
                "\n%s %s (%s MP, file %s MB)\n", sz.name, ext, formatFixed(px / 1e6, 1).c_str(),
                formatFixed(static_cast<double>(fs::file_size(file)) / 1048576.0, 1).c_str());
            if (stages.size() == 4) {
                std::printf(
                    "  stages MP/s: decode %s, transform %s, orientation %s, separation %s\n",
                    mps(px, stages[0]).c_str(), mps(px, stages[1]).c_str(),
                    mps(px, stages[2]).c_str(), mps(px, stages[3]).c_str());
                std::printf(
                    "  stages s:    decode %s, transform %s, orientation %s, separation %s\n",
                    formatFixed(stages[0], 3).c_str(), formatFixed(stages[1], 3).c_str(),
                    formatFixed(stages[2], 3).c_str(), formatFixed(stages[3], 3).c_str());
            } else {
                std::printf("  stages: failed\n");
            }
            double toJob = 0;
            if (whole.size() == 8) {
                toJob = whole[0] + whole[6] + whole[7];
                const double loaded = whole[1] - whole[3];
                const double withJob = whole[2] - whole[3];
                std::printf("  file to job file: %s s (load %s s, job text %s s, separation, "
                            "tiling and file write %s s), %s MP/s\n",
                            formatFixed(toJob, 3).c_str(), formatFixed(whole[0], 3).c_str(),
                            formatFixed(whole[6], 3).c_str(), formatFixed(whole[7], 3).c_str(),
                            mps(px, toJob).c_str());
                std::printf("  peak memory: loaded %s MB = %s bytes/pixel, with the job written "
                            "%s MB = %s bytes/pixel (target 17); decoder child %s MB\n",
                            mb(loaded).c_str(), formatFixed(loaded / whole[5], 2).c_str(),
                            mb(withJob).c_str(), formatFixed(withJob / whole[5], 2).c_str(),
                            mb(whole[4]).c_str());
            } else {
                std::printf("  file to job file: failed\n");
            }
            if (magick) {
                const auto m = inChild([&] {
                    const auto r = measureMagick(file, dir);
                    return r.size() == 2 ? joinNumbers({r[0], r[1]}) : std::string("fail");
                });
                const auto mv = numbers(m);
                if (mv.size() == 2) {
                    std::printf("  ImageMagick convert: %s s, %s MP/s, peak %s MB",
                                formatFixed(mv[0], 3).c_str(), mps(px, mv[0]).c_str(),
                                mb(mv[1]).c_str());
                    if (toJob > 0)
                        std::printf("; file to job file / ImageMagick = %s (target 0.25)",
                                    formatFixed(toJob / mv[0], 3).c_str());
                    std::printf("\n");
                } else {
                    std::printf("  ImageMagick convert: failed or not installed\n");
                }
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
