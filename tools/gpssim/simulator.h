#pragma once
// A receiver on a pseudo-terminal: the host opens the slave path with its real
// serial code, the simulator serves the master side on its own thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "frame.h"
#include "nmea_stream.h"
#include "options.h"
#include "receiver_memory.h"

namespace gpssim {

struct SimulatorStats {
    std::uint64_t bytesWritten = 0;  // to the host, garbage included
    std::uint64_t bytesRead = 0;     // from the host
    int packetsSent = 0;             // transmissions, retransmissions included
    int packetsReceived = 0;         // good packets from the host
    int badPacketsReceived = 0;
    int naksReceived = 0;     // negative acknowledgements from the host
    int packetsRejected = 0;  // host packets answered with one (--reject-packet)
    bool hungUp = false;
};

class Simulator {
  public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The protocol engine, to be given handlers before Start.
    ReceiverEngine& engine() { return engine_; }

    // Opens the pseudo-terminal and starts serving. False (with error()) when
    // no terminal could be had.
    bool Start();
    // Stops serving and closes the terminal; also done by the destructor.
    void Stop();

    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // What the host sent so far (good packets, acknowledgements included).
    std::vector<Packet> Received() const;
    SimulatorStats Stats() const;
    // Waits until the host has sent at least count good packets.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

    // Every upload so far, decoded for the model played.
    std::vector<Upload> Uploads() const;
    // Waits until at least count uploads have ended with transfer complete.
    bool WaitForCompleteUploads(std::size_t count, std::chrono::milliseconds timeout) const;
    // What the receiver holds now (uploads replace what they carry).
    DataSet Data() const;

    // The NMEA cycles sent so far.
    std::vector<NmeaCycle> NmeaCycles() const;
    bool WaitForNmeaCycles(std::size_t count, std::chrono::milliseconds timeout) const;
    // Starts the NMEA stream of a simulator whose options held it back.
    void ResumeNmea();
    // Puts bytes on the line as they are (after what is already queued).
    void SendRaw(std::string bytes);

  private:
    using Clock = std::chrono::steady_clock;
    struct TimedByte {
        std::uint8_t byte;
        Clock::time_point due;
    };

    void Run();
    void TransmitFrame(const Packet& p);  // the engine's sender
    void QueueOut(const std::vector<std::uint8_t>& bytes, Clock::time_point from);
    void ReadFromHost();
    void DeliverDueInput(Clock::time_point now);
    bool WriteDueOutput(Clock::time_point now);
    void HangUp();
    void CloseAll();
    void EmitNmeaCycle(Clock::time_point now);
    void TakeRaw(Clock::time_point now);

    Options options_;
    ReceiverEngine engine_;
    ReceiverMemory memory_;
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> record_;
    FrameDecoder decoder_;
    std::string slavePath_;
    std::string error_;

    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees the host's close
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stop_{false};

    Clock::duration byteTime_{};
    std::deque<TimedByte> out_;
    std::deque<TimedByte> in_;
    Clock::time_point outFree_{};
    Clock::time_point inFree_{};
    // When the byte being handled arrived on the modelled line; answers leave from then.
    Clock::time_point arrival_{};
    bool delivering_ = false;
    bool silent_ = false;
    bool hangupPending_ = false;
    bool outBlocked_ = false;

    std::vector<SimTrackPoint> nmeaPoints_;
    Clock::duration nmeaPeriod_{};
    Clock::time_point nextCycle_{};
    std::atomic<bool> nmeaPaused_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SimulatorStats stats_;
    std::vector<NmeaCycle> cycles_;
    std::string raw_;
};

}  // namespace gpssim
