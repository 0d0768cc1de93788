#include "settings/language.h"

#include "core/state.h"
#include "core/files.h"
#include "core/strings.h"
#include "core/texts.h"
#include "core/ui.h"
#include "settings/settings.h"

#include <algorithm>
#include <dirent.h>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr int kMaxListed = 30;

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Each whole group of four characters gives three bytes; decoding stops at the first
// character outside the alphabet, so a damaged line gives a shortened text.
std::string decodeBase64(std::string_view s) {
    std::string out;
    out.reserve(s.size() / 4 * 3);
    for (std::size_t i = 0; i + 4 <= s.size(); i += 4) {
        int v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = base64Value(s[i + static_cast<std::size_t>(k)]);
        if (v[0] < 0 || v[1] < 0) break;
        out += static_cast<char>((v[0] << 2) | (v[1] >> 4));
        if (v[2] < 0) break;
        out += static_cast<char>(((v[1] & 15) << 4) | (v[2] >> 2));
        if (v[3] < 0) break;
        out += static_cast<char>(((v[2] & 3) << 6) | v[3]);
    }
    while (!out.empty() && out.back() == '\0')
        out.pop_back();
    return out;
}

std::string encodeBase64(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 3) {
        unsigned a = static_cast<unsigned char>(s[i]);
        unsigned b = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        unsigned c = i + 2 < s.size() ? static_cast<unsigned char>(s[i + 2]) : 0;
        unsigned v = (a << 16) | (b << 8) | c;
        // Short groups are padded with zero bytes, which the reader strips again.
        for (int k = 3; k >= 0; --k)
            out += kAlphabet[(v >> (6 * k)) & 63];
    }
    return out;
}

// Leading decimal number of s; false when s does not start with a digit. Saturates instead of
// overflowing.
bool leadingNumber(std::string_view s, long long& value) {
    std::size_t i = 0;
    value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (value < 1000000000000LL) value = value * 10 + (s[i] - '0');
        ++i;
    }
    return i > 0;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void finishTexts(TextTable& table) {
    for (auto& t : table.texts)
        t = applyTextEscapes(t);
    if (table.texts.empty()) table.texts.resize(1);
    table.texts[0] = "Lumivane Basic";
}

void report(UserInterface* ui, MessageIcon icon, const std::string& caption,
            const std::string& text) {
    if (ui) ui->showMessage(icon, caption, text);
}

std::string capitalised(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

bool endsWithLan3(const std::string& name) {
    if (name.size() < 5) return false;
    std::string ext = name.substr(name.size() - 5);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".lan3";
}

std::string storedLanguageStem(const ProfileFile& settings) {
    std::string stored = readSetting(settings, keys::kLanguage);
    return stored.substr(0, stored.find('.'));
}

} // namespace

bool decodeLanguageLine(const std::string& line, int& number, std::string& entry) {
    std::size_t n = line.find('N');
    if (n == std::string::npos) return false;
    std::string payload = decodeBase64(std::string_view(line).substr(n + 1));
    std::size_t first = payload.find_first_not_of('*');
    if (first == std::string::npos) return false;
    std::size_t last = payload.find_last_not_of('*');
    payload = payload.substr(first, last - first + 1);
    long long value = 0;
    if (!leadingNumber(payload, value)) return false;
    std::size_t mark = payload.find('N');
    if (mark == std::string::npos) return false;
    number = value > 0x7fffffff ? 0x7fffffff : static_cast<int>(value);
    entry = payload.substr(mark + 1);
    return true;
}

std::string encodeLanguageLine(int number, const std::string& entry, const std::string& prefix) {
    return prefix + "N" + encodeBase64("****" + std::to_string(number) + "N" + entry + "****");
}

bool isCurrentLanguageFile(const std::string& path) {
    std::string content;
    if (readRegularFile(path, kMaxLanguageFileBytes, content) != ReadResult::Ok) return false;
    std::istringstream in(content);
    std::string line;
    if (!readLine(in, line)) return false;
    return line.find("V3") != std::string::npos;
}

void loadLanguage(TextTable& table, const std::string& programFolder, const std::string& fileName,
                  UserInterface* ui) {
    const std::string path = programFolder + fileName;
    loadBuiltInTexts(table);
    // The name comes from the settings file: only a file of the program folder is read, never
    // a path that leads elsewhere ("../../../tmp/x").
    if (fileName.find('/') != std::string::npos || fileName == "..") {
        report(ui, MessageIcon::Error, "Lumivane",
               fileName + " is not a language file of the program folder\r\n"
                          "Loading defaults - Please set language once open");
        finishTexts(table);
        return;
    }
    if (!fileExists(path)) {
        report(ui, MessageIcon::Error, "Lumivane",
               path + " Missing\r\nLoading defaults - Please set language once open");
        finishTexts(table);
        return;
    }
    std::string content;
    if (readRegularFile(path, kMaxLanguageFileBytes, content) == ReadResult::TooLarge) {
        report(ui, MessageIcon::Error, "Lumivane",
               path + " is larger than " + std::to_string(kMaxLanguageFileBytes >> 20) +
                   " MB and was not read\r\nLoading defaults - Please set language once open");
        finishTexts(table);
        return;
    }
    std::istringstream in(content);
    std::string line1, line2, line;
    readLine(in, line1);
    readLine(in, line2);
    if (line1.find("Draxilon Language file V1") != std::string::npos ||
        line1.find("Draxilon Language file V2") != std::string::npos) {
        report(ui, MessageIcon::Warning, "Draxilon",
               "The Language file is out of date, please reinstall\r\nLoading Defaults");
        finishTexts(table);
        return;
    }
    if (line1.find("Draxilon Language file V3") != std::string::npos && readLine(in, line)) {
        long long count = 0;
        leadingNumber(line, count);
        // A count past the largest sensible table marks a damaged file: keep the table at that
        // size and ignore the entries beyond it.
        int last =
            count <= 312 ? 312 : static_cast<int>(std::min<long long>(count, kMaxLanguageEntry));
        table.texts.resize(static_cast<std::size_t>(last) + 1);
        // number is the entry last stored; a line outside the table is ignored and does not
        // count as stored.
        auto store = [&](const std::string& l, int& number) {
            std::string entry;
            int n = -1;
            if (!decodeLanguageLine(l, n, entry)) return;
            if (n < 0 || n > last) return;
            table.texts[static_cast<std::size_t>(n)] = entry;
            number = n;
        };
        int number = -1;
        store(line, number);
        int stored = 0;
        if (number < last) {
            while (readLine(in, line)) {
                if (line.find(">>>") != std::string::npos) break;
                store(line, number);
                ++stored;
                if (stored > last || number >= last) break;
            }
        }
    }
    finishTexts(table);
}

LanguageList listLanguages(const std::string& programFolder, const ProfileFile& settings) {
    LanguageList list;
    std::vector<std::string> files;
    if (DIR* dir = ::opendir(programFolder.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (endsWithLan3(name)) files.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(files.begin(), files.end());
    if (files.size() > kMaxListed) files.resize(kMaxListed);
    for (const auto& f : files) {
        if (!isCurrentLanguageFile(programFolder + f)) continue;
        list.names.push_back(capitalised(f.substr(0, f.size() - 5)));
    }
    if (list.names.empty()) return list;
    list.selected = 0;
    const std::string stem = capitalised(storedLanguageStem(settings));
    if (!stem.empty())
        for (std::size_t i = 0; i < list.names.size(); ++i)
            if (list.names[i].rfind(stem, 0) == 0) {
                list.selected = static_cast<int>(i);
                break;
            }
    return list;
}

bool chooseLanguage(TextTable& table, ProfileFile& settings, const std::string& programFolder,
                    UserInterface* ui, const std::string& name) {
    if (!name.empty() && name == storedLanguageStem(settings)) return false;
    if (name.empty()) {
        report(ui, MessageIcon::Error, "Lumivane",
               "Language file missing\r\nLoading defaults - Please set language again");
        loadBuiltInTexts(table);
        return true;
    }
    // A name that leads out of the program folder is neither loaded nor stored, so the next
    // start does not meet it again.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
        report(ui, MessageIcon::Error, "Lumivane",
               printableText(name, 255) + " is not a language file of the program folder");
        return false;
    }
    loadLanguage(table, programFolder, name + ".lan3", ui);
    writeSetting(settings, keys::kLanguage, name + ".lan3");
    table.languageFile = name + ".lan3";
    return true;
}
