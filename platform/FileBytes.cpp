#include "platform/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

struct FileDescriptor {
    int fd;
    explicit FileDescriptor(int d) : fd(d) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

FileBytes ReadFileBytes(const std::string& path, std::size_t limit) {
    FileBytes result;
    if (path.empty())
        return result;
    // Non-blocking so that opening a FIFO does not wait for a writer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) {
        result.status = (errno == ENOENT || errno == ENOTDIR) ? FileReadStatus::Missing
                                                              : FileReadStatus::Unreadable;
        return result;
    }
    result.status = FileReadStatus::Unreadable;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > limit)
        return result;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return result;
        }
        if (n == 0)
            break;
        // The file may grow while it is read; the limit holds all the same.
        if (bytes.size() + static_cast<std::size_t>(n) > limit)
            return result;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    result.status = FileReadStatus::Ok;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace platform
