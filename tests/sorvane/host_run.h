#pragma once
// Running the sorvane program as a user does: arguments through the shell
// under a locale with a decimal comma, standard output and error captured; or
// as a child whose standard error a test watches while it runs.

#include <sys/types.h>

#include <string>
#include <vector>

namespace hosttest {

struct HostRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `arguments` as a shell would split them; `input` becomes standard input.
HostRun Host(const std::string& arguments, const std::string& input = "");

// The system's text for an error number in the locale the program runs under.
std::string Reason(int error);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A folder of its own for one test case (test cases run side by side in
// processes of their own), removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const;

  private:
    std::string path_;
};

// The program started with its standard error on a descriptor of the test's
// choosing (a pipe or a pseudo-terminal) and standard output to a file.
class Child {
  public:
    Child(const std::vector<std::string>& arguments, int errorFd, const std::string& outputFile);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool ok() const { return pid_ > 0; }
    void Signal(int signal) const;
    // The exit status, or -1 when it ended otherwise or not within the time.
    int Wait(int seconds = 60);

  private:
    pid_t pid_ = -1;
};

// Reads from fd, up to `seconds`, until the text read contains `marker` or
// the other end is closed; returns all that was read.
std::string ReadUntil(int fd, const std::string& marker, int seconds);

}  // namespace hosttest
