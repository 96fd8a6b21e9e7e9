// What a container sees of the control: the 28-byte persisted form, the reset
// and the modified flag, and the design-time picture (white bounds, the
// inscribed ellipse, and the 31 x 31 copy of the bitmap at the image's origin
// whatever the bounds).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <tuple>
#include <vector>

#include "control/persisted_properties.h"
#include "control/picture.h"
#include "control_fixture.h"

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Props = std::array<int, 5>;  // BaudRate, CommPort, Parity, DataLength, StopBit

constexpr Props kDefaults = {9600, 1, 0, 8, 0};
// What the desktop program stores for its control: extent 2646 x 1323 and
// the five defaults.
const Bytes kDefaultBlock = {0x05, 0x00, 0x03, 0x00, 0x56, 0x0A, 0x00, 0x00, 0x2B, 0x05,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x25, 0x00, 0x00,
                             0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};

Props PropsOf(const CSorvaneCtrl& c) {
    return {c.GetBaudRate(), c.GetCommPort(), c.GetParity(), c.GetDataLength(), c.GetStopBit()};
}

Bytes SavedBy(CSorvaneCtrl& c) {
    const auto saved = c.Save();
    return Bytes(saved.begin(), saved.end());
}

TEST(Persistence, EveryWriteMarksModifiedAndResetRestoresTheDefaults) {
    CSorvaneCtrl c;
    EXPECT_EQ(PropsOf(c), kDefaults);
    EXPECT_FALSE(c.IsModified());
    EXPECT_EQ(SavedBy(c), kDefaultBlock);
    const std::function<void()> writes[] = {[&] { c.SetBaudRate(9600); },  // the same value
                                            [&] { c.SetCommPort(2); }, [&] { c.SetParity(1); },
                                            [&] { c.SetDataLength(7); }, [&] { c.SetStopBit(1); }};
    for (const auto& write : writes) {
        c.SetModifiedFlag(false);
        write();
        EXPECT_TRUE(c.IsModified());
    }
    EXPECT_EQ(PropsOf(c), (Props{9600, 2, 1, 7, 1}));
    c.ResetState();
    EXPECT_EQ(PropsOf(c), kDefaults);
    EXPECT_FALSE(c.IsModified());
    EXPECT_EQ(SavedBy(c), kDefaultBlock);
}

TEST(Persistence, EveryFieldAtItsOffsetLittleEndian) {
    const auto b = EncodeProperties({.extentWidth = -2,
                                     .extentHeight = 0x01020304,
                                     .BaudRate = 115200,
                                     .CommPort = -3,
                                     .Parity = 0x0102,
                                     .DataLength = 7,
                                     .StopBit = 2});
    EXPECT_EQ(Bytes(b.begin(), b.end()),
              (Bytes{0x05, 0x00, 0x03, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03,
                     0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC2, 0x01, 0x00,
                     0xFD, 0xFF, 0x02, 0x01, 0x07, 0x00, 0x02, 0x00}));
    PersistedProperties back;
    ASSERT_EQ(DecodeProperties(b, &back), LoadStatus::Complete);
    EXPECT_EQ(EncodeProperties(back), b);
}

TEST(Persistence, ShortOrForeignStreamsLoadWithDefaultsForWhatIsMissing) {
    // Cut inside CommPort: BaudRate arrives, CommPort and the rest do not.
    Bytes block = kDefaultBlock;
    block[16] = 0xC0;  // BaudRate 4800
    block[17] = 0x12;
    block[20] = 0x05;  // CommPort 5, cut below
    CSorvaneCtrl c;
    c.SetCommPort(9);
    EXPECT_EQ(c.Load(std::span(block).first(21)), LoadStatus::Short);
    EXPECT_EQ(PropsOf(c), (Props{4800, 1, 0, 8, 0}));
    for (std::size_t n : {0u, 3u, 4u, 15u, 16u, 19u, 27u}) {
        SCOPED_TRACE(n);
        CSorvaneCtrl d;
        d.SetBaudRate(1200);
        d.SetStopBit(2);
        EXPECT_EQ(d.Load(std::span(kDefaultBlock).first(n)), LoadStatus::Short);
        EXPECT_EQ(PropsOf(d), kDefaults);
        if (n < 12) {
            EXPECT_EQ(d.ExtentHeight(), kDefaultExtentHeight);
        }
    }
    // Bytes after the 28 are not ours and are ignored.
    Bytes longer = kDefaultBlock;
    longer.push_back(0xFF);
    CSorvaneCtrl e;
    EXPECT_EQ(e.Load(longer), LoadStatus::Complete);
    EXPECT_EQ(PropsOf(e), kDefaults);
    // Stock properties we do not have would follow: what comes is not ours.
    block[12] = 0x01;
    EXPECT_EQ(e.Load(block), LoadStatus::ForeignStock);
    EXPECT_EQ(PropsOf(e), kDefaults);
}

TEST(Persistence, SaveAndReloadThroughTheWrapperAndTheCInterface) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    controltest::ObjectRef other(controltest::MakeObject(true));
    TSorvane gps(object.object);
    EXPECT_FALSE(gps.IsDirty());
    gps.set_CommPort(3);
    gps.set_BaudRate(4800);
    object.ctrl().SetExtent(1000, 500);
    EXPECT_TRUE(gps.IsDirty());
    const auto saved = gps.Save();
    EXPECT_FALSE(gps.IsDirty());
    EXPECT_EQ(sorvane_load(other.object, saved.data(), saved.size()), 0);
    EXPECT_EQ(PropsOf(other.ctrl()), (Props{4800, 3, 0, 8, 0}));
    EXPECT_EQ(std::pair(other.ctrl().ExtentWidth(), other.ctrl().ExtentHeight()),
              std::pair(1000, 500));
    EXPECT_FALSE(other.ctrl().IsModified());
    EXPECT_EQ(sorvane_load(other.object, saved.data(), 10), 1);  // short: defaults, S_FALSE
    EXPECT_EQ(PropsOf(other.ctrl()), kDefaults);
    EXPECT_EQ(sorvane_load(other.object, nullptr, 5), SORVANE_E_POINTER);
    std::uint8_t small[27];
    EXPECT_EQ(sorvane_save(other.object, small, sizeof small), SORVANE_E_INVALIDARG);
    gps.Reset();
    EXPECT_EQ(gps.get_CommPort(), 1);
    EXPECT_EQ(gps.get_BaudRate(), 9600);
}

// ---- the picture ----------------------------------------------------------------

constexpr std::uint32_t kUntouched = 0xFF123456u;
constexpr std::uint32_t kTeal = 0xFF008080u;

TEST(Picture, SixteenColoursOnTealAtTheOriginWhenBoundsStartElsewhere) {
    const Image p = ControlPicture();
    ASSERT_EQ(std::pair(p.width, p.height), std::pair(32, 32));
    std::set<std::uint32_t> palette, colours(p.pixels.begin(), p.pixels.end());
    for (int i = 0; i < 16; ++i)
        palette.insert(PaletteColour(i));
    EXPECT_GT(colours.size(), 4u);
    EXPECT_TRUE(std::includes(palette.begin(), palette.end(), colours.begin(), colours.end()));
    EXPECT_EQ(p.At(31, 31), kTeal);
    EXPECT_EQ(std::pair(ToolboxBitmap().width, ToolboxBitmap().height), std::pair(16, 16));

    Image image(200, 150, kUntouched);
    DrawControl(image, Rect{50, 40, 151, 101});  // 101 x 61
    for (int y = 0; y < 31; ++y) {
        for (int x = 0; x < 31; ++x)
            ASSERT_EQ(image.At(x, y), p.At(x, y)) << x << "," << y;
    }
    // Only 31 of the 32 columns and rows are copied; outside the bounds and the
    // bitmap nothing changes; the bounds' corners are white fill, outside the
    // ellipse, which touches the middle of each side and stays white inside.
    const std::tuple<int, int, std::uint32_t> pixels[] = {
        {31, 0, kUntouched},   {0, 31, kUntouched},    {49, 70, kUntouched}, {151, 70, kUntouched},
        {100, 39, kUntouched}, {100, 101, kUntouched}, {50, 40, kWhite},     {150, 100, kWhite},
        {50, 70, kBlack},      {150, 70, kBlack},      {100, 40, kBlack},    {100, 100, kBlack},
        {100, 70, kWhite},     {60, 70, kWhite}};
    for (const auto& [x, y, colour] : pixels)
        EXPECT_EQ(image.At(x, y), colour) << x << "," << y;
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
