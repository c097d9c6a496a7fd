// SPDX-License-Identifier: BSD-3-Clause
#include "readerctl/tool/ToolArguments.h"

#include <cstdlib>

#include "carddata/HexCodec.h"

namespace {

// A number in decimal or, with 0x, hexadecimal, at most `max`.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(allowed) != std::string::npos) return false;
    value = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    return value <= max;
}

bool ParseByte(const std::string& text, const char* what, std::uint8_t& value, std::string& error) {
    unsigned long number = 0;
    if (!ParseNumber(text, 0xFF, number)) {
        error = std::string(what) + " must be 0 to 255 (or 0x00 to 0xFF): " + text;
        return false;
    }
    value = static_cast<std::uint8_t>(number);
    return true;
}

// Hexadecimal data: packed ("A0B1") or spaced ("A0 B1"), whole bytes only.
bool ParseHexData(const std::string& text, std::vector<std::uint8_t>& data, std::string& error) {
    const bool spaced = text.find(' ') != std::string::npos;
    std::string digits;
    for (char c : text) {
        if (c == ' ') continue;
        if (std::string_view("0123456789abcdefABCDEF").find(c) == std::string_view::npos) {
            error = "data must be hexadecimal digits: " + text;
            return false;
        }
        digits += c;
    }
    if (digits.empty() || (!spaced && digits.size() % 2 != 0)) {
        error = "data must be whole bytes of hexadecimal: " + text;
        return false;
    }
    // One byte more than the limit of room tells a too long text apart.
    std::uint8_t bytes[kMaxEepromData + 1];
    unsigned count = 0;
    const CHexCodec codec;
    const int failed = spaced ? codec.HexToBytes(text, bytes, sizeof bytes, count)
                              : codec.PackedHexToBytes(digits, bytes, sizeof bytes, count);
    if (failed != 0) {
        error = "data must be bytes of one or two hexadecimal digits: " + text;
        return false;
    }
    if (count > kMaxEepromData || digits.size() > 2 * (kMaxEepromData + 1)) {
        error = "at most 255 bytes fit in one EEPROM write";
        return false;
    }
    data.assign(bytes, bytes + count);
    return true;
}

bool ParseCommand(const std::vector<std::string>& words, ToolOptions& options, std::string& error) {
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& name = words[0];
    const std::size_t operands = words.size() - 1;
    auto wrongCount = [&](const char* form) {
        error = std::string("usage: readerctl ") + form;
        return false;
    };
    if (name == "list" || name == "version" || name == "reset") {
        if (operands != 0) return wrongCount(name == "list" ? "list" : name == "version" ? "version" : "reset");
        options.command = name == "list" ? ToolCommand::List : name == "version" ? ToolCommand::Version : ToolCommand::Reset;
        return true;
    }
    if (name == "switch") {
        if (operands > 1) return wrongCount("switch [N]");
        options.command = ToolCommand::Switch;
        options.setSwitch = operands == 1;
        return !options.setSwitch || ParseByte(words[1], "the interface value", options.switchValue, error);
    }
    if (name == "eeprom") {
        if (operands == 3 && words[1] == "read") {
            options.command = ToolCommand::EepromRead;
            if (!ParseByte(words[2], "the address", options.address, error) ||
                !ParseByte(words[3], "the length", options.count, error))
                return false;
            if (options.count == 0) {
                error = "the length must be 1 to 255";
                return false;
            }
            return CheckEepromRange(options, options.count, error);
        }
        if (operands == 3 && words[1] == "write") {
            options.command = ToolCommand::EepromWrite;
            if (!ParseByte(words[2], "the address", options.address, error)) return false;
            if (words[3].size() > 1 && words[3][0] == '@') {
                options.dataFile = words[3].substr(1);  // read and checked before anything is sent
                return true;
            }
            return ParseHexData(words[3], options.data, error) && CheckEepromRange(options, options.data.size(), error);
        }
        return wrongCount("eeprom read ADDR LEN | eeprom write ADDR HEX|@FILE");
    }
    if (name == "download") {
        if (operands != 1 || words[1].empty()) return wrongCount("download IMAGE");
        options.command = ToolCommand::Download;
        options.imagePath = words[1];
        return true;
    }
    error = "unknown command: " + name;
    return false;
}

}  // namespace

bool CheckEepromRange(const ToolOptions& options, std::size_t count, std::string& error) {
    if (options.address + count > 256) {
        error = "the range passes the end of the EEPROM's one-byte address space (0x00 to 0xFF)";
        return false;
    }
    return true;
}

bool ParseToolArguments(const std::vector<std::string>& args, ToolOptions& options, std::string& error) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (arg == "--device") {
            if (!value(options.device)) return false;
            if (options.device.empty()) {
                error = "--device needs a device node";
                return false;
            }
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--wait") {
            std::string text;
            unsigned long seconds = 0;
            if (!value(text)) return false;
            if (!ParseNumber(text, 3600, seconds) || seconds == 0) {
                error = "--wait must be 1 to 3600 seconds: " + text;
                return false;
            }
            options.waitSeconds = static_cast<int>(seconds);
        } else if (arg == "--") {
            words.insert(words.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option: " + arg;
            return false;
        } else {
            words.push_back(arg);
        }
    }
    return ParseCommand(words, options, error);
}

const char* ToolUsage() {
    return "usage: readerctl [--device NODE] [--json] [--wait SECONDS] COMMAND\n"
           "commands:\n"
           "  list                       the readers' boot interfaces: node, vendor:product, mode\n"
           "  version                    the firmware version\n"
           "  reset                      restart the reader\n"
           "  switch [N]                 read the interface switch, or set it to N (0 to 255)\n"
           "  eeprom read ADDR LEN       LEN bytes (1 to 255) from ADDR (0 to 255) as a hexdump\n"
           "  eeprom write ADDR HEX      write bytes given in hexadecimal (or @FILE, raw bytes)\n"
           "  download IMAGE             load a firmware image and print the new version\n"
           "options:\n"
           "  --device NODE              the reader to use (needed when several are present)\n"
           "  --json                     one JSON object per result or progress step\n"
           "  --wait SECONDS             how long a reader may take to come back after a reset (15)\n"
           "exit status: 0 success, 1 the reader refused or failed, 2 usage or file, 3 no reader\n";
}
