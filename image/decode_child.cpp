#include "image/decode_child.h"

#include "core/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifdef PRINTCONV_HAVE_SECCOMP
#include <seccomp.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define PRINTCONV_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PRINTCONV_UNDER_ASAN 1
#endif
#endif

namespace {

constexpr std::uint32_t kReportMagic = 0x4C564E31; // marks a complete report

// What the child writes to the pipe: the magic, then the DevIL calls' report.
struct ChildReport {
    std::uint32_t magic = 0;
    DevilReport devil;
};

[[noreturn]] void sendReport(int fd, const ChildReport& rep) {
    const char* p = reinterpret_cast<const char*>(&rep);
    std::size_t left = sizeof rep;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    _exit(0);
}

void closeOtherFds(int a, int b) {
    int lo = std::min(a, b), hi = std::max(a, b);
    auto closeRange = [](int from, int to) {
        for (int fd = from; fd <= to; ++fd)
            close(fd);
    };
    // close_range is cheap for the unbounded tail; the gaps are short.
    if (lo > 3) closeRange(3, lo - 1);
    if (hi > lo + 1) closeRange(lo + 1, hi - 1);
    if (syscall(436 /* close_range */, static_cast<unsigned>(hi + 1), ~0u, 0u) != 0) {
        long maxFd = sysconf(_SC_OPEN_MAX);
        closeRange(hi + 1, maxFd > 0 && maxFd < 65536 ? static_cast<int>(maxFd) : 1024);
    }
}

std::uint64_t currentVirtualBytes() {
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buf[128] = {};
    ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return 0;
    std::uint64_t pages = 0;
    for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i)
        pages = pages * 10 + static_cast<std::uint64_t>(buf[i] - '0');
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void setLimit(int resource, std::uint64_t soft, std::uint64_t hard) {
    struct rlimit rl {};
    rl.rlim_cur = static_cast<rlim_t>(soft);
    rl.rlim_max = static_cast<rlim_t>(hard);
    setrlimit(resource, &rl);
}

#ifdef PRINTCONV_HAVE_SECCOMP
// Allows what DevIL and its codecs need to read the file and produce pixels: reading,
// memory management, signals for abort, and writing only the report pipe and resizing only
// the pixel memory. Everything else (sockets, process creation, writes, renames, opening
// for writing) fails with EPERM.
bool installSyscallFilter(int reportFd, int pixelFd) {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!ctx) return false;
    bool ok = true;
    auto allow = [&](int nr) {
        if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, nr, 0) != 0) ok = false;
    };
    for (int nr : {SCMP_SYS(read),         SCMP_SYS(pread64),
                   SCMP_SYS(readv),        SCMP_SYS(lseek),
                   SCMP_SYS(close),        SCMP_SYS(fstat),
                   SCMP_SYS(newfstatat),   SCMP_SYS(stat),
                   SCMP_SYS(lstat),        SCMP_SYS(statx),
                   SCMP_SYS(brk),          SCMP_SYS(mmap),
                   SCMP_SYS(munmap),       SCMP_SYS(mremap),
                   SCMP_SYS(mprotect),     SCMP_SYS(madvise),
                   SCMP_SYS(exit),         SCMP_SYS(exit_group),
                   SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask),
                   SCMP_SYS(rt_sigaction), SCMP_SYS(sigaltstack),
                   SCMP_SYS(futex),        SCMP_SYS(getpid),
                   SCMP_SYS(gettid),       SCMP_SYS(clock_gettime),
                   SCMP_SYS(gettimeofday), SCMP_SYS(getrandom),
                   SCMP_SYS(fcntl),        SCMP_SYS(sched_yield),
                   SCMP_SYS(getrlimit),    SCMP_SYS(access),
                   SCMP_SYS(faccessat),    SCMP_SYS(readlink),
                   SCMP_SYS(getcwd),       SCMP_SYS(sysinfo)})
        allow(nr);
    // Signals and limits only for this process itself (abort() signals itself; the C
    // library reads its own limits): never another process.
    const auto self = static_cast<scmp_datum_t>(getpid());
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_EQ, self)) !=
            0 ||
        seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A0(SCMP_CMP_EQ, self)) !=
            0 ||
        seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A0(SCMP_CMP_EQ, 0)) != 0)
        ok = false;
    // Opening only for reading.
    const scmp_datum_t writeFlags = O_ACCMODE | O_CREAT | O_TRUNC;
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                         SCMP_A2(SCMP_CMP_MASKED_EQ, writeFlags, O_RDONLY)) != 0)
        ok = false;
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(open), 1,
                         SCMP_A1(SCMP_CMP_MASKED_EQ, writeFlags, O_RDONLY)) != 0)
        ok = false;
    std::vector<int> writable{reportFd};
#ifdef PRINTCONV_UNDER_ASAN
    writable.push_back(2); // the sanitizer's report
#endif
    for (int fd : writable)
        for (int nr : {SCMP_SYS(write), SCMP_SYS(writev)})
            if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, nr, 1,
                                 SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) != 0)
                ok = false;
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(ftruncate), 1,
                         SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(pixelFd))) != 0)
        ok = false;
    if (ok) ok = seccomp_load(ctx) == 0;
    seccomp_release(ctx);
    return ok;
}
#endif

// Drops every capability (a decoder run by root keeps none): the bounding and ambient sets,
// then the effective, permitted and inheritable sets. True when none is left.
bool dropCapabilities() {
    for (int cap = 0; cap < 64; ++cap)
        prctl(PR_CAPBSET_DROP, cap, 0, 0, 0); // fails for numbers past the last: ignored
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    return syscall(SYS_capset, &header, data) == 0;
}

[[noreturn]] void runChild(const std::string& path, unsigned type, bool flip, int reportFd,
                           int pixelFd, const DecodeLimits& lim, const ImageHeader& header) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A fault in the decoder ends this process at once; the parent reads that as an
    // unsuitable file. No handler inherited from the parent (or a fuzzer) may run here.
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS, SIGXCPU, SIGXFSZ,
                    SIGPIPE, SIGALRM, SIGTERM, SIGINT, SIGUSR1, SIGUSR2})
        signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    setLimit(RLIMIT_CORE, 0, 0);
    setLimit(RLIMIT_CPU, lim.cpuSeconds, lim.cpuSeconds + 1u);
    setLimit(RLIMIT_FSIZE, lim.maxRgbaBytes + 1, lim.maxRgbaBytes + 1);
#ifndef PRINTCONV_UNDER_ASAN
    // The sanitizer reserves terabytes of address space, so only plain builds limit it.
    std::uint64_t as = currentVirtualBytes() + 4 * header.rgbaBytes + lim.addressSpaceBytes;
    setLimit(RLIMIT_AS, as, as);
#else
    (void)header;
    (void)currentVirtualBytes;
#endif
    closeOtherFds(reportFd, pixelFd);
    if (!dropCapabilities()) _exit(3); // never decode with privileges
#ifdef PRINTCONV_HAVE_SECCOMP
    if (!installSyscallFilter(reportFd, pixelFd)) _exit(3); // never decode unfenced
#else
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
#endif
    if (lim.childHook) lim.childHook();

    ChildReport rep;
    rep.magic = kReportMagic;
    const int code = decodeWithDevil(path, type, flip, lim, pixelFd, rep.devil);
    if (code != 0) _exit(code);
    sendReport(reportFd, rep);
}

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

// Waits for the report until the deadline; kills the child when it is late. True when the
// child ended by itself with exit code 0.
bool collectChild(pid_t pid, int readFd, ChildReport& rep, std::size_t& got,
                  std::chrono::steady_clock::time_point deadline, const std::function<bool()>& tick,
                  bool& cancelled) {
    using namespace std::chrono;
    bool late = false;
    char* dst = reinterpret_cast<char*>(&rep);
    for (;;) {
        auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            late = true;
            break;
        }
        if (tick && !tick()) {
            cancelled = late = true;
            break;
        }
        pollfd p{readFd, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        char tmp[256];
        ssize_t r = read(readFd, tmp, sizeof tmp);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break; // end of file: the child is done or dead
        std::size_t take =
            std::min(static_cast<std::size_t>(r), sizeof rep - std::min(got, sizeof rep));
        std::memcpy(dst + got, tmp, take);
        got += static_cast<std::size_t>(r);
    }
    int status = 0;
    pid_t w = 0;
    if (!late) {
        // The pipe is closed; give the child the rest of its time to exit.
        while ((w = waitpid(pid, &status, WNOHANG)) == 0 && steady_clock::now() < deadline)
            usleep(1000);
        if (w == 0) late = true;
    }
    if (late) {
        kill(pid, SIGKILL);
        while ((w = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        return false;
    }
    if (w < 0) return errno == ECHILD; // reaped elsewhere (SIGCHLD ignored): trust the report
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

ChildEnd runDecodeChild(const std::string& path, unsigned type, bool flip, int pixelFd,
                        const DecodeLimits& lim, const ImageHeader& header,
                        const std::function<bool()>& tick, DevilReport& report) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return ChildEnd::Failed;
    Fd readEnd(fds[0]), writeEnd(fds[1]);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(lim.wallMilliseconds);
    const pid_t pid = forkChild([&] {
        close(readEnd.fd);
        runChild(path, type, flip, writeEnd.fd, pixelFd, lim, header);
    });
    if (pid < 0) return ChildEnd::Failed;
    writeEnd.reset();
    ChildReport rep;
    std::size_t got = 0;
    bool cancelled = false;
    const bool exitedCleanly = collectChild(pid, readEnd.fd, rep, got, deadline, tick, cancelled);
    if (cancelled) return ChildEnd::Cancelled;
    if (!exitedCleanly || got != sizeof rep || rep.magic != kReportMagic) return ChildEnd::Failed;
    report = rep.devil;
    return ChildEnd::Reported;
}
