// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/UserFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "scripts/FileAccess.h"

namespace {

// A chain longer than this is a loop; the kernel gives up sooner.
constexpr int kMaxLinks = 40;

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    // The error of the close itself, which may be the first report of a failed write.
    int Close() {
        if (m_fd < 0) return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Writes all of bytes at offset; 0 or the errno of the failure.
int WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                         offset + static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Reads to the end, at most limit bytes (limit + 1 tells a file that grew
// past it); 0 or the errno.
int ReadAll(int fd, std::size_t sizeHint, std::size_t limit, std::string& out) {
    out.assign(std::min(sizeHint, limit), '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == out.size()) {
            if (out.size() > limit) break;
            out.resize(std::min(limit + 1, out.size() + 4096));
        }
        const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    out.resize(done);
    return 0;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that path names once every symbolic link is followed, also when
// the last link points to a file not yet made.
LogFailure FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0) return errno == ENOENT ? LogFailure::None : LogFailureFromErrno(errno);
        if (!S_ISLNK(info.st_mode)) return LogFailure::None;
        std::string link(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 256, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0) return LogFailureFromErrno(errno);
        if (static_cast<std::size_t>(length) >= link.size()) return LogFailure::BadPath;  // changed meanwhile
        link.resize(static_cast<std::size_t>(length));
        target = (link.empty() || link.front() == '/') ? link : Folder(target) + "/" + link;
    }
    return LogFailure::BadPath;
}

bool MayWrite(const std::string& path, const struct stat& info) {
    // A file that carries no write permission at all is write-protected for
    // everyone, root included, as it is for the user who protected it.
    if ((info.st_mode & 0222) == 0) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Rewrites target through its own descriptor: for a folder that takes no new
// file. The old text is read first so that a failed write can put it back.
LogFailure RewriteInPlace(const std::string& target, std::string_view bytes) {
    bool canRestore = true;
    Fd fd(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid() && errno == EACCES) {
        // Writable but not readable: nothing to put back, as nothing was read.
        canRestore = false;
        fd.Reset(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    if (!fd.Valid()) return LogFailureFromErrno(errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return LogFailureFromErrno(errno);
    if (!S_ISREG(info.st_mode)) return LogFailure::InvalidFile;
    const auto oldSize = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));

    std::string old;
    if (canRestore) {
        if (const int error = ReadAll(fd.Get(), oldSize, SIZE_MAX - 1, old); error != 0) return LogFailureFromErrno(error);
    }
    // A full disk is found before the first byte changes.
    if (bytes.size() > oldSize &&
        ::fallocate(fd.Get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return LogFailureFromErrno(errno);
    }
    int error = WriteAllAt(fd.Get(), bytes, 0);
    if (error == 0 && ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0) error = errno;
    if (error == 0 && ::fsync(fd.Get()) != 0) error = errno;
    if (error != 0 && canRestore) {
        WriteAllAt(fd.Get(), old, 0);
        if (::ftruncate(fd.Get(), static_cast<off_t>(old.size())) == 0) ::fsync(fd.Get());
    }
    if (const int closed = fd.Close(); error == 0) error = closed;
    return LogFailureFromErrno(error);
}

}  // namespace

LogFailure ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    // Looked at before it is opened: opening a device may act on it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return LogFailureFromErrno(errno);
    if (!S_ISREG(info.st_mode)) return LogFailure::InvalidFile;
    // And checked again once open, without blocking on what may have taken its place.
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) return LogFailureFromErrno(errno);
    if (::fstat(fd.Get(), &info) != 0) return LogFailureFromErrno(errno);
    if (!S_ISREG(info.st_mode)) return LogFailure::InvalidFile;
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes) return LogFailure::InvalidFile;
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);

    std::string read;
    // Read to the end, whatever the size said: the file may change meanwhile.
    if (const int error = ReadAll(fd.Get(), static_cast<std::size_t>(info.st_size), maxBytes, read); error != 0) {
        return LogFailureFromErrno(error);
    }
    if (read.size() > maxBytes) return LogFailure::InvalidFile;
    bytes = std::move(read);
    return LogFailure::None;
}

LogFailure RewriteUserFile(const std::string& path, std::string_view bytes) {
    std::string target;
    if (const LogFailure failure = FollowLinks(path, target); failure != LogFailure::None) return failure;

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return LogFailureFromErrno(errno);
    if (exists) {
        if (!S_ISREG(old.st_mode)) return LogFailure::InvalidFile;
        if (!MayWrite(target, old)) return LogFailure::AccessDenied;
    }

    CTempTwin twin;
    if (const int error = twin.Create(target); error != 0) {
        // The folder takes no new file (or no longer name): the file itself may still be writable.
        if (exists && (error == EACCES || error == EPERM || error == ENAMETOOLONG)) return RewriteInPlace(target, bytes);
        return LogFailureFromErrno(error);
    }
    int error = twin.KeepAttributes(exists ? &old : nullptr, true);
    if (error == 0) error = twin.Commit(bytes);
    if (error != 0) {
        twin.Discard();
        return LogFailureFromErrno(error);
    }
    // The rename itself reaches the disk with its folder.
    if (Fd folder(::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder.Valid()) {
        ::fsync(folder.Get());
    }
    return LogFailure::None;
}
