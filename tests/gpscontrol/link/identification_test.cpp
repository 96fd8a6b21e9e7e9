#include "link/product_identification.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <tuple>

#include "link/packet.h"
#include "records/product_table.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;
using testsupport::ScopedEnv;
using Ids = std::vector<int>;

class Identification : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }
};

void ExpectFailure(const ProductIdentification& r) {
    EXPECT_EQ(std::tuple(r.ok, r.productId, r.softwareVersion, r.description),
              std::tuple(false, -1, -1, ""));
}

// IDs of what the simulator received from us.
Ids ReceivedIds(RunningSimulator& sim, std::size_t atLeast) {
    sim.sim().WaitForReceived(atLeast, std::chrono::seconds(10));
    Ids ids;
    for (const gpssim::Packet& p : sim.sim().Received())
        ids.push_back(p.id);
    return ids;
}

// Identifies the simulator playing with arguments and checks what came back,
// the packets we sent (the request, then acknowledgements 6 and NAKs 21) and
// the waypoint record type of the product afterwards. Only an eMap offering
// 4109 switches the table.
void ExpectIdentified(const char* arguments, int id, int version, const char* description,
                      const Ids& sent, int type) {
    SCOPED_TRACE(arguments);
    ResetProductTable();
    RunningSimulator sim(arguments);
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::tuple(r.productId, r.softwareVersion, r.errorCode), std::tuple(id, version, 0));
    if (description) {
        EXPECT_EQ(r.description, description);
    }
    EXPECT_EQ(ReceivedIds(sim, sent.size()), sent);
    EXPECT_EQ(GetWaypointType(id), type);
    EXPECT_EQ(GetWaypointType(111), id == 111 ? type : 4108);
}

TEST_F(Identification, ReceiversThatAnswer) {
    const char* const etrex = "eTrex Software Version 2.50";
    ExpectIdentified("", 130, 250, etrex, {254, 6, 6}, 4108);
    // Unknown products are taken as they are, with the plainest layouts.
    ExpectIdentified("--product 500 --version 123 --description Mystery", 500, 123, "Mystery",
                     {254, 6}, 4101);
    EXPECT_EQ(GetRouteHeaderType(500), 4201);
    ExpectIdentified("--product -2 --version -7 --capabilities off", -2, -7, nullptr, {254, 6},
                     4101);
    ExpectIdentified("--baud 9600 --product 153 --version 310", 153, 310,
                     "Pocket Mini Software Version 3.10", {254, 6, 6}, 4108);
    ExpectIdentified("--product 111 --waypoint-type 4109", 111, 250, nullptr, {254, 6, 6}, 4109);
    ExpectIdentified("--product 111", 111, 250, nullptr, {254, 6, 6}, 4108);
    ExpectIdentified("--product 130 --waypoint-type 4109", 130, 250, etrex, {254, 6, 6}, 4108);
    // A corrupted packet is refused and sent again.
    ExpectIdentified("--corrupt-packet 2", 130, 250, etrex, {254, 21, 6, 6}, 4108);
}

TEST_F(Identification, AcknowledgementsNameTheProductDataAndTheList) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    EXPECT_EQ(ReadProductID(sim.port(5), kShortByteTimeoutMs).productId, 130);
    EXPECT_EQ(ReceivedIds(sim, 3), (Ids{254, 6, 6}));
    const auto got = sim.sim().Received();
    EXPECT_EQ(got[1].data, (std::vector<std::uint8_t>{255, 0}));
    EXPECT_EQ(got[2].data, (std::vector<std::uint8_t>{253, 0}));
}

TEST_F(Identification, FailuresReportNoProduct) {
    // No answer at all; silent after the acknowledgement; cut inside a packet.
    for (const char* arguments : {"--no-answer", "--stop-after 1", "--cut-packet 2"}) {
        SCOPED_TRACE(arguments);
        RunningSimulator sim(arguments);
        ASSERT_TRUE(sim.ok());
        ExpectFailure(ReadProductID(sim.port(5), kShortByteTimeoutMs));
        // The request went out all the same.
        EXPECT_EQ(ReceivedIds(sim, 1).at(0), 254);
    }
    // A port that does not exist, and one that names no device.
    ScopedEnv env("SORVANE_COM6", "/dev/no-such-receiver");
    for (const auto& [port, error] : {std::pair(6, ENOENT), std::pair(0, ENODEV)}) {
        const ProductIdentification r = ReadProductID(PortSettings{std::uint8_t(port)}, 100);
        ExpectFailure(r);
        EXPECT_EQ(r.errorCode, error);
    }
}

}  // namespace
}  // namespace sorvane
