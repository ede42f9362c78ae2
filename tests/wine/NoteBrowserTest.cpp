// tests/wine/NoteBrowserTest.cpp
// The note browser over a real lookup window: what it lists, how its note field and
// buttons follow the selection, and how its saves and deletes reach the lookup window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

namespace {

void WriteNote(const std::string &name, const std::string &bytes)
{
    CreateDirectoryA((BinFolder() + "Notes").c_str(), NULL);
    CreateDirectoryA(NotesFolderOf(BinFolder()).c_str(), NULL);
    ASSERT_TRUE(WriteBytes(NotesFolderOf(BinFolder()) + "\\" + name, bytes)) << name;
}

std::vector<std::string> Texts(HWND tree, HTREEITEM parent)
{
    std::vector<std::string> texts;
    for (HTREEITEM item : Children(tree, parent))
        texts.push_back(ItemText(tree, item));
    return texts;
}

// Opens the browser from the lookup window's system menu; the command is posted since the
// browser's modal loop runs inside its handling.
HWND OpenBrowser(HWND lookup)
{
    PostMessageA(lookup, WM_SYSCOMMAND, IDM_BROWSE_NOTES, 0);
    return WaitForWindow("Note Browser");
}

bool WaitUntilEnabled(HWND window, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    while (!IsWindowEnabled(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

void CloseAndWait(HWND window)
{
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitForClose(window));
}

// What the browser's or the lookup window's note controls show.
struct NoteState {
    std::string Field;
    bool Save;
    bool Delete;
};

NoteState BrowserState(HWND browser)
{
    return {ControlText(browser, IDC_BROWSER_NOTE), Enabled(browser, IDC_BROWSER_SAVE_NOTE),
            Enabled(browser, IDC_BROWSER_DELETE_NOTE)};
}

NoteState LookupState(HWND lookup)
{
    return {ControlText(lookup, IDC_NOTE), Enabled(lookup, IDC_SAVE_NOTE), Enabled(lookup, IDC_DELETE_NOTE)};
}

void ExpectState(const NoteState &got, const NoteState &expected, const char *situation)
{
    EXPECT_EQ(got.Field, expected.Field) << situation;
    EXPECT_EQ(got.Save, expected.Save) << situation;
    EXPECT_EQ(got.Delete, expected.Delete) << situation;
}

// Presses the browser's Delete Note and answers the question; returns the question's text
// and caption as "caption|text".
std::string DeleteInBrowser(HWND browser, int answer)
{
    PostCommand(browser, IDC_BROWSER_DELETE_NOTE);
    HWND box = WaitForMessageBox();
    if (box == NULL)
        return "<no question>";
    std::string shown = Text(box) + "|" + MessageBoxText(box);
    AnswerMessageBox(box, answer);
    SendMessageA(browser, WM_NULL, 0, 0);
    return shown;
}

class NoteBrowser : public testing::Test {
protected:
    void SetUp() override
    {
        StartLinkedAddIn();
        RemoveTree(NotesFolderOf(BinFolder()));
    }
    void TearDown() override { RemoveTree(NotesFolderOf(BinFolder())); }
};

TEST_F(NoteBrowser, WithoutNotesShowsTheSevenCategoriesOnly)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);
                 std::vector<std::string> expected = {"CVTRES", "H2INC", LinkCategory, "MIDL", "ML", "NMAKE", "RC"};
                 EXPECT_EQ(Texts(tree, NULL), expected);
                 for (HTREEITEM category : Children(tree, NULL))
                     EXPECT_TRUE(Children(tree, category).empty()) << ItemText(tree, category);
                 ExpectState(BrowserState(browser), {"", false, false}, "at opening");
                 EXPECT_FALSE(IsWindowEnabled(lookup)) << "the lookup window takes no input beneath the browser";
                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(NoteBrowser, ListsEachNoteUnderItsCategoryInTextOrder)
{
    // Written out of order on purpose: the tree, not the folder, decides the order.
    for (const char *code : {"U1077", "RW4002", "LNK2001", "MIDL2001", "A2008", "LNK1104", "RC2104", "CVT1100",
                             "LNK123456789012"})
        WriteNote(std::string(code) + ".knote", "x");
    // Names the add-in never writes: too long for a code, no code at all, no tool's letters.
    for (const char *name : {"ABCDEFGHIJKLMNOPQRST.knote", "LNK1234567890123.knote", ".knote", "X1.knote"})
        WriteNote(name, "junk");

    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);

                 const struct {
                     const char *Category;
                     std::vector<std::string> Entries;
                 } expected[] = {
                     {"CVTRES", {"CVT1100"}},
                     {"H2INC", {}},
                     {LinkCategory, {"LNK1104", "LNK123456789012", "LNK2001"}},
                     {"MIDL", {"MIDL2001"}},
                     {"ML", {"A2008"}},
                     {"NMAKE", {"U1077"}},
                     {"RC", {"RC2104", "RW4002"}},
                 };
                 std::vector<HTREEITEM> categories = Children(tree, NULL);
                 ASSERT_EQ(categories.size(), 7u);
                 for (size_t i = 0; i < categories.size(); ++i) {
                     EXPECT_EQ(ItemText(tree, categories[i]), expected[i].Category);
                     EXPECT_EQ(Texts(tree, categories[i]), expected[i].Entries) << expected[i].Category;
                 }

                 // The left-out files did no harm: the listed notes still read.
                 Select(tree, FindEntry(tree, "RC", "RW4002"));
                 ExpectState(BrowserState(browser), {"x", true, true}, "RW4002 selected");
                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
    for (const char *name : {"ABCDEFGHIJKLMNOPQRST.knote", "LNK1234567890123.knote", ".knote", "X1.knote"})
        EXPECT_EQ(FileBytes(NotesFolderOf(BinFolder()) + "\\" + name), "junk") << name;
}

TEST_F(NoteBrowser, NoteFieldAndButtonsFollowTheSelection)
{
    WriteNote("A2008.knote", std::string("ml note\0", 8));
    WriteNote("LNK1104.knote", std::string("link note\0", 10));
    WriteNote("MIDL2001.knote", std::string("midl note\0", 10));

    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);
                 HTREEITEM ml = FindEntry(tree, "ML", "A2008");
                 HTREEITEM link = FindEntry(tree, LinkCategory, "LNK1104");
                 HTREEITEM midl = FindEntry(tree, "MIDL", "MIDL2001");
                 ASSERT_TRUE(ml != NULL && link != NULL && midl != NULL);

                 Select(tree, link);
                 ExpectState(BrowserState(browser), {"link note", true, true}, "entry with its file");

                 // Gone behind the browser's back: shown as a code without a note.
                 ASSERT_TRUE(DeleteFileA(NoteFileOf(BinFolder(), "A2008").c_str()));
                 Select(tree, ml);
                 ExpectState(BrowserState(browser), {"", true, false}, "entry whose file is gone");

                 Select(tree, FindChild(tree, NULL, "ML"));
                 ExpectState(BrowserState(browser), {"", false, false}, "category");

                 // Switching entries replaces unsaved edits without asking.
                 Select(tree, link);
                 SetControlText(browser, IDC_BROWSER_NOTE, "edited, never saved");
                 Select(tree, midl);
                 ExpectState(BrowserState(browser), {"midl note", true, true}, "another entry");
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("link note\0", 10));

                 // Saving writes the note again and offers its delete.
                 Select(tree, ml);
                 SetControlText(browser, IDC_BROWSER_NOTE, "written again");
                 SendCommand(browser, IDC_BROWSER_SAVE_NOTE);
                 ExpectState(BrowserState(browser), {"written again", true, true}, "saved");
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "A2008")), std::string("written again\0", 14));
                 EXPECT_EQ(Texts(tree, FindChild(tree, NULL, "ML")), std::vector<std::string>{"A2008"})
                     << "a save adds no entry";

                 // A2008 is the only note of ML: deleting it leaves the category empty.
                 EXPECT_EQ(DeleteInBrowser(browser, IDYES),
                           "Confirm Delete|Are you sure you want to delete the note for error: A2008");
                 EXPECT_EQ(ControlText(browser, IDC_BROWSER_NOTE), "") << "delete confirmed";
                 EXPECT_FALSE(Enabled(browser, IDC_BROWSER_DELETE_NOTE)) << "delete confirmed";
                 EXPECT_FALSE(Exists(NoteFileOf(BinFolder(), "A2008")));
                 HTREEITEM mlCategory = FindChild(tree, NULL, "ML");
                 ASSERT_NE(mlCategory, (HTREEITEM)NULL) << "the category stays";
                 EXPECT_TRUE(Children(tree, mlCategory).empty());
                 EXPECT_EQ(Children(tree, NULL).size(), 7u);
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("link note\0", 10));
                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(NoteBrowser, SavingTheLookupWindowsCodeUpdatesItsNoteAtOnce)
{
    WriteNote("A2008.knote", std::string("ml note\0", 8));

    RunModal([] { OpenLookupWindow(NULL, "LNK1104"); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 ASSERT_EQ(ControlText(lookup, IDC_ERROR_NUMBER), "LNK1104");
                 ExpectState(LookupState(lookup), {"", true, false}, "lookup window, no note yet");
                 // The note appears after the lookup window loaded it, so only the
                 // browser's save can bring it over.
                 WriteNote("LNK1104.knote", std::string("first\0", 6));
                 SetControlText(lookup, IDC_NOTE, "typed, unsaved");

                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);

                 Select(tree, FindEntry(tree, "ML", "A2008"));
                 SetControlText(browser, IDC_BROWSER_NOTE, "ml note 2");
                 SendCommand(browser, IDC_BROWSER_SAVE_NOTE);
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "A2008")), std::string("ml note 2\0", 10));
                 ExpectState(LookupState(lookup), {"typed, unsaved", true, false}, "after saving another code");

                 Select(tree, FindEntry(tree, LinkCategory, "LNK1104"));
                 ExpectState(BrowserState(browser), {"first", true, true}, "LNK1104 in the browser");
                 SetControlText(browser, IDC_BROWSER_NOTE, "from the browser");
                 SendCommand(browser, IDC_BROWSER_SAVE_NOTE);
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("from the browser\0", 17));
                 ExpectState(LookupState(lookup), {"from the browser", true, true}, "after saving its code");
                 ExpectState(BrowserState(browser), {"from the browser", true, true}, "browser after the save");

                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(NoteBrowser, CodesMatchWhateverTheirLetterCase)
{
    // "Rc2104" is filed under RC by its capital R and names the same file as RC2104 on a
    // file system that ignores case; the lookup window shows RC2104.
    WriteNote("Rc2104.knote", std::string("old\0", 4));

    RunModal([] { OpenLookupWindow(NULL, "RC2104"); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 ASSERT_EQ(ControlText(lookup, IDC_ERROR_NUMBER), "RC2104");
                 ExpectState(LookupState(lookup), {"old", true, true}, "lookup window at start");
                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);
                 HTREEITEM entry = FindEntry(tree, "RC", "Rc2104");
                 ASSERT_NE(entry, (HTREEITEM)NULL);
                 Select(tree, entry);
                 SetControlText(browser, IDC_BROWSER_NOTE, "new");
                 SendCommand(browser, IDC_BROWSER_SAVE_NOTE);
                 EXPECT_EQ(ControlText(lookup, IDC_NOTE), "new");
                 EXPECT_EQ(DeleteInBrowser(browser, IDYES),
                           "Confirm Delete|Are you sure you want to delete the note for error: Rc2104");
                 ExpectState(LookupState(lookup), {"", true, false}, "after the delete");
                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(NoteBrowser, DeletesReachTheLookupWindowOnlyForItsCode)
{
    WriteNote("A2008.knote", std::string("ml note\0", 8));
    WriteNote("LNK1104.knote", std::string("link note\0", 10));

    RunModal([] { OpenLookupWindow(NULL, "LNK1104"); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 ASSERT_EQ(ControlText(lookup, IDC_ERROR_NUMBER), "LNK1104");
                 ExpectState(LookupState(lookup), {"link note", true, true}, "lookup window at start");

                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);

                 // Another code: the lookup window's note is still there, and so is its delete.
                 Select(tree, FindEntry(tree, "ML", "A2008"));
                 EXPECT_EQ(DeleteInBrowser(browser, IDYES),
                           "Confirm Delete|Are you sure you want to delete the note for error: A2008");
                 EXPECT_FALSE(Exists(NoteFileOf(BinFolder(), "A2008")));
                 ExpectState(LookupState(lookup), {"link note", true, true}, "after deleting another code");

                 // No keeps everything, in both windows.
                 HTREEITEM link = FindEntry(tree, LinkCategory, "LNK1104");
                 Select(tree, link);
                 SetControlText(browser, IDC_BROWSER_NOTE, "edited in the browser");
                 EXPECT_EQ(DeleteInBrowser(browser, IDNO),
                           "Confirm Delete|Are you sure you want to delete the note for error: LNK1104");
                 ExpectState(BrowserState(browser), {"edited in the browser", true, true}, "after No");
                 EXPECT_EQ(FindEntry(tree, LinkCategory, "LNK1104"), link);
                 EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("link note\0", 10));
                 ExpectState(LookupState(lookup), {"link note", true, true}, "lookup window after No");

                 // Yes on the lookup window's own code empties its note and disables its delete.
                 EXPECT_EQ(DeleteInBrowser(browser, IDYES),
                           "Confirm Delete|Are you sure you want to delete the note for error: LNK1104");
                 EXPECT_FALSE(Exists(NoteFileOf(BinFolder(), "LNK1104")));
                 EXPECT_EQ(FindEntry(tree, LinkCategory, "LNK1104"), (HTREEITEM)NULL);
                 ExpectState(BrowserState(browser), {"", false, false}, "browser after Yes");
                 ExpectState(LookupState(lookup), {"", true, false}, "lookup window after Yes");

                 CloseAndWait(browser);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(NoteBrowser, EscapeLeavesItOpenAndCloseHandsBackTheLookupWindow)
{
    WriteNote("LNK1104.knote", std::string("link note\0", 10));

    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND browser = OpenBrowser(lookup);
                 ASSERT_NE(browser, (HWND)NULL);
                 HWND tree = GetDlgItem(browser, IDC_BROWSER_TREE);
                 EXPECT_FALSE(IsWindowEnabled(lookup));

                 SendCommand(browser, IDCANCEL);
                 EXPECT_TRUE(IsWindowVisible(browser)) << "IDCANCEL";

                 // The Escape key itself, through the modal loop's dialog keys, with the
                 // focus on the tree and then on a button.
                 Select(tree, FindEntry(tree, LinkCategory, "LNK1104"));
                 for (int id : {IDC_BROWSER_TREE, IDC_BROWSER_SAVE_NOTE}) {
                     HWND control = GetDlgItem(browser, id);
                     SendMessageA(browser, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
                     PostMessageA(control, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                     PostMessageA(control, WM_KEYUP, VK_ESCAPE, 0xC0010001);
                     EXPECT_TRUE(FlushPosted(lookup));
                     EXPECT_TRUE(IsWindow(browser) && IsWindowVisible(browser)) << "Escape on control " << id;
                 }
                 EXPECT_FALSE(IsWindowEnabled(lookup));

                 SendMessageA(browser, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(browser));
                 EXPECT_TRUE(WaitUntilEnabled(lookup)) << "the lookup window takes input again";
                 EXPECT_TRUE(IsWindowVisible(lookup));
                 // It answers input: a Find still works.
                 SetControlText(lookup, IDC_ERROR_NUMBER, "LNK1104");
                 SendCommand(lookup, IDC_FIND);
                 EXPECT_EQ(ControlText(lookup, IDC_NOTE), "link note");
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

} // namespace
