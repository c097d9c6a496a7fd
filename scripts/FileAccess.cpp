// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string FileErrorText(int error) {
    switch (error) {
        case ENOSPC: return "disk full";
        case EDQUOT: return "disk quota exceeded";
        case ENOENT: return "no such file or folder";
        case EACCES:
        case EPERM: return "permission denied";
        case EROFS: return "read-only file system";
        case EISDIR: return "a folder, not a file";
        case ENOTDIR: return "a part of the path is not a folder";
        case EIO: return "input/output error";
        default: return std::strerror(error);
    }
}

int WriteAllBytes(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

CFileReplacement::~CFileReplacement() { Discard(); }

void CFileReplacement::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
    m_fd = -1;
}

int CFileReplacement::Prepare(const std::string& path) {
    Discard();
    m_path = path;
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return EISDIR;
    m_temp = path + ".XXXXXX";
    m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
    if (m_fd < 0) return errno;
    // The replacement keeps the old file's permissions; a new file gets the
    // usual ones for a document.
    if (::fchmod(m_fd, exists ? (old.st_mode & 07777) : 0644) != 0) {
        const int error = errno;
        Discard();
        return error;
    }
    return 0;
}

int CFileReplacement::Commit(std::string_view bytes) {
    if (m_fd < 0) return EBADF;
    int error = WriteAllBytes(m_fd, bytes);
    if (error == 0 && ::fsync(m_fd) != 0) error = errno;
    if (::close(m_fd) != 0 && error == 0) error = errno;
    m_fd = -1;
    if (error == 0 && ::rename(m_temp.c_str(), m_path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(m_temp.c_str());
    return error;
}
