#include "host_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace hosttest {

namespace {

std::atomic<int> g_serial{0};

// A locale with a decimal comma, where the files must still read the same.
constexpr const char* kLocale = "de_DE.UTF-8";

std::string Unique(const std::string& stem) {
    return ::testing::TempDir() + "sorvane_host_" + stem + std::to_string(::getpid()) + "_" +
           std::to_string(g_serial++);
}

}  // namespace

std::string Reason(int error) {
    const locale_t german = ::newlocale(LC_ALL_MASK, kLocale, locale_t{});
    std::string text = german != locale_t{} ? ::strerror_l(error, german) : std::strerror(error);
    if (german != locale_t{})
        ::freelocale(german);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

HostRun Host(const std::string& arguments, const std::string& input) {
    const std::string base = Unique("run");
    std::string command = std::string("LC_ALL=") + kLocale + " " SORVANE_PROGRAM " " + arguments +
                          " >" + base + ".out 2>" + base + ".err";
    if (!input.empty()) {
        WriteFile(base + ".in", input);
        command += " <" + base + ".in";
    } else {
        command += " </dev/null";
    }
    HostRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(base + ".out");
    r.err = ReadFile(base + ".err");
    for (const char* end : {".out", ".err", ".in"})
        std::remove((base + end).c_str());
    return r;
}

TempFolder::TempFolder() : path_(Unique("dir")) {
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Child::Child(const std::vector<std::string>& arguments, int errorFd,
             const std::string& outputFile) {
    std::vector<std::string> args = {SORVANE_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, errorFd, 2);
    // The child starts with the default actions whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void Child::Signal(int signal) const {
    if (pid_ > 0)
        ::kill(pid_, signal);
}

int Child::Wait(int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

std::string ReadUntil(int fd, const std::string& marker, int seconds) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (text.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace hosttest
