// SPDX-License-Identifier: BSD-3-Clause
// Scenario files: what each line makes of the reader, and the one message a
// faulty file gets.
#include <gtest/gtest.h>

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <string>

#include "ScenarioParser.h"

namespace {

using simreader::Bytes;
using simreader::Scenario;

const std::string kAtr = "cold-atr => 3B 02 14 50\n";

Scenario Parse(const std::string& text)
{
    Scenario s;
    std::string error;
    EXPECT_TRUE(simreader::ParseScenario(text, "/dir/t.scn", s, error)) << error;
    return s;
}

TEST(ScenarioParser, ByteItemsAndNumbers)
{
    Scenario s = Parse(kAtr +
                       "apdu 00A40400 => \"A\\x42\\\"\" 00*3 90 00\n"
                       "control ctl:2049 90 01 07 00 => 01\n"
                       "control 0x42330006 => 02\n"
                       "control 1107296256 => 03\n"
                       "attr 0x00010100 => \"V\" 00 # comment \"not text\"\n"
                       "feature 0A 0x4233000A\n"
                       "feature 10 ctl:3400\n");
    ASSERT_EQ(s.apdus.size(), 1u);
    EXPECT_EQ(s.apdus[0].prefix, (Bytes{0x00, 0xA4, 0x04, 0x00}));
    EXPECT_EQ(s.apdus[0].answer.steps[0].bytes, (Bytes{'A', 'B', '"', 0, 0, 0, 0x90, 0x00}));
    ASSERT_EQ(s.controls.size(), 3u);
    EXPECT_EQ(s.controls[0].code, SCARD_CTL_CODE(2049));
    EXPECT_EQ(s.controls[0].rule.prefix, (Bytes{0x90, 0x01, 0x07, 0x00}));
    EXPECT_EQ(s.controls[1].code, 0x42330006u);
    EXPECT_EQ(s.controls[2].code, 0x42000000u);
    EXPECT_EQ(s.attrs[0].answer.steps[0].bytes, (Bytes{'V', 0}));
    ASSERT_EQ(s.features.size(), 2u);
    EXPECT_EQ(s.features[0].tag, 0x0A);
    EXPECT_EQ(s.features[1].tag, 0x10);
    EXPECT_EQ(s.features[1].code, CM_IOCTL_GET_FEATURE_REQUEST);
}

TEST(ScenarioParser, AnswersSequencesErrorsAndEmpty)
{
    Scenario s = Parse(kAtr + "apdu 00 => 61 10 | error communication | empty | error 0x265\r\n"
                              "warm-atr => 3B 01 | error power-action\n"
                              "protocols T1\n");
    const auto& steps = s.apdus[0].answer.steps;
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].bytes, (Bytes{0x61, 0x10}));
    EXPECT_TRUE(steps[1].isError);
    EXPECT_EQ(steps[1].error, static_cast<std::uint32_t>(IFD_COMMUNICATION_ERROR));
    EXPECT_FALSE(steps[2].isError);
    EXPECT_TRUE(steps[2].bytes.empty());
    EXPECT_EQ(steps[3].error, 0x265u);
    EXPECT_EQ(s.warmAtr.steps.size(), 2u);
    EXPECT_EQ(s.protocols, simreader::kProtocolT1);
}

TEST(ScenarioParser, RelativePathsAreTakenFromTheScenarioFolder)
{
    Scenario s = Parse(kAtr + "card-file cards/one\ntrace /abs/trace.log\n");
    EXPECT_EQ(s.cardFile, "/dir/cards/one");
    EXPECT_EQ(s.traceFile, "/abs/trace.log");
}

struct Faulty {
    std::string text;
    std::string message;  // after "/dir/t.scn:"
};

class ScenarioFaults : public ::testing::TestWithParam<Faulty> {};

TEST_P(ScenarioFaults, OneMessageWithFileAndLine)
{
    Scenario s;
    std::string error;
    EXPECT_FALSE(simreader::ParseScenario(GetParam().text, "/dir/t.scn", s, error));
    EXPECT_EQ(error, "/dir/t.scn:" + GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScenarioFaults,
    ::testing::Values(
        Faulty{"", "0: no 'atr' line: the card needs an ATR"},
        Faulty{"# only a comment\n\n", "2: no 'atr' line: the card needs an ATR"},
        Faulty{kAtr + "bogus 1\n", "2: unknown keyword 'bogus'"},
        Faulty{kAtr + "\"slots\" 1\n", "2: unknown keyword 'slots'"},
        Faulty{kAtr + "slots 2\n", "2: the simulated reader has exactly 1 slot"},
        Faulty{kAtr + kAtr, "2: 'cold-atr' given twice"},
        Faulty{kAtr + "atr => 3B 00\n", "2: 'atr' given twice"},
        Faulty{"cold-atr 3B 00\n", "1: expected \"=> ATR bytes\""},
        Faulty{"cold-atr =>\n", "1: empty answer (write 'empty' for a zero-length answer)"},
        Faulty{"cold-atr => empty\n", "1: an ATR has at least one byte"},
        Faulty{"cold-atr => 00*34\n", "1: answer of 34 bytes, at most 33 allowed here"},
        Faulty{kAtr + "apdu 0 => 90 00\n", "2: '0' is not an even number of hexadecimal digits"},
        Faulty{kAtr + "apdu 0G => 90 00\n", "2: '0G' is not hexadecimal"},
        Faulty{kAtr + "apdu 00 => 90 00\napdu 00 => 6A 82\n", "3: same command prefix as line 2"},
        Faulty{kAtr + "apdu => 90 00\n", "2: expected the command prefix (use apdu-default for any command)"},
        Faulty{kAtr + "apdu 00 90 00\n", "2: missing \"=> answer\""},
        Faulty{kAtr + "apdu 00 => 90 => 00\n", "2: more than one \"=>\""},
        Faulty{kAtr + "apdu 00 => \"abc\n", "2: unterminated quoted text"},
        Faulty{kAtr + "apdu 00 => \"\\q\"\n", "2: unknown escape \\q"},
        Faulty{kAtr + "apdu 00 => FF*0\n", "2: bad repeated byte 'FF*0' (write HH*count)"},
        Faulty{kAtr + "apdu 00 => FF*70000\n", "2: byte string longer than 65544"},
        Faulty{kAtr + "apdu 00 => error\n", "2: 'error' takes one name or number"},
        Faulty{kAtr + "apdu 00 => error nonsense\n", "2: unknown error 'nonsense'"},
        Faulty{kAtr + "apdu 00 => error 0\n", "2: error 0 is success; give the bytes instead"},
        Faulty{kAtr + "apdu 00 => 90 00 |\n", "2: empty answer (write 'empty' for a zero-length answer)"},
        Faulty{kAtr + "control 0x1FFFFFFFF => 00\n", "2: expected a control code (number or ctl:N)"},
        Faulty{kAtr + "control ctl:x => 00\n", "2: expected a control code (number or ctl:N)"},
        Faulty{kAtr + "attr 0x0FAE => 05\n", "2: attribute identifiers 0x0F00 to 0x0FFF belong to the daemon"},
        Faulty{kAtr + "attr 1 => 00\nattr 1 => 01\n", "3: attribute given twice"},
        Faulty{kAtr + "feature 6 0x42330006\n", "2: feature tag '6' is not one hexadecimal byte"},
        Faulty{kAtr + "feature 06\n", "2: expected a tag byte (hexadecimal, as 0A) and a control code"},
        Faulty{kAtr + "feature 06 0x42330006 => 00\n", "2: this line takes no \"=>\""},
        Faulty{kAtr + "keypad 12 => 1234\n", "2: expected \"keypad => keys | keys ...\""},
        Faulty{kAtr + "keypad 1234\n", "2: expected \"keypad => keys | keys ...\""},
        Faulty{kAtr + "keypad => 1234 | \n", "2: empty key script"},
        Faulty{kAtr + "keypad => 12 frob\n", "2: unknown key 'frob' (digits, enter, clear, cancel, timeout, wait:<ms>)"},
        Faulty{kAtr + "keypad => \"12\"\n", "2: quoted text in a key script"},
        Faulty{kAtr + "keypad => 1\nkeypad => 2\n", "3: 'keypad' given twice"},
        Faulty{kAtr + "keypad-pace 60001\n", "2: keypad-pace takes milliseconds, at most 60000"},
        Faulty{kAtr + "protocols T2\n", "2: unknown protocol 'T2' (T0 or T1)"},
        Faulty{kAtr + "trace\n", "2: expected one path"},
        Faulty{kAtr + "=> 00\n", "2: \"=>\" without a keyword"},
        Faulty{kAtr + "apdu 00 => " + std::string(300 * 1024, 'A') + "\n", "2: line longer than 262144 bytes"}));

TEST(ScenarioParser, TooManyRulesAndFeaturesAreRefused)
{
    std::string many = kAtr;
    for (int i = 0; i < 256; ++i)
        many += "feature 06 0x42330006\n";
    Scenario s;
    std::string error;
    EXPECT_FALSE(simreader::ParseScenario(many, "f", s, error));
    EXPECT_EQ(error, "f:257: more than 255 features");

    std::string rules = kAtr;
    char line[64];
    for (int i = 0; i <= 4096; ++i) {
        std::snprintf(line, sizeof line, "apdu %04X => 90 00\n", i);
        rules += line;
    }
    EXPECT_FALSE(simreader::ParseScenario(rules, "f", s, error));
    EXPECT_EQ(error, "f:4098: too many apdu lines");
}

TEST(ScenarioParser, FileThatCannotBeReadNamesTheFile)
{
    Scenario s;
    std::string error;
    EXPECT_FALSE(simreader::LoadScenario("/nonexistent/x.scn", s, error));
    EXPECT_EQ(error.rfind("/nonexistent/x.scn:0: cannot open", 0), 0u) << error;
}

TEST(ScenarioParser, ShippedScenariosParse)
{
    for (const char* name : {"basic.scn", "demo.scn", "listing.scn", "t0.scn", "t1.scn", "t0t1.scn"}) {
        Scenario s;
        std::string error;
        EXPECT_TRUE(simreader::LoadScenario(std::string(BENCHKIT_BINARY_DIR) + "/simreader/scenarios/" + name, s, error))
            << error;
    }
}

}  // namespace
