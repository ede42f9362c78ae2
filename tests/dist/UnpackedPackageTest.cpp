// tests/dist/UnpackedPackageTest.cpp
// The package as a user gets it: the zip made by scripts/dist, unpacked into a fresh folder
// (ctest's dist.UnpackPackage32 does that with the 32-bit product's files in build/wine32,
// dist.UnpackPackage64 with the 64-bit build in build/wine64), and the add-in loaded from
// there by a stand-in host built for the same Windows. It must find its message modules and make its notes folder in
// the unpacked AddIns folder, with nothing from the build folder helping.
#include <gtest/gtest.h>

#include <string>

#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"

using namespace harness;

namespace {

std::string WindowsPath(std::string path)
{
    for (char &c : path)
        if (c == '/')
            c = '\\';
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path;
}

// The one folder the zip unpacked into, with "\"; empty unless there is exactly one.
std::string PackageFolder()
{
    std::string unpacked = WindowsPath(KESTREL_UNPACKED_DIR);
    std::string found;
    int count = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((unpacked + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        ++count;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            found = unpacked + name + "\\";
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count == 1 ? found : "";
}

class UnpackedPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string package = PackageFolder();
        ASSERT_FALSE(package.empty()) << "no single package folder in " << KESTREL_UNPACKED_DIR;
        addIns = package + "AddIns\\";
        // A second run of this program on the same unpacked folder starts as the first did.
        RemoveTree(addIns + "Notes");
        ASSERT_TRUE(addIn.Open(addIns + "Kestrel.dll"));
        ASSERT_TRUE(host.Create());
        ASSERT_EQ(addIn.WAAddInLoad(host.Handles, host.Features), 0);
        loaded = true;
    }

    void TearDown() override
    {
        if (loaded)
            addIn.WAAddInUnload();
        host.Destroy();
        addIn.Close();
    }

    std::string addIns;
    AddIn addIn;
    TestHost host;
    bool loaded = false;
};

TEST_F(UnpackedPackageTest, RunsFromTheUnpackedAddInsFolder)
{
    char path[MAX_PATH + 1] = {0};
    GetModuleFileNameA(addIn.Module, path, MAX_PATH);
    EXPECT_EQ(_stricmp(path, (addIns + "Kestrel.dll").c_str()), 0) << "loaded " << path;
    EXPECT_EQ(GetMenuItemCount(host.AddInsMenu), 3) << "the manager item, the separator and Kestrel's own";
}

TEST_F(UnpackedPackageTest, MenuItemOpensTheLookupWindowThatFindsACodeAndKeepsItsNote)
{
    const std::string notes = NotesFolderOf(addIns);
    EXPECT_FALSE(Exists(addIns + "Notes")) << "made before the lookup window opened";
    bool opened = false;
    RunModal([&] { addIn.FrameWindowProc(host.Main, WM_COMMAND, MAKEWPARAM(host.NextMenuId - 1, 0), 0); },
             [&] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 opened = true;
                 // Every module of the package was found beside the DLL: no category is
                 // empty. Without them the lookup below would stop on a "not found" box.
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                 std::vector<HTREEITEM> categories = Children(tree, NULL);
                 EXPECT_EQ(categories.size(), 8u);
                 std::string empty;
                 for (HTREEITEM category : categories)
                     if (Children(tree, category).empty())
                         empty += (empty.empty() ? "" : " ") + ItemText(tree, category);
                 ASSERT_EQ(empty, "") << "categories without entries";
                 // Typed as a user types it, key by key into the empty field.
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "");
                 TypeChars(GetDlgItem(window, IDC_ERROR_NUMBER), "lnk1104");
                 SendCommand(window, IDC_FIND);
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "LNK1104");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Fatal");
                 EXPECT_EQ(ControlText(window, IDC_ERROR), "cannot open file 'filename'");
                 EXPECT_NE(ControlText(window, IDC_DESCRIPTION), "");
                 SetControlText(window, IDC_NOTE, "kept beside the add-in");
                 SendCommand(window, IDC_SAVE_NOTE);
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    EXPECT_TRUE(opened);
    EXPECT_TRUE(Exists(notes)) << notes;
    EXPECT_EQ(FileBytes(NoteFileOf(addIns, "LNK1104")), std::string("kept beside the add-in", 23));
}

TEST_F(UnpackedPackageTest, DoubleClickOnACodeInTheOutputWindowOpensTheLookupWindowOnIt)
{
    host.Word = "A2008";
    bool opened = false;
    RunModal([&] { addIn.OutWindowProc(host.Output, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(30, 8)); },
             [&] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 opened = true;
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "A2008");
                 EXPECT_EQ(ControlText(window, IDC_ERROR), "syntax error :");
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
    EXPECT_TRUE(opened);
}

} // namespace
