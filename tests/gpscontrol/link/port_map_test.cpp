#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/serial_port.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::ScopedEnv;

class PortMap : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 9; ++n)
            ::unsetenv(("SORVANE_COM" + std::to_string(n)).c_str());
        std::filesystem::create_directories(dir_ / "sorvane");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    const std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() / ("sorvane-ports-" + std::to_string(::getpid()));
    ScopedEnv config_{"XDG_CONFIG_HOME", dir_.string()};
};

TEST_F(PortMap, EnvironmentThenFileThenTheNumberedSerialDevice) {
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(9), "/dev/ttyS8");
    for (int none : {0, 10, -1, 255})
        EXPECT_EQ(PortDevicePath(none), "") << none;
    std::ofstream(dir_ / "sorvane" / "ports.conf")
        << "# receivers\n\nCOM1=/dev/ttyUSB0\r\n com3 = /dev/ttyACM1 \nCOM4=\nbroken line\n"
        << "COM2=/dev/ttyUSB9\n"
        << "COM5=/dev/ttyACM5  # the receiver's cable\nCOM6=/dev/ttyUSB6\t#\n"
        << "COM7=/dev/by-name/port#2 # a path with # in it\nCOM8= # nothing yet\n";
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyACM1");
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(PortDevicePath(2), "/dev/ttyUSB9");
    // A comment after the device is not part of it.
    EXPECT_EQ(PortDevicePath(5), "/dev/ttyACM5");
    EXPECT_EQ(PortDevicePath(6), "/dev/ttyUSB6");
    EXPECT_EQ(PortDevicePath(7), "/dev/by-name/port#2");
    EXPECT_EQ(PortDevicePath(8), "/dev/ttyS7");
    ScopedEnv env("SORVANE_COM2", "/dev/pts/77");
    EXPECT_EQ(PortDevicePath(2), "/dev/pts/77");
    // Without XDG_CONFIG_HOME the file is under ~/.config.
    ScopedEnv noXdg("XDG_CONFIG_HOME", "");
    ScopedEnv home("HOME", dir_.string());
    std::filesystem::create_directories(dir_ / ".config" / "sorvane");
    std::ofstream(dir_ / ".config" / "sorvane" / "ports.conf") << "COM5=/dev/ttyUSB5\n";
    EXPECT_EQ(PortDevicePath(5), "/dev/ttyUSB5");
}

TEST_F(PortMap, OpeningWhatIsNoSerialLineFails) {
    ScopedEnv missing("SORVANE_COM7", (dir_ / "no-such-tty").string());
    ScopedEnv notTty("SORVANE_COM8", "/dev/null");
    const std::pair<int, int> cases[] = {{0, ENODEV}, {10, ENODEV}, {7, ENOENT}, {8, ENOTTY}};
    SerialPort port;
    for (const auto& [number, error] : cases) {
        EXPECT_FALSE(port.Open(number, 9600, 0, 8, 0)) << number;
        EXPECT_EQ(port.ErrorCode(), error) << number;
        EXPECT_FALSE(port.IsOpen());
    }
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    EXPECT_EQ(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);
    EXPECT_FALSE(port.Close());
}

}  // namespace
}  // namespace sorvane
