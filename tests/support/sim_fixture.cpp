#include "support/sim_fixture.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        old_ = old;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_) {
        ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

namespace {

std::vector<std::string> Split(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

}  // namespace

gpssim::Options ParseSimOptions(const std::string& arguments) {
    std::vector<std::string> words = Split(arguments);
    std::vector<const char*> argv = {"gpssim"};
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    gpssim::Options o;
    bool help = false;
    std::string error;
    if (!gpssim::ParseOptions(static_cast<int>(argv.size()), argv.data(), &o, &help, &error)) {
        std::abort();  // a broken test, not a finding
    }
    return o;
}

RunningSimulator::RunningSimulator(gpssim::Options options) : sim_(std::move(options)) {
    ok_ = sim_.Start();
}

RunningSimulator::RunningSimulator(const std::string& arguments)
    : RunningSimulator(ParseSimOptions(arguments)) {}

RunningSimulator::~RunningSimulator() {
    sim_.Stop();
}

sorvane::PortSettings RunningSimulator::port(int n) {
    env_.reset();
    env_.emplace("SORVANE_COM" + std::to_string(n), path());
    sorvane::PortSettings s;
    s.port = static_cast<std::uint8_t>(n);
    return s;
}

SpawnedSimulator::SpawnedSimulator(const std::string& arguments) {
    int out[2];
    if (::pipe(out) != 0)
        return;
    std::vector<std::string> words = Split(arguments);
    std::vector<char*> argv;
    std::string program = GPSSIM_PROGRAM;
    argv.push_back(program.data());
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(out[0]);
        return;
    }
    // Read the first line, giving the program a generous while to start.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
        char buf[256];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const std::size_t nl = line.find('\n');
    if (nl != std::string::npos)
        path_ = line.substr(0, nl);
}

SpawnedSimulator::~SpawnedSimulator() {
    Terminate();
}

int SpawnedSimulator::Terminate() {
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
}

}  // namespace testsupport
