// The design-time picture: white bounds, the inscribed ellipse, and the
// 31 x 31 copy of the bitmap at the image's origin whatever the bounds.

#include "control/picture.h"

#include <gtest/gtest.h>

#include <set>

#include "control/sorvane.h"
#include "control_fixture.h"

namespace sorvane {
namespace {

constexpr std::uint32_t kUntouched = 0xFF123456u;
constexpr std::uint32_t kTeal = 0xFF008080u;

TEST(Picture, SixteenColourArtworkOnTeal) {
    const Image p = ControlPicture();
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 32);
    std::set<std::uint32_t> colours(p.pixels.begin(), p.pixels.end());
    EXPECT_LE(colours.size(), 16u);
    EXPECT_GT(colours.size(), 4u);
    for (std::uint32_t c : colours) {
        bool inPalette = false;
        for (int i = 0; i < 16; ++i)
            inPalette |= PaletteColour(i) == c;
        EXPECT_TRUE(inPalette) << std::hex << c;
    }
    EXPECT_EQ(p.At(0, 0), kTeal);
    EXPECT_EQ(p.At(31, 31), kTeal);
    const Image small = ToolboxBitmap();
    EXPECT_EQ(small.width, 16);
    EXPECT_EQ(small.height, 16);
}

TEST(Picture, BitmapLandsAtTheOriginWhenBoundsStartElsewhere) {
    Image image(200, 150, kUntouched);
    const Rect bounds{50, 40, 151, 101};  // 101 x 61
    DrawControl(image, bounds);
    const Image p = ControlPicture();
    for (int y = 0; y < 31; ++y) {
        for (int x = 0; x < 31; ++x)
            ASSERT_EQ(image.At(x, y), p.At(x, y)) << x << "," << y;
    }
    // Only 31 of the 32 columns and rows are copied.
    EXPECT_EQ(image.At(31, 0), kUntouched);
    EXPECT_EQ(image.At(0, 31), kUntouched);
    // Outside the bounds and the bitmap nothing changes.
    EXPECT_EQ(image.At(49, 70), kUntouched);
    EXPECT_EQ(image.At(151, 70), kUntouched);
    EXPECT_EQ(image.At(100, 39), kUntouched);
    EXPECT_EQ(image.At(100, 101), kUntouched);
    // The bounds' corners are white fill, outside the ellipse.
    EXPECT_EQ(image.At(50, 40), kWhite);
    EXPECT_EQ(image.At(150, 100), kWhite);
    // The ellipse touches the middle of each side of the bounds.
    EXPECT_EQ(image.At(50, 70), kBlack);
    EXPECT_EQ(image.At(150, 70), kBlack);
    EXPECT_EQ(image.At(100, 40), kBlack);
    EXPECT_EQ(image.At(100, 100), kBlack);
    // Its inside is left white (the default brush).
    EXPECT_EQ(image.At(100, 70), kWhite);
    EXPECT_EQ(image.At(60, 70), kWhite);
    // The outline is closed: every row inside the bounds crosses it twice.
    for (int y = 41; y < 100; ++y) {
        int blacks = 0;
        for (int x = 50; x < 151; ++x)
            blacks += image.At(x, y) == kBlack;
        EXPECT_GE(blacks, 2) << y;
    }
}

TEST(Picture, ClippedToTheImageAndHarmlessForOddInput) {
    Image tiny(10, 8, kUntouched);
    DrawControl(tiny, Rect{-100, -100, 1000, 1000});
    const Image p = ControlPicture();
    EXPECT_EQ(tiny.At(9, 7), p.At(9, 7));
    Image image(60, 60, kUntouched);
    DrawControl(image, Rect{40, 40, 30, 50});  // inverted: no fill, no ellipse
    EXPECT_EQ(image.At(35, 45), kUntouched);
    EXPECT_EQ(image.At(5, 5), p.At(5, 5));
    DrawControl(nullptr, 10, 10, Rect{0, 0, 10, 10});
    Image empty;
    DrawControl(empty, Rect{0, 0, 10, 10});
}

TEST(Picture, ThroughTheCInterface) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    Image image(64, 64, kUntouched);
    const SorvaneRect r{32, 32, 64, 64};
    ASSERT_EQ(sorvane_draw(object.object, image.pixels.data(), 64, 64, &r), 0);
    EXPECT_EQ(image.At(0, 0), kTeal);
    EXPECT_EQ(image.At(32, 32), kWhite);
    EXPECT_EQ(sorvane_draw(object.object, image.pixels.data(), 0, 64, &r), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_draw(object.object, nullptr, 64, 64, &r), SORVANE_E_POINTER);
}

}  // namespace
}  // namespace sorvane
