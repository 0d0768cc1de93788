// The settings file: private-profile (INI) text files read and written at the point of use.
//
// Sections and keys are matched without regard to case. A write rewrites only the value of its
// key and keeps every other line; a new key goes at the end of its section, a new section at
// the end of the file. Writes replace the file atomically (temporary file + rename), so a
// failed write never loses the old file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

struct AppState;

// Largest settings file read or written; a larger one is damaged: reads give their fallback
// at once and writes fail with EFBIG (the file is never shortened).
inline constexpr unsigned long kMaxSettingsFileBytes = 16ul << 20;

// Longest value a read returns, in bytes.
inline constexpr std::size_t kMaxSettingLength = 255;

// Reads key of section from the file at path. Leading and trailing blanks of the value are
// removed and the value is cut to 255 bytes. A missing file, section or key gives fallback.
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback = {});

// Why section and key cannot be stored as names (empty, a control character or line break,
// "[" at the start, "]" in a section, "=" in a key), or empty when they can.
std::string settingNameProblem(std::string_view section, std::string_view key);

// Writes key = value into section of the file at path, creating file, section or key as
// needed. Returns 0 on success, otherwise the errno value of the failure (file untouched):
// EINVAL for names settingNameProblem refuses, EACCES for a folder or file (or the file a
// symbolic link leads to) that is not the writer's own. Writes into one folder are serialised
// with an flock on ".settings.lock" in it; stale temporary files of killed writes are removed.
int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value);

// Removes key from section of the file at path; 0 on success (also when it did not exist).
int deleteProfileKey(const std::string& path, std::string_view section, std::string_view key);

// The error text shown for a failed write with this errno value.
std::string writeErrorText(int err);

// Decimal text of a number as the program writes it into settings: a leading blank when the
// number is not negative (" 0", " 12", "-3").
std::string settingNumber(long long value);

// readProfileString on state.settingsPath (fallback empty unless given).
std::string readSetting(const AppState& state, std::string_view section, std::string_view key,
                        std::string_view fallback = {});
// readProfileString on state.sharedSettingsPath.
std::string readSharedSetting(const AppState& state, std::string_view section, std::string_view key,
                              std::string_view fallback = {});
// Writes to state.settingsPath; a failure is shown through the state's seam ("Failed to write
// to:- ", the path, the error text) and the value is simply not stored. True on success.
bool writeSetting(AppState& state, std::string_view section, std::string_view key,
                  std::string_view value);
// writeSetting with settingNumber(value).
bool writeSettingNumber(AppState& state, std::string_view section, std::string_view key,
                        long long value);
// The same on state.sharedSettingsPath.
bool writeSharedSetting(AppState& state, std::string_view section, std::string_view key,
                        std::string_view value);

// Numeric value of a setting text as the platform reads numbers: leading blanks skipped, then
// an optional sign and decimal digits with an optional fraction; anything else ends the number.
// Returns 0 when the text does not start with a number.
double settingValue(std::string_view text);

// Fills the settings record of the state (and the recent-file record) from the file.
void readSettingsRecord(AppState& state);

// True when the settings file is larger than kMaxSettingsFileBytes: it is reported once per
// path (with the path) and never read or rewritten; the caller runs on the defaults.
bool reportOversizedSettings(AppState& state);

// Replaces the file at path with content atomically (a linked file is updated in place of
// the link; an existing file keeps its mode, a new one is private). 0 or the errno value.
int writeWholeFileAtomically(const std::string& path, const std::string& content);

// Replaces the file at path with what make gives, as one step under the folder's write lock
// (the rules of writeWholeFileAtomically): make runs with the lock held and reads the old
// content itself, so two programs editing the same file never lose each other's change. make
// returns 0 with the new content in its argument, or an errno value to leave the file as it is.
int updateWholeFileAtomically(const std::string& path,
                              const std::function<int(std::string& content)>& make);

// Shows the failed-write message for path and err (nothing for 0); true when err is 0.
bool reportFailedWrite(AppState& state, const std::string& path, int err);
