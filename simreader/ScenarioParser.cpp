// SPDX-License-Identifier: BSD-3-Clause
#include "ScenarioParser.h"

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace simreader {

const Answer& AnswerSeq::Take()
{
    const Answer& a = steps[next];
    if (next + 1 < steps.size())
        ++next;
    return a;
}

namespace {

struct Token {
    enum Kind { Word, Quoted, Arrow, Bar } kind;
    std::string text;
};

// One line split into tokens, the line number and where to report faults.
struct Line {
    std::vector<Token> keys;      // after the keyword, before "=>"
    std::vector<Token> answer;    // after "=>"
    bool hasArrow = false;
    int number = 0;
};

struct Context {
    const std::string& fileName;
    std::string dir;
    Scenario& s;
    std::string why;  // set by a handler that fails
    bool seen[32] = {};
    // Rules seen so far, for duplicate checks that stay fast on large files.
    std::map<Bytes, int> apduLines;
    std::map<std::pair<std::uint32_t, Bytes>, int> controlLines;
    std::set<std::uint32_t> attrTags;
};

bool Fail(Context& c, std::string what)
{
    c.why = std::move(what);
    return false;
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

bool Tokenize(std::string_view line, Line& out, std::string& why)
{
    std::vector<Token>* dest = &out.keys;
    std::size_t i = 0;
    while (i < line.size()) {
        char ch = line[i];
        if (ch == ' ' || ch == '\t') {
            ++i;
            continue;
        }
        if (ch == '#')
            break;
        if (ch == '"') {
            std::string text;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q != '\\') {
                    text.push_back(q);
                    continue;
                }
                if (i >= line.size())
                    break;
                char e = line[i++];
                switch (e) {
                case '\\': text.push_back('\\'); break;
                case '"': text.push_back('"'); break;
                case 'n': text.push_back('\n'); break;
                case 'r': text.push_back('\r'); break;
                case 't': text.push_back('\t'); break;
                case '0': text.push_back('\0'); break;
                case 'x': {
                    int hi = i < line.size() ? HexDigit(line[i]) : -1;
                    int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
                    if (hi < 0 || lo < 0) {
                        why = "\\x needs two hexadecimal digits";
                        return false;
                    }
                    text.push_back(static_cast<char>(hi * 16 + lo));
                    i += 2;
                    break;
                }
                default:
                    why = std::string("unknown escape \\") + e;
                    return false;
                }
            }
            if (!closed) {
                why = "unterminated quoted text";
                return false;
            }
            dest->push_back({Token::Quoted, std::move(text)});
            continue;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '"' && line[i] != '#')
            ++i;
        std::string word(line.substr(start, i - start));
        if (word == "=>") {
            if (out.hasArrow) {
                why = "more than one \"=>\"";
                return false;
            }
            out.hasArrow = true;
            dest = &out.answer;
            continue;
        }
        dest->push_back({word == "|" ? Token::Bar : Token::Word, std::move(word)});
    }
    return true;
}

// Unsigned 32-bit number: decimal, 0x hexadecimal, or ctl:N for the
// platform's SCARD_CTL_CODE(N).
bool ParseNumber(const std::string& text, std::uint32_t& value)
{
    std::string_view t = text;
    bool ctl = false;
    if (t.substr(0, 4) == "ctl:") {
        ctl = true;
        t.remove_prefix(4);
    }
    unsigned base = 10;
    if (!ctl && (t.substr(0, 2) == "0x" || t.substr(0, 2) == "0X")) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty() || t.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (char ch : t) {
        int d = HexDigit(ch);
        if (d < 0 || static_cast<unsigned>(d) >= base)
            return false;
        v = v * base + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull)
            return false;
    }
    if (ctl) {
        if (v > 0xFFFFFF)
            return false;
        v = SCARD_CTL_CODE(v);
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

// Byte items: hexadecimal pairs ("3B", "3B8F80"), a repeated byte ("FF*16")
// or quoted text (its bytes as written in the file).
bool AppendBytes(const Token& tok, Bytes& out, std::string& why)
{
    if (tok.kind == Token::Quoted) {
        if (out.size() + tok.text.size() > kMaxByteString) {
            why = "byte string longer than " + std::to_string(kMaxByteString);
            return false;
        }
        out.insert(out.end(), tok.text.begin(), tok.text.end());
        return true;
    }
    if (tok.kind != Token::Word) {
        why = "unexpected \"|\"";
        return false;
    }
    const std::string& w = tok.text;
    std::size_t star = w.find('*');
    if (star != std::string::npos) {
        std::uint32_t count = 0;
        if (star != 2 || HexDigit(w[0]) < 0 || HexDigit(w[1]) < 0 ||
            !ParseNumber(w.substr(3), count) || count == 0) {
            why = "bad repeated byte '" + w + "' (write HH*count)";
            return false;
        }
        if (out.size() + count > kMaxByteString) {
            why = "byte string longer than " + std::to_string(kMaxByteString);
            return false;
        }
        out.insert(out.end(), count, static_cast<std::uint8_t>(HexDigit(w[0]) * 16 + HexDigit(w[1])));
        return true;
    }
    if (w.empty() || w.size() % 2 != 0) {
        why = "'" + w + "' is not an even number of hexadecimal digits";
        return false;
    }
    if (out.size() + w.size() / 2 > kMaxByteString) {
        why = "byte string longer than " + std::to_string(kMaxByteString);
        return false;
    }
    for (std::size_t i = 0; i < w.size(); i += 2) {
        int hi = HexDigit(w[i]);
        int lo = HexDigit(w[i + 1]);
        if (hi < 0 || lo < 0) {
            why = "'" + w + "' is not hexadecimal";
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

bool ParseBytes(const std::vector<Token>& toks, std::size_t from, Bytes& out, std::string& why)
{
    for (std::size_t i = from; i < toks.size(); ++i)
        if (!AppendBytes(toks[i], out, why))
            return false;
    return true;
}

struct ErrorName {
    const char* name;
    std::uint32_t code;
};

const ErrorName kErrorNames[] = {
    {"communication", IFD_COMMUNICATION_ERROR},
    {"not-supported", IFD_NOT_SUPPORTED},
    {"error-not-supported", IFD_ERROR_NOT_SUPPORTED},
    {"icc-not-present", IFD_ICC_NOT_PRESENT},
    {"insufficient-buffer", IFD_ERROR_INSUFFICIENT_BUFFER},
    {"power-action", IFD_ERROR_POWER_ACTION},
    {"pts-failure", IFD_ERROR_PTS_FAILURE},
    {"protocol-not-supported", IFD_PROTOCOL_NOT_SUPPORTED},
    {"response-timeout", IFD_RESPONSE_TIMEOUT},
    {"no-such-device", IFD_NO_SUCH_DEVICE},
    {"tag", IFD_ERROR_TAG},
};

// answer := step { "|" step }; step := "error" NAME | "empty" | bytes...
bool ParseAnswer(Context& c, const Line& line, AnswerSeq& seq, std::size_t maxBytes)
{
    if (!line.hasArrow)
        return Fail(c, "missing \"=> answer\"");
    seq = AnswerSeq{};
    std::vector<Token> step;
    auto finish = [&]() -> bool {
        if (step.empty())
            return Fail(c, "empty answer (write 'empty' for a zero-length answer)");
        if (seq.steps.size() >= kMaxSteps)
            return Fail(c, "more than " + std::to_string(kMaxSteps) + " answers in one sequence");
        Answer a;
        if (step[0].kind == Token::Word && step[0].text == "error") {
            if (step.size() != 2)
                return Fail(c, "'error' takes one name or number");
            a.isError = true;
            bool known = false;
            for (const ErrorName& e : kErrorNames)
                if (step[1].text == e.name) {
                    a.error = e.code;
                    known = true;
                }
            if (!known && !ParseNumber(step[1].text, a.error))
                return Fail(c, "unknown error '" + step[1].text + "'");
            if (a.error == IFD_SUCCESS)
                return Fail(c, "error 0 is success; give the bytes instead");
        } else if (step.size() == 1 && step[0].kind == Token::Word && step[0].text == "empty") {
        } else {
            if (!ParseBytes(step, 0, a.bytes, c.why))
                return false;
            if (a.bytes.size() > maxBytes)
                return Fail(c, "answer of " + std::to_string(a.bytes.size()) + " bytes, at most " +
                                   std::to_string(maxBytes) + " allowed here");
        }
        seq.steps.push_back(std::move(a));
        step.clear();
        return true;
    };
    for (const Token& t : line.answer) {
        if (t.kind == Token::Bar) {
            if (!finish())
                return false;
        } else {
            step.push_back(t);
        }
    }
    return finish();
}

bool NoAnswer(Context& c, const Line& line)
{
    return line.hasArrow ? Fail(c, "this line takes no \"=>\"") : true;
}

std::string ResolvePath(const Context& c, const std::string& p)
{
    if (p.empty() || p[0] == '/' || c.dir.empty())
        return p;
    return c.dir + "/" + p;
}

bool OneValue(Context& c, const Line& line, const char* what)
{
    if (line.keys.size() != 1)
        return Fail(c, std::string("expected one ") + what);
    return NoAnswer(c, line);
}

bool ParseSlots(Context& c, const Line& line)
{
    std::uint32_t n = 0;
    if (!OneValue(c, line, "slot count"))
        return false;
    if (!ParseNumber(line.keys[0].text, n) || n != 1)
        return Fail(c, "the simulated reader has exactly 1 slot");
    c.s.slots = 1;
    return true;
}

bool ParseCardFile(Context& c, const Line& line)
{
    if (!OneValue(c, line, "path"))
        return false;
    if (line.keys[0].text.empty() || line.keys[0].text.size() > 4096)
        return Fail(c, "bad card-file path");
    c.s.cardFile = ResolvePath(c, line.keys[0].text);
    return true;
}

bool ParseTrace(Context& c, const Line& line)
{
    if (!OneValue(c, line, "path"))
        return false;
    if (line.keys[0].text.empty() || line.keys[0].text.size() > 4096)
        return Fail(c, "bad trace path");
    c.s.traceFile = ResolvePath(c, line.keys[0].text);
    return true;
}

bool ParseProtocols(Context& c, const Line& line)
{
    if (line.keys.empty())
        return Fail(c, "expected T0, T1 or both");
    if (!NoAnswer(c, line))
        return false;
    std::uint32_t mask = 0;
    for (const Token& t : line.keys) {
        if (t.text == "T0")
            mask |= kProtocolT0;
        else if (t.text == "T1")
            mask |= kProtocolT1;
        else
            return Fail(c, "unknown protocol '" + t.text + "' (T0 or T1)");
    }
    c.s.protocols = mask;
    return true;
}

bool ParseAtrSeq(Context& c, const Line& line, AnswerSeq& seq)
{
    if (!line.keys.empty())
        return Fail(c, "expected \"=> ATR bytes\"");
    if (!ParseAnswer(c, line, seq, kMaxAtr))
        return false;
    for (const Answer& a : seq.steps)
        if (!a.isError && a.bytes.empty())
            return Fail(c, "an ATR has at least one byte");
    return true;
}

bool ParseColdAtr(Context& c, const Line& line) { return ParseAtrSeq(c, line, c.s.coldAtr); }
bool ParseWarmAtr(Context& c, const Line& line) { return ParseAtrSeq(c, line, c.s.warmAtr); }

bool ParseApdu(Context& c, const Line& line)
{
    if (c.s.apdus.size() >= kMaxRules)
        return Fail(c, "too many apdu lines");
    PrefixRule r;
    r.line = line.number;
    if (line.keys.empty())
        return Fail(c, "expected the command prefix (use apdu-default for any command)");
    if (!ParseBytes(line.keys, 0, r.prefix, c.why))
        return false;
    auto [at, isNew] = c.apduLines.emplace(r.prefix, r.line);
    if (!isNew)
        return Fail(c, "same command prefix as line " + std::to_string(at->second));
    if (!ParseAnswer(c, line, r.answer, kMaxByteString))
        return false;
    c.s.apdus.push_back(std::move(r));
    return true;
}

bool ParseApduDefault(Context& c, const Line& line)
{
    if (!line.keys.empty())
        return Fail(c, "apdu-default takes only \"=> answer\"");
    return ParseAnswer(c, line, c.s.apduDefault, kMaxByteString);
}

bool ParseControl(Context& c, const Line& line)
{
    if (c.s.controls.size() >= kMaxRules)
        return Fail(c, "too many control lines");
    ControlRule r;
    r.rule.line = line.number;
    if (line.keys.empty() || line.keys[0].kind != Token::Word || !ParseNumber(line.keys[0].text, r.code))
        return Fail(c, "expected a control code (number or ctl:N)");
    if (!ParseBytes(line.keys, 1, r.rule.prefix, c.why))
        return false;
    auto [at, isNew] = c.controlLines.emplace(std::make_pair(r.code, r.rule.prefix), r.rule.line);
    if (!isNew)
        return Fail(c, "same control code and input as line " + std::to_string(at->second));
    if (!ParseAnswer(c, line, r.rule.answer, kMaxByteString))
        return false;
    c.s.controls.push_back(std::move(r));
    return true;
}

bool ParseControlDefault(Context& c, const Line& line)
{
    if (!line.keys.empty())
        return Fail(c, "control-default takes only \"=> answer\"");
    return ParseAnswer(c, line, c.s.controlDefault, kMaxByteString);
}

bool ParseAttr(Context& c, const Line& line)
{
    if (c.s.attrs.size() >= kMaxRules)
        return Fail(c, "too many attr lines");
    AttrRule r;
    if (line.keys.size() != 1 || !ParseNumber(line.keys[0].text, r.tag))
        return Fail(c, "expected one attribute identifier");
    // The daemon asks its own questions (slot count, polling thread, thread
    // safety) in this range and takes some answers as function pointers.
    if (r.tag >= 0x0F00 && r.tag <= 0x0FFF)
        return Fail(c, "attribute identifiers 0x0F00 to 0x0FFF belong to the daemon");
    if (!c.attrTags.insert(r.tag).second)
        return Fail(c, "attribute given twice");
    if (!ParseAnswer(c, line, r.answer, kMaxByteString))
        return false;
    c.s.attrs.push_back(std::move(r));
    return true;
}

bool ParseFeature(Context& c, const Line& line)
{
    if (c.s.features.size() >= kMaxFeatures)
        return Fail(c, "more than " + std::to_string(kMaxFeatures) + " features");
    if (line.keys.size() != 2)
        return Fail(c, "expected a tag byte (hexadecimal, as 0A) and a control code");
    // The tag is written as a byte, like every byte in the file: "0A", "10".
    Bytes tag;
    std::string ignored;
    Feature f;
    if (line.keys[0].text.size() != 2 || !AppendBytes(line.keys[0], tag, ignored))
        return Fail(c, "feature tag '" + line.keys[0].text.substr(0, 40) + "' is not one hexadecimal byte");
    if (!ParseNumber(line.keys[1].text, f.code))
        return Fail(c, "bad control code '" + line.keys[1].text.substr(0, 40) + "'");
    if (!NoAnswer(c, line))
        return false;
    f.tag = tag[0];
    c.s.features.push_back(f);
    return true;
}

// keypad => <keys> | <keys> ...: one script per PIN operation.
bool ParseKeypad(Context& c, const Line& line)
{
    if (!line.keys.empty() || !line.hasArrow)
        return Fail(c, "expected \"keypad => keys | keys ...\"");
    std::vector<std::string> words;
    auto finish = [&]() -> bool {
        if (c.s.keypad.steps.size() >= kMaxSteps)
            return Fail(c, "more than " + std::to_string(kMaxSteps) + " key scripts");
        KeyScript script;
        if (!ParseKeyScript(words, script, c.why))
            return false;
        c.s.keypad.steps.push_back(std::move(script));
        words.clear();
        return true;
    };
    for (const Token& t : line.answer) {
        if (t.kind == Token::Bar) {
            if (!finish())
                return false;
        } else if (t.kind == Token::Word) {
            words.push_back(t.text);
        } else {
            return Fail(c, "quoted text in a key script");
        }
    }
    return finish();
}

bool ParseKeypadPace(Context& c, const Line& line)
{
    std::uint32_t ms = 0;
    if (!OneValue(c, line, "time in milliseconds"))
        return false;
    if (!ParseNumber(line.keys[0].text, ms) || ms > 60000)
        return Fail(c, "keypad-pace takes milliseconds, at most 60000");
    c.s.keypad.paceMs = ms;
    return true;
}

// One row per keyword: adding a behaviour to the simulated reader is one row
// here and its handling in SimReader. "once" rows may appear at most once.
struct Keyword {
    const char* name;
    bool once;
    bool (*parse)(Context&, const Line&);
};

const Keyword kKeywords[] = {
    {"slots", true, ParseSlots},
    {"card-file", true, ParseCardFile},
    {"trace", true, ParseTrace},
    {"protocols", true, ParseProtocols},
    {"atr", true, ParseColdAtr},
    {"cold-atr", true, ParseColdAtr},
    {"warm-atr", true, ParseWarmAtr},
    {"apdu", false, ParseApdu},
    {"apdu-default", true, ParseApduDefault},
    {"control", false, ParseControl},
    {"control-default", true, ParseControlDefault},
    {"attr", false, ParseAttr},
    {"feature", false, ParseFeature},
    {"keypad", true, ParseKeypad},
    {"keypad-pace", true, ParseKeypadPace},
};
static_assert(sizeof(kKeywords) / sizeof(kKeywords[0]) <= 32);

std::string DirOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string KnownKeywords()
{
    std::string all;
    for (const Keyword& k : kKeywords) {
        if (!all.empty())
            all += ' ';
        all += k.name;
    }
    return all;
}

bool ParseScenario(std::string_view text, const std::string& fileName, Scenario& out, std::string& error)
{
    out = Scenario{};
    out.sourceFile = fileName;
    Context c{fileName, DirOf(fileName), out, {}, {}, {}, {}, {}};
    auto report = [&](int lineNo, const std::string& what) {
        error = fileName + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    };
    if (text.size() > kMaxScenarioFileSize)
        return report(0, "file larger than " + std::to_string(kMaxScenarioFileSize) + " bytes");
    bool coldSeen = false;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (raw.size() > kMaxLineLength)
            return report(lineNo, "line longer than " + std::to_string(kMaxLineLength) + " bytes");
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        Line line;
        line.number = lineNo;
        std::string why;
        if (!Tokenize(raw, line, why))
            return report(lineNo, why);
        if (line.keys.empty()) {
            if (line.hasArrow)
                return report(lineNo, "\"=>\" without a keyword");
            continue;
        }
        Token keyword = line.keys.front();
        line.keys.erase(line.keys.begin());
        const Keyword* row = nullptr;
        std::size_t index = 0;
        for (const Keyword& k : kKeywords) {
            if (keyword.kind == Token::Word && keyword.text == k.name) {
                row = &k;
                break;
            }
            ++index;
        }
        if (!row) {
            std::string shown = keyword.text.substr(0, 40);
            return report(lineNo, "unknown keyword '" + shown + "'");
        }
        bool isCold = row->parse == ParseColdAtr;
        if (row->once && (c.seen[index] || (isCold && coldSeen)))
            return report(lineNo, std::string("'") + row->name + "' given twice");
        c.seen[index] = true;
        coldSeen = coldSeen || isCold;
        c.why.clear();
        if (!row->parse(c, line))
            return report(lineNo, c.why);
    }
    if (!coldSeen)
        return report(lineNo, "no 'atr' line: the card needs an ATR");
    return true;
}

bool LoadScenario(const std::string& fileName, Scenario& out, std::string& error)
{
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) {
        error = fileName + ":0: cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    std::string text;
    char buf[65536];
    std::size_t n = 0;
    bool tooBig = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (text.size() + n > kMaxScenarioFileSize) {
            tooBig = true;
            break;
        }
        text.append(buf, n);
    }
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (tooBig) {
        error = fileName + ":0: file larger than " + std::to_string(kMaxScenarioFileSize) + " bytes";
        return false;
    }
    if (readError) {
        error = fileName + ":0: read error";
        return false;
    }
    return ParseScenario(text, fileName, out, error);
}

}  // namespace simreader
