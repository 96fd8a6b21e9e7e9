// The gpssim program serving a data file and recording uploads, driven by the
// control's own transfers.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "link/transfers.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"

namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::ScopedEnv;
using testsupport::SpawnedSimulator;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SimulatorProgram, ServesADataFileAndRecordsUploads) {
    const std::string data = ::testing::TempDir() + "gpssim_program_data.txt";
    const std::string record = ::testing::TempDir() + "gpssim_program_record.txt";
    std::remove(record.c_str());
    {
        std::ofstream out(data);
        out << "# two waypoints\n"
               "waypoint FIRST 35.5 139.5 symbol=7 display=1 comment=\"ONE\"\n"
               "waypoint SECOND -1.25 -2.5 comment=TWO\n";
    }
    SpawnedSimulator program("--product 87 --data " + data + " --record " + record);
    ASSERT_TRUE(program.ok());
    ScopedEnv env("SORVANE_COM4", program.path());

    sorvane::KelData store;
    ASSERT_EQ(store.SetProductID(87), 1);
    sorvane::PortSettings port;
    port.port = 4;
    const sorvane::TransferContext ctx{store, port, nullptr, kShortByteTimeoutMs};
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
        text = ReadFile(record);
    }
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line))
        all.push_back(line);
    ASSERT_EQ(all.size(), 4u) << text;
    EXPECT_EQ(all[0], "records 2");
    EXPECT_EQ(all[1].rfind("packet 35 waypoint name=\"FIRST\" lat=", 0), 0u) << all[1];
    EXPECT_NE(all[1].find("symbol=7 display=1 "), std::string::npos) << all[1];
    EXPECT_NE(all[1].find("comment=\"ONE\""), std::string::npos) << all[1];
    EXPECT_EQ(all[2].rfind("packet 35 waypoint name=\"SECOND\"", 0), 0u) << all[2];
    EXPECT_EQ(all[3], "complete 6 0");
    EXPECT_EQ(program.Terminate(), 0);
    std::remove(data.c_str());
    std::remove(record.c_str());
}

TEST(SimulatorProgram, BadDataFileIsRefusedWithItsLine) {
    const std::string data = ::testing::TempDir() + "gpssim_program_bad.txt";
    {
        std::ofstream out(data);
        out << "waypoint A 1 2\nwaypoint B x 2\n";
    }
    const std::string command = std::string(GPSSIM_PROGRAM) + " --data " + data + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        text += buf;
    EXPECT_EQ(WEXITSTATUS(::pclose(p)), 2);
    EXPECT_NE(text.find("line 2: bad position"), std::string::npos) << text;
    std::remove(data.c_str());
}

}  // namespace
