// Reading the header fields of an image file: one bounds-checked reader shared by the
// decoder's header checks and the resolution probes.
//
// A position past the end of the bytes reads as 0, so a short or damaged file can only give
// values a check refuses or a probe replaces, never a read outside what was loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

// Bytes already in memory.
class MemoryBytes {
  public:
    explicit MemoryBytes(std::string_view b) : b_(b) {}
    std::uint64_t size() const { return b_.size(); }
    std::uint32_t at(std::uint64_t p) const {
        return p < b_.size() ? static_cast<unsigned char>(b_[p]) : 0u;
    }
    std::string_view view() const { return b_; }

  private:
    std::string_view b_;
};

// A regular file read through a one-block cache, so a walk over a few headers costs a few
// reads, not the file. The descriptor stays the caller's.
class FileBytes {
  public:
    explicit FileBytes(int fd);
    std::uint64_t size() const { return size_; }
    std::uint32_t at(std::uint64_t p) const;

  private:
    static constexpr std::size_t kBlock = 65536;
    int fd_;
    std::uint64_t size_ = 0;
    mutable std::uint64_t cached_ = ~std::uint64_t{0};
    mutable std::size_t cachedLen_ = 0;
    mutable unsigned char buf_[kBlock];
};

// Big- and little-endian fields over a byte source (MemoryBytes or FileBytes).
template <class Src> class HeaderReader {
  public:
    static constexpr std::uint64_t npos = ~std::uint64_t{0};

    explicit HeaderReader(const Src& s) : s_(s) {}
    std::uint64_t size() const { return s_.size(); }
    std::uint32_t at(std::uint64_t p) const { return s_.at(p); }
    std::uint32_t be16(std::uint64_t p) const { return at(p) << 8 | at(p + 1); }
    std::uint32_t le16(std::uint64_t p) const { return at(p + 1) << 8 | at(p); }
    std::uint32_t be32(std::uint64_t p) const { return be16(p) << 16 | be16(p + 2); }
    std::uint32_t le32(std::uint64_t p) const { return le16(p + 2) << 16 | le16(p); }
    std::uint32_t u16(std::uint64_t p, bool big) const { return big ? be16(p) : le16(p); }
    std::uint32_t u32(std::uint64_t p, bool big) const { return big ? be32(p) : le32(p); }
    // True when the bytes at p are t.
    bool is(std::uint64_t p, std::string_view t) const {
        for (std::size_t i = 0; i < t.size(); ++i)
            if (at(p + i) != static_cast<unsigned char>(t[i])) return false;
        return true;
    }
    // In memory only: the first position >= from where needle starts, or npos.
    std::uint64_t find(std::string_view needle, std::uint64_t from) const {
        const std::string_view b = s_.view();
        if (from > b.size()) return npos;
        const std::size_t p = b.find(needle, static_cast<std::size_t>(from));
        return p == std::string_view::npos ? npos : p;
    }
    // In memory only: up to n bytes from position from (fewer at the end).
    std::string_view text(std::uint64_t from, std::size_t n) const {
        const std::string_view b = s_.view();
        if (from >= b.size()) return {};
        return b.substr(static_cast<std::size_t>(from), n);
    }

  private:
    // A memory view is kept by value (a temporary view is safe); a file source, with its
    // block cache, by reference.
    std::conditional_t<std::is_same_v<Src, MemoryBytes>, MemoryBytes, const Src&> s_;
};

HeaderReader(const MemoryBytes&)->HeaderReader<MemoryBytes>;
HeaderReader(const FileBytes&)->HeaderReader<FileBytes>;
