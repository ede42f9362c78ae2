// tests/wine/HostileModulesTest.cpp
// Message modules are files beside the add-in that anyone can replace, and the add-in reads
// them inside the IDE's process. Each case puts one damaged or strange ML.dll into a fresh
// add-in folder and drives the built Kestrel.dll as a host would: the lookup window must open,
// list what can be read, show every listed entry without reading outside its message, and the
// About window must count exactly the entries the tree holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"

using namespace harness;

namespace {

// A well-formed table of one block of 8-bit entries starting at `low`.
std::string OneBlock(DWORD low, const std::vector<std::string> &texts)
{
    TableBlock block{low, {}};
    for (const std::string &text : texts)
        block.Entries.push_back(MakeEntry(text));
    return MakeMessageTable({block});
}

// A typical message in the modules' layout, and what the three fields show for it.
const std::string Good1 = "1 first fault\x95\r\nThe first description.";
const std::string Good2 = "3 second fault\x95\r\nThe second description.";
const std::string Good3 = "2 third fault\x95\r\nThe third description.";

// ---- what a case expects -------------------------------------------------------------------

struct Shown {
    std::string Label, Type, Error, Description;
};

Shown Good(const std::string &label, int which)
{
    switch (which) {
    case 1:
        return {label, "Fatal", "first fault", "The first description."};
    case 2:
        return {label, "Warning", "second fault", "The second description."};
    default:
        return {label, "Non Fatal", "third fault", "The third description."};
    }
}

// An entry that is listed, but whose message cannot be read safely: all three fields empty.
Shown Unreadable(const std::string &label)
{
    return {label, "", "", ""};
}

enum class FileKind { Table, RawFile, NoTable };

struct HostileModule {
    const char *Name;
    FileKind Kind;
    std::string Bytes;           // the table, or the whole file for RawFile
    std::vector<Shown> Entries;  // what "ML" lists (any order) and shows for each
};

std::vector<HostileModule> Cases()
{
    std::vector<HostileModule> cases;
    auto add = [&](const char *name, FileKind kind, const std::string &bytes, std::vector<Shown> entries) {
        cases.push_back(HostileModule{name, kind, bytes, std::move(entries)});
    };

    // A sound table first, so that a failure of the harness is not taken for the add-in's.
    add("SoundTable", FileKind::Table, OneBlock(1000, {Good1, Good2, Good3}),
        {Good("A1000", 1), Good("A1001", 2), Good("A1002", 3)});

    // ---- resources cut short -------------------------------------------------------------
    {
        std::string table = OneBlock(1000, {Good1, Good2, Good3});
        size_t firstEnd = 16 + MakeEntry(Good1).size();
        add("CutInsideSecondEntry", FileKind::Table, table.substr(0, firstEnd + 6), {Good("A1000", 1)});
        add("CutInsideSecondEntryHeader", FileKind::Table, table.substr(0, firstEnd + 3), {Good("A1000", 1)});
        add("CutInsideFirstEntry", FileKind::Table, table.substr(0, 16 + 5), {});
        add("CutAfterBlockHeaders", FileKind::Table, table.substr(0, 16), {});
    }
    add("CutInsideSecondBlockHeader", FileKind::Table,
        U32(2) + BlockHeader(1000, 1000, 28) + BlockHeader(2000, 2000, 28).substr(0, 6), {});
    add("OnlyTheBlockCount", FileKind::Table, U32(1), {});
    add("TwoBytes", FileKind::Table, std::string("\x01\x00", 2), {});
    add("ZeroBlocks", FileKind::Table, U32(0) + MakeEntry(Good1), {});

    // ---- offsets outside the resource ------------------------------------------------------
    add("BlockOffsetFarOutside", FileKind::Table, U32(1) + BlockHeader(1000, 1001, 0x7FFFFFF0), {});
    add("BlockOffsetAllOnes", FileKind::Table, U32(1) + BlockHeader(1000, 1000, 0xFFFFFFFF) + MakeEntry(Good1), {});
    add("BlockOffsetJustPastTheEnd", FileKind::Table,
        U32(1) + BlockHeader(1000, 1000, 16 + (DWORD)MakeEntry(Good1).size()) + MakeEntry(Good1), {});
    // The count's own bytes read as an entry: length 1, too short for a header.
    add("BlockOffsetZero", FileKind::Table, U32(1) + BlockHeader(1000, 1000, 0) + MakeEntry(Good1), {});
    // A later block pointing outside ends the walk; what came before stays listed.
    add("SecondBlockOffsetOutside", FileKind::Table,
        U32(2) + BlockHeader(1000, 1000, 28) + BlockHeader(2000, 2000, 0x10000) + MakeEntry(Good1), {Good("A1000", 1)});

    // ---- counts and ranges that overflow -----------------------------------------------
    // HighId far below LowId: the range "wraps" to four billion entries; the walk must
    // stop at the end of the bytes. The system formatter finds neither id in the block's
    // range, so neither can be shown.
    add("HighIdBelowLowId", FileKind::Table,
        U32(1) + BlockHeader(1000, 5, 16) + MakeEntry(Good1) + MakeEntry(Good2),
        {Unreadable("A1000"), Unreadable("A1001")});
    add("EmptyRangeThenBlock", FileKind::Table,
        U32(2) + BlockHeader(1000, 999, 28) + BlockHeader(2000, 2000, 28) + MakeEntry(Good1), {Good("A2000", 1)});
    // Twelve zero bytes stand where the second block header would be: a block 0..0 at
    // offset 0, whose "entry" is the count itself and far too long.
    add("BlockCountAllOnes", FileKind::Table,
        U32(0xFFFFFFFF) + BlockHeader(1000, 1000, 28) + std::string(12, '\0') + MakeEntry(Good1), {Good("A1000", 1)});
    add("BlockCountAllOnesNothingElse", FileKind::Table, U32(0xFFFFFFFF), {});
    add("IdsWrapPastTheTop", FileKind::Table,
        U32(1) + BlockHeader(0xFFFFFFFF, 0, 16) + MakeEntry(Good1) + MakeEntry(Good2),
        {Unreadable("A-1"), Unreadable("A0")});
    add("NegativeIds", FileKind::Table, OneBlock(0xFFFFFFFE, {Good1, Good2}), {Good("A-2", 1), Good("A-1", 2)});
    add("DuplicateIdsInTwoBlocks", FileKind::Table,
        MakeMessageTable({{1000, {MakeEntry(Good1)}}, {1000, {MakeEntry(Good2)}}}),
        // The formatter takes the first block holding the id for both.
        {Good("A1000", 1), Good("A1000", 1)});

    // ---- entry lengths ---------------------------------------------------------------------
    add("EntryLengthZero", FileKind::Table,
        U32(1) + BlockHeader(1000, 1001, 16) + MakeEntry(Good1) + RawEntry(0, 0, ""), {Good("A1000", 1)});
    add("EntryLengthZeroAlone", FileKind::Table, U32(1) + BlockHeader(1000, 1000, 16) + RawEntry(0, 0, ""), {});
    add("EntryLengthTwo", FileKind::Table, U32(1) + BlockHeader(1000, 1000, 16) + RawEntry(2, 0, "1 x\x95"), {});
    add("EntryLengthBeyondTheResource", FileKind::Table,
        U32(1) + BlockHeader(1000, 1002, 16) + MakeEntry(Good1) + RawEntry(0xFFF0, 0, "1 long\x95\r\nd") +
            MakeEntry(Good3),
        {Good("A1000", 1)});
    add("FirstEntryLengthBeyondTheResource", FileKind::Table,
        U32(1) + BlockHeader(1000, 1000, 16) + RawEntry(0x7FFF, 0, Good1 + '\0'), {});
    // A zero word before an entry: the walk lists the entry two bytes on, but the system
    // formatter reads the zero as the entry's length, so its text cannot be had.
    add("ZeroWordBeforeEntry", FileKind::Table,
        U32(1) + BlockHeader(1000, 1001, 16) + MakeEntry(Good1) + U16(0) + MakeEntry(Good2),
        {Good("A1000", 1), Unreadable("A1001")});
    add("TextWithoutZeroInsideItsEntry", FileKind::Table,
        U32(1) + BlockHeader(1000, 1000, 16) + RawEntry(4 + 12, 0, "1 ab\x95\r\ncdefgh"), {Unreadable("A1000")});
    add("Utf16EntryEndsItsBlock", FileKind::Table,
        MakeMessageTable({{1000, {MakeEntry(Good1), MakeUtf16Entry("1 wide\x95\r\nw"), MakeEntry(Good2)}},
                          {2000, {MakeEntry(Good3)}}}),
        {Good("A1000", 1), Good("A2000", 3)});

    // ---- files that are not message modules ------------------------------------------------
    add("NoMessageTable", FileKind::NoTable, "", {});
    {
        std::string text;
        for (int i = 0; i < 100; ++i)
            text += "This file is plain text and no module at all.\r\n";
        add("PlainTextFile", FileKind::RawFile, text, {});
    }
    add("OnlyAnMzHeader", FileKind::RawFile, "MZ" + std::string(62, '\0'), {});
    add("ZeroLengthFile", FileKind::RawFile, "", {});

    // ---- insert sequences: a text that holds one is shown with its inserts as they stand --
    add("InsertSequences", FileKind::Table,
        OneBlock(1000, {"1 bad %1 operand\x95\r\nsee %2!s! here",
                        "2 wide %1!*s! end\x95\r\nx",
                        "3 far %99 insert\x95\r\ny",
                        "4 %%1 literal\x95\r\nz",
                        "5 cut%0 here\x95\r\nnever"}),
        {{"A1000", "Fatal", "bad %1 operand", "see %2!s! here"},
         // A width taken from an argument would have been the address of an empty text.
         {"A1001", "Non Fatal", "wide %1!*s! end", "x"},
         {"A1002", "Warning", "far %99 insert", "y"},
         {"A1003", "Warning (Level1)", "%1 literal", "z"},
         {"A1004", "Warning (Level2)", "cut", ""}});

    // ---- message texts of odd shapes ------------------------------------------------------
    add("TextWithoutBullet", FileKind::Table, OneBlock(1000, {"1 just an error"}),
        {{"A1000", "Fatal", "just an error", ""}});
    add("ShortTexts", FileKind::Table, OneBlock(1000, {"", "1", "1 "}),
        {{"A1000", "", "", ""}, {"A1001", "Fatal", "", ""}, {"A1002", "Fatal", "", ""}});
    add("TextEndsAtItsBullet", FileKind::Table, OneBlock(1000, {"1 err\x95", "2 err\x95\r", "3 err\x95\r\n"}),
        {{"A1000", "Fatal", "err", ""}, {"A1001", "Non Fatal", "err", ""}, {"A1002", "Warning", "err", ""}});
    add("FirstByteNotADigit", FileKind::Table, OneBlock(1000, {"x err\x95\r\ndesc", "\x95 b\x95\r\nd", "A"}),
        {{"A1000", "", "err", "desc"}, {"A1001", "", "b", "d"}, {"A1002", "", "", ""}});
    add("BulletAsSeparator", FileKind::Table, OneBlock(1000, {"1\x95rest of it"}),
        {{"A1000", "Fatal", "rest of it", ""}});
    return cases;
}

// ---- driving the built add-in -----------------------------------------------------------

std::string ModulePath(const std::string &folder) { return folder + "ML.dll"; }

bool WriteCase(const HostileModule &c, const std::string &folder)
{
    switch (c.Kind) {
    case FileKind::Table:
        return WriteMessageModule(ModulePath(folder), c.Bytes);
    case FileKind::NoTable:
        return WriteModuleWithoutTable(ModulePath(folder));
    default:
        return WriteBytes(ModulePath(folder), c.Bytes);
    }
}

// Every node that is not a root is an entry. (Walking the ~700 entries one cross-thread
// message at a time costs about a second under Wine; the count is one message.)
size_t CountEntries(HWND tree)
{
    size_t nodes = (size_t)SendMessageA(tree, TVM_GETCOUNT, 0, 0);
    return nodes - Children(tree, NULL).size();
}

std::vector<std::string> Sorted(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

class HostileModules : public ::testing::TestWithParam<HostileModule> {};

TEST_P(HostileModules, HostStaysUpAndShowsOnlyWhatCanBeRead)
{
    const HostileModule &c = GetParam();
    std::string folder = NewAddInFolder("hostile");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(WriteCase(c, folder)) << "could not write the module";

    TestHost host;
    ASSERT_TRUE(host.Create());
    AddIn addIn;
    ASSERT_TRUE(addIn.Open(folder + "Kestrel.dll"));
    EXPECT_EQ(addIn.WAAddInLoad(host.Handles, host.Features), 0);
    DWORD command = host.NextMenuId - 1;

    int result = -1;
    RunModal([&] { result = addIn.FrameWindowProc(host.Main, WM_COMMAND, command, 0); },
             [&] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL) << "the lookup window did not open";
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                 EXPECT_EQ(Children(tree, NULL).size(), 8u);
                 HTREEITEM ml = FindChild(tree, NULL, "ML");
                 ASSERT_NE(ml, (HTREEITEM)NULL);

                 std::vector<std::string> listed, expected;
                 std::vector<HTREEITEM> items = Children(tree, ml);
                 for (HTREEITEM item : items)
                     listed.push_back(ItemText(tree, item));
                 for (const Shown &shown : c.Entries)
                     expected.push_back(shown.Label);
                 EXPECT_EQ(Sorted(listed), Sorted(expected));

                 // Every listed entry, duplicates included, in the tree's own order.
                 std::vector<Shown> pending = c.Entries;
                 for (HTREEITEM item : items) {
                     Select(tree, item);
                     std::string label = ItemText(tree, item);
                     Shown got{label, ControlText(window, IDC_TYPE), ControlText(window, IDC_ERROR),
                               ControlText(window, IDC_DESCRIPTION)};
                     EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), label);
                     auto match = std::find_if(pending.begin(), pending.end(),
                                               [&](const Shown &s) { return s.Label == label; });
                     if (match == pending.end()) {
                         ADD_FAILURE() << label << " is listed but not expected";
                         continue;
                     }
                     EXPECT_EQ(got.Type, match->Type) << label;
                     EXPECT_EQ(got.Error, match->Error) << label;
                     EXPECT_EQ(got.Description, match->Description) << label;
                     pending.erase(match);
                 }

                 // The About window counts what the tree holds, the real modules included.
                 size_t entries = CountEntries(tree);
                 PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUT, 0);
                 HWND about = WaitForWindow("About Kestrel");
                 ASSERT_NE(about, (HWND)NULL) << "the About window did not open";
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_TOTAL), std::to_string(entries));
                 PostMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(window, WM_NULL, 0, 0);
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    EXPECT_EQ(result, 1);

    addIn.WAAddInUnload();
    addIn.Close();
    host.Destroy();
    // The module was released after every use: it can be replaced again at once.
    EXPECT_TRUE(DeleteFileA(ModulePath(folder).c_str())) << GetLastError();
    RemoveTree(folder);
}

void PrintTo(const HostileModule &c, std::ostream *out) { *out << c.Name; }

std::string CaseName(const ::testing::TestParamInfo<HostileModule> &info)
{
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileModules, ::testing::ValuesIn(Cases()), CaseName);

} // namespace
