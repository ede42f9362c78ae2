// The message-table walk runs over bytes that come from a file beside the add-in, so
// every layout below is built by hand, byte by byte, and walked from an exact-size heap
// copy: a read past the end lands outside the block, where a sanitizer sees it.
#include "catalogue/Label.h"
#include "catalogue/MessageTable.h"
#include "catalogue/ToolTable.h"
#include "tests/MessageTableBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace harness;

namespace {

// The first `size` bytes of `b` in a heap block of exactly that size.
struct HeapCopy {
    std::unique_ptr<unsigned char[]> Data;
    uint32_t Size;
    HeapCopy(const std::string &b, size_t size) : Data(new unsigned char[size]), Size((uint32_t)size)
    {
        if (size > 0)
            std::memcpy(Data.get(), b.data(), size);
    }
    explicit HeapCopy(const std::string &b) : HeapCopy(b, b.size()) {}
};

void Collect(void *context, uint32_t id) { static_cast<std::vector<uint32_t> *>(context)->push_back(id); }

std::vector<uint32_t> Walk(const std::string &b, size_t size)
{
    HeapCopy copy(b, size);
    std::vector<uint32_t> ids;
    uint32_t visited = WalkMessageTable(copy.Data.get(), copy.Size, Collect, &ids);
    EXPECT_EQ(visited, ids.size());
    return ids;
}

std::vector<uint32_t> Walk(const std::string &b) { return Walk(b, b.size()); }

bool Sound(const std::string &b, uint32_t id)
{
    HeapCopy copy(b);
    return MessageEntryIsSound(copy.Data.get(), copy.Size, id);
}

typedef std::vector<uint32_t> Ids;

} // namespace

TEST(MessageTableWalk, ThreeEntriesOfOneBlockGiveThreeMlLabels)
{
    std::string table = MakeMessageTable({{1000, 1002, {MakeEntry("1 a"), MakeEntry("1 bb"), MakeEntry("1 ccc")}}});
    Ids ids = Walk(table);
    ASSERT_EQ(ids, (Ids{1000, 1001, 1002}));
    std::vector<std::string> labels;
    for (uint32_t id : ids) {
        char label[CodeCapacity];
        ASSERT_TRUE(FormatLabel(ToolTable[0].LabelPrefix, id, label, sizeof label));
        labels.push_back(label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"A1000", "A1001", "A1002"}));
}

TEST(MessageTableWalk, LayoutsThatFollowTheFormat)
{
    struct Case {
        const char *Name;
        std::vector<TableBlock> Blocks;
        Ids Expected;
    } cases[] = {
        {"two blocks in order", {{1, 2, {MakeEntry("1 x"), MakeEntry("1 y")}}, {4000, 4000, {MakeEntry("3 z")}}},
         {1, 2, 4000}},
        {"UTF-16 second entry ends its block, next block walked",
         {{10, 12, {MakeEntry("1 a"), MakeUtf16Entry("1 b"), MakeEntry("1 c")}},
          {20, 21, {MakeEntry("1 d"), MakeEntry("1 e")}}},
         {10, 20, 21}},
        {"UTF-16 first entry leaves its block out",
         {{10, 11, {MakeUtf16Entry("1 a"), MakeEntry("1 b")}}, {20, 20, {MakeEntry("1 c")}}},
         {20}},
        {"UTF-16 entry in the last block", {{1, 1, {MakeEntry("1 a")}}, {2, 2, {MakeUtf16Entry("1 b")}}}, {1}},
        {"leading zero word before the first entry",
         {{5, 6, {U16(0) + MakeEntry("1 a"), MakeEntry("1 b")}}, {9, 9, {MakeEntry("1 c")}}},
         {5, 6, 9}},
        {"zero word before a later entry", {{5, 7, {MakeEntry("1 a"), U16(0) + MakeEntry("1 b"), MakeEntry("1 c")}}},
         {5, 6, 7}},
        {"zero word before a UTF-16 entry still ends the block",
         {{5, 6, {MakeEntry("1 a"), U16(0) + MakeUtf16Entry("1 b")}}, {9, 9, {MakeEntry("1 c")}}},
         {5, 9}},
        {"flags other than 1 are 8-bit", {{1, 2, {RawEntry(8, 2, "xxxx"), RawEntry(8, 0x100, "xxxx")}}}, {1, 2}},
        {"HighId = LowId - 1 has no entries, next block walked",
         {{100, 99, {MakeEntry("1 a")}}, {200, 200, {MakeEntry("1 b")}}},
         {200}},
        {"LowId 0 with HighId 0xFFFFFFFF counts zero entries", {{0, 0xFFFFFFFF, {MakeEntry("1 a")}}}, {}},
        {"ids wrap past 0xFFFFFFFF",
         {{0xFFFFFFFE, 0, {MakeEntry("1 a"), MakeEntry("1 b"), MakeEntry("1 c")}}},
         {0xFFFFFFFE, 0xFFFFFFFF, 0}},
        {"no blocks", {}, {}},
        {"entry reaching exactly to the end", {{7, 7, {RawEntry(4, 0, "")}}}, {7}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Walk(MakeMessageTable(c.Blocks)), c.Expected) << c.Name;
}

TEST(MessageTableWalk, NegativeIdsGiveNegativeLabels)
{
    std::string table = MakeMessageTable(
        {{0xFFFFFFFF, 0xFFFFFFFF, {MakeEntry("1 a")}}, {0x80000000, 0x80000000, {MakeEntry("1 b")}}});
    Ids ids = Walk(table);
    ASSERT_EQ(ids, (Ids{0xFFFFFFFF, 0x80000000}));
    char label[CodeCapacity];
    ASSERT_TRUE(FormatLabel("MIDL", ids[0], label, sizeof label));
    EXPECT_STREQ(label, "MIDL-1");
    ASSERT_TRUE(FormatLabel("MIDL", ids[1], label, sizeof label));
    EXPECT_STREQ(label, "MIDL-2147483648");
}

TEST(MessageTableWalk, TooSmallOrMissingData)
{
    EXPECT_EQ(WalkMessageTable(0, 100, Collect, 0), 0u);
    for (size_t size = 0; size < 4; ++size)
        EXPECT_TRUE(Walk(std::string(4, '\xFF'), size).empty()) << size;
}

// Cutting a sound table anywhere must give a prefix of its ids and never read past the cut.
TEST(MessageTableWalk, EveryTruncationGivesAPrefix)
{
    std::string table =
        MakeMessageTable({{1, 3, {MakeEntry("1 first"), U16(0) + MakeEntry("2 second"), MakeEntry("3 third")}},
                          {50, 51, {MakeEntry("4 x"), MakeUtf16Entry("4 y")}},
                          {60, 61, {MakeEntry("5 p"), MakeEntry("5 q")}}});
    Ids full = Walk(table);
    ASSERT_EQ(full, (Ids{1, 2, 3, 50, 60, 61}));
    for (size_t size = 0; size < table.size(); ++size) {
        Ids ids = Walk(table, size);
        ASSERT_LE(ids.size(), full.size()) << size;
        EXPECT_TRUE(std::equal(ids.begin(), ids.end(), full.begin())) << size;
        EXPECT_LT(ids.size(), full.size()) << "the last entry cannot fit in " << size << " bytes";
    }
}

TEST(MessageTableWalk, BlockCountBeyondTheHeaders)
{
    // 4 + 12 * count wraps to 0 in 32 bits for 0x15555555, so a 32-bit bound check would pass.
    for (uint32_t count : {2u, 1000u, 0x15555555u, 0x15555556u, 0x80000000u, 0xFFFFFFFFu}) {
        std::string table = MakeMessageTable({{1, 2, {MakeEntry("1 a"), MakeEntry("1 b")}}});
        Patch32(table, 0, count);
        EXPECT_EQ(Walk(table), (Ids{1, 2})) << count;
    }
}

TEST(MessageTableWalk, EntryOffsetOutsideEndsTheWalk)
{
    for (uint32_t offset : {0u, 1u, 2u, 3u}) {
        // An offset counted back from the end of the data: header missing or cut.
        std::string table =
            MakeMessageTable({{1, 1, {MakeEntry("1 a")}}, {2, 2, {MakeEntry("1 b")}}, {3, 3, {MakeEntry("1 c")}}});
        Patch32(table, 4 + 12 + 8, (uint32_t)table.size() - offset);
        EXPECT_EQ(Walk(table), (Ids{1})) << "size - " << offset;
    }
    for (uint32_t offset : {0x7FFFFFFFu, 0xFFFFFFFDu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        // pos + 2 and pos + 4 overflow 32 bits here.
        std::string table = MakeMessageTable({{1, 1, {MakeEntry("1 a")}}, {2, 2, {MakeEntry("1 b")}}});
        Patch32(table, 4 + 12 + 8, offset);
        EXPECT_EQ(Walk(table), (Ids{1})) << offset;
    }
}

TEST(MessageTableWalk, EntryLengthsThatCannotBeWalked)
{
    struct Case {
        const char *Name;
        std::string Second; // the second entry of block 1..3; block 9 follows
        Ids Expected;
    } cases[] = {
        {"length 0 with flags 0 (skipped word, then length 0 again)", RawEntry(0, 0, "xxxx"), {1}},
        {"length 0 then UTF-16 flag read as length 1", RawEntry(0, 1, "xxxx"), {1}},
        {"length shorter than the header", RawEntry(2, 0, "xxxx"), {1}},
        {"length 3", RawEntry(3, 0, "xxxx"), {1}},
        {"length beyond the end", RawEntry(0xFFFF, 0, "xxxx"), {1}},
    };
    for (const Case &c : cases) {
        std::string table =
            MakeMessageTable({{1, 3, {MakeEntry("1 a"), c.Second, MakeEntry("1 c")}}, {9, 9, {MakeEntry("1 d")}}});
        EXPECT_EQ(Walk(table), c.Expected) << c.Name;
    }
}

TEST(MessageTableWalk, EntryCountThatOverflowsStopsAtTheEnd)
{
    // HighId two below LowId: 0xFFFFFFFF entries claimed, three present.
    std::string table = MakeMessageTable({{100, 98, {MakeEntry("1 a"), MakeEntry("1 b"), MakeEntry("1 c")}}});
    EXPECT_EQ(Walk(table), (Ids{100, 101, 102}));
    // With a block behind it, the count is trusted into that block's entries until the
    // bytes run out; the second block's own walk is never reached.
    table = MakeMessageTable({{100, 98, {MakeEntry("1 a"), MakeEntry("1 b")}}, {500, 500, {MakeEntry("1 d")}}});
    EXPECT_EQ(Walk(table), (Ids{100, 101, 102}));
}

TEST(MessageTableWalk, BlocksSharingOneRunListNoMoreEntriesThanFit)
{
    // 200 blocks all pointing at the same run of 50 entries: a hostile table that would
    // list 10,000 entries from bytes that hold at most a few hundred headers.
    std::vector<TableBlock> blocks(1, TableBlock{0, 49, {}});
    for (int i = 0; i < 50; ++i)
        blocks[0].Entries.push_back(MakeEntry("1 x"));
    std::vector<uint32_t> offsets;
    std::string b = MakeMessageTable(blocks, &offsets);
    std::string table = U32(200);
    for (int i = 0; i < 200; ++i)
        table += BlockHeader(0, 49, 4 + 12 * 200);
    table += b.substr(offsets[0]);
    EXPECT_LE(Walk(table).size(), table.size() / 4);
    EXPECT_GE(Walk(table).size(), 50u);
}

TEST(MessageTableWalk, HeaderCutAfterTheZeroWord)
{
    // The last two bytes are a zero word: skipping it leaves no room for a header.
    std::string table = MakeMessageTable({{1, 2, {MakeEntry("1 a"), U16(0)}}});
    EXPECT_EQ(Walk(table), (Ids{1}));
    table = MakeMessageTable({{1, 2, {MakeEntry("1 a"), U16(0) + U16(8)}}});
    EXPECT_EQ(Walk(table), (Ids{1}));
}

TEST(MessageEntrySoundness, SoundEntries)
{
    std::string table = MakeMessageTable({{1000, 1002, {MakeEntry("1 a"), MakeEntry("2 bb"), MakeUtf16Entry("3 ccc")}},
                                          {0xFFFFFFFE, 0xFFFFFFFF, {MakeEntry("1 x"), MakeEntry("1 y")}}});
    for (uint32_t id : {1000u, 1001u, 1002u, 0xFFFFFFFEu, 0xFFFFFFFFu})
        EXPECT_TRUE(Sound(table, id)) << id;
    for (uint32_t id : {0u, 999u, 1003u, 0xFFFFFFFDu})
        EXPECT_FALSE(Sound(table, id)) << id;
}

TEST(MessageEntrySoundness, UnsoundEntries)
{
    struct Case {
        const char *Name;
        std::string Table;
        uint32_t Id;
    };
    std::string unterminated = RawEntry(8, 0, "xxxx");     // four text bytes, no zero
    std::string wideOddZero = RawEntry(8, 1, "xxxx");      // 'x' 'x' 'x' 'x'
    wideOddZero[5] = 0;                                    // a lone zero byte is no UTF-16 end
    wideOddZero[6] = 0;
    std::string wideOneByteLeft = RawEntry(9, 1, "xxxxx"); // text bytes 4..8, the zero word would need byte 9
    wideOneByteLeft[8] = 0;
    std::string shortHeader = RawEntry(2, 0, "xxxx");
    std::string cutTail = MakeMessageTable({{1, 1, {MakeEntry("1 abc")}}});
    cutTail.pop_back();

    std::string overlapping = MakeMessageTable({{5, 5, {unterminated}}, {5, 5, {MakeEntry("1 fine")}}});
    std::string offsetOutside = MakeMessageTable({{5, 5, {MakeEntry("1 a")}}});
    Patch32(offsetOutside, 12, 0xFFFFFFFE);
    std::string lengthZeroBefore = MakeMessageTable({{5, 6, {RawEntry(0, 0, "xxxx"), MakeEntry("1 b")}}});
    std::string countOverflow = MakeMessageTable({{5, 5, {MakeEntry("1 a")}}});
    Patch32(countOverflow, 0, 0x15555556);

    Case cases[] = {
        {"8-bit text without a zero byte", MakeMessageTable({{5, 5, {unterminated}}}), 5},
        {"UTF-16 text with zero bytes but no zero word", MakeMessageTable({{5, 5, {wideOddZero}}}), 5},
        {"UTF-16 text one byte short of its zero word", MakeMessageTable({{5, 5, {wideOneByteLeft}}}), 5},
        {"length shorter than its header", MakeMessageTable({{5, 5, {shortHeader}}}), 5},
        {"entry cut by the end of the data", cutTail, 1},
        {"the first block holding the id decides", overlapping, 5},
        {"entry offset outside", offsetOutside, 5},
        {"a zero length before the entry", lengthZeroBefore, 6},
        {"block count beyond the headers, id elsewhere", countOverflow, 6},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(Sound(c.Table, c.Id)) << c.Name;
    EXPECT_TRUE(Sound(countOverflow, 5)) << "the one real block is still found";
}

TEST(MessageEntrySoundness, EveryTruncation)
{
    std::string table =
        MakeMessageTable({{1, 2, {MakeEntry("1 first"), MakeUtf16Entry("2 second")}}, {7, 7, {MakeEntry("3 third")}}});
    for (uint32_t id : {1u, 2u, 7u})
        ASSERT_TRUE(Sound(table, id)) << id;
    for (size_t size = 0; size < table.size(); ++size) {
        HeapCopy copy(table, size);
        EXPECT_FALSE(MessageEntryIsSound(copy.Data.get(), copy.Size, 7)) << size;
        MessageEntryIsSound(copy.Data.get(), copy.Size, 1);
        MessageEntryIsSound(copy.Data.get(), copy.Size, 2);
    }
    EXPECT_FALSE(MessageEntryIsSound(0, 100, 1));
}

TEST(MessageEntryInserts, OnlyAPercentSignBeforeADigitIsAnInsert)
{
    const struct {
        const char *Text;
        bool Inserts;
    } cases[] = {
        {"1 plain\x95\r\ntext", false},
        {"1 100%% sure", false},
        {"1 %%1 is an escaped percent", false},
        {"1 %n%r%t%0", false},
        {"1 %1", true},
        {"1 width %1!*s!", true},
        {"1 %99", true},
        {"1 trailing %", false},
        {"1 %%%2", true},
    };
    for (const auto &c : cases) {
        std::string table = MakeMessageTable({TableBlock{7, 7, {MakeEntry(c.Text)}}});
        HeapCopy copy(table);
        EXPECT_EQ(MessageEntryHasInserts(copy.Data.get(), copy.Size, 7), c.Inserts) << c.Text;
    }
    std::string wide = MakeMessageTable({TableBlock{7, 7, {MakeUtf16Entry("1 %1")}}});
    HeapCopy copy(wide);
    EXPECT_TRUE(MessageEntryHasInserts(copy.Data.get(), copy.Size, 7));
    EXPECT_FALSE(MessageEntryHasInserts(copy.Data.get(), copy.Size, 8));
}

TEST(MessageEntryText, TheTextBeforeItsZeroOrNothing)
{
    std::string unterminated = RawEntry(8, 0, "xxxx");
    std::string table = MakeMessageTable(
        {{1, 3, {MakeEntry("1 first"), MakeEntry(""), MakeUtf16Entry("3 wide")}}, {7, 7, {unterminated}}});
    HeapCopy copy(table);
    const struct {
        uint32_t Id;
        bool Found;
        const char *Text;
    } cases[] = {
        {1, true, "1 first"}, {2, true, ""}, {3, false, ""}, {7, false, ""}, {4, false, ""},
    };
    for (const auto &c : cases) {
        const unsigned char *text = 0;
        uint32_t length = 99;
        bool found = FindMessageEntryText(copy.Data.get(), copy.Size, c.Id, &text, &length);
        EXPECT_EQ(c.Found, found) << c.Id;
        if (found && c.Found)
            EXPECT_EQ(c.Text, std::string((const char *)text, length)) << c.Id;
    }
}
