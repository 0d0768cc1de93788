// Case rules for the program's texts. Names, models and keys are compared in ASCII only, so
// the result never depends on the locale the program runs in. Also the one rule for showing
// a text that came from outside (a printer's answer, a file name) on one line.
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

// text made safe to show on one line of a terminal, a field or a job line: valid UTF-8
// characters that are not controls are kept; C0 controls, DEL, C1 controls (U+0080..U+009F,
// and the same as lone bytes such as 0x9B, which terminals act on) and every byte of an
// invalid sequence become '?'. The result is cut to at most maxBytes on a character boundary.
inline std::string printableText(std::string_view text, std::size_t maxBytes) {
    std::string out;
    out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t len = 1;
        bool ok = b >= 0x20 && b < 0x7F;
        if (b >= 0xC2 && b <= 0xF4) {
            len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            ok = i + len <= text.size();
            unsigned cp = b & (b < 0xE0 ? 0x1F : b < 0xF0 ? 0x0F : 0x07);
            for (std::size_t k = 1; ok && k < len; ++k) {
                const auto c = static_cast<unsigned char>(text[i + k]);
                ok = (c & 0xC0) == 0x80;
                cp = cp << 6 | (c & 0x3F);
            }
            // Overlong forms, surrogates, code points past U+10FFFF and the C1 controls.
            ok = ok && cp >= 0xA0 && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF &&
                 !(len == 3 && cp < 0x800) && !(len == 4 && cp < 0x10000);
            if (!ok) len = 1;
        }
        if (out.size() + (ok ? len : 1) > maxBytes) break;
        if (ok)
            out.append(text.substr(i, len));
        else
            out.push_back('?');
        i += len;
    }
    return out;
}
