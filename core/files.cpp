#include "core/files.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openRegularFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return -1;
    }
    // Regular files ignore O_NONBLOCK, but later reads should not depend on that.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string readFileHead(const std::string& path, std::size_t limit) {
    std::string out;
    const int fd = openRegularFile(path);
    if (fd < 0) return out;
    char buf[65536];
    for (;;) {
        std::size_t want = sizeof buf;
        if (limit) {
            if (out.size() >= limit) break;
            want = std::min(want, limit - out.size());
        }
        const ssize_t n = ::read(fd, buf, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

ReadResult readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out,
                           struct stat* identity) {
    out.clear();
    const int fd = openRegularFile(path);
    if (fd < 0) return ReadResult::Unreadable;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return ReadResult::Unreadable;
    }
    if (identity) *identity = st;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return ReadResult::TooLarge;
    }
    char buf[65536];
    ReadResult result = ReadResult::Ok;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ReadResult::Unreadable;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
        // A file that grows while it is read is cut at the cap like one that was too large.
        if (out.size() > maxBytes) {
            result = ReadResult::TooLarge;
            break;
        }
    }
    ::close(fd);
    if (result != ReadResult::Ok) out.clear();
    return result;
}

int writeWholeFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    int err = 0;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // Some file systems report a full disk only when the data is flushed; devices cannot be.
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0 && regular) ::unlink(path.c_str());
    return err;
}
