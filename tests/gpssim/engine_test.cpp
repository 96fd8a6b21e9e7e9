#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine.h"
#include "frame.h"
#include "options.h"
#include "profile.h"

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

TEST(SimEngine, RejectsAChosenHostPacketOnceOrEveryTimeItComes) {
    for (const bool always : {false, true}) {
        SCOPED_TRACE(always ? "always" : "once");
        ReceiverEngine engine(Profile{});
        std::vector<Packet> sent;
        engine.SetSender([&](const Packet& p) { sent.push_back(p); });
        Ids handled;
        engine.SetPacketHandler(
            0x23, [&](ReceiverEngine&, const Packet& p) { handled.push_back(p.data.at(0)); });
        // The second packet from the host; acknowledgements do not count.
        engine.RejectPacket(2, always);
        engine.OnPacket(Packet{0x23, {1}});
        engine.OnPacket(Packet{kPidAck, {0x23, 0}});
        engine.OnPacket(Packet{0x23, {2}});
        engine.OnPacket(Packet{0x23, {2}});  // sent again
        engine.OnPacket(Packet{0x23, {3}});
        const Packet ack{kPidAck, {0x23, 0}}, nak{kPidNak, {0x23, 0}};
        EXPECT_EQ(sent, always ? (std::vector<Packet>{ack, nak, nak, ack})
                               : (std::vector<Packet>{ack, nak, ack, ack}));
        EXPECT_EQ(handled, always ? (Ids{1, 3}) : (Ids{1, 2, 3}));
        EXPECT_EQ(engine.packetsRejected(), always ? 2 : 1);
    }
}

TEST(SimProfile, CapabilityListTagsTheProtocolsAsReceiversDo) {
    const auto text = [](const Profile& p) {
        std::string s;
        for (const CapabilityEntry& e : CapabilityList(p))
            s += e.tag + std::to_string(e.value) + " ";
        return s;
    };
    EXPECT_EQ(text(ProfileForProduct(130)),
              "P0 L1 A10 A100 D108 A201 D202 D108 D210 A301 D310 D301 ");
    EXPECT_EQ(text(ProfileForProduct(87)), "P0 L1 A10 A100 D103 A200 D201 D103 A300 D300 ");
    // The fifth entry's value, whose low byte is data offset 13, names the layout.
    Profile emap = ProfileForProduct(111);
    emap.waypointType = 4109;
    EXPECT_EQ(CapabilityListData(emap).at(13), 109);
    EXPECT_EQ(CapabilityListData(emap).at(12), 'D');
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

TEST(SimOptions, RejectionOptionsAndModelsThatCannotExist) {
    Options o;
    ASSERT_EQ(Refusal("--reject-packet 4 --reject-always", &o), "");
    EXPECT_EQ(std::tuple(o.faults.rejectPacket, o.faults.rejectAlways), std::tuple(4, true));
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"", {}},
        {"--product 111 --waypoint-type 4109", {}},
        {"--product 87 --capabilities on", {}},
        {"--product 500 --waypoint-type 4108", {}},
        {"--product 130 --waypoint-type 4103", {"product 130 uses waypoint layout 4108, not 4103"}},
        {"--product 87 --waypoint-type 4109", {"product 87 uses waypoint layout 4103, not 4109"}},
        {"--product 87 --waypoint-type 4109 --capabilities off",
         {"product 87 uses waypoint layout 4103, not 4109",
          "receivers of waypoint layout 4109 always send a capability list"}},
        {"--capabilities off", {"receivers of waypoint layout 4108 always send a capability list"}},
        {"--reject-always", {"--reject-always does nothing without --reject-packet"}},
    };
    for (const auto& [line, warnings] : rows) {
        ASSERT_EQ(Refusal(line, &o), "") << line;
        EXPECT_EQ(ModelWarnings(o), warnings) << line;
    }
}

TEST(SimOptions, BadInputIsRefusedAndHelpDocumentsEveryOption) {
    for (const char* line :
         {"--product", "--product abc", "--product 40000", "--waypoint-type 4105",
          "--capabilities maybe", "--stop-after 0", "--garbage=yes", "--frobnicate",
          "--reject-packet 0", "--reject-always=1"})
        EXPECT_NE(Refusal(line), "") << line;
    EXPECT_NE(Refusal("--data /no/such/gpssim/data").find("cannot be read"), std::string::npos);
    bool help = false;
    EXPECT_EQ(Refusal("--help", nullptr, &help), "");
    EXPECT_TRUE(help);
    const std::string text = UsageText();
    for (const char* opt :
         {"--product", "--version", "--description", "--waypoint-type", "--capabilities", "--baud",
          "--no-answer", "--stop-after", "--cut-packet", "--withhold-ack", "--corrupt-packet",
          "--garbage", "--oversized-packet", "--hangup-after", "--reject-packet", "--reject-always",
          "--help"}) {
        EXPECT_NE(text.find(opt), std::string::npos) << opt;
    }
}

TEST(SimOptions, NmeaSystemsTalkerVersionAndFixLoss) {
    Options o;
    ASSERT_EQ(Refusal("--nmea --nmea-systems gps,galileo,beidou --nmea-talker GP "
                      "--nmea-version 4.10 --nmea-fix-loss 5:3 --nmea-fix-loss=20.5:0.5",
                      &o),
              "");
    EXPECT_EQ(o.nmea.systems, (std::vector<NmeaSystem>{NmeaSystem::kGps, NmeaSystem::kGalileo,
                                                       NmeaSystem::kBeiDou}));
    EXPECT_EQ(std::tuple(o.nmea.talker, o.nmea.version410), std::tuple("GP", true));
    EXPECT_EQ(o.nmea.fixLoss, (std::vector<std::pair<double, double>>{{5.0, 3.0}, {20.5, 0.5}}));
    ASSERT_EQ(Refusal("", &o), "");
    EXPECT_EQ(std::tuple(o.nmea.systems, o.nmea.talker, o.nmea.version410, o.nmea.fixLoss.size()),
              std::tuple(std::vector<NmeaSystem>{NmeaSystem::kGps}, "", false, 0u));
    for (const char* line :
         {"--nmea-systems", "--nmea-systems gps,", "--nmea-systems gps,gps",
          "--nmea-systems gps,,glonass", "--nmea-systems navstar", "--nmea-talker gn",
          "--nmea-talker GNX", "--nmea-version 3.0", "--nmea-fix-loss 5", "--nmea-fix-loss 5:0",
          "--nmea-fix-loss -1:3", "--nmea-fix-loss a:b"})
        EXPECT_NE(Refusal(line), "") << line;
    const std::string text = UsageText();
    for (const char* opt : {"--nmea-systems", "--nmea-talker", "--nmea-version", "--nmea-fix-loss",
                            "gps,glonass", "gps,galileo,beidou"})
        EXPECT_NE(text.find(opt), std::string::npos) << opt;
}

}  // namespace
}  // namespace gpssim
