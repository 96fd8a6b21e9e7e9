#include "control/picture.h"

#include <algorithm>
#include <cstddef>

namespace sorvane {

namespace {

// One palette letter per pixel: 0 black, 6 teal, 7 silver, 8 grey, 2 green,
// 4 navy, 9 red, A lime, B yellow.
constexpr const char* kPictureRows[kPictureSize] = {
    "66666666666666666666666666666666", "66666666666666666666666666666666",
    "66608666666666666666666666666666", "666086666666666666666666666AA666",
    "66608666666666666666666666AAAA66", "66608666666666666666666666AAAAA6",
    "600000000066666666666666666AAA66", "607777777066666666666666666A6666",
    "60888888806666666666666666666666", "608222228066666666666666666A6666",
    "6082222280666666666666666AAA6666", "60822A2280666666666666666AAA6666",
    "6082AAA28066666666666666AAA66666", "60822A2280666B666B666666AAA66666",
    "608222228066B66666B6666AAA666666", "60822222806BBBBBBBBB666AA9666666",
    "608888888066B66666B666AAA6666666", "6077777770666B666B666AAAA6666666",
    "60777777706666666666AAAA66666666", "6074747470666666666AAAA666666666",
    "607878787066666666AAAA6666666666", "607777777066666666AAA6AA66666666",
    "607474747066666666666AAA66666666", "607878787066666666AA666666666666",
    "607777777066666666AAA66666666666", "607474747066666666AA666666666666",
    "6078787870666666666A666666666666", "60777777706666666666666666666666",
    "60000000006666666666666666666666", "66666666666666666666666666666666",
    "66666666666666666666666666666666", "66666666666666666666666666666666",
};

constexpr std::uint32_t kPalette[16] = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

int PaletteIndex(char letter) {
    if (letter >= '0' && letter <= '9')
        return letter - '0';
    if (letter >= 'A' && letter <= 'F')
        return letter - 'A' + 10;
    return 0;
}

// Inside the ellipse inscribed in the box, by the pixel centres; the half
// pixel added to each radius keeps the four extreme pixels on the outline.
struct Ellipse {
    double cx, cy, rx, ry;
    explicit Ellipse(const Rect& r)
        : cx(r.left + (static_cast<double>(r.right) - r.left - 1) / 2.0),
          cy(r.top + (static_cast<double>(r.bottom) - r.top - 1) / 2.0),
          rx((static_cast<double>(r.right) - r.left) / 2.0),
          ry((static_cast<double>(r.bottom) - r.top) / 2.0) {}
    bool Inside(double x, double y) const {
        const double dx = (x - cx) / rx;
        const double dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    }
};

}  // namespace

std::uint32_t PaletteColour(int index) {
    return kPalette[index & 15];
}

Image ControlPicture() {
    Image image(kPictureSize, kPictureSize);
    for (int y = 0; y < kPictureSize; ++y) {
        for (int x = 0; x < kPictureSize; ++x)
            image.pixels[y * kPictureSize + x] = kPalette[PaletteIndex(kPictureRows[y][x])];
    }
    return image;
}

Image ToolboxBitmap() {
    // Every other pixel of the picture keeps its outline at half size.
    const Image full = ControlPicture();
    Image small(kPictureSize / 2, kPictureSize / 2);
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x)
            small.pixels[y * small.width + x] = full.At(2 * x, 2 * y);
    }
    return small;
}

void DrawControl(std::uint32_t* pixels, int width, int height, const Rect& bounds) {
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    auto put = [&](int x, int y, std::uint32_t c) {
        pixels[static_cast<std::size_t>(y) * width + x] = c;
    };

    // The fill and the ellipse need a proper rectangle, as the platform's do.
    if (bounds.left < bounds.right && bounds.top < bounds.bottom) {
        const int x0 = std::max(bounds.left, 0);
        const int y0 = std::max(bounds.top, 0);
        const int x1 = std::min(bounds.right, width);
        const int y1 = std::min(bounds.bottom, height);
        const Ellipse e(bounds);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                std::uint32_t c = kWhite;
                if (e.Inside(x, y) && (!e.Inside(x - 1, y) || !e.Inside(x + 1, y) ||
                                       !e.Inside(x, y - 1) || !e.Inside(x, y + 1)))
                    c = kBlack;
                put(x, y, c);
            }
        }
    }

    const Image picture = ControlPicture();
    const int w = std::min(kPictureCopySize, width);
    const int h = std::min(kPictureCopySize, height);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            put(x, y, picture.At(x, y));
    }
}

void DrawControl(Image& image, const Rect& bounds) {
    DrawControl(image.pixels.data(), image.width, image.height, bounds);
}

}  // namespace sorvane
