#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace gpssim {

namespace {

// Junk of the kind a line carries between frames: text, a stray DLE ETX.
constexpr std::uint8_t kGarbage[] = {0x00, 0xFF, '$', 'G',  'P',  'X',  'X',  'X',  ',',
                                     '*',  '7',  'F', '\r', '\n', kDle, kEtx, 0x03, 0x7E};

std::string ErrorText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

Simulator::Simulator(Options options)
    : options_(std::move(options)),
      engine_(options_.profile),
      memory_(options_.profile,
              options_.data ? *options_.data : BuiltInDataSet(options_.profile.characterSet),
              options_.stream) {
    engine_.WithholdAck(options_.faults.withholdAck);
    engine_.RejectPacket(options_.faults.rejectPacket, options_.faults.rejectAlways);
    engine_.SetSender([this](const Packet& p) { TransmitFrame(p); });
    memory_.Install(engine_);
    memory_.SetLog([this](const std::string& line) {
        if (record_) {
            std::fprintf(record_.get(), "%s\n", line.c_str());
            std::fflush(record_.get());
        }
    });
    for (const SimTrack& t : memory_.data().tracks)
        nmeaPoints_.insert(nmeaPoints_.end(), t.points.begin(), t.points.end());
    if (nmeaPoints_.empty())
        nmeaPoints_.push_back({});
    nmeaPaused_ = options_.nmea.paused;
    nmeaPeriod_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / (options_.nmea.rate > 0 ? options_.nmea.rate : 1.0)));
    if (options_.baud > 0) {
        // Ten bits per byte on the line: start, eight data, stop.
        byteTime_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(10.0 / options_.baud));
    }
}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start() {
    if (thread_.joinable())
        return true;
    if (!options_.recordFile.empty() && !record_) {
        record_.reset(std::fopen(options_.recordFile.c_str(), "a"));
        if (!record_) {
            error_ = ErrorText(options_.recordFile.c_str());
            return false;
        }
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error_ = ErrorText("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        error_ = ErrorText("pseudo-terminal set-up");
        CloseAll();
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error_ = ErrorText(name);
        CloseAll();
        return false;
    }
    termios t{};
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = ErrorText("pipe");
        CloseAll();
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Simulator::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
        thread_.join();
    }
    CloseAll();
}

void Simulator::CloseAll() {
    for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<Packet> Simulator::Received() const {
    std::lock_guard lock(mutex_);
    return engine_.received();
}

SimulatorStats Simulator::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

bool Simulator::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return engine_.received().size() >= count; });
}

std::vector<Upload> Simulator::Uploads() const {
    std::lock_guard lock(mutex_);
    return memory_.uploads();
}

bool Simulator::WaitForCompleteUploads(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        std::size_t complete = 0;
        for (const Upload& u : memory_.uploads())
            complete += u.complete ? 1 : 0;
        return complete >= count;
    });
}

DataSet Simulator::Data() const {
    std::lock_guard lock(mutex_);
    return memory_.data();
}

std::vector<NmeaCycle> Simulator::NmeaCycles() const {
    std::lock_guard lock(mutex_);
    return cycles_;
}

bool Simulator::WaitForNmeaCycles(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return cycles_.size() >= count; });
}

void Simulator::SendRaw(std::string bytes) {
    {
        std::lock_guard lock(mutex_);
        raw_ += bytes;
    }
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
}

void Simulator::ResumeNmea() {
    nmeaPaused_ = false;
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
}

void Simulator::TakeRaw(Clock::time_point now) {
    std::string bytes;
    {
        std::lock_guard lock(mutex_);
        bytes.swap(raw_);
    }
    if (!bytes.empty())
        QueueOut(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), now);
}

void Simulator::EmitNmeaCycle(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const std::size_t i = cycles_.size() % nmeaPoints_.size();
    const std::size_t next = (i + 1) % nmeaPoints_.size();
    NmeaCycle c = BuildNmeaCycle(static_cast<int>(cycles_.size()) + 1, nmeaPoints_[i],
                                 nmeaPoints_[next], options_.nmea);
    // A reader that does not keep up loses cycles rather than memory here.
    if (out_.size() < 65536 && !silent_ && !options_.faults.noAnswer)
        QueueOut(std::vector<std::uint8_t>(c.text.begin(), c.text.end()), now);
    cycles_.push_back(std::move(c));
    changed_.notify_all();
}

void Simulator::QueueOut(const std::vector<std::uint8_t>& bytes, Clock::time_point from) {
    const Clock::time_point now = Clock::now();
    for (std::uint8_t b : bytes) {
        Clock::time_point due = now;
        if (byteTime_ > Clock::duration::zero()) {
            outFree_ = (outFree_ > from ? outFree_ : from) + byteTime_;
            due = outFree_;
        }
        out_.push_back({b, due});
    }
}

void Simulator::TransmitFrame(const Packet& p) {
    const Faults& f = options_.faults;
    const int k = ++stats_.packetsSent;
    if (silent_ || hangupPending_)
        return;
    if (f.noAnswer || (f.stopAfter > 0 && k > f.stopAfter))
        return;
    if (f.hangupAfter >= 0 && k > f.hangupAfter) {
        hangupPending_ = true;
        return;
    }

    std::vector<std::uint8_t> wire;
    if (k == f.corruptPacket) {
        // Framing stays intact; only the checksum no longer adds up.
        Packet bad = p;
        const std::uint8_t sum = Checksum(p.id, p.data);
        if (bad.data.empty()) {
            wire = EncodeFrame(bad.id, bad.data, static_cast<std::uint8_t>(sum ^ 0x5A));
        } else {
            bad.data[bad.data.size() / 2] ^= 0x5A;
            wire = EncodeFrame(bad.id, bad.data, sum);
        }
    } else if (k == f.oversizedPacket) {
        Packet big = p;
        big.data.resize(255, 0);
        wire = EncodeFrame(big);
    } else {
        wire = EncodeFrame(p);
    }
    if (k == f.cutPacket) {
        wire.resize(wire.size() / 2);
        silent_ = true;
    }
    // A receiver answers the moment the last byte has arrived, not when this
    // thread got round to it, so that wake-up delays do not slow the line.
    const Clock::time_point from = delivering_ ? arrival_ : Clock::now();
    if (f.garbage)
        QueueOut({std::begin(kGarbage), std::end(kGarbage)}, from);
    QueueOut(wire, from);
}

void Simulator::ReadFromHost() {
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            return;
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(mutex_);
        stats_.bytesRead += static_cast<std::uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            Clock::time_point due = now;
            if (byteTime_ > Clock::duration::zero()) {
                inFree_ = (inFree_ > now ? inFree_ : now) + byteTime_;
                due = inFree_;
            }
            in_.push_back({buf[i], due});
        }
    }
}

void Simulator::DeliverDueInput(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    bool any = false;
    if (options_.nmea.enabled) {
        // A receiver streaming text does not listen to packets.
        while (!in_.empty() && in_.front().due <= now)
            in_.pop_front();
        return;
    }
    while (!in_.empty() && in_.front().due <= now) {
        const std::uint8_t b = in_.front().byte;
        arrival_ = in_.front().due;
        delivering_ = true;
        in_.pop_front();
        switch (decoder_.Feed(b)) {
            case FrameDecoder::Event::kPacket:
                ++stats_.packetsReceived;
                engine_.OnPacket(decoder_.packet());
                stats_.naksReceived = engine_.naksReceived();
                stats_.packetsRejected = engine_.packetsRejected();
                any = true;
                break;
            case FrameDecoder::Event::kBadPacket:
                ++stats_.badPacketsReceived;
                engine_.OnBadPacket(decoder_.badId());
                break;
            case FrameDecoder::Event::kNone:
                break;
        }
        delivering_ = false;
    }
    if (any)
        changed_.notify_all();
}

bool Simulator::WriteDueOutput(Clock::time_point now) {
    std::uint8_t buf[4096];
    while (!out_.empty() && out_.front().due <= now) {
        std::size_t n = 0;
        while (n < sizeof buf && n < out_.size() && out_[n].due <= now) {
            buf[n] = out_[n].byte;
            ++n;
        }
        // Counted before the write: the host may read the bytes before this
        // thread gets to run again.
        {
            std::lock_guard lock(mutex_);
            stats_.bytesWritten += n;
        }
        const ssize_t w = ::write(master_, buf, n);
        const std::size_t written = w < 0 ? 0 : static_cast<std::size_t>(w);
        if (written < n) {
            std::lock_guard lock(mutex_);
            stats_.bytesWritten -= n - written;
        }
        if (w < 0) {
            if (errno == EINTR)
                continue;
            outBlocked_ = errno == EAGAIN;
            return outBlocked_;
        }
        out_.erase(out_.begin(), out_.begin() + w);
        if (static_cast<std::size_t>(w) < n) {
            outBlocked_ = true;
            return true;
        }
    }
    outBlocked_ = false;
    return true;
}

void Simulator::HangUp() {
    std::lock_guard lock(mutex_);
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    stats_.hungUp = true;
    changed_.notify_all();
}

void Simulator::Run() {
#ifdef PR_SET_TIMERSLACK
    // Byte times at 9600 baud are about a millisecond; keep the wake-ups exact.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    while (!stop_) {
        Clock::time_point now = Clock::now();
        TakeRaw(now);
        const bool streaming = options_.nmea.enabled && !nmeaPaused_;
        if (streaming) {
            if (nextCycle_ == Clock::time_point{} || now - nextCycle_ > std::chrono::seconds(1))
                nextCycle_ = now;
            while (now >= nextCycle_) {
                EmitNmeaCycle(now);
                nextCycle_ += nmeaPeriod_;
            }
        }
        DeliverDueInput(now);
        if (!WriteDueOutput(now))
            break;
        if (hangupPending_ && out_.empty()) {
            HangUp();
            break;
        }

        // Sleep until the next byte is due on either side, or the line moves.
        // Nanosecond waits keep a throttled line close to its nominal rate.
        bool timed = false;
        Clock::duration wait{};
        const auto consider = [&](const std::deque<TimedByte>& q) {
            if (q.empty())
                return;
            const Clock::duration left =
                q.front().due > now ? q.front().due - now : Clock::duration::zero();
            if (!timed || left < wait)
                wait = left;
            timed = true;
        };
        consider(in_);
        if (!outBlocked_)
            consider(out_);
        if (streaming) {
            const Clock::duration left =
                nextCycle_ > now ? nextCycle_ - now : Clock::duration::zero();
            if (!timed || left < wait)
                wait = left;
            timed = true;
        }
        timespec ts{};
        if (timed) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (outBlocked_ ? POLLOUT : 0)), 0},
                         {wake_[0], POLLIN, 0}};
        const int r = ::ppoll(fds, 2, timed ? &ts : nullptr, nullptr);
        if (r < 0 && errno != EINTR)
            break;
        if (r <= 0)
            continue;
        if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN)) {
            // Cannot happen while the slave is held open; never spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLIN)
            ReadFromHost();
        if (fds[0].revents & POLLOUT)
            outBlocked_ = false;
    }
}

}  // namespace gpssim
