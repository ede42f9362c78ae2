// tests/wine/CatalogueContentTest.cpp
// The real message modules against the catalogue sources they were built from: the ids
// each table holds, the text the system formatter gives back for every one of them, and
// a lookup window on the real catalogue finding codes of every tool.
#include <gtest/gtest.h>
#include "addin/State.h"
#include "catalogue/MessageTable.h"
#include "catalogue/ToolTable.h"
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"
#include "tools/MessageCompiler/MessageSource.h"

#include <algorithm>
#include <map>

using namespace harness;

namespace {

// ---- the sources, read at test time -------------------------------------------------

std::string MessagesFolder()
{
    return std::string(KESTREL_SOURCE_DIR) + "\\messages\\";
}

struct Sources {
    std::vector<MessageEntry> Entries; // sorted by number
    std::vector<std::string> Errors;
};

Sources ReadSources(const ToolEntry &tool)
{
    Sources sources;
    std::string folder = MessagesFolder() + tool.ModuleBaseName + "\\";
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.msg").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (names.empty())
        sources.Errors.push_back("no source in " + folder);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string text;
        if (!ReadBytes(folder + name, &text))
            sources.Errors.push_back("cannot read " + folder + name);
        else
            ParseMessageSource(name, text, tool.LabelPrefix, sources.Entries, sources.Errors);
    }
    SortMessageEntries(sources.Entries, sources.Errors);
    return sources;
}

std::string WithCrLf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// What FormatMessageA must give back for an entry: type digit, blank, short text, the
// bullet byte, CR LF, the description with CR LF for each line break, and nothing after.
std::string ExpectedText(const MessageEntry &entry)
{
    std::string text(1, entry.Type);
    text += ' ';
    text += entry.ShortText;
    text += "\x95\r\n";
    text += WithCrLf(entry.Description);
    return text;
}

// ---- the modules --------------------------------------------------------------------

struct WalkedIds {
    std::vector<uint32_t> Ids;
    static void Visit(void *context, uint32_t id)
    {
        static_cast<WalkedIds *>(context)->Ids.push_back(id);
    }
};

// A module opened as the add-in opens it: as data.
struct DataModule {
    HMODULE Module;
    explicit DataModule(const std::string &path)
        : Module(LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE))
    {
    }
    ~DataModule()
    {
        if (Module != NULL)
            FreeLibrary(Module);
    }
    DataModule(const DataModule &) = delete;
    DataModule &operator=(const DataModule &) = delete;

    // The bytes of message table 1; false when there is none.
    bool Table(std::string *bytes) const
    {
        HRSRC info = FindResourceA(Module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11));
        if (info == NULL)
            return false;
        HGLOBAL resource = LoadResource(Module, info);
        const char *data = resource == NULL ? nullptr : (const char *)LockResource(resource);
        if (data == nullptr)
            return false;
        bytes->assign(data, SizeofResource(Module, info));
        return true;
    }

    // The message as the add-in has the system format it; false when there is no text.
    bool Format(DWORD id, std::string *text, DWORD *error) const
    {
        char *buffer = NULL;
        DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE, Module,
                                      id, 0, (LPSTR)&buffer, 1, NULL);
        *error = length == 0 ? GetLastError() : 0;
        if (buffer != NULL) {
            text->assign(buffer, length);
            LocalFree(buffer);
        }
        return length != 0;
    }
};

std::string ModulePath(const ToolEntry &tool)
{
    return BinFolder() + tool.ModuleBaseName + ".dll";
}

class RealModule : public ::testing::TestWithParam<int> {
protected:
    const ToolEntry &Tool() const
    {
        return ToolTable[GetParam() - 1];
    }
};

TEST_P(RealModule, HoldsExactlyTheSourcesCodes)
{
    Sources sources = ReadSources(Tool());
    ASSERT_EQ(sources.Errors, std::vector<std::string>());
    DataModule module(ModulePath(Tool()));
    ASSERT_NE(module.Module, (HMODULE)NULL) << ModulePath(Tool());
    std::string table;
    ASSERT_TRUE(module.Table(&table));

    WalkedIds walked;
    uint32_t visited = WalkMessageTable((const unsigned char *)table.data(), (uint32_t)table.size(),
                                        WalkedIds::Visit, &walked);
    std::vector<uint32_t> expected;
    for (const MessageEntry &entry : sources.Entries)
        expected.push_back(entry.Number);
    EXPECT_EQ(visited, expected.size());
    EXPECT_EQ(walked.Ids, expected);
}

TEST_P(RealModule, FormatsEveryMessageInTheDetailsLayout)
{
    Sources sources = ReadSources(Tool());
    ASSERT_EQ(sources.Errors, std::vector<std::string>());
    DataModule module(ModulePath(Tool()));
    ASSERT_NE(module.Module, (HMODULE)NULL);
    for (const MessageEntry &entry : sources.Entries) {
        SCOPED_TRACE(entry.Code);
        std::string text;
        DWORD error = 0;
        ASSERT_TRUE(module.Format(entry.Number, &text, &error)) << "error " << error;
        ASSERT_GE(text.size(), 5u);
        EXPECT_TRUE(text[0] >= '0' && text[0] <= '9');
        EXPECT_EQ(text[0], entry.Type);
        EXPECT_EQ(text[1], ' ');
        size_t bullet = text.find('\x95');
        ASSERT_NE(bullet, std::string::npos);
        EXPECT_EQ(text.substr(2, bullet - 2), entry.ShortText);
        EXPECT_EQ(text.substr(bullet + 1, 2), "\r\n");
        EXPECT_GT(text.size(), bullet + 3) << "empty description";
        EXPECT_EQ(text, ExpectedText(entry));
    }
}

std::string RowName(const ::testing::TestParamInfo<int> &info)
{
    return ToolTable[info.param - 1].ModuleBaseName;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, RealModule, ::testing::Range(1, ToolCount + 1), RowName);

// ---- the lookup window on the real catalogue ---------------------------------------

// Sends a command but gives up after a while: a code that is not found makes the window
// open a message box, which a plain send would wait behind for ever.
bool SendCommandBounded(HWND dialog, int id)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)GetDlgItem(dialog, id),
                               SMTO_NORMAL, 3000, &result) != 0;
}

struct LookupCase {
    const char *Typed;
    const char *Category;
    const char *Type;
    const char *Error; // Windows-1252
};

// One code of every tool that has any, as the documentation states type and message.
// RW4002 is not documented, so the "W" tool is represented by RW4003.
const LookupCase LookupCases[] = {
    {"A2008", "ML", "Non Fatal", "syntax error :"},
    {"LNK1104", "LINK\\LIB\\DUMPBIN\\EDITBIN", "Fatal", "cannot open file 'filename'"},
    {"LNK2019", "LINK\\LIB\\DUMPBIN\\EDITBIN", "Non Fatal",
     "unresolved external symbol 'symbol' referenced in function 'function'"},
    {"U1077", "NMAKE", "Fatal", "'program' : return code 'value'"},
    {"RC2135", "RC (\"C\" Errors)", "Non Fatal", "file not found: filename"},
    {"RW4003", "RC (\"W\" Errors)", "Warning", "SHIFT or CONTROL used without VIRTKEY"},
    {"CVT1100", "CVTRES", "Fatal",
     "duplicate resource \x97 type:type, name:name, language:language, flags:flags, size:size"},
    {"MIDL2025", "MIDL", "Compiler", "syntax error"},
    {"HI4001", "H2INC", "Warning (Level1,4)", "nonstandard extension used - extension"},
    {"A2075", "ML", "Non Fatal", "jump destination too far : by number byte(s)"},
    {"LNK4042", "LINK\\LIB\\DUMPBIN\\EDITBIN", "Warning", "object specified more than once; extras ignored"},
};

const MessageEntry *FindSource(const std::map<std::string, Sources> &sources, const std::string &code)
{
    for (const auto &tool : sources)
        for (const MessageEntry &entry : tool.second.Entries)
            if (entry.Code == code)
                return &entry;
    return nullptr;
}

TEST(CatalogueLookup, RealCatalogueFindsACodeOfEveryTool)
{
    std::map<std::string, Sources> sources;
    for (const ToolEntry &tool : ToolTable) {
        sources[tool.CategoryText] = ReadSources(tool);
        ASSERT_EQ(sources[tool.CategoryText].Errors, std::vector<std::string>());
    }
    StartLinkedAddIn();
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [&] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);

                 // The whole catalogue is listed, each tool under its own category.
                 std::vector<HTREEITEM> categories = Children(tree, NULL);
                 EXPECT_EQ(categories.size(), (size_t)ToolCount);
                 for (HTREEITEM category : categories) {
                     std::string name = ItemText(tree, category);
                     ASSERT_EQ(sources.count(name), 1u) << name;
                     EXPECT_EQ(Children(tree, category).size(), sources[name].Entries.size()) << name;
                 }

                 HWND number = GetDlgItem(window, IDC_ERROR_NUMBER);
                 for (const LookupCase &c : LookupCases) {
                     SCOPED_TRACE(c.Typed);
                     SetControlText(window, IDC_ERROR_NUMBER, "");
                     TypeChars(number, c.Typed);
                     EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), c.Typed);
                     if (!SendCommandBounded(window, IDC_FIND)) {
                         ADD_FAILURE() << "not found";
                         HWND box = WaitForMessageBox();
                         if (box != NULL)
                             AnswerMessageBox(box, IDOK);
                         continue;
                     }
                     HTREEITEM selected = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
                     HTREEITEM parent = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)selected);
                     EXPECT_EQ(ItemText(tree, selected), c.Typed);
                     EXPECT_EQ(ItemText(tree, parent), c.Category);
                     EXPECT_EQ(ControlText(window, IDC_TYPE), c.Type);
                     EXPECT_EQ(ControlText(window, IDC_ERROR), c.Error);
                     const MessageEntry *entry = FindSource(sources, c.Typed);
                     ASSERT_NE(entry, nullptr);
                     EXPECT_EQ(ControlText(window, IDC_ERROR), entry->ShortText);
                     EXPECT_EQ(ControlText(window, IDC_DESCRIPTION), WithCrLf(entry->Description));
                 }
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}

} // namespace
