// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run: plays a command file against one reader or several at once
// without a window, for terminals and CI. The same command-file reader,
// players, reader link, hex text, status words and exchange log as the
// console; each command goes to the card as the console's command field
// would send and log it. On top: expected answers, golden records, round-trip
// times, statistics and JUnit and HTML reports for reader and card
// qualification.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "readerlink/ReaderLink.h"

struct RunOptions {
    std::string file;
    std::vector<std::string> readers;  // names, name beginnings or positions in the list (from 0); none: "0"
    bool allReaders = false;           // every listed reader with a card
    DWORD shareMode = SCARD_SHARE_EXCLUSIVE;
    DWORD protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
    std::string command;   // one command, repeated loop times
    std::string start;     // the first lap starts here (default: the first command)
    std::string lapStart;  // every later lap starts here (default: start)
    unsigned loop = 1;     // laps, or repetitions of one command (1 to 9999)
    std::string logDir;    // writes the exchange log there when set
    bool json = false;
    int paceMs = 0;
    std::string expectFile;  // NAME = PATTERN: what each command must answer
    bool stopOnMismatch = false;
    std::string recordFile;  // this run's answers, as an expectations file
    bool stats = false;
    std::string junitFile;
    std::string reportFile;
    bool quiet = false;
    // Set by the program from its terminals: the progress line on standard
    // error, and a flush after each line of standard output.
    bool progress = false;
    bool flushEachLine = false;
};

// Exit statuses; with several readers, the worst of them.
inline constexpr int kRunOk = 0;
inline constexpr int kRunExchangeFailed = 1;  // also a wrong answer
inline constexpr int kRunUsage = 2;           // also file, reader and log errors

enum class ParseOutcome { Run, Help, Error };

// Reads the command line. Help: text is the help; Error: text is one line.
ParseOutcome ParseRunArguments(const std::vector<std::string>& args, RunOptions& options, std::string& text);
std::string RunUsage();

// Plays as the options say; one line (or JSON object) per exchange on out,
// one line on err for each usage, file or reader error and each wrong
// answer. Returns the exit status.
int RunCommandFile(const RunOptions& options, std::ostream& out, std::ostream& err);
