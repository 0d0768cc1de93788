#include "core/units.h"

#include "core/numbers.h"
#include "core/texts.h"

Unit unitFromSetting(std::string_view value) {
    if (value == "C") return Unit::Centimetre;
    if (value == "I") return Unit::Inch;
    return Unit::Millimetre;
}

const char* unitSetting(Unit unit) {
    switch (unit) {
    case Unit::Centimetre:
        return "C";
    case Unit::Inch:
        return "I";
    default:
        return "M";
    }
}

double millimetresPerUnit(Unit unit) {
    switch (unit) {
    case Unit::Centimetre:
        return 10.0;
    case Unit::Inch:
        return 25.4;
    default:
        return 1.0;
    }
}

// Each unit keeps its own formula: the shown digits must not depend on a detour through
// another unit's rounding.
std::string formatLength(Unit unit, float points) {
    switch (unit) {
    case Unit::Inch:
        return formatPicture(points / 72.0, "#.###");
    case Unit::Centimetre:
        return formatPicture(points * 2.54 / 72.0, "#.##");
    default:
        return formatPicture(points * 25.4 / 72.0, "#.#");
    }
}

double parseLength(Unit unit, std::string_view text) {
    const double v = leadingNumber(text, true);
    switch (unit) {
    case Unit::Inch:
        return v * 72.0;
    case Unit::Centimetre:
        return v * 72.0 / 2.54;
    default:
        return v * 72.0 / 25.4;
    }
}

int unitSymbolText(Unit unit) {
    switch (unit) {
    case Unit::Inch:
        return 2;
    case Unit::Centimetre:
        return 3;
    default:
        return 4;
    }
}

const std::string& unitSymbol(Unit unit, const TextTable& texts) {
    return text(texts, unitSymbolText(unit));
}
