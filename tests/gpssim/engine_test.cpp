#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine.h"
#include "frame.h"
#include "options.h"

namespace gpssim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Ids = std::vector<int>;

TEST(SimFrame, EncodesWithStuffingAndDecodesAcrossGarbageAndBadFrames) {
    EXPECT_EQ(EncodeFrame(Packet{0x06, {0x10, 0x00}}),
              (Bytes{0x10, 0x06, 0x02, 0x10, 0x10, 0x00, 0xE8, 0x10, 0x03}));
    Bytes data(256 - 6, 0x10);
    data[0] = 0x03;
    const Packet big{0x23, data};
    const Packet ack{0x06, {0x23, 0x00}};
    Bytes bad = EncodeFrame(Packet{0x23, {1, 2, 3}});
    bad[4] ^= 0x40;
    Bytes wire = {'$', 0x03, 0x10, 0x03, 0x10, 0x10};
    for (const Bytes& part :
         {EncodeFrame(big), bad, Bytes{0x10, 0x22, 0x05, 0x01}, EncodeFrame(ack)})
        wire.insert(wire.end(), part.begin(), part.end());
    FrameDecoder d;
    std::vector<Packet> got;
    Ids badIds;
    for (std::uint8_t b : wire) {
        const FrameDecoder::Event e = d.Feed(b);
        if (e == FrameDecoder::Event::kPacket)
            got.push_back(d.packet());
        else if (e == FrameDecoder::Event::kBadPacket)
            badIds.push_back(d.badId());
    }
    EXPECT_EQ(got, (std::vector<Packet>{big, ack}));
    EXPECT_EQ(badIds, (Ids{0x23, 0x22}));
}

TEST(SimEngine, AnswersOnePacketPerAcknowledgementRetransmitsOnNakAndDispatchesCommands) {
    ReceiverEngine engine(Profile{});
    std::vector<Packet> sent;
    engine.SetSender([&](const Packet& p) { sent.push_back(p); });
    const auto ids = [&] {
        Ids v;
        for (const Packet& p : sent)
            v.push_back(p.id);
        return v;
    };
    engine.OnPacket(Packet{kPidProductRequest, {}});
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Packet{kPidAck, {kPidProductRequest, 0}}));
    EXPECT_EQ(Bytes(sent[1].data.begin(), sent[1].data.begin() + 4), (Bytes{0x82, 0, 0xFA, 0}));
    EXPECT_EQ(sent[1].data.back(), 0);
    engine.OnPacket(Packet{kPidNak, {kPidProductData, 0}});
    EXPECT_EQ(engine.naksReceived(), 1);
    engine.OnPacket(Packet{kPidAck, {kPidProductData, 0}});
    engine.OnPacket(Packet{kPidAck, {kPidCapabilities, 0}});
    EXPECT_EQ(ids(), (Ids{kPidAck, kPidProductData, kPidProductData, kPidCapabilities}));
    EXPECT_EQ(sent[1], sent[2]);
    EXPECT_TRUE(engine.Idle());

    // A command is answered after its acknowledgement, one packet per acknowledgement.
    sent.clear();
    Ids codes;
    engine.SetCommandHandler(7, [&](ReceiverEngine& e, std::uint16_t code) {
        codes.push_back(code);
        e.Queue(Packet{kPidRecords, {2, 0}});
        e.Queue(Packet{0x23, {0xAA}});
        e.Queue(Packet{0x23, {0xBB}});
    });
    engine.OnPacket(Packet{kPidCommand, {7, 0}});
    EXPECT_EQ(ids(), (Ids{kPidAck, kPidRecords}));
    engine.OnPacket(Packet{kPidAck, {kPidRecords, 0}});
    engine.OnPacket(Packet{kPidAck, {0x23, 0}});
    EXPECT_EQ(ids(), (Ids{kPidAck, kPidRecords, 0x23, 0x23}));
    EXPECT_EQ(sent[3].data, Bytes{0xBB});
    // A new command voids what was still queued: its points never went.
    engine.OnPacket(Packet{kPidCommand, {7, 0}});
    engine.OnPacket(Packet{kPidCommand, {7, 0}});
    EXPECT_EQ(ids(),
              (Ids{kPidAck, kPidRecords, 0x23, 0x23, kPidAck, kPidRecords, kPidAck, kPidRecords}));
    EXPECT_EQ(codes, (Ids{7, 7, 7}));
}

TEST(SimProfile, LongDescriptionsAreCutToOnePacket) {
    Profile longText;
    longText.description = std::string(400, 'x');
    EXPECT_EQ(ProductDataField(longText).size(), 250u);
}

// The error of a refused command line ("" when it is taken).
std::string Refusal(const std::string& line, Options* out = nullptr, bool* help = nullptr) {
    std::istringstream in(line);
    std::vector<std::string> words = {"gpssim"};
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    Options o;
    bool h = false;
    std::string error;
    const bool ok = ParseOptions(static_cast<int>(argv.size()), argv.data(), out ? out : &o,
                                 help ? help : &h, &error);
    return ok ? "" : error;
}

TEST(SimOptions, ValuesInEitherFormAndAnyOrder) {
    Options o;
    ASSERT_EQ(Refusal("--description=Tester --product 111 --waypoint-type=4109 --capabilities off "
                      "--baud 9600 --corrupt-packet=3 --garbage --hangup-after 0 --withhold-ack 2",
                      &o),
              "");
    EXPECT_EQ(std::tuple(o.profile.productId, o.profile.waypointType, o.profile.description,
                         o.profile.capabilities, o.baud),
              std::tuple(111, 4109, "Tester", false, 9600u));
    EXPECT_EQ(std::tuple(o.faults.corruptPacket, o.faults.garbage, o.faults.hangupAfter,
                         o.faults.withholdAck),
              std::tuple(3, true, 0, 2));
}

TEST(SimOptions, BadInputIsRefusedAndHelpDocumentsEveryOption) {
    for (const char* line :
         {"--product", "--product abc", "--product 40000", "--waypoint-type 4105",
          "--capabilities maybe", "--stop-after 0", "--garbage=yes", "--frobnicate"})
        EXPECT_NE(Refusal(line), "") << line;
    EXPECT_NE(Refusal("--data /no/such/gpssim/data").find("cannot be read"), std::string::npos);
    bool help = false;
    EXPECT_EQ(Refusal("--help", nullptr, &help), "");
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
