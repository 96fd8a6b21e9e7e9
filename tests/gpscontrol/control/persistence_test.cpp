// The 28-byte persisted form, the reset and the modified flag.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "control/persisted_properties.h"
#include "control/sorvane_ctrl.h"
#include "control/tsorvane.h"
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
    PersistedProperties p;
    p.extentWidth = -2;
    p.extentHeight = 0x01020304;
    p.BaudRate = 115200;
    p.CommPort = -3;
    p.Parity = 0x0102;
    p.DataLength = 7;
    p.StopBit = 2;
    const auto b = EncodeProperties(p);
    EXPECT_EQ(Bytes(b.begin(), b.end()),
              (Bytes{0x05, 0x00, 0x03, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03,
                     0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC2, 0x01, 0x00,
                     0xFD, 0xFF, 0x02, 0x01, 0x07, 0x00, 0x02, 0x00}));
    PersistedProperties back;
    ASSERT_EQ(DecodeProperties(b, &back), LoadStatus::Complete);
    EXPECT_EQ(back.extentWidth, -2);
    EXPECT_EQ(back.CommPort, -3);
    EXPECT_EQ(back.Parity, 0x0102);
    EXPECT_EQ(back.BaudRate, 115200);
}

TEST(Persistence, SaveAndReloadKeepsChangedProperties) {
    CSorvaneCtrl first, second;
    first.SetCommPort(3);
    first.SetBaudRate(4800);
    first.SetExtent(1000, 500);
    const auto saved = first.Save();
    EXPECT_FALSE(first.IsModified());
    EXPECT_EQ(second.Load(saved), LoadStatus::Complete);
    EXPECT_EQ(PropsOf(second), (Props{4800, 3, 0, 8, 0}));
    EXPECT_EQ(second.ExtentWidth(), 1000);
    EXPECT_EQ(second.ExtentHeight(), 500);
    EXPECT_FALSE(second.IsModified());
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

TEST(Persistence, ThroughTheWrapperAndTheCInterface) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    controltest::ObjectRef other(controltest::MakeObject(true));
    TSorvane gps(object.object);
    EXPECT_FALSE(gps.IsDirty());
    gps.set_CommPort(3);
    gps.set_BaudRate(4800);
    EXPECT_TRUE(gps.IsDirty());
    const auto saved = gps.Save();
    EXPECT_FALSE(gps.IsDirty());
    EXPECT_EQ(sorvane_load(other.object, saved.data(), saved.size()), 0);
    EXPECT_EQ(PropsOf(other.ctrl()), (Props{4800, 3, 0, 8, 0}));
    EXPECT_EQ(sorvane_load(other.object, saved.data(), 10), 1);  // short: defaults, S_FALSE
    EXPECT_EQ(PropsOf(other.ctrl()), kDefaults);
    EXPECT_EQ(sorvane_load(other.object, nullptr, 5), SORVANE_E_POINTER);
    std::uint8_t small[27];
    EXPECT_EQ(sorvane_save(other.object, small, sizeof small), SORVANE_E_INVALIDARG);
    gps.Reset();
    EXPECT_EQ(gps.get_CommPort(), 1);
    EXPECT_EQ(gps.get_BaudRate(), 9600);
}

}  // namespace
}  // namespace sorvane
