#include "link/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "link/packet.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::kShortByteTimeoutMs;
using testsupport::RunningSimulator;

constexpr PortSettings k9600{5, 9600, 0, 8, 0};

// Sends a packet the simulator does not know; it answers with 10 06 02 42 00 B6 10 03.
bool Answers(SerialPort& port) {
    std::uint8_t packet[] = {0x10, 0x42, 0x00, 0x00, 0x10, 0x03};
    std::uint8_t buf[kPacketSlotSize];
    return SendPacket(port, packet, sizeof packet) == 6 && ReceivePacket(port, buf) == 8 &&
           buf[1] == kPidAck && buf[3] == 0x42 && buf[5] == 0xB6;
}

// The terminal's settings and exclusive flag, through a descriptor of our own.
std::pair<termios, int> LineState(const std::string& path) {
    termios t{};
    int exclusive = -1;
    // Root passes TIOCEXCL; the lock is what keeps others out.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        EXPECT_EQ(::tcgetattr(fd, &t), 0);
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        ::close(fd);
    }
    return {t, exclusive};
}

TEST(SerialPort, OpenExchangeCloseAndOpenAgain) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.sim().error();
    SerialPort port(kShortByteTimeoutMs);
    SerialPort second(kShortByteTimeoutMs);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(port.Open(sim.port(5)));
        EXPECT_EQ(port.DevicePath(), sim.path());
        // Already open: false, and the line stays usable.
        EXPECT_FALSE(port.Open(sim.port(5)));
        EXPECT_FALSE(port.OpenDevice(sim.path(), k9600));
        // Another object cannot have the same line.
        EXPECT_FALSE(second.Open(sim.port(5)));
        EXPECT_EQ(second.ErrorCode(), EBUSY);
        EXPECT_FALSE(second.IsOpen());
        EXPECT_TRUE(Answers(port));
        // Silence: a time-out, which is no error.
        EXPECT_EQ(port.ReadByte(), kReadTimeout);
        EXPECT_EQ(port.ErrorCode(), 0);
        EXPECT_TRUE(port.Close());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.Close());
    }
    ASSERT_TRUE(second.Open(sim.port(5)));
    EXPECT_TRUE(Answers(second));
}

TEST(SerialPort, LineSettingsAndExclusionLastWhileOpen) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    const auto [before, exclusiveBefore] = LineState(sim.path());
    EXPECT_EQ(exclusiveBefore, 0);
    SerialPort port(kShortByteTimeoutMs);
    ASSERT_TRUE(port.OpenDevice(sim.path(), PortSettings{1, 4800, 0, 8, 2}));
    const auto [during, exclusive] = LineState(sim.path());
    EXPECT_EQ(exclusive, 1);
    EXPECT_EQ(::cfgetospeed(&during), B4800);
    EXPECT_EQ(::cfgetispeed(&during), B4800);
    EXPECT_TRUE(during.c_cflag & CSTOPB);
    EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(during.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(during.c_cflag & CRTSCTS);
    port.Close();
    const auto [after, exclusiveAfter] = LineState(sim.path());
    EXPECT_EQ(exclusiveAfter, 0);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST(SerialPort, SettingsLinuxCannotDoOrTheDriverRefusesFailTheOpen) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port(kShortByteTimeoutMs);
    // No such speed, zero baud (which hangs up a line), no parity code 5, nine
    // or four data bits, one and a half stop bits, stop code 3; a
    // pseudo-terminal carries neither parity nor short characters.
    const PortSettings bad[] = {{1, 12345, 0, 8, 0}, {1, 0, 0, 8, 0},    {1, 9600, 5, 8, 0},
                                {1, 9600, 0, 9, 0},  {1, 9600, 0, 4, 0}, {1, 9600, 0, 8, 1},
                                {1, 9600, 0, 8, 3},  {1, 9600, 2, 8, 0}, {1, 9600, 0, 7, 0}};
    for (const PortSettings& s : bad) {
        SCOPED_TRACE(testing::Message() << s.baudRate << " " << int(s.parity) << " "
                                        << int(s.dataBits) << " " << int(s.stopBits));
        EXPECT_FALSE(port.OpenDevice(sim.path(), s));
        EXPECT_EQ(port.ErrorCode(), EINVAL);
        EXPECT_FALSE(port.IsOpen());
    }
    // A refused open leaves the line as it was and free for the next one.
    EXPECT_TRUE(port.OpenDevice(sim.path(), k9600));
}

TEST(SerialPort, HangUpEndsTheWaitAtOnce) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    // A budget far beyond the test's patience: only the hang-up can end the wait.
    SerialPort patient(600000);
    ASSERT_TRUE(patient.Open(sim.port(5)));
    auto read = std::async(std::launch::async, [&patient] { return patient.ReadByte(); });
    sim.sim().Stop();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(read.get(), kReadTimeout);
    EXPECT_EQ(patient.ErrorCode(), EIO);
    EXPECT_EQ(patient.ReadByte(), kReadTimeout);
    EXPECT_TRUE(patient.Close());
}

// The default budget is 2000 ms per byte: a byte 1.5 s into the wait is
// taken, and with none coming the wait ends after two seconds, not before.
TEST(SerialPort, DefaultBudgetIsTwoSecondsPerByte) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(sim.port(5)));
    std::thread late([&] {
        std::this_thread::sleep_for(1500ms);
        sim.sim().SendRaw("\x42");
    });
    EXPECT_EQ(port.ReadByte(), 0x42);
    late.join();
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadByte(), kReadTimeout);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 2000ms);
    EXPECT_LT(waited, 3500ms);
    // A wait of its own replaces the budget for one byte.
    const auto shortStart = Clock::now();
    EXPECT_EQ(port.ReadByteWithin(100), kReadTimeout);
    EXPECT_LT(Clock::now() - shortStart, 1500ms);
}

}  // namespace
}  // namespace sorvane
