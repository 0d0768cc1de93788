// Case rules for the program's texts. Names, models and keys are compared in ASCII only, so
// the result never depends on the locale the program runs in.
#pragma once

#include <string>
#include <string_view>

// s with a..z turned into A..Z.
inline std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// s with A..Z turned into a..z.
inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// True when a and b are equal but for the case of ASCII letters.
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// True when needle occurs in hay, ASCII letters compared without regard to case.
inline bool containsNoCase(std::string_view hay, std::string_view needle) {
    return lowerAscii(hay).find(lowerAscii(needle)) != std::string::npos;
}

// True when needle occurs in hay (case counts). Model and brand rules test by substring.
inline bool contains(std::string_view hay, std::string_view needle) {
    return hay.find(needle) != std::string_view::npos;
}
