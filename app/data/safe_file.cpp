#include "data/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tobrel {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string TempName(const std::string& path, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const unsigned long stamp = static_cast<unsigned long>(std::time(nullptr)) ^
                                (static_cast<unsigned long>(counter.fetch_add(1)) << 8) ^ attempt;
    return folder + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(stamp);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > maxSize) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    try {
        // + 1 sees the end in one pass; a file that grows meanwhile is read
        // up to the limit.
        bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t used = 0;
        for (;;) {
            if (used == bytes.size()) {
                if (bytes.size() > maxSize) {
                    ok = false;
                    break;
                }
                bytes.resize(std::min(bytes.size() * 2, maxSize + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ok = false;
                break;
            }
            if (n == 0)
                break;
            used += static_cast<std::size_t>(n);
        }
        bytes.resize(used);
    } catch (const std::exception&) {
        ok = false;
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

SafeFileWriter::~SafeFileWriter() {
    Discard();
}

bool SafeFileWriter::Open(const std::string& path) {
    Discard();
    if (path.empty() || path.back() == '/')
        return false;
    target_ = path;
    // Saving through a symbolic link replaces the file it points to, not the link.
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    // A file the user made read-only is kept, as an editor keeps it: the
    // rename would replace it whatever its permissions (and root passes the
    // access check, so the permission bits are looked at too).
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
         ::access(target_.c_str(), W_OK) != 0)) {
        errno = EACCES;
        return false;
    }
    for (unsigned attempt = 0; attempt < 64; ++attempt) {
        temp_ = TempName(target_, attempt);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            break;
        if (errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return false;
    }
    // Replacing a file keeps its permissions.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd_, st.st_mode & 07777);
    failed_ = false;
    try {
        buffer_.reserve(kBufferSize);
    } catch (const std::exception&) {
        // unbuffered then
    }
    return true;
}

bool SafeFileWriter::Flush() {
    if (!ok())
        return false;
    if (!buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size()))
        failed_ = true;
    buffer_.clear();
    return !failed_;
}

bool SafeFileWriter::Write(const void* data, std::size_t size) {
    if (!ok())
        return false;
    const char* p = static_cast<const char*>(data);
    if (buffer_.size() + size <= buffer_.capacity()) {
        buffer_.insert(buffer_.end(), p, p + size);
        return true;
    }
    if (!Flush())
        return false;
    if (size >= buffer_.capacity()) {
        if (!WriteAll(fd_, p, size))
            failed_ = true;
        return !failed_;
    }
    buffer_.insert(buffer_.end(), p, p + size);
    return true;
}

bool SafeFileWriter::Commit() {
    if (!Flush()) {
        Discard();
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    if (::close(fd_) != 0)
        ok = false;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable; the new file is complete either way.
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void SafeFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    buffer_.clear();
    failed_ = false;
}

}  // namespace tobrel
