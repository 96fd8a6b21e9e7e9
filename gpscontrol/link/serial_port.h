#pragma once
// The receiver's serial line over termios. A transfer opens it by port number,
// reads bytes with a per-byte time-out, writes packets and closes it again.

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "link/byte_stream.h"

namespace sorvane {

// Line settings as the control keeps them. Parity: 0 none, 1 odd, 2 even,
// 3 mark, 4 space. Stop bits: 0 one, 1 one and a half, 2 two.
struct PortSettings {
    std::uint8_t port = 1;
    std::uint32_t baudRate = 9600;
    std::uint8_t parity = 0;
    std::uint8_t dataBits = 8;
    std::uint8_t stopBits = 0;
};

// The device that port number n (1..9) names: $SORVANE_COMn, else the COMn line
// of $XDG_CONFIG_HOME/sorvane/ports.conf (~/.config by default), else
// /dev/ttyS<n-1>. Empty for numbers that name no port.
std::string PortDevicePath(int port);
// The device of key ("COM1") in the text of a port map file: the first line
// key=device, blanks around either side and letter case of the key ignored;
// lines starting with # are comments, and so is what follows a # after a
// blank. Empty when no line names one.
std::string PortMapDevice(std::string_view text, std::string_view key);

// A serial line held exclusively, with the settings it had before it was
// opened. Closing gives the line back as it was found.
class SerialLine {
  public:
    SerialLine() = default;
    ~SerialLine() { Close(); }
    SerialLine(SerialLine&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), saved_(other.saved_) {}
    SerialLine& operator=(SerialLine&& other) noexcept;

    int fd() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Puts the saved settings back (a line that hung up has nothing to take
    // them, so restore is false then), gives up the hold and closes. False
    // when nothing was open or the close failed, with errno set.
    bool Close(bool restore = true);

  private:
    friend int OpenSerialLine(const std::string&, const PortSettings&, SerialLine*);
    int fd_ = -1;
    termios saved_{};
};

// Opens the device at path exclusively (TIOCEXCL and an advisory lock, which
// keeps out root too) in raw mode with the four line settings. 0 with *line
// set, or the errno of the failing step: EINVAL for settings Linux cannot do
// or the driver did not keep, EBUSY when the line is held elsewhere.
int OpenSerialLine(const std::string& path, const PortSettings& settings, SerialLine* line);

class SerialPort final : public ByteStream {
  public:
    static constexpr int kDefaultByteTimeoutMs = 2000;

    explicit SerialPort(int byteTimeoutMs = kDefaultByteTimeoutMs);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // False at once when already open; otherwise opens the device of the port
    // number exclusively in raw mode with the four line settings.
    bool Open(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
              std::uint8_t stopBits);
    bool Open(const PortSettings& settings);
    // The same on a device path (the port number in settings is not used).
    bool OpenDevice(const std::string& path, const PortSettings& settings);

    std::uint16_t ReadByte() override { return ReadByteWithin(byteTimeoutMs_); }
    std::uint16_t ReadByteWithin(int waitMs) override;
    std::int32_t Write(const std::uint8_t* bytes, std::size_t count) override;
    // Restores the line as it was found and closes; false when nothing was
    // open or the close failed. The object can be opened again afterwards.
    bool Close();

    bool IsOpen() const { return line_.IsOpen(); }
    // errno of the last failing call (0 when none failed).
    int ErrorCode() const { return errorCode_; }
    const std::string& DevicePath() const { return path_; }

  private:
    bool Fail(int error);
    bool WaitFor(short events, int timeoutMs, short* revents);

    SerialLine line_;
    int byteTimeoutMs_;
    int errorCode_ = 0;
    bool hungUp_ = false;
    std::string path_;
    // Bytes read ahead of the caller; ReadByte hands them out one at a time.
    std::uint8_t buffer_[512] = {};
    std::size_t bufferPos_ = 0;
    std::size_t bufferLen_ = 0;
};

}  // namespace sorvane
