#include "pattern/pattern_mask.h"

#include "core/numbers.h"
#include "core/strings.h"
#include "core/texts.h"
#include "core/ui.h"
#include "settings/settings.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {

// The canvas is an RGB32 bitmap: keep it below 1 GiB.
constexpr double kMaxCanvasPixels = 256.0 * 1024 * 1024;

std::string millimetres(double v) {
    std::string s = formatFixed(v, 3);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    const std::size_t a = s.find_first_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a);
}

} // namespace

PatternSettings readPatternSettings(ProfileFile& settings, bool writeBack) {
    PatternSettings s;
    s.shape = readSetting(settings, keys::kPatternShape);
    if (s.shape.empty()) s.shape = "Ellipse";
    const auto length = [&](const SettingKey& key, double& out) {
        out = readSettingNumber(settings, key);
        if (out == 0.0) {
            out = 1.0;
            if (writeBack) writeSetting(settings, key, "1");
        }
    };
    length(keys::kPatternSizeX, s.sizeX);
    length(keys::kPatternSizeY, s.sizeY);
    length(keys::kPatternGap, s.gap);
    const std::string screen = trimmed(readSetting(settings, keys::kPatternScreen));
    s.screen = screen == "45" ? 45 : screen == "0" ? 0 : -1;
    s.invert = trimmed(readSetting(settings, keys::kPatternMask)) == "1";
    return s;
}

void writePatternSettings(ProfileFile& settings, const PatternSettings& s) {
    writeSetting(settings, keys::kPatternShape, s.shape);
    writeSetting(settings, keys::kPatternSizeX, millimetres(s.sizeX));
    writeSetting(settings, keys::kPatternSizeY, millimetres(s.sizeY));
    writeSetting(settings, keys::kPatternGap, millimetres(s.gap));
    writeSetting(settings, keys::kPatternScreen, s.screen == 0 ? "0" : "45");
    writeSetting(settings, keys::kPatternMask, s.invert ? "1" : "0");
}

void ensurePatternDefaults(ProfileFile& settings) {
    static const std::pair<const SettingKey*, const char*> defaults[] = {
        {&keys::kPatternSizeX, "2"},
        {&keys::kPatternSizeY, "2"},
        {&keys::kPatternGap, "1"},
        {&keys::kPatternScreen, "45"},
        {&keys::kPatternShape, "Ellipse"}};
    for (const auto& [key, value] : defaults)
        if (readSetting(settings, *key, "").empty()) writeSetting(settings, *key, value);
}

std::string patternSettingsProblem(const PatternSettings& s) {
    const auto bad = [](double v) { return !std::isfinite(v); };
    if (bad(s.sizeX) || s.sizeX <= 0.0 || s.sizeX > kMaxPatternLength)
        return "The shape width must be above 0 and at most 1000 mm.";
    if (bad(s.sizeY) || s.sizeY <= 0.0 || s.sizeY > kMaxPatternLength)
        return "The shape height must be above 0 and at most 1000 mm.";
    if (bad(s.gap) || s.gap > kMaxPatternLength || s.gap < -std::min(s.sizeX, s.sizeY) / 2)
        return "The shape gap must be at most 1000 mm and above minus half the shape size.";
    return {};
}

PatternCell patternCell(const PatternSettings& s, double k, const ShapeRecord* library) {
    PatternCell cell;
    const double g = k * s.gap;
    const std::string shape = lowerAscii(s.shape);
    if (shape != "ellipse" && shape != "rectangle" && library && !library->polygons.empty()) {
        cell.kind = PatternCell::Kind::Library;
        double minX = 1000, minY = 1000, maxX = 0, maxY = 0;
        for (const ShapePolygon& p : library->polygons) {
            ShapePolygon scaled;
            scaled.fill = p.fill;
            for (const ShapePoint& pt : p.points) {
                const ShapePoint q{static_cast<float>(k * pt.x * s.sizeX),
                                   static_cast<float>(k * pt.y * s.sizeY)};
                minX = std::min(minX, static_cast<double>(q.x));
                minY = std::min(minY, static_cast<double>(q.y));
                maxX = std::max(maxX, static_cast<double>(q.x));
                maxY = std::max(maxY, static_cast<double>(q.y));
                scaled.points.push_back(q);
            }
            cell.polygons.push_back(std::move(scaled));
        }
        const double f = s.screen == 45 ? library->spacing45 : library->spacing0;
        cell.stepX = (maxX - minX) + g;
        cell.stepY = ((maxY - minY) + g) * (1.0 + f);
        cell.offset = roundHalfEven(maxX / 2 + g / 2);
        return cell;
    }
    cell.kind = shape == "rectangle" ? PatternCell::Kind::Rectangle : PatternCell::Kind::Ellipse;
    cell.width = k * s.sizeX;
    cell.height = k * s.sizeY;
    cell.stepX = cell.width + g;
    cell.stepY = cell.height + g;
    if (cell.kind == PatternCell::Kind::Ellipse && s.screen == 45)
        cell.stepY = cell.stepY - 0.13 * cell.stepY;
    cell.offset = roundHalfEven(cell.width / 2 + g / 2);
    return cell;
}

std::vector<std::uint8_t> drawPatternCanvas(const PatternSettings& s, const PatternCell& cell,
                                            int width, int height, const Feedback& feedback) {
    std::vector<std::uint8_t> out;
    if (width <= 0 || height <= 0) return out;
    QImage canvas(width, height, QImage::Format_RGB32);
    if (canvas.isNull()) return out;
    canvas.fill(s.invert ? Qt::black : Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(Qt::NoPen);
        const QColor ink = s.invert ? Qt::white : Qt::black;
        // A step below one pixel would never advance.
        const int stepX = std::max(1, roundHalfEven(cell.stepX));
        const int stepY = std::max(1, roundHalfEven(cell.stepY));
        const double sx = std::max(1.0, cell.stepX);
        const double sy = std::max(1.0, cell.stepY);
        bool shifted = false;
        for (int y = 1; y <= height - sy; y += stepY) {
            // Staggered rows start half a step further along.
            const int start = s.screen == 45 && shifted ? 1 + cell.offset : 1;
            shifted = !shifted;
            for (int x = start; x <= width - sx; x += stepX) {
                // Pixel (x, y) counted from 1 is the painter's (x - 1, y - 1).
                const double px = x - 1, py = y - 1;
                switch (cell.kind) {
                case PatternCell::Kind::Ellipse:
                    painter.setBrush(ink);
                    painter.drawEllipse(QRectF(px, py, cell.width, cell.height));
                    break;
                case PatternCell::Kind::Rectangle:
                    painter.fillRect(QRectF(px, py, cell.width, cell.height), ink);
                    break;
                case PatternCell::Kind::Library:
                    for (const ShapePolygon& p : cell.polygons) {
                        QColor fill = ink;
                        if (!s.invert)
                            fill =
                                QColor(p.fill & 0xFF, (p.fill >> 8) & 0xFF, (p.fill >> 16) & 0xFF);
                        QPolygonF poly;
                        for (const ShapePoint& pt : p.points)
                            poly << QPointF(px + pt.x, py + pt.y);
                        painter.setBrush(fill);
                        painter.drawPolygon(poly);
                    }
                    break;
                }
            }
            feedback.progress(static_cast<int>(100.0 * y / height));
        }
    }
    out.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(qBlue(row[x]));
    }
    return out;
}

PatternMask generatePatternMask(const ProfileFile& settings, int width, int height, double k,
                                const PatternSettings& s, const Feedback& feedback) {
    PatternMask mask;
    const std::string problem = patternSettingsProblem(s);
    if (width <= 0 || height <= 0 || !(k > 0.0) || !std::isfinite(k) || !problem.empty()) {
        if (!problem.empty()) feedback.message(MessageIcon::Error, "Pattern Print", problem);
        return mask;
    }
    const double cw = width + std::round(2 * k * s.sizeX);
    const double ch = height + std::round(k * s.sizeY);
    if (cw * ch > kMaxCanvasPixels) {
        feedback.message(MessageIcon::Error, "Pattern Print",
                         "The pattern is too large for this picture: choose a smaller shape size.");
        return mask;
    }
    ShapeRecord record;
    const std::string shape = lowerAscii(s.shape);
    const bool library = shape != "ellipse" && shape != "rectangle" &&
                         loadShape(settings, s.shape, record, feedback) == ShapeLookup::Found;
    const PatternCell cell = patternCell(s, k, library ? &record : nullptr);
    const int canvasWidth = roundHalfEven(cw);
    const int canvasHeight = roundHalfEven(ch);
    const std::vector<std::uint8_t> canvas =
        drawPatternCanvas(s, cell, canvasWidth, canvasHeight, feedback);
    if (canvas.empty()) {
        feedback.progress(0);
        return mask;
    }
    mask.width = width;
    mask.height = height;
    mask.bytes.assign(static_cast<std::size_t>(width) * height, 0);
    // The picture sits half a shape in from the canvas's left edge.
    const int cut = std::max(1, roundHalfEven(k * s.sizeX / 2)) - 1;
    for (int r = 0; r < height && r < canvasHeight; ++r) {
        const int n = std::clamp(canvasWidth - cut, 0, width);
        std::copy_n(canvas.begin() + static_cast<std::ptrdiff_t>(r) * canvasWidth + cut, n,
                    mask.bytes.begin() + static_cast<std::ptrdiff_t>(r) * width);
        feedback.progress(static_cast<int>(100.0 * (r + 1) / height));
    }
    feedback.progress(0);
    return mask;
}

PatternMask orientPatternMask(const PatternMask& in, bool mirror, bool flip, bool rotate) {
    PatternMask out;
    const int w = in.width, h = in.height;
    if (w <= 0 || h <= 0 || in.bytes.size() != static_cast<std::size_t>(w) * h) return out;
    // The picture is flipped by reading it upside down and mirroring it once more.
    const bool reverseColumns = mirror != flip;
    out.width = rotate ? h : w;
    out.height = rotate ? w : h;
    out.bytes.resize(in.bytes.size());
    for (int sy = 1; sy <= h; ++sy) {
        const int y = flip ? h + 1 - sy : sy;
        for (int sx = 1; sx <= w; ++sx) {
            const std::uint8_t v = in.bytes[static_cast<std::size_t>(sy - 1) * w + (sx - 1)];
            std::size_t cell;
            if (!rotate) {
                const int x = reverseColumns ? w + 1 - sx : sx;
                cell = static_cast<std::size_t>(y - 1) * w + (x - 1);
            } else {
                // As the separation turns the picture: anticlockwise, transposed when mirrored.
                const int row = reverseColumns ? sx : w + 1 - sx;
                cell = static_cast<std::size_t>(row - 1) * h + (y - 1);
            }
            out.bytes[cell] = v;
        }
    }
    return out;
}

PatternMask generateImagePatternMask(const Picture& picture, const Layout& layout,
                                     ProfileFile& settings, const Feedback& feedback) {
    const int w = picture.imagePixelWidth;
    const int h = picture.imagePixelHeight;
    const double printedWidth = layout.rotateChecked ? layout.placedHeightPt : layout.placedWidthPt;
    if (picture.imageLoaded != 1 || w <= 0 || h <= 0 || !(printedWidth > 0.0)) return {};
    const double k = w * 72.0 / (printedWidth * 25.4);
    const PatternMask mask =
        generatePatternMask(settings, w, h, k, readPatternSettings(settings), feedback);
    return orientPatternMask(mask, layout.mirrorChecked, layout.flipChecked, layout.rotateChecked);
}

std::string encodePatternMask(const PatternMask& mask) {
    std::string out;
    for (const int v : {mask.width, mask.height})
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    out.append(mask.bytes.begin(), mask.bytes.end());
    return out;
}
