#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "text/numbers.h"

namespace sorvane_cli {

namespace {

constexpr int kDefaultWidth = 80;
constexpr int kMinBar = 10;

int TerminalWidth(std::FILE* stream) {
    winsize ws{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return kDefaultWidth;
}

std::string Duration(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

std::string RenderBar(const BarState& state, int width) {
    const bool known = state.total > 0 && state.done <= state.total;
    const std::string counts =
        std::to_string(state.done) + (known ? "/" + std::to_string(state.total) : "");
    std::string extra;
    const int gained = state.done - state.doneAtFirst;
    if (gained > 0 && state.seconds > 0) {
        const double rate = gained / state.seconds;
        extra += "  " + sorvane::FormatFixed(rate, rate < 10 ? 1 : 0) + "/s";
        if (known)
            extra += "  " + Duration((state.total - state.done) / rate) + " left";
    }
    // "label [####....] counts extra" in at most width - 1 columns, so that
    // the terminal never wraps the line.
    const int fixed = static_cast<int>(state.label.size() + 1 + counts.size() + extra.size());
    const int room = width - 1 - fixed - 3;
    std::string line = state.label + " ";
    if (known && room >= kMinBar) {
        const auto filled =
            static_cast<std::size_t>(static_cast<long long>(room) * state.done / state.total);
        line += "[" + std::string(filled, '#') +
                std::string(static_cast<std::size_t>(room) - filled, '.') + "] ";
    }
    line += counts + extra;
    if (static_cast<int>(line.size()) > width - 1)
        line.resize(static_cast<std::size_t>(std::max(width - 1, 0)));
    return line;
}

Progress::Style Progress::StyleFor(std::FILE* stream, bool quiet) {
    if (quiet)
        return Style::kQuiet;
    return ::isatty(::fileno(stream)) ? Style::kBar : Style::kLines;
}

Progress::Progress(Style style, std::FILE* stream) : style_(style), stream_(stream) {}

Progress::~Progress() {
    End();
}

void Progress::Begin(const std::string& label, bool sending) {
    End();
    label_ = label;
    sending_ = sending;
    started_ = false;
}

void Progress::Update(int done, int total) {
    const Clock::time_point now = Clock::now();
    if (!started_) {
        started_ = true;
        first_ = now;
        doneAtFirst_ = done;
    }
    switch (style_) {
        case Style::kQuiet:
            return;
        case Style::kLines:
            std::fprintf(stream_, "%s %d of %d %s\n", sending_ ? "sent" : "received", done, total,
                         label_.c_str());
            std::fflush(stream_);
            return;
        case Style::kBar: {
            BarState state;
            state.label = (sending_ ? "sending " : "receiving ") + label_;
            state.done = done;
            state.total = total;
            state.seconds = std::chrono::duration<double>(now - first_).count();
            state.doneAtFirst = doneAtFirst_;
            // Back to the line's start and clear it, then the new state.
            std::fprintf(stream_, "\r\033[K%s", RenderBar(state, TerminalWidth(stream_)).c_str());
            std::fflush(stream_);
            drawn_ = true;
            return;
        }
    }
}

void Progress::End() {
    if (drawn_) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
        drawn_ = false;
    }
}

}  // namespace sorvane_cli
