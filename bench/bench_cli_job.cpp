// bench_cli_job: `printconv-cli job` as a user runs it (a separate process, a fresh settings
// folder, the picture's own resolution) beside ImageMagick's profile conversion of the same
// file, in the same run, with peak memory.
//
//   bench_cli_job [--runs N] [--workdir DIR] [--quick]
//
// Pictures: photo-like A4 PNGs at 600 dpi (4960 x 7016) and 300 dpi (2480 x 3508), kept in DIR
// (default $TMPDIR/printconv-bench) and reused. Each program runs N times (default 3),
// alternating, and the medians are compared. Peak memory is read while the job runs from
// /proc (VmHWM of printconv-cli and of its decoding child, each on its own) and from wait4
// (the larger of the two, exact).

#include "core/folders.h"
#include "core/texts.h"
#include "bench/bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
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

struct Run {
    double seconds = 0;
    double peakBytes = 0;  // wait4: the process or a child it waited for, whichever larger
    double selfBytes = 0;  // polled VmHWM of the process itself
    double childBytes = 0; // polled VmHWM of its largest child
    bool ok = false;
};

// VmHWM of a process in bytes, 0 when it is gone.
double highWater(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
    return 0;
}

std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> out;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(task.path() / "children");
        for (long c; in >> c;)
            out.push_back(static_cast<pid_t>(c));
    }
    return out;
}

Run runProgram(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
    Run r;
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        if (!env.count(kv.substr(0, kv.find('=')))) envText.push_back(kv);
    }
    for (const auto& [k, v] : env)
        envText.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return r;
    std::map<pid_t, double> childPeaks;
    int status = 0;
    rusage ru{};
    for (;;) {
        const pid_t w = wait4(pid, &status, WNOHANG, &ru);
        if (w == pid) break;
        r.selfBytes = std::max(r.selfBytes, highWater(pid));
        for (pid_t c : childrenOf(pid))
            childPeaks[c] = std::max(childPeaks[c], highWater(c));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    r.peakBytes = static_cast<double>(ru.ru_maxrss) * 1024.0;
    for (const auto& [c, b] : childPeaks)
        r.childBytes = std::max(r.childBytes, b);
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string mb(double bytes) {
    return formatFixed(bytes / 1048576.0, 0) + " MB";
}

std::string programFolder() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    const std::string exe(buf);
    return exe.substr(0, exe.rfind('/'));
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    bool quick = false;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/printconv-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--workdir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--quick")
            quick = true;
        else {
            std::fprintf(stderr, "usage: bench_cli_job [--runs N] [--workdir DIR] [--quick]\n");
            return 2;
        }
    }
    fs::create_directories(dir);
    const std::string cli = programFolder() + "/printconv-cli";
    const std::string data = defaultProgramFolder();

    struct Size {
        const char* name;
        int w, h, dpi;
        double target;
    };
    std::vector<Size> sizes = {{"A4 600 dpi PNG", 4960, 7016, 600, 0.25},
                               {"A4 300 dpi PNG", 2480, 3508, 300, 0.3}};
    if (quick) sizes.erase(sizes.begin());

    std::printf("threads available: %u, runs: %d each, alternating\n",
                std::max(1u, std::thread::hardware_concurrency()), runs);
    for (const Size& sz : sizes) {
        const std::string file = dir + "/cli_photo_" + std::to_string(sz.w) + "x" +
                                 std::to_string(sz.h) + "_" + std::to_string(sz.dpi) + ".png";
        if (!fs::exists(file)) {
            QImage img = makePhoto(sz.w, sz.h, 11);
            const int perMetre = static_cast<int>(std::lround(sz.dpi / 0.0254));
            img.setDotsPerMeterX(perMetre);
            img.setDotsPerMeterY(perMetre);
            if (!img.save(QString::fromStdString(file), "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", file.c_str());
                return 1;
            }
        }
        const double pixels = static_cast<double>(sz.w) * sz.h;
        std::vector<double> ours, magick;
        Run worst;
        double magickPeak = 0;
        for (int i = 0; i < runs; ++i) {
            const std::string config = dir + "/cli-config";
            fs::remove_all(config);
            fs::create_directories(config);
            const Run r = runProgram({cli, "job", file, "-o", dir + "/cli-job.prn"},
                                     {{"XDG_CONFIG_HOME", config}});
            if (!r.ok) {
                std::fprintf(stderr, "printconv-cli job failed on %s\n", file.c_str());
                return 1;
            }
            ours.push_back(r.seconds);
            worst.peakBytes = std::max(worst.peakBytes, r.peakBytes);
            worst.selfBytes = std::max(worst.selfBytes, r.selfBytes);
            worst.childBytes = std::max(worst.childBytes, r.childBytes);
            const Run m = runProgram({"convert", file, "-profile", data + "sRGB.ICM", "-profile",
                                      data + "OKC711P2.ICM", "-depth", "8", dir + "/magick.cmyk"},
                                     {});
            if (m.ok) {
                magick.push_back(m.seconds);
                magickPeak = std::max(magickPeak, m.peakBytes);
            }
        }
        std::error_code ec;
        const double jobBytes = static_cast<double>(fs::file_size(dir + "/cli-job.prn", ec));
        fs::remove(dir + "/cli-job.prn", ec);
        fs::remove(dir + "/magick.cmyk", ec);

        std::printf("\n%s (%s MP, file %s, job %s)\n", sz.name,
                    formatFixed(pixels / 1e6, 1).c_str(),
                    mb(static_cast<double>(fs::file_size(file))).c_str(), mb(jobBytes).c_str());
        std::printf("  printconv-cli job: median %s s (runs:",
                    formatFixed(median(ours), 3).c_str());
        for (double t : ours)
            std::printf(" %s", formatFixed(t, 3).c_str());
        std::printf(")\n");
        std::printf("  peak memory: printconv-cli %s = %s bytes/pixel (target 17); decoding child "
                    "%s = %s bytes/pixel; larger of the two (wait4) %s\n",
                    mb(worst.selfBytes).c_str(), formatFixed(worst.selfBytes / pixels, 2).c_str(),
                    mb(worst.childBytes).c_str(), formatFixed(worst.childBytes / pixels, 2).c_str(),
                    mb(worst.peakBytes).c_str());
        if (magick.empty()) {
            std::printf("  ImageMagick convert: failed or not installed\n");
            continue;
        }
        std::printf("  ImageMagick convert: median %s s, peak %s\n",
                    formatFixed(median(magick), 3).c_str(), mb(magickPeak).c_str());
        std::printf("  printconv-cli job / ImageMagick convert = %s (target %s)\n",
                    formatFixed(median(ours) / median(magick), 3).c_str(),
                    formatFixed(sz.target, 2).c_str());
        std::fflush(stdout);
    }
    return 0;
}
