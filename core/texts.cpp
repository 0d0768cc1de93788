#include "core/texts.h"

#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <map>

namespace {

struct BuiltIn {
    int number;
    const char* text;
};

const BuiltIn kBuiltIn[] = {
#include "core/builtin_texts.inc"
};

const std::string kEmpty;

} // namespace

const std::string& text(const TextTable& table, int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= table.texts.size()) return kEmpty;
    return table.texts[static_cast<std::size_t>(n)];
}

std::string_view builtInText(int n) {
    for (const auto& e : kBuiltIn)
        if (e.number == n) return e.text;
    return {};
}

std::string applyTextEscapes(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            if (s.substr(i, 4) == "\\num") {
                out += "\\num";
                i += 3;
            } else {
                out += "\r\n";
                ++i;
            }
        } else {
            out += s[i];
        }
    }
    return out;
}

void loadBuiltInTexts(TextTable& table) {
    table.texts.assign(kBuiltInTextCount, std::string());
    for (const auto& e : kBuiltIn)
        table.texts[static_cast<std::size_t>(e.number)] = e.text;
    for (auto& t : table.texts)
        t = applyTextEscapes(t);
    table.texts[0] = "Lumivane Basic";
}

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string s(buf, r.ptr);
    // "-0.0" reads badly in a size field.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

std::string formatPicture(double value, std::string_view picture) {
    std::size_t point = picture.find('.');
    int decimals = 0;
    if (point != std::string_view::npos)
        for (std::size_t i = point + 1; i < picture.size() && picture[i] == '#'; ++i)
            ++decimals;
    // Halves go away from zero, as a display picture rounds.
    double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    std::string s = formatFixed(rounded, decimals);
    if (!picture.empty() && picture.back() == '%') s += '%';
    return s;
}
