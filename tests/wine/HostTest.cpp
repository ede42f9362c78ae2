// tests/wine/HostTest.cpp
// The stand-in host's answer to "word at the caret": which word a caret position gives,
// and that the answer never runs past the caller's buffer.
#include <gtest/gtest.h>
#include <string.h>
#include <string>

// The host is a program of its own, not a library the tests link; its word routine has no
// dependencies, so it is compiled in here.
#include "tools/KestrelHost/WordAtCaret.cpp"

namespace {

struct WordCase {
    const char *text;
    size_t caret;
    const char *word;
};

const WordCase WordCases[] = {
    {"hello.asm(12) : error A2008: syntax", 22, "A2008"},  // on the first letter
    {"hello.asm(12) : error A2008: syntax", 25, "A2008"},  // inside
    {"hello.asm(12) : error A2008: syntax", 27, "A2008"},  // just after: a click on its right edge
    {"hello.asm(12) : error A2008: syntax", 21, "error"},  // on the blank after "error"
    {"LINK : fatal error LNK1104: cannot", 19, "LNK1104"},
    {"cannot open file 'x.lib'", 18, "x"},                // dots and quotes end words
    {"cannot open file 'x.lib'", 21, "lib"},
    {"a  b", 2, ""},                                      // between two blanks
    {"_start", 1, "start"},                               // only letters and digits count
    {"A2008", 0, "A2008"},                                // start of the text
    {"A2008", 5, "A2008"},                                // end of the text
    {"A2008", 99, "A2008"},                               // past the end: the end
    {"abc\r\ndef", 3, "abc"},                             // a line break ends a word
    {"abc\r\ndef", 5, "def"},
    {"abc\r\ndef", 4, ""},
    {"", 0, ""},
};

TEST(HostWordAtCaret, GivesTheWordADoubleClickWouldSelect)
{
    for (const WordCase &c : WordCases) {
        char buffer[256];
        memset(buffer, '#', sizeof buffer);
        size_t copied = CopyWordAtCaret(c.text, strlen(c.text), c.caret, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.word) << c.text << " at " << c.caret;
        EXPECT_EQ(copied, strlen(c.word)) << c.text << " at " << c.caret;
    }
}

struct SizeCase {
    size_t size;
    const char *word; // what the buffer holds afterwards; nullptr: nothing written at all
};

TEST(HostWordAtCaret, NeverWritesPastTheBufferAndRefusesAWordThatDoesNotFit)
{
    const char text[] = "error A2008: syntax";
    const SizeCase cases[] = {{0, nullptr}, {1, ""}, {5, ""}, {6, "A2008"}, {7, "A2008"}};
    for (const SizeCase &c : cases) {
        char buffer[16];
        memset(buffer, '#', sizeof buffer);
        CopyWordAtCaret(text, strlen(text), 8, buffer, c.size);
        if (c.word == nullptr)
            EXPECT_EQ(buffer[0], '#') << "size " << c.size;
        else
            EXPECT_STREQ(buffer, c.word) << "size " << c.size;
        for (size_t i = c.size; i < sizeof buffer; i++)
            ASSERT_EQ(buffer[i], '#') << "size " << c.size << ", byte " << i;
    }
}

TEST(HostWordAtCaret, ToleratesMissingTextOrBuffer)
{
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(CopyWordAtCaret(nullptr, 0, 0, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(CopyWordAtCaret("A2008", 5, 0, nullptr, 16), 0u);
}

} // namespace
