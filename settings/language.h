// Language files "*.lan3" in the program folder.
#pragma once

#include <string>
#include <vector>

struct AppState;

// Highest entry number a language file may ask for; a larger count marks a damaged file.
inline constexpr int kMaxLanguageEntry = 9999;
// Largest language file read; a larger one is reported with its path and the built-in texts
// are used.
inline constexpr unsigned long kMaxLanguageFileBytes = 4ul << 20;

// Loads programFolder + fileName into state.texts (over the built-in table). A missing or
// outdated file, a name that is a path ("../x", "a/b") and a file larger than
// kMaxLanguageFileBytes are reported and leave the built-in English texts. Never fails otherwise:
// undecodable lines give empty or shortened texts, entries outside the table are ignored.
void loadLanguage(AppState& state, const std::string& fileName);

// True when the first line of the file at path contains "V3".
bool isCurrentLanguageFile(const std::string& path);

// The language list: names of the current files in programFolder (at most 30, sorted by file
// name), capitalised, and the index of the entry matching the stored "Language" (0 when none;
// -1 when the list is empty).
struct LanguageList {
    std::vector<std::string> names;
    int selected = -1;
};
LanguageList listLanguages(AppState& state);

// Confirms the language dialog with `name` selected. Returns true when the texts changed and
// the main window must be built again.
bool chooseLanguage(AppState& state, const std::string& name);

// Decodes one entry line; false when it holds no entry. Exposed for the tests and the tools.
bool decodeLanguageLine(const std::string& line, int& number, std::string& entry);
// Encodes an entry as a language file line (count prefix given for line 3, else empty).
std::string encodeLanguageLine(int number, const std::string& entry, const std::string& prefix);
