#include "link/packet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include "link/product_identification.h"

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;

Bytes Wire(std::uint8_t id, const Bytes& data) {
    const Bytes p = BuildPacket(id, data);
    return StuffFrame(p.data(), p.size());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A line that plays back scripted bytes and keeps what is written to it.
class ScriptedLine : public ByteStream {
  public:
    explicit ScriptedLine(const Bytes& incoming) : in_(incoming.begin(), incoming.end()) {}
    std::uint16_t ReadByte() override {
        if (in_.empty())
            return kReadTimeout;
        const std::uint8_t b = in_.front();
        in_.pop_front();
        return b;
    }
    std::uint16_t ReadByteWithin(int waitMs) override {
        waits.push_back(waitMs);
        return ReadByte();
    }
    std::int32_t Write(const std::uint8_t* bytes, std::size_t count) override {
        written.insert(written.end(), bytes, bytes + count);
        ++writes;
        return static_cast<std::int32_t>(count);
    }
    std::size_t left() const { return in_.size(); }

    Bytes written;
    int writes = 0;
    std::vector<int> waits;  // of the reads that had a wait of their own

  private:
    std::deque<std::uint8_t> in_;
};

// A slot with guard bytes after it that catch any write past its end.
struct GuardedSlot {
    GuardedSlot() { std::fill(std::begin(guard), std::end(guard), 0xAA); }
    bool intact() const {
        return std::all_of(std::begin(guard), std::end(guard), [](auto g) { return g == 0xAA; });
    }
    std::uint8_t slot[kPacketSlotSize];
    std::uint8_t guard[64];
};

TEST(PacketEncoding, FramesOnTheWire) {
    // 16 data bytes (size 0x10), one of them 0x10.
    Bytes sixteen(16, 0x01);
    sixteen[3] = 0x10;
    Bytes stuffed = {0x10, 0x22, 0x10, 0x10, 0x01, 0x01, 0x01, 0x10, 0x10};
    stuffed.insert(stuffed.end(), 12, 0x01);
    // checksum: -(0x22 + 0x10 + 15 * 1 + 0x10) = -(0x51) = 0xAF
    stuffed.insert(stuffed.end(), {0xAF, 0x10, 0x03});
    EXPECT_EQ(Wire(0x22, sixteen), stuffed);
    EXPECT_EQ(Wire(kPidProductRequest, {}), (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
    EXPECT_EQ(Wire(0xE0, {}), (Bytes{0x10, 0xE0, 0x00, 0x20, 0x10, 0x03}));
    // A checksum of exactly 0x10 is doubled too.
    EXPECT_EQ(Wire(0xF0, {}), (Bytes{0x10, 0xF0, 0x00, 0x10, 0x10, 0x10, 0x03}));
    EXPECT_THAT(BuildAckPacket(0x23), ElementsAre(0x10, 0x06, 0x02, 0x23, 0x00, 0xD5, 0x10, 0x03));
    EXPECT_THAT(BuildNakPacket(0xFF), ElementsAre(0x10, 21, 0x02, 0xFF, 0x00, 0xEA, 0x10, 0x03));
}

TEST(PacketEncoding, AcknowledgementsAreStuffedLikeEveryOtherFrame) {
    // Acknowledging 0xE8 and rejecting 0xD9 both give the checksum 0x10.
    ScriptedLine line({});
    SendAck(line, 0xE8);
    SendNak(line, 0xD9);
    EXPECT_EQ(line.written, (Bytes{0x10, 0x06, 0x02, 0xE8, 0x00, 0x10, 0x10, 0x10, 0x03, 0x10, 0x15,
                                   0x02, 0xD9, 0x00, 0x10, 0x10, 0x10, 0x03}));
}

TEST(PacketEncoding, SendPacketWritesTheChecksumIntoTheCallersBufferAndFramesItItself) {
    // A preset checksum, and framing bytes that are not read.
    Bytes p = {0x00, 0x0A, 0x02, 0x06, 0x00, 0xFF, 0x77, 0x77};
    ScriptedLine line({});
    EXPECT_EQ(SendPacket(line, p.data(), p.size()), 8);
    EXPECT_EQ(p[5], 0xEE);  // -(0x0A + 2 + 6)
    EXPECT_EQ(line.writes, 1);
    EXPECT_EQ(line.written, (Bytes{0x10, 0x0A, 0x02, 0x06, 0x00, 0xEE, 0x10, 0x03}));
}

// --- Frame parser: table rows -------------------------------------------------

const Bytes kClean = Wire(0x23, {0x41, 0x10, 0x42});  // 10 23 03 41 10 10 42 cs 10 03

// The status and length of the first thing in input, and the ID of a frame.
void ExpectFrame(const char* name, const Bytes& input, FrameStatus status, std::size_t consumed,
                 std::uint8_t id = 0) {
    SCOPED_TRACE(name);
    std::uint8_t out[kPacketSlotSize];
    const FrameResult r = ParseFrame(input, out);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.consumed, consumed);
    if (status != FrameStatus::kGarbage && status != FrameStatus::kIncomplete) {
        EXPECT_EQ(r.id, id);
    }
}

TEST(ParseFrame, Rows) {
    using enum FrameStatus;
    Bytes badSum = Wire(0x1B, {0x05, 0x00});
    badSum[5] ^= 0x01;
    const Bytes ack = Wire(0x06, {0x23, 0x00});
    ExpectFrame("clean", kClean, kGood, kClean.size(), 0x23);
    ExpectFrame("leading garbage", Concat({{'$', 'G', 0x03, 0x10, 0x03}, kClean}), kGarbage, 5);
    ExpectFrame("bad checksum", badSum, kBadChecksum, 8, 0x1B);
    // Size says 4 but DLE ETX comes after 2 data bytes and the checksum.
    ExpectFrame("short", {0x10, 0x1B, 0x04, 0x05, 0x00, 0xDC, 0x10, 0x03}, kBadFraming, 8, 0x1B);
    // Size says 1 but two data bytes arrive before DLE ETX.
    ExpectFrame("long", {0x10, 0x1B, 0x01, 0x05, 0x00, 0xDF, 0x10, 0x03}, kBadFraming, 5, 0x1B);
    ExpectFrame("truncated", Concat({{0x10, 0x23, 0x05, 0x01}, ack}), kBadFraming, 4, 0x23);
    ExpectFrame("two back to back", Concat({kClean, ack}), kGood, kClean.size(), 0x23);
    ExpectFrame("empty", {}, kIncomplete, 0);
    ExpectFrame("lone DLE", {0x10}, kIncomplete, 0);
    ExpectFrame("half a frame", {0x10, 0x23, 0x03, 0x41}, kIncomplete, 0);
    ExpectFrame("stuffed DLE pending", {0x10, 0x23, 0x03, 0x10}, kIncomplete, 0);
    ExpectFrame("DLE ETX", {0x10, 0x03, 0x10}, kGarbage, 2);
    ExpectFrame("DLE DLE", {0x10, 0x10, 0x23}, kGarbage, 1);
    // 250 data bytes is the largest a slot takes; a longer frame is read to its end.
    const Bytes most = Wire(0x22, Bytes(250, 0x10)), over = Wire(0x22, Bytes(251, 0));
    ExpectFrame("250 data bytes", most, kGood, most.size(), 0x22);
    ExpectFrame("251 data bytes", over, kBadFraming, over.size(), 0x22);
}

TEST(ParseFrame, SplitAtEveryByteIsIncompleteUntilTheLast) {
    const Bytes frame = Wire(0x23, {0x10, 0x10, 0x00, 0xFF, 0x10});
    std::uint8_t out[kPacketSlotSize];
    for (std::size_t cut = 0; cut < frame.size(); ++cut) {
        const FrameResult r = ParseFrame({frame.data(), cut}, out);
        EXPECT_EQ(r.status, FrameStatus::kIncomplete) << "cut at " << cut;
        EXPECT_EQ(r.consumed, 0u) << "cut at " << cut;
    }
    EXPECT_EQ(ParseFrame(frame, out).status, FrameStatus::kGood);
}

// --- ReceivePacket over a scripted line --------------------------------------

// Receives once per packet wanted (an empty one: the receive returns 0), then
// checks the NAKs sent (by the IDs they name) and how many bytes were not read.
void ExpectReceives(const char* name, const Bytes& input, const std::vector<Bytes>& packets,
                    const Bytes& naked, std::size_t left) {
    SCOPED_TRACE(name);
    ScriptedLine line(input);
    for (const Bytes& want : packets) {
        GuardedSlot mem;
        const int n = ReceivePacket(line, mem.slot);
        EXPECT_EQ(Bytes(mem.slot, mem.slot + n), want);
        EXPECT_TRUE(mem.intact());
    }
    Bytes naks;
    for (std::uint8_t id : naked)
        naks = Concat({naks, Wire(kPidNak, {id, 0})});
    EXPECT_EQ(line.written, naks);
    EXPECT_EQ(line.left(), left);
}

TEST(ReceivePacket, Rows) {
    const Bytes good = Wire(0x23, {1, 2, 3});
    Bytes bad = good;
    bad[6] ^= 0xFF;
    Bytes cut = Wire(0x22, Bytes(13, 1));
    cut.resize(cut.size() / 2);
    ExpectReceives("garbage, then a frame", Concat({{'x', 0x03, 0x10, 0x03}, kClean, {0x55}}),
                   {BuildPacket(0x23, Bytes{0x41, 0x10, 0x42})}, {}, 1);
    // Back to back, with a size and a checksum of 0x10 to restore.
    ExpectReceives("two frames", Concat({Wire(0x22, Bytes(16, 0x10)), Wire(0xF0, {})}),
                   {BuildPacket(0x22, Bytes(16, 0x10)), BuildPacket(0xF0, {}), {}}, {}, 0);
    // A bad frame is answered with a NAK and the retransmission taken.
    ExpectReceives("bad checksum", Concat({bad, good}), {BuildPacket(0x23, Bytes{1, 2, 3})}, {0x23},
                   0);
    ExpectReceives("truncated, then a good frame",
                   Concat({{0x10, 0x23, 0x05, 0x01}, Wire(6, {0x23, 0})}),
                   {BuildPacket(0x06, Bytes{0x23, 0})}, {0x23}, 0);
    ExpectReceives("oversized", Concat({Wire(0x22, Bytes(255, 0x10)), Wire(0x22, Bytes(4, 7))}),
                   {BuildPacket(0x22, Bytes(4, 7))}, {0x22}, 0);
    // Three NAKs at most: the good frame after the fourth bad one is not read.
    ExpectReceives("four bad frames", Concat({bad, bad, bad, bad, good}), {{}}, {0x23, 0x23, 0x23},
                   good.size());
    ExpectReceives("stream cut in the middle", cut, {{}}, {}, 0);
    // The rejection of this ID has the checksum 0x10, doubled on the wire.
    Bytes badD9 = Wire(0xD9, {1});
    badD9[4] ^= 0x01;
    ExpectReceives("a bad frame of ID D9", Concat({badD9, good}),
                   {BuildPacket(0x23, Bytes{1, 2, 3})}, {0xD9}, 0);
    ExpectReceives("endless garbage", Bytes(kMaxGarbageBytes + 100, '$'), {{}}, {}, 99);
}

// --- Sending with acknowledgement ----------------------------------------------

TEST(SendAndWait, RejectedPacketsAreSentAgainUntilTheyAreTakenOrTheTriesRunOut) {
    const Bytes ack = Wire(kPidAck, {0x23, 0}), nak = Wire(kPidNak, {0x23, 0});
    const Bytes sent = Wire(0x23, {7});
    const struct {
        const char* name;
        Bytes answers;
        Answer answer;
        int sends;
    } rows[] = {
        {"taken", ack, Answer::kAcknowledged, 1},
        {"any packet counts as the acknowledgement", Wire(0x1B, {1, 0}), Answer::kAcknowledged, 1},
        {"rejected once", Concat({nak, ack}), Answer::kAcknowledged, 2},
        {"rejected three times", Concat({nak, nak, nak, ack}), Answer::kAcknowledged, 4},
        {"rejected for good", Concat({nak, nak, nak, nak, ack}), Answer::kRejected, 4},
        {"rejected, then silence", nak, Answer::kNone, 2},
        {"silence", {}, Answer::kNone, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedLine line(row.answers);
        Bytes packet = BuildPacket(0x23, Bytes{7});
        std::uint8_t slot[kPacketSlotSize];
        EXPECT_EQ(SendAndWait(line, packet.data(), packet.size(), slot), row.answer);
        Bytes all;
        for (int i = 0; i < row.sends; ++i)
            all = Concat({all, sent});
        EXPECT_EQ(line.written, all);
    }
}

// --- Identification over a scripted line -------------------------------------

TEST(Identification, WaitsBrieflyForACapabilityListAndAcknowledgesWhatComesStuffed) {
    const Bytes answer = Concat({Wire(kPidAck, {kPidProductRequest, 0}),
                                 Wire(kPidProductData, {0x57, 0, 0x2C, 0x01, 'G', 'P', 'S', 0})});
    // An older receiver sends no list: only the wait for its first byte is
    // short, and identification succeeds without it.
    ScriptedLine older(answer);
    const ProductIdentification r = ReadProductID(older);
    EXPECT_EQ(std::tuple(r.ok, r.productId, r.softwareVersion, r.description),
              std::tuple(true, 87, 300, "GPS"));
    EXPECT_EQ(older.waits, std::vector<int>{kCapabilityListWaitMs});
    static_assert(kCapabilityListWaitMs <= SerialPort::kDefaultByteTimeoutMs / 4);
    // Whatever packet follows is acknowledged in a stuffed frame (here the
    // acknowledgement of 0xE8, whose checksum is 0x10).
    ScriptedLine other(Concat({answer, Wire(0xE8, {1, 2, 3})}));
    EXPECT_TRUE(ReadProductID(other).ok);
    EXPECT_EQ(other.written, Concat({Wire(kPidProductRequest, {}), Wire(kPidAck, {0xFF, 0}),
                                     Bytes{0x10, 0x06, 0x02, 0xE8, 0x00, 0x10, 0x10, 0x10, 0x03}}));
    // A request the receiver keeps rejecting fails with the rejection's code.
    const Bytes nak = Wire(kPidNak, {kPidProductRequest, 0});
    ScriptedLine rejecting(Concat({nak, nak, nak, nak}));
    const ProductIdentification refused = ReadProductID(rejecting);
    EXPECT_EQ(std::tuple(refused.ok, refused.productId, refused.errorCode),
              std::tuple(false, -1, kRejectedError));
}

}  // namespace
}  // namespace sorvane
