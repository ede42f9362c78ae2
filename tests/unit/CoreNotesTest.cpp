// Note file names (category and code) and the paths of the notes folder, note files and
// message modules. A path that does not fit must come back refused and empty, never cut.
#include "catalogue/Label.h"
#include "catalogue/ToolTable.h"
#include "notes/NoteName.h"
#include "notes/NotePath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

enum { Guard = 8, GuardByte = 0x5A };

struct GuardedPath {
    char Bytes[PathCapacity + Guard];
    GuardedPath() { std::memset(Bytes, GuardByte, sizeof Bytes); }
    char *Data() { return Bytes; }
    bool GuardIntact() const
    {
        for (int i = PathCapacity; i < PathCapacity + Guard; ++i)
            if ((unsigned char)Bytes[i] != GuardByte)
                return false;
        return true;
    }
};

const char *SlotName(int slot)
{
    return slot == BrowserSlotNone ? "(none)" : BrowserCategoryText[slot];
}

} // namespace

TEST(ClassifyNoteName, CodesOfEveryTool)
{
    struct Case {
        const char *FileName;
        int Slot;
    } cases[] = {
        {"A2008.knote", BrowserSlotMl},
        {"CVT1100.knote", BrowserSlotCvtres},
        {"U1077.knote", BrowserSlotNmake},
        {"LNK1104.knote", BrowserSlotLink},
        {"LNK2001.knote", BrowserSlotLink},
        {"RC2104.knote", BrowserSlotRc},
        {"RW4002.knote", BrowserSlotRc},
        {"HI1000.knote", BrowserSlotH2inc},
        {"MIDL2001.knote", BrowserSlotMidl},
        {"MIDL-2147483648.knote", BrowserSlotMidl},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(SlotName(ClassifyNoteName(c.FileName)), SlotName(c.Slot)) << c.FileName;
}

TEST(ClassifyNoteName, TheChainDecidesByOrderNotByPosition)
{
    struct Case {
        const char *FileName;
        int Slot;
    } cases[] = {
        {"CVTA.knote", BrowserSlotMl},       // "A" is tested before "CVT"
        {"XCVT.knote", BrowserSlotCvtres},
        {"RU.knote", BrowserSlotRc},         // "R" before "U"
        {"UR.knote", BrowserSlotRc},
        {"LNKR.knote", BrowserSlotRc},       // "R" before "LNK"
        {"ULNK.knote", BrowserSlotNmake},    // "U" before "LNK"
        {"LNKHI.knote", BrowserSlotLink},    // a chain hit ends the tests: "HI" is not made
        {"MIDLU.knote", BrowserSlotNmake},
        {"MIDLA.knote", BrowserSlotMl},
        {"HIMIDL.knote", BrowserSlotMidl},   // both late tests hit: the later decides
        {"MIDLHI.knote", BrowserSlotMidl},
        {"HI.knote", BrowserSlotH2inc},
        {"1234.kAote", BrowserSlotMl},       // the whole name is tested, extension included
        {"CV.knote", BrowserSlotNone},       // parts of a test text are no hit
        {"LN.knote", BrowserSlotNone},
        {"MID.knote", BrowserSlotNone},
        {"H.knote", BrowserSlotNone},
        {"H2INC1000.knote", BrowserSlotNone},
        {"lnk1104.knote", BrowserSlotNone},  // letter case is significant
        {"a2008.knote", BrowserSlotNone},
        {"1234.knote", BrowserSlotNone},
        {".knote", BrowserSlotNone},
        {"", BrowserSlotNone},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(SlotName(ClassifyNoteName(c.FileName)), SlotName(c.Slot)) << c.FileName;
}

// Every label the catalogue can produce, saved as a note, is listed under its own tool.
TEST(ClassifyNoteName, EveryToolsLabelsLandInItsBrowserCategory)
{
    for (const ToolEntry &row : ToolTable) {
        for (uint32_t id : {0u, 1u, 1104u, 2147483647u, 0x80000000u, 0xFFFFFFFFu}) {
            char label[CodeCapacity];
            ASSERT_TRUE(FormatLabel(row.LabelPrefix, id, label, sizeof label));
            std::string fileName = std::string(label) + ".knote";
            EXPECT_STREQ(SlotName(ClassifyNoteName(fileName.c_str())), row.BrowserText) << fileName;

            char base[CodeCapacity];
            ASSERT_TRUE(NoteBaseName(fileName.c_str(), base, sizeof base)) << fileName;
            EXPECT_STREQ(base, label);
        }
    }
}

TEST(NoteBaseName, Names)
{
    struct Case {
        const char *FileName;
        bool Ok;
        const char *Base;
    } cases[] = {
        {"LNK1104.knote", true, "LNK1104"},
        {"A.B.knote", true, "A"},                 // the first dot ends the base
        {"MIDL-2147483648.knote", true, "MIDL-2147483648"}, // 15 characters: fits
        {"MIDL-21474836480.knote", false, ""},    // 16 characters: refused, not cut
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ.knote", false, ""},
        {".knote", false, ""},                    // empty base
        {"..knote", false, ""},
        {"NODOT", false, ""},
        {"", false, ""},
        {"X.", true, "X"},
    };
    for (const Case &c : cases) {
        char out[CodeCapacity + Guard];
        std::memset(out, GuardByte, sizeof out);
        EXPECT_EQ(NoteBaseName(c.FileName, out, CodeCapacity), c.Ok) << c.FileName;
        EXPECT_STREQ(out, c.Base) << c.FileName;
        for (int i = CodeCapacity; i < CodeCapacity + Guard; ++i)
            ASSERT_EQ((unsigned char)out[i], GuardByte) << c.FileName;
    }
}

TEST(NoteBaseName, ZeroSizeWritesNothing)
{
    char out[1] = {(char)GuardByte};
    EXPECT_FALSE(NoteBaseName("A2008.knote", out, 0));
    EXPECT_EQ((unsigned char)out[0], GuardByte);
}

TEST(ExtractFolder, Paths)
{
    struct Case {
        const char *Path;
        const char *Folder;
    } cases[] = {
        {"D:\\Tools\\AddIns\\x.dll", "D:\\Tools\\AddIns\\"},
        {"C:\\Kestrel.dll", "C:\\"},
        {"\\\\server\\share\\Kestrel.dll", "\\\\server\\share\\"},
        {"D:\\Tools\\AddIns\\", "D:\\Tools\\AddIns\\"},
        {"D:/Tools/x.dll", ""}, // only the backslash separates
        {"x.dll", ""},
        {"", ""},
    };
    for (const Case &c : cases) {
        GuardedPath out;
        EXPECT_TRUE(ExtractFolder(c.Path, out.Data(), PathCapacity)) << c.Path;
        EXPECT_STREQ(out.Data(), c.Folder) << c.Path;
        EXPECT_TRUE(out.GuardIntact()) << c.Path;
    }
}

TEST(ExtractFolder, FolderOfExactly260Fits)
{
    std::string folder = "C:\\" + std::string(256, 'd') + "\\";
    ASSERT_EQ(folder.size(), 260u);
    std::string path = folder + "Kestrel.dll"; // the file name itself need not fit
    GuardedPath out;
    EXPECT_TRUE(ExtractFolder(path.c_str(), out.Data(), PathCapacity));
    EXPECT_EQ(std::string(out.Data()), folder);
    EXPECT_TRUE(out.GuardIntact());

    std::string longer = "C:\\" + std::string(257, 'd') + "\\Kestrel.dll";
    GuardedPath refused;
    EXPECT_FALSE(ExtractFolder(longer.c_str(), refused.Data(), PathCapacity));
    EXPECT_STREQ(refused.Data(), "");
    EXPECT_TRUE(refused.GuardIntact());
}

namespace {

struct Builder {
    const char *Name;
    std::function<bool(const std::string &folder, char *out, int size)> Build;
    const char *Folder;   // a typical input folder
    const char *Expected; // its result
};

const Builder Builders[] = {
    {"FormNotesRoot", [](const std::string &f, char *out, int size) { return FormNotesRoot(f.c_str(), out, size); },
     "D:\\Tools\\AddIns\\", "D:\\Tools\\AddIns\\Notes"},
    {"FormNotesFolder",
     [](const std::string &f, char *out, int size) { return FormNotesFolder(f.c_str(), "dev1", out, size); },
     "D:\\Tools\\AddIns\\", "D:\\Tools\\AddIns\\Notes\\dev1"},
    {"FormNotePath",
     [](const std::string &f, char *out, int size) { return FormNotePath(f.c_str(), "LNK1104", out, size); },
     "D:\\Tools\\AddIns\\Notes\\dev1", "D:\\Tools\\AddIns\\Notes\\dev1\\LNK1104.knote"},
    {"FormNoteSearchPattern",
     [](const std::string &f, char *out, int size) { return FormNoteSearchPattern(f.c_str(), out, size); },
     "D:\\Tools\\AddIns\\Notes\\dev1", "D:\\Tools\\AddIns\\Notes\\dev1\\*.knote"},
    {"FormModulePath",
     [](const std::string &f, char *out, int size) { return FormModulePath(f.c_str(), "link", out, size); },
     "D:\\Tools\\AddIns\\", "D:\\Tools\\AddIns\\link.dll"},
};

} // namespace

TEST(NotePaths, ExactResults)
{
    for (const Builder &b : Builders) {
        GuardedPath out;
        EXPECT_TRUE(b.Build(b.Folder, out.Data(), PathCapacity)) << b.Name;
        EXPECT_STREQ(out.Data(), b.Expected) << b.Name;
        EXPECT_TRUE(out.GuardIntact()) << b.Name;
    }
}

TEST(NotePaths, ResultOf260FitsAnd261IsRefused)
{
    for (const Builder &b : Builders) {
        // Grow the folder until the result is 260 characters long, then by one more.
        size_t added = std::strlen(b.Expected) - std::strlen(b.Folder);
        std::string head = std::string(b.Folder).substr(0, 3); // "D:\"
        std::string tail = std::string(b.Folder).substr(3);
        std::string fits = head + std::string(260 - added - head.size() - tail.size(), 'f') + tail;
        std::string tooLong = head + "g" + fits.substr(head.size());

        GuardedPath out;
        ASSERT_TRUE(b.Build(fits, out.Data(), PathCapacity)) << b.Name;
        EXPECT_EQ(std::strlen(out.Data()), 260u) << b.Name;
        EXPECT_EQ(std::string(out.Data()).substr(0, fits.size()), fits) << b.Name;
        EXPECT_TRUE(out.GuardIntact()) << b.Name;

        GuardedPath refused;
        EXPECT_FALSE(b.Build(tooLong, refused.Data(), PathCapacity)) << b.Name;
        EXPECT_STREQ(refused.Data(), "") << b.Name << ": a path that does not fit is refused, not cut";
        EXPECT_TRUE(refused.GuardIntact()) << b.Name;
    }
}

TEST(NotePaths, EmptyFolderIsRefused)
{
    // An empty folder means the folder itself could not be formed; building on it would
    // name a file relative to the current folder.
    for (const Builder &b : Builders) {
        GuardedPath out;
        EXPECT_FALSE(b.Build("", out.Data(), PathCapacity)) << b.Name;
        EXPECT_STREQ(out.Data(), "") << b.Name;
        EXPECT_TRUE(out.GuardIntact()) << b.Name;
    }
}

TEST(NotePaths, ZeroSizeWritesNothing)
{
    for (const Builder &b : Builders) {
        GuardedPath out;
        EXPECT_FALSE(b.Build(b.Folder, out.Data(), 0)) << b.Name;
        EXPECT_EQ((unsigned char)out.Data()[0], GuardByte) << b.Name;
    }
}

TEST(NotePaths, NotesFolderFromTheModulePath)
{
    // The chain the lookup window runs at each opening, on the documented example.
    GuardedPath addInFolder, notesFolder, notePath;
    ASSERT_TRUE(ExtractFolder("D:\\Tools\\AddIns\\Kestrel.dll", addInFolder.Data(), PathCapacity));
    ASSERT_TRUE(FormNotesFolder(addInFolder.Data(), "dev1", notesFolder.Data(), PathCapacity));
    ASSERT_TRUE(FormNotePath(notesFolder.Data(), "LNK1104", notePath.Data(), PathCapacity));
    EXPECT_STREQ(notePath.Data(), "D:\\Tools\\AddIns\\Notes\\dev1\\LNK1104.knote");

    // A module path without a backslash gives no folder, and nothing is built on it.
    ASSERT_TRUE(ExtractFolder("Kestrel.dll", addInFolder.Data(), PathCapacity));
    EXPECT_FALSE(FormNotesFolder(addInFolder.Data(), "dev1", notesFolder.Data(), PathCapacity));
    EXPECT_FALSE(FormNotePath(notesFolder.Data(), "LNK1104", notePath.Data(), PathCapacity));
    EXPECT_STREQ(notePath.Data(), "");
}
