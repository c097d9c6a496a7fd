// cardbench-run: plays a command file against a reader without a window, for
// terminals and CI. The same command-file reader, players, reader link, hex
// text, status words and exchange log as the console; each command goes to
// the card as the console's command field would send and log it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "readerlink/ReaderLink.h"

struct RunOptions {
    std::string file;
    std::string reader = "0";  // a name, a name's beginning, or a position in the list (from 0)
    DWORD shareMode = SCARD_SHARE_EXCLUSIVE;
    DWORD protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
    std::string command;   // one command, repeated loop times
    std::string start;     // the first lap starts here (default: the first command)
    std::string lapStart;  // every later lap starts here (default: start)
    unsigned loop = 1;     // laps, or repetitions of one command (1 to 9999)
    std::string logDir;    // writes the exchange log there when set
    bool json = false;
    int paceMs = 0;
};

// Exit statuses.
inline constexpr int kRunOk = 0;
inline constexpr int kRunExchangeFailed = 1;
inline constexpr int kRunUsage = 2;  // also file and reader errors

// Reads the command line; false with a one-line error for bad usage.
bool ParseRunArguments(const std::vector<std::string>& args, RunOptions& options, std::string& error);
const char* RunUsage();

// Plays as the options say; one line (or JSON object) per exchange on out,
// one line on err for a usage, file or reader error. Returns the exit status.
int RunCommandFile(const RunOptions& options, std::ostream& out, std::ostream& err);
