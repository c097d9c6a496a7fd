// SPDX-License-Identifier: BSD-3-Clause
// Files read and written from a path the user typed. Only regular files are
// read: a folder, FIFO or device is refused after a non-blocking open, so a
// FIFO can never hold the program. A file written is replaced whole: its
// temporary twin is made at Prepare, before any work, so an unwritable path
// shows up at once, and only Commit renames it over the old one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class ReadStatus { Read, Missing, Folder, NotRegular, TooBig, Failed };

struct FileRead {
    ReadStatus status = ReadStatus::Failed;
    int error = 0;  // errno for Failed
};

// Reads all of a regular file of at most maxBytes into bytes.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

// What went wrong, in English, for one line of a terminal program.
std::string FileReadText(const FileRead& read);
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
