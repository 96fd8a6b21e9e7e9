// The NMEA parser's rate in sentences per second: the four sentences alone,
// through the receiver's ring as its thread feeds it, and a recorded stream
// full of noise. A receiver sends a few hundred sentences a second at most
// (ten cycles of thirty at 10 Hz); the goal is 100 000 a second or more.

#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nmea/nmea_ring.h"
#include "nmea/nmea_sentences.h"
#include "nmea_stream.h"

namespace {

// 200 cycles along a short walk, as the simulator streams them.
std::string Stream(const std::vector<gpssim::NmeaSystem>& systems) {
    gpssim::NmeaOptions o;
    o.systems = systems;
    o.satellites = 8;
    std::string text;
    for (int n = 1; n <= 200; ++n) {
        const gpssim::SimTrackPoint here{35.6 + 1e-5 * n, 139.7 + 2e-5 * n,
                                         1080129600u + static_cast<std::uint32_t>(n), 40.0f, false};
        text += gpssim::BuildNmeaCycle(n, here, here, o).text;
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

void Sentences(benchmark::State& state, const std::vector<std::string>& lines) {
    std::atomic<bool> seen{false};
    std::int64_t fixes = 0;
    sorvane::NmeaSentences nmea([&](const sorvane::NmeaFix&) { ++fixes; }, &seen);
    for (auto _ : state) {
        for (const std::string& line : lines)
            benchmark::DoNotOptimize(nmea.Take(line));
    }
    benchmark::DoNotOptimize(fixes);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.counters["sentences/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(lines.size()),
        benchmark::Counter::kIsRate);
}

void BM_SentencesGpsOnly(benchmark::State& state) {
    Sentences(state, Lines(Stream({gpssim::NmeaSystem::kGps})));
}
BENCHMARK(BM_SentencesGpsOnly);

void BM_SentencesFourSystems(benchmark::State& state) {
    Sentences(state, Lines(Stream({gpssim::NmeaSystem::kGps, gpssim::NmeaSystem::kGlonass,
                                   gpssim::NmeaSystem::kGalileo, gpssim::NmeaSystem::kBeiDou})));
}
BENCHMARK(BM_SentencesFourSystems);

void BM_RecordedPhoneStream(benchmark::State& state) {
    std::ostringstream s;
    s << std::ifstream(NMEA_STREAMS_DIR "/phone_dual_talker.nmea", std::ios::binary).rdbuf();
    const std::vector<std::string> lines = Lines(s.str());
    if (lines.empty()) {
        state.SkipWithError("no recorded stream");
        return;
    }
    Sentences(state, lines);
}
BENCHMARK(BM_RecordedPhoneStream);

// The receiver thread's work without the line: chunks into the ring, lines
// out of it into the sentences.
void BM_RingAndSentencesFourSystems(benchmark::State& state) {
    const std::string text = Stream({gpssim::NmeaSystem::kGps, gpssim::NmeaSystem::kGlonass,
                                     gpssim::NmeaSystem::kGalileo, gpssim::NmeaSystem::kBeiDou});
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    std::atomic<bool> seen{false};
    sorvane::NmeaSentences nmea(nullptr, &seen);
    std::int64_t sentences = 0;
    char line[sorvane::kNmeaLineMax];
    for (auto _ : state) {
        sorvane::NmeaRing ring;
        for (std::size_t at = 0; at < text.size(); at += chunk) {
            ring.Append(text.data() + at, std::min(chunk, text.size() - at));
            for (sorvane::NmeaRing::Take t;
                 (t = ring.TakeLine(line)) != sorvane::NmeaRing::Take::kNone;) {
                if (t == sorvane::NmeaRing::Take::kLine) {
                    nmea.Take(line);
                    ++sentences;
                }
            }
        }
    }
    state.SetItemsProcessed(sentences);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RingAndSentencesFourSystems)->Arg(64)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
