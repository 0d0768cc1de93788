// Language files "*.lan3" in the program folder.
#pragma once

#include "core/profile_file.h"
#include "core/state.h"

#include <string>
#include <vector>

struct UserInterface;

// Highest entry number a language file may ask for; a larger count marks a damaged file.
inline constexpr int kMaxLanguageEntry = 9999;
// Largest language file read; a larger one is reported with its path and the built-in texts
// are used.
inline constexpr unsigned long kMaxLanguageFileBytes = 4ul << 20;

// Loads programFolder + fileName into table (over the built-in table). A missing or outdated
// file, a name that is a path ("../x", "a/b") and a file larger than kMaxLanguageFileBytes are
// reported through ui and leave the built-in English texts. Never fails otherwise: undecodable
// lines give empty or shortened texts, entries outside the table are ignored.
void loadLanguage(TextTable& table, const std::string& programFolder, const std::string& fileName,
                  UserInterface* ui);

// True when the first line of the file at path contains "V3".
bool isCurrentLanguageFile(const std::string& path);

// The language list: names of the current files in programFolder (at most 30, sorted by file
// name), capitalised, and the index of the entry matching the stored "Language" (0 when none;
// -1 when the list is empty).
struct LanguageList {
    std::vector<std::string> names;
    int selected = -1;
};
LanguageList listLanguages(const std::string& programFolder, const ProfileFile& settings);

// Confirms the language dialog with `name` selected: loads it into table and stores it as
// "Language" (problems reported through ui). Returns true when the texts changed and the main
// window must be built again.
bool chooseLanguage(TextTable& table, ProfileFile& settings, const std::string& programFolder,
                    UserInterface* ui, const std::string& name);

// Decodes one entry line; false when it holds no entry. Exposed for the tests and the tools.
bool decodeLanguageLine(const std::string& line, int& number, std::string& entry);
// Encodes an entry as a language file line (count prefix given for line 3, else empty).
std::string encodeLanguageLine(int number, const std::string& entry, const std::string& prefix);
