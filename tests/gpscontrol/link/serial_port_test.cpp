#include "link/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "link/packet.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;

constexpr PortSettings k9600{5, 9600, 0, 8, 0};

// Reads the terminal's settings through a descriptor of our own.
termios SettingsOf(const std::string& path) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

TEST(SerialPort, OpensAPseudoTerminalAndExchangesBytes) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.sim().error();
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.DevicePath(), sim.path());

    // An unknown packet is acknowledged: 10 06 02 42 00 B6 10 03.
    std::uint8_t packet[] = {0x10, 0x42, 0x00, 0x00, 0x10, 0x03};
    EXPECT_EQ(SendPacket(port, packet, sizeof packet), 6);
    const std::uint8_t expected[] = {0x10, 0x06, 0x02, 0x42, 0x00, 0xB6, 0x10, 0x03};
    for (std::uint8_t b : expected)
        EXPECT_EQ(port.ReadByte(), b);
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    EXPECT_TRUE(port.Close());
}

TEST(SerialPort, OpenWhileOpenReturnsFalseAndKeepsTheLine) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    EXPECT_FALSE(port.Open(sim.port(5)));
    EXPECT_FALSE(port.OpenDevice(sim.path(), k9600));
    EXPECT_TRUE(port.IsOpen());
    std::uint8_t packet[] = {0x10, 0x42, 0x00, 0x00, 0x10, 0x03};
    SendPacket(port, packet, sizeof packet);
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(port, buf), 8);
}

TEST(SerialPort, SecondOpenOfTheSameDeviceFails) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort first(kShortByteTimeoutMs);
    SerialPort second(kShortByteTimeoutMs);
    ASSERT_TRUE(first.Open(sim.port(5)));
    EXPECT_FALSE(second.Open(sim.port(5)));
    EXPECT_EQ(second.ErrorCode(), EBUSY);
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    EXPECT_TRUE(second.Open(sim.port(5)));
}

TEST(SerialPort, ClosedObjectCanBeOpenedAgain) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.Open(sim.port(5))) << i;
        std::uint8_t packet[] = {0x10, 0x42, 0x00, 0x00, 0x10, 0x03};
        SendPacket(port, packet, sizeof packet);
        std::uint8_t buf[kPacketSlotSize];
        EXPECT_EQ(ReceivePacket(port, buf), 8) << i;
        EXPECT_TRUE(port.Close());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.Close());
    }
}

TEST(SerialPort, LineIsExclusiveWhileOpenAndReleasedOnClose) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    int excl = -1;
    {
        const int fd = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);  // root passes TIOCEXCL; the lock is what keeps others out
        ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
        ::close(fd);
    }
    EXPECT_EQ(excl, 1);
    port.Close();
    const int fd = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
    ::close(fd);
    EXPECT_EQ(excl, 0);
}

TEST(SerialPort, AppliesLineSettingsAndRestoresThemOnClose) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    const termios before = SettingsOf(sim.path());
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.OpenDevice(sim.path(), PortSettings{1, 4800, 0, 8, 2}));
    const termios during = SettingsOf(sim.path());
    EXPECT_EQ(::cfgetospeed(&during), B4800);
    EXPECT_EQ(::cfgetispeed(&during), B4800);
    EXPECT_TRUE(during.c_cflag & CSTOPB);
    EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(during.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(during.c_cflag & CRTSCTS);
    port.Close();
    const termios after = SettingsOf(sim.path());
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST(SerialPort, SettingsLinuxCannotDoOrTheDriverRefusesFailTheOpen) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    const PortSettings bad[] = {
        {1, 12345, 0, 8, 0},                      // no such speed
        {1, 0, 0, 8, 0},                          // zero baud hangs up a line
        {1, 9600, 5, 8, 0},                       // no parity code 5
        {1, 9600, 0, 9, 0},                       // nine data bits
        {1, 9600, 0, 4, 0},  {1, 9600, 0, 8, 1},  // one and a half stop bits
        {1, 9600, 0, 8, 3},
    };
    for (const PortSettings& s : bad) {
        EXPECT_FALSE(port.OpenDevice(sim.path(), s)) << s.baudRate << " " << int(s.parity) << " "
                                                     << int(s.dataBits) << " " << int(s.stopBits);
        EXPECT_EQ(port.ErrorCode(), EINVAL);
        EXPECT_FALSE(port.IsOpen());
    }
    // A pseudo-terminal carries neither parity nor short characters.
    EXPECT_FALSE(port.OpenDevice(sim.path(), PortSettings{1, 9600, 2, 8, 0}));
    EXPECT_EQ(port.ErrorCode(), EINVAL);
    EXPECT_FALSE(port.OpenDevice(sim.path(), PortSettings{1, 9600, 0, 7, 0}));
    // A refused open leaves the line as it was and free for the next one.
    EXPECT_TRUE(port.OpenDevice(sim.path(), k9600));
}

TEST(SerialPort, ReadTimesOutWhenNothingArrives) {
    RunningSimulator sim("--no-answer");
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.Open(sim.port(5)));
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    EXPECT_EQ(port.ErrorCode(), 0);
}

TEST(SerialPort, HangUpEndsTheWaitAtOnce) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    // A budget far beyond the test's patience: only the hang-up can end the wait.
    SerialPort port(600000);
    ASSERT_TRUE(port.Open(sim.port(5)));
    auto read = std::async(std::launch::async, [&port] { return port.ReadByte(); });
    sim.sim().Stop();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(read.get(), kReadTimeout);
    EXPECT_EQ(port.ErrorCode(), EIO);
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    EXPECT_TRUE(port.Close());
}

}  // namespace
}  // namespace sorvane
