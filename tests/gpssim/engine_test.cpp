#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "engine.h"
#include "frame.h"
#include "options.h"
#include "profile.h"

namespace gpssim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;

// --- Framing ----------------------------------------------------------------

std::vector<Packet> DecodeAll(FrameDecoder& d, const Bytes& wire, std::vector<int>* bad = nullptr) {
    std::vector<Packet> out;
    for (std::uint8_t b : wire) {
        switch (d.Feed(b)) {
            case FrameDecoder::Event::kPacket:
                out.push_back(d.packet());
                break;
            case FrameDecoder::Event::kBadPacket:
                if (bad)
                    bad->push_back(d.badId());
                break;
            case FrameDecoder::Event::kNone:
                break;
        }
    }
    return out;
}

TEST(SimFrame, EncodesWithStuffing) {
    EXPECT_EQ(EncodeFrame(Packet{0xFE, {}}), (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
    EXPECT_EQ(EncodeFrame(Packet{0x06, {0x10, 0x00}}),
              (Bytes{0x10, 0x06, 0x02, 0x10, 0x10, 0x00, 0xE8, 0x10, 0x03}));
}

TEST(SimFrame, DecodesWhatItEncodesAcrossGarbage) {
    Bytes data(256 - 6, 0x10);
    data[0] = 0x03;
    const Packet a{0x23, data};
    const Packet b{0x06, {0x23, 0x00}};
    Bytes wire = {'$', 0x03, 0x10, 0x03, 0x10, 0x10};
    for (const Packet& p : {a, b}) {
        const Bytes f = EncodeFrame(p);
        wire.insert(wire.end(), f.begin(), f.end());
    }
    FrameDecoder d;
    const std::vector<Packet> got = DecodeAll(d, wire);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], a);
    EXPECT_EQ(got[1], b);
}

TEST(SimFrame, BadChecksumAndTruncatedFramesAreReportedWithTheirId) {
    Bytes bad = EncodeFrame(Packet{0x23, {1, 2, 3}});
    bad[4] ^= 0x40;
    Bytes truncated = {0x10, 0x22, 0x05, 0x01};
    const Bytes good = EncodeFrame(Packet{0x0A, {0x07, 0x00}});
    Bytes wire = bad;
    wire.insert(wire.end(), truncated.begin(), truncated.end());
    wire.insert(wire.end(), good.begin(), good.end());
    FrameDecoder d;
    std::vector<int> badIds;
    const std::vector<Packet> got = DecodeAll(d, wire, &badIds);
    EXPECT_THAT(badIds, ElementsAre(0x23, 0x22));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, 0x0A);
}

// --- Engine -------------------------------------------------------------------

class EngineTest : public ::testing::Test {
  protected:
    explicit EngineTest(Profile p = Profile{}) : engine(p) {
        engine.SetSender([this](const Packet& pk) { sent.push_back(pk); });
    }
    std::vector<int> SentIds() const {
        std::vector<int> ids;
        for (const Packet& p : sent)
            ids.push_back(p.id);
        return ids;
    }

    ReceiverEngine engine;
    std::vector<Packet> sent;
};

TEST_F(EngineTest, ProductRequestIsAcknowledgedThenAnsweredOnePacketPerAck) {
    engine.OnPacket(Packet{kPidProductRequest, {}});
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Packet{kPidAck, {kPidProductRequest, 0}}));
    EXPECT_EQ(sent[1].id, kPidProductData);
    EXPECT_THAT(Bytes(sent[1].data.begin(), sent[1].data.begin() + 4),
                ElementsAre(0x82, 0x00, 0xFA, 0x00));
    EXPECT_EQ(sent[1].data.back(), 0);

    engine.OnPacket(Packet{kPidAck, {kPidProductData, 0}});
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].id, kPidCapabilities);
    engine.OnPacket(Packet{kPidAck, {kPidCapabilities, 0}});
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_TRUE(engine.Idle());
}

TEST_F(EngineTest, NakRetransmitsTheLastPacket) {
    engine.OnPacket(Packet{kPidProductRequest, {}});
    engine.OnPacket(Packet{kPidNak, {kPidProductData, 0}});
    EXPECT_EQ(SentIds(), (std::vector<int>{kPidAck, kPidProductData, kPidProductData}));
    EXPECT_EQ(sent[1], sent[2]);
    EXPECT_EQ(engine.naksReceived(), 1);
}

TEST_F(EngineTest, BadPacketFromTheHostIsNaked) {
    engine.OnBadPacket(0x23);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Packet{kPidNak, {0x23, 0}}));
    EXPECT_EQ(engine.badPacketsReceived(), 1);
}

TEST_F(EngineTest, UnknownPacketsAreAcknowledgedAndRecorded) {
    engine.OnPacket(Packet{0x42, {1, 2, 3}});
    engine.OnPacket(Packet{kPidCommand, {0x99, 0x00}});
    EXPECT_EQ(sent, (std::vector<Packet>{{kPidAck, {0x42, 0}}, {kPidAck, {kPidCommand, 0}}}));
    ASSERT_EQ(engine.received().size(), 2u);
    EXPECT_EQ(engine.received()[0], (Packet{0x42, {1, 2, 3}}));
}

TEST_F(EngineTest, CommandsAreDispatchedByCodeAfterTheAcknowledgement) {
    std::vector<int> codes;
    engine.SetCommandHandler(7, [&](ReceiverEngine& e, std::uint16_t code) {
        codes.push_back(code);
        e.Queue(Packet{kPidRecords, {2, 0}});
        e.Queue(Packet{0x23, {0xAA}});
        e.Queue(Packet{0x23, {0xBB}});
    });
    engine.OnPacket(Packet{kPidCommand, {7, 0}});
    EXPECT_THAT(codes, ElementsAre(7));
    EXPECT_EQ(SentIds(), (std::vector<int>{kPidAck, kPidRecords}));
    engine.OnPacket(Packet{kPidAck, {kPidRecords, 0}});
    engine.OnPacket(Packet{kPidAck, {0x23, 0}});
    EXPECT_EQ(SentIds(), (std::vector<int>{kPidAck, kPidRecords, 0x23, 0x23}));
    EXPECT_EQ(sent[3].data, Bytes{0xBB});
}

TEST_F(EngineTest, ANewCommandVoidsWhatWasStillQueued) {
    engine.SetCommandHandler(6, [](ReceiverEngine& e, std::uint16_t) {
        e.Queue(Packet{kPidRecords, {5, 0}});
        e.Queue(Packet{0x22, {1}});
    });
    engine.OnPacket(Packet{kPidCommand, {6, 0}});
    engine.OnPacket(Packet{kPidCommand, {6, 0}});
    // Ack, records; ack, records again: the point of the first exchange never went.
    EXPECT_EQ(SentIds(), (std::vector<int>{kPidAck, kPidRecords, kPidAck, kPidRecords}));
}

TEST_F(EngineTest, WithheldAcknowledgement) {
    engine.WithholdAck(2);
    engine.OnPacket(Packet{0x42, {}});
    engine.OnPacket(Packet{0x43, {}});
    engine.OnPacket(Packet{kPidAck, {0, 0}});  // not counted: acknowledgements get none
    engine.OnPacket(Packet{0x44, {}});
    EXPECT_EQ(sent, (std::vector<Packet>{{kPidAck, {0x42, 0}}, {kPidAck, {0x44, 0}}}));
}

class OlderEngineTest : public EngineTest {
  protected:
    OlderEngineTest() : EngineTest(ProfileForProduct(87)) {}
};

TEST_F(OlderEngineTest, OlderModelsSendNoCapabilityList) {
    engine.OnPacket(Packet{kPidProductRequest, {}});
    engine.OnPacket(Packet{kPidAck, {kPidProductData, 0}});
    EXPECT_EQ(SentIds(), (std::vector<int>{kPidAck, kPidProductData}));
    EXPECT_TRUE(engine.Idle());
}

// --- Profiles and options ---------------------------------------------------------

TEST(SimProfile, CapabilityListNamesTheWaypointLayoutInItsFifthEntry) {
    Profile emap = ProfileForProduct(111);
    emap.waypointType = 4109;
    const Bytes data = CapabilityListData(emap);
    ASSERT_GT(data.size(), 14u);
    EXPECT_EQ(data.size() % 3, 0u);
    EXPECT_EQ(data[12], 'D');
    EXPECT_EQ(data[13], 109);
    EXPECT_EQ(data[14], 0);
    EXPECT_EQ(CapabilityListData(ProfileForProduct(130))[13], 108);
}

TEST(SimProfile, ModelsAndDescriptions) {
    const Profile p = ProfileForProduct(153, 310);
    EXPECT_EQ(p.description, "Pocket Mini Software Version 3.10");
    EXPECT_EQ(p.characterSet, 2);
    EXPECT_EQ(p.waypointType, 4108);
    EXPECT_TRUE(p.capabilities);
    const Profile old = ProfileForProduct(129);
    EXPECT_EQ(old.waypointType, 4104);
    EXPECT_EQ(old.routeHeaderType, 4201);
    EXPECT_FALSE(old.capabilities);
    EXPECT_EQ(ProfileForProduct(500).waypointType, 4101);

    Profile longText;
    longText.description = std::string(400, 'x');
    EXPECT_EQ(ProductDataField(longText).size(), 250u);
}

Options Parse(std::vector<const char*> args, bool expectOk = true) {
    args.insert(args.begin(), "gpssim");
    Options o;
    bool help = false;
    std::string error;
    EXPECT_EQ(ParseOptions(static_cast<int>(args.size()), args.data(), &o, &help, &error), expectOk)
        << error;
    return o;
}

TEST(SimOptions, DefaultsPlayANewerReceiver) {
    const Options o = Parse({});
    EXPECT_EQ(o.profile.productId, 130);
    EXPECT_EQ(o.profile.softwareVersion, 250);
    EXPECT_TRUE(o.profile.capabilities);
    EXPECT_EQ(o.baud, 0u);
    EXPECT_FALSE(o.faults.noAnswer);
    EXPECT_EQ(o.faults.hangupAfter, -1);
}

TEST(SimOptions, ValuesInEitherFormAndInAnyOrder) {
    const Options o = Parse({"--description=Test unit", "--product", "111", "--waypoint-type=4109",
                             "--capabilities", "off", "--baud", "9600", "--corrupt-packet=3",
                             "--garbage", "--hangup-after", "0", "--withhold-ack", "2"});
    EXPECT_EQ(o.profile.productId, 111);
    EXPECT_EQ(o.profile.waypointType, 4109);
    EXPECT_EQ(o.profile.description, "Test unit");
    EXPECT_FALSE(o.profile.capabilities);
    EXPECT_EQ(o.baud, 9600u);
    EXPECT_EQ(o.faults.corruptPacket, 3);
    EXPECT_TRUE(o.faults.garbage);
    EXPECT_EQ(o.faults.hangupAfter, 0);
    EXPECT_EQ(o.faults.withholdAck, 2);
}

TEST(SimOptions, BadInputIsRefused) {
    Parse({"--product"}, false);
    Parse({"--product", "abc"}, false);
    Parse({"--product", "40000"}, false);
    Parse({"--waypoint-type", "4105"}, false);
    Parse({"--capabilities", "maybe"}, false);
    Parse({"--stop-after", "0"}, false);
    Parse({"--garbage=yes"}, false);
    Parse({"--frobnicate"}, false);
}

TEST(SimOptions, HelpDocumentsEveryOption) {
    bool help = false;
    const char* argv[] = {"gpssim", "--help"};
    Options o;
    std::string error;
    ASSERT_TRUE(ParseOptions(2, argv, &o, &help, &error));
    EXPECT_TRUE(help);
    const std::string text = UsageText();
    for (const char* opt :
         {"--product", "--version", "--description", "--waypoint-type", "--capabilities", "--baud",
          "--no-answer", "--stop-after", "--cut-packet", "--withhold-ack", "--corrupt-packet",
          "--garbage", "--oversized-packet", "--hangup-after", "--help"}) {
        EXPECT_NE(text.find(opt), std::string::npos) << opt;
    }
}

}  // namespace
}  // namespace gpssim
