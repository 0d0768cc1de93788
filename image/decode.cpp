#include "image/decode.h"

#include "core/files.h"

#include <IL/il.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <new>
#include <poll.h>
#include <set>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

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

// ---------------------------------------------------------------------------------------
// Byte sources for the header walk. Positions past the end read as 0.

struct MemorySource {
    std::string_view b;
    std::uint64_t size() const { return b.size(); }
    std::uint32_t at(std::uint64_t p) const {
        return p < b.size() ? static_cast<unsigned char>(b[p]) : 0u;
    }
};

// Reads a file through a one-block cache, so a header walk costs a few reads, not the file.
class FileSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<std::uint64_t>(st.st_size);
    }
    std::uint64_t size() const { return size_; }
    std::uint32_t at(std::uint64_t p) const {
        if (p >= size_) return 0;
        std::uint64_t block = p / kBlock;
        if (block != cached_) {
            cachedLen_ = 0;
            cached_ = block;
            std::size_t got = 0;
            while (got < kBlock) {
                ssize_t n =
                    pread(fd_, buf_ + got, kBlock - got, static_cast<off_t>(block * kBlock + got));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            cachedLen_ = got;
        }
        std::size_t i = static_cast<std::size_t>(p % kBlock);
        return i < cachedLen_ ? buf_[i] : 0u;
    }

  private:
    static constexpr std::size_t kBlock = 65536;
    int fd_;
    std::uint64_t size_ = 0;
    mutable std::uint64_t cached_ = ~std::uint64_t{0};
    mutable std::size_t cachedLen_ = 0;
    mutable unsigned char buf_[kBlock];
};

template <class Src> struct Reader {
    const Src& s;
    std::uint32_t at(std::uint64_t p) const { return s.at(p); }
    std::uint32_t be16(std::uint64_t p) const { return at(p) << 8 | at(p + 1); }
    std::uint32_t le16(std::uint64_t p) const { return at(p + 1) << 8 | at(p); }
    std::uint32_t be32(std::uint64_t p) const { return be16(p) << 16 | be16(p + 2); }
    std::uint32_t le32(std::uint64_t p) const { return le16(p + 2) << 16 | le16(p); }
    std::uint32_t u16(std::uint64_t p, bool big) const { return big ? be16(p) : le16(p); }
    std::uint32_t u32(std::uint64_t p, bool big) const { return big ? be32(p) : le32(p); }
    bool is(std::uint64_t p, std::string_view t) const {
        for (std::size_t i = 0; i < t.size(); ++i)
            if (at(p + i) != static_cast<unsigned char>(t[i])) return false;
        return true;
    }
};

template <class Src> ImageFormat sniff(const Reader<Src>& r) {
    if (r.is(0, "\x89PNG\r\n\x1a\n")) return ImageFormat::Png;
    if (r.at(0) == 0xFF && r.at(1) == 0xD8 && r.at(2) == 0xFF) return ImageFormat::Jpeg;
    if (r.is(0, "GIF87a") || r.is(0, "GIF89a")) return ImageFormat::Gif;
    if (r.is(0, std::string_view("II\x2A\x00", 4)) || r.is(0, std::string_view("MM\x00\x2A", 4)))
        return ImageFormat::Tiff;
    if (r.is(0, "BM")) return ImageFormat::Bmp;
    if (r.is(0, "8BPS")) return ImageFormat::Psd;
    return ImageFormat::Unknown;
}

// Adds one frame of w x h to the header, refusing sizes beyond the limits as they appear so
// that the sums cannot overflow.
HeaderVerdict addFrame(ImageHeader& h, std::uint64_t w, std::uint64_t ht, const DecodeLimits& lim) {
    if (w == 0 || ht == 0) return HeaderVerdict::Empty;
    h.width = std::max(h.width, w);
    h.height = std::max(h.height, ht);
    ++h.frames;
    if (w > lim.maxSide || ht > lim.maxSide) return HeaderVerdict::TooLarge;
    h.rgbaBytes += w * ht * 4;
    if (h.rgbaBytes > lim.maxRgbaBytes) return HeaderVerdict::TooLarge;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectPng(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26 || !r.is(12, "IHDR")) return HeaderVerdict::Damaged;
    const HeaderVerdict v = addFrame(h, r.be32(16), r.be32(20), lim);
    if (v != HeaderVerdict::Ok) return v;
    // Every chunk up to IEND must lie within the file: the decoder would otherwise try to read
    // (and allocate for) a length such as 2 GB claimed by a tiny file.
    for (std::uint64_t p = 8;;) {
        if (p + 12 > size) return HeaderVerdict::Damaged;
        const std::uint64_t len = r.be32(p);
        if (len > 0x7FFFFFFFu || p + 12 + len > size) return HeaderVerdict::Damaged;
        if (r.is(p + 4, "IEND")) return HeaderVerdict::Ok;
        p += 12 + len;
    }
}

template <class Src>
HeaderVerdict inspectJpeg(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                          const DecodeLimits& lim) {
    std::uint64_t p = 2;
    while (p < size) {
        if (r.at(p) != 0xFF) { // stray byte between segments: the decoder skips it too
            ++p;
            continue;
        }
        while (p < size && r.at(p) == 0xFF)
            ++p; // fill bytes
        if (p >= size) break;
        std::uint32_t m = r.at(p++);
        if (m == 0x00 || m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) continue;
        if (m == 0xD9 || m == 0xDA) break; // end of image or scan before any frame header
        std::uint32_t len = r.be16(p);
        if (len < 2) return HeaderVerdict::Damaged;
        bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (sof) {
            if (p + 8 > size) return HeaderVerdict::Damaged;
            std::uint32_t height = r.be16(p + 3), width = r.be16(p + 5);
            std::uint32_t components = r.at(p + 7);
            HeaderVerdict v = addFrame(h, width, height, lim);
            if (v != HeaderVerdict::Ok) return v;
            if (components == 4) {
                h.cmyk = true;
                return HeaderVerdict::CmykJpeg;
            }
            return HeaderVerdict::Ok;
        }
        p += len;
    }
    return HeaderVerdict::Damaged;
}

template <class Src>
HeaderVerdict inspectGif(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 13) return HeaderVerdict::Damaged;
    std::uint64_t screenW = r.le16(6), screenH = r.le16(8);
    if (screenW == 0 || screenH == 0) return HeaderVerdict::Empty;
    std::uint32_t packed = r.at(10);
    std::uint64_t p = 13;
    if (packed & 0x80) p += 3ull << ((packed & 7) + 1);
    auto skipSubBlocks = [&] {
        while (p < size) {
            std::uint32_t n = r.at(p);
            p += 1 + n;
            if (n == 0) return;
        }
    };
    while (p < size) {
        std::uint32_t b = r.at(p);
        if (b == 0x2C) {
            std::uint64_t left = r.le16(p + 1), top = r.le16(p + 3);
            std::uint64_t w = r.le16(p + 5), ht = r.le16(p + 7);
            std::uint32_t lp = r.at(p + 9);
            p += 10;
            if (lp & 0x80) p += 3ull << ((lp & 7) + 1);
            p += 1; // LZW minimum code size
            skipSubBlocks();
            // Every frame is decoded onto a picture of at least the logical screen.
            HeaderVerdict v =
                addFrame(h, std::max(screenW, left + std::max<std::uint64_t>(w, 1)),
                         std::max(screenH, top + std::max<std::uint64_t>(ht, 1)), lim);
            if (v != HeaderVerdict::Ok) return v;
        } else if (b == 0x21) {
            p += 2;
            skipSubBlocks();
        } else {
            break; // trailer or garbage: the decoder stops here as well
        }
    }
    if (h.frames == 0) return HeaderVerdict::Damaged;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectTiff(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                          const DecodeLimits& lim) {
    bool big = r.at(0) == 'M';
    std::uint64_t off = r.u32(4, big);
    std::set<std::uint64_t> seen;
    while (off != 0) {
        if (off + 2 > size || !seen.insert(off).second) break; // the reader stops here too
        // Each page costs the decoder time: a long chain of pages is refused.
        if (seen.size() > kMaxTiffPages) return HeaderVerdict::TooLarge;
        std::uint32_t count = r.u16(off, big);
        std::uint64_t w = 0, ht = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t e = off + 2 + 12ull * i;
            if (e + 12 > size) return HeaderVerdict::Damaged;
            std::uint32_t tag = r.u16(e, big), type = r.u16(e + 2, big);
            if (tag != 256 && tag != 257) continue;
            std::uint64_t v = type == 3 ? r.u16(e + 8, big) : r.u32(e + 8, big);
            (tag == 256 ? w : ht) = v;
        }
        HeaderVerdict v = addFrame(h, w, ht, lim);
        if (v != HeaderVerdict::Ok) return v;
        off = r.u32(off + 2 + 12ull * count, big);
    }
    if (h.frames == 0) return HeaderVerdict::Damaged;
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectBmp(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26) return HeaderVerdict::Damaged;
    std::uint32_t dib = r.le32(14);
    std::uint64_t w, ht;
    if (dib == 12) {
        w = r.le16(18);
        ht = r.le16(20);
    } else if (dib >= 40) {
        auto sw = static_cast<std::int32_t>(r.le32(18));
        auto sh = static_cast<std::int64_t>(static_cast<std::int32_t>(r.le32(22)));
        if (sw < 0) return HeaderVerdict::Damaged;
        w = static_cast<std::uint64_t>(sw);
        ht = static_cast<std::uint64_t>(sh < 0 ? -sh : sh); // negative: rows top first
    } else {
        return HeaderVerdict::Damaged;
    }
    HeaderVerdict v = addFrame(h, w, ht, lim);
    if (v != HeaderVerdict::Ok) return v;
    // Uncompressed rows must all be in the file: DevIL fills the missing part of a short
    // file with whatever its buffer held.
    std::uint32_t bpp = dib == 12 ? r.le16(24) : r.le16(28);
    std::uint32_t compression = dib == 12 ? 0 : r.le32(30);
    if (bpp == 0 || bpp > 64) return HeaderVerdict::Damaged;
    // The decoder reads BMP colours but not BMP transparency: a picture with an alpha mask
    // would print its transparent parts with white toner, so it is refused.
    if (dib >= 56 && compression == 3 && r.le32(66) != 0) return HeaderVerdict::BmpAlpha;
    if (compression == 0 || compression == 3) {
        std::uint64_t rowBytes = (w * bpp + 31) / 32 * 4;
        if (size < r.le32(10) + rowBytes * ht) return HeaderVerdict::Damaged;
    }
    return HeaderVerdict::Ok;
}

template <class Src>
HeaderVerdict inspectPsd(const Reader<Src>& r, std::uint64_t size, ImageHeader& h,
                         const DecodeLimits& lim) {
    if (size < 26) return HeaderVerdict::Damaged;
    return addFrame(h, r.be32(18), r.be32(14), lim);
}

template <class Src>
HeaderVerdict inspect(const Src& src, ImageHeader& h, const DecodeLimits& lim) {
    h = ImageHeader{};
    Reader<Src> r{src};
    h.format = sniff(r);
    std::uint64_t size = src.size();
    switch (h.format) {
    case ImageFormat::Png:
        return inspectPng(r, size, h, lim);
    case ImageFormat::Jpeg:
        return inspectJpeg(r, size, h, lim);
    case ImageFormat::Gif:
        return inspectGif(r, size, h, lim);
    case ImageFormat::Tiff:
        return inspectTiff(r, size, h, lim);
    case ImageFormat::Bmp:
        return inspectBmp(r, size, h, lim);
    case ImageFormat::Psd:
        return inspectPsd(r, size, h, lim);
    case ImageFormat::Unknown:
        break;
    }
    return HeaderVerdict::NotAnImage;
}

// ---------------------------------------------------------------------------------------
// The decoding child.

constexpr std::uint32_t kReportMagic = 0x4C564E31; // marks a complete report

struct ChildReport {
    std::uint32_t magic = 0;
    std::int32_t stage = 0;       // DevilStage of a reported error
    std::uint32_t error = 0;      // DevIL error code
    std::int32_t copyFailed = 0;  // ilCopyPixels returned false
    std::int32_t loadFailed = 0;  // ilLoad returned false with no error pending
    std::int32_t sizeRefused = 0; // DevIL's size is outside the limits
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint64_t bytes = 0; // RGBA bytes written into the shared memory
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

// A BMP with the version 4 or 5 information header (108 or 124 bytes, what most programs
// write today) rewritten with the version 3 header DevIL reads: the first 40 bytes of the
// header, the colour masks that BI_BITFIELDS needs after it, then the palette and pixels
// unchanged. Empty when the file is not such a BMP or uses a compression that version 3
// does not have (JPEG, PNG inside a BMP).
std::string bmpAsVersion3(std::string_view file) {
    MemorySource src{file};
    Reader<MemorySource> r{src};
    if (file.size() < 54 || !r.is(0, "BM")) return {};
    const std::uint32_t dib = r.le32(14);
    if (dib != 108 && dib != 124) return {};
    const std::uint32_t compression = r.le32(30);
    const std::uint64_t pixelsAt = r.le32(10);
    if (compression > 3 || pixelsAt < 14 + dib || pixelsAt > file.size()) return {};
    std::string out(file.substr(0, 14 + 40));
    out[14] = 40, out[15] = out[16] = out[17] = 0;
    if (compression == 3) out.append(file.substr(54, 12));    // red, green and blue masks
    out.append(file.substr(14 + dib, pixelsAt - (14 + dib))); // palette, if any
    const std::uint64_t newPixelsAt = out.size();
    out.append(file.substr(pixelsAt));
    for (int i = 0; i < 4; ++i)
        out[10 + i] = static_cast<char>(newPixelsAt >> (8 * i) & 0xFF);
    const std::uint64_t total = out.size();
    for (int i = 0; i < 4; ++i)
        out[2 + i] = static_cast<char>(total >> (8 * i) & 0xFF);
    return out;
}

// The whole file at path (at most maxBytes); empty when it cannot be read.
std::string readAll(const std::string& path, std::uint64_t maxBytes) {
    std::string out;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || out.size() + static_cast<std::uint64_t>(n) > maxBytes) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return out;
}

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
    ilInit();
    for (int i = 0; i < 200 && ilGetError() != IL_NO_ERROR; ++i) {
    }
    auto check = [&](DevilStage stage) {
        ILenum e = ilGetError();
        if (e != IL_NO_ERROR) {
            rep.stage = static_cast<std::int32_t>(stage);
            rep.error = e;
            sendReport(reportFd, rep);
        }
    };
    ilEnable(IL_ORIGIN_SET);
    check(DevilStage::Enable);
    ilOriginFunc(flip ? IL_ORIGIN_LOWER_LEFT : IL_ORIGIN_UPPER_LEFT);
    check(DevilStage::OriginFunc);
    ILuint name = 0;
    ilGenImages(1, &name);
    check(DevilStage::GenImages);
    ilBindImage(name);
    check(DevilStage::BindImage);
    // DevIL reads only the version 3 BMP header: newer ones are presented in that form.
    std::string bmp3;
    if (type == IL_BMP) bmp3 = bmpAsVersion3(readAll(path, lim.maxRgbaBytes));
    const bool loaded = bmp3.empty() ? ilLoad(type, path.c_str())
                                     : ilLoadL(type, bmp3.data(), static_cast<ILuint>(bmp3.size()));
    std::string().swap(bmp3);
    if (!loaded) {
        check(DevilStage::Load);
        rep.loadFailed = 1;
        sendReport(reportFd, rep);
    }
    ILint height = 0, width = 0;
    ilGetIntegerv(IL_IMAGE_HEIGHT, &height);
    check(DevilStage::GetHeight);
    ilGetIntegerv(IL_IMAGE_WIDTH, &width);
    check(DevilStage::GetWidth);
    rep.width = width;
    rep.height = height;
    if (width <= 0 || height <= 0 || static_cast<std::uint64_t>(width) > lim.maxSide ||
        static_cast<std::uint64_t>(height) > lim.maxSide ||
        4ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            lim.maxRgbaBytes) {
        rep.sizeRefused = 1;
        sendReport(reportFd, rep);
    }
    std::uint64_t bytes =
        4ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (ftruncate(pixelFd, static_cast<off_t>(bytes)) != 0) _exit(4);
    void* out = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, pixelFd, 0);
    if (out == MAP_FAILED) _exit(5);
    // In bands: DevIL converts each call's pixels through a buffer of their size, so a band
    // at a time keeps that buffer small; the bytes are those of one call for the whole picture.
    constexpr ILuint kBandRows = 256;
    ILuint copied = 1;
    for (ILuint y = 0; copied && y < static_cast<ILuint>(height); y += kBandRows) {
        const ILuint rows = std::min(kBandRows, static_cast<ILuint>(height) - y);
        copied =
            ilCopyPixels(0, y, 0, static_cast<ILuint>(width), rows, 1, IL_RGBA, IL_UNSIGNED_BYTE,
                         static_cast<std::uint8_t*>(out) +
                             static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
    }
    if (!copied) {
        rep.copyFailed = 1;
        rep.stage = static_cast<std::int32_t>(DevilStage::CopyPixels);
        rep.error = ilGetError();
        sendReport(reportFd, rep);
    }
    check(DevilStage::CopyPixels);
    rep.bytes = bytes;
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

ImageFormat sniffImageFormat(std::string_view head) {
    MemorySource src{head};
    return sniff(Reader<MemorySource>{src});
}

unsigned devilTypeFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Png:
        return IL_PNG;
    case ImageFormat::Jpeg:
        return IL_JPG;
    case ImageFormat::Gif:
        return IL_GIF;
    case ImageFormat::Tiff:
        return IL_TIF;
    case ImageFormat::Bmp:
        return IL_BMP;
    case ImageFormat::Psd:
        return IL_PSD;
    case ImageFormat::Unknown:
        break;
    }
    return 0;
}

DecodeLimits& decodeLimits() {
    static DecodeLimits limits;
    return limits;
}

HeaderVerdict inspectImageHeader(std::string_view bytes, ImageHeader& header,
                                 const DecodeLimits& limits) {
    return inspect(MemorySource{bytes}, header, limits);
}

std::uint32_t childCpuSeconds(std::uint64_t fileBytes, std::uint64_t rgbaBytes,
                              const DecodeLimits& limits) {
    // A few seconds for any file, more for the bytes to inflate and the pixels to produce.
    const std::uint64_t seconds = 5 + fileBytes / (4ull << 20) + rgbaBytes / (32ull << 20);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, limits.cpuSeconds));
}

DecodeOutcome decodeImageFileShared(const std::string& path, bool flip,
                                    const std::function<bool()>& tick) {
    DecodeLimits lim = decodeLimits();
    DecodeOutcome out;
    std::uint64_t fileBytes = 0;
    {
        Fd file(openRegularFile(path));
        if (file.fd < 0) {
            out.status = DecodeStatus::Unreadable;
            return out;
        }
        FileSource src(file.fd);
        fileBytes = src.size();
        out.verdict = inspect(src, out.header, lim);
    }
    if (out.verdict != HeaderVerdict::Ok) {
        out.status = DecodeStatus::Refused;
        return out;
    }
    // The child's time follows the size of the work, not one minute for every file.
    lim.cpuSeconds = childCpuSeconds(fileBytes, out.header.rgbaBytes, lim);
    lim.wallMilliseconds =
        std::min<std::uint32_t>(lim.wallMilliseconds, (lim.cpuSeconds * 3 + 10) * 1000);

    out.status = DecodeStatus::ChildFailed;
    Fd pixels(memfd_create("printconv-pixels", MFD_CLOEXEC));
    int fds[2];
    if (pixels.fd < 0 || pipe2(fds, O_CLOEXEC) != 0) return out;
    Fd readEnd(fds[0]), writeEnd(fds[1]);
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(lim.wallMilliseconds);
    pid_t pid = fork();
    if (pid < 0) return out;
    if (pid == 0) {
        close(readEnd.fd);
        runChild(path, devilTypeFor(out.header.format), flip, writeEnd.fd, pixels.fd, lim,
                 out.header);
    }
    writeEnd.reset();
    ChildReport rep;
    std::size_t got = 0;
    bool cancelled = false;
    bool exitedCleanly = collectChild(pid, readEnd.fd, rep, got, deadline, tick, cancelled);
    if (cancelled) {
        out.status = DecodeStatus::Cancelled;
        return out;
    }
    if (!exitedCleanly || got != sizeof rep || rep.magic != kReportMagic) return out;

    out.width = rep.width;
    out.height = rep.height;
    if (rep.copyFailed) {
        out.status = DecodeStatus::CopyFailed;
        out.devilStage = DevilStage::CopyPixels;
        out.devilError = rep.error;
        return out;
    }
    if (rep.error != 0) {
        out.status = DecodeStatus::DevilError;
        out.devilStage = static_cast<DevilStage>(rep.stage);
        out.devilError = rep.error;
        return out;
    }
    if (rep.loadFailed || rep.sizeRefused) return out;

    // The child's word is not trusted: the size must be within the limits and the shared
    // memory must hold exactly the pixels of that size.
    if (rep.width <= 0 || rep.height <= 0 || static_cast<std::uint64_t>(rep.width) > lim.maxSide ||
        static_cast<std::uint64_t>(rep.height) > lim.maxSide)
        return out;
    std::uint64_t bytes =
        4ull * static_cast<std::uint64_t>(rep.width) * static_cast<std::uint64_t>(rep.height);
    struct stat st {};
    if (bytes > lim.maxRgbaBytes || rep.bytes != bytes || fstat(pixels.fd, &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) != bytes)
        return out;
    void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, pixels.fd, 0);
    if (map == MAP_FAILED) return out;
    // The mapping keeps the memory alive after the descriptor is closed.
    out.rgba = DecodedPixels(map, bytes);
    out.status = DecodeStatus::Ok;
    return out;
}

DecodeOutcome decodeImageFile(const std::string& path, bool flip,
                              const std::function<bool()>& tick) {
    DecodeOutcome out = decodeImageFileShared(path, flip, tick);
    if (out.status != DecodeStatus::Ok) return out;
    try {
        out.pixels.resize(out.rgba.size() / 4 * 5);
    } catch (const std::bad_alloc&) {
        out.rgba.release();
        out.status = DecodeStatus::OutOfMemory;
        return out;
    }
    std::memcpy(out.pixels.data(), out.rgba.data(), out.rgba.size());
    std::memset(out.pixels.data() + out.rgba.size(), 0, out.pixels.size() - out.rgba.size());
    out.rgba.release();
    return out;
}

DecodedPixels& DecodedPixels::operator=(DecodedPixels&& other) noexcept {
    if (this != &other) {
        release();
        map_ = std::exchange(other.map_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

void DecodedPixels::release() {
    if (map_) munmap(const_cast<void*>(map_), bytes_);
    map_ = nullptr;
    bytes_ = 0;
}

std::string devilErrorText(unsigned code) {
    switch (code) {
    case 0:
        return {};
    case 0x0501:
        return "INVALID ENUM";
    case 0x0502:
        return "OUT OF MEMORY";
    case 0x0503:
        return "FORMAT NOT SUPPORTED";
    case 0x0504:
        return "INTERNAL ERROR";
    case 0x0505:
        return "INVALID VALUE";
    case 0x0506:
        return "ILLEGAL OPERATION";
    case 0x0507:
        return "ILLEGAL FILE VALUE";
    case 0x0508:
        return "INVALID FILE HEADER";
    case 0x0509:
        return "INVALID PARAMATER";
    case 0x050A:
        return "UNABLE TO OPEN FILE";
    case 0x050B:
        return "INVALID EXTENSION";
    case 0x050C:
        return "FILE ALREADY EXISTS";
    case 0x050D:
        return "OUT FORMAT SAME";
    case 0x050E:
        return "STACK OVERFLOW ";
    case 0x050F:
        return "STACK UNDERFLOW";
    case 0x0510:
        return "INVALID CONVERSION";
    case 0x0511:
        return "BAD DIMENSIONS";
    case 0x0512:
        return "FILE READ ERROR ";
    case 0x05E1:
        return "LIB GIF ERROR";
    case 0x05E2:
        return "LIB JPEG ERROR";
    case 0x05E3:
        return "LIB PNG ERROR";
    case 0x05E4:
        return "LIB TIFF ERROR";
    case 0x05E5:
        return "LIB MNG ERROR";
    case 0x05E6:
        return "LIB JP2 ERROR";
    case 0x05E7:
        return "LIB EXR ERROR";
    case 0x05FF:
        return "UNKNOWN ERROR";
    default:
        break;
    }
    return "Error " + std::to_string(code);
}
