// SPDX-License-Identifier: BSD-3-Clause
// The readerctl program's command line. Every argument is checked here,
// against the protocol's limits, before any reader is looked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ToolCommand { List, Version, Reset, Switch, EepromRead, EepromWrite, Download };

struct ToolOptions {
    std::string device;  // --device NODE: the one reader to use
    bool json = false;
    int waitSeconds = 15;  // --wait: for a reader to come back after a reset
    ToolCommand command = ToolCommand::List;
    bool setSwitch = false;         // switch N (else: read the switch)
    std::uint8_t switchValue = 0;
    std::uint8_t address = 0;       // eeprom read / write
    std::uint8_t count = 0;         // eeprom read
    std::vector<std::uint8_t> data; // eeprom write, from hex text
    std::string dataFile;           // eeprom write, from @FILE (read before sending)
    std::string imagePath;          // download
};

// Exit statuses.
inline constexpr int kToolOk = 0;
inline constexpr int kToolRefused = 1;   // the reader refused or failed
inline constexpr int kToolUsage = 2;     // usage or file
inline constexpr int kToolNoDevice = 3;  // no reader

// Reads the command line; false with a one-line error for bad usage.
bool ParseToolArguments(const std::vector<std::string>& args, ToolOptions& options, std::string& error);
const char* ToolUsage();

// The EEPROM range from options.address of `count` bytes lies inside what a
// one-byte address reaches.
bool CheckEepromRange(const ToolOptions& options, std::size_t count, std::string& error);

// The EEPROM data a write may carry: one frame's count byte.
inline constexpr std::size_t kMaxEepromData = 255;
