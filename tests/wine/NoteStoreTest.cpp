// tests/wine/NoteStoreTest.cpp
// Notes as the lookup window keeps them: the bytes of the note files, loading files of any
// shape, the delete question, a note held by someone else while it loads, and an add-in
// folder so deep that no note path fits. Saves and deletes that fail are in
// HostileNotesTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

namespace {

const char Question[] = "Are you sure you want to delete the note for error: LNK1104";
const std::vector<std::string> NoteCodes = {"LNK1104", "A2008"};

std::string NotesRoot() { return BinFolder() + "Notes\\"; }

// Names of the files (not folders) matching `pattern` in `folder`.
std::vector<std::string> FilesIn(const std::string &folder, const std::string &pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Another process's hold on a file: opened without any sharing.
HANDLE HoldUnshared(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
}

HWND Tree(HWND window) { return GetDlgItem(window, IDC_CATALOGUE_TREE); }
void Sync(HWND window) { SendMessageA(window, WM_NULL, 0, 0); }

// Selects `code`'s entry afresh (by way of its category), so that its note is read again.
void ShowEntry(HWND window, const char *category, const char *code)
{
    HWND tree = Tree(window);
    HTREEITEM parent = FindChild(tree, NULL, category);
    Select(tree, parent);
    Select(tree, FindChild(tree, parent, code));
}

void ShowLnk1104(HWND window) { ShowEntry(window, LinkCategory, "LNK1104"); }

struct Buttons {
    bool Save, Delete;
    bool operator==(const Buttons &o) const { return Save == o.Save && Delete == o.Delete; }
};
std::ostream &operator<<(std::ostream &out, const Buttons &b)
{
    return out << "{save " << b.Save << ", delete " << b.Delete << "}";
}
Buttons ButtonsOf(HWND window) { return {Enabled(window, IDC_SAVE_NOTE), Enabled(window, IDC_DELETE_NOTE)}; }

// Runs `drive` against a freshly opened lookup window, then closes it.
void WithLookupWindow(const std::function<void(HWND)> &drive)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [&drive] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 drive(window);
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

class NoteStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartLinkedAddIn();
        CreateDirectoryA(NotesRoot().c_str(), NULL);
        CreateDirectoryA(NotesFolderOf(BinFolder()).c_str(), NULL);
        RemoveNotes(BinFolder(), NoteCodes);
    }
    void TearDown() override { RemoveNotes(BinFolder(), NoteCodes); }
};

} // namespace

// ---- saving ----------------------------------------------------------------------------

TEST_F(NoteStore, SaveWritesTheTextAndOneZeroByte)
{
    struct Case {
        const char *Name;
        std::string Text;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"empty", ""},
        {"two lines", "first line\r\nsecond line"},
        {"high bytes", "caf\xe9 \x95 note"},
        {"long", std::string(5000, 'n')},
    };
    WithLookupWindow([&cases](HWND window) {
        ShowLnk1104(window);
        HWND note = GetDlgItem(window, IDC_NOTE);
        for (const Case &c : cases) {
            SCOPED_TRACE(c.Name);
            DeleteFileA(NoteFileOf(BinFolder(), "LNK1104").c_str());
            ShowLnk1104(window);
            ASSERT_EQ(ButtonsOf(window), (Buttons{true, false}));
            SetControlText(window, IDC_NOTE, c.Text);
            SendCommand(window, IDC_SAVE_NOTE);
            EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), c.Text + std::string(1, '\0'));
            EXPECT_EQ(Text(note), c.Text); // the field is left as it was
            EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));

            ShowLnk1104(window); // a later showing reads the file back
            EXPECT_EQ(Text(note), c.Text);
            EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));
        }
        EXPECT_EQ(FilesIn(NotesFolderOf(BinFolder()) + "\\", "*.tmp"), std::vector<std::string>{});
    });
}

TEST_F(NoteStore, ASaveReplacesALongerNoteWhole)
{
    WithLookupWindow([](HWND window) {
        ShowLnk1104(window);
        SetControlText(window, IDC_NOTE, std::string(300, 'L'));
        SendCommand(window, IDC_SAVE_NOTE);
        ASSERT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")).size(), 301u);
        SetControlText(window, IDC_NOTE, "short");
        SendCommand(window, IDC_SAVE_NOTE);
        EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("short", 6));
    });
}

TEST_F(NoteStore, NotesAreKeptPerCodeAndUnsavedEditsAreDropped)
{
    WithLookupWindow([](HWND window) {
        ShowLnk1104(window);
        SetControlText(window, IDC_NOTE, "link note");
        SendCommand(window, IDC_SAVE_NOTE);
        ShowEntry(window, "ML", "A2008");
        EXPECT_EQ(ControlText(window, IDC_NOTE), "");
        EXPECT_EQ(ButtonsOf(window), (Buttons{true, false}));
        SetControlText(window, IDC_NOTE, "never saved");
        ShowLnk1104(window);
        EXPECT_EQ(ControlText(window, IDC_NOTE), "link note");
        ShowEntry(window, "ML", "A2008");
        EXPECT_EQ(ControlText(window, IDC_NOTE), "");
        EXPECT_FALSE(Exists(NoteFileOf(BinFolder(), "A2008")));
    });
}

// ---- loading ---------------------------------------------------------------------------

TEST_F(NoteStore, NoteFilesOfAnyShapeLoad)
{
    struct Case {
        const char *Name;
        std::string Bytes, Shown;
    };
    const Case cases[] = {
        {"zero bytes", "", ""},
        {"no zero byte", "ends without a zero", "ends without a zero"},
        {"zero in the middle", std::string("before\0after", 12), "before"},
        {"only zeros", std::string(3, '\0'), ""},
        {"as written", std::string("text\0", 5), "text"},
        {"line breaks", std::string("one\r\ntwo\0", 9), "one\r\ntwo"},
    };
    WithLookupWindow([&cases](HWND window) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.Name);
            ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), c.Bytes));
            ShowLnk1104(window);
            EXPECT_EQ(ControlText(window, IDC_NOTE), c.Shown);
            EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));
            EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), c.Bytes); // reading changes nothing
        }
    });
}

// ---- deleting --------------------------------------------------------------------------

namespace {

// Presses Delete Note and returns the question box, checked for its text and buttons.
HWND AskToDelete(HWND window)
{
    PostCommand(window, IDC_DELETE_NOTE);
    HWND box = WaitForMessageBox();
    if (box == NULL) {
        ADD_FAILURE() << "no question";
        return NULL;
    }
    EXPECT_EQ(MessageBoxText(box), Question);
    EXPECT_EQ(Text(box), "Confirm Delete");
    for (int button : {IDYES, IDNO}) {
        HWND control = GetDlgItem(box, button);
        EXPECT_TRUE(control != NULL && IsWindowVisible(control)) << button;
    }
    for (int button : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE}) {
        HWND control = GetDlgItem(box, button);
        EXPECT_TRUE(control == NULL || !IsWindowVisible(control)) << button;
    }
    return box;
}

} // namespace

TEST_F(NoteStore, DeleteAnsweredNoChangesNothing)
{
    const std::string kept("kept note\0", 10);
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), kept));
    WithLookupWindow([&kept](HWND window) {
        ShowLnk1104(window);
        HWND deleteButton = GetDlgItem(window, IDC_DELETE_NOTE);
        SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)deleteButton, TRUE);
        ASSERT_EQ(FocusOf(window), deleteButton);
        HWND box = AskToDelete(window);
        ASSERT_NE(box, (HWND)NULL);
        AnswerMessageBox(box, IDNO);
        Sync(window);
        EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), kept);
        EXPECT_EQ(ControlText(window, IDC_NOTE), "kept note");
        EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));
        EXPECT_EQ(FocusOf(window), deleteButton);
    });
}

TEST_F(NoteStore, DeleteAnsweredYesRemovesTheNote)
{
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), std::string("gone\0", 5)));
    WithLookupWindow([](HWND window) {
        ShowLnk1104(window);
        HWND box = AskToDelete(window);
        ASSERT_NE(box, (HWND)NULL);
        AnswerMessageBox(box, IDYES);
        Sync(window);
        EXPECT_FALSE(Exists(NoteFileOf(BinFolder(), "LNK1104")));
        EXPECT_EQ(ControlText(window, IDC_NOTE), "");
        EXPECT_EQ(ButtonsOf(window), (Buttons{true, false}));
        EXPECT_EQ(FocusOf(window), Tree(window));

        // Save stayed enabled: a new note can be written at once.
        SetControlText(window, IDC_NOTE, "again");
        SendCommand(window, IDC_SAVE_NOTE);
        EXPECT_EQ(FileBytes(NoteFileOf(BinFolder(), "LNK1104")), std::string("again", 6));
        EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));
    });
}

// ---- files held by someone else ------------------------------------------------------

TEST_F(NoteStore, AHeldNoteLoadsAsNeitherSavableNorDeletable)
{
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "LNK1104"), std::string("held note\0", 10)));
    WithLookupWindow([](HWND window) {
        ShowEntry(window, "ML", "A2008");
        SetControlText(window, IDC_NOTE, "stale");
        HANDLE hold = HoldUnshared(NoteFileOf(BinFolder(), "LNK1104"));
        ASSERT_NE(hold, INVALID_HANDLE_VALUE);
        ShowLnk1104(window);
        EXPECT_EQ(ControlText(window, IDC_NOTE), "");
        EXPECT_EQ(ButtonsOf(window), (Buttons{false, false}));
        EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal"); // the details are shown all the same
        CloseHandle(hold);
        ShowLnk1104(window);
        EXPECT_EQ(ControlText(window, IDC_NOTE), "held note");
        EXPECT_EQ(ButtonsOf(window), (Buttons{true, true}));
    });
}

// ---- the folders ---------------------------------------------------------------------

TEST_F(NoteStore, OpeningTheWindowCreatesTheNotesFolders)
{
    RemoveTree(NotesRoot());
    ASSERT_FALSE(Exists(NotesRoot()));
    WithLookupWindow([](HWND) {
        DWORD root = GetFileAttributesA(NotesRoot().c_str());
        DWORD user = GetFileAttributesA(NotesFolderOf(BinFolder()).c_str());
        EXPECT_TRUE(root != INVALID_FILE_ATTRIBUTES && (root & FILE_ATTRIBUTE_DIRECTORY));
        EXPECT_TRUE(user != INVALID_FILE_ATTRIBUTES && (user & FILE_ATTRIBUTE_DIRECTORY));
        EXPECT_EQ(FilesUnder(NotesRoot()), std::vector<std::string>{});
    });
    // and an existing folder with notes in it is left alone
    ASSERT_TRUE(WriteBytes(NoteFileOf(BinFolder(), "A2008"), std::string("stays\0", 6)));
    WithLookupWindow([](HWND window) {
        ShowEntry(window, "ML", "A2008");
        EXPECT_EQ(ControlText(window, IDC_NOTE), "stays");
    });
}

// ---- an add-in folder too deep for any note path (the built DLL, as a host loads it) ----

TEST(NoteStorePaths, AnAddInFolderTooDeepForNotesOpensAndSavesNothing)
{
    const std::string user = UserName();
    const std::string notePart = "Notes\\" + user + "\\LNK1104.knote";
    char temp[MAX_PATH + 1] = {0};
    GetTempPathA(MAX_PATH, temp);
    // NewAddInFolder makes <temp>kestrel-tests\<tag>-<pid>-<n>\ : the tag sets the depth.
    const size_t fixed = strlen(temp) + strlen("kestrel-tests\\") + 1 + std::to_string(GetCurrentProcessId()).size() +
                         1 + 1 + 1;
    for (size_t depth : {240u, 248u}) {
        SCOPED_TRACE(depth);
        ASSERT_GT(depth, fixed + 20);
        std::string folder = NewAddInFolder(std::string(depth - fixed, 'd'));
        ASSERT_FALSE(folder.empty());
        ASSERT_GE(folder.size(), depth);
        ASSERT_LE(folder.size(), depth + 1); // the counter may have gone to two digits
        ASSERT_LE(folder.size() + strlen("Kestrel.dll"), 260u);
        ASSERT_GT(folder.size() + notePart.size(), 260u);
        const std::vector<std::string> before = FilesUnder(folder);
        ASSERT_EQ(before.size(), 9u);

        TestHost host;
        ASSERT_TRUE(host.Create());
        AddIn addIn;
        ASSERT_TRUE(addIn.Open(folder + "Kestrel.dll"));
        ASSERT_EQ(addIn.WAAddInLoad(host.Handles, host.Features), 0);
        const DWORD command = host.NextMenuId - 1;
        int handled = 0;
        RunModal([&] { handled = addIn.FrameWindowProc(host.Main, WM_COMMAND, MAKEWPARAM(command, 0), 0); },
                 [] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     EXPECT_GT(SendMessageA(Tree(window), TVM_GETCOUNT, 0, 0), 500);
                     SetControlText(window, IDC_ERROR_NUMBER, "LNK1104");
                     SendCommand(window, IDC_FIND);
                     EXPECT_EQ(WaitForMessageBox(300), (HWND)NULL);
                     EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal");
                     SetControlText(window, IDC_NOTE, "nowhere to go");
                     EXPECT_EQ(PressButton(window, IDC_SAVE_NOTE),
                               "Save Note|Could not save the note for error: LNK1104|OK|warning");
                     PostCommand(window, IDC_DELETE_NOTE); // whatever it asks, No
                     HWND box = WaitForMessageBox(1000);
                     if (box != NULL)
                         AnswerMessageBox(box, IDNO);
                     Sync(window);
                     EXPECT_TRUE(IsWindowVisible(window));
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
        EXPECT_EQ(handled, 1);
        addIn.WAAddInUnload();
        addIn.Close();
        host.Destroy();

        EXPECT_EQ(FilesUnder(folder), before);
        char root[MAX_PATH + 1] = {0};
        GetCurrentDirectoryA(MAX_PATH, root);
        for (const std::string &stray : {std::string("\\LNK1104.knote"), std::string(root) + "\\LNK1104.knote",
                                         std::string(temp) + "LNK1104.knote", BinFolder() + "LNK1104.knote"})
            EXPECT_FALSE(Exists(stray)) << stray;
        RemoveTree(folder);
    }
}
