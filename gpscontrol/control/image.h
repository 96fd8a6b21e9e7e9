#pragma once
// A plain 32-bit ARGB pixel buffer and a rectangle: what the control's
// design-time picture is drawn into. Header-only, so that hosts need nothing
// of the library's C++ side.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorvane {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // rows of width pixels, 0xAARRGGBB

    Image() = default;
    Image(int w, int h, std::uint32_t fill = 0)
        : width(std::max(w, 0)),
          height(std::max(h, 0)),
          pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Right and bottom are exclusive, as the platform's rectangles are.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

}  // namespace sorvane
