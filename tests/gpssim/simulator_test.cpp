// The simulator on a real pseudo-terminal, driven by the control's own link code.

#include "simulator.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "link/device_records.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "support/sim_fixture.h"

namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;
using testsupport::SpawnedSimulator;

std::vector<std::uint8_t> Exchange(sorvane::SerialPort& port, std::uint8_t id,
                                   std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> p = sorvane::BuildPacket(id, data);
    sorvane::SendPacket(port, p.data(), p.size());
    std::uint8_t buf[sorvane::kPacketSlotSize];
    const int n = sorvane::ReceivePacket(port, buf);
    return {buf, buf + n};
}

TEST(Simulator, AcknowledgesAndRecordsWhatItDoesNotKnow) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    const auto ack = Exchange(port, 0x42, {0x10, 0x10, 0x03});
    EXPECT_EQ(ack, (std::vector<std::uint8_t>{0x10, 0x06, 0x02, 0x42, 0x00, 0xB6, 0x10, 0x03}));
    // A records packet, as an upload starts: acknowledged as well.
    const auto records = sorvane::BuildRecordsPacket(3);
    std::vector<std::uint8_t> r(records.begin(), records.end());
    sorvane::SendPacket(port, r.data(), r.size());
    std::uint8_t buf[sorvane::kPacketSlotSize];
    ASSERT_EQ(sorvane::ReceivePacket(port, buf), 8);
    EXPECT_EQ(buf[3], 27);

    ASSERT_TRUE(sim.sim().WaitForReceived(2, std::chrono::seconds(10)));
    const auto got = sim.sim().Received();
    EXPECT_EQ(got[0], (gpssim::Packet{0x42, {0x10, 0x10, 0x03}}));
    EXPECT_EQ(got[1], (gpssim::Packet{27, {3, 0}}));
    const gpssim::SimulatorStats stats = sim.sim().Stats();
    EXPECT_EQ(stats.packetsReceived, 2);
    EXPECT_EQ(stats.packetsSent, 2);
    EXPECT_EQ(stats.bytesWritten, 16u);
}

TEST(Simulator, BadFrameFromTheHostIsNaked) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    std::vector<std::uint8_t> wire = {0x10, 0x23, 0x02, 0x01, 0x02, 0x00, 0x10, 0x03};
    port.Write(wire.data(), wire.size());
    std::uint8_t buf[sorvane::kPacketSlotSize];
    // The NAK arrives as a good packet; the host's receive takes it as it comes.
    ASSERT_EQ(sorvane::ReceivePacket(port, buf), 8);
    EXPECT_EQ(buf[1], 21);
    EXPECT_EQ(buf[3], 0x23);
    EXPECT_EQ(sim.sim().Stats().badPacketsReceived, 1);
}

TEST(Simulator, WithheldAcknowledgementLeavesTheHostWaiting) {
    RunningSimulator sim("--withhold-ack 2");
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    EXPECT_EQ(Exchange(port, 0x42, {}).size(), 8u);
    EXPECT_TRUE(Exchange(port, 0x43, {}).empty());
    EXPECT_EQ(Exchange(port, 0x44, {}).size(), 8u);
}

TEST(Simulator, HangUpClosesTheLine) {
    RunningSimulator sim("--hangup-after 0");
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(600000);
    ASSERT_TRUE(port.Open(sim.port(5)));
    std::uint8_t p[] = {0x10, 0x42, 0x00, 0x00, 0x10, 0x03};
    sorvane::SendPacket(port, p, sizeof p);
    EXPECT_EQ(port.ReadByte(), sorvane::kReadTimeout);  // would wait ten minutes if not a hang-up
    EXPECT_TRUE(sim.sim().Stats().hungUp);
}

TEST(Simulator, ThrottledLineDeliversEveryByte) {
    RunningSimulator sim("--baud 115200 --garbage");
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Exchange(port, 0x22, std::vector<std::uint8_t>(24, 0x10)).size(), 8u) << i;
    }
}

TEST(Simulator, StartsAndStopsRepeatedly) {
    for (int i = 0; i < 5; ++i) {
        gpssim::Simulator sim;
        ASSERT_TRUE(sim.Start());
        EXPECT_EQ(sim.slavePath().rfind("/dev/pts/", 0), 0u);
        sim.Stop();
        sim.Stop();
    }
}

TEST(SimulatorProgram, PrintsTheTerminalPathFirstAndStopsOnSigterm) {
    SpawnedSimulator program;
    ASSERT_TRUE(program.ok());
    EXPECT_EQ(program.path().rfind("/dev/pts/", 0), 0u);
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.OpenDevice(program.path(), sorvane::PortSettings{}));
    EXPECT_EQ(Exchange(port, 0x42, {}).size(), 8u);
    port.Close();
    EXPECT_EQ(program.Terminate(), 0);
}

TEST(SimulatorProgram, HelpAndBadOptions) {
    const std::string program = GPSSIM_PROGRAM;
    FILE* help = ::popen((program + " --help").c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, help))
        text += buf;
    EXPECT_EQ(WEXITSTATUS(::pclose(help)), 0);
    EXPECT_EQ(text.rfind("Usage: gpssim", 0), 0u);
    EXPECT_NE(text.find("--hangup-after"), std::string::npos);

    FILE* bad = ::popen((program + " --no-such-option 2>&1").c_str(), "r");
    ASSERT_NE(bad, nullptr);
    text.clear();
    while (std::fgets(buf, sizeof buf, bad))
        text += buf;
    EXPECT_EQ(WEXITSTATUS(::pclose(bad)), 2);
    EXPECT_NE(text.find("unknown option --no-such-option"), std::string::npos);
}

}  // namespace
