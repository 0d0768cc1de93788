#include "pattern/ai_import.h"

#include "core/files.h"
#include "core/strings.h"
#include "core/ui.h"

#include <charconv>
#include <cmath>
#include <filesystem>

namespace {

// A drawing larger than this is not a shape for a pattern cell.
constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr int kFirstPointsPerCurve = 20;
constexpr int kFewestPointsPerCurve = 5;
constexpr double kMaxOperand = 1e7;

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.push_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

std::string_view trim(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\0'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\0'))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string_view> fields(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

bool number(std::string_view s, double& v) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    // Far beyond any page: such a line is not drawing data (and would overflow a float).
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v) &&
           std::fabs(v) <= kMaxOperand;
}

// The n numbers before the operator (the last n fields of the operands); false when the line
// does not carry them.
bool operands(std::string_view line, std::size_t opLength, std::size_t n, double* out) {
    const auto f = fields(line.substr(0, line.size() - opLength));
    if (f.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (!number(f[f.size() - n + i], out[i])) return false;
    return true;
}

// Version number of a creator line: the fourth blank-separated field, read as a number.
double creatorVersion(std::string_view lower) {
    const auto f = fields(lower);
    if (f.size() < 4) return 0.0;
    std::string_view v = f[3];
    std::size_t end = 0;
    while (end < v.size() && ((v[end] >= '0' && v[end] <= '9') || v[end] == '.'))
        ++end;
    double d = 0.0;
    const auto r = std::from_chars(v.data(), v.data() + end, d);
    return r.ec == std::errc() ? d : 0.0;
}

enum class Parse { Fits, TooMany };

struct Body {
    std::vector<ShapePolygon> polygons;
    bool curved = false;
};

float clampUp(double v) {
    return v < 0.0 ? 0.0f : static_cast<float>(v);
}

Parse parseBody(const std::vector<std::string_view>& lines, std::size_t first, int perCurve,
                Body& body) {
    body = Body{};
    std::int32_t fill = kShapeBlack;
    bool open = false; // a path has started and is not yet closed
    auto current = [&]() -> ShapePolygon& { return body.polygons.back(); };
    auto append = [&](double x, double y) {
        if (current().points.size() >= static_cast<std::size_t>(kMaxShapePoints)) return false;
        current().points.push_back({clampUp(x), clampUp(y)});
        return true;
    };
    for (std::size_t li = first; li < lines.size(); ++li) {
        const std::string_view raw = lines[li];
        if (raw.find("%%PageTrailer") != std::string_view::npos) break;
        const std::string_view line = trim(raw);
        if (line.empty()) continue;
        if (line.find(' ') == std::string_view::npos && line.find('\t') == std::string_view::npos &&
            (line[0] == 'f' || line[0] == 'F' || line[0] == 'b' || line[0] == 'B')) {
            open = false;
            continue;
        }
        double v[6];
        if (line.size() >= 2 && line.substr(line.size() - 2) == "Xa") {
            if (operands(line, 2, 4, v))
                fill = v[0] + v[1] + v[2] + v[3] == 0.0 ? kShapeWhite : kShapeBlack;
            continue;
        }
        const char op = line.back();
        if (line.size() >= 2 && line[line.size() - 2] != ' ' && line[line.size() - 2] != '\t')
            continue; // the operator is a word of its own
        switch (op) {
        case 'k':
            if (operands(line, 1, 4, v))
                fill = v[0] + v[1] + v[2] + v[3] < 0.5 ? kShapeWhite : kShapeBlack;
            break;
        case 'm':
            if (!operands(line, 1, 2, v)) break;
            // An earlier path that was never filled is not part of the shape.
            if (open)
                current() = ShapePolygon{};
            else {
                if (body.polygons.size() >= static_cast<std::size_t>(kMaxShapePolygons))
                    return Parse::TooMany;
                body.polygons.emplace_back();
            }
            current().fill = fill;
            current().points.push_back({clampUp(v[0]), clampUp(v[1])});
            open = true;
            break;
        case 'l':
        case 'L':
            if (!open || !operands(line, 1, 2, v)) break;
            if (!append(v[0], v[1])) return Parse::TooMany;
            break;
        case 'c':
        case 'C': {
            if (!open || !operands(line, 1, 6, v)) break;
            body.curved = true;
            const ShapePoint p0 = current().points.back();
            for (int i = 1; i <= perCurve; ++i) {
                const double t = static_cast<double>(i) / perCurve;
                const double u = 1.0 - t;
                const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
                if (!append(a * p0.x + b * v[0] + c * v[2] + d * v[4],
                            a * p0.y + b * v[1] + c * v[3] + d * v[5]))
                    return Parse::TooMany;
            }
            break;
        }
        default:
            break;
        }
    }
    // A path left open at the end is not filled either.
    if (open) body.polygons.pop_back();
    return Parse::Fits;
}

// Shift to the origin, height 1, y downwards. False when nothing usable is there.
bool normalise(std::vector<ShapePolygon>& polygons) {
    double minX = 1000.0, minY = 1000.0, maxX = -1000.0, maxY = -1000.0;
    for (const auto& p : polygons)
        for (const auto& pt : p.points) {
            minX = std::min(minX, static_cast<double>(pt.x));
            minY = std::min(minY, static_cast<double>(pt.y));
            maxX = std::max(maxX, static_cast<double>(pt.x));
            maxY = std::max(maxY, static_cast<double>(pt.y));
        }
    // Everything beyond 1000 units (or nothing at all) leaves the minimums where they began;
    // a drawing without height cannot be scaled to height 1.
    if (minX >= 1000.0 || minY >= 1000.0 || !(maxY > minY)) return false;
    const double scale = 1.0 / (maxY - minY);
    double top = 0.0;
    for (auto& p : polygons)
        for (auto& pt : p.points) {
            pt.x = static_cast<float>(std::max(0.0, pt.x - minX) * scale);
            pt.y = static_cast<float>(std::max(0.0, pt.y - minY) * scale);
            top = std::max(top, static_cast<double>(pt.y));
        }
    bool fits = true;
    for (auto& p : polygons)
        for (auto& pt : p.points) {
            pt.y = static_cast<float>(top - pt.y);
            // A drawing far wider than high would not be a usable cell (nor a valid record).
            fits =
                fits && std::isfinite(pt.x) && std::isfinite(pt.y) && pt.x <= kMaxShapeCoordinate;
        }
    return fits;
}

} // namespace

AiConversion convertIllustrator(std::string_view bytes, std::string_view baseName) {
    AiConversion result;
    if (bytes.size() > kMaxFileBytes) {
        result.status = kAiUnexpectedFile;
        return result;
    }
    const std::vector<std::string_view> lines = splitLines(bytes);
    double version = 0.0;
    std::size_t body = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string lower = lowerAscii(lines[i]);
        if (lower.find("%%creator: adobe illustrator(") != std::string::npos) {
            version = creatorVersion(lower);
            if (version > 8.0) {
                result.status = kAiVersionTooNew;
                return result;
            }
        } else if (lower.find("%pdf") != std::string::npos) {
            result.status = kAiPdfBased;
            return result;
        } else if (lower.find("%%endsetup") != std::string::npos) {
            body = i + 1;
            break;
        }
    }
    if (body == lines.size() && version == 0.0) {
        result.status = kAiUnexpectedFile;
        return result;
    }
    Body parsed;
    for (int n = kFirstPointsPerCurve;; --n) {
        if (n < kFewestPointsPerCurve) {
            result.status = kAiTooManyNodes;
            return result;
        }
        result.pointsPerCurve = n;
        if (parseBody(lines, body, n, parsed) == Parse::Fits) break;
        if (!parsed.curved ||
            parsed.polygons.size() > static_cast<std::size_t>(kMaxShapePolygons)) {
            result.status = kAiTooManyNodes;
            return result;
        }
    }
    result.curved = parsed.curved;
    if (!normalise(parsed.polygons)) {
        result.status = kAiUnexpectedFile;
        return result;
    }
    result.shape.polygons = std::move(parsed.polygons);
    result.shape.name = std::string(baseName);
    result.status = static_cast<int>(result.shape.polygons.size());
    return result;
}

std::string aiFailureText(int status) {
    const char* reason = status == kAiTooManyNodes     ? "To many nodes"
                         : status == kAiUnexpectedFile ? "Unexpected file"
                         : status == kAiVersionTooNew  ? "AI file greater than Ver 8"
                         : status == kAiPdfBased       ? "PDF Version of AI"
                                                       : nullptr;
    return reason ? std::string("Conversion failed\n") + reason : std::string();
}

AiConversion importIllustratorFile(const std::string& path, const Feedback& feedback) {
    AiConversion result;
    const std::filesystem::path p(path);
    std::string bytes;
    bool readable = lowerAscii(p.extension().string()) == ".ai";
    // Only a regular file within the cap: a FIFO would block the open, a device never end.
    if (readable) readable = readRegularFile(path, kMaxFileBytes, bytes) == ReadResult::Ok;
    if (readable)
        result = convertIllustrator(bytes, p.stem().string());
    else
        result.status = kAiUnexpectedFile;
    if (result.status < 0)
        feedback.message(MessageIcon::Error, "Converter", aiFailureText(result.status));
    return result;
}
