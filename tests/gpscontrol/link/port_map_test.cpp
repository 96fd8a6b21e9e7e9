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
        dir_ = std::filesystem::temp_directory_path() /
               ("sorvane-ports-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_ / "sorvane");
        config_.emplace("XDG_CONFIG_HOME", dir_.string());
        for (int n = 1; n <= 9; ++n)
            ::unsetenv(("SORVANE_COM" + std::to_string(n)).c_str());
    }
    void TearDown() override {
        config_.reset();
        std::filesystem::remove_all(dir_);
    }
    void WriteConfig(const std::string& text) {
        std::ofstream(dir_ / "sorvane" / "ports.conf") << text;
    }

    std::filesystem::path dir_;
    std::optional<ScopedEnv> config_;
};

TEST_F(PortMap, DefaultIsTheNumberedSerialDevice) {
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(9), "/dev/ttyS8");
}

TEST_F(PortMap, NumbersOutsideOneToNineNameNoDevice) {
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_EQ(PortDevicePath(10), "");
    EXPECT_EQ(PortDevicePath(-1), "");
    EXPECT_EQ(PortDevicePath(255), "");
}

TEST_F(PortMap, FileLinesMapPorts) {
    WriteConfig("# receivers\n\nCOM1=/dev/ttyUSB0\r\n com3 = /dev/ttyACM1 \nCOM4=\nbroken line\n");
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyACM1");
    EXPECT_EQ(PortDevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
}

TEST_F(PortMap, EnvironmentComesBeforeTheFile) {
    WriteConfig("COM2=/dev/ttyUSB9\n");
    ScopedEnv env("SORVANE_COM2", "/dev/pts/77");
    EXPECT_EQ(PortDevicePath(2), "/dev/pts/77");
}

TEST_F(PortMap, HomeConfigIsUsedWithoutXdgConfigHome) {
    config_.reset();
    ScopedEnv noXdg("XDG_CONFIG_HOME", "");
    ScopedEnv home("HOME", dir_.string());
    std::filesystem::create_directories(dir_ / ".config" / "sorvane");
    std::ofstream(dir_ / ".config" / "sorvane" / "ports.conf") << "COM5=/dev/ttyUSB5\n";
    EXPECT_EQ(PortDevicePath(5), "/dev/ttyUSB5");
}

TEST_F(PortMap, OpeningAPortThatNamesNoDeviceFails) {
    SerialPort port;
    EXPECT_FALSE(port.Open(0, 9600, 0, 8, 0));
    EXPECT_EQ(port.ErrorCode(), ENODEV);
    EXPECT_FALSE(port.Open(10, 9600, 0, 8, 0));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortMap, OpeningAMissingDeviceOrANonTerminalFails) {
    ScopedEnv missing("SORVANE_COM7", (dir_ / "no-such-tty").string());
    SerialPort port;
    EXPECT_FALSE(port.Open(7, 9600, 0, 8, 0));
    EXPECT_EQ(port.ErrorCode(), ENOENT);

    ScopedEnv notTty("SORVANE_COM8", "/dev/null");
    EXPECT_FALSE(port.Open(8, 9600, 0, 8, 0));
    EXPECT_EQ(port.ErrorCode(), ENOTTY);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    EXPECT_EQ(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);
    EXPECT_FALSE(port.Close());
}

}  // namespace
}  // namespace sorvane
