// tests/wine/ResourcesTest.cpp
// The compiled resources read back from the built modules: the three window templates,
// the icon group, the manifest and the version block. Every check runs on the 64-bit
// test build of Kestrel.dll and on the 32-bit product, which is what users get.
#include <gtest/gtest.h>
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"

#include <map>

using namespace harness;

namespace {

const WORD English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); // 1033

// The product's folder is a Unix path; Wine maps drive Z: to the root.
std::string ProductDllPath()
{
#ifdef KESTREL_PRODUCT_DIR
    std::string path = std::string("Z:") + KESTREL_PRODUCT_DIR + "/Kestrel.dll";
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
#else
    return "";
#endif
}

struct ModuleUnderTest {
    const char *Name;
    std::string Path() const
    {
        return std::string(Name) == "Product32" ? ProductDllPath() : BinFolder() + "Kestrel.dll";
    }
};

void PrintTo(const ModuleUnderTest &module, std::ostream *out) { *out << module.Name; }

std::string Narrow(const std::wstring &wide)
{
    std::string text;
    for (wchar_t c : wide)
        text += c < 0x80 ? (char)c : '?';
    return text;
}

// Reads little-endian fields out of a resource, refusing to run past its end.
class Reader {
public:
    Reader(const unsigned char *data, size_t size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    size_t Pos() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos; ok_ = ok_ && pos <= size_; }
    void AlignTo4() { Seek((pos_ + 3) & ~(size_t)3); }
    unsigned Byte()
    {
        if (!Need(1))
            return 0;
        return data_[pos_++];
    }
    unsigned Word()
    {
        if (!Need(2))
            return 0;
        unsigned v = data_[pos_] | (data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | ((DWORD)Word() << 16);
    }
    short Short() { return (short)Word(); }
    std::wstring WideString()
    {
        std::wstring text;
        for (;;) {
            unsigned c = Word();
            if (!ok_ || c == 0)
                return text;
            text += (wchar_t)c;
        }
    }
    // A "sz_Or_Ord" field: 0xFFFF and an ordinal, or a zero-terminated UTF-16 string.
    std::string NameOrOrdinal(unsigned *ordinal)
    {
        *ordinal = 0;
        if (Need(2) && data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF) {
            Word();
            *ordinal = Word();
            return "";
        }
        return Narrow(WideString());
    }

private:
    bool Need(size_t n)
    {
        if (!ok_ || pos_ + n > size_)
            ok_ = false;
        return ok_;
    }
    const unsigned char *data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct ControlTemplate {
    DWORD ExStyle, Style, Id;
    short X, Y, Cx, Cy;
    std::string Class; // predefined classes by their name, whichever way they are stored
    std::string Text;
};

struct DialogTemplate {
    DWORD ExStyle, Style;
    short X, Y, Cx, Cy;
    std::string Menu, Class, Caption;
    unsigned PointSize = 0, Weight = 0, Italic = 0, Charset = 0;
    std::string Font;
    std::vector<ControlTemplate> Controls;
};

// A predefined control class may be stored as its atom or as its name; both mean the same.
std::string ClassName(const std::string &name, unsigned atom)
{
    switch (atom) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    }
    for (const char *known : {"Button", "Edit", "Static"})
        if (lstrcmpiA(name.c_str(), known) == 0)
            return known;
    return name;
}

bool ParseDialog(const unsigned char *data, size_t size, DialogTemplate *dialog)
{
    Reader in(data, size);
    if (in.Word() != 1 || in.Word() != 0xFFFF)
        return false; // not a DLGTEMPLATEEX
    in.Dword();       // help id
    dialog->ExStyle = in.Dword();
    dialog->Style = in.Dword();
    unsigned count = in.Word();
    dialog->X = in.Short();
    dialog->Y = in.Short();
    dialog->Cx = in.Short();
    dialog->Cy = in.Short();
    unsigned ordinal = 0;
    dialog->Menu = in.NameOrOrdinal(&ordinal);
    dialog->Class = in.NameOrOrdinal(&ordinal);
    dialog->Caption = Narrow(in.WideString());
    if (dialog->Style & DS_SETFONT) {
        dialog->PointSize = in.Word();
        dialog->Weight = in.Word();
        dialog->Italic = in.Byte();
        dialog->Charset = in.Byte();
        dialog->Font = Narrow(in.WideString());
    }
    for (unsigned i = 0; i < count && in.Ok(); ++i) {
        in.AlignTo4();
        ControlTemplate control;
        in.Dword(); // help id
        control.ExStyle = in.Dword();
        control.Style = in.Dword();
        control.X = in.Short();
        control.Y = in.Short();
        control.Cx = in.Short();
        control.Cy = in.Short();
        control.Id = in.Dword();
        std::string name = in.NameOrOrdinal(&ordinal);
        control.Class = ClassName(name, ordinal);
        control.Text = in.NameOrOrdinal(&ordinal);
        unsigned extra = in.Word();
        in.Seek(in.Pos() + extra);
        dialog->Controls.push_back(control);
    }
    return in.Ok();
}

class ResourcesTest : public ::testing::TestWithParam<ModuleUnderTest> {
protected:
    void SetUp() override
    {
        path_ = GetParam().Path();
        ASSERT_FALSE(path_.empty()) << "the product folder was not given to the build";
        module_ = LoadLibraryExA(path_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, (HMODULE)NULL) << path_ << ": error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_ != NULL)
            FreeLibrary(module_);
    }

    // The bytes of resource (type, id) in US English; empty when there is none.
    std::string Resource(LPCSTR type, WORD id, WORD language = English)
    {
        HRSRC info = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language);
        if (info == NULL)
            return "";
        HGLOBAL handle = LoadResource(module_, info);
        const char *bytes = (const char *)LockResource(handle);
        return bytes == NULL ? "" : std::string(bytes, SizeofResource(module_, info));
    }

    void LoadDialog(WORD id, DialogTemplate *dialog)
    {
        std::string bytes = Resource(RT_DIALOG, id);
        ASSERT_FALSE(bytes.empty()) << "dialog " << id << " in language 1033";
        ASSERT_TRUE(ParseDialog((const unsigned char *)bytes.data(), bytes.size(), dialog));
    }

    std::string path_;
    HMODULE module_ = NULL;
};

// One control of a template: `required` style bits must be set and `forbidden` ones clear.
struct ExpectedControl {
    DWORD Id;
    const char *Class;
    const char *Text;
    DWORD Required, Forbidden;
    DWORD ExStyle;
    short X, Y, Cx, Cy;
};

void CheckControls(const DialogTemplate &dialog, const std::vector<ExpectedControl> &expected)
{
    ASSERT_EQ(dialog.Controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ControlTemplate &got = dialog.Controls[i];
        const ExpectedControl &want = expected[i];
        SCOPED_TRACE(testing::Message() << "control #" << i << " (expected id " << want.Id << ")");
        EXPECT_EQ(got.Id, want.Id);
        // Window class names are case-blind; the resource compiler stores them upper-cased.
        EXPECT_EQ(lstrcmpiA(got.Class.c_str(), want.Class), 0) << got.Class << " for " << want.Class;
        EXPECT_EQ(got.Text, want.Text);
        EXPECT_EQ(got.Style & want.Required, want.Required) << std::hex << got.Style;
        EXPECT_EQ(got.Style & want.Forbidden, 0u) << std::hex << got.Style;
        EXPECT_EQ(got.ExStyle, want.ExStyle) << std::hex << got.ExStyle;
        EXPECT_EQ(got.X, want.X);
        EXPECT_EQ(got.Y, want.Y);
        EXPECT_EQ(got.Cx, want.Cx);
        EXPECT_EQ(got.Cy, want.Cy);
    }
}

const DWORD Child = WS_CHILD | WS_VISIBLE;
const DWORD TreeStyle = Child | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                        TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | TVS_FULLROWSELECT;
const DWORD NoteStyle = Child | ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP;
const DWORD NoteButton = Child | WS_TABSTOP | WS_DISABLED;
// Bits a plain push button or plain left-aligned static must not carry.
const DWORD ButtonKind = 0x0F;   // BS_TYPEMASK
const DWORD StaticKind = 0x1F;   // SS_TYPEMASK
const DWORD WindowFont = DS_SETFONT;

TEST_P(ResourcesTest, LookupWindowTemplate)
{
    DialogTemplate dialog;
    LoadDialog(IDD_LOOKUP, &dialog);
    EXPECT_EQ(dialog.Caption, LookupCaption);
    EXPECT_EQ(dialog.Font, "Verdana");
    EXPECT_EQ(dialog.PointSize, 8u);
    EXPECT_EQ(dialog.Style, (DWORD)(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | WindowFont))
        << std::hex << dialog.Style;
    EXPECT_EQ(dialog.ExStyle, 0u);
    EXPECT_EQ(dialog.Cx, 398);
    EXPECT_EQ(dialog.Cy, 273);
    EXPECT_EQ(dialog.Menu, "");
    EXPECT_EQ(dialog.Class, "");

    const DWORD Edge = WS_EX_CLIENTEDGE;
    CheckControls(dialog, {
        {IDC_ERROR_NUMBER, "Edit", "", Child | WS_TABSTOP | ES_UPPERCASE, ES_AUTOHSCROLL | ES_MULTILINE, Edge, 30, 3, 53, 12},
        {IDC_CATALOGUE_TREE, "SysTreeView32", "", TreeStyle, 0, 0, 2, 20, 120, 248},
        {IDC_NOTE, "RichEdit20A", "", NoteStyle, ES_READONLY, Edge, 126, 179, 270, 69},
        {IDC_SAVE_NOTE, "Button", "Save Note", NoteButton, ButtonKind, 0, 128, 253, 57, 15},
        {IDC_DELETE_NOTE, "Button", "Delete Note", NoteButton, ButtonKind, 0, 190, 253, 57, 15},
        {IDC_FIND, "Button", "", WS_CHILD | BS_DEFPUSHBUTTON, WS_VISIBLE | (ButtonKind & ~BS_DEFPUSHBUTTON), 0, -285, 254, 77, 12},
        {IDC_TYPE_LABEL, "Static", "Type:", Child, StaticKind | WS_TABSTOP, 0, 126, 4, 18, 9},
        {IDC_ERROR_LABEL, "Static", "Error:", Child, StaticKind | WS_TABSTOP, 0, 126, 18, 18, 9},
        {IDC_ERROR_NUMBER_LABEL, "Static", "Error #", Child, StaticKind | WS_TABSTOP, 0, 2, 4, 24, 9},
        {IDC_TYPE, "Static", "", Child, StaticKind | WS_TABSTOP, 0, 148, 4, 84, 9},
        {IDC_DESCRIPTION, "Edit", "", Child | ES_MULTILINE | ES_READONLY | WS_VSCROLL, WS_TABSTOP, Edge, 126, 50, 270, 114},
        {IDC_NOTE_LABEL, "Static", "Note", Child, StaticKind | WS_TABSTOP, 0, 133, 168, 17, 9},
        {IDC_NOTE_RULE, "Static", "", Child | SS_ETCHEDHORZ, StaticKind & ~SS_ETCHEDHORZ, 0, 125, 172, 271, 1},
        {IDC_ERROR, "Static", "", Child, StaticKind | WS_TABSTOP, 0, 149, 18, 245, 29},
    });
    // The Find button is the default one and lies outside the window.
    ASSERT_EQ(dialog.Controls.size(), 14u);
    EXPECT_EQ(dialog.Controls[5].Style & ButtonKind, (DWORD)BS_DEFPUSHBUTTON);
    EXPECT_EQ(dialog.Controls[3].Style & ButtonKind, (DWORD)BS_PUSHBUTTON);
}

TEST_P(ResourcesTest, AboutWindowTemplate)
{
    DialogTemplate dialog;
    LoadDialog(IDD_ABOUT, &dialog);
    EXPECT_EQ(dialog.Caption, "About Kestrel");
    EXPECT_EQ(dialog.Font, "Verdana");
    EXPECT_EQ(dialog.PointSize, 8u);
    EXPECT_EQ(dialog.Weight, 400u);
    EXPECT_EQ(dialog.Italic, 0u);
    EXPECT_EQ(dialog.Charset, 1u);
    EXPECT_EQ(dialog.Style, (DWORD)(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | WindowFont))
        << std::hex << dialog.Style;
    EXPECT_EQ(dialog.ExStyle, (DWORD)WS_EX_TOOLWINDOW);
    EXPECT_EQ(dialog.Cx, 168);
    EXPECT_EQ(dialog.Cy, 166);

    const DWORD Rule = Child | SS_ETCHEDHORZ;
    const DWORD Link = Child | 0x0001; // LWS_TRANSPARENT
    CheckControls(dialog, {
        {IDC_ABOUT_TITLE, "Static", LookupCaption, Child, ~Child, 0, 35, 6, 96, 11},
        {IDC_ABOUT_VERSION, "Static", "Version: 3.0", Child, ~Child, 0, 56, 18, 55, 9},
        {IDC_ABOUT_DESCRIPTION, "Static", "View error descriptions for MASM tools", Child, ~Child, 0, 18, 46, 132, 10},
        {IDC_ABOUT_TOOLS_LABEL, "Static", "Tools supported:", Child, ~Child, 0, 2, 61, 56, 10},
        {IDC_ABOUT_TOOLS, "Static", "", Child, ~Child, 0, 62, 61, 100, 63},
        {IDC_ABOUT_TOTAL_LABEL, "Static", "Total errors:", Child, ~Child, 0, 2, 129, 41, 10},
        {IDC_ABOUT_TOTAL, "Static", "", Child, ~Child, 0, 46, 129, 60, 10},
        {IDC_ABOUT_RULE_LOW, "Static", "", Rule, ~Rule, 0, -1, 142, 169, 3},
        {IDC_ABOUT_WEB_LINK, "SysLink", "<a>" KESTREL_WEB_HOST "</a>", Link, WS_TABSTOP, 0, 3, 150, 68, 9},
        {IDC_ABOUT_MAIL_LINK, "SysLink", "<a>" KESTREL_MAIL_ADDRESS "</a>", Link, WS_TABSTOP, 0, 84, 150, 79, 9},
        {IDC_ABOUT_HOST, "Static", "WinASM Studio Addin", Child, ~Child, 0, 48, 29, 71, 10},
        {IDC_ABOUT_RULE_HIGH, "Static", "", Rule, ~Rule, 0, -2, 41, 180, 1},
    });
    for (const ControlTemplate &control : dialog.Controls)
        EXPECT_EQ(control.Style & WS_TABSTOP, 0u) << "control " << control.Id;
}

TEST_P(ResourcesTest, NoteBrowserTemplate)
{
    DialogTemplate dialog;
    LoadDialog(IDD_NOTE_BROWSER, &dialog);
    EXPECT_EQ(dialog.Caption, "Note Browser");
    EXPECT_EQ(dialog.Font, "Verdana");
    EXPECT_EQ(dialog.PointSize, 8u);
    EXPECT_EQ(dialog.Style, (DWORD)(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | WindowFont))
        << std::hex << dialog.Style;
    EXPECT_EQ(dialog.ExStyle, (DWORD)WS_EX_TOOLWINDOW);
    EXPECT_EQ(dialog.Cx, 370);
    EXPECT_EQ(dialog.Cy, 165);

    CheckControls(dialog, {
        {IDC_BROWSER_TREE, "SysTreeView32", "", TreeStyle, 0, 0, 2, 3, 120, 157},
        {IDC_BROWSER_NOTE, "RichEdit20A", "", NoteStyle, ES_READONLY, WS_EX_CLIENTEDGE, 124, 3, 242, 137},
        {IDC_BROWSER_SAVE_NOTE, "Button", "Save Note", NoteButton, ButtonKind, 0, 125, 146, 57, 15},
        {IDC_BROWSER_DELETE_NOTE, "Button", "Delete Note", NoteButton, ButtonKind, 0, 188, 146, 57, 15},
    });
}

TEST_P(ResourcesTest, IconGroupHoldsSmallAndLargeImages)
{
    std::string group = Resource(RT_GROUP_ICON, IDI_KESTREL);
    ASSERT_GE(group.size(), 6u);
    Reader in((const unsigned char *)group.data(), group.size());
    EXPECT_EQ(in.Word(), 0u);
    EXPECT_EQ(in.Word(), 1u); // icons, not cursors
    unsigned count = in.Word();
    bool small = false, large = false;
    for (unsigned i = 0; i < count && in.Ok(); ++i) {
        unsigned width = in.Byte(), height = in.Byte();
        in.Byte();  // colours
        in.Byte();  // reserved
        in.Word();  // planes
        in.Word();  // bits per pixel
        in.Dword(); // bytes
        WORD id = (WORD)in.Word();
        EXPECT_FALSE(Resource(RT_ICON, id).empty()) << "image " << id << " of the group";
        small = small || (width == 16 && height == 16);
        large = large || (width == 32 && height == 32);
    }
    EXPECT_TRUE(in.Ok());
    EXPECT_TRUE(small) << "no 16 by 16 image";
    EXPECT_TRUE(large) << "no 32 by 32 image";
}

// The attributes of the element that starts at `from`, by name.
std::map<std::string, std::string> Attributes(const std::string &xml, size_t from)
{
    std::map<std::string, std::string> found;
    size_t end = xml.find('>', from);
    size_t at = xml.find_first_of(" \t\r\n", from);
    while (at != std::string::npos && at < end) {
        size_t equals = xml.find('=', at);
        if (equals == std::string::npos || equals > end)
            break;
        size_t nameStart = xml.find_first_not_of(" \t\r\n", at);
        std::string name = xml.substr(nameStart, equals - nameStart);
        size_t open = xml.find_first_of("\"'", equals);
        size_t close = xml.find(xml[open], open + 1);
        found[name] = xml.substr(open + 1, close - open - 1);
        at = close + 1;
    }
    return found;
}

TEST_P(ResourcesTest, ManifestDeclaresTheCommonControlsSix)
{
    std::string xml = Resource(MAKEINTRESOURCEA(24), IDR_MANIFEST);
    ASSERT_FALSE(xml.empty()) << "manifest 1 in language 1033";

    ASSERT_EQ(xml.compare(0, 5, "<?xml"), 0);
    auto declaration = Attributes(xml, 0);
    EXPECT_EQ(declaration["version"], "1.0");
    EXPECT_EQ(declaration["standalone"], "yes");

    size_t assembly = xml.find("<assembly");
    ASSERT_NE(assembly, std::string::npos);
    EXPECT_EQ(Attributes(xml, assembly)["manifestVersion"], "1.0");

    size_t own = xml.find("<assemblyIdentity", assembly);
    ASSERT_NE(own, std::string::npos);
    auto identity = Attributes(xml, own);
    EXPECT_EQ(identity["version"], "2.1.0.0");
    EXPECT_EQ(identity["processorArchitecture"], "*");
    EXPECT_EQ(identity["name"], "Kestrel.exe");
    EXPECT_EQ(identity["type"], "win32");

    size_t description = xml.find("<description>");
    ASSERT_NE(description, std::string::npos);
    size_t descriptionEnd = xml.find("</description>", description);
    EXPECT_EQ(xml.substr(description + 13, descriptionEnd - description - 13), LookupCaption);

    size_t dependency = xml.find("<dependentAssembly");
    ASSERT_NE(dependency, std::string::npos);
    EXPECT_EQ(xml.find("<dependentAssembly", dependency + 1), std::string::npos) << "one dependency only";
    size_t controls = xml.find("<assemblyIdentity", dependency);
    ASSERT_NE(controls, std::string::npos);
    auto common = Attributes(xml, controls);
    EXPECT_EQ(common["type"], "win32");
    EXPECT_EQ(common["name"], "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(common["version"], "6.0.0.0");
    EXPECT_EQ(common["processorArchitecture"], "*");
    EXPECT_EQ(common["publicKeyToken"], "6595b64144ccf1df");
    EXPECT_EQ(common["language"], "*");
}

// One node of a version block: key, value bytes and children, in stored order.
struct VersionNode {
    std::string Key;
    unsigned Type = 0;
    std::string Value; // raw bytes
    std::vector<VersionNode> Children;
};

bool ParseVersionNode(const unsigned char *data, size_t size, size_t at, VersionNode *node, size_t *next)
{
    Reader in(data, size);
    in.Seek(at);
    unsigned length = in.Word();
    unsigned valueLength = in.Word();
    node->Type = in.Word();
    node->Key = Narrow(in.WideString());
    in.AlignTo4();
    size_t end = at + length;
    if (!in.Ok() || length < 6 || end > size)
        return false;
    // String values count UTF-16 units, binary ones bytes.
    size_t valueBytes = node->Type == 1 ? valueLength * 2 : valueLength;
    if (in.Pos() + valueBytes > end)
        return false;
    node->Value.assign((const char *)data + in.Pos(), valueBytes);
    in.Seek(in.Pos() + valueBytes);
    in.AlignTo4();
    size_t child = in.Pos();
    while (child < end) {
        VersionNode sub;
        size_t after = 0;
        if (!ParseVersionNode(data, size, child, &sub, &after))
            return false;
        node->Children.push_back(sub);
        child = (after + 3) & ~(size_t)3;
    }
    *next = end;
    return true;
}

std::string StringValue(const VersionNode &node)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < node.Value.size(); i += 2) {
        wchar_t c = (unsigned char)node.Value[i] | ((unsigned char)node.Value[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return Narrow(text);
}

void CheckFixedInfo(const VS_FIXEDFILEINFO &fixed)
{
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed.dwFileVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed.dwProductVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(fixed.dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, (DWORD)VOS__WINDOWS32);
    EXPECT_EQ(fixed.dwFileType, (DWORD)VFT_APP);
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS, 0u);
    EXPECT_EQ(fixed.dwFileDateLS, 0u);
}

TEST_P(ResourcesTest, VersionBlockThroughTheVersionApi)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", (void **)&fixed, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    CheckFixedInfo(*fixed);

    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", (void **)&translation, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0);

    const struct {
        const char *Key, *Value;
    } strings[] = {
        {"FileVersion", "3.0.0.1"},
        {"FileDescription", "View Error Descriptions form MASM tools"},
        {"ProductName", "Kestrel"},
        {"ProductVersion", "3.0.0.1"},
        {"CompanyName", nullptr},
        {"LegalCopyright", nullptr},
    };
    for (const auto &entry : strings) {
        char *value = nullptr;
        std::string query = std::string("\\StringFileInfo\\04090000\\") + entry.Key;
        ASSERT_TRUE(VerQueryValueA(&block[0], query.c_str(), (void **)&value, &length)) << entry.Key;
        if (entry.Value != nullptr)
            EXPECT_STREQ(value, entry.Value) << entry.Key;
        else
            EXPECT_GT(strlen(value), 0u) << entry.Key;
    }
}

TEST_P(ResourcesTest, VersionBlockLayout)
{
    std::string raw = Resource(RT_VERSION, IDV_VERSION);
    ASSERT_FALSE(raw.empty()) << "version block 1 in language 1033";
    const unsigned char *data = (const unsigned char *)raw.data();
    VersionNode root;
    size_t next = 0;
    ASSERT_TRUE(ParseVersionNode(data, raw.size(), 0, &root, &next));
    EXPECT_EQ(root.Key, "VS_VERSION_INFO");
    ASSERT_EQ(root.Value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, root.Value.data(), sizeof fixed);
    CheckFixedInfo(fixed);

    ASSERT_EQ(root.Children.size(), 2u);
    const VersionNode &stringInfo = root.Children[0];
    EXPECT_EQ(stringInfo.Key, "StringFileInfo");
    ASSERT_EQ(stringInfo.Children.size(), 1u) << "one string table";
    const VersionNode &table = stringInfo.Children[0];
    EXPECT_EQ(table.Key, "04090000");
    const char *const keys[] = {"CompanyName", "FileVersion", "FileDescription",
                                "LegalCopyright", "ProductName", "ProductVersion"};
    ASSERT_EQ(table.Children.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(table.Children[i].Key, keys[i]);
    EXPECT_EQ(StringValue(table.Children[1]), "3.0.0.1");
    EXPECT_EQ(StringValue(table.Children[2]), "View Error Descriptions form MASM tools");
    EXPECT_EQ(StringValue(table.Children[4]), "Kestrel");
    EXPECT_EQ(StringValue(table.Children[5]), "3.0.0.1");

    const VersionNode &varInfo = root.Children[1];
    EXPECT_EQ(varInfo.Key, "VarFileInfo");
    ASSERT_EQ(varInfo.Children.size(), 1u);
    EXPECT_EQ(varInfo.Children[0].Key, "Translation");
    EXPECT_EQ(varInfo.Children[0].Value, std::string("\x09\x04\x00\x00", 4));
}

INSTANTIATE_TEST_SUITE_P(Modules, ResourcesTest,
                         ::testing::Values(ModuleUnderTest{"TestBuild64"}, ModuleUnderTest{"Product32"}),
                         [](const ::testing::TestParamInfo<ModuleUnderTest> &info) { return info.param.Name; });

} // namespace
