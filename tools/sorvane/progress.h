#pragma once
// Progress of a transfer on standard error, from the control's Receiving
// events: a bar redrawn in place while standard error is a terminal, a plain
// line per event otherwise, nothing with --quiet.

#include <chrono>
#include <cstdio>
#include <string>

namespace sorvane_cli {

// What a bar line shows at one moment.
struct BarState {
    std::string label;  // "tracks"
    int done = 0;
    int total = 0;        // 0 or below: unknown
    double seconds = 0;   // since the first event
    int doneAtFirst = 0;  // the count of the first event, where the rate starts
};

// One line of at most `width` columns: label, bar, count of total, rate and
// time left (the last two once they can be told).
std::string RenderBar(const BarState& state, int width);

class Progress {
  public:
    enum class Style { kBar, kLines, kQuiet };
    // A bar when the stream is a terminal, lines otherwise; quiet silences both.
    static Style StyleFor(std::FILE* stream, bool quiet);

    explicit Progress(Style style, std::FILE* stream = stderr);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A new transfer: "receiving tracks" or "sending waypoints".
    void Begin(const std::string& label, bool sending);
    void Update(int done, int total);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void End();

  private:
    using Clock = std::chrono::steady_clock;

    Style style_;
    std::FILE* stream_;
    std::string label_;
    bool sending_ = false;
    bool drawn_ = false;
    bool started_ = false;
    int doneAtFirst_ = 0;
    Clock::time_point first_{};
};

}  // namespace sorvane_cli
