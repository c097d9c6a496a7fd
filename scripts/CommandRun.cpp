// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandRun.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "carddata/HexCodec.h"
#include "carddata/JsonText.h"
#include "carddata/StatusWords.h"
#include "readerlink/Cp1252.h"
#include "readerlink/ResultText.h"
#include "scripts/CommandExchange.h"
#include "scripts/CommandFile.h"
#include "scripts/CommandPlayer.h"
#include "scripts/LogFile.h"
#include "carddata/MaskData.h"

namespace {

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string Utf8(std::string_view cp1252) { return Cp1252ToUtf8(cp1252); }

bool ParseUnsigned(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoul(text);
    return value <= max;
}

// Index of the command named so: the exact name first, then the one name equal ignoring case.
int FindCommand(const CCommandList& list, const std::string& name) {
    for (std::size_t i = 0; i < list.Size(); ++i)
        if (list.At(i).name == name) return static_cast<int>(i);
    int found = -1;
    for (std::size_t i = 0; i < list.Size(); ++i) {
        const std::string& other = list.At(i).name;
        if (CompareNoCase(other, name) == 0) {
            if (found >= 0) return -2;  // ambiguous
            found = static_cast<int>(i);
        }
    }
    return found;
}

class Runner {
public:
    Runner(const RunOptions& options, std::ostream& out, std::ostream& err) : m_options(options), m_out(out), m_err(err) {}

    int Run() {
        if (const int status = LoadFile(); status != kRunOk) return status;
        if (const int status = ChoosePosition(); status != kRunOk) return status;
        if (const int status = ConnectReader(); status != kRunOk) return status;
        if (!m_options.logDir.empty()) {
            m_log.SetDirectory(m_options.logDir);
            if (const LogFailure failure = m_log.OpenLog(); failure != LogFailure::None) {
                return Fail("cannot write the log in " + m_options.logDir + ": " + Utf8(LogFailureText(failure)));
            }
            m_logging = true;
        }
        PlayerHooks hooks;
        hooks.readPosition = [this](PlayPosition& position) {
            position = m_position;
            return true;
        };
        hooks.writePosition = [this](const PlayPosition& position, bool) { m_position = position; };
        hooks.load = [this](int index) { m_current = index; };
        hooks.transmit = [this] { return Exchange(); };
        if (m_options.command.empty()) {
            PlayCommandFile(hooks);
        } else {
            RepeatCommand(hooks);
        }
        m_log.CloseLog();
        m_link.Disconnect(SCARD_LEAVE_CARD);
        m_link.ReleaseContext();
        return m_lastResult == 0 ? kRunOk : kRunExchangeFailed;
    }

private:
    int Fail(const std::string& line) {
        m_err << "cardbench-run: " << line << "\n";
        return kRunUsage;
    }

    std::string ResultText(PcscResult result) const {
        std::string text;
        GetResultText(static_cast<std::uint32_t>(result), text);
        return Utf8(text);
    }

    int LoadFile() {
        struct stat info {};
        if (::stat(m_options.file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return Fail("cannot read " + m_options.file + ": no such file");
        }
        if (const FileFailure failure = m_list.Load(m_options.file); failure != FileFailure::None) {
            return Fail("cannot read " + m_options.file + ": " + Utf8(LogFailureText(failure)));
        }
        if (m_list.Empty()) return Fail(m_options.file + " holds no command (no [Command] section, or no line with =)");
        return kRunOk;
    }

    int ChoosePosition() {
        auto find = [this](const std::string& name, int fallback, int& index) {
            if (name.empty()) {
                index = fallback;
                return kRunOk;
            }
            index = FindCommand(m_list, name);
            if (index == -2) return Fail("more than one command is named " + name + " (ignoring case)");
            if (index < 0) return Fail("no command named " + name + " in " + m_options.file);
            return kRunOk;
        };
        int start = 0;
        int lapStart = 0;
        if (!m_options.command.empty()) {
            if (const int s = find(m_options.command, 0, m_current); s != kRunOk) return s;
        } else {
            if (const int s = find(m_options.start, 0, start); s != kRunOk) return s;
            if (const int s = find(m_options.lapStart, start, lapStart); s != kRunOk) return s;
        }
        m_position.count = static_cast<int>(m_list.Size());
        m_position.selected = start;
        m_position.startIndex = lapStart;
        m_position.loopCount = m_options.loop;
        return kRunOk;
    }

    int ConnectReader() {
        m_link.SetMaxReaders(kReaderSlots);
        PcscResult result = m_link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
        if (result == 0) result = m_link.ListReaders(nullptr);
        if (result != 0) return Fail("no reader: " + ResultText(result));
        int slot = -1;
        unsigned long position = 0;
        if (ParseUnsigned(m_options.reader, kReaderSlots - 1, position)) {
            if (static_cast<int>(position) < m_link.GetReaderCount()) slot = static_cast<int>(position);
        } else {
            for (int i = 0; i < m_link.GetReaderCount() && slot < 0; ++i)
                if (std::string_view(m_link.ReaderName(i)) == m_options.reader) slot = i;
            for (int i = 0; i < m_link.GetReaderCount() && slot < 0; ++i)
                if (std::string_view(m_link.ReaderName(i)).starts_with(m_options.reader)) slot = i;
        }
        if (slot < 0) {
            std::string names;
            for (int i = 0; i < m_link.GetReaderCount(); ++i) names += std::string(i ? ", " : "") + m_link.ReaderName(i);
            return Fail("no reader " + m_options.reader + " (readers: " + names + ")");
        }
        DWORD active = 0;
        result = m_link.Connect(m_link.ReaderName(slot), m_options.shareMode, m_options.protocols, &active);
        if (result != 0) return Fail(std::string("cannot connect to ") + m_link.ReaderName(slot) + ": " + ResultText(result));
        return kRunOk;
    }

    // One command as the console's command field sends and logs it.
    PcscResult Exchange() {
        const CommandEntry& entry = m_list.At(static_cast<std::size_t>(m_current));
        m_field.SetText(CommandFieldText(entry.text, COMMAND_MASK_GROUPS));
        const std::string& commandText = m_field.Text();

        const ExchangeOutcome outcome = ExchangeCommandText(m_link, commandText, m_logging ? &m_log : nullptr);
        m_lastResult = outcome.result;
        if (outcome.logFailure != LogFailure::None) {
            m_err << "cardbench-run: log: " << Utf8(LogFailureText(outcome.logFailure)) << "\n";
        }
        const std::string answer = TrimRight(outcome.answerText);
        std::string meaning;  // UTF-8, like everything printed
        if (m_lastResult != 0) {
            meaning = ResultText(m_lastResult);
        } else if (outcome.answerLength >= 2) {
            meaning = Utf8(TrimRight(
                StatusWordText(outcome.answer[outcome.answerLength - 2], outcome.answer[outcome.answerLength - 1])));
        }
        const CHexCodec codec;
        const std::string name = Utf8(entry.name);
        const std::string command = TrimRight(codec.BytesToHex(outcome.sentLength, outcome.sent.data()));
        if (m_options.json) {
            m_out << "{\"name\":" << JsonString(name) << ",\"command\":" << JsonString(command)
                  << ",\"answer\":" << JsonString(answer) << ",\"result\":" << m_lastResult
                  << ",\"meaning\":" << JsonString(meaning) << "}\n";
        } else {
            m_out << name << "\t" << command << "\t" << answer << "\t" << meaning << "\n";
        }
        m_out.flush();
        if (m_options.paceMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_options.paceMs));
        return m_lastResult;
    }

    const RunOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    CCommandList m_list;
    CReaderLink m_link;
    CLogFile m_log;
    bool m_logging = false;
    CMaskData m_field{MakeHexMask(COMMAND_MASK_GROUPS)};  // the console's command field, without its window
    PlayPosition m_position;
    int m_current = -1;
    PcscResult m_lastResult = 0;
};

}  // namespace

const char* RunUsage() {
    return "usage: cardbench-run [--reader NAME|N] [--share exclusive|shared|direct] [--protocol t0|t1|t0,t1]\n"
           "                     [--default-params] [--command NAME | --start NAME [--lap-start NAME]]\n"
           "                     [--loop N] [--log DIR] [--json] [--pace MS] FILE.phb\n"
           "Plays the command file (or one command of it) against a reader. One line per exchange:\n"
           "name, command, answer and its meaning, separated by tabs. Exit status: 0 every exchange\n"
           "succeeded, 1 an exchange failed (the run stops there), 2 usage, file or reader error.\n";
}

bool ParseRunArguments(const std::vector<std::string>& args, RunOptions& options, std::string& error) {
    bool defaultParams = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        std::string text;
        unsigned long number = 0;
        if (arg == "--reader") {
            if (!value(options.reader)) return false;
        } else if (arg == "--share") {
            if (!value(text)) return false;
            if (text == "exclusive") {
                options.shareMode = SCARD_SHARE_EXCLUSIVE;
            } else if (text == "shared") {
                options.shareMode = SCARD_SHARE_SHARED;
            } else if (text == "direct") {
                options.shareMode = SCARD_SHARE_DIRECT;
            } else {
                error = "--share takes exclusive, shared or direct";
                return false;
            }
        } else if (arg == "--protocol") {
            if (!value(text)) return false;
            if (text == "t0" || text == "T0") {
                options.protocols = SCARD_PROTOCOL_T0;
            } else if (text == "t1" || text == "T1") {
                options.protocols = SCARD_PROTOCOL_T1;
            } else if (text == "t0,t1" || text == "T0,T1") {
                options.protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
            } else {
                error = "--protocol takes t0, t1 or t0,t1";
                return false;
            }
        } else if (arg == "--default-params") {
            defaultParams = true;
        } else if (arg == "--command") {
            if (!value(options.command)) return false;
        } else if (arg == "--start") {
            if (!value(options.start)) return false;
        } else if (arg == "--lap-start") {
            if (!value(options.lapStart)) return false;
        } else if (arg == "--loop") {
            if (!value(text)) return false;
            if (!ParseUnsigned(text, 9999, number) || number == 0) {
                error = "--loop takes a whole number from 1 to 9999";
                return false;
            }
            options.loop = static_cast<unsigned>(number);
        } else if (arg == "--log") {
            if (!value(options.logDir)) return false;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--pace") {
            if (!value(text)) return false;
            if (!ParseUnsigned(text, 60000, number)) {
                error = "--pace takes milliseconds from 0 to 60000";
                return false;
            }
            options.paceMs = static_cast<int>(number);
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            error = "one command file only";
            return false;
        }
    }
    if (options.file.empty()) {
        error = "no command file named";
        return false;
    }
    if (!options.command.empty() && (!options.start.empty() || !options.lapStart.empty())) {
        error = "--command plays one command; --start and --lap-start walk the file";
        return false;
    }
    if (options.shareMode == SCARD_SHARE_DIRECT) {
        options.protocols = 0;
    } else if (defaultParams) {
        options.protocols |= kDefaultParameters;
    }
    return true;
}

int RunCommandFile(const RunOptions& options, std::ostream& out, std::ostream& err) {
    return Runner(options, out, err).Run();
}
