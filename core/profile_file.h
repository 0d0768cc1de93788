// Private-profile (INI) files: the platform module behind the settings file, configuration
// snapshots and the shared settings file.
//
// Sections and keys are matched without regard to case; the first section of a name is the
// one used, and the first key of a name in it. A write rewrites only the value of its key and
// keeps every other line; a new key goes at the end of its section, a new section at the end
// of the file. Writes replace the file atomically (temporary file + rename), so a failed write
// never loses the old file, and writes into one folder are serialised with an flock on
// ".settings.lock" in it.
#pragma once

#include "core/no_widgets.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct UserInterface;

// Largest settings file read or written; a larger one is damaged: reads give their fallback
// at once and writes fail with EFBIG (the file is never shortened).
inline constexpr unsigned long kMaxSettingsFileBytes = 16ul << 20;

// Longest value a read returns, in bytes.
inline constexpr std::size_t kMaxSettingLength = 255;

// One private-profile file, parsed once and read from memory while the file stays the same
// (same inode, size and modification time): a write by another program is seen at the next
// read, and reading a hundred keys opens the file once.
class ProfileFile {
  public:
    // A file whose path is pathSource's value at each use (the session's settings path, which
    // start-up resolves); it must outlive this object.
    explicit ProfileFile(const std::string* pathSource);
    // A file at a fixed path (a snapshot).
    explicit ProfileFile(std::string path = {});
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    const std::string& path() const { return *source_; }

    // Key of section: leading and trailing blanks removed, cut to kMaxSettingLength bytes. A
    // missing, unreadable, non-regular or oversized file, section or key gives fallback.
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback = {}) const;

    // Writes key = value into section, creating file, section or key as needed. 0 on
    // success, otherwise the errno value of the failure (file untouched): EINVAL for names
    // settingNameProblem refuses, EACCES for a folder or file (or the file a symbolic link
    // leads to) that is not the writer's own, EFBIG for an oversized file. A failure is also
    // handed to onWriteFailure.
    int write(std::string_view section, std::string_view key, std::string_view value);
    // Removes key from section; 0 on success (also when it did not exist).
    int remove(std::string_view section, std::string_view key);

    // From now on writes change only what this object reads; the file itself is never
    // written (a command-line run's options act on the settings for that run alone). What
    // the file held is read once, now; an oversized file counts as empty.
    void keepChangesInMemory();
    bool changesStayInMemory() const { return inMemory_; }

    // True when the file is larger than kMaxSettingsFileBytes.
    bool oversized() const;

    // Told the path and errno of every failed write or remove.
    std::function<void(const std::string& path, int err)> onWriteFailure;

  private:
    struct Parsed;
    const Parsed& current() const;
    int edit(std::string_view section, std::string_view key, std::string_view value, bool remove);

    std::string ownPath_;
    const std::string* source_;
    bool inMemory_ = false;
    mutable std::shared_ptr<const Parsed> cache_;
};

// Why section and key cannot be stored as names (empty, a control character or line break,
// "[" at the start, "]" in a section, "=" in a key), or empty when they can.
std::string settingNameProblem(std::string_view section, std::string_view key);

// The error text shown for a failed write with this errno value.
std::string writeErrorText(int err);

// The program's one report of a failed settings write through ui: "Failed to write to:- ",
// the path and the error text. An oversized file (EFBIG) is reported once per path, not once
// per key. Nothing for err 0 or a null ui.
void reportProfileWriteFailure(UserInterface* ui, const std::string& path, int err);

// True the first time it is asked for path (later calls false): the one-report rule of an
// oversized record.
bool firstReportOfOversize(const std::string& path);

// Replaces the file at path with content atomically (a linked file is updated in place of
// the link; an existing file keeps its mode, a new one is private). 0 or the errno value.
int writeWholeFileAtomically(const std::string& path, const std::string& content);

// Replaces the file at path with what make gives, as one step under the folder's write lock
// (the rules of writeWholeFileAtomically): make runs with the lock held and reads the old
// content itself, so two programs editing the same file never lose each other's change. make
// returns 0 with the new content in its argument, or an errno value to leave the file as it is.
int updateWholeFileAtomically(const std::string& path,
                              const std::function<int(std::string& content)>& make);
