// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "scripts/FileAccess.h"

const char* LogFailureText(LogFailure failure) {
    switch (failure) {
        case LogFailure::None: return "";
        case LogFailure::FileNotFound: return "Fichier non selectionn\xE9 !!";
        case LogFailure::BadPath: return "Chemin incorrecte";
        case LogFailure::TooManyOpenFiles: return "Trop de fichiers ouverts";
        case LogFailure::AccessDenied: return "Acc\xE9s au fichier refus\xE9";
        case LogFailure::InvalidFile: return "Fichier invalide";
        case LogFailure::HardwareIo: return "Erreur mat\xE9rielle";
        case LogFailure::EndOfFile: return "Fin de fichier atteinte";
        case LogFailure::Other: break;
    }
    return "Erreur fichier inconnue";
}

LogFailure LogFailureFromErrno(int error) {
    switch (error) {
        case 0: return LogFailure::None;
        case ENOENT: return LogFailure::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return LogFailure::BadPath;
        case EMFILE:
        case ENFILE: return LogFailure::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return LogFailure::AccessDenied;
        case EBADF:
        case EINVAL: return LogFailure::InvalidFile;
        case EIO: return LogFailure::HardwareIo;
        default: return LogFailure::Other;
    }
}

CLogFile::~CLogFile() { CloseLog(); }

LogFailure CLogFile::OpenLog() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return OpenLog(local);
}

LogFailure CLogFile::OpenLog(const std::tm& localTime) {
    CloseLog();
    m_openedAt = localTime;
    char name[64];
    std::snprintf(name, sizeof name, "%02d%02d%02d%02d.log", localTime.tm_mday, localTime.tm_mon + 1,
                  localTime.tm_hour, localTime.tm_min);
    m_fileName = m_directory.empty() ? std::string(name) : m_directory + "/" + name;
    // Append, never truncate: a second context opened within the same minute
    // must not wipe the log of the first.
    m_fd = ::open(m_fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_lastError = m_fd < 0 ? errno : 0;
    return WriteHeader();
}

LogFailure CLogFile::WriteHeader() {
    char header[96];
    const int length =
        std::snprintf(header, sizeof header, "Date : %02d/%02d/%02d\r\nHour : %02d/%02d/%02d\r\n", m_openedAt.tm_mday,
                      m_openedAt.tm_mon + 1, m_openedAt.tm_year + 1900, m_openedAt.tm_hour, m_openedAt.tm_min,
                      m_openedAt.tm_sec);
    if (length < 0) return LogFailure::Other;
    return Append(std::string(header, std::min(static_cast<std::size_t>(length), sizeof header - 1)));
}

namespace {
// A text is one line of its record: a byte that would break the line (an
// attribute value holding CR LF, say) is written as "\x0D" instead, or the
// record would split and a reader of the file would take its tail for the
// next record's lines.
void AppendLine(std::string& record, std::string_view text) {
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\v' || c == '\f') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            record.append(escaped);
        } else {
            record.push_back(c);
        }
    }
    record.append("\r\n");
}
}  // namespace

LogFailure CLogFile::WriteRecord(std::string_view operation, std::string_view command, std::string_view answer) {
    std::string record;
    record.reserve(operation.size() + command.size() + answer.size() + 32);
    record.append("[Command]\r\n");
    AppendLine(record, operation);
    AppendLine(record, command);
    record.append("[Answer]\r\n");
    AppendLine(record, answer);
    return Append(record);
}

LogFailure CLogFile::WriteShortRecord(std::string_view command, std::string_view answer) {
    std::string record;
    record.reserve(command.size() + answer.size() + 32);
    record.append("[Command]\r\n");
    AppendLine(record, command);
    record.append("[Answer]\r\n");
    AppendLine(record, answer);
    return Append(record);
}

void CLogFile::CloseLog() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

LogFailure CLogFile::Append(const std::string& bytes) {
    if (m_fd < 0) return LogFailure::FileNotFound;  // m_lastError keeps the cause
    // Straight to the file descriptor: nothing waits in a user-space buffer.
    m_lastError = WriteAllBytes(m_fd, bytes);
    return LogFailureFromErrno(m_lastError);
}
