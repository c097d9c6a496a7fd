// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandRun.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "carddata/HexCodec.h"
#include "carddata/JsonText.h"
#include "carddata/StatusWords.h"
#include "readerlink/Cp1252.h"
#include "readerlink/PcscApi.h"
#include "readerlink/ResultText.h"
#include "scripts/AnswerPattern.h"
#include "scripts/CommandExchange.h"
#include "scripts/CommandFile.h"
#include "scripts/CommandPlayer.h"
#include "scripts/FileAccess.h"
#include "scripts/UserFile.h"
#include "scripts/LogFile.h"
#include "scripts/RunReport.h"
#include "widgets/MaskData.h"

namespace {

// Stops a play for a reason of the runner's own (a wrong answer, a log that
// cannot be written); PC/SC codes are 32-bit values here, as in the console.
constexpr PlayerResult kRunnerStop = static_cast<PlayerResult>(SCARD_F_UNKNOWN_ERROR);

using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string Utf8(std::string_view cp1252) { return Cp1252ToUtf8(cp1252); }

std::string ResultText(PcscResult result) {
    std::string text;
    GetResultText(static_cast<std::uint32_t>(result), text);
    return Utf8(text);
}

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
        if (other.size() != name.size()) continue;
        bool equal = true;
        for (std::size_t k = 0; k < name.size() && equal; ++k)
            equal = std::toupper(static_cast<unsigned char>(other[k])) == std::toupper(static_cast<unsigned char>(name[k]));
        if (equal) {
            if (found >= 0) return -2;  // ambiguous
            found = static_cast<int>(i);
        }
    }
    return found;
}

// One command of the file as every reader sends it, read once before the run.
struct PreparedCommand {
    std::string fieldText;  // the console's command field, as the log holds it
    std::vector<std::uint8_t> bytes;
    std::string name;     // UTF-8
    std::string command;  // spaced hexadecimal, UTF-8
    std::optional<CAnswerPattern> expected;
    std::string expectedText;
    std::string jsonHead;  // {"reader":…,"name":…,"command":…, without the reader
};

struct Plan {
    CCommandList list;
    std::vector<PreparedCommand> commands;
    int single = -1;  // --command
    int start = 0;
    int lapStart = 0;
    bool keepTimes = false;
};

// Standard output and error shared by the readers' threads, and the
// progress line at the bottom of a terminal.
class Sink {
public:
    Sink(std::ostream& out, std::ostream& err, bool flushEachLine) : m_out(out), m_err(err), m_flush(flushEachLine) {}

    void Line(const std::string& line) {
        const std::lock_guard lock(m_mutex);
        m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
        if (m_flush) m_out.flush();
    }
    void Error(const std::string& line) {
        const std::lock_guard lock(m_mutex);
        if (m_progressShown) m_err << "\r\033[K";
        m_progressShown = false;
        m_err << "cardbench-run: " << line << "\n";
    }
    void Progress(const std::string& text) {
        const std::lock_guard lock(m_mutex);
        m_err << "\r" << text << "\033[K" << std::flush;
        m_progressShown = !text.empty();
    }

private:
    std::mutex m_mutex;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_flush;
    bool m_progressShown = false;
};

struct Counters {
    std::atomic<unsigned> laps{0};
    std::atomic<unsigned> exchanges{0};
    std::atomic<unsigned> failures{0};
    std::atomic<unsigned> mismatches{0};
};

// Redraws "laps done of total, exchanges per second, failures, mismatches"
// a few times a second until stopped.
class ProgressLine {
public:
    ProgressLine(Sink& sink, const Counters& counters, unsigned totalLaps)
        : m_sink(sink), m_counters(counters), m_total(totalLaps), m_thread([this] { Loop(); }) {}
    ~ProgressLine() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        m_sink.Progress("");
    }

private:
    void Loop() {
        const auto begin = Clock::now();
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_stop; })) {
            const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
            char text[160];
            std::snprintf(text, sizeof text, "laps %u/%u  %.0f exchanges/s  %u failed  %u wrong",
                          m_counters.laps.load(), m_total, m_counters.exchanges.load() / std::max(seconds, 1e-3),
                          m_counters.failures.load(), m_counters.mismatches.load());
            m_sink.Progress(text);
        }
    }

    Sink& m_sink;
    const Counters& m_counters;
    unsigned m_total;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

// One reader's run, on a thread of its own with its own context.
class ReaderRun {
public:
    ReaderRun(const RunOptions& options, const Plan& plan, std::string reader, bool named, Sink& sink,
              Counters& counters, CLogFile* log)
        : m_options(options), m_plan(plan), m_readerName(std::move(reader)), m_named(named), m_sink(sink),
          m_counters(counters), m_log(log) {
        m_record.reader = Utf8(m_readerName);
        m_readerJson = JsonString(m_record.reader);
        m_record.commands.resize(plan.commands.size());
        for (std::size_t i = 0; i < plan.commands.size(); ++i) m_record.commands[i].name = plan.commands[i].name;
        m_lastAnswers.resize(plan.commands.size());
    }

    void Run() {
        const auto begin = Clock::now();
        m_record.status = Play();
        m_record.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        m_link.Disconnect(SCARD_LEAVE_CARD);
        m_link.ReleaseContext();
    }

    const ReaderRecord& Record() const { return m_record; }
    const std::vector<std::optional<std::string>>& LastAnswers() const { return m_lastAnswers; }

private:
    std::string Prefix() const { return m_named ? m_record.reader + ": " : std::string(); }

    int Fail(const std::string& line) {
        m_record.note = line;
        m_sink.Error(Prefix() + line);
        return kRunUsage;
    }

    int Play() {
        m_link.SetMaxReaders(kReaderSlots);
        PcscResult result = m_link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
        DWORD active = 0;
        if (result == 0) result = m_link.Connect(m_readerName.c_str(), m_options.shareMode, m_options.protocols, &active);
        if (result != 0) return Fail("cannot connect to " + m_record.reader + ": " + ResultText(result));

        PlayPosition position;
        position.count = static_cast<int>(m_plan.list.Size());
        position.selected = m_plan.start;
        position.startIndex = m_plan.lapStart;
        position.loopCount = m_options.loop;
        int current = m_plan.single;
        PlayerHooks hooks;
        hooks.readPosition = [&](PlayPosition& p) {
            p = position;
            return true;
        };
        hooks.writePosition = [&](const PlayPosition& p, bool) { position = p; };
        hooks.load = [&](int index) { current = index; };
        hooks.transmit = [&] {
            const PlayerResult r = Exchange(current);
            // A lap ends with the file's last command; one repetition is a lap of --command.
            if (m_plan.single >= 0 || current == position.count - 1) m_counters.laps.fetch_add(1, std::memory_order_relaxed);
            return r;
        };
        if (m_plan.single >= 0) {
            RepeatCommand(hooks);
        } else {
            PlayCommandFile(hooks);
        }
        return m_status;
    }

    struct Meaning {
        std::string text;  // UTF-8
        std::string json;  // the same as a JSON string
    };

    // The meaning of a result and status word, spelled out once per run.
    const Meaning& MeaningOf(PcscResult result, const ExchangeOutcome& outcome) {
        unsigned key = 0x10000;  // no status word
        if (result != 0) {
            m_failureMeaning = {ResultText(result), JsonString(ResultText(result))};
            return m_failureMeaning;
        }
        if (outcome.answerLength >= 2)
            key = outcome.answer[outcome.answerLength - 2] << 8 | outcome.answer[outcome.answerLength - 1];
        auto [it, added] = m_meanings.try_emplace(key);
        if (added && key < 0x10000) {
            it->second.text = Utf8(TrimRight(StatusWordText(key >> 8, key & 0xFF)));
            it->second.json = JsonString(it->second.text);
        } else if (added) {
            it->second.json = "\"\"";
        }
        return it->second;
    }

    // One command as the console's command field sends and logs it.
    PlayerResult Exchange(int index) {
        const PreparedCommand& command = m_plan.commands[static_cast<std::size_t>(index)];
        const ExchangeOutcome outcome = ExchangeCommandBytes(m_link, command.bytes.data(),
                                                             static_cast<unsigned>(command.bytes.size()),
                                                             command.fieldText, m_log);
        const auto micros = static_cast<std::uint32_t>(
            std::min<std::int64_t>((outcome.roundTrip.count() + 500) / 1000, UINT32_MAX));
        const PcscResult result = outcome.result;
        const std::string answer = TrimRight(outcome.answerText);
        const bool checked = result == 0 && command.expected.has_value();
        const bool mismatch = checked && !command.expected->Matches(outcome.answer.data(), outcome.answerLength);
        const Meaning& described = MeaningOf(result, outcome);
        const std::string& meaning = described.text;

        std::string line;
        if (m_options.json) {
            // The parts that never change were made by the JSON library before
            // the run; the answer is hexadecimal and the numbers are digits.
            line.append("{\"reader\":").append(m_readerJson).append(command.jsonHead);
            line.append(",\"answer\":\"").append(answer).append("\",\"result\":").append(std::to_string(result));
            line.append(",\"meaning\":").append(described.json);
            line.append(",\"microseconds\":").append(std::to_string(micros));
            if (checked) line.append(",\"expected\":").append(JsonString(command.expectedText)).append(mismatch ? ",\"match\":false" : ",\"match\":true");
            line.push_back('}');
        } else {
            if (m_named) line.append(m_record.reader).push_back('\t');
            line.append(command.name).append("\t").append(command.command).append("\t").append(answer);
            line.append("\t").append(meaning).append("\t").append(std::to_string(micros));
        }
        line.push_back('\n');
        m_sink.Line(line);

        CommandRecord& record = m_record.commands[static_cast<std::size_t>(index)];
        ++record.count;
        m_counters.exchanges.fetch_add(1, std::memory_order_relaxed);
        if (m_plan.keepTimes) {
            record.micros.push_back(micros);
            m_record.timeline.push_back(micros);
        }
        if (result != 0) {
            ++record.failures;
            m_counters.failures.fetch_add(1, std::memory_order_relaxed);
            if (record.problems.size() < kProblemsKept) record.problems.push_back("failed: " + meaning);
            m_status = std::max(m_status, kRunExchangeFailed);
        } else {
            m_lastAnswers[static_cast<std::size_t>(index)] = answer;
        }
        if (mismatch) {
            ++record.mismatches;
            m_counters.mismatches.fetch_add(1, std::memory_order_relaxed);
            const std::string problem = "expected " + command.expectedText + ", received " + answer;
            if (record.problems.size() < kProblemsKept) record.problems.push_back(problem);
            m_sink.Error(Prefix() + command.name + ": " + problem);
            m_status = std::max(m_status, kRunExchangeFailed);
        }
        if (outcome.logFailure != LogFailure::None) {
            // A log with holes is no record of the run: stop here.
            m_status = Fail("cannot write the log " + m_log->FileName() + ": " + FileErrorText(m_log->LastError()));
            return kRunnerStop;
        }
        if (m_options.paceMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_options.paceMs));
        if (result != 0) {
            m_record.note = "stopped after " + command.name + " failed: " + meaning;
            return result;
        }
        if (mismatch && m_options.stopOnMismatch) {
            m_record.note = "stopped at the wrong answer of " + command.name;
            return kRunnerStop;
        }
        return 0;
    }

    const RunOptions& m_options;
    const Plan& m_plan;
    std::string m_readerName;  // as the resource manager lists it
    bool m_named;              // several readers: each line names its reader
    Sink& m_sink;
    Counters& m_counters;
    CLogFile* m_log;
    CReaderLink m_link;
    ReaderRecord m_record;
    std::vector<std::optional<std::string>> m_lastAnswers;
    std::unordered_map<unsigned, Meaning> m_meanings;
    Meaning m_failureMeaning;
    std::string m_readerJson;
    int m_status = kRunOk;
};

class Runner {
public:
    Runner(const RunOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_sink(out, err, options.flushEachLine) {}

    int Run() {
        if (const int status = LoadFile(); status != kRunOk) return status;
        if (const int status = LoadExpectations(); status != kRunOk) return status;
        if (const int status = ChoosePosition(); status != kRunOk) return status;
        if (const int status = PrepareOutputs(); status != kRunOk) return status;
        if (const int status = ChooseReaders(); status != kRunOk) return status;
        if (const int status = OpenLog(); status != kRunOk) return status;
        Prepare();
        m_runStarted = LocalTime();

        std::vector<std::unique_ptr<ReaderRun>> runs;
        for (const std::string& reader : m_readers)
            runs.push_back(std::make_unique<ReaderRun>(m_options, m_plan, reader, m_readers.size() > 1, m_sink,
                                                       m_counters, m_logging ? &m_log : nullptr));
        {
            std::optional<ProgressLine> progress;
            const unsigned lapsEach = m_options.loop;
            if (m_options.progress && !m_options.quiet) progress.emplace(m_sink, m_counters, lapsEach * runs.size());
            // One reader plays on this thread; several each on a thread of its own.
            std::vector<std::thread> threads;
            for (std::size_t i = 1; i < runs.size(); ++i) threads.emplace_back([&run = runs[i]] { run->Run(); });
            runs.front()->Run();
            for (std::thread& thread : threads) thread.join();
        }
        m_log.CloseLog();

        RunRecord record;
        record.file = Utf8(m_options.file);
        record.started = m_runStarted;
        for (const auto& run : runs) {
            record.readers.push_back(run->Record());
            record.status = std::max(record.status, run->Record().status);
        }
        if (m_options.stats) PrintStats(record);
        return std::max(record.status, WriteOutputs(record, runs));
    }

private:
    int Fail(const std::string& line) {
        m_sink.Error(line);
        return kRunUsage;
    }

    static std::string LocalTime() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
        return text;
    }

    int ReadFile(const std::string& path, std::string& bytes) {
        const LogFailure failure = ReadRegularFile(path, kMaxCommandFileBytes, bytes);
        if (failure != LogFailure::None) return Fail("cannot read " + path + ": " + ReadFailureText(path, failure));
        return kRunOk;
    }

    // The console's causes, in the runner's English; what an invalid file is
    // exactly is looked up for the message only.
    static std::string ReadFailureText(const std::string& path, LogFailure failure) {
        struct stat info {};
        switch (failure) {
            case LogFailure::FileNotFound: return "no such file";
            case LogFailure::InvalidFile:
                if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "a folder, not a file";
                if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
                    return "not a regular file (a FIFO, socket or device)";
                return "larger than the 64 MiB a command file may hold";
            case LogFailure::AccessDenied: return FileErrorText(EACCES);
            case LogFailure::BadPath: return "a part of the path is not a folder, or the path is too long";
            case LogFailure::TooManyOpenFiles: return FileErrorText(EMFILE);
            case LogFailure::HardwareIo: return FileErrorText(EIO);
            default: return "cannot be read";
        }
    }

    int LoadFile() {
        std::string bytes;
        if (const int status = ReadFile(m_options.file, bytes); status != kRunOk) return status;
        m_plan.list.Assign(ParseCommandFile(bytes));
        if (m_plan.list.Empty()) return Fail(m_options.file + " holds no command (no [Command] section, or no line with =)");
        return kRunOk;
    }

    int LoadExpectations() {
        m_plan.commands.resize(m_plan.list.Size());
        if (m_options.expectFile.empty()) return kRunOk;
        std::string bytes;
        if (const int status = ReadFile(m_options.expectFile, bytes); status != kRunOk) return status;
        std::vector<Expectation> expectations;
        std::string error;
        if (!ParseExpectations(bytes, expectations, error)) return Fail(m_options.expectFile + " " + error);
        if (expectations.empty()) return Fail(m_options.expectFile + " holds no expectation (no [Command] section, or no line with =)");
        std::vector<int> lineOf(m_plan.list.Size(), 0);
        for (Expectation& expectation : expectations) {
            const std::string where = m_options.expectFile + " line " + std::to_string(expectation.line) + ": ";
            const int index = FindCommand(m_plan.list, expectation.name);
            if (index == -2) return Fail(where + "more than one command is named " + expectation.name + " (ignoring case)");
            if (index < 0) return Fail(where + "no command named " + expectation.name + " in " + m_options.file);
            int& first = lineOf[static_cast<std::size_t>(index)];
            if (first != 0) return Fail(where + expectation.name + " is expected already on line " + std::to_string(first));
            first = expectation.line;
            PreparedCommand& command = m_plan.commands[static_cast<std::size_t>(index)];
            command.expectedText = expectation.pattern.Text();
            command.expected = std::move(expectation.pattern);
        }
        return kRunOk;
    }

    int ChoosePosition() {
        auto find = [this](const std::string& name, int fallback, int& index) {
            if (name.empty()) {
                index = fallback;
                return kRunOk;
            }
            index = FindCommand(m_plan.list, name);
            if (index == -2) return Fail("more than one command is named " + name + " (ignoring case)");
            if (index < 0) return Fail("no command named " + name + " in " + m_options.file);
            return kRunOk;
        };
        if (!m_options.command.empty()) return find(m_options.command, 0, m_plan.single);
        if (const int s = find(m_options.start, 0, m_plan.start); s != kRunOk) return s;
        return find(m_options.lapStart, m_plan.start, m_plan.lapStart);
    }

    // Every file the run will write is tried before the first exchange.
    int PrepareOutputs() {
        const std::pair<const std::string*, CFileReplacement*> outputs[] = {
            {&m_options.recordFile, &m_recordOut}, {&m_options.junitFile, &m_junitOut}, {&m_options.reportFile, &m_reportOut}};
        for (const auto& [path, file] : outputs) {
            if (path->empty()) continue;
            if (const int error = file->Prepare(*path); error != 0) return Fail("cannot write " + *path + ": " + FileErrorText(error));
        }
        if (!m_options.logDir.empty()) {
            struct stat info {};
            if (::stat(m_options.logDir.c_str(), &info) != 0)
                return Fail("cannot write the log in " + m_options.logDir + ": " + FileErrorText(errno));
            if (!S_ISDIR(info.st_mode)) return Fail("cannot write the log in " + m_options.logDir + ": not a folder");
        }
        m_plan.keepTimes = m_options.stats || !m_options.junitFile.empty() || !m_options.reportFile.empty();
        return kRunOk;
    }

    int ChooseReaders() {
        CReaderLink link;
        link.SetMaxReaders(kReaderSlots);
        PcscResult result = link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
        if (result == 0) result = link.ListReaders(nullptr);
        if (result != 0) {
            link.ReleaseContext();
            return Fail("no reader: " + ResultText(result));
        }
        std::string names;
        for (int i = 0; i < link.GetReaderCount(); ++i) names += std::string(i ? ", " : "") + link.ReaderName(i);
        std::vector<std::string> wanted = m_options.readers;
        if (wanted.empty() && !m_options.allReaders) wanted.push_back("0");
        for (const std::string& want : wanted) {
            const int slot = FindReader(link, want);
            if (slot < 0) {
                link.ReleaseContext();
                return Fail("no reader " + want + " (readers: " + names + ")");
            }
            AddReader(link.ReaderName(slot));
        }
        if (m_options.allReaders) {
            std::vector<SCARD_READERSTATE> states(static_cast<std::size_t>(link.GetReaderCount()));
            for (std::size_t i = 0; i < states.size(); ++i) {
                states[i] = {};
                states[i].szReader = link.ReaderName(static_cast<int>(i));
                states[i].dwCurrentState = SCARD_STATE_UNAWARE;
            }
            result = CurrentPcscApi().GetStatusChange(link.ContextHandle(), 0, states.data(),
                                                      static_cast<DWORD>(states.size()));
            if (result == 0)
                for (const SCARD_READERSTATE& state : states)
                    if (state.dwEventState & SCARD_STATE_PRESENT) AddReader(state.szReader);
        }
        link.ReleaseContext();
        if (m_readers.empty()) return Fail("no reader has a card (readers: " + names + ")");
        if (m_readers.size() > 1 && !m_options.logDir.empty())
            return Fail("--log keeps one reader's exchanges: name one reader");
        if (m_readers.size() > 1 && !m_options.recordFile.empty())
            return Fail("--record keeps one reader's answers: name one reader");
        return kRunOk;
    }

    void AddReader(const std::string& name) {
        if (std::find(m_readers.begin(), m_readers.end(), name) == m_readers.end()) m_readers.push_back(name);
    }

    static int FindReader(const CReaderLink& link, const std::string& want) {
        unsigned long position = 0;
        if (ParseUnsigned(want, kReaderSlots - 1, position))
            return static_cast<int>(position) < link.GetReaderCount() ? static_cast<int>(position) : -1;
        for (int i = 0; i < link.GetReaderCount(); ++i)
            if (std::string_view(link.ReaderName(i)) == want) return i;
        for (int i = 0; i < link.GetReaderCount(); ++i)
            if (std::string_view(link.ReaderName(i)).starts_with(want)) return i;
        return -1;
    }

    int OpenLog() {
        if (m_options.logDir.empty()) return kRunOk;
        m_log.SetDirectory(m_options.logDir);
        if (m_log.OpenLog() != LogFailure::None)
            return Fail("cannot write the log " + m_log.FileName() + ": " + FileErrorText(m_log.LastError()));
        m_logging = true;
        return kRunOk;
    }

    // Each command's bytes and texts, read once for every exchange of it.
    void Prepare() {
        CMaskData field{MakeHexMask(COMMAND_MASK_GROUPS)};  // the console's command field, without its window
        const CHexCodec codec;
        for (std::size_t i = 0; i < m_plan.list.Size(); ++i) {
            const CommandEntry& entry = m_plan.list.At(i);
            PreparedCommand& command = m_plan.commands[i];
            field.SetText(CommandFieldText(entry.text, COMMAND_MASK_GROUPS));
            command.fieldText = field.Text();
            std::array<std::uint8_t, ExchangeOutcome::kBufferSize> bytes{};
            unsigned length = 0;
            codec.HexToBytes(command.fieldText, bytes.data(), bytes.size(), length);
            command.bytes.assign(bytes.begin(), bytes.begin() + length);
            command.name = Utf8(entry.name);
            command.command = TrimRight(codec.BytesToHex(length, bytes.data()));
            command.jsonHead = ",\"name\":" + JsonString(command.name) + ",\"command\":" + JsonString(command.command);
        }
    }

    void PrintStats(const RunRecord& record) {
        const bool named = record.readers.size() > 1;
        if (!m_options.json)
            m_sink.Line(std::string("# ") + (named ? "reader\t" : "") +
                        "name\tcount\tfailures\tmismatches\tmin_us\tmedian_us\tp95_us\tmax_us\n");
        for (const ReaderRecord& reader : record.readers) {
            for (const CommandRecord& command : reader.commands) {
                if (command.count == 0) continue;
                const LatencySummary l = SummarizeLatency(command.micros);
                if (m_options.json) {
                    Json stats;
                    stats["reader"] = reader.reader;
                    stats["name"] = command.name;
                    stats["count"] = command.count;
                    stats["failures"] = command.failures;
                    stats["mismatches"] = command.mismatches;
                    stats["min_us"] = l.min;
                    stats["median_us"] = l.median;
                    stats["p95_us"] = l.p95;
                    stats["max_us"] = l.max;
                    m_sink.Line(Json{{"stats", stats}}.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
                } else {
                    std::string line = named ? reader.reader + "\t" : std::string();
                    for (const std::string& cell :
                         {command.name, std::to_string(command.count), std::to_string(command.failures),
                          std::to_string(command.mismatches), std::to_string(l.min), std::to_string(l.median),
                          std::to_string(l.p95), std::to_string(l.max)})
                        line.append(cell).push_back('\t');
                    line.back() = '\n';
                    m_sink.Line(line);
                }
            }
        }
    }

    int WriteOutputs(const RunRecord& record, const std::vector<std::unique_ptr<ReaderRun>>& runs) {
        int status = kRunOk;
        auto commit = [&](CFileReplacement& file, const std::string& path, const std::string& bytes) {
            if (path.empty()) return;
            if (const int error = file.Commit(bytes); error != 0) {
                Fail("cannot write " + path + ": " + FileErrorText(error));
                status = kRunUsage;
            }
        };
        if (!m_options.recordFile.empty()) {
            std::vector<CommandEntry> answers;
            const auto& last = runs.front()->LastAnswers();
            for (std::size_t i = 0; i < last.size(); ++i)
                if (last[i]) answers.push_back({m_plan.list.At(i).name, *last[i]});
            commit(m_recordOut, m_options.recordFile, WriteCommandFile(answers));
        }
        commit(m_junitOut, m_options.junitFile, m_options.junitFile.empty() ? std::string() : JunitReport(record));
        commit(m_reportOut, m_options.reportFile, m_options.reportFile.empty() ? std::string() : HtmlReport(record));
        return status;
    }

    const RunOptions& m_options;
    Sink m_sink;
    Plan m_plan;
    Counters m_counters;
    std::vector<std::string> m_readers;
    CLogFile m_log;
    bool m_logging = false;
    CFileReplacement m_recordOut;
    CFileReplacement m_junitOut;
    CFileReplacement m_reportOut;
    std::string m_runStarted;
};

}  // namespace

namespace {

// The one description of the options: --help prints it, and the manual page
// is tested against it.
struct OptionTexts {
    std::string share = "exclusive";
    std::string protocol = "t0,t1";
    std::string loop = "1";
    std::string pace = "0";
    bool defaultParams = false;
};

void DescribeOptions(CLI::App& app, RunOptions& options, OptionTexts& texts) {
    app.description(
        "Plays the command file (or one command of it) against one reader or several at once. One line per\n"
        "exchange: name, command, answer, its meaning and the round trip in microseconds, separated by tabs\n"
        "(with several readers, the reader first). Exit status: 0 every exchange succeeded and every\n"
        "expected answer came, 1 an exchange failed (that reader's run stops there) or an answer was wrong,\n"
        "2 usage, file, reader or log error; with several readers the worst of them.");
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.add_option("--reader", options.readers,
                   "The reader: its name, the beginning of its name, or its position in the list (from 0); "
                   "give it again for more readers at once")
        ->type_name("NAME|N")
        ->allow_extra_args(false);
    app.add_flag("--all-readers", options.allReaders, "Every listed reader that holds a card, all at once");
    app.add_option("--share", texts.share, "Share mode of the connection")->type_name("exclusive|shared|direct");
    app.add_option("--protocol", texts.protocol, "Protocols offered at connection")->type_name("t0|t1|t0,t1");
    app.add_flag("--default-params", texts.defaultParams, "Ask for the reader's default parameters");
    app.add_option("--command", options.command, "Play only this command, --loop times")->type_name("NAME");
    app.add_option("--start", options.start, "The first lap starts at this command")->type_name("NAME");
    app.add_option("--lap-start", options.lapStart, "Every later lap starts at this command")->type_name("NAME");
    app.add_option("--loop", texts.loop, "Laps of the file, or repetitions of --command (1 to 9999)")->type_name("N");
    app.add_option("--pace", texts.pace, "Milliseconds to wait after each exchange (0 to 60000)")->type_name("MS");
    app.add_option("--log", options.logDir, "Also write the console's exchange log in this folder")->type_name("DIR");
    app.add_flag("--json", options.json, "One JSON object per exchange instead of the text lines");
    app.add_option("--expect", options.expectFile,
                   "Check each answer: a command file whose NAME = PATTERN says what NAME must answer "
                   "(hexadecimal pairs, .. any byte, * any bytes)")
        ->type_name("FILE.phb");
    app.add_flag("--stop-on-mismatch", options.stopOnMismatch, "Stop a reader's run at its first wrong answer");
    app.add_option("--record", options.recordFile, "Write this run's answers as an expectations file")
        ->type_name("FILE.phb");
    app.add_flag("--stats", options.stats,
                 "At the end, one line per command: count, failures, mismatches, min, median, p95 and max "
                 "microseconds");
    app.add_option("--junit", options.junitFile, "Write a JUnit XML report")->type_name("FILE.xml");
    app.add_option("--report", options.reportFile, "Write an HTML report with latency plots")->type_name("FILE.html");
    app.add_flag("--quiet", options.quiet, "No progress line on a terminal");
    app.add_option("file", options.file, "The command file")->type_name("FILE.phb");
    app.allow_extras();
}

bool CheckValues(const OptionTexts& texts, RunOptions& options, std::string& error) {
    unsigned long number = 0;
    if (texts.share == "exclusive") {
        options.shareMode = SCARD_SHARE_EXCLUSIVE;
    } else if (texts.share == "shared") {
        options.shareMode = SCARD_SHARE_SHARED;
    } else if (texts.share == "direct") {
        options.shareMode = SCARD_SHARE_DIRECT;
    } else {
        error = "--share takes exclusive, shared or direct";
        return false;
    }
    if (texts.protocol == "t0" || texts.protocol == "T0") {
        options.protocols = SCARD_PROTOCOL_T0;
    } else if (texts.protocol == "t1" || texts.protocol == "T1") {
        options.protocols = SCARD_PROTOCOL_T1;
    } else if (texts.protocol == "t0,t1" || texts.protocol == "T0,T1") {
        options.protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
    } else {
        error = "--protocol takes t0, t1 or t0,t1";
        return false;
    }
    if (!ParseUnsigned(texts.loop, 9999, number) || number == 0) {
        error = "--loop takes a whole number from 1 to 9999";
        return false;
    }
    options.loop = static_cast<unsigned>(number);
    if (!ParseUnsigned(texts.pace, 60000, number)) {
        error = "--pace takes milliseconds from 0 to 60000";
        return false;
    }
    options.paceMs = static_cast<int>(number);
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
    } else if (texts.defaultParams) {
        options.protocols |= 0x80000000u;  // bit 31: the reader's default parameters
    }
    return true;
}

}  // namespace

std::string RunUsage() {
    CLI::App app{"", "cardbench-run"};
    RunOptions options;
    OptionTexts texts;
    DescribeOptions(app, options, texts);
    return app.help();
}

ParseOutcome ParseRunArguments(const std::vector<std::string>& args, RunOptions& options, std::string& text) {
    CLI::App app{"", "cardbench-run"};
    OptionTexts texts;
    DescribeOptions(app, options, texts);
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes the last argument first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        text = app.help();
        return ParseOutcome::Help;
    } catch (const CLI::ParseError& e) {
        text = e.what();
        return ParseOutcome::Error;
    }
    for (const std::string& extra : app.remaining()) {
        text = (!extra.empty() && extra[0] == '-') ? "unknown option " + extra : "one command file only";
        return ParseOutcome::Error;
    }
    return CheckValues(texts, options, text) ? ParseOutcome::Run : ParseOutcome::Error;
}

int RunCommandFile(const RunOptions& options, std::ostream& out, std::ostream& err) {
    return Runner(options, out, err).Run();
}
