// SPDX-License-Identifier: BSD-3-Clause
// The command-file reader and writer against hand-written files, the list's
// pairing of names and texts, the atomic save and the command text as sent.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scripts/CommandFile.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(BENCHKIT_SOURCE_DIR) / "tests" / "scripts" / "data";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string Listing(const std::vector<CommandEntry>& entries) {
    std::string out;
    for (const CommandEntry& e : entries) out += "[" + e.name + "|" + e.text + "]";
    return out;
}

class TempDir : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/benchkit-phb-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all);
        fs::remove_all(m_dir);
    }
    fs::path m_dir;
};

// What each hand-written file loads as, in the order the window lists it.
struct LoadCase {
    const char* file;
    const char* listing;
};

class CommandFileLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(CommandFileLoad, ListsTheFilesCommands) {
    CCommandList list;
    ASSERT_EQ(list.Load((kData / GetParam().file).string()), FileFailure::None);
    EXPECT_EQ(Listing(list.Entries()), GetParam().listing);
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, CommandFileLoad,
    testing::Values(
        // The blank inside a name goes, the texts lose their leading blank, sorted by name.
        LoadCase{"two-commands.phb", "[READ|00 B0 00 00 10][SELECTMF|00 A4 00 00 02 3F 00]"},
        // ";" and "//" lines are comments, also as the first command line.
        LoadCase{"comments-first.phb", "[NEW|00 B0 00 00 01]"},
        // A last line without CR LF keeps its name, with an empty text.
        LoadCase{"last-line-open.phb", "[FIRST|00 A4 04 00][LAST|]"},
        // Without the section line nothing is a command.
        LoadCase{"no-section.phb", ""},
        // Lower case stays; a leading lower-case letter goes; packed and double blanks stay as written.
        LoadCase{"lower-and-packed.phb", "[DOUBLE|00  A4  04][LEADING|4 00][LOWER|00a4][PACKED|00A40400]"},
        // Text before the section, blank lines, other sections and free text do no harm.
        LoadCase{"text-around.phb", "[GETDATA|80 CA 00 00][STATUS|80 F2 00 00]"},
        // LF-only line ends read the same.
        LoadCase{"lf-only.phb", "[MAC|00 B0 00 00 02][UNIX|00 A4 04 00]"},
        // Case is ignored in the order: a before B, though 'B' < 'a' in the code page.
        LoadCase{"case-order.phb", "[a|01][B|02]"}),
    [](const testing::TestParamInfo<LoadCase>& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        for (char& c : name)
            if (c == '-') c = '_';
        return name;
    });

// FindNextEntry on its own: result, name and value, one call after another.
TEST(FindNextEntry, WalksCommandsCommentsAndTheEnd) {
    const std::string text = "x = 1\r\n[Command]\r\nA B = 01 02\r\n;C = 03\r\nD = 04";
    std::size_t position = 0;
    std::string name = "untouched";
    std::string value = "untouched";
    struct Step {
        int result;
        const char* name;
        const char* value;
    };
    const Step steps[] = {
        {0, "\nAB", " 01 02\r\n"},
        {-2, "\nAB", " 01 02\r\n"},  // a comment leaves name and value as they were
        {0, "\nD", ""},
        {-1, "\nD", ""},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(FindNextEntry(text, "[Command", '=', position, name, value), step.result);
        EXPECT_EQ(name, step.name);
        EXPECT_EQ(value, step.value);
    }
}

TEST(CommandFileWrite, WritesSectionThenCommandsLastFirst) {
    CCommandList list;
    list.Add("A", "00 A4 04 00 ");
    list.Add("B", "00 B0 00 00 ");
    EXPECT_EQ(WriteCommandFile(list.Entries()), "[Command]\r\nB = 00 B0 00 00 \r\nA = 00 A4 04 00 \r\n");
    EXPECT_EQ(WriteCommandFile({}), "[Command]\r\n");
}

TEST(CommandFileWrite, ParseSaveParseKeepsEveryPair) {
    // Case-equal names, a trailing blank, an empty text, a cp1252 letter.
    const std::string file =
        "[Command]\r\nabc = 01\r\nABC = 02 \r\nAbc = 03\r\nEMPTY = \r\n\xC9T\xC9 = 80 CA 9F 7F\r\nzz = 00  A4\r\n";
    CCommandList first;
    first.Assign(ParseCommandFile(file));
    ASSERT_EQ(first.Size(), 6u);
    const std::string saved = WriteCommandFile(first.Entries());
    CCommandList second;
    second.Assign(ParseCommandFile(saved));
    EXPECT_EQ(second.Entries(), first.Entries());
    EXPECT_EQ(WriteCommandFile(second.Entries()), saved);
}

// Names equal when case is ignored each keep their own text, whatever the order of adding.
TEST(CommandList, CaseEqualNamesKeepTheirOwnText) {
    const std::vector<std::vector<CommandEntry>> orders = {
        {{"abc", "01"}, {"ABC", "02"}, {"Abc", "03"}},
        {{"Abc", "03"}, {"abc", "01"}, {"ABC", "02"}},
        {{"ABC", "02"}, {"Abc", "03"}, {"abc", "01"}},
    };
    for (const auto& order : orders) {
        CCommandList list;
        list.Add("zeta", "FF");
        for (const CommandEntry& e : order) list.Add(e.name, e.text);
        ASSERT_EQ(list.Size(), 4u);
        for (const CommandEntry& e : list.Entries()) {
            const char* expected = e.name == "abc" ? "01" : e.name == "ABC" ? "02" : e.name == "Abc" ? "03" : "FF";
            EXPECT_EQ(e.text, expected) << e.name;
        }
        EXPECT_EQ(list.At(3).name, "zeta");
    }
}

TEST(CommandList, AddCleansAndRemoveStaysInside) {
    CCommandList list;
    EXPECT_EQ(list.Add("RE\r\nAD", "\r\n  00 B0\r\n"), 0u);
    EXPECT_EQ(list.At(0).name, "READ");
    EXPECT_EQ(list.At(0).text, "00 B0");
    EXPECT_EQ(list.Add("ALPHA", "01"), 0u);  // sorted in front
    list.Remove(5);                         // outside: nothing
    EXPECT_EQ(list.Size(), 2u);
    list.Remove(0);
    EXPECT_EQ(Listing(list.Entries()), "[READ|00 B0]");
}

// A stored text as the command field gets it: the same bytes, whatever the spacing.
struct FieldCase {
    const char* stored;
    const char* field;
};
class CommandFieldTextTest : public testing::TestWithParam<FieldCase> {};

TEST_P(CommandFieldTextTest, KeepsEveryDigit) {
    EXPECT_EQ(CommandFieldText(GetParam().stored, 260), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(
    Spacings, CommandFieldTextTest,
    testing::Values(FieldCase{"00 A4 04 00 ", "00 A4 04 00 "},      // as the field stores it
                    FieldCase{"00A40400", "00 A4 04 00 "},          // packed
                    FieldCase{"00  A4  04", "00 A4 04 "},           // double blanks
                    FieldCase{"00 a4 0c", "00 A4 0C "},             // lower case
                    FieldCase{"4 00", "04 00 "},                    // a single digit has a leading 0
                    FieldCase{"0 A4 4", "00 A4 04 "},               // spaced single digits
                    FieldCase{"123 45", "01 23 45 "},               // a packed token of odd length
                    FieldCase{"00 A4 04 00   " "      ", "00 A4 04 00 "},  // the mask's blank positions
                    FieldCase{"00\tB0 00 00 10", ""},  // a tab is no separator: a token too long, no bytes
                    FieldCase{"", ""}, FieldCase{"   ", ""}));

TEST(CommandFieldText, StopsAtTheFieldsSize) {
    std::string stored;
    for (int i = 0; i < 300; ++i) stored += "5A ";
    const std::string field = CommandFieldText(stored, 260);
    EXPECT_EQ(field.size(), 260u * 3);
    unsigned count = 0;
    std::uint8_t bytes[300];
    EXPECT_EQ(CommandTextToBytes(stored, bytes, 10), 10u);
    count = CommandTextToBytes("00A40400", bytes, 3);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes[2], 0x04);
}

using CommandFileSave = TempDir;

TEST_F(CommandFileSave, ReplacesTheFileAndLeavesNoTemporary) {
    const fs::path file = m_dir / "Tav_PCSC.phb";
    WriteFile(file, "[Command]\r\nOLD = 01\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CCommandList list;
    ASSERT_EQ(list.Load(file.string()), FileFailure::None);
    list.Add("NEW", "02");
    ASSERT_EQ(list.Save(file.string()), FileFailure::None);
    EXPECT_EQ(ReadFile(file), "[Command]\r\nOLD = 01\r\nNEW = 02\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

// A failed save names its cause and keeps the old file whole.
TEST_F(CommandFileSave, FailuresKeepTheOldFileAndNameTheCause) {
    const fs::path file = m_dir / "kept.phb";
    const std::string old = "[Command]\r\nKEEP = 00 A4 04 00\r\n";
    WriteFile(file, old);
    WriteFile(m_dir / "plain", "not a folder");
    CCommandList list;
    list.Add("NEW", "01");
    struct Case {
        fs::path path;
        FileFailure failure;
        const char* text;
    };
    const Case cases[] = {
        {m_dir / "gone" / "a.phb", FileFailure::FileNotFound, "Fichier non selectionn\xE9 !!"},
        {m_dir / "plain" / "a.phb", FileFailure::BadPath, "Chemin incorrecte"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.Save(c.path.string()), c.failure) << c.path;
        EXPECT_STREQ(LogFailureText(c.failure), c.text);
    }
    if (geteuid() != 0) {
        // Root writes anywhere; the window test covers it in a read-only mount.
        fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(list.Save(file.string()), FileFailure::AccessDenied);
        fs::permissions(m_dir, fs::perms::owner_all);
    }
    EXPECT_EQ(ReadFile(file), old);
}

TEST_F(TempDir, LoadOfAMissingFileChangesNothingAndSaysNothing) {
    CCommandList list;
    list.Add("KEPT", "01");
    EXPECT_EQ(list.Load((m_dir / "none.phb").string()), FileFailure::None);
    EXPECT_EQ(list.Size(), 1u);  // nothing read, nothing replaced
    // Only a regular file is read; a folder (or a FIFO, see the window's table) is invalid.
    EXPECT_EQ(list.Load(m_dir.string()), FileFailure::InvalidFile);
    EXPECT_EQ(list.Size(), 1u);
}

}  // namespace
