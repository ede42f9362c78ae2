// tests/wine/CatalogueTest.cpp
// The catalogue on real controls: categories and entries in a tree-view, the details of one
// entry in real static and edit controls, finding a code, and the number field's filter.
// Module sets the compiler cannot produce are written into a temp folder; the catalogue
// routines are then driven on a tree of this test's own, with AddInFolder pointing there.
#include <gtest/gtest.h>
#include "catalogue/CatalogueLoading.h"
#include "catalogue/CodeLookup.h"
#include "catalogue/ErrorDetails.h"
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

namespace {

const char *const SortedCategories[8] = {
    "CVTRES", "H2INC", "LINK\\LIB\\DUMPBIN\\EDITBIN", "MIDL", "ML", "NMAKE",
    "RC (\"C\" Errors)", "RC (\"W\" Errors)",
};
const char *const MlCategory = "ML";
const char *const RcCategory = "RC (\"C\" Errors)";
const char *const RwCategory = "RC (\"W\" Errors)";

void SetAddInFolder(const std::string &folder)
{
    ASSERT_LT(folder.size(), sizeof AddInFolder);
    ZeroMemory(AddInFolder, sizeof AddInFolder);
    CopyMemory(AddInFolder, folder.data(), folder.size());
}

int SelectionChanges = 0;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)
            ++SelectionChanges;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window holding a catalogue tree and the three detail fields, wired into the add-in's
// process-wide handles as the lookup window would wire its own.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartLinkedAddIn();
        INITCOMMONCONTROLSEX controls;
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_TREEVIEW_CLASSES;
        InitCommonControlsEx(&controls);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "KestrelCatalogueTestParent";
        RegisterClassA(&windowClass);
        HINSTANCE instance = GetModuleHandleA(NULL);
        parent_ = CreateWindowExA(0, "KestrelCatalogueTestParent", "catalogue", WS_OVERLAPPEDWINDOW, 0, 0,
                                  900, 600, NULL, NULL, instance, NULL);
        ASSERT_NE(parent_, (HWND)NULL);
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                                    TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                0, 0, 250, 550, parent_, (HMENU)IDC_CATALOGUE_TREE, instance, NULL);
        ASSERT_NE(tree_, (HWND)NULL);
        CatalogueTree = tree_;
        TypeField = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 260, 0, 300, 20, parent_,
                                    (HMENU)IDC_TYPE, instance, NULL);
        ErrorField = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 260, 25, 600, 40, parent_,
                                     (HMENU)IDC_ERROR, instance, NULL);
        DescriptionField = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "",
                                           WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL,
                                           260, 70, 600, 300, parent_, (HMENU)IDC_DESCRIPTION, instance, NULL);
        SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)SharedImageList);
        SelectionChanges = 0;
    }

    void TearDown() override
    {
        if (parent_ != NULL)
            DestroyWindow(parent_);
        CatalogueTree = TypeField = ErrorField = DescriptionField = NULL;
        ZeroMemory(MainCategories, sizeof MainCategories);
        if (!folder_.empty())
            RemoveTree(folder_);
    }

    // A temp add-in folder with the given modules (by ToolTable row) and no others.
    void UseModules(const std::vector<std::pair<int, std::string>> &tables)
    {
        folder_ = NewTempFolder("cat");
        ASSERT_FALSE(folder_.empty());
        for (const auto &module : tables)
            ASSERT_TRUE(WriteMessageModule(folder_ + ModuleNames[module.first - 1], module.second))
                << ModuleNames[module.first - 1];
        SetAddInFolder(folder_);
    }

    void BuildCatalogue()
    {
        InsertToolCategories(CategoryVariantMain, tree_);
        LoadToolModules();
    }

    std::vector<std::string> Labels(const char *category)
    {
        std::vector<std::string> labels;
        HTREEITEM node = FindChild(tree_, NULL, category);
        if (node == NULL) {
            ADD_FAILURE() << "no category " << category;
            return labels;
        }
        for (HTREEITEM entry : Children(tree_, node))
            labels.push_back(ItemText(tree_, entry));
        return labels;
    }

    TVITEMA Item(HTREEITEM item)
    {
        TVITEMA data = {};
        data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
        data.hItem = item;
        SendMessageA(tree_, TVM_GETITEMA, 0, (LPARAM)&data);
        return data;
    }

    HTREEITEM Caret() { return (HTREEITEM)SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0); }

    struct Details {
        std::string Type, Error, Description;
    };
    Details ShowDetails(const char *category, const std::string &label)
    {
        HTREEITEM entry = FindEntry(tree_, category, label);
        EXPECT_NE(entry, (HTREEITEM)NULL) << label;
        HTREEITEM parent = (HTREEITEM)SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)entry);
        ShowErrorDetails(parent, (DWORD)ItemParam(tree_, entry));
        return {Text(TypeField), Text(ErrorField), Text(DescriptionField)};
    }

    HWND parent_ = NULL;
    HWND tree_ = NULL;
    std::string folder_;
};

// ---- categories and entries ---------------------------------------------------------

TEST_F(CatalogueTest, EightCategoriesInSortedOrderWithTheExeImage)
{
    UseModules({}); // no modules at all: the categories stand empty
    BuildCatalogue();
    std::vector<HTREEITEM> roots = Children(tree_, NULL);
    ASSERT_EQ(roots.size(), 8u);
    for (size_t i = 0; i < roots.size(); ++i) {
        EXPECT_EQ(ItemText(tree_, roots[i]), SortedCategories[i]);
        EXPECT_EQ(Item(roots[i]).iImage, 0) << SortedCategories[i];
        EXPECT_TRUE(Children(tree_, roots[i]).empty()) << SortedCategories[i];
    }
    // The main set holds each row's own node.
    for (int row = 1; row <= ToolCount; ++row)
        EXPECT_EQ(ItemText(tree_, MainCategories[row]), ToolTable[row - 1].CategoryText) << "row " << row;
}

TEST_F(CatalogueTest, RealModulesGiveEntriesWithTheTxtImageAndTheirIds)
{
    SetAddInFolder(BinFolder());
    BuildCatalogue();
    size_t total = 0;
    for (int row = 1; row <= ToolCount; ++row) {
        const ToolEntry &tool = ToolTable[row - 1];
        std::vector<HTREEITEM> entries = Children(tree_, MainCategories[row]);
        EXPECT_FALSE(entries.empty()) << tool.CategoryText;
        std::string previous;
        for (HTREEITEM entry : entries) {
            TVITEMA item = Item(entry);
            std::string label = ItemText(tree_, entry);
            EXPECT_EQ(item.iImage, 1) << label;
            EXPECT_EQ(item.iSelectedImage, 1) << label;
            EXPECT_EQ(label, tool.LabelPrefix + std::to_string((int)item.lParam)) << "parameter " << item.lParam;
            if (!previous.empty()) {
                EXPECT_LT(lstrcmpiA(previous.c_str(), label.c_str()), 0) << previous << " then " << label;
            }
            previous = label;
        }
        total += entries.size();
    }
    EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), (LRESULT)(total + 8));
    HTREEITEM a2008 = FindEntry(tree_, MlCategory, "A2008");
    ASSERT_NE(a2008, (HTREEITEM)NULL);
    EXPECT_EQ(ItemParam(tree_, a2008), 2008);
}

// Message tables the compiler would never write, and the ML entries each must give.
struct TableCase {
    const char *Name;
    std::vector<TableBlock> Blocks;
    std::vector<std::string> Labels; // in tree order
};

TEST_F(CatalogueTest, MessageTableWalk)
{
    const std::string E = MakeEntry("2 Text\x95\r\nMore.");
    const std::string U = MakeUtf16Entry("2 Wide\x95\r\nMore.");
    const std::string Zero = std::string(2, '\0') + E;
    const TableCase cases[] = {
        {"a block of three", {{1000, {E, E, E}}}, {"A1000", "A1001", "A1002"}},
        {"labels sort as text", {{4000, {E}}, {2004, {E}}, {1000, {E, E}}, {10000, {E}}},
         {"A1000", "A10000", "A1001", "A2004", "A4000"}},
        {"a UTF-16 second entry ends its block", {{500, {E, U, E}}, {600, {E, E}}}, {"A500", "A600", "A601"}},
        {"a UTF-16 first entry leaves its block out", {{500, {U, E}}, {600, {E}}}, {"A600"}},
        {"a leading zero word", {{700, {Zero, E}}, {710, {E}}}, {"A700", "A701", "A710"}},
        {"HighId one below LowId", {{800, {}}, {900, {E}}}, {"A900"}},
        {"no blocks", {}, {}},
    };
    for (const TableCase &test : cases) {
        SCOPED_TRACE(test.Name);
        UseModules({{1, MakeMessageTable(test.Blocks)}});
        SendMessageA(tree_, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
        BuildCatalogue();
        EXPECT_EQ(Labels(MlCategory), test.Labels);
        for (const std::string &label : test.Labels)
            EXPECT_EQ(ItemParam(tree_, FindEntry(tree_, MlCategory, label)), std::stol(label.substr(1)));
        EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), (LRESULT)(8 + test.Labels.size()));
        RemoveTree(folder_);
        folder_.clear();
    }
}

// Ids the compiler never writes: negative labels (top bit set), one to ten digits, and
// blocks that overlap so that one id is walked twice.
const std::vector<TableBlock> UnusualIds(const std::string &entry)
{
    return {{0xFFFFFFF0, {entry, entry}}, {7, {entry}}, {70, {entry}}, {9, {entry, entry}},
            {100000, {entry}}, {10, {entry}}, {0, {entry}}, {0x80000000, {entry}}, {2147483647, {entry}}};
}

// The labels in the order the walk meets them.
std::vector<std::pair<std::string, LPARAM>> WalkOrder(const std::vector<TableBlock> &blocks)
{
    std::vector<std::pair<std::string, LPARAM>> labels;
    for (const TableBlock &block : blocks)
        for (DWORD i = 0; i < block.Entries.size(); ++i) {
            DWORD id = block.LowId + i;
            labels.emplace_back("A" + std::to_string((int32_t)id), (LPARAM)id);
        }
    return labels;
}

std::vector<std::pair<std::string, LPARAM>> ChildLabels(HWND tree, HTREEITEM parent)
{
    std::vector<std::pair<std::string, LPARAM>> labels;
    for (HTREEITEM entry : Children(tree, parent))
        labels.emplace_back(ItemText(tree, entry), ItemParam(tree, entry));
    return labels;
}

TEST_F(CatalogueTest, EntriesStandWhereSortedInsertionInWalkOrderPutsThem)
{
    const std::vector<TableBlock> blocks = UnusualIds(MakeEntry("2 Text\x95\r\nMore."));
    UseModules({{1, MakeMessageTable(blocks)}});
    BuildCatalogue();

    HWND reference = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 100, 100, parent_, NULL, NULL, NULL);
    ASSERT_NE(reference, (HWND)NULL);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = (LPSTR) "ML";
    HTREEITEM ml = (HTREEITEM)SendMessageA(reference, TVM_INSERTITEMA, 0, (LPARAM)&insert);
    for (const auto &label : WalkOrder(blocks)) {
        insert.hParent = ml;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = (LPSTR)label.first.c_str();
        insert.item.lParam = label.second;
        SendMessageA(reference, TVM_INSERTITEMA, 0, (LPARAM)&insert);
    }
    std::vector<std::pair<std::string, LPARAM>> expected = ChildLabels(reference, ml);
    DestroyWindow(reference);

    EXPECT_EQ(ChildLabels(tree_, MainCategories[1]), expected);
    EXPECT_EQ(expected.size(), 11u);
}

TEST_F(CatalogueTest, FindErrorCodeSelectsTheFirstMatchingEntryInTreeOrder)
{
    UseModules({{1, MakeMessageTable(UnusualIds(MakeEntry("2 Text\x95\r\nMore."))),},
                {4, MakeMessageTable({{1104, {MakeEntry("1 Cannot open\x95\r\nHeld.")}}})}});
    BuildCatalogue();
    // The overlapping blocks list id 10 twice: two A10 nodes, and Find takes the first.
    std::vector<HTREEITEM> a10;
    for (HTREEITEM entry : Children(tree_, MainCategories[1]))
        if (ItemText(tree_, entry) == "A10")
            a10.push_back(entry);
    ASSERT_EQ(a10.size(), 2u);
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, (LPARAM)a10[1]);
    EXPECT_NE(FindErrorCode("a10"), 0);
    EXPECT_EQ(Caret(), a10[0]);

    const char *const codes[] = {"A-16", "a-15", "A10", "A9", "A0", "A-2147483648", "A2147483647", "A100000",
                                 "lnk1104", "A-0", "A010", "A1", "LNK", "A-17", ""};
    std::vector<std::string> found;
    for (const char *code : codes) {
        SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, (LPARAM)MainCategories[1]);
        found.push_back(FindErrorCode(code) ? ItemText(tree_, Caret()) : std::string("none"));
    }
    const std::vector<std::string> expected = {"A-16", "A-15", "A10", "A9", "A0", "A-2147483648", "A2147483647",
                                               "A100000", "LNK1104", "none", "none", "none", "none", "none", "none"};
    EXPECT_EQ(found, expected);
}

TEST_F(CatalogueTest, ModulesThatCannotBeReadLeaveTheirCategoryEmpty)
{
    UseModules({{3, MakeMessageTable({{1077, {MakeEntry("1 Kept\x95\r\nYes.")}}})}});
    ASSERT_TRUE(WriteModuleWithoutTable(folder_ + "ML.dll"));
    ASSERT_TRUE(WriteBytes(folder_ + "rcc.dll", "this is no module at all"));
    BuildCatalogue();
    EXPECT_TRUE(Labels(MlCategory).empty());
    EXPECT_TRUE(Labels(RcCategory).empty());
    EXPECT_TRUE(Labels("LINK\\LIB\\DUMPBIN\\EDITBIN").empty());
    EXPECT_EQ(Labels("NMAKE"), std::vector<std::string>{"U1077"});
}

TEST_F(CatalogueTest, BothRcModulesGiveTheirOwnLabelAndTextForTheSameId)
{
    UseModules({{5, MakeMessageTable({{1004, {MakeEntry("1 From the C module\x95\r\nC side.")}}})},
                {6, MakeMessageTable({{1004, {MakeEntry("3 From the W module\x95\r\nW side.")}}})}});
    BuildCatalogue();
    EXPECT_EQ(Labels(RcCategory), std::vector<std::string>{"RC1004"});
    EXPECT_EQ(Labels(RwCategory), std::vector<std::string>{"RW1004"});
    Details c = ShowDetails(RcCategory, "RC1004");
    EXPECT_EQ(c.Type, "Fatal");
    EXPECT_EQ(c.Error, "From the C module");
    EXPECT_EQ(c.Description, "C side.");
    Details w = ShowDetails(RwCategory, "RW1004");
    EXPECT_EQ(w.Type, "Warning");
    EXPECT_EQ(w.Error, "From the W module");
    EXPECT_EQ(w.Description, "W side.");
}

// ---- details ---------------------------------------------------------------------------

struct DetailsCase {
    const char *Text;
    const char *Type, *Error, *Description;
};

TEST_F(CatalogueTest, DetailsSplitTheMessageText)
{
    const DetailsCase cases[] = {
        {"1 Bad operand\x95\r\nOne sentence.", "Fatal", "Bad operand", "One sentence."},
        {"2 Kind 2\x95\r\nText 2", "Non Fatal", "Kind 2", "Text 2"},
        {"3 Kind 3\x95\r\nText 3", "Warning", "Kind 3", "Text 3"},
        {"4 Kind 4\x95\r\nText 4", "Warning (Level1)", "Kind 4", "Text 4"},
        {"5 Kind 5\x95\r\nText 5", "Warning (Level2)", "Kind 5", "Text 5"},
        {"6 Kind 6\x95\r\nText 6", "Warning (Level3)", "Kind 6", "Text 6"},
        {"7 Kind 7\x95\r\nText 7", "Warning (Level4)", "Kind 7", "Text 7"},
        {"8 Kind 8\x95\r\nText 8", "Warning (Level1,4)", "Kind 8", "Text 8"},
        {"9 Kind 9\x95\r\nText 9", "Preprocessor", "Kind 9", "Text 9"},
        {"0 Kind 0\x95\r\nText 0", "Compiler", "Kind 0", "Text 0"},
        {"2 \x95\r\nThe bullet right after the separator.", "Non Fatal", "", "The bullet right after the separator."},
        {"3 Lines\x95\r\nLine one\r\nLine two\r\n\r\nLine four", "Warning", "Lines", "Line one\r\nLine two\r\n\r\nLine four"},
        // Insert sequences get empty texts: nothing faults, nothing is shown for them.
        {"2 Insert %1 here\x95\r\nAnd %2!s! there.", "Non Fatal", "Insert %1 here", "And %2!s! there."},
    };
    const DWORD FirstId = 3000;
    TableBlock block{FirstId, {}};
    for (const DetailsCase &test : cases)
        block.Entries.push_back(MakeEntry(test.Text));
    UseModules({{1, MakeMessageTable({block})}});
    BuildCatalogue();
    ASSERT_EQ(Labels(MlCategory).size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const DetailsCase &test = cases[i];
        SCOPED_TRACE(test.Text);
        SetWindowTextA(TypeField, "stale");
        SetWindowTextA(ErrorField, "stale");
        SetWindowTextA(DescriptionField, "stale");
        Details shown = ShowDetails(MlCategory, "A" + std::to_string(FirstId + i));
        EXPECT_EQ(shown.Type, test.Type);
        EXPECT_EQ(shown.Error, test.Error);
        EXPECT_EQ(shown.Description, test.Description);
    }
    // The description with line breaks is shown over four lines of the field.
    ShowDetails(MlCategory, "A3011");
    EXPECT_EQ(SendMessageA(DescriptionField, EM_GETLINECOUNT, 0, 0), 4);
}

TEST_F(CatalogueTest, DetailsOfRealEntries)
{
    SetAddInFolder(BinFolder());
    BuildCatalogue();
    Details a2008 = ShowDetails(MlCategory, "A2008");
    EXPECT_EQ(a2008.Type, "Non Fatal");
    EXPECT_EQ(a2008.Error, "syntax error :");
    EXPECT_FALSE(a2008.Description.empty());
    // The same number in the two RC modules: two modules, two texts.
    Details rc = ShowDetails(RcCategory, "RC1004");
    Details rw = ShowDetails(RwCategory, "RW1004");
    EXPECT_EQ(rc.Error, "unexpected end of file found");
    EXPECT_EQ(rw.Error, "Unexpected end of file");
    EXPECT_NE(rc.Description, rw.Description);
}

// ---- finding a code --------------------------------------------------------------------

TEST_F(CatalogueTest, FindErrorCode)
{
    EXPECT_EQ(FindErrorCode("A2008"), 0) << "an empty tree finds nothing";
    SetAddInFolder(BinFolder());
    BuildCatalogue();
    const struct {
        const char *Code;
        const char *Found; // label of the entry selected, or nullptr
    } cases[] = {
        {"lnk1104", "LNK1104"},  {"LNK1104X", nullptr}, {" LNK1104", nullptr}, {"", nullptr},
        {"A2008", "A2008"},      {"a2008", "A2008"},    {"ML", nullptr},        {"A20080", nullptr},
        {"midl2025", "MIDL2025"}, {"CVTRES", nullptr},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(std::string("code \"") + test.Code + "\"");
        HTREEITEM before = Caret();
        SelectionChanges = 0;
        LRESULT result = FindErrorCode(test.Code);
        if (test.Found == nullptr) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(Caret(), before);
            EXPECT_EQ(SelectionChanges, 0);
            continue;
        }
        EXPECT_NE(result, 0);
        ASSERT_NE(Caret(), (HTREEITEM)NULL);
        EXPECT_EQ(ItemText(tree_, Caret()), test.Found);
        EXPECT_EQ(SelectionChanges, before == Caret() ? 0 : 1);
    }
    // The entry that is already selected: found again, without a selection change.
    ASSERT_NE(FindErrorCode("LNK1104"), 0);
    SelectionChanges = 0;
    EXPECT_NE(FindErrorCode("lnk1104"), 0);
    EXPECT_EQ(SelectionChanges, 0);
    EXPECT_EQ(ItemText(tree_, Caret()), "LNK1104");
}

// ---- the lookup window's number field ---------------------------------------------------

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(NULL))
        return "<no clipboard>";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char *chars = data == NULL ? NULL : (const char *)GlobalLock(data);
    if (chars != NULL) {
        text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

bool SetClipboardText(const std::string &text)
{
    if (!OpenClipboard(NULL))
        return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char *chars = (char *)GlobalLock(block);
    CopyMemory(chars, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    bool ok = SetClipboardData(CF_TEXT, block) != NULL;
    CloseClipboard();
    return ok;
}

TEST(LookupNumberField, LetsOnlyCodeCharactersThrough)
{
    StartLinkedAddIn();
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND field = GetDlgItem(window, IDC_ERROR_NUMBER);
                 const std::string allowed = "0123456789ACDHIKLMNRTUVWacdhiklmnrtuvw";
                 ASSERT_EQ(allowed.size() + 1, 39u); // and backspace
                 for (char c : allowed) {
                     SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"");
                     TypeChars(field, std::string(1, c));
                     EXPECT_EQ(Text(field), std::string(1, (char)toupper((unsigned char)c)))
                         << "typed '" << c << "'";
                 }
                 SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"12");
                 SendMessageA(field, EM_SETSEL, 2, 2);
                 TypeChars(field, "\b");
                 EXPECT_EQ(Text(field), "1") << "backspace";

                 for (int c = 32; c < 256; ++c) {
                     if (allowed.find((char)c) != std::string::npos)
                         continue;
                     SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"");
                     TypeChars(field, std::string(1, (char)c));
                     EXPECT_EQ(Text(field), "") << "character code " << c;
                 }

                 // Ctrl+V, Ctrl+C and Ctrl+X arrive as characters 22, 3 and 24.
                 ASSERT_TRUE(SetClipboardText("9"));
                 SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"");
                 TypeChars(field, "\x16");
                 EXPECT_EQ(Text(field), "") << "Ctrl+V";
                 SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"12");
                 SendMessageA(field, EM_SETSEL, 0, -1);
                 TypeChars(field, "\x03");
                 EXPECT_EQ(ClipboardText(), "9") << "Ctrl+C";
                 TypeChars(field, "\x18");
                 EXPECT_EQ(Text(field), "12") << "Ctrl+X";
                 // Pasting by other means than the keyboard still works.
                 SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"");
                 SendMessageA(field, WM_PASTE, 0, 0);
                 EXPECT_EQ(Text(field), "9") << "WM_PASTE";
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

// The same three characters do act on an edit control without the filter, so the checks
// above see the filter and not an edit control that ignores them.
TEST(LookupNumberField, ControlCharactersActOnAPlainEditControl)
{
    HWND edit = CreateWindowExA(0, "Edit", "", WS_POPUP, 0, 0, 200, 20, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(edit, (HWND)NULL);
    ASSERT_TRUE(SetClipboardText("9"));
    SendMessageA(edit, WM_CHAR, 0x16, 1);
    EXPECT_EQ(Text(edit), "9") << "Ctrl+V";
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)"12");
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, 0x03, 1);
    EXPECT_EQ(ClipboardText(), "12") << "Ctrl+C";
    SendMessageA(edit, WM_CHAR, 0x18, 1);
    EXPECT_EQ(Text(edit), "") << "Ctrl+X";
    DestroyWindow(edit);
}

TEST(LookupFind, EnterInAnEmptyNumberFieldSaysNotFoundAndClears)
{
    StartLinkedAddIn();
    const std::string notes = NotesFolderOf(BinFolder());
    RemoveTree(notes);
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "A2008"), std::string("a note\0", 7)));
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                 HWND field = GetDlgItem(window, IDC_ERROR_NUMBER);
                 Select(tree, FindEntry(tree, MlCategory, "A2008"));
                 ASSERT_EQ(ControlText(window, IDC_TYPE), "Non Fatal");
                 ASSERT_EQ(ControlText(window, IDC_NOTE), "a note");
                 ASSERT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                 ASSERT_TRUE(Enabled(window, IDC_DELETE_NOTE));

                 SendMessageA(field, WM_SETTEXT, 0, (LPARAM)"");
                 SetForegroundWindow(window);
                 PostMessageA(field, WM_KEYDOWN, VK_RETURN, 1);
                 HWND box = WaitForMessageBox();
                 ASSERT_NE(box, (HWND)NULL);
                 EXPECT_EQ(MessageBoxText(box),
                           "Could not find error number\r\n\r\nPlease check the error number and try again");
                 AnswerMessageBox(box, IDOK);
                 SendMessageA(window, WM_NULL, 0, 0);

                 for (int id : {IDC_TYPE, IDC_ERROR, IDC_DESCRIPTION, IDC_NOTE})
                     EXPECT_EQ(ControlText(window, id), "") << "field " << id;
                 EXPECT_FALSE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 EXPECT_EQ(FocusOf(window), field);
                 EXPECT_TRUE(Exists(NoteFileOf(BinFolder(), "A2008"))) << "a failed Find touches no note";
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    RemoveTree(notes);
}

TEST(LookupCatalogue, EveryOpeningBuildsTheSameCatalogue)
{
    StartLinkedAddIn();
    std::vector<std::string> openings[2];
    for (auto &labels : openings) {
        RunModal([] { OpenLookupWindow(NULL, NULL); },
                 [&labels] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                     for (HTREEITEM category : Children(tree, NULL)) {
                         labels.push_back(ItemText(tree, category));
                         for (HTREEITEM entry : Children(tree, category))
                             labels.push_back(ItemText(tree, entry));
                     }
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
    }
    EXPECT_GT(openings[0].size(), 8u);
    EXPECT_EQ(openings[0], openings[1]);
}

// The built add-in, loaded by a host from a folder of its own, reads the modules beside it.
TEST(LookupCatalogue, TheLoadedAddInReadsTheModulesBesideIt)
{
    const std::string folder = NewAddInFolder("cat-e2e", false);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(WriteMessageModule(folder + "ML.dll",
                                   MakeMessageTable({{1000, {MakeEntry("1 Bad operand\x95\r\nOne sentence."),
                                                             MakeUtf16Entry("2 Wide\x95\r\nLeft out.")}},
                                                     {10000, {MakeEntry("3 Five digits\x95\r\nShown.")}}})));
    ASSERT_TRUE(WriteMessageModule(folder + "rcw.dll",
                                   MakeMessageTable({{4003, {MakeEntry("3 Only here\x95\r\nW text.")}}})));
    TestHost host;
    AddIn addIn;
    ASSERT_TRUE(host.Create());
    ASSERT_TRUE(addIn.Open(folder + "Kestrel.dll"));
    ASSERT_EQ(addIn.WAAddInLoad(host.Handles, host.Features), 0);
    const DWORD command = host.NextMenuId - 1;
    RunModal([&] { addIn.FrameWindowProc(host.Main, WM_COMMAND, command, 0); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                 ASSERT_EQ(Children(tree, NULL).size(), 8u);
                 std::vector<std::string> ml;
                 for (HTREEITEM entry : Children(tree, FindChild(tree, NULL, MlCategory)))
                     ml.push_back(ItemText(tree, entry));
                 EXPECT_EQ(ml, (std::vector<std::string>{"A1000", "A10000"}));
                 EXPECT_NE(FindEntry(tree, RwCategory, "RW4003"), (HTREEITEM)NULL);
                 EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 8 + 3);

                 SetControlText(window, IDC_ERROR_NUMBER, "a1000");
                 SendCommand(window, IDC_FIND);
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "A1000");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal");
                 EXPECT_EQ(ControlText(window, IDC_ERROR), "Bad operand");
                 EXPECT_EQ(ControlText(window, IDC_DESCRIPTION), "One sentence.");
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    addIn.WAAddInUnload();
    addIn.Close();
    host.Destroy();
    RemoveTree(folder);
}

// ---- the real message modules -----------------------------------------------------------

TEST(RealModules, EachOpensAsDataWithMessageTableOne)
{
    for (const char *name : ModuleNames) {
        std::string path = BinFolder() + name;
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, (HMODULE)NULL) << name;
        EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11)), (HRSRC)NULL) << name;
        FreeLibrary(module);
    }
}

TEST(RealModules, SampleTextsFollowTheLayout)
{
    const struct {
        const char *Module;
        DWORD Id;
        char Type;
        const char *Error;
    } samples[] = {
        {"ML.dll", 2008, '2', "syntax error :"},
        {"link.dll", 1104, '1', "cannot open file 'filename'"},
        {"NMAKE.dll", 1077, '1', "'program' : return code 'value'"},
        {"rcc.dll", 2135, '2', "file not found: filename"},
        {"rcw.dll", 4003, '3', "SHIFT or CONTROL used without VIRTKEY"},
        {"CVTRES.dll", 1100, '1',
         "duplicate resource \x97 type:type, name:name, language:language, flags:flags, size:size"},
        {"midl.dll", 2025, '0', "syntax error"},
    };
    for (const auto &sample : samples) {
        SCOPED_TRACE(testing::Message() << sample.Module << " " << sample.Id);
        HMODULE module = LoadLibraryExA((BinFolder() + sample.Module).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, (HMODULE)NULL);
        char *buffer = NULL;
        DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE, module,
                                      sample.Id, 0, (LPSTR)&buffer, 1, NULL);
        FreeLibrary(module);
        ASSERT_GT(length, 0u) << "error " << GetLastError();
        std::string text(buffer, length);
        LocalFree(buffer);
        ASSERT_GE(text.size(), 5u);
        EXPECT_EQ(text[0], sample.Type);
        EXPECT_EQ(text[1], ' ');
        size_t bullet = text.find('\x95');
        ASSERT_NE(bullet, std::string::npos);
        EXPECT_EQ(text.substr(2, bullet - 2), sample.Error);
        EXPECT_EQ(text.substr(bullet + 1, 2), "\r\n");
        EXPECT_GT(text.size(), bullet + 3) << "a description follows";
    }
}

} // namespace
