// SPDX-License-Identifier: BSD-3-Clause
// CLogFile: the exchange log. One file per established context, named from
// the local day, month, hour and minute of opening ("06121405.log"), holding
// a dated header and one record per logged exchange, as cp1252 text with
// CR LF line ends. Each record reaches the file as it is written, so a crash
// loses no exchange already shown.
//
// Failures are returned as a LogFailure; the window shows LogFailureText in a
// message box and carries on.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

enum class LogFailure {
    None = 0,
    FileNotFound,  // also every write to a log whose creation failed
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    HardwareIo,
    EndOfFile,
    Other,
};

// The message-box text of a failure (cp1252), empty for None.
const char* LogFailureText(LogFailure failure);

// The cause of a failed file operation from its errno.
LogFailure LogFailureFromErrno(int error);

class CLogFile {
public:
    CLogFile() = default;
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Directory of the log files; empty (the default) is the current directory.
    void SetDirectory(std::string directory) { m_directory = std::move(directory); }

    // Opens the log for the local time now, or for the time given. A file of
    // the same name (opened in the same minute) is kept and appended to, after
    // a new header. A log that cannot be created reports, like its header
    // writer, FileNotFound.
    LogFailure OpenLog();
    LogFailure OpenLog(const std::tm& localTime);

    // "Date : dd/mm/yyyy" and "Hour : hh/mm/ss" of the opening time.
    LogFailure WriteHeader();
    // "[Command]", operation, command, "[Answer]", answer; each line CR LF.
    LogFailure WriteRecord(std::string_view operation, std::string_view command, std::string_view answer);
    // The same without the operation line.
    LogFailure WriteShortRecord(std::string_view command, std::string_view answer);
    void CloseLog();

    bool IsOpen() const { return m_fd >= 0; }
    // Full path of the last log opened (or attempted).
    const std::string& FileName() const { return m_fileName; }
    // The errno of the last failed open or write (0 after a success), for
    // callers that report in their own words.
    int LastError() const { return m_lastError; }

private:
    LogFailure Append(const std::string& bytes);

    std::string m_directory;
    std::string m_fileName;
    std::tm m_openedAt{};
    int m_fd = -1;
    int m_lastError = 0;
};
