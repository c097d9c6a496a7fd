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

int CTempTwin::Create(const std::string& target) {
    Discard();
    m_target = target;
    m_temp = target + ".XXXXXX";
    m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
    return m_fd < 0 ? errno : 0;
}

int CTempTwin::KeepAttributes(const struct stat* old, bool keepOwner) {
    if (m_fd < 0) return EBADF;
    if (old && keepOwner) {
        // The owner first: changing it clears the set-id bits that the mode then restores.
        if (::fchown(m_fd, old->st_uid, old->st_gid) != 0) (void)::fchown(m_fd, static_cast<uid_t>(-1), old->st_gid);
    }
    return ::fchmod(m_fd, old ? (old->st_mode & 07777) : 0644) != 0 ? errno : 0;
}

int CTempTwin::Commit(std::string_view bytes) {
    if (m_fd < 0) return EBADF;
    int error = WriteAllBytes(m_fd, bytes);
    if (error == 0 && ::fsync(m_fd) != 0) error = errno;
    if (::close(m_fd) != 0 && error == 0) error = errno;
    m_fd = -1;
    if (error == 0 && ::rename(m_temp.c_str(), m_target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(m_temp.c_str());
    return error;
}

void CTempTwin::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
    m_fd = -1;
}

int CFileReplacement::Prepare(const std::string& path) {
    m_twin.Discard();
    m_path = path;
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return EISDIR;
    if (const int error = m_twin.Create(path); error != 0) return error;
    // The replacement keeps the old file's permissions; a new file gets the
    // usual ones for a document.
    if (const int error = m_twin.KeepAttributes(exists ? &old : nullptr, false); error != 0) {
        m_twin.Discard();
        return error;
    }
    return 0;
}
