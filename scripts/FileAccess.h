// SPDX-License-Identifier: BSD-3-Clause
// Files replaced whole through a temporary twin (CTempTwin): the user's
// command files (UserFile.h) and the files a program writes at the end of
// its work (reports, records, CFileReplacement), whose twin is made at
// Prepare, before any work, so an unwritable path shows up at once; only
// Commit renames it over the old one.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

// An errno in English, for one line of a terminal program.
std::string FileErrorText(int error);

// Writes all of bytes to fd; 0 or the errno of the failing write.
int WriteAllBytes(int fd, std::string_view bytes);

// The one way a file is replaced whole: a temporary twin beside it
// (path.XXXXXX) takes the new bytes and is renamed over it once they are on
// the disk. Until then the old file is untouched; a twin not committed is
// removed.
class CTempTwin {
public:
    CTempTwin() = default;
    ~CTempTwin() { Discard(); }
    CTempTwin(const CTempTwin&) = delete;
    CTempTwin& operator=(const CTempTwin&) = delete;

    // Makes the twin of target; 0 or an errno.
    int Create(const std::string& target);
    // Gives the twin the mode of old (a new file: 0644) and, with keepOwner,
    // its owner and group where the program may; 0 or the errno of the mode.
    int KeepAttributes(const struct stat* old, bool keepOwner);
    // Writes bytes, syncs them and renames the twin over the target; 0 or an
    // errno, and then the twin is gone and the target untouched.
    int Commit(std::string_view bytes);
    void Discard();

private:
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
};

class CFileReplacement {
public:
    // Makes the temporary file beside path; 0 or an errno (EISDIR for a folder).
    int Prepare(const std::string& path);
    // Writes bytes into it and renames it over path; 0 or an errno, and then
    // the old file is untouched.
    int Commit(std::string_view bytes) { return m_twin.Commit(bytes); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    CTempTwin m_twin;
};
