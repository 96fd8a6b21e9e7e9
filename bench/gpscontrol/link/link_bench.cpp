// Link layer speed: framing alone, packets through a pseudo-terminal against
// the simulator unthrottled, and a throttled 9600 baud stream compared with
// what the line itself allows.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "link/device_records.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "options.h"
#include "simulator.h"

namespace {

std::vector<std::uint8_t> TrackPointPacket(int i) {
    sorvane::TrackPoint p;
    p.latitude = 35.6586 + i * 1e-5;
    p.longitude = 139.7454 - i * 1e-5;
    p.time = 400000000u + static_cast<std::uint32_t>(i);
    p.altitude = 12.5;
    return sorvane::BuildTrackPointPacket(true, p, i == 0);
}

// Starts the simulator and opens its terminal, or marks the benchmark skipped.
bool OpenSimulator(benchmark::State& state, gpssim::Simulator& sim, sorvane::SerialPort& port) {
    if (!sim.Start()) {
        state.SkipWithError("no pseudo-terminal");
        return false;
    }
    if (!port.OpenDevice(sim.slavePath(), sorvane::PortSettings{})) {
        state.SkipWithError("cannot open the simulator's terminal");
        return false;
    }
    return true;
}

void BM_StuffAndParseFrame(benchmark::State& state) {
    const std::vector<std::uint8_t> packet = TrackPointPacket(7);
    std::uint8_t slot[sorvane::kPacketSlotSize];
    for (auto _ : state) {
        const std::vector<std::uint8_t> wire = sorvane::StuffFrame(packet.data(), packet.size());
        const sorvane::FrameResult r = sorvane::ParseFrame(wire, slot);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StuffAndParseFrame);

// One iteration: the host sends a track point and receives the acknowledgement.
void BM_PacketExchangeUnthrottled(benchmark::State& state) {
    gpssim::Simulator sim;
    sorvane::SerialPort port;
    if (!OpenSimulator(state, sim, port))
        return;
    std::vector<std::uint8_t> packet = TrackPointPacket(1);
    std::uint8_t slot[sorvane::kPacketSlotSize];
    for (auto _ : state) {
        sorvane::SendPacket(port, packet.data(), packet.size());
        if (sorvane::ReceivePacket(port, slot) != 8) {
            state.SkipWithError("acknowledgement lost");
            break;
        }
    }
    state.counters["exchanges_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["packets_per_s"] = benchmark::Counter(
        2.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PacketExchangeUnthrottled)->UseRealTime()->MinTime(2.0);

// A track download of 1000 points from a receiver throttled to 9600 baud. The
// protocol waits for every acknowledgement before the next packet, so the
// line's own limit is the time all bytes of both directions need at 960
// bytes per second.
void BM_Throttled1000PacketsAt9600(benchmark::State& state) {
    constexpr int kPoints = 1000;
    constexpr std::uint32_t kBaud = 9600;
    for (auto _ : state) {
        gpssim::Options options;
        options.baud = kBaud;
        gpssim::Simulator sim(options);
        sim.engine().SetCommandHandler(
            sorvane::kCommandTransferTracks, [](gpssim::ReceiverEngine& e, std::uint16_t) {
                e.Queue({sorvane::kPidRecords, {kPoints & 0xFF, kPoints >> 8}});
                for (int i = 0; i < kPoints; ++i) {
                    const std::vector<std::uint8_t> p = TrackPointPacket(i);
                    e.Queue({p[1], std::vector<std::uint8_t>(p.begin() + 3, p.end() - 3)});
                }
                e.Queue({sorvane::kPidTransferComplete, {6, 0}});
            });
        sorvane::SerialPort port;
        if (!OpenSimulator(state, sim, port))
            return;

        const auto start = std::chrono::steady_clock::now();
        auto command = sorvane::BuildCommandPacket(sorvane::kCommandTransferTracks);
        sorvane::SendPacket(port, command.data(), command.size());
        std::uint8_t slot[sorvane::kPacketSlotSize];
        int received = 0;
        bool ok = sorvane::ReceivePacket(port, slot) > 0;  // acknowledgement
        while (ok) {
            if (sorvane::ReceivePacket(port, slot) == 0) {
                ok = false;
                break;
            }
            const std::uint8_t id = slot[1];
            auto ack = sorvane::BuildAckPacket(id);
            port.Write(ack.data(), ack.size());
            if (id == sorvane::kPidTrackPoint)
                ++received;
            if (id == sorvane::kPidTransferComplete)
                break;
        }
        // The last acknowledgement is on the line until the simulator has read it.
        const gpssim::SimulatorStats stats = [&] {
            sim.WaitForReceived(static_cast<std::size_t>(kPoints + 3), std::chrono::seconds(10));
            return sim.Stats();
        }();
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        if (!ok || received != kPoints) {
            state.SkipWithError("transfer incomplete");
            return;
        }
        const double bytes = static_cast<double>(stats.bytesRead + stats.bytesWritten);
        const double limit = bytes * 10.0 / kBaud;
        state.counters["elapsed_s"] = elapsed;
        state.counters["line_limit_s"] = limit;
        state.counters["ratio_to_limit"] = elapsed / limit;
        state.counters["line_bytes"] = bytes;
    }
}
BENCHMARK(BM_Throttled1000PacketsAt9600)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
