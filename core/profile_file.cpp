#include "core/profile_file.h"
#include "core/profile_file_testing.h"

#include "core/files.h"
#include "core/strings.h"
#include "core/ui.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One line of the file with its terminator kept, so untouched lines are written back as they
// were.
struct Line {
    std::string_view body; // without the terminator
    std::string_view whole;
};

std::vector<Line> splitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t nl = content.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? content.size() : nl + 1;
        std::string_view whole = content.substr(pos, end - pos);
        std::string_view body = whole;
        if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
        if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
        lines.push_back({body, whole});
        pos = end;
    }
    return lines;
}

// The section named by a "[name]" line, or false.
bool sectionName(std::string_view body, std::string_view& name) {
    std::string_view t = trim(body);
    if (t.empty() || t.front() != '[') return false;
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line, or false.
bool keyValue(std::string_view body, std::string_view& key, std::string_view& value) {
    std::size_t eq = body.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(body.substr(0, eq));
    value = trim(body.substr(eq + 1));
    return !key.empty();
}

// Finds key in section: index of the key's line (or npos), index of the section line (or
// npos), and the index after the section's last non-blank line.
struct Location {
    std::size_t keyLine = std::string::npos;
    std::size_t sectionLine = std::string::npos;
    std::size_t sectionEnd = std::string::npos;
};

Location locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location loc;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i].body, name)) {
            if (inSection) break; // the first matching section is the one used
            if (equalsNoCase(name, section)) {
                inSection = true;
                loc.sectionLine = i;
                loc.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection) continue;
        if (!trim(lines[i].body).empty()) loc.sectionEnd = i + 1;
        std::string_view k, v;
        if (loc.keyLine == std::string::npos && keyValue(lines[i].body, k, v) &&
            equalsNoCase(k, key))
            loc.keyLine = i;
    }
    return loc;
}

std::string lineEnding(const std::vector<Line>& lines) {
    for (const auto& l : lines) {
        if (l.whole.size() >= 2 && l.whole.substr(l.whole.size() - 2) == "\r\n") return "\r\n";
        if (!l.whole.empty() && l.whole.back() == '\n') return "\n";
    }
    return "\n";
}

// The content after the edit of key in section (value empty and remove set deletes the key);
// false when the edit changes nothing (removing a key that is not there).
bool applyEdit(const std::string& content, std::string_view section, std::string_view key,
               std::string_view value, bool remove, std::string& out) {
    std::vector<Line> lines = splitLines(content);
    Location loc = locate(lines, section, key);
    const std::string eol = lineEnding(lines);
    out.clear();
    out.reserve(content.size() + key.size() + value.size() + section.size() + 8);
    auto newKeyLine = [&] { return std::string(key) + "=" + std::string(value) + eol; };

    if (loc.keyLine != std::string::npos) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i != loc.keyLine) {
                out += lines[i].whole;
                continue;
            }
            if (remove) continue;
            // Keep the key as spelled in the file and the line's own terminator.
            std::string_view body = lines[i].body;
            std::size_t eq = body.find('=');
            std::string_view term = lines[i].whole.substr(body.size());
            out += body.substr(0, eq + 1);
            out += value;
            out += term.empty() ? std::string_view(eol) : term;
        }
    } else if (remove) {
        return false;
    } else if (loc.sectionLine != std::string::npos) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == loc.sectionEnd) out += newKeyLine();
            out += lines[i].whole;
            if (i + 1 == loc.sectionEnd && !lines[i].whole.empty() && lines[i].whole.back() != '\n')
                out += eol;
        }
        if (loc.sectionEnd >= lines.size()) out += newKeyLine();
    } else {
        out = content;
        if (!out.empty() && out.back() != '\n') out += eol;
        out += "[" + std::string(section) + "]" + eol;
        out += newKeyLine();
    }
    return true;
}

// Replaces the file at path by content: a temporary file in the same folder renamed over it.
// written, when given, receives the status of the new file.
int replaceFile(const std::string& path, const std::string& content, mode_t mode,
                struct stat* written = nullptr) {
    std::size_t slash = path.rfind('/');
    std::string tmpl = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                       ".settings-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return errno;
    int err = 0;
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    // The rename keeps inode, size and modification time: what the path names afterwards.
    if (err == 0 && written && ::fstat(fd, written) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(name.data(), path.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(name.data());
    return err;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a symbolic link so that a linked settings file is updated, not replaced by a copy;
// only a link to a regular file of the writer's own is followed, so a link planted by someone
// else cannot make us replace their file. Returns 0 or the errno of the refusal.
int writeTarget(const std::string& path, std::string& target) {
    target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    char resolved[4096];
    const ssize_t n = ::readlink(path.c_str(), resolved, sizeof resolved - 1);
    if (n <= 0) return EINVAL;
    resolved[n] = '\0';
    target = resolved;
    if (target[0] != '/') target = folderOf(path) + "/" + target;
    struct stat ts {};
    if (::stat(target.c_str(), &ts) != 0) return errno == ENOENT ? EACCES : errno;
    if (!S_ISREG(ts.st_mode)) return EINVAL;
    if (ts.st_uid != ::geteuid()) return EACCES;
    return 0;
}

// Temporary files of ours are ".settings-" and six characters; under the folder's lock no
// write of ours is under way, so any that remain were left by a write that was killed.
void removeStaleTemporaries(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    const int dfd = ::dirfd(d);
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() != 16 || name.substr(0, 10) != ".settings-") continue;
        struct stat st {};
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) ::unlinkat(dfd, e->d_name, 0);
    }
    ::closedir(d);
}

// The exclusive lock of a folder's settings writes: every read-modify-write holds it, so two
// processes never both start from the same old content. Readers take no lock (a write is one
// rename, so a reader sees the old or the new file whole). Closing the descriptor unlocks.
int lockFolder(const std::string& folder, int& fd) {
    const std::string lockPath = folder + "/.settings.lock";
    fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        fd = -1;
        return err;
    }
    return 0;
}

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads the whole file; false when it cannot be read as a regular file or is larger than
// the cap (err EFBIG: it is never read, so every read stays cheap, and never rewritten).
bool readWholeFile(const std::string& path, std::string& out, int& err,
                   struct stat* identity = nullptr) {
    switch (readRegularFile(path, kMaxSettingsFileBytes, out, identity)) {
    case ReadResult::Ok:
        return true;
    case ReadResult::TooLarge:
        err = EFBIG;
        return false;
    case ReadResult::Unreadable:
        break;
    }
    err = errno;
    return false;
}

// The edit of a key on disk, under the folder's lock; the new content and the status of the
// new file come back when the file was written.
int editFile(const std::string& givenPath, std::string_view section, std::string_view key,
             std::string_view value, bool remove, std::string* written = nullptr,
             struct stat* writtenStat = nullptr) {
    if (givenPath.empty()) return ENOENT;
    std::string path;
    if (const int err = writeTarget(givenPath, path)) return err;
    // The settings folder must be the writer's own: in a folder that others may write, a
    // planted file or link could be replaced in the writer's name.
    struct stat folderSt {};
    if (::stat(folderOf(givenPath).c_str(), &folderSt) != 0)
        return errno == ENOENT && remove ? 0 : errno;
    if (folderSt.st_uid != ::geteuid()) return EACCES;
    const std::string folder = folderOf(path);
    FdCloser lock;
    if (const int err = lockFolder(folder, lock.fd)) return err;
    removeStaleTemporaries(folder);

    std::string content;
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) return EINVAL;
        if (st.st_uid != ::geteuid()) return EACCES;
        // The rename below would replace even a file without write permission; a file that
        // may not be written must stay as it is, also for root.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
        if (::access(path.c_str(), W_OK) != 0) return errno;
        mode = st.st_mode & 07777;
        int err = 0;
        if (!readWholeFile(path, content, err)) return err;
    } else if (errno != ENOENT) {
        return errno;
    } else if (remove) {
        return 0;
    }

    std::string out;
    if (!applyEdit(content, section, key, value, remove, out)) return 0;
    const int err = replaceFile(path, out, mode, writtenStat);
    if (err == 0 && written) *written = std::move(out);
    return err;
}

// A value line must stay one line: a line break would split it into lines of their own on
// the next read.
std::string oneLine(std::string_view value) {
    std::string clean(value);
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    return clean;
}

std::string lookupKey(std::string_view section, std::string_view key) {
    std::string k = lowerAscii(section);
    k += '\n';
    k += lowerAscii(key);
    return k;
}

} // namespace

// What a file held when it was last read: its values by section and key, and the file's
// identity to tell whether it changed since.
struct ProfileFile::Parsed {
    bool present = false; // a regular file was read
    bool oversized = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    std::string content;
    // "section\nkey" in lower case -> the value as a read returns it; the first section of a
    // name and the first key of a name in it, as locate() finds them.
    std::unordered_map<std::string, std::string> values;

    static std::shared_ptr<Parsed> of(std::string content) {
        auto p = std::make_shared<Parsed>();
        p->content = std::move(content);
        std::set<std::string> seen;
        const std::string* current = nullptr;
        std::string currentName;
        for (const Line& line : splitLines(p->content)) {
            std::string_view name;
            if (sectionName(line.body, name)) {
                currentName = lowerAscii(name);
                current = seen.insert(currentName).second ? &currentName : nullptr;
                continue;
            }
            if (!current) continue;
            std::string_view k, v;
            if (!keyValue(line.body, k, v)) continue;
            p->values.emplace(*current + '\n' + lowerAscii(k),
                              std::string(v.substr(0, kMaxSettingLength)));
        }
        return p;
    }

    bool sameFile(const struct stat& st) const {
        return present && S_ISREG(st.st_mode) && st.st_dev == device && st.st_ino == inode &&
               st.st_size == size && st.st_mtim.tv_sec == modified.tv_sec &&
               st.st_mtim.tv_nsec == modified.tv_nsec;
    }
    void identify(const struct stat& st) {
        present = true;
        device = st.st_dev;
        inode = st.st_ino;
        size = st.st_size;
        modified = st.st_mtim;
    }
};

ProfileFile::ProfileFile(const std::string* pathSource) : source_(pathSource) {}

ProfileFile::ProfileFile(std::string path) : ownPath_(std::move(path)), source_(&ownPath_) {}

ProfileFile::~ProfileFile() = default;

const ProfileFile::Parsed& ProfileFile::current() const {
    if (inMemory_ && cache_) return *cache_;
    struct stat st {};
    const bool exists = !path().empty() && ::stat(path().c_str(), &st) == 0;
    if (cache_ && exists && cache_->sameFile(st)) return *cache_;
    if (cache_ && !exists && !cache_->present && !cache_->oversized) return *cache_;
    std::shared_ptr<Parsed> fresh;
    if (exists && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) > kMaxSettingsFileBytes) {
        fresh = Parsed::of({});
        fresh->oversized = true;
    } else if (exists && S_ISREG(st.st_mode)) {
        std::string content;
        int err = 0;
        struct stat read {};
        if (readWholeFile(path(), content, err, &read)) {
            fresh = Parsed::of(std::move(content));
            fresh->identify(read);
        } else {
            fresh = Parsed::of({});
            fresh->oversized = err == EFBIG;
        }
    } else {
        // Missing, or not a regular file (a FIFO is never opened): read as empty.
        fresh = Parsed::of({});
    }
    cache_ = std::move(fresh);
    return *cache_;
}

std::string ProfileFile::read(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    const Parsed& p = current();
    const auto it = p.values.find(lookupKey(section, key));
    if (it == p.values.end()) return std::string(fallback.substr(0, kMaxSettingLength));
    return it->second;
}

bool ProfileFile::oversized() const {
    return current().oversized;
}

void ProfileFile::keepChangesInMemory() {
    if (inMemory_) return;
    // What the run starts from: the file as it is now (an oversized one is not read).
    const Parsed& p = current();
    cache_ = Parsed::of(p.oversized ? std::string() : p.content);
    inMemory_ = true;
}

int ProfileFile::edit(std::string_view section, std::string_view key, std::string_view value,
                      bool remove) {
    int err = 0;
    if (!settingNameProblem(section, key).empty()) {
        err = EINVAL;
    } else if (inMemory_) {
        std::string out;
        if (applyEdit(current().content, trim(section), trim(key), value, remove, out))
            cache_ = Parsed::of(std::move(out));
    } else {
        std::string written;
        struct stat st {};
        err = editFile(path(), trim(section), trim(key), value, remove, &written, &st);
        if (err == 0 && st.st_ino != 0) {
            auto fresh = Parsed::of(std::move(written));
            fresh->identify(st);
            cache_ = std::move(fresh);
        } else {
            cache_.reset(); // read again from the file
        }
    }
    if (err != 0 && onWriteFailure) onWriteFailure(path(), err);
    return err;
}

int ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    return edit(section, key, oneLine(value), false);
}

int ProfileFile::remove(std::string_view section, std::string_view key) {
    return edit(section, key, {}, true);
}

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback) {
    return ProfileFile(path).read(section, key, fallback);
}

std::string settingNameProblem(std::string_view section, std::string_view key) {
    auto control = [](std::string_view s) {
        for (const char c : s)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
        return false;
    };
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty()) return "a section and a key name are needed";
    if (control(section) || control(key))
        return "a name may not hold line breaks or control characters";
    if (section.find(']') != std::string_view::npos || section.front() == '[')
        return "a section name may not hold \"[\" at its start or \"]\"";
    if (key.find('=') != std::string_view::npos || key.front() == '[')
        return "a key name may not hold \"=\" or \"[\" at its start";
    return {};
}

int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value) {
    // A name that could start a line or a section of its own is never written.
    if (!settingNameProblem(section, key).empty()) return EINVAL;
    return editFile(path, trim(section), trim(key), oneLine(value), false);
}

int deleteProfileKey(const std::string& path, std::string_view section, std::string_view key) {
    if (!settingNameProblem(section, key).empty()) return EINVAL;
    return editFile(path, trim(section), trim(key), {}, true);
}

std::string writeErrorText(int err) {
    switch (err) {
    case ENOENT:
        return "Error 2 - File not found";
    case ENOTDIR:
        return "Error 3 - Path not found";
    case EACCES:
    case EPERM:
        return "Error 5 - Access denied (read only?)";
    case EROFS:
        return "Error 19 - Write protected media";
    case EFBIG:
        return "Error 27 - File too large (over " + std::to_string(kMaxSettingsFileBytes >> 20) +
               " MB)";
    default:
        return "Error " + std::to_string(err);
    }
}

bool firstReportOfOversize(const std::string& path) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    return reported.insert(path).second;
}

void reportProfileWriteFailure(UserInterface* ui, const std::string& path, int err) {
    if (err == 0) return;
    // An oversized file refuses every write: say so once per file, not once per key.
    if (err == EFBIG && !firstReportOfOversize(path)) return;
    if (ui)
        ui->showMessage(MessageIcon::Error, "Lumivane",
                        "Failed to write to:- \r\n" + path + "\r\n" + writeErrorText(err));
}

int writeWholeFileAtomically(const std::string& path, const std::string& content) {
    return updateWholeFileAtomically(path, [&](std::string& out) {
        out = content;
        return 0;
    });
}

int updateWholeFileAtomically(const std::string& path,
                              const std::function<int(std::string& content)>& make) {
    // The same rules as a key's edit: one writer per folder, only the writer's own files and
    // links, a file without write permission left alone.
    std::string target;
    if (const int err = writeTarget(path, target)) return err;
    struct stat folderSt {};
    if (::stat(folderOf(path).c_str(), &folderSt) != 0) return errno;
    if (folderSt.st_uid != ::geteuid()) return EACCES;
    const std::string folder = folderOf(target);
    FdCloser lock;
    if (const int err = lockFolder(folder, lock.fd)) return err;
    removeStaleTemporaries(folder);
    mode_t mode = 0600;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        if (st.st_uid != ::geteuid()) return EACCES;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return errno;
    }
    std::string content;
    if (const int err = make(content)) return err;
    return replaceFile(target, content, mode);
}
