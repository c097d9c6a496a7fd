// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "scripts/LogFile.h"

namespace {

namespace fs = std::filesystem;

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/benchkit-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static std::tm At(int day, int month, int year, int hour, int minute, int second) {
        std::tm t{};
        t.tm_mday = day;
        t.tm_mon = month - 1;
        t.tm_year = year - 1900;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return t;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_dir;
};

TEST_F(LogFileTest, RecordsAreWrittenByteForByte) {
    CLogFile log;
    log.SetDirectory(m_dir);
    ASSERT_EQ(log.OpenLog(At(3, 2, 2027, 9, 7, 5)), LogFailure::None);
    EXPECT_EQ(log.FileName(), (m_dir / "03020907.log").string());
    EXPECT_EQ(log.WriteRecord("SCardTransmit", "00 A4 04 00", "90 00 "), LogFailure::None);
    EXPECT_EQ(log.WriteRecord("SCardTransmit", "00 B0 00 00   ", "xx xx xx xx xx"), LogFailure::None);
    EXPECT_EQ(log.WriteShortRecord("SCardStatus Request", "3B 00"), LogFailure::None);
    EXPECT_EQ(log.WriteRecord("SCardTransmit", "00 C0 00 00 00", ""), LogFailure::None);
    log.CloseLog();
    EXPECT_EQ(Read(m_dir / "03020907.log"),
              "Date : 03/02/2027\r\n"
              "Hour : 09/07/05\r\n"
              "[Command]\r\nSCardTransmit\r\n00 A4 04 00\r\n[Answer]\r\n90 00 \r\n"
              "[Command]\r\nSCardTransmit\r\n00 B0 00 00   \r\n[Answer]\r\nxx xx xx xx xx\r\n"
              "[Command]\r\nSCardStatus Request\r\n[Answer]\r\n3B 00\r\n"
              "[Command]\r\nSCardTransmit\r\n00 C0 00 00 00\r\n[Answer]\r\n\r\n");
}

TEST_F(LogFileTest, CodePage1252TextIsWrittenUnchanged) {
    CLogFile log;
    log.SetDirectory(m_dir);
    ASSERT_EQ(log.OpenLog(At(31, 12, 2026, 23, 59, 59)), LogFailure::None);
    const std::string answer("\x92\xE9\x00z", 4);  // a zero byte inside the text is kept
    EXPECT_EQ(log.WriteRecord("SCardControl", "42 00", answer), LogFailure::None);
    // A value holding line breaks stays on its line, the breaks visible.
    EXPECT_EQ(log.WriteRecord("SCardGetAttrib", "", "PP\r\n2.10\v\f"), LogFailure::None);
    log.CloseLog();
    EXPECT_EQ(Read(m_dir / "31122359.log"), "Date : 31/12/2026\r\nHour : 23/59/59\r\n[Command]\r\nSCardControl\r\n42 "
                                            "00\r\n[Answer]\r\n" + answer + "\r\n"
                                            "[Command]\r\nSCardGetAttrib\r\n\r\n[Answer]\r\n"
                                            "PP\\x0D\\x0A2.10\\x0B\\x0C\r\n");
}

// A second context within the same minute keeps the first one's log.
TEST_F(LogFileTest, SameMinuteAppendsInsteadOfEmptying) {
    {
        CLogFile first;
        first.SetDirectory(m_dir);
        ASSERT_EQ(first.OpenLog(At(6, 12, 2026, 14, 5, 10)), LogFailure::None);
        first.WriteRecord("SCardTransmit", "00 84 00 00 08", "61 08 ");
        first.CloseLog();
    }
    CLogFile second;
    second.SetDirectory(m_dir);
    ASSERT_EQ(second.OpenLog(At(6, 12, 2026, 14, 5, 40)), LogFailure::None);
    second.WriteShortRecord("SCardStatus Request", "3B 02 14 50");
    second.CloseLog();
    EXPECT_EQ(Read(m_dir / "06121405.log"),
              "Date : 06/12/2026\r\nHour : 14/05/10\r\n"
              "[Command]\r\nSCardTransmit\r\n00 84 00 00 08\r\n[Answer]\r\n61 08 \r\n"
              "Date : 06/12/2026\r\nHour : 14/05/40\r\n"
              "[Command]\r\nSCardStatus Request\r\n[Answer]\r\n3B 02 14 50\r\n");
}

// What a record has written is in the file before the log is closed, so a
// crash of the program loses nothing already shown.
TEST_F(LogFileTest, EveryRecordIsInTheFileAsSoonAsWritten) {
    CLogFile log;
    log.SetDirectory(m_dir);
    ASSERT_EQ(log.OpenLog(At(1, 1, 2027, 0, 0, 0)), LogFailure::None);
    const fs::path file = m_dir / "01010000.log";
    EXPECT_EQ(Read(file), "Date : 01/01/2027\r\nHour : 00/00/00\r\n");
    for (int i = 0; i < 3; ++i) {
        const auto before = fs::file_size(file);
        log.WriteRecord("SCardTransmit", "00 00 00 00", "90 00 ");
        EXPECT_EQ(fs::file_size(file), before + 57u) << i;
    }
}

TEST_F(LogFileTest, ALogThatCannotBeCreatedReportsEachWrite) {
    CLogFile log;
    log.SetDirectory((m_dir / "no-such-directory").string());
    EXPECT_EQ(log.OpenLog(At(1, 1, 2027, 0, 0, 0)), LogFailure::FileNotFound);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.WriteRecord("SCardTransmit", "00", "90 00 "), LogFailure::FileNotFound);
    EXPECT_EQ(log.WriteShortRecord("SCardStatus Request", "3B 00"), LogFailure::FileNotFound);
    EXPECT_STREQ(LogFailureText(log.WriteHeader()), "Fichier non selectionn\xE9 !!");
    EXPECT_FALSE(fs::exists(m_dir / "no-such-directory"));

}

TEST(LogFailure, EveryCauseHasItsFrenchText) {
    struct Case {
        int error;
        LogFailure cause;
        const char* text;
    };
    const Case cases[] = {
        {0, LogFailure::None, ""},
        {ENOENT, LogFailure::FileNotFound, "Fichier non selectionn\xE9 !!"},
        {ENOTDIR, LogFailure::BadPath, "Chemin incorrecte"},
        {ENAMETOOLONG, LogFailure::BadPath, "Chemin incorrecte"},
        {EMFILE, LogFailure::TooManyOpenFiles, "Trop de fichiers ouverts"},
        {ENFILE, LogFailure::TooManyOpenFiles, "Trop de fichiers ouverts"},
        {EACCES, LogFailure::AccessDenied, "Acc\xE9s au fichier refus\xE9"},
        {EROFS, LogFailure::AccessDenied, "Acc\xE9s au fichier refus\xE9"},
        {EBADF, LogFailure::InvalidFile, "Fichier invalide"},
        {EIO, LogFailure::HardwareIo, "Erreur mat\xE9rielle"},
        {ENOSPC, LogFailure::Other, "Erreur fichier inconnue"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LogFailureFromErrno(c.error), c.cause) << c.error;
        EXPECT_STREQ(LogFailureText(c.cause), c.text) << c.error;
    }
    EXPECT_STREQ(LogFailureText(LogFailure::EndOfFile), "Fin de fichier atteinte");
}

}  // namespace
