#include "link/product_identification.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "link/packet.h"
#include "link/product_table.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;
using testsupport::ScopedEnv;
using testsupport::SpawnedSimulator;

class Identification : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }

    static void ExpectFailure(const ProductIdentification& r) {
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.productId, -1);
        EXPECT_EQ(r.softwareVersion, -1);
        EXPECT_EQ(r.description, "");
    }

    // IDs of what the simulator received from us.
    static std::vector<int> ReceivedIds(RunningSimulator& sim, std::size_t atLeast) {
        sim.sim().WaitForReceived(atLeast, std::chrono::seconds(10));
        std::vector<int> ids;
        for (const gpssim::Packet& p : sim.sim().Received())
            ids.push_back(p.id);
        return ids;
    }
};

TEST_F(Identification, KnownProductWithCapabilityList) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 130);
    EXPECT_EQ(r.softwareVersion, 250);
    EXPECT_EQ(r.description, "eTrex Software Version 2.50");
    EXPECT_EQ(r.errorCode, 0);

    // Request, then acknowledgements naming the product data and the list.
    EXPECT_EQ(ReceivedIds(sim, 3), (std::vector<int>{254, 6, 6}));
    const auto got = sim.sim().Received();
    EXPECT_EQ(got[1].data, (std::vector<std::uint8_t>{255, 0}));
    EXPECT_EQ(got[2].data, (std::vector<std::uint8_t>{253, 0}));
}

TEST_F(Identification, UnknownProductIsReportedAsItIsAndGetsThePlainLayouts) {
    RunningSimulator sim("--product 500 --version 123 --description Mystery");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 500);
    EXPECT_EQ(r.softwareVersion, 123);
    EXPECT_EQ(r.description, "Mystery");
    EXPECT_EQ(GetWaypointType(r.productId), 4101);
    EXPECT_EQ(GetRouteHeaderType(r.productId), 4201);
    EXPECT_EQ(GetCharacterSet(r.productId), 1);
    // No capability list came, so only the product data was acknowledged.
    EXPECT_EQ(ReceivedIds(sim, 2), (std::vector<int>{254, 6}));
}

TEST_F(Identification, NegativeIdsAreWidenedWithSign) {
    RunningSimulator sim("--product -2 --version -7 --capabilities off");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, -2);
    EXPECT_EQ(r.softwareVersion, -7);
}

TEST_F(Identification, EmapOffering4109SwitchesTheTable) {
    RunningSimulator sim("--product 111 --waypoint-type 4109");
    ASSERT_TRUE(sim.ok());
    ASSERT_EQ(GetWaypointType(111), 4108);
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 111);
    EXPECT_EQ(GetWaypointType(111), 4109);
    EXPECT_TRUE(IsNewerFamily(111));
}

TEST_F(Identification, EmapOffering4108AndOtherModelsOffering4109LeaveTheTable) {
    {
        RunningSimulator sim("--product 111");
        ASSERT_TRUE(sim.ok());
        ASSERT_TRUE(ReadProductID(sim.port(5), kShortByteTimeoutMs).ok);
    }
    EXPECT_EQ(GetWaypointType(111), 4108);
    {
        RunningSimulator sim("--product 130 --waypoint-type 4109");
        ASSERT_TRUE(sim.ok());
        ASSERT_TRUE(ReadProductID(sim.port(5), kShortByteTimeoutMs).ok);
    }
    EXPECT_EQ(GetWaypointType(111), 4108);
    EXPECT_EQ(GetWaypointType(130), 4108);
}

TEST_F(Identification, NoReceiverFails) {
    RunningSimulator sim("--no-answer");
    ASSERT_TRUE(sim.ok());
    ExpectFailure(ReadProductID(sim.port(5), kShortByteTimeoutMs));
    // The request went out all the same.
    EXPECT_EQ(ReceivedIds(sim, 1), (std::vector<int>{254}));
}

TEST_F(Identification, PortThatDoesNotExistFails) {
    ScopedEnv env("SORVANE_COM6", "/dev/no-such-receiver");
    const ProductIdentification missing = ReadProductID(PortSettings{6, 9600, 0, 8, 0}, 100);
    ExpectFailure(missing);
    EXPECT_EQ(missing.errorCode, ENOENT);

    const ProductIdentification zero = ReadProductID(PortSettings{0, 9600, 0, 8, 0}, 100);
    ExpectFailure(zero);
    EXPECT_EQ(zero.errorCode, ENODEV);
}

TEST_F(Identification, BusyPortFails) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort holder;
    ASSERT_TRUE(holder.Open(sim.port(5)));
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ExpectFailure(r);
    EXPECT_EQ(r.errorCode, EBUSY);
}

TEST_F(Identification, CorruptedProductDataIsRecoveredByNak) {
    RunningSimulator sim("--corrupt-packet 2");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 130);
    EXPECT_EQ(r.description, "eTrex Software Version 2.50");
    EXPECT_EQ(ReceivedIds(sim, 4), (std::vector<int>{254, 21, 6, 6}));
    EXPECT_EQ(sim.sim().Received()[1].data, (std::vector<std::uint8_t>{255, 0}));
}

TEST_F(Identification, CorruptedCapabilityListIsRecoveredByNak) {
    RunningSimulator sim("--product 111 --waypoint-type 4109 --corrupt-packet 3");
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(ReadProductID(sim.port(5), kShortByteTimeoutMs).ok);
    EXPECT_EQ(GetWaypointType(111), 4109);
    EXPECT_EQ(ReceivedIds(sim, 4), (std::vector<int>{254, 6, 21, 6}));
}

TEST_F(Identification, StreamCutInTheMiddleOfAPacketTimesOut) {
    RunningSimulator sim("--cut-packet 2");
    ASSERT_TRUE(sim.ok());
    ExpectFailure(ReadProductID(sim.port(5), kShortByteTimeoutMs));
}

TEST_F(Identification, StreamStoppedAfterTheAcknowledgementTimesOut) {
    RunningSimulator sim("--stop-after 1");
    ASSERT_TRUE(sim.ok());
    ExpectFailure(ReadProductID(sim.port(5), kShortByteTimeoutMs));
}

TEST_F(Identification, GarbageBetweenFramesIsSkipped) {
    RunningSimulator sim("--garbage --product 111 --waypoint-type 4109");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 111);
    EXPECT_EQ(GetWaypointType(111), 4109);
    // Nothing was taken for a bad frame.
    EXPECT_EQ(ReceivedIds(sim, 3), (std::vector<int>{254, 6, 6}));
}

TEST_F(Identification, OversizedPacketIsDroppedAndRetransmitted) {
    RunningSimulator sim("--oversized-packet 2");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 130);
    EXPECT_EQ(ReceivedIds(sim, 4), (std::vector<int>{254, 21, 6, 6}));
}

TEST_F(Identification, HangUpFailsAtOnce) {
    RunningSimulator sim("--hangup-after 1");
    ASSERT_TRUE(sim.ok());
    const PortSettings settings = sim.port(5);
    // With a budget no test would wait out, only the hang-up ends the exchange.
    auto r = std::async(std::launch::async, [settings] { return ReadProductID(settings, 600000); });
    ASSERT_EQ(r.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    const ProductIdentification got = r.get();
    ExpectFailure(got);
    EXPECT_EQ(got.errorCode, EIO);
    EXPECT_TRUE(sim.sim().Stats().hungUp);
}

TEST_F(Identification, RepeatedIdentificationOnOneLine) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    for (int i = 0; i < 3; ++i) {
        const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
        ASSERT_TRUE(r.ok) << i;
        EXPECT_EQ(r.productId, 130);
    }
}

TEST_F(Identification, ThrottledLineStillIdentifies) {
    RunningSimulator sim("--baud 9600 --product 153 --version 310");
    ASSERT_TRUE(sim.ok());
    const ProductIdentification r = ReadProductID(sim.port(5), kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 153);
    EXPECT_EQ(r.description, "Pocket Mini Software Version 3.10");
}

TEST_F(Identification, AgainstTheSimulatorProgram) {
    SpawnedSimulator program("--product 96 --version 260");
    ASSERT_TRUE(program.ok());
    ScopedEnv env("SORVANE_COM4", program.path());
    const ProductIdentification r =
        ReadProductID(PortSettings{4, 9600, 0, 8, 0}, kShortByteTimeoutMs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 96);
    EXPECT_EQ(r.softwareVersion, 260);
    EXPECT_EQ(r.description, "GPS12XL(2) Software Version 2.60");
    EXPECT_EQ(GetWaypointType(r.productId), 4103);
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace sorvane
