#include "link/product_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace sorvane {
namespace {

class ProductTable : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }
};

TEST_F(ProductTable, KnownProductsSelectTheirRow) {
    EXPECT_EQ(GetWaypointType(96), 4103);
    EXPECT_EQ(GetRouteHeaderType(96), 4201);
    EXPECT_EQ(GetCharacterSet(96), 1);
    EXPECT_EQ(GetWaypointType(119), 4104);
    EXPECT_EQ(GetWaypointType(41), 4101);
    EXPECT_EQ(GetCharacterSet(105), 2);
    EXPECT_EQ(GetCharacterSet(62), 2);
    EXPECT_EQ(GetWaypointType(153), 4108);
    EXPECT_EQ(GetRouteHeaderType(153), 4202);
    EXPECT_EQ(GetCharacterSet(153), 2);
    EXPECT_TRUE(IsNewerFamily(130));
    EXPECT_FALSE(IsNewerFamily(129));
}

TEST_F(ProductTable, UnknownProductsGetThePlainestLayouts) {
    for (std::int32_t id : {500, 0, -1, 999}) {
        EXPECT_EQ(GetWaypointType(id), 4101) << id;
        EXPECT_EQ(GetRouteHeaderType(id), 4201) << id;
        EXPECT_EQ(GetCharacterSet(id), 1) << id;
        EXPECT_FALSE(IsNewerFamily(id)) << id;
        EXPECT_FALSE(IsKnownProduct(id)) << id;
    }
}

TEST_F(ProductTable, TwentySixRowsInTableOrder) {
    EXPECT_EQ(ProductTableRow(0).productId, 87);
    EXPECT_EQ(ProductTableRow(3).productId, 96);
    EXPECT_EQ(ProductTableRow(10).productId, 96);
    EXPECT_STREQ(ProductTableRow(10).modelName, "GPS48");
    EXPECT_EQ(ProductTableRow(16).productId, 111);
    EXPECT_EQ(ProductTableRow(kProductRowCount - 1).productId, 177);
    int newer = 0;
    for (int i = 0; i < kProductRowCount; ++i) {
        const ProductRow row = ProductTableRow(i);
        EXPECT_TRUE(IsKnownProduct(row.productId));
        if (row.waypointType == 4108) {
            ++newer;
            EXPECT_EQ(row.routeHeaderType, 4202) << row.modelName;
        }
    }
    EXPECT_EQ(newer, 10);
}

TEST_F(ProductTable, EmapSwitchesTo4109OnlyForItsCapabilityByte) {
    ApplyCapabilityByte(111, 108);
    EXPECT_EQ(GetWaypointType(111), 4108);
    ApplyCapabilityByte(130, 109);
    EXPECT_EQ(GetWaypointType(111), 4108);
    EXPECT_EQ(GetWaypointType(130), 4108);

    ApplyCapabilityByte(111, 109);
    EXPECT_EQ(GetWaypointType(111), 4109);
    EXPECT_TRUE(IsNewerFamily(111));
    EXPECT_EQ(ProductTableRow(16).waypointType, 4109);
    EXPECT_EQ(GetWaypointType(130), 4108);
    // It lasts: a later list without the byte does not switch back.
    ApplyCapabilityByte(111, 108);
    EXPECT_EQ(GetWaypointType(111), 4109);
}

TEST_F(ProductTable, Charset2DownloadTable) {
    EXPECT_EQ(Charset2Download(0x00), 0x20);
    EXPECT_EQ(Charset2Download(0x20), 0x20);
    EXPECT_EQ(Charset2Download(0x21), 0xB1);
    EXPECT_EQ(Charset2Download(0x4D), 0xDD);
    EXPECT_EQ(Charset2Download(0x4E), 0xA6);
    EXPECT_EQ(Charset2Download(0x4F), 0xAC);
    EXPECT_EQ(Charset2Download(0x51), 0xAE);
    EXPECT_EQ(Charset2Download(0x52), '0');
    EXPECT_EQ(Charset2Download(0x5B), '9');
    EXPECT_EQ(Charset2Download(0x5C), '-');
    EXPECT_EQ(Charset2Download(0x5D), 0xDF);
    EXPECT_EQ(Charset2Download(0x5E), 0xDE);
    EXPECT_EQ(Charset2Download(0x7F), 0x20);
}

TEST_F(ProductTable, Charset2UploadKeepsTheListedEntries) {
    EXPECT_EQ(Charset2Upload(0x20), 0x20);
    EXPECT_EQ(Charset2Upload('0'), 0x52);
    EXPECT_EQ(Charset2Upload('9'), 0x5B);
    EXPECT_EQ(Charset2Upload(0xAC), 0x4F);
    EXPECT_EQ(Charset2Upload(0xAE), 0x51);
    EXPECT_EQ(Charset2Upload(0xC0), 0x30);
    EXPECT_EQ(Charset2Upload(0xC9), 0x39);
    EXPECT_EQ(Charset2Upload(0xD1), 0x41);
    EXPECT_EQ(Charset2Upload(0xDD), 0x4D);
    // The mended part of the table: the rest of the katakana no longer become '0'.
    EXPECT_EQ(Charset2Upload(0xB1), 0x21);
    EXPECT_EQ(Charset2Upload(0xBF), 0x2F);
    EXPECT_EQ(Charset2Upload(0xCA), 0x3A);
    EXPECT_EQ(Charset2Upload(0xA6), 0x4E);
    // Codes the receiver cannot show.
    EXPECT_EQ(Charset2Upload(0x00), 0x52);
    EXPECT_EQ(Charset2Upload('a'), 0x52);
    EXPECT_EQ(Charset2Upload(0xA1), 0x52);
    EXPECT_EQ(Charset2Upload(0xFF), 0x52);
}

}  // namespace
}  // namespace sorvane
