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
    std::set<std::uint32_t> palette, colours(p.pixels.begin(), p.pixels.end());
    for (int i = 0; i < 16; ++i)
        palette.insert(PaletteColour(i));
    EXPECT_GT(colours.size(), 4u);
    for (std::uint32_t c : colours)
        EXPECT_TRUE(palette.count(c)) << std::hex << c;
    EXPECT_EQ(p.At(0, 0), kTeal);
    EXPECT_EQ(p.At(31, 31), kTeal);
    EXPECT_EQ(ToolboxBitmap().width, 16);
    EXPECT_EQ(ToolboxBitmap().height, 16);
}

TEST(Picture, BitmapLandsAtTheOriginWhenBoundsStartElsewhere) {
    Image image(200, 150, kUntouched);
    DrawControl(image, Rect{50, 40, 151, 101});  // 101 x 61
    const Image p = ControlPicture();
    for (int y = 0; y < 31; ++y) {
        for (int x = 0; x < 31; ++x)
            ASSERT_EQ(image.At(x, y), p.At(x, y)) << x << "," << y;
    }
    // Only 31 of the 32 columns and rows are copied; outside the bounds and the
    // bitmap nothing changes; the bounds' corners are white fill, outside the
    // ellipse, which touches the middle of each side and stays white inside.
    struct Pixel {
        int x, y;
        std::uint32_t colour;
    };
    const Pixel pixels[] = {{31, 0, kUntouched},   {0, 31, kUntouched},   {49, 70, kUntouched},
                            {151, 70, kUntouched}, {100, 39, kUntouched}, {100, 101, kUntouched},
                            {50, 40, kWhite},      {150, 100, kWhite},    {50, 70, kBlack},
                            {150, 70, kBlack},     {100, 40, kBlack},     {100, 100, kBlack},
                            {100, 70, kWhite},     {60, 70, kWhite}};
    for (const Pixel& px : pixels)
        EXPECT_EQ(image.At(px.x, px.y), px.colour) << px.x << "," << px.y;
    // The outline is closed: every row inside the bounds crosses it twice.
    for (int y = 41; y < 100; ++y) {
        int blacks = 0;
        for (int x = 50; x < 151; ++x)
            blacks += image.At(x, y) == kBlack;
        EXPECT_GE(blacks, 2) << y;
    }
}

TEST(Picture, ClippedToTheImageAndHarmlessForOddInput) {
    const Image p = ControlPicture();
    Image tiny(10, 8, kUntouched);
    DrawControl(tiny, Rect{-100, -100, 1000, 1000});
    EXPECT_EQ(tiny.At(9, 7), p.At(9, 7));
    Image image(60, 60, kUntouched);
    DrawControl(image, Rect{40, 40, 30, 50});  // inverted: no fill, no ellipse
    EXPECT_EQ(image.At(35, 45), kUntouched);
    EXPECT_EQ(image.At(5, 5), p.At(5, 5));
    DrawControl(nullptr, 10, 10, Rect{0, 0, 10, 10});
    Image empty;
    DrawControl(empty, Rect{0, 0, 10, 10});

    controltest::ObjectRef object(controltest::MakeObject(true));
    Image through(64, 64, kUntouched);
    const SorvaneRect r{32, 32, 64, 64};
    ASSERT_EQ(sorvane_draw(object.object, through.pixels.data(), 64, 64, &r), 0);
    EXPECT_EQ(through.At(0, 0), kTeal);
    EXPECT_EQ(through.At(32, 32), kWhite);
    EXPECT_EQ(sorvane_draw(object.object, through.pixels.data(), 0, 64, &r), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_draw(object.object, nullptr, 64, 64, &r), SORVANE_E_POINTER);
}

}  // namespace
}  // namespace sorvane
