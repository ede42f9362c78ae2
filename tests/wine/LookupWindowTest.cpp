// tests/wine/LookupWindowTest.cpp
// The lookup window driven as a user would: opening, Find, selections, the system menu,
// Escape and closing. The window runs modally on the test's main thread; the checks run
// on a second thread (harness::RunModal).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

namespace {

const char NotFoundText[] = "Could not find error number\r\n\r\nPlease check the error number and try again";
const std::vector<std::string> NoteCodes = {"LNK1104", "A2008"};

// Opens the lookup window on this thread with the sent messages recorded.
void OpenRecorded(const char *code)
{
    StartRecordingSent();
    OpenLookupWindow(NULL, code);
    StopRecordingSent();
}

HWND Item(HWND window, int id) { return GetDlgItem(window, id); }
HWND Tree(HWND window) { return GetDlgItem(window, IDC_CATALOGUE_TREE); }

HTREEITEM Selected(HWND window)
{
    return (HTREEITEM)SendMessageA(Tree(window), TVM_GETNEXTITEM, TVGN_CARET, 0);
}

std::string SelectedText(HWND window)
{
    HTREEITEM item = Selected(window);
    return item == NULL ? "" : ItemText(Tree(window), item);
}

// The four display fields, for "all empty" checks that name the one that was not.
std::vector<std::string> DisplayFields(HWND window)
{
    return {ControlText(window, IDC_TYPE), ControlText(window, IDC_ERROR), ControlText(window, IDC_DESCRIPTION),
            ControlText(window, IDC_NOTE)};
}
const std::vector<std::string> Empty4 = {"", "", "", ""};

void Sync(HWND window) { SendMessageA(window, WM_NULL, 0, 0); }

// Posted input is handled after any sent message, so a send cannot wait for it: poll.
bool WaitUntil(const std::function<bool()> &done, DWORD timeoutMs = 3000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

int CommandsSent(HWND window, int id, size_t from = 0)
{
    std::vector<SentMessage> sent = SentMessages();
    int count = 0;
    for (size_t i = from; i < sent.size(); ++i)
        if (sent[i].Window == window && sent[i].Message == WM_COMMAND && LOWORD(sent[i].WParam) == id)
            ++count;
    return count;
}

// Find with the number field as it stands, when it is expected to fail: answers the box
// and returns its text (empty when no box came).
std::string FindExpectingFailure(HWND window, std::string *caption = nullptr)
{
    PostCommand(window, IDC_FIND);
    HWND box = WaitForMessageBox();
    if (box == NULL)
        return "";
    std::string text = MessageBoxText(box);
    if (caption != nullptr)
        *caption = Text(box);
    AnswerMessageBox(box, IDOK);
    Sync(window);
    return text;
}

int MenuCheck(HWND window)
{
    return GetMenuState(GetSystemMenu(window, FALSE), 0, MF_BYPOSITION) & MF_CHECKED;
}

bool Topmost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

std::string MenuText(HMENU menu, int position)
{
    char text[64] = {0};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

class LookupWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartLinkedAddIn();
        RemoveNotes(BinFolder(), NoteCodes);
    }
    void TearDown() override { RemoveNotes(BinFolder(), NoteCodes); }
};

} // namespace

// ---- opening ----------------------------------------------------------------------

TEST_F(LookupWindow, OpensOnTheCatalogueWithEmptyFieldsAndItsSystemMenu)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND tree = Tree(window);
                 std::vector<HTREEITEM> roots = Children(tree, NULL);
                 ASSERT_EQ(roots.size(), 8u);
                 size_t entries = 0;
                 for (HTREEITEM root : roots)
                     entries += Children(tree, root).size();
                 EXPECT_GT(entries, 500u);
                 for (HTREEITEM root : roots)
                     if (ItemText(tree, root) != "H2INC") { // its module holds no messages
                         EXPECT_FALSE(Children(tree, root).empty()) << ItemText(tree, root);
                     }
                 EXPECT_EQ((size_t)SendMessageA(tree, TVM_GETCOUNT, 0, 0), roots.size() + entries);
                 EXPECT_NE(FindEntry(tree, LinkCategory, "LNK1104"), (HTREEITEM)NULL);
                 EXPECT_NE(FindEntry(tree, "ML", "A2008"), (HTREEITEM)NULL);

                 EXPECT_EQ(DisplayFields(window), Empty4);
                 EXPECT_FALSE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 EXPECT_EQ(FocusOf(window), Item(window, IDC_ERROR_NUMBER));

                 HMENU menu = GetSystemMenu(window, FALSE);
                 struct {
                     int Position;
                     UINT Id;
                     const char *Text;
                 } const items[] = {{0, IDM_ON_TOP, "On Top"}, {1, IDM_BROWSE_NOTES, "Browse Notes"}, {2, IDM_ABOUT, "About"}};
                 for (const auto &item : items) {
                     SCOPED_TRACE(item.Text);
                     EXPECT_EQ(MenuText(menu, item.Position), item.Text);
                     EXPECT_EQ(GetMenuItemID(menu, item.Position), item.Id);
                     EXPECT_EQ(GetMenuState(menu, item.Position, MF_BYPOSITION) & (MF_CHECKED | MF_SEPARATOR), 0u);
                 }
                 EXPECT_NE(GetMenuState(menu, 3, MF_BYPOSITION) & MF_SEPARATOR, 0u);
                 EXPECT_EQ(MenuCheck(window), 0);
                 EXPECT_FALSE(Topmost(window));
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, EnterInAnEmptyNumberFieldShowsTheNotFoundBox)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 std::string caption;
                 EXPECT_EQ(FindExpectingFailure(window, &caption), NotFoundText);
                 EXPECT_EQ(caption, "Error"); // the system's own caption
                 EXPECT_EQ(DisplayFields(window), Empty4);
                 EXPECT_FALSE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 EXPECT_EQ(FocusOf(window), Item(window, IDC_ERROR_NUMBER));
                 EXPECT_TRUE(IsWindowVisible(window));
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, TypedCodesAreFilteredAndUpperCased)
{
    struct Case {
        const char *Typed;
        const char *Shown;
    };
    static const Case cases[] = {
        {"lnk1104", "LNK1104"},
        {"a2008", "A2008"},
        {"lnk 1-104", "LNK1104"},      // blank and hyphen dropped
        {"rc2104", "RC2104"},
        {"midl2025", "MIDL2025"},
        {"xyz.b", ""},                 // letters outside the prefixes
        {"\x16\x03\x18" "a1", "A1"},   // Ctrl+V, Ctrl+C, Ctrl+X
        {"a20088\b", "A2008"},         // backspace passes
    };
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND field = Item(window, IDC_ERROR_NUMBER);
                 for (const Case &c : cases) {
                     SCOPED_TRACE(c.Typed);
                     SetControlText(window, IDC_ERROR_NUMBER, "");
                     TypeChars(field, c.Typed);
                     EXPECT_EQ(Text(field), c.Shown);
                 }
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, TypingAndEnterFindsAndSelectsTheEntry)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND field = Item(window, IDC_ERROR_NUMBER);
                 TypeChars(field, "lnk1104");
                 EXPECT_EQ(Text(field), "LNK1104");
                 SendCommand(window, IDC_FIND);
                 EXPECT_EQ(WaitForMessageBox(300), (HWND)NULL);
                 HTREEITEM selected = Selected(window);
                 ASSERT_NE(selected, (HTREEITEM)NULL);
                 EXPECT_EQ(selected, FindEntry(Tree(window), LinkCategory, "LNK1104"));
                 EXPECT_EQ(Text(field), "LNK1104");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal");
                 EXPECT_NE(ControlText(window, IDC_ERROR).find("cannot open"), std::string::npos)
                     << ControlText(window, IDC_ERROR);
                 EXPECT_NE(ControlText(window, IDC_DESCRIPTION), "");
                 EXPECT_EQ(ControlText(window, IDC_NOTE), "");
                 EXPECT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 EXPECT_EQ(FocusOf(window), Tree(window));
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

// The Enter key itself, through the dialog manager and the hidden default button.
TEST_F(LookupWindow, TheEnterKeyInTheNumberFieldIsFind)
{
    RunModal([] { OpenRecorded(NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND field = Item(window, IDC_ERROR_NUMBER);
                 ASSERT_EQ(FocusOf(window), field);
                 TypeChars(field, "a2008");
                 PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
                 PostMessageA(field, WM_KEYUP, VK_RETURN, 0xC01C0001);
                 EXPECT_TRUE(WaitUntil([window] { return CommandsSent(window, IDC_FIND) > 0; }));
                 Sync(window);
                 EXPECT_EQ(WaitForMessageBox(300), (HWND)NULL);
                 EXPECT_EQ(SelectedText(window), "A2008");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Non Fatal");
                 EXPECT_EQ(FocusOf(window), Tree(window));
                 EXPECT_EQ(CommandsSent(window, IDC_FIND), 1);
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, SelectingACategoryAfterAnEntryClearsTheFieldsAndButtons)
{
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), std::string("kept", 5)));
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND tree = Tree(window);
                 HTREEITEM entry = FindEntry(tree, LinkCategory, "LNK1104");
                 ASSERT_NE(entry, (HTREEITEM)NULL);
                 Select(tree, entry);
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "LNK1104");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal");
                 EXPECT_EQ(ControlText(window, IDC_NOTE), "kept");
                 EXPECT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_TRUE(Enabled(window, IDC_DELETE_NOTE));

                 Select(tree, FindChild(tree, NULL, "ML"));
                 EXPECT_EQ(DisplayFields(window), Empty4);
                 EXPECT_FALSE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "LNK1104");
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, AFailedFindAfterASuccessfulOneClearsAndSelectsTheNumber)
{
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), std::string("kept", 5)));
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND field = Item(window, IDC_ERROR_NUMBER);
                 SetControlText(window, IDC_ERROR_NUMBER, "LNK1104");
                 SendCommand(window, IDC_FIND);
                 ASSERT_EQ(ControlText(window, IDC_NOTE), "kept");
                 ASSERT_TRUE(Enabled(window, IDC_DELETE_NOTE));

                 SetControlText(window, IDC_ERROR_NUMBER, "LNK11049");
                 EXPECT_EQ(FindExpectingFailure(window), NotFoundText);
                 EXPECT_EQ(DisplayFields(window), Empty4);
                 EXPECT_FALSE(Enabled(window, IDC_SAVE_NOTE));
                 EXPECT_FALSE(Enabled(window, IDC_DELETE_NOTE));
                 DWORD start = 1, end = 0;
                 SendMessageA(field, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
                 EXPECT_EQ(start, 0u);
                 EXPECT_EQ(end, 8u);
                 EXPECT_EQ(FocusOf(window), field);
                 EXPECT_EQ(Text(field), "LNK11049");
                 // the tree keeps its selection; only the fields were cleared
                 EXPECT_EQ(SelectedText(window), "LNK1104");
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

// After a failed Find the selected entry's fields are empty; finding that same entry
// again makes the tree report no change, and the window shows it again by itself.
TEST_F(LookupWindow, FindingTheSelectedEntryAfterAFailureShowsItAgain)
{
    for (bool withNote : {false, true}) {
        SCOPED_TRACE(withNote ? "with a note file" : "without a note file");
        RemoveNotes(BinFolder(), NoteCodes);
        if (withNote) {
            ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), std::string("kept", 5)));
        }
        RunModal([] { OpenRecorded(NULL); },
                 [withNote] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     SetControlText(window, IDC_ERROR_NUMBER, "LNK1104");
                     SendCommand(window, IDC_FIND);
                     std::vector<std::string> shown = DisplayFields(window);
                     ASSERT_EQ(shown[0], "Fatal");
                     EXPECT_EQ(shown[3], withNote ? "kept" : "");

                     SetControlText(window, IDC_ERROR_NUMBER, "LNK9");
                     ASSERT_EQ(FindExpectingFailure(window), NotFoundText);
                     ASSERT_EQ(DisplayFields(window), Empty4);

                     SetControlText(window, IDC_ERROR_NUMBER, "lnk1104");
                     SendCommand(window, IDC_FIND);
                     EXPECT_EQ(WaitForMessageBox(300), (HWND)NULL);
                     EXPECT_EQ(SelectedText(window), "LNK1104");
                     EXPECT_EQ(DisplayFields(window), shown);
                     EXPECT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                     EXPECT_EQ(Enabled(window, IDC_DELETE_NOTE), withNote);
                     EXPECT_EQ(FocusOf(window), Tree(window));
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
    }
}

// ---- opening with a code ------------------------------------------------------------

TEST_F(LookupWindow, OpeningWithAKnownCodeSelectsItAndKeepsTheGivenText)
{
    RunModal([] { OpenRecorded("a2008"); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 EXPECT_EQ(Selected(window), FindEntry(Tree(window), "ML", "A2008"));
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Non Fatal");
                 EXPECT_EQ(ControlText(window, IDC_ERROR), "syntax error :");
                 EXPECT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                 // The field was given the label by the selection, then the text as it came.
                 // (The field shows it upper-cased: ES_UPPERCASE applies to set text too.)
                 HWND field = Item(window, IDC_ERROR_NUMBER);
                 std::vector<std::string> texts;
                 for (const SentMessage &sent : SentMessages())
                     if (sent.Window == field && sent.Message == WM_SETTEXT)
                         texts.push_back(sent.Text);
                 EXPECT_EQ(texts, (std::vector<std::string>{"A2008", "a2008"}));
                 EXPECT_EQ(_stricmp(Text(field).c_str(), "a2008"), 0) << Text(field);
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, OpeningWithAnUnknownCodeEndsUnseen)
{
    for (const char *code : {"ZZ9", "", "LNK1104X", " A2008", "A2008 "}) {
        SCOPED_TRACE(std::string("[") + code + "]");
        DWORD start = GetTickCount();
        RunModal([code] { OpenRecorded(code); },
                 [] {
                     EXPECT_EQ(WaitForWindow(LookupCaption, 500), (HWND)NULL);
                     EXPECT_EQ(WaitForMessageBox(100), (HWND)NULL);
                 });
        EXPECT_LT(GetTickCount() - start, 5000u);
        HWND dialog = NULL;
        bool shown = false;
        for (const SentMessage &sent : SentMessages()) {
            if (sent.Message == WM_INITDIALOG)
                dialog = sent.Window;
            if (sent.Window != dialog || dialog == NULL)
                continue;
            if (sent.Visible)
                shown = true;
            if (sent.Message == WM_WINDOWPOSCHANGED && (sent.WParam & SWP_SHOWWINDOW) != 0)
                shown = true;
        }
        bool started = dialog != NULL;
        EXPECT_TRUE(started);
        EXPECT_FALSE(shown);
    }
}

// ---- On Top, Escape, closing ----------------------------------------------------------

// Wine 8 places a window that owns a popup (here the tree's tooltip) just below that popup
// when asked to make it topmost, and so never makes it topmost; the tooltip is not what is
// tested, so it goes before the toggling.
static void DropTreeToolTip(HWND window)
{
    HWND tip = (HWND)SendMessageA(Tree(window), TVM_GETTOOLTIPS, 0, 0);
    SendMessageA(Tree(window), TVM_SETTOOLTIPS, 0, 0);
    if (tip != NULL)
        SendMessageA(tip, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(tip));
}

TEST_F(LookupWindow, OnTopTogglesTopmostAndItsCheckMark)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 DropTreeToolTip(window);
                 HMENU menu = GetSystemMenu(window, FALSE);
                 int items = GetMenuItemCount(menu);
                 const bool expected[] = {true, false, true, false};
                 for (bool on : expected) {
                     SendMessageA(window, WM_SYSCOMMAND, IDM_ON_TOP, 0);
                     EXPECT_EQ(MenuCheck(window) != 0, on);
                     EXPECT_EQ(Topmost(window), on);
                     EXPECT_EQ(MenuText(menu, 0), "On Top");
                     EXPECT_EQ(GetMenuItemID(menu, 0), (UINT)IDM_ON_TOP);
                     EXPECT_EQ(GetMenuItemCount(menu), items);
                 }
                 SendMessageA(window, WM_SYSCOMMAND, IDM_ON_TOP, 0);
                 ASSERT_TRUE(Topmost(window)); // left on for the next opening
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 EXPECT_EQ(MenuCheck(window), 0);
                 EXPECT_FALSE(Topmost(window));
                 DropTreeToolTip(window);
                 SendMessageA(window, WM_SYSCOMMAND, IDM_ON_TOP, 0);
                 EXPECT_NE(MenuCheck(window), 0);
                 EXPECT_TRUE(Topmost(window));
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

TEST_F(LookupWindow, EscapeLeavesTheWindowOpen)
{
    RunModal([] { OpenRecorded(NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
                 Sync(window);
                 EXPECT_TRUE(IsWindowVisible(window));

                 // Save Note takes the focus only while enabled: select an entry first.
                 Select(Tree(window), FindEntry(Tree(window), "ML", "A2008"));
                 ASSERT_TRUE(Enabled(window, IDC_SAVE_NOTE));
                 for (int id : {IDC_ERROR_NUMBER, IDC_CATALOGUE_TREE, IDC_SAVE_NOTE}) {
                     SCOPED_TRACE(id);
                     HWND control = Item(window, id);
                     SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
                     ASSERT_EQ(FocusOf(window), control);
                     size_t before = SentMessages().size();
                     PostMessageA(control, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                     PostMessageA(control, WM_KEYUP, VK_ESCAPE, 0xC0010001);
                     // the key did reach the dialog manager, as IDCANCEL
                     EXPECT_TRUE(WaitUntil([window, before] { return CommandsSent(window, IDCANCEL, before) > 0; }));
                     Sync(window);
                     EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
                 }
                 SendMessageA(window, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(window));
             });
}

TEST_F(LookupWindow, CloseEndsTheWindow)
{
    bool returned = false;
    RunModal([&returned] {
                 OpenLookupWindow(NULL, NULL);
                 returned = true;
             },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 SendMessageA(window, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(window));
             });
    EXPECT_TRUE(returned);
}

TEST_F(LookupWindow, EveryOpeningBuildsTheSameCatalogue)
{
    std::vector<LRESULT> counts;
    for (int opening = 0; opening < 2; ++opening)
        RunModal([] { OpenLookupWindow(NULL, NULL); },
                 [&counts] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     counts.push_back(SendMessageA(Tree(window), TVM_GETCOUNT, 0, 0));
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_GT(counts[0], 500);
    EXPECT_EQ(counts[0], counts[1]);
}
