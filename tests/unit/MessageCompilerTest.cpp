// tests/unit/MessageCompilerTest.cpp
// The message compiler: catalogue source parsing, Windows-1252 conversion, the bytes of
// the message table, and the kestrel-mc program's handling of its output file.
#include "catalogue/ToolTable.h"
#include "tools/MessageCompiler/Cp1252.h"
#include "tools/MessageCompiler/MessageSource.h"
#include "tools/MessageCompiler/MessageTableWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<MessageEntry> Parse(const std::string &text, std::vector<std::string> &errors,
                                const std::string &prefix = "A")
{
    std::vector<MessageEntry> entries;
    bool ok = ParseMessageSource("f.msg", text, prefix, entries, errors);
    EXPECT_EQ(ok, errors.empty());
    return entries;
}

// ---- parser: what a valid source becomes --------------------------------------------

struct DescriptionCase {
    const char *Name;
    const char *Source; // the lines after the header "@A1 2 short"
    const char *Description;
};

const DescriptionCase DescriptionCases[] = {
    {"OneLine", "text\n", "text"},
    {"NoDescription", "", ""},
    {"LinesJoinWithOneBlank", "one\ntwo\nthree\n", "one two three"},
    {"EmptyLineEndsParagraph", "one\n\ntwo\n", "one\n\ntwo"},
    {"SeveralEmptyLinesAreOneBreak", "one\n\n\n\ntwo\n", "one\n\ntwo"},
    {"BlankLinesAroundAreDropped", "\n\n  \none\n\n\t\n", "one"},
    {"TrailingWhiteSpaceDropped", "one  \t\ntwo \n", "one two"},
    {"LeadingWhiteSpaceDropped", "one\n   two\n\t three\n", "one two three"},
    {"InnerWhiteSpaceKept", "a  b\n", "a  b"},
    {"ListLinesStartLinesOfTheirOwn", "intro\n- one\n- two\n", "intro\n- one\n- two"},
    {"ListItemContinues", "- one\n  more\n- two\n", "- one more\n- two"},
    {"ListAfterEmptyLineIsNewParagraph", "intro\n\n- one\n", "intro\n\n- one"},
    {"IndentedListLine", "intro\n  - one\n", "intro\n- one"},
    {"DashWithoutBlankIsText", "intro\n-one\n-\n", "intro -one -"},
    {"EscapedAt", "\\@A2 is not a header\n", "@A2 is not a header"},
    {"EscapedHash", "first\n\\# is not a comment\n", "first # is not a comment"},
    {"EscapedBackslash", "\\\\server\n", "\\server"},
    {"OtherBackslashKept", "\\n and \\@\n", "\\n and \\@"},
    {"EscapeOnlyAtLineStart", "a \\@ b\n", "a \\@ b"},
    {"EscapedDashIsNotList", "intro\n\\- x\n", "intro \\- x"},
    {"IndentedHashIsText", "intro\n  # not a comment\n", "intro # not a comment"},
    {"CommentInsideParagraphIsSkipped", "one\n# note to self\ntwo\n", "one two"},
    {"CommentBesideEmptyLine", "one\n#\n\ntwo\n# x\n", "one\n\ntwo"},
    {"CrLfLines", "one\r\ntwo\r\n\r\nthree\r\n", "one two\n\nthree"},
    {"NoFinalNewline", "one\ntwo", "one two"},
    {"PercentKeptAsWritten", "100% of %1\n", "100% of %1"},
    {"Cp1252Letters", "caf\xC3\xA9 \xE2\x82\xAC 5 \xE2\x80\x94 \xE2\x80\x9Cq\xE2\x80\x9D\n",
     "caf\xE9 \x80 5 \x97 \x93q\x94"},
};

void PrintTo(const DescriptionCase &c, std::ostream *out)
{
    *out << c.Name;
}

class DescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionTest, Joins)
{
    std::vector<std::string> errors;
    std::string source = std::string("@A1 2 short\n") + GetParam().Source;
    std::vector<MessageEntry> entries = Parse(source, errors);
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Description, GetParam().Description);
}

INSTANTIATE_TEST_SUITE_P(MessageCompiler, DescriptionTest, ::testing::ValuesIn(DescriptionCases),
                         [](const auto &info) { return std::string(info.param.Name); });

struct HeaderCase {
    const char *Name;
    const char *Prefix;
    const char *Header;
    const char *Code;
    uint32_t Number;
    char Type;
    const char *ShortText;
};

const HeaderCase HeaderCases[] = {
    {"Plain", "A", "@A2008 2 syntax error :", "A2008", 2008, '2', "syntax error :"},
    {"Zero", "A", "@A0 0 x", "A0", 0, '0', "x"},
    {"Largest", "A", "@A2147483647 9 x", "A2147483647", 2147483647u, '9', "x"},
    {"LongPrefix", "MIDL", "@MIDL2000 1 a  b", "MIDL2000", 2000, '1', "a  b"},
    {"PercentInShortText", "LNK", "@LNK4 3 50% done", "LNK4", 4, '3', "50% done"},
    {"Cp1252ShortText", "RC", "@RC4 4 \xE2\x80\x98x\xE2\x80\x99", "RC4", 4, '4', "\x91x\x92"},
};

void PrintTo(const HeaderCase &c, std::ostream *out)
{
    *out << c.Name;
}

class HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, Reads)
{
    const HeaderCase &c = GetParam();
    std::vector<std::string> errors;
    std::vector<MessageEntry> entries = Parse(c.Header, errors, c.Prefix);
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Number, c.Number);
    EXPECT_EQ(entries[0].Type, c.Type);
    EXPECT_EQ(entries[0].ShortText, c.ShortText);
    EXPECT_EQ(entries[0].Code, c.Code);
}

INSTANTIATE_TEST_SUITE_P(MessageCompiler, HeaderTest, ::testing::ValuesIn(HeaderCases),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(MessageCompilerSource, BlanksAndTabsSeparateHeaderParts)
{
    std::vector<std::string> errors;
    std::vector<MessageEntry> entries = Parse("@A5\t \t3 \t short text  \t\n", errors);
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Type, '3');
    EXPECT_EQ(entries[0].ShortText, "short text");
}

TEST(MessageCompilerSource, SeveralEntriesKeepTheirPlaceAndOrder)
{
    std::vector<std::string> errors;
    std::vector<MessageEntry> entries = Parse("\xEF\xBB\xBF# heading comment\n"
                                              "\n"
                                              "@A20 1 first\n"
                                              "one\n"
                                              "\n"
                                              "@A3 2 second\n"
                                              "# between\n"
                                              "@A7 3 third\n"
                                              "two\n",
                                              errors);
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Number, 20u);
    EXPECT_EQ(entries[0].Line, 3);
    EXPECT_EQ(entries[0].Description, "one");
    EXPECT_EQ(entries[1].Number, 3u);
    EXPECT_EQ(entries[1].Line, 6);
    EXPECT_EQ(entries[1].Description, "");
    EXPECT_EQ(entries[2].Code, "A7");
    EXPECT_EQ(entries[2].Line, 8);
    EXPECT_EQ(entries[2].File, "f.msg");
    EXPECT_EQ(entries[2].Description, "two");
}

TEST(MessageCompilerSource, CommentsOnlyIsAValidEmptySource)
{
    std::vector<std::string> errors;
    EXPECT_TRUE(Parse("# nothing documented\n\n# yet\n", errors).empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(Parse("", errors).empty());
    EXPECT_TRUE(errors.empty());
}

TEST(MessageCompilerSource, CommentsAreNotChecked)
{
    std::vector<std::string> errors;
    Parse("# \xE2\x80\xA2 \xE4\xB8\xAD \xFF\t\n@A1 1 x\n# \x01\n", errors);
    EXPECT_TRUE(errors.empty());
}

// ---- parser: refusals -----------------------------------------------------------------

struct RejectionCase {
    const char *Name;
    std::string Source;
    const char *Error;
};

const RejectionCase RejectionCases[] = {
    {"NoCode", "@\n", "f.msg:1: entry has no code after '@'"},
    {"BlankBeforeCode", "@ A1 1 x\n", "f.msg:1: entry has no code after '@'"},
    {"NoType", "@A1\n", "f.msg:1: entry A1 has no type digit"},
    {"NoTypeTrailingBlank", "@A1  \n", "f.msg:1: entry A1 has no type digit"},
    {"NoShortText", "@A1 1\n", "f.msg:1: entry A1 has no short text"},
    {"NoShortTextTrailingBlank", "@A1 1 \t\n", "f.msg:1: entry A1 has no short text"},
    {"TypeTwoDigits", "@A1 12 x\n", "f.msg:1: type '12' of entry A1 is not a single digit"},
    {"TypeLetter", "@A1 W x\n", "f.msg:1: type 'W' of entry A1 is not a single digit"},
    {"OtherPrefix", "@LNK1 1 x\n", "f.msg:1: code 'LNK1' does not have the prefix 'A'"},
    {"LowerCasePrefix", "@a1 1 x\n", "f.msg:1: code 'a1' does not have the prefix 'A'"},
    {"LongerPrefix", "@AB1 1 x\n", "f.msg:1: code 'AB1' does not have the prefix 'A'"},
    {"NumberOnly", "@1 1 x\n", "f.msg:1: code '1' does not have the prefix 'A'"},
    {"NoNumber", "@A 1 x\n", "f.msg:1: code 'A' has no decimal number after its prefix"},
    {"NotDecimal", "@A12x 1 x\n", "f.msg:1: code 'A12x' has no decimal number after its prefix"},
    {"Negative", "@A-1 1 x\n", "f.msg:1: code 'A-1' has no decimal number after its prefix"},
    {"LeadingZero", "@A01 1 x\n", "f.msg:1: code 'A01' has a leading zero in its number"},
    {"OutOfRange", "@A2147483648 1 x\n",
     "f.msg:1: number of code 'A2147483648' is out of range (0 to 2147483647)"},
    {"FarOutOfRange", "@A99999999999999999999999 1 x\n",
     "f.msg:1: number of code 'A99999999999999999999999' is out of range (0 to 2147483647)"},
    {"TextBeforeFirstEntry", "# c\nstray\n@A1 1 x\n",
     "f.msg:2: text outside an entry: an entry starts with '@' and its code"},
    {"IndentedHeaderIsText", "  @A1 1 x\n",
     "f.msg:1: text outside an entry: an entry starts with '@' and its code"},
    {"BulletInShortText", "@A1 1 a \xE2\x80\xA2 b\n",
     "f.msg:1: the bullet U+2022 is not allowed: its byte 0x95 is the module's separator"},
    {"BulletInDescription", "@A1 1 x\nok\n\xE2\x80\xA2 item\n",
     "f.msg:3: the bullet U+2022 is not allowed: its byte 0x95 is the module's separator"},
    {"TabInText", "@A1 1 x\na\tb\n", "f.msg:2: control character U+0009 is not allowed"},
    {"NulInText", std::string("@A1 1 x\na\0b\n", 12), "f.msg:2: control character U+0000 is not allowed"},
    {"DelInText", "@A1 1 x\na\x7F\n", "f.msg:2: control character U+007F is not allowed"},
    {"C1InText", "@A1 1 x\na\xC2\x85\n", "f.msg:2: control character U+0085 is not allowed"},
    {"LoneCrInText", "@A1 1 x\na\rb\n", "f.msg:2: control character U+000D is not allowed"},
    {"EscapeInText", "@A1 1 x\n\x1B[1m\n", "f.msg:2: control character U+001B is not allowed"},
    {"NoCp1252Byte", "@A1 1 \xE4\xB8\xAD\n", "f.msg:1: character U+4E2D has no Windows-1252 byte"},
    {"LatinExtendedA", "@A1 1 x\n\xC4\x80\n", "f.msg:2: character U+0100 has no Windows-1252 byte"},
    {"Astral", "@A1 1 x\n\xF0\x9F\x98\x80\n", "f.msg:2: character U+1F600 has no Windows-1252 byte"},
    {"TruncatedUtf8", "@A1 1 x\na\xC3\n", "f.msg:2: malformed UTF-8"},
    {"StrayContinuation", "@A1 1 x\n\x80\n", "f.msg:2: malformed UTF-8"},
    {"Overlong", "@A1 1 \xC0\xAF\n", "f.msg:1: malformed UTF-8"},
    {"OverlongThreeBytes", "@A1 1 \xE0\x80\xAF\n", "f.msg:1: malformed UTF-8"},
    {"Surrogate", "@A1 1 x\n\xED\xA0\x80\n", "f.msg:2: malformed UTF-8"},
    {"BeyondUnicode", "@A1 1 x\n\xF4\x90\x80\x80\n", "f.msg:2: malformed UTF-8"},
    {"Latin1Byte", "@A1 1 caf\xE9\n", "f.msg:1: malformed UTF-8"},
};

void PrintTo(const RejectionCase &c, std::ostream *out)
{
    *out << c.Name;
}

class RejectionTest : public ::testing::TestWithParam<RejectionCase> {};

TEST_P(RejectionTest, ReportsFileAndLine)
{
    std::vector<std::string> errors;
    Parse(GetParam().Source, errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(MessageCompiler, RejectionTest, ::testing::ValuesIn(RejectionCases),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(MessageCompilerSource, ReportsEveryErrorAndSkipsARefusedEntry)
{
    std::vector<std::string> errors;
    std::vector<MessageEntry> entries = Parse("@A1 x bad type\n"
                                              "description of the refused entry\n"
                                              "@A2 1 good\n"
                                              "fine\n"
                                              "\xE2\x80\xA2\n"
                                              "@B3 1 wrong prefix\n",
                                              errors);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "f.msg:1: type 'x' of entry A1 is not a single digit");
    EXPECT_EQ(errors[1].substr(0, 9), "f.msg:5: ");
    EXPECT_EQ(errors[2], "f.msg:6: code 'B3' does not have the prefix 'A'");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Number, 2u);
}

TEST(MessageCompilerSource, SortsByNumberAndReportsDuplicatesAcrossFiles)
{
    std::vector<MessageEntry> entries;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseMessageSource("one.msg", "@A30 1 a\n@A10 1 b\n", "A", entries, errors));
    ASSERT_TRUE(ParseMessageSource("two.msg", "# x\n@A20 1 c\n@A30 1 d\n", "A", entries, errors));
    ASSERT_TRUE(ParseMessageSource("three.msg", "@A30 1 e\n", "A", entries, errors));
    EXPECT_FALSE(SortMessageEntries(entries, errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "two.msg:3: A30 appears twice (first at one.msg:1)");
    EXPECT_EQ(errors[1], "three.msg:1: A30 appears twice (first at one.msg:1)");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].Number, 10u);
    EXPECT_EQ(entries[1].Number, 20u);
    EXPECT_EQ(entries[2].ShortText, "a");
}

TEST(MessageCompilerSource, SortWithoutDuplicatesSucceeds)
{
    std::vector<MessageEntry> entries;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseMessageSource("a.msg", "@A3 1 a\n@A1 1 b\n@A2 1 c\n", "A", entries, errors));
    EXPECT_TRUE(SortMessageEntries(entries, errors));
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].ShortText, "b");
    EXPECT_EQ(entries[2].ShortText, "a");
}

// ---- Windows-1252 --------------------------------------------------------------------

// Every character of the code page, spelt in UTF-8 here independently of the converter's
// own table, with its byte (0x95, the bullet, is refused and checked separately).
struct Cp1252Char {
    const char *Utf8;
    unsigned char Byte;
};

const Cp1252Char HighHalf[] = {
    {"\xE2\x82\xAC", 0x80}, {"\xE2\x80\x9A", 0x82}, {"\xC6\x92", 0x83},     {"\xE2\x80\x9E", 0x84},
    {"\xE2\x80\xA6", 0x85}, {"\xE2\x80\xA0", 0x86}, {"\xE2\x80\xA1", 0x87}, {"\xCB\x86", 0x88},
    {"\xE2\x80\xB0", 0x89}, {"\xC5\xA0", 0x8A},     {"\xE2\x80\xB9", 0x8B}, {"\xC5\x92", 0x8C},
    {"\xC5\xBD", 0x8E},     {"\xE2\x80\x98", 0x91}, {"\xE2\x80\x99", 0x92}, {"\xE2\x80\x9C", 0x93},
    {"\xE2\x80\x9D", 0x94}, {"\xE2\x80\x93", 0x96}, {"\xE2\x80\x94", 0x97}, {"\xCB\x9C", 0x98},
    {"\xE2\x84\xA2", 0x99}, {"\xC5\xA1", 0x9A},     {"\xE2\x80\xBA", 0x9B}, {"\xC5\x93", 0x9C},
    {"\xC5\xBE", 0x9E},     {"\xC5\xB8", 0x9F},
};

TEST(MessageCompilerCp1252, ConvertsTheSpecialCharacters)
{
    for (const Cp1252Char &c : HighHalf) {
        std::string out;
        Cp1252Failure failure;
        EXPECT_TRUE(Utf8ToCp1252(c.Utf8, out, failure)) << int(c.Byte);
        EXPECT_EQ(out, std::string(1, (char)c.Byte)) << int(c.Byte);
    }
}

TEST(MessageCompilerCp1252, ConvertsAsciiAndLatin1Unchanged)
{
    for (uint32_t cp = 0x20; cp <= 0xFF; ++cp) {
        if (cp >= 0x7F && cp <= 0x9F)
            continue;
        std::string utf8;
        if (cp < 0x80) {
            utf8 += (char)cp;
        } else {
            utf8 += (char)(0xC0 | (cp >> 6));
            utf8 += (char)(0x80 | (cp & 0x3F));
        }
        std::string out;
        Cp1252Failure failure;
        EXPECT_TRUE(Utf8ToCp1252(utf8, out, failure)) << cp;
        EXPECT_EQ(out, std::string(1, (char)cp)) << cp;
    }
}

TEST(MessageCompilerCp1252, EveryByteExceptTheBulletHasExactlyOneCharacter)
{
    int mapped[256] = {};
    for (uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        unsigned char byte = 0;
        if (CodePointToCp1252(cp, byte) == Cp1252Problem::None)
            ++mapped[byte];
    }
    for (int byte = 0; byte < 256; ++byte) {
        bool hole = byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D ||
                    byte == 0x8F || byte == 0x90 || byte == 0x9D || byte == 0x95;
        EXPECT_EQ(mapped[byte], hole ? 0 : 1) << byte;
    }
}

TEST(MessageCompilerCp1252, StopsAtTheFirstProblem)
{
    std::string out = "kept:";
    Cp1252Failure failure;
    EXPECT_FALSE(Utf8ToCp1252("ab\xE2\x80\xA2\xE4\xB8\xAD", out, failure));
    EXPECT_EQ(failure.Problem, Cp1252Problem::Separator);
    EXPECT_EQ(failure.CodePoint, 0x2022u);
    EXPECT_EQ(out, "kept:ab");
}

TEST(MessageCompilerCp1252, ClassifiesProblems)
{
    const struct {
        std::string Utf8;
        Cp1252Problem Problem;
        uint32_t CodePoint;
    } cases[] = {
        {std::string(1, '\0'), Cp1252Problem::ControlCharacter, 0},
        {"\n", Cp1252Problem::ControlCharacter, 0x0A},
        {"\x1F", Cp1252Problem::ControlCharacter, 0x1F},
        {"\x7F", Cp1252Problem::ControlCharacter, 0x7F},
        {"\xC2\x80", Cp1252Problem::ControlCharacter, 0x80},
        {"\xC2\x9F", Cp1252Problem::ControlCharacter, 0x9F},
        {"\xE2\x80\xA2", Cp1252Problem::Separator, 0x2022},
        {"\xE2\x80\xA3", Cp1252Problem::NoByte, 0x2023},
        {"\xEF\xBB\xBF", Cp1252Problem::NoByte, 0xFEFF},
        {"\xF4\x8F\xBF\xBF", Cp1252Problem::NoByte, 0x10FFFF},
        {"\xC1\xBF", Cp1252Problem::MalformedUtf8, 0},
        {"\xF0\x8F\xBF\xBF", Cp1252Problem::MalformedUtf8, 0},
        {"\xE2\x80", Cp1252Problem::MalformedUtf8, 0},
        {"\xE2\x41\x41", Cp1252Problem::MalformedUtf8, 0},
        {"\xF8\x88\x80\x80\x80", Cp1252Problem::MalformedUtf8, 0},
        {"\xFE", Cp1252Problem::MalformedUtf8, 0},
    };
    for (const auto &c : cases) {
        std::string out;
        Cp1252Failure failure;
        EXPECT_FALSE(Utf8ToCp1252(c.Utf8, out, failure)) << c.CodePoint;
        EXPECT_EQ(failure.Problem, c.Problem) << c.CodePoint;
        EXPECT_EQ(failure.CodePoint, c.CodePoint);
    }
}

// ---- message table bytes ---------------------------------------------------------------

MessageEntry Entry(uint32_t number, char type, const std::string &shortText,
                   const std::string &description)
{
    MessageEntry entry;
    entry.Code = "A" + std::to_string(number);
    entry.Number = number;
    entry.Type = type;
    entry.ShortText = shortText;
    entry.Description = description;
    entry.File = "t.msg";
    entry.Line = (int)number;
    return entry;
}

TEST(MessageCompilerWriter, WritesBlocksEntriesAndPadding)
{
    std::vector<MessageEntry> entries = {
        Entry(1, '2', "ab", ""),   // 7 bytes of text: 4 + 7 + 1 fills 12 exactly
        Entry(2, '3', "x%", "d"),  // 9 bytes with the doubled '%': padded from 14 to 16
        Entry(5, '1', "y", "p\nq"), // 10 bytes with CR LF: padded from 15 to 16
    };
    std::vector<unsigned char> table;
    std::vector<std::string> errors;
    ASSERT_TRUE(WriteMessageTable(entries, table, errors));
    const std::vector<unsigned char> expected = {
        2, 0, 0, 0,                                            // two blocks
        1, 0, 0, 0, 2, 0, 0, 0, 28, 0, 0, 0,                   // ids 1..2 at 28
        5, 0, 0, 0, 5, 0, 0, 0, 56, 0, 0, 0,                   // id 5 at 28 + 12 + 16
        12, 0, 0, 0, '2', ' ', 'a', 'b', 0x95, '\r', '\n', 0, // id 1
        16, 0, 0, 0, '3', ' ', 'x', '%', '%', 0x95, '\r', '\n', 'd', 0, 0, 0,
        16, 0, 0, 0, '1', ' ', 'y', 0x95, '\r', '\n', 'p', '\r', '\n', 'q', 0, 0,
    };
    EXPECT_EQ(table, expected);
}

TEST(MessageCompilerWriter, EmptyTableHasNoBlocks)
{
    std::vector<unsigned char> table;
    std::vector<std::string> errors;
    ASSERT_TRUE(WriteMessageTable({}, table, errors));
    EXPECT_EQ(table, std::vector<unsigned char>(4, 0));
}

uint32_t Read32(const std::vector<unsigned char> &bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

TEST(MessageCompilerWriter, SplitsBlocksAtGapsUpToTheLargestId)
{
    std::vector<MessageEntry> entries = {Entry(0, '1', "a", ""), Entry(1, '1', "b", ""),
                                         Entry(3, '1', "c", ""), Entry(2147483646, '1', "d", ""),
                                         Entry(2147483647, '1', "e", "")};
    std::vector<unsigned char> table;
    std::vector<std::string> errors;
    ASSERT_TRUE(WriteMessageTable(entries, table, errors));
    ASSERT_EQ(Read32(table, 0), 3u);
    const uint32_t blocks[3][3] = {{0, 1, 40}, {3, 3, 40 + 2 * 12}, {2147483646, 2147483647, 40 + 3 * 12}};
    for (int b = 0; b < 3; ++b) {
        for (int field = 0; field < 3; ++field)
            EXPECT_EQ(Read32(table, 4 + 12 * b + 4 * field), blocks[b][field]) << b << field;
    }
    EXPECT_EQ(table.size(), 40u + 5 * 12);
}

// FormatMessageA's reading of a text without arguments: "%%" gives '%', "%n" CR LF; any
// other sequence (an insert such as %1, or %0 which ends the text) must not occur.
bool FormatLikeFormatMessage(const std::string &text, std::string &out)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        if (text[i] == '%')
            out += '%';
        else if (text[i] == 'n')
            out += "\r\n";
        else
            return false;
    }
    return true;
}

TEST(MessageCompilerWriter, FormatMessageGivesTheSourceTextBack)
{
    const char *const texts[] = {"%", "%%", "100%", "%1", "%1!s!", "%0", "%n", "%r%t%.",
                                 "a%b%%c%"};
    for (const char *text : texts) {
        MessageEntry entry = Entry(1, '4', text, std::string("d ") + text);
        std::string formatted;
        ASSERT_TRUE(FormatLikeFormatMessage(MessageTableText(entry), formatted)) << text;
        EXPECT_EQ(formatted, std::string("4 ") + text + "\x95\r\nd " + text) << text;
    }
    std::string formatted;
    ASSERT_TRUE(FormatLikeFormatMessage(MessageTableText(Entry(1, '1', "s", "a%\n\n%b")),
                                        formatted));
    EXPECT_EQ(formatted, "1 s\x95\r\na%\r\n\r\n%b");
}

TEST(MessageCompilerWriter, RefusesAnEntryWhoseLengthWouldNotFit16Bits)
{
    // "1 " + short text + 0x95 CR LF: five bytes around the short text.
    std::string longest(LargestMessageText - 5, 'a');
    std::vector<unsigned char> table;
    std::vector<std::string> errors;
    ASSERT_TRUE(WriteMessageTable({Entry(7, '1', longest, "")}, table, errors));
    EXPECT_EQ(table[4 + 12] | table[4 + 12 + 1] << 8, 65532);
    EXPECT_EQ(table.size(), 4u + 12 + 65532);

    std::vector<MessageEntry> tooLong = {Entry(7, '1', "x", ""),
                                         Entry(8, '1', longest, "b"),
                                         Entry(9, '1', std::string(32762, '%'), "")};
    EXPECT_FALSE(WriteMessageTable(tooLong, table, errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "t.msg:8: A8's text takes 65528 bytes in the module; at most 65527 fit");
    EXPECT_EQ(errors[1], "t.msg:9: A9's text takes 65529 bytes in the module; at most 65527 fit");
}

// ---- the kestrel-mc program ------------------------------------------------------------

class MessageCompilerProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("kestrel-mc-" + std::to_string(random()));
        fs::create_directories(Folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    void WriteFile(const fs::path &path, const std::string &text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string ReadFile(const fs::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int Run(const std::string &arguments)
    {
        std::string command = std::string("\"") + KESTREL_MESSAGE_COMPILER + "\" " + arguments +
                              " 2>\"" + (Folder / "stderr.txt").string() + "\"";
        return std::system(command.c_str());
    }
    std::string Quote(const fs::path &path) { return "\"" + path.string() + "\""; }
    fs::path Folder;
};

TEST_F(MessageCompilerProgram, BadSourceLeavesNoOutput)
{
    fs::path good = Folder / "good.msg";
    fs::path bad = Folder / "bad.msg";
    fs::path output = Folder / "out.bin";
    WriteFile(good, "@A1 1 fine\n");
    WriteFile(bad, "# x\n@A2 1 a \xE2\x80\xA2 b\n");
    WriteFile(output, "an old table");
    EXPECT_NE(Run("--prefix A -o " + Quote(output) + " " + Quote(good) + " " + Quote(bad)), 0);
    EXPECT_FALSE(fs::exists(output));
    EXPECT_FALSE(fs::exists(Folder / "out.bin.tmp"));
    std::string errors = ReadFile(Folder / "stderr.txt");
    EXPECT_NE(errors.find(bad.string() + ":2: the bullet U+2022"), std::string::npos) << errors;
}

TEST_F(MessageCompilerProgram, DuplicateAcrossFilesLeavesNoOutput)
{
    fs::path one = Folder / "one.msg";
    fs::path two = Folder / "two.msg";
    fs::path output = Folder / "out.bin";
    WriteFile(one, "@A1 1 x\n");
    WriteFile(two, "\n@A1 1 y\n");
    EXPECT_NE(Run("--prefix A -o " + Quote(output) + " " + Quote(one) + " " + Quote(two)), 0);
    EXPECT_FALSE(fs::exists(output));
    std::string errors = ReadFile(Folder / "stderr.txt");
    EXPECT_NE(errors.find(two.string() + ":2: A1 appears twice"), std::string::npos) << errors;
}

TEST_F(MessageCompilerProgram, WritesTheTableOfSortedSources)
{
    fs::path one = Folder / "one.msg";
    fs::path two = Folder / "two.msg";
    fs::path empty = Folder / "empty.msg";
    fs::path output = Folder / "out.bin";
    WriteFile(one, "@LNK5 1 y\np\n- q\n");
    WriteFile(two, "@LNK2 3 x%\nd\n@LNK1 2 ab\n");
    WriteFile(empty, "# nothing yet\n");
    WriteFile(output, "an old table");
    ASSERT_EQ(Run("--prefix LNK -o " + Quote(output) + " " + Quote(one) + " " + Quote(two) +
                  " " + Quote(empty)),
              0)
        << ReadFile(Folder / "stderr.txt");
    std::string table = ReadFile(output);
    ASSERT_EQ(table.size(), 76u);
    EXPECT_EQ(table.substr(0, 4), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(table.substr(28, 12), std::string("\x0C\0\0\0" "2 ab\x95\r\n\0", 12));
    EXPECT_EQ(table.substr(56), std::string("\x14\0\0\0" "1 y\x95\r\np\r\n- q\0\0\0\0", 20));
    EXPECT_FALSE(fs::exists(Folder / "out.bin.tmp"));
}

TEST_F(MessageCompilerProgram, CommentOnlySourceGivesAnEmptyTable)
{
    fs::path source = Folder / "only-comments.msg";
    fs::path output = Folder / "out.bin";
    WriteFile(source, "# nothing documented\n");
    ASSERT_EQ(Run("--prefix HI -o " + Quote(output) + " " + Quote(source)), 0);
    EXPECT_EQ(ReadFile(output), std::string(4, '\0'));
}

TEST_F(MessageCompilerProgram, RefusesBadArguments)
{
    fs::path source = Folder / "s.msg";
    fs::path output = Folder / "out.bin";
    WriteFile(source, "@A1 1 x\n");
    EXPECT_NE(Run("--prefix A " + Quote(source)), 0); // no output named
    EXPECT_NE(Run("--prefix A " + Quote(source) + " -o"), 0);
    const std::string cases[] = {
        "--prefix A -o " + Quote(output),                       // no source
        "--prefix a -o " + Quote(output) + " " + Quote(source), // prefix not upper case
        "--prefix A1 -o " + Quote(output) + " " + Quote(source),
        "-o " + Quote(output) + " " + Quote(source),            // no prefix
        "--prefix A -o " + Quote(output) + " --verbose " + Quote(source),
        "--prefix A -o " + Quote(output) + " " + Quote(Folder / "missing.msg"),
        "--prefix A -o " + Quote(output) + " " + Quote(Folder),  // a folder, not a file
    };
    for (const std::string &arguments : cases) {
        WriteFile(output, "old");
        EXPECT_NE(Run(arguments), 0) << arguments;
        EXPECT_FALSE(fs::exists(output)) << arguments;
    }
}

// The sources of the shipped modules must compile: the cross build depends on it.
TEST_F(MessageCompilerProgram, CatalogueSourcesCompile)
{
    for (const ToolEntry &tool : ToolTable) {
        fs::path folder = fs::path(KESTREL_SOURCE_DIR) / "messages" / tool.ModuleBaseName;
        std::string sources;
        if (fs::is_directory(folder)) {
            for (const fs::directory_entry &file : fs::directory_iterator(folder)) {
                if (file.path().extension() == ".msg")
                    sources += " " + Quote(file.path());
            }
        }
        if (sources.empty())
            continue;
        fs::path output = Folder / (std::string(tool.ModuleBaseName) + ".bin");
        EXPECT_EQ(Run(std::string("--prefix ") + tool.LabelPrefix + " -o " + Quote(output) + sources), 0)
            << tool.ModuleBaseName << ": " << ReadFile(Folder / "stderr.txt");
    }
}

} // namespace
