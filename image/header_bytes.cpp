#include "image/header_bytes.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

FileBytes::FileBytes(int fd) : fd_(fd) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
}

std::uint32_t FileBytes::at(std::uint64_t p) const {
    if (p >= size_) return 0;
    const std::uint64_t block = p / kBlock;
    if (block != cached_) {
        cachedLen_ = 0;
        cached_ = block;
        std::size_t got = 0;
        while (got < kBlock) {
            const ssize_t n =
                pread(fd_, buf_ + got, kBlock - got, static_cast<off_t>(block * kBlock + got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        cachedLen_ = got;
    }
    const auto i = static_cast<std::size_t>(p % kBlock);
    return i < cachedLen_ ? buf_[i] : 0u;
}
