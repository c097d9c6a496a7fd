// SPDX-License-Identifier: BSD-3-Clause
#include "bootdev/ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opened without blocking (a FIFO without a writer would hang the open
// itself), then kept only when it is a regular file.
int OpenRegular(const std::string& path, std::uint64_t* size) {
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return -1;
    }
    if (size != nullptr) *size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

}  // namespace

bool ImageFileOpens(const std::string& path) {
    Fd fd(OpenRegular(path, nullptr));
    return fd.get() >= 0;
}

ImageLoad LoadImageFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>& image) {
    std::uint64_t size = 0;
    Fd fd(OpenRegular(path, &size));
    if (fd.get() < 0) return ImageLoad::CannotOpen;
    if (size > maxSize) return ImageLoad::TooLarge;
    try {
        image.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return ImageLoad::TooLarge;
    } catch (const std::length_error&) {
        return ImageLoad::TooLarge;
    }
    std::size_t got = 0;
    while (got < image.size()) {
        const ssize_t n = ::read(fd.get(), image.data() + got, image.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ImageLoad::CannotOpen;
        if (n == 0) break;  // the file shrank meanwhile: send what was read
        got += static_cast<std::size_t>(n);
    }
    image.resize(got);
    return ImageLoad::Ok;
}
