#include "image/crop.h"

#include "core/numbers.h"
#include "core/state.h"
#include "core/ui.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool autoCrop(Picture& picture, int border, int& width, int& height, const Feedback& feedback) {
    const int w = width;
    const int h = height;
    if (w <= 0 || h <= 0) return false;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (picture.imageBuffer.size() / 5 < pixels) return false;
    border = std::max(0, border);

    // Keep the resolution so the picture keeps its printed scale.
    const float xDpi = picture.imageWidthPt > 0 ? w / (picture.imageWidthPt / 72.0f) : picture.xDpi;
    const float yDpi =
        picture.imageHeightPt > 0 ? h / (picture.imageHeightPt / 72.0f) : picture.yDpi;

    // Ink = any colorant; alpha is not consulted.
    int top = h, left = w, bottom = 0, right = 0;
    bool anyInk = false;
    const std::uint8_t* buf = picture.imageBuffer.data();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = buf + static_cast<std::size_t>(y) * w * 5;
        bool firstInRow = true;
        for (int x = 0; x < w; ++x, p += 5) {
            if (p[0] + p[1] + p[2] + p[3] == 0) continue;
            anyInk = true;
            if (firstInRow) {
                top = std::min(top, y);
                left = std::min(left, x);
                bottom = std::max(bottom, top);
                firstInRow = false;
            }
            // Every ink pixel counts for the right edge, the first of a row too: otherwise
            // ink standing alone at the start of its row would be cut off.
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    }
    // A picture without ink has no rectangle to crop to.
    if (!anyInk) return false;

    // Widen by the border, never past the picture.
    left = std::max(0, left - border);
    top = std::max(0, top - border);
    right = std::min(w, right + border);
    bottom = std::min(h - 1, bottom + border);
    const int newWidth = right - left;
    const int newHeight = bottom + 1 - top;
    if (newWidth <= 0 || newHeight <= 0) return false;
    if (!(newWidth < w && newHeight < h)) return false;

    // Rows move towards the start of the buffer, so the crop works in place.
    const std::size_t newRowBytes = static_cast<std::size_t>(newWidth) * 5;
    for (int row = 0; row < newHeight; ++row) {
        const std::uint8_t* from =
            buf + (static_cast<std::size_t>(top + row) * w + static_cast<std::size_t>(left)) * 5;
        std::uint8_t* to = picture.imageBuffer.data() + static_cast<std::size_t>(row) * newRowBytes;
        std::memmove(to, from, newRowBytes);
        feedback.progress(roundHalfEven(50.0 * (row + 1) / newHeight));
    }
    picture.imageBuffer.resize(newRowBytes * static_cast<std::size_t>(newHeight));

    width = newWidth;
    height = newHeight;
    picture.imagePixelWidth = picture.gridWidth = newWidth;
    picture.imagePixelHeight = picture.gridHeight = newHeight;
    picture.imageWidthPt = 72.0f * newWidth / xDpi;
    picture.imageHeightPt = 72.0f * newHeight / yDpi;
    return true;
}
