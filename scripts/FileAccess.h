// SPDX-License-Identifier: BSD-3-Clause
// Files a program writes at the end of its work (reports, records): each is
// replaced whole, and its temporary twin is made at Prepare, before any
// work, so an unwritable path shows up at once; only Commit renames it over
// the old one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An errno in English, for one line of a terminal program.
std::string FileErrorText(int error);

// Writes all of bytes to fd; 0 or the errno of the failing write.
int WriteAllBytes(int fd, std::string_view bytes);

class CFileReplacement {
public:
    CFileReplacement() = default;
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // Makes the temporary file beside path; 0 or an errno (EISDIR for a folder).
    int Prepare(const std::string& path);
    // Writes bytes into it and renames it over path; 0 or an errno, and then
    // the old file is untouched.
    int Commit(std::string_view bytes);
    const std::string& Path() const { return m_path; }

private:
    void Discard();

    std::string m_path;
    std::string m_temp;
    int m_fd = -1;
};
