// The simulator on a real pseudo-terminal, driven by the control's own link
// code, and the gpssim program serving a data file and recording uploads.

#include "simulator.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "link/packet.h"
#include "link/serial_port.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"
#include "transfer/transfers.h"

namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;
using testsupport::SpawnedSimulator;
using Bytes = std::vector<std::uint8_t>;

// Sends a packet and returns what comes back (empty when nothing did).
Bytes Exchange(sorvane::SerialPort& port, std::uint8_t id, const Bytes& data) {
    Bytes p = sorvane::BuildPacket(id, data);
    sorvane::SendPacket(port, p.data(), p.size());
    std::uint8_t buf[sorvane::kPacketSlotSize];
    return {buf, buf + sorvane::ReceivePacket(port, buf)};
}

// Runs the program with arguments; its exit status and everything it printed.
std::pair<int, std::string> RunProgram(const std::string& arguments) {
    FILE* p = ::popen((std::string(GPSSIM_PROGRAM) + " " + arguments + " 2>&1").c_str(), "r");
    std::string text;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        text += buf;
    return {p ? WEXITSTATUS(::pclose(p)) : -1, text};
}

TEST(Simulator, AcknowledgesAndRecordsWhatItDoesNotKnowNaksBadFramesAndThrottles) {
    RunningSimulator sim("--baud 115200");
    ASSERT_TRUE(sim.ok());
    sorvane::SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    EXPECT_EQ(Exchange(port, 0x42, {0x10, 0x10, 0x03}),
              (Bytes{0x10, 0x06, 0x02, 0x42, 0x00, 0xB6, 0x10, 0x03}));
    // A records packet, as an upload starts: acknowledged as well.
    EXPECT_EQ(Exchange(port, 27, {3, 0}), sorvane::BuildPacket(6, Bytes{27, 0}));
    ASSERT_TRUE(sim.sim().WaitForReceived(2, std::chrono::seconds(10)));
    EXPECT_EQ(sim.sim().Received(),
              (std::vector<gpssim::Packet>{{0x42, {0x10, 0x10, 0x03}}, {27, {3, 0}}}));
    gpssim::SimulatorStats stats = sim.sim().Stats();
    EXPECT_EQ(std::tuple(stats.packetsReceived, stats.packetsSent, stats.bytesWritten),
              std::tuple(2, 2, 16u));
    // The NAK of a bad frame arrives as a good packet.
    const Bytes bad = {0x10, 0x23, 0x02, 0x01, 0x02, 0x00, 0x10, 0x03};
    port.Write(bad.data(), bad.size());
    std::uint8_t buf[sorvane::kPacketSlotSize];
    ASSERT_EQ(sorvane::ReceivePacket(port, buf), 8);
    EXPECT_EQ(Bytes(buf, buf + 8), sorvane::BuildPacket(21, Bytes{0x23, 0}));
    EXPECT_EQ(sim.sim().Stats().badPacketsReceived, 1);
    // A throttled line delivers every byte.
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Exchange(port, 0x22, Bytes(24, 0x10)).size(), 8u) << i;
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

TEST(SimulatorProgram, HelpBadOptionsAndBadDataFiles) {
    const auto [helpStatus, help] = RunProgram("--help");
    EXPECT_EQ(helpStatus, 0);
    EXPECT_EQ(help.rfind("Usage: gpssim", 0), 0u);
    EXPECT_NE(help.find("--hangup-after"), std::string::npos);
    const auto [badStatus, bad] = RunProgram("--no-such-option");
    EXPECT_EQ(badStatus, 2);
    EXPECT_NE(bad.find("unknown option --no-such-option"), std::string::npos) << bad;
    const std::string data = ::testing::TempDir() + "gpssim_program_bad.txt";
    std::ofstream(data) << "waypoint A 1 2\nwaypoint B x 2\n";
    const auto [dataStatus, text] = RunProgram("--data " + data);
    EXPECT_EQ(dataStatus, 2);
    EXPECT_NE(text.find("line 2: bad position"), std::string::npos) << text;
    std::remove(data.c_str());
}

TEST(SimulatorProgram, ServesADataFileAndRecordsUploads) {
    const std::string data = ::testing::TempDir() + "gpssim_program_data.txt";
    const std::string record = ::testing::TempDir() + "gpssim_program_record.txt";
    std::remove(record.c_str());
    std::ofstream(data) << "# two waypoints\n"
                           "waypoint FIRST 35.5 139.5 symbol=7 display=1 comment=\"ONE\"\n"
                           "waypoint SECOND -1.25 -2.5 comment=TWO\n";
    SpawnedSimulator program("--product 87 --data " + data + " --record " + record);
    ASSERT_TRUE(program.ok());
    testsupport::ScopedEnv env("SORVANE_COM4", program.path());
    sorvane::KelData store;
    ASSERT_EQ(store.SetProductID(87), 1);
    const sorvane::TransferContext ctx{store, sorvane::PortSettings{4}, nullptr,
                                       kShortByteTimeoutMs};
    ASSERT_EQ(sorvane::DownloadWaypoint(ctx), 1);
    ASSERT_EQ(store.GetWaypointCount(), 2);
    EXPECT_EQ(store.GetWaypointID(0), "FIRST ");
    EXPECT_EQ(store.GetWaypointComment(1).substr(0, 3), "TWO");
    EXPECT_EQ(store.GetWaypointSmbl(0), 7);

    ASSERT_EQ(sorvane::UploadWaypoint(ctx), 1);
    // The program writes each line as the packet arrives; the last one is the end.
    std::string text;
    for (int i = 0; i < 500 && text.find("complete") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ostringstream s;
        s << std::ifstream(record).rdbuf();
        text = s.str();
    }
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // Downloaded and uploaded again, every position comes back to the unit.
    const std::string none = " alt=9.99999956e+24 ";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "records 2",
                         "packet 35 waypoint name=\"FIRST\" lat=423531497 lon=1664299827" + none +
                             "symbol=7 display=1 proximity=0 comment=\"ONE\"",
                         "packet 35 waypoint name=\"SECOND\" lat=-14913081 lon=-29826162" + none +
                             "symbol=0 display=0 proximity=0 comment=\"TWO\"",
                         "complete 6 0"}));
    EXPECT_EQ(program.Terminate(), 0);
    std::remove(data.c_str());
    std::remove(record.c_str());
}

}  // namespace
