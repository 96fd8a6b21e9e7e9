// The 28-byte persisted form, the reset and the modified flag.

#include <gtest/gtest.h>

#include <vector>

#include "control/persisted_properties.h"
#include "control/sorvane_ctrl.h"
#include "control/tsorvane.h"
#include "control_fixture.h"

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What the desktop program stores for its control: extent 2646 x 1323 and
// the five defaults.
const Bytes kDefaultBlock = {0x05, 0x00, 0x03, 0x00, 0x56, 0x0A, 0x00, 0x00, 0x2B, 0x05,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x25, 0x00, 0x00,
                             0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};

void ExpectDefaults(const CSorvaneCtrl& c) {
    EXPECT_EQ(c.GetBaudRate(), 9600);
    EXPECT_EQ(c.GetCommPort(), 1);
    EXPECT_EQ(c.GetParity(), 0);
    EXPECT_EQ(c.GetDataLength(), 8);
    EXPECT_EQ(c.GetStopBit(), 0);
}

TEST(Persistence, FreshControlSavesTheDefaultBlock) {
    CSorvaneCtrl c;
    ExpectDefaults(c);
    const auto saved = c.Save();
    EXPECT_EQ(Bytes(saved.begin(), saved.end()), kDefaultBlock);
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
    CSorvaneCtrl first;
    first.SetCommPort(3);
    first.SetBaudRate(4800);
    first.SetExtent(1000, 500);
    const auto saved = first.Save();
    EXPECT_FALSE(first.IsModified());

    CSorvaneCtrl second;
    EXPECT_EQ(second.Load(saved), LoadStatus::Complete);
    EXPECT_EQ(second.GetCommPort(), 3);
    EXPECT_EQ(second.GetBaudRate(), 4800);
    EXPECT_EQ(second.GetParity(), 0);
    EXPECT_EQ(second.ExtentWidth(), 1000);
    EXPECT_EQ(second.ExtentHeight(), 500);
    EXPECT_FALSE(second.IsModified());
}

TEST(Persistence, ShortStreamsLoadWithDefaultsForWhatIsMissing) {
    // Cut inside CommPort: BaudRate arrives, CommPort and the rest do not.
    Bytes block = kDefaultBlock;
    block[16] = 0xC0;  // BaudRate 4800
    block[17] = 0x12;
    block[20] = 0x05;  // CommPort 5, cut below
    CSorvaneCtrl c;
    c.SetCommPort(9);
    EXPECT_EQ(c.Load(std::span(block).first(21)), LoadStatus::Short);
    EXPECT_EQ(c.GetBaudRate(), 4800);
    EXPECT_EQ(c.GetCommPort(), 1);
    EXPECT_EQ(c.GetDataLength(), 8);

    for (std::size_t n : {0u, 3u, 4u, 15u, 16u, 19u, 27u}) {
        SCOPED_TRACE(n);
        CSorvaneCtrl d;
        d.SetBaudRate(1200);
        d.SetStopBit(2);
        EXPECT_EQ(d.Load(std::span(kDefaultBlock).first(n)), LoadStatus::Short);
        ExpectDefaults(d);
        if (n < 12) {
            EXPECT_EQ(d.ExtentHeight(), kDefaultExtentHeight);
        }
    }
    // Bytes after the 28 are not ours and are ignored.
    Bytes longer = kDefaultBlock;
    longer.push_back(0xFF);
    CSorvaneCtrl e;
    EXPECT_EQ(e.Load(longer), LoadStatus::Complete);
    ExpectDefaults(e);
}

TEST(Persistence, StockPropertiesWeDoNotHaveAreNotTakenForOurs) {
    Bytes block = kDefaultBlock;
    block[12] = 0x01;  // a stock property would follow
    block[16] = 0xC0;
    block[17] = 0x12;
    CSorvaneCtrl c;
    EXPECT_EQ(c.Load(block), LoadStatus::ForeignStock);
    ExpectDefaults(c);
}

TEST(Persistence, ResetRestoresTheDefaults) {
    CSorvaneCtrl c;
    c.SetBaudRate(19200);
    c.SetCommPort(4);
    c.SetParity(2);
    c.SetDataLength(7);
    c.SetStopBit(2);
    EXPECT_TRUE(c.IsModified());
    c.ResetState();
    ExpectDefaults(c);
    EXPECT_FALSE(c.IsModified());
}

TEST(Persistence, EveryPropertyWriteMarksModified) {
    CSorvaneCtrl c;
    auto check = [&](auto write) {
        c.SetModifiedFlag(false);
        write();
        EXPECT_TRUE(c.IsModified());
    };
    check([&] { c.SetBaudRate(9600); });  // even to the same value
    check([&] { c.SetCommPort(2); });
    check([&] { c.SetParity(1); });
    check([&] { c.SetDataLength(7); });
    check([&] { c.SetStopBit(1); });
}

TEST(Persistence, ThroughTheWrapperAndTheCInterface) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    TSorvane gps(object.object);
    EXPECT_FALSE(gps.IsDirty());
    gps.set_CommPort(3);
    gps.set_BaudRate(4800);
    EXPECT_TRUE(gps.IsDirty());
    const auto saved = gps.Save();
    EXPECT_FALSE(gps.IsDirty());

    controltest::ObjectRef other(controltest::MakeObject(true));
    EXPECT_EQ(sorvane_load(other.object, saved.data(), saved.size()), 0);
    EXPECT_EQ(other.ctrl().GetCommPort(), 3);
    EXPECT_EQ(other.ctrl().GetBaudRate(), 4800);
    EXPECT_EQ(sorvane_load(other.object, saved.data(), 10), 1);  // short: defaults, S_FALSE
    EXPECT_EQ(other.ctrl().GetBaudRate(), 9600);
    EXPECT_EQ(sorvane_load(other.object, nullptr, 5), SORVANE_E_POINTER);
    std::uint8_t small[27];
    EXPECT_EQ(sorvane_save(other.object, small, sizeof small), SORVANE_E_INVALIDARG);
    gps.Reset();
    EXPECT_EQ(gps.get_CommPort(), 1);
    EXPECT_EQ(gps.get_BaudRate(), 9600);
}

}  // namespace
}  // namespace sorvane
