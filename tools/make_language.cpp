// Writes a language file (.lan3). With "--built-in" the entries come from the program's
// built-in English table; otherwise from a UTF-8 source of lines "NUMBER<TAB>TEXT".
//   make_language --built-in OUT LABEL
//   make_language SOURCE OUT LABEL
#include "core/texts.h"
#include "settings/language.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_language --built-in|SOURCE OUT LABEL\n");
        return 2;
    }
    const std::string source = argv[1];
    std::map<int, std::string> entries;
    if (source == "--built-in") {
        for (int n = 0; n < 313; ++n) {
            std::string_view t = builtInText(n);
            if (!t.empty()) entries[n] = std::string(t);
        }
    } else {
        std::ifstream in(source, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "make_language: cannot read %s\n", source.c_str());
            return 1;
        }
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            std::size_t tab = line.find('\t');
            if (tab == std::string::npos || tab == 0 ||
                line.find_first_not_of("0123456789") != tab) {
                std::fprintf(stderr, "%s:%d: expected NUMBER<TAB>TEXT\n", source.c_str(), lineNo);
                return 1;
            }
            entries[std::stoi(line.substr(0, tab))] = line.substr(tab + 1);
        }
    }
    entries[0] = "Lumivane Basic";
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "Draxilon Language file V3\r\n" << argv[3] << "\r\n";
    bool first = true;
    for (const auto& [n, t] : entries) {
        // Line 3 carries the entry count in front of its entry.
        out << encodeLanguageLine(n, t, first ? std::to_string(entries.size()) : std::string())
            << "\r\n";
        first = false;
    }
    out << ">>>\r\n";
    return out.good() ? 0 : 1;
}
