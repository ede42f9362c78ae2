// Labels, decimal numbers, the case-blind code comparison and the bounded text builder
// under them. Output buffers carry a guard band, so a write one byte too far shows.
#include "catalogue/Label.h"
#include "common/TextBuffer.h"
#include "catalogue/ToolTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

enum { Guard = 8, GuardByte = 0x5A };

// A buffer of `size` usable bytes followed by a guard band.
template <int Size> struct Guarded {
    char Bytes[Size + Guard];
    Guarded() { std::memset(Bytes, GuardByte, sizeof Bytes); }
    char *Data() { return Bytes; }
    bool GuardIntact() const
    {
        for (int i = Size; i < Size + Guard; ++i)
            if ((unsigned char)Bytes[i] != GuardByte)
                return false;
        return true;
    }
};

} // namespace

TEST(FormatSignedDecimal, Values)
{
    struct Case {
        int32_t Value;
        const char *Text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {-7, "-7"},
        {10, "10"},
        {-10, "-10"},
        {2008, "2008"},
        {1000000000, "1000000000"},
        {2147483647, "2147483647"},
        {-1, "-1"},
        {-2147483647, "-2147483647"},
        {INT32_MIN, "-2147483648"},
    };
    for (const Case &c : cases) {
        Guarded<SignedDecimalCapacity> out;
        FormatSignedDecimal(c.Value, out.Data());
        EXPECT_STREQ(out.Data(), c.Text) << c.Value;
        EXPECT_TRUE(out.GuardIntact()) << c.Value;
    }
}

TEST(FormatLabel, PrefixAndSignedId)
{
    struct Case {
        const char *Prefix;
        uint32_t Id;
        const char *Label;
    } cases[] = {
        {"A", 2008, "A2008"},
        {"LNK", 1104, "LNK1104"},
        {"U", 0, "U0"},
        {"A", 10000, "A10000"},
        {"CVT", 2147483647u, "CVT2147483647"},
        {"RW", 0xFFFFFFFFu, "RW-1"},
        {"MIDL", 0x80000000u, "MIDL-2147483648"},
        {"", 5, "5"},
    };
    for (const Case &c : cases) {
        Guarded<CodeCapacity> out;
        ASSERT_TRUE(FormatLabel(c.Prefix, c.Id, out.Data(), CodeCapacity)) << c.Label;
        EXPECT_STREQ(out.Data(), c.Label);
        EXPECT_TRUE(out.GuardIntact()) << c.Label;
    }
}

TEST(FormatLabel, LongestLabelOfEveryToolFitsACode)
{
    for (const ToolEntry &row : ToolTable) {
        Guarded<CodeCapacity> out;
        EXPECT_TRUE(FormatLabel(row.LabelPrefix, 0x80000000u, out.Data(), CodeCapacity)) << row.LabelPrefix;
        EXPECT_TRUE(out.GuardIntact());
    }
    char exact[CodeCapacity];
    ASSERT_TRUE(FormatLabel("MIDL", 0x80000000u, exact, sizeof exact));
    EXPECT_EQ(std::strlen(exact), 15u);
}

TEST(FormatLabel, RefusedWhenOneByteShort)
{
    Guarded<CodeCapacity - 1> out;
    EXPECT_FALSE(FormatLabel("MIDL", 0x80000000u, out.Data(), CodeCapacity - 1));
    EXPECT_TRUE(out.GuardIntact());
    EXPECT_LT(std::strlen(out.Data()), size_t(CodeCapacity - 1));

    Guarded<6> small;
    EXPECT_FALSE(FormatLabel("A", 2008, small.Data(), 5)) << "A2008 needs 6 bytes";
    EXPECT_TRUE(FormatLabel("A", 2008, small.Data(), 6));
    EXPECT_STREQ(small.Data(), "A2008");
    EXPECT_TRUE(small.GuardIntact());
}

TEST(CompareLabels, ResultsAndPositions)
{
    struct Case {
        const char *A;
        const char *B;
        int Result;
    } cases[] = {
        {"LNK1104", "LNK1104", 0},
        {"lnk1104", "LNK1104", 0},
        {"LnK1104", "lNk1104", 0},
        {"", "", 0},
        {"AZ", "az", 0},
        {"LNK1104", "LNK1105", 7},
        {"A2008", "A3008", 2},
        {"A2008", "B2008", 1},
        {"LNK1104", "LNK1104X", 8},  // a longer text differs at the other's zero
        {"LNK", "LNK1104", 4},
        {"", "A", 1},
        {" LNK1104", "LNK1104", 1},
        // Only A to Z fold: the neighbours of the letters and letters outside ASCII do not.
        {"@", "`", 1},
        {"[", "{", 1},
        {"A[", "a{", 2},
        {"\xC0", "\xE0", 1},
        {"\xE9", "\xC9", 1},
        {"\xE9", "\xE9", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CompareLabels(c.A, c.B), c.Result) << '"' << c.A << "\" vs \"" << c.B << '"';
        EXPECT_EQ(CompareLabels(c.B, c.A), c.Result) << '"' << c.B << "\" vs \"" << c.A << '"';
    }
}

TEST(CompareLabels, StopsAtTheFirstZero)
{
    // Bytes after a terminator are not part of the label.
    const char a[] = "A2008\0X";
    const char b[] = "A2008\0Y";
    EXPECT_EQ(CompareLabels(a, b), 0);
}

TEST(JoinToolNames, AllRowsInRowOrder)
{
    const char expected[] = "ML\r\nCVTRES\r\nNMAKE\r\nLINK\\LIB\\DUMPBIN\\EDITBIN\r\n"
                            "RC (\"C\" Errors)\r\nRC (\"W\" Errors)\r\nH2INC\r\nMIDL";
    ASSERT_EQ(std::strlen(expected), 90u);
    Guarded<91> out;
    EXPECT_EQ(JoinToolNames(out.Data(), 91), 90);
    EXPECT_STREQ(out.Data(), expected);
    EXPECT_TRUE(out.GuardIntact());
}

TEST(JoinToolNames, RefusedWithoutRoomForTheZero)
{
    Guarded<90> out;
    EXPECT_EQ(JoinToolNames(out.Data(), 90), -1);
    EXPECT_TRUE(out.GuardIntact());
    Guarded<1> tiny;
    EXPECT_EQ(JoinToolNames(tiny.Data(), 1), -1);
    EXPECT_TRUE(tiny.GuardIntact());
    EXPECT_EQ(JoinToolNames(tiny.Data(), 0), -1);
}

TEST(TextBuffer, FillsExactlyAndThenRefuses)
{
    Guarded<6> out;
    TextBuffer text(out.Data(), 6);
    EXPECT_TRUE(text.Append("ab").Append("").Append("c", 1).Append("de").Ok());
    EXPECT_STREQ(out.Data(), "abcde");
    EXPECT_EQ(text.Length(), 5);

    EXPECT_FALSE(text.Append("f", 1).Ok()) << "no room left for a sixth character and the zero";
    EXPECT_STREQ(out.Data(), "abcde") << "a refused append leaves the text as it was";
    EXPECT_TRUE(out.GuardIntact());
}

TEST(TextBuffer, AFailedAppendFailsTheWholeBuild)
{
    char out[8];
    TextBuffer text(out, sizeof out);
    text.Append("abc").Append("defghijk").Append("x");
    EXPECT_FALSE(text.Ok()) << "a later append that would fit must not revive the build";
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(text.Length(), 3);
}

TEST(TextBuffer, CountedAppends)
{
    char out[8];
    TextBuffer text(out, sizeof out);
    EXPECT_TRUE(text.Append("abcdef", 3).Ok());
    EXPECT_STREQ(out, "abc");
    EXPECT_TRUE(text.Append("xyz", 0).Ok());
    EXPECT_FALSE(text.Append("xyz", -1).Ok());
    EXPECT_STREQ(out, "abc");
}

TEST(TextBuffer, ZeroSizeWritesNothing)
{
    Guarded<0> out;
    TextBuffer text(out.Data(), 0);
    EXPECT_FALSE(text.Ok());
    EXPECT_FALSE(text.Append("").Ok());
    EXPECT_TRUE(out.GuardIntact());
}

TEST(TextBuffer, OverlongTextIsRefused)
{
    std::string longText(100000, 'x');
    char out[16];
    TextBuffer text(out, sizeof out);
    EXPECT_FALSE(text.Append(longText.c_str()).Ok());
    EXPECT_STREQ(out, "");
}

TEST(CopyText, WholeOrEmpty)
{
    Guarded<4> out;
    EXPECT_TRUE(CopyText(out.Data(), 4, "abc"));
    EXPECT_STREQ(out.Data(), "abc");
    EXPECT_FALSE(CopyText(out.Data(), 4, "abcd"));
    EXPECT_STREQ(out.Data(), "") << "a copy that does not fit leaves nothing, not a cut text";
    EXPECT_TRUE(out.GuardIntact());
    EXPECT_FALSE(CopyText(out.Data(), 0, "a"));
    EXPECT_TRUE(out.GuardIntact());
}

TEST(OrderLabels, SortsByCaseFoldedBytesAsTheTreeSortsOneToolsLabels)
{
    const struct {
        const char *A, *B;
        int Sign; // of OrderLabels(A, B)
    } cases[] = {
        {"A2008", "A2008", 0},  {"a2008", "A2008", 0},  {"A2008", "A201", -1},   {"A200", "A2000", -1},
        {"A10000", "A1001", -1}, {"LNK4000", "LNK1104", 1}, {"A9", "A10", 1},     {"", "A", -1},
        {"MIDL", "MIDL1", -1},   {"A\xC0", "A1", 1},  {"A-1", "A0", -1},
    };
    for (const auto &test : cases) {
        int order = OrderLabels(test.A, test.B);
        EXPECT_EQ((order > 0) - (order < 0), test.Sign) << test.A << " vs " << test.B;
        int reverse = OrderLabels(test.B, test.A);
        EXPECT_EQ((reverse > 0) - (reverse < 0), -test.Sign) << test.B << " vs " << test.A;
    }
}
