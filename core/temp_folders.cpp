#include "core/temp_folders.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The register is a fixed table written before a folder gets contents and read by the signal
// handler, which may only use async-signal-safe calls: no allocation, no locks.
constexpr int kSlots = 16;
constexpr std::size_t kPathBytes = 4096;
enum : int { kFree, kWriting, kReady };
char gPaths[kSlots][kPathBytes];
std::atomic<int> gState[kSlots];

// Removes the files of a folder (our folders hold no sub-folders). getdents64 is a plain
// system call, so this is safe inside a signal handler.
void removeFilesOf(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        alignas(8) char buf[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
            if (n <= 0) break;
            for (long off = 0; off < n;) {
                struct Entry {
                    unsigned long long ino;
                    long long off;
                    unsigned short reclen;
                    unsigned char type;
                    char name[1];
                };
                const auto* e = reinterpret_cast<const Entry*>(buf + off);
                const char* name = buf + off + offsetof(Entry, name);
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    ::unlinkat(fd, name, 0);
                off += e->reclen;
            }
        }
        ::close(fd);
    }
}

void removeFlatFolder(const char* path) {
    // Moved aside first: other threads of the process keep running while the handler works,
    // and a file they create from now on finds no folder instead of refilling this one.
    char aside[kPathBytes + 8];
    const std::size_t n = std::strlen(path);
    std::memcpy(aside, path, n);
    std::memcpy(aside + n, ".gone", 6);
    const char* target = ::rename(path, aside) == 0 ? aside : path;
    for (int attempt = 0; attempt < 5; ++attempt) {
        removeFilesOf(target);
        if (::rmdir(target) == 0 || errno != ENOTEMPTY) return;
    }
}

void onSignal(int sig) {
    const int saved = errno;
    for (int i = 0; i < kSlots; ++i)
        if (gState[i].load() == kReady) removeFlatFolder(gPaths[i]);
    errno = saved;
    // End the way the signal would have ended the process.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

namespace {

// Holds SIGINT, SIGTERM and SIGHUP back in this thread while it lives.
struct SignalsHeld {
    sigset_t old;
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &set, &old);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old, nullptr); }
};

void registerTemporaryFolder(const std::string& path) {
    if (path.empty() || path.size() >= kPathBytes) return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!gState[i].compare_exchange_strong(expected, kWriting)) continue;
        std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
        gState[i].store(kReady);
        return;
    }
}

void unregisterTemporaryFolder(const std::string& path) {
    for (int i = 0; i < kSlots; ++i) {
        int expected = kReady;
        if (path == gPaths[i] && gState[i].compare_exchange_strong(expected, kWriting)) {
            gPaths[i][0] = '\0';
            gState[i].store(kFree);
            return;
        }
    }
}

} // namespace

std::string makeTemporaryFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
    const SignalsHeld held;
    if (!::mkdtemp(pattern.data())) return {};
    registerTemporaryFolder(pattern);
    return pattern;
}

void removeTemporaryFolder(const std::string& path) {
    if (path.empty()) return;
    const SignalsHeld held;
    unregisterTemporaryFolder(path);
    for (int attempt = 0; attempt < 5; ++attempt) {
        removeFilesOf(path.c_str());
        if (::rmdir(path.c_str()) == 0 || errno != ENOTEMPTY) return;
    }
}

void removeTemporaryFoldersOnSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}
