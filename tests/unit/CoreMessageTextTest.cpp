// Splitting a formatted message into Type, Error and Description. Each text is split from
// an exact-size heap copy without a terminating zero, the way the length bounds it.
#include "catalogue/MessageText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct Split {
    char TypeCode;
    std::string Error;
    std::string Description;
};

Split SplitCopy(const std::string &text)
{
    std::unique_ptr<char[]> copy(new char[text.size()]);
    if (!text.empty())
        std::memcpy(copy.get(), text.data(), text.size());
    const char *begin = copy.get();
    const char *end = begin + text.size();
    MessageParts parts;
    SplitMessageText(begin, (int)text.size(), &parts);

    EXPECT_GE(parts.ErrorLength, 0);
    EXPECT_GE(parts.DescriptionLength, 0);
    EXPECT_TRUE(parts.Error >= begin && parts.Error + parts.ErrorLength <= end);
    EXPECT_TRUE(parts.Description >= begin && parts.Description + parts.DescriptionLength <= end);
    return {parts.TypeCode, std::string(parts.Error, parts.ErrorLength),
            std::string(parts.Description, parts.DescriptionLength)};
}

} // namespace

TEST(SplitMessageText, Layouts)
{
    struct Case {
        const char *Name;
        std::string Text;
        char TypeCode;
        const char *Error;
        const char *Description;
    } cases[] = {
        {"the documented layout", "1 Bad operand\x95\r\nThe operand is not allowed here.", '1', "Bad operand",
         "The operand is not allowed here."},
        {"description over several lines", "8 Odd size\x95\r\nFirst line.\r\nSecond line.\r\n", '8', "Odd size",
         "First line.\r\nSecond line.\r\n"},
        {"0x95 right after byte 1: empty error", "2 \x95\r\nOnly a description.", '2', "", "Only a description."},
        {"0x95 as the separator byte is skipped", "3\x95Text\x95\r\nMore.", '3', "Text", "More."},
        {"only the first 0x95 ends the error", "4 One\x95\r\nTwo\x95\r\nThree", '4', "One", "Two\x95\r\nThree"},
        {"the two bytes after 0x95 are skipped whatever they are", "5 E\x95xyD", '5', "E", "D"},
        {"no 0x95: all error, no description", "2 Just an error", '2', "Just an error", ""},
        {"text ends right at 0x95", "1 E\x95", '1', "E", ""},
        {"text ends one byte after 0x95", "1 E\x95\r", '1', "E", ""},
        {"text ends two bytes after 0x95", "1 E\x95\r\n", '1', "E", ""},
        {"text of three bytes", "1 E", '1', "E", ""},
        {"text of three bytes, the third 0x95", "1 \x95", '1', "", ""},
        {"text of two bytes", "1 ", '1', "", ""},
        {"text of one byte", "9", '9', "", ""},
        {"empty text", "", 0, "", ""},
        {"non-digit type code", "X Error\x95\r\nDesc", 'X', "Error", "Desc"},
    };
    for (const Case &c : cases) {
        Split s = SplitCopy(c.Text);
        EXPECT_EQ(s.TypeCode, c.TypeCode) << c.Name;
        EXPECT_EQ(s.Error, c.Error) << c.Name;
        EXPECT_EQ(s.Description, c.Description) << c.Name;
    }
}

TEST(SplitMessageText, NegativeLengthGivesNothing)
{
    MessageParts parts;
    SplitMessageText("1 E\x95\r\nD", -1, &parts);
    EXPECT_EQ(parts.TypeCode, 0);
    EXPECT_EQ(parts.ErrorLength, 0);
    EXPECT_EQ(parts.DescriptionLength, 0);
}

TEST(MessageTypeText, TheTenCodes)
{
    struct Case {
        char Code;
        const char *Text;
    } cases[] = {
        {'1', "Fatal"},
        {'2', "Non Fatal"},
        {'3', "Warning"},
        {'4', "Warning (Level1)"},
        {'5', "Warning (Level2)"},
        {'6', "Warning (Level3)"},
        {'7', "Warning (Level4)"},
        {'8', "Warning (Level1,4)"},
        {'9', "Preprocessor"},
        {'0', "Compiler"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(MessageTypeText(c.Code), c.Text) << c.Code;
}

TEST(MessageTypeText, AnythingElseIsEmpty)
{
    // The neighbours of the digits, letters, the bullet and bytes with the top bit set
    // (negative as char) must not index the table.
    for (char code : {'/', ':', ' ', 'A', 'F', '\0', '\x95', '\xB9', '\xFF', '\x80'})
        EXPECT_STREQ(MessageTypeText(code), "") << (int)(unsigned char)code;
}

TEST(ExpandMessageEscapes, AsTheFormatterDoesWithoutInserts)
{
    const struct {
        const char *Text;
        const char *Expanded;
    } cases[] = {
        {"plain", "plain"},
        {"100%% sure", "100% sure"},
        {"a%nb", "a\r\nb"},
        {"a%rb%tc", "a\rb\tc"},
        {"cut%0 here", "cut"},
        {"%1 and %2!s! stay", "%1 and %2!s! stay"},
        {"%. %! %x", ". ! x"},
        {"ends in %", "ends in %"},
        {"%%%%1", "%%1"},
        {"", ""},
    };
    for (const auto &c : cases) {
        std::string text = c.Text;
        std::unique_ptr<char[]> out(new char[text.size() + 1]);
        int length = ExpandMessageEscapes(text.data(), (int)text.size(), out.get(), (int)text.size());
        ASSERT_GE(length, 0) << c.Text;
        EXPECT_EQ(c.Expanded, std::string(out.get(), length)) << c.Text;
    }
    char small[3];
    EXPECT_EQ(-1, ExpandMessageEscapes("a%nb", 4, small, 3)) << "four bytes do not fit in three";
    EXPECT_EQ(2, ExpandMessageEscapes("%n", 2, small, 2));
}
