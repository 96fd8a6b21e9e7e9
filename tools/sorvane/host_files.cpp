#include "host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "data/safe_file.h"

namespace sorvane_cli {

namespace {

bool HasExtension(const std::string& path, std::string_view extension) {
    if (path.size() <= extension.size())
        return false;
    const std::string_view tail = std::string_view(path).substr(path.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i])
            return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileFormat OutputFormat(const std::string& path) {
    if (HasExtension(path, ".gpx"))
        return FileFormat::kGpx;
    if (HasExtension(path, ".tb2"))
        return FileFormat::kNative;
    return FileFormat::kTab;
}

FileFormat InputFormat(const std::string& path) {
    if (path == "-")
        return FileFormat::kTab;
    const FileFormat byName = OutputFormat(path);
    if (byName != FileFormat::kTab)
        return byName;
    char head[64] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return FileFormat::kTab;
    struct stat st {};
    ssize_t n = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        n = ::read(fd, head, sizeof head);
    ::close(fd);
    std::string_view start(head, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (start.starts_with("TOBREL"))
        return FileFormat::kNative;
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    const std::size_t first = start.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && start[first] == '<')
        return FileFormat::kGpx;
    return FileFormat::kTab;
}

std::optional<std::string> OutputProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return std::string("a folder, not a file");
        if (::access(path.c_str(), W_OK) != 0)
            return std::string(std::strerror(errno));
    }
    const std::string folder = FolderOf(path);
    if (::stat(folder.c_str(), &st) != 0)
        return "folder " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return folder + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "folder " + folder + ": " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> ReadText(const std::string& path, std::string* problem) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *problem = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        *problem = "a folder, not a file";
        return std::nullopt;
    }
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *problem = std::strerror(errno);
            if (!standardInput)
                ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!standardInput)
        ::close(fd);
    if (text.empty()) {
        *problem = "the file is empty";
        return std::nullopt;
    }
    return text;
}

std::string NativeReadMessage(tobrel::NativeReadError error) {
    switch (error) {
        case tobrel::NativeReadError::kNone:
            return "read";
        case tobrel::NativeReadError::kCannotOpen:
            return std::string("cannot open the file: ") + std::strerror(errno);
        case tobrel::NativeReadError::kNotARegularFile:
            return "not a regular file (a folder or a device)";
        case tobrel::NativeReadError::kTooLarge:
            return "larger than any native data file can be";
        case tobrel::NativeReadError::kNotNativeFile:
            return "not a native data file (.tb2)";
        case tobrel::NativeReadError::kUnknownVersion:
            return "a native data file of a version this program does not know";
    }
    return "cannot be read";
}

bool WriteText(const std::string& path, const std::string& text) {
    if (path == "-") {
        const std::size_t n = std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 && n == text.size();
    }
    tobrel::SafeFileWriter file;
    return file.Open(path) && file.Write(text.data(), text.size()) && file.Commit();
}

}  // namespace sorvane_cli
