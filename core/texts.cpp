#include "core/texts.h"

#include "core/numbers.h"

#include "core/app_state.h"

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

const std::string& text(const AppState& state, int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= state.texts.size()) return kEmpty;
    return state.texts[static_cast<std::size_t>(n)];
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

void loadBuiltInTexts(AppState& state) {
    state.texts.assign(kBuiltInTextCount, std::string());
    for (const auto& e : kBuiltIn)
        state.texts[static_cast<std::size_t>(e.number)] = e.text;
    for (auto& t : state.texts)
        t = applyTextEscapes(t);
    state.texts[0] = "Lumivane Basic";
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

float unitFactorFor(std::string_view unit) {
    if (unit == "C") return 10.0f;
    if (unit == "I") return 25.4f;
    return 1.0f;
}

void setUnit(AppState& state, std::string_view unit) {
    state.unitCode = (unit == "C" || unit == "I") ? std::string(unit) : std::string("M");
    state.unitFactor = unitFactorFor(state.unitCode);
    state.unitIndex = state.unitCode == "C" ? 1 : state.unitCode == "I" ? 2 : 0;
}

std::string formatLength(const AppState& state, float points) {
    if (state.unitCode == "I") return formatPicture(points / 72.0, "#.###");
    if (state.unitCode == "C") return formatPicture(points * 2.54 / 72.0, "#.##");
    return formatPicture(points * 25.4 / 72.0, "#.#");
}

double parseLength(const AppState& state, std::string_view s) {
    double v = leadingNumber(s, true);
    if (state.unitCode == "I") return v * 72.0;
    if (state.unitCode == "C") return v * 72.0 / 2.54;
    return v * 72.0 / 25.4;
}

const std::string& unitSymbol(const AppState& state) {
    if (state.unitCode == "I") return text(state, 2);
    if (state.unitCode == "C") return text(state, 3);
    return text(state, 4);
}
