// The message-table walk runs over bytes that come from a file beside the add-in, so
// every layout below is built by hand, byte by byte, and walked from an exact-size heap
// copy: a read past the end lands outside the block, where a sanitizer sees it.
#include "catalogue/Label.h"
#include "catalogue/MessageTable.h"
#include "catalogue/ToolTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

void Put16(Bytes &b, uint32_t v)
{
    b.push_back((unsigned char)v);
    b.push_back((unsigned char)(v >> 8));
}

void Put32(Bytes &b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void Patch32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = (unsigned char)(v >> (8 * i));
}

// An entry as a message compiler lays it out: length (header included, padded to four
// bytes), flags, zero-terminated text.
Bytes AnsiEntry(const char *text)
{
    size_t textBytes = std::strlen(text) + 1;
    size_t length = (4 + textBytes + 3) & ~size_t(3);
    Bytes e;
    Put16(e, (uint32_t)length);
    Put16(e, 0);
    e.insert(e.end(), text, text + textBytes);
    e.resize(length, 0);
    return e;
}

Bytes WideEntry(const char *ascii)
{
    size_t textBytes = 2 * (std::strlen(ascii) + 1);
    size_t length = (4 + textBytes + 3) & ~size_t(3);
    Bytes e;
    Put16(e, (uint32_t)length);
    Put16(e, 1);
    for (const char *c = ascii; *c != 0; ++c)
        Put16(e, (unsigned char)*c);
    e.resize(length, 0);
    return e;
}

// An entry with a given length word and flags and `size` bytes in all.
Bytes RawEntry(uint32_t lengthWord, uint32_t flags, size_t size)
{
    Bytes e;
    Put16(e, lengthWord);
    Put16(e, flags);
    e.resize(size, 'x');
    return e;
}

Bytes ZeroWordThen(const Bytes &entry)
{
    Bytes e(2, 0);
    e.insert(e.end(), entry.begin(), entry.end());
    return e;
}

struct BlockSpec {
    uint32_t LowId;
    uint32_t HighId;
    std::vector<Bytes> Entries; // laid out back to back after all block headers
};

// Returns the resource bytes; `entryOffsets` receives where each block's entries start.
Bytes BuildTable(const std::vector<BlockSpec> &blocks, std::vector<uint32_t> *entryOffsets = 0)
{
    Bytes b;
    Put32(b, (uint32_t)blocks.size());
    for (const BlockSpec &block : blocks) {
        Put32(b, block.LowId);
        Put32(b, block.HighId);
        Put32(b, 0);
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        Patch32(b, 4 + 12 * i + 8, (uint32_t)b.size());
        if (entryOffsets)
            entryOffsets->push_back((uint32_t)b.size());
        for (const Bytes &e : blocks[i].Entries)
            b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

// The first `size` bytes of `b` in a heap block of exactly that size.
struct HeapCopy {
    std::unique_ptr<unsigned char[]> Data;
    uint32_t Size;
    HeapCopy(const Bytes &b, size_t size) : Data(new unsigned char[size]), Size((uint32_t)size)
    {
        if (size > 0)
            std::memcpy(Data.get(), b.data(), size);
    }
    explicit HeapCopy(const Bytes &b) : HeapCopy(b, b.size()) {}
};

void Collect(void *context, uint32_t id) { static_cast<std::vector<uint32_t> *>(context)->push_back(id); }

std::vector<uint32_t> Walk(const Bytes &b, size_t size)
{
    HeapCopy copy(b, size);
    std::vector<uint32_t> ids;
    uint32_t visited = WalkMessageTable(copy.Data.get(), copy.Size, Collect, &ids);
    EXPECT_EQ(visited, ids.size());
    return ids;
}

std::vector<uint32_t> Walk(const Bytes &b) { return Walk(b, b.size()); }

bool Sound(const Bytes &b, uint32_t id)
{
    HeapCopy copy(b);
    return MessageEntryIsSound(copy.Data.get(), copy.Size, id);
}

typedef std::vector<uint32_t> Ids;

} // namespace

TEST(MessageTableWalk, ThreeEntriesOfOneBlockGiveThreeMlLabels)
{
    Bytes table = BuildTable({{1000, 1002, {AnsiEntry("1 a"), AnsiEntry("1 bb"), AnsiEntry("1 ccc")}}});
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
        std::vector<BlockSpec> Blocks;
        Ids Expected;
    } cases[] = {
        {"two blocks in order", {{1, 2, {AnsiEntry("1 x"), AnsiEntry("1 y")}}, {4000, 4000, {AnsiEntry("3 z")}}},
         {1, 2, 4000}},
        {"UTF-16 second entry ends its block, next block walked",
         {{10, 12, {AnsiEntry("1 a"), WideEntry("1 b"), AnsiEntry("1 c")}}, {20, 21, {AnsiEntry("1 d"), AnsiEntry("1 e")}}},
         {10, 20, 21}},
        {"UTF-16 first entry leaves its block out",
         {{10, 11, {WideEntry("1 a"), AnsiEntry("1 b")}}, {20, 20, {AnsiEntry("1 c")}}},
         {20}},
        {"UTF-16 entry in the last block", {{1, 1, {AnsiEntry("1 a")}}, {2, 2, {WideEntry("1 b")}}}, {1}},
        {"leading zero word before the first entry",
         {{5, 6, {ZeroWordThen(AnsiEntry("1 a")), AnsiEntry("1 b")}}, {9, 9, {AnsiEntry("1 c")}}},
         {5, 6, 9}},
        {"zero word before a later entry", {{5, 7, {AnsiEntry("1 a"), ZeroWordThen(AnsiEntry("1 b")), AnsiEntry("1 c")}}},
         {5, 6, 7}},
        {"zero word before a UTF-16 entry still ends the block",
         {{5, 6, {AnsiEntry("1 a"), ZeroWordThen(WideEntry("1 b"))}}, {9, 9, {AnsiEntry("1 c")}}},
         {5, 9}},
        {"flags other than 1 are 8-bit", {{1, 2, {RawEntry(8, 2, 8), RawEntry(8, 0x100, 8)}}}, {1, 2}},
        {"HighId = LowId - 1 has no entries, next block walked",
         {{100, 99, {AnsiEntry("1 a")}}, {200, 200, {AnsiEntry("1 b")}}},
         {200}},
        {"LowId 0 with HighId 0xFFFFFFFF counts zero entries", {{0, 0xFFFFFFFF, {AnsiEntry("1 a")}}}, {}},
        {"ids wrap past 0xFFFFFFFF",
         {{0xFFFFFFFE, 0, {AnsiEntry("1 a"), AnsiEntry("1 b"), AnsiEntry("1 c")}}},
         {0xFFFFFFFE, 0xFFFFFFFF, 0}},
        {"no blocks", {}, {}},
        {"entry reaching exactly to the end", {{7, 7, {RawEntry(4, 0, 4)}}}, {7}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Walk(BuildTable(c.Blocks)), c.Expected) << c.Name;
}

TEST(MessageTableWalk, NegativeIdsGiveNegativeLabels)
{
    Bytes table = BuildTable({{0xFFFFFFFF, 0xFFFFFFFF, {AnsiEntry("1 a")}}, {0x80000000, 0x80000000, {AnsiEntry("1 b")}}});
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
        EXPECT_TRUE(Walk(Bytes(4, 0xFF), size).empty()) << size;
}

// Cutting a sound table anywhere must give a prefix of its ids and never read past the cut.
TEST(MessageTableWalk, EveryTruncationGivesAPrefix)
{
    Bytes table = BuildTable({{1, 3, {AnsiEntry("1 first"), ZeroWordThen(AnsiEntry("2 second")), AnsiEntry("3 third")}},
                              {50, 51, {AnsiEntry("4 x"), WideEntry("4 y")}},
                              {60, 61, {AnsiEntry("5 p"), AnsiEntry("5 q")}}});
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
        Bytes table = BuildTable({{1, 2, {AnsiEntry("1 a"), AnsiEntry("1 b")}}});
        Patch32(table, 0, count);
        EXPECT_EQ(Walk(table), (Ids{1, 2})) << count;
    }
}

TEST(MessageTableWalk, EntryOffsetOutsideEndsTheWalk)
{
    for (uint32_t offset : {0u, 1u, 2u, 3u}) {
        // An offset counted back from the end of the data: header missing or cut.
        Bytes table = BuildTable({{1, 1, {AnsiEntry("1 a")}}, {2, 2, {AnsiEntry("1 b")}}, {3, 3, {AnsiEntry("1 c")}}});
        Patch32(table, 4 + 12 + 8, (uint32_t)table.size() - offset);
        EXPECT_EQ(Walk(table), (Ids{1})) << "size - " << offset;
    }
    for (uint32_t offset : {0x7FFFFFFFu, 0xFFFFFFFDu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        // pos + 2 and pos + 4 overflow 32 bits here.
        Bytes table = BuildTable({{1, 1, {AnsiEntry("1 a")}}, {2, 2, {AnsiEntry("1 b")}}});
        Patch32(table, 4 + 12 + 8, offset);
        EXPECT_EQ(Walk(table), (Ids{1})) << offset;
    }
}

TEST(MessageTableWalk, EntryLengthsThatCannotBeWalked)
{
    struct Case {
        const char *Name;
        Bytes Second; // the second entry of block 1..3; block 9 follows
        Ids Expected;
    } cases[] = {
        {"length 0 with flags 0 (skipped word, then length 0 again)", RawEntry(0, 0, 8), {1}},
        {"length 0 then UTF-16 flag read as length 1", RawEntry(0, 1, 8), {1}},
        {"length shorter than the header", RawEntry(2, 0, 8), {1}},
        {"length 3", RawEntry(3, 0, 8), {1}},
        {"length beyond the end", RawEntry(0xFFFF, 0, 8), {1}},
    };
    for (const Case &c : cases) {
        Bytes table = BuildTable({{1, 3, {AnsiEntry("1 a"), c.Second, AnsiEntry("1 c")}}, {9, 9, {AnsiEntry("1 d")}}});
        EXPECT_EQ(Walk(table), c.Expected) << c.Name;
    }
}

TEST(MessageTableWalk, EntryCountThatOverflowsStopsAtTheEnd)
{
    // HighId two below LowId: 0xFFFFFFFF entries claimed, three present.
    Bytes table = BuildTable({{100, 98, {AnsiEntry("1 a"), AnsiEntry("1 b"), AnsiEntry("1 c")}}});
    EXPECT_EQ(Walk(table), (Ids{100, 101, 102}));
    // With a block behind it, the count is trusted into that block's entries until the
    // bytes run out; the second block's own walk is never reached.
    table = BuildTable({{100, 98, {AnsiEntry("1 a"), AnsiEntry("1 b")}}, {500, 500, {AnsiEntry("1 d")}}});
    EXPECT_EQ(Walk(table), (Ids{100, 101, 102}));
}

TEST(MessageTableWalk, BlocksSharingOneRunListNoMoreEntriesThanFit)
{
    // 200 blocks all pointing at the same run of 50 entries: a hostile table that would
    // list 10,000 entries from bytes that hold at most a few hundred headers.
    std::vector<BlockSpec> blocks(1, BlockSpec{0, 49, {}});
    for (int i = 0; i < 50; ++i)
        blocks[0].Entries.push_back(AnsiEntry("1 x"));
    std::vector<uint32_t> offsets;
    Bytes b = BuildTable(blocks, &offsets);
    Bytes headers;
    Put32(headers, 200);
    for (int i = 0; i < 200; ++i) {
        Put32(headers, 0);
        Put32(headers, 49);
        Put32(headers, 0);
    }
    Bytes entries(b.begin() + offsets[0], b.end());
    Bytes table = headers;
    for (int i = 0; i < 200; ++i)
        Patch32(table, 4 + 12 * i + 8, (uint32_t)headers.size());
    table.insert(table.end(), entries.begin(), entries.end());
    EXPECT_LE(Walk(table).size(), table.size() / 4);
    EXPECT_GE(Walk(table).size(), 50u);
}

TEST(MessageTableWalk, HeaderCutAfterTheZeroWord)
{
    // The last two bytes are a zero word: skipping it leaves no room for a header.
    Bytes table = BuildTable({{1, 2, {AnsiEntry("1 a"), Bytes(2, 0)}}});
    EXPECT_EQ(Walk(table), (Ids{1}));
    table = BuildTable({{1, 2, {AnsiEntry("1 a"), Bytes{0, 0, 8, 0}}}});
    EXPECT_EQ(Walk(table), (Ids{1}));
}

TEST(MessageEntrySoundness, SoundEntries)
{
    Bytes table = BuildTable({{1000, 1002, {AnsiEntry("1 a"), AnsiEntry("2 bb"), WideEntry("3 ccc")}},
                              {0xFFFFFFFE, 0xFFFFFFFF, {AnsiEntry("1 x"), AnsiEntry("1 y")}}});
    for (uint32_t id : {1000u, 1001u, 1002u, 0xFFFFFFFEu, 0xFFFFFFFFu})
        EXPECT_TRUE(Sound(table, id)) << id;
    for (uint32_t id : {0u, 999u, 1003u, 0xFFFFFFFDu})
        EXPECT_FALSE(Sound(table, id)) << id;
}

TEST(MessageEntrySoundness, UnsoundEntries)
{
    struct Case {
        const char *Name;
        Bytes Table;
        uint32_t Id;
    };
    Bytes unterminated = RawEntry(8, 0, 8);            // four text bytes, no zero
    Bytes wideOddZero = RawEntry(8, 1, 8);             // 'x' 'x' 'x' 'x'
    wideOddZero[5] = 0;                                // a lone zero byte is no UTF-16 end
    wideOddZero[6] = 0;
    Bytes wideOneByteLeft = RawEntry(9, 1, 9);         // text bytes 4..8, the zero word would need byte 9
    wideOneByteLeft[8] = 0;
    Bytes shortHeader = RawEntry(2, 0, 8);
    Bytes cutTail = BuildTable({{1, 1, {AnsiEntry("1 abc")}}});
    cutTail.pop_back();

    Bytes overlapping = BuildTable({{5, 5, {unterminated}}, {5, 5, {AnsiEntry("1 fine")}}});
    Bytes offsetOutside = BuildTable({{5, 5, {AnsiEntry("1 a")}}});
    Patch32(offsetOutside, 12, 0xFFFFFFFE);
    Bytes lengthZeroBefore = BuildTable({{5, 6, {RawEntry(0, 0, 8), AnsiEntry("1 b")}}});
    Bytes countOverflow = BuildTable({{5, 5, {AnsiEntry("1 a")}}});
    Patch32(countOverflow, 0, 0x15555556);

    Case cases[] = {
        {"8-bit text without a zero byte", BuildTable({{5, 5, {unterminated}}}), 5},
        {"UTF-16 text with zero bytes but no zero word", BuildTable({{5, 5, {wideOddZero}}}), 5},
        {"UTF-16 text one byte short of its zero word", BuildTable({{5, 5, {wideOneByteLeft}}}), 5},
        {"length shorter than its header", BuildTable({{5, 5, {shortHeader}}}), 5},
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
    Bytes table = BuildTable({{1, 2, {AnsiEntry("1 first"), WideEntry("2 second")}}, {7, 7, {AnsiEntry("3 third")}}});
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
        Bytes table = BuildTable({BlockSpec{7, 7, {AnsiEntry(c.Text)}}});
        HeapCopy copy(table);
        EXPECT_EQ(MessageEntryHasInserts(copy.Data.get(), copy.Size, 7), c.Inserts) << c.Text;
    }
    Bytes wide = BuildTable({BlockSpec{7, 7, {WideEntry("1 %1")}}});
    HeapCopy copy(wide);
    EXPECT_TRUE(MessageEntryHasInserts(copy.Data.get(), copy.Size, 7));
    EXPECT_FALSE(MessageEntryHasInserts(copy.Data.get(), copy.Size, 8));
}

TEST(MessageEntryText, TheTextBeforeItsZeroOrNothing)
{
    Bytes unterminated = RawEntry(8, 0, 8);
    Bytes table = BuildTable({{1, 3, {AnsiEntry("1 first"), AnsiEntry(""), WideEntry("3 wide")}},
                              {7, 7, {unterminated}}});
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
