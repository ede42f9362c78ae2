// tests/wine/AboutTest.cpp
// The About window over a real lookup window: its texts, the count of known errors, the
// title font's life, how it closes, and where its links lead.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/AboutDialog.h"
#include "catalogue/Label.h"
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

namespace {

const char ToolsList[] = "ML\r\nCVTRES\r\nNMAKE\r\nLINK\\LIB\\DUMPBIN\\EDITBIN\r\nRC (\"C\" Errors)\r\n"
                         "RC (\"W\" Errors)\r\nH2INC\r\nMIDL";

HWND OpenAbout(HWND lookup)
{
    PostMessageA(lookup, WM_SYSCOMMAND, IDM_ABOUT, 0);
    return WaitForWindow("About Kestrel");
}

HFONT TitleFontOf(HWND about)
{
    return (HFONT)SendDlgItemMessageA(about, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0);
}

std::string ClassOf(HWND window)
{
    char name[64] = {0};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Everything OpenLinkTarget was called with.
struct LinkCall {
    HWND Owner;
    std::string Verb, File;
    bool ParametersNull, DirectoryNull;
    INT Show;
};
std::vector<LinkCall> LinkCalls;

HINSTANCE WINAPI RecordLink(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show)
{
    LinkCalls.push_back({owner, verb ? verb : "<null>", file ? file : "<null>", parameters == NULL,
                         directory == NULL, show});
    return (HINSTANCE)42; // above 32: success, as the shell would say
}

void SendLinkNotify(HWND about, int control, UINT code)
{
    NMLINK link;
    ZeroMemory(&link, sizeof link);
    link.hdr.hwndFrom = GetDlgItem(about, control);
    link.hdr.idFrom = control;
    link.hdr.code = code;
    SendMessageA(about, WM_NOTIFY, control, (LPARAM)&link);
}

// A key pressed and released in `window`, handled by the modal loop's dialog keys. The
// lookup window beneath shares its thread and outlives a key that closes `window`.
void PressKey(HWND window, WPARAM key, HWND lookup)
{
    PostMessageA(window, WM_KEYDOWN, key, 0x00010001);
    PostMessageA(window, WM_KEYUP, key, 0xC0010001);
    EXPECT_TRUE(FlushPosted(lookup));
}

class About : public testing::Test {
protected:
    void SetUp() override
    {
        StartLinkedAddIn();
        OpenLinkTarget = ShellExecuteA;
        LinkCalls.clear();
    }
    void TearDown() override { OpenLinkTarget = ShellExecuteA; }
};

TEST(FormatSignedDecimal, WritesPlainDecimalText)
{
    const struct {
        int32_t Value;
        const char *Expected;
    } cases[] = {
        {0, "0"}, {7, "7"}, {-7, "-7"}, {2147483647, "2147483647"}, {(int32_t)0x80000000u, "-2147483648"},
    };
    for (const auto &c : cases) {
        char text[SignedDecimalCapacity + 4];
        memset(text, '#', sizeof text);
        FormatSignedDecimal(c.Value, text);
        EXPECT_STREQ(text, c.Expected) << c.Value;
        for (size_t i = strlen(c.Expected) + 1; i < sizeof text; ++i)
            EXPECT_EQ(text[i], '#') << c.Value << ": byte " << i << " written";
    }
}

TEST_F(About, ShowsItsTextsToolsAndTheNumberOfEntries)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND tree = GetDlgItem(lookup, IDC_CATALOGUE_TREE);
                 std::vector<HTREEITEM> categories = Children(tree, NULL);
                 ASSERT_EQ(categories.size(), 8u);
                 size_t entries = 0;
                 for (HTREEITEM category : categories)
                     entries += Children(tree, category).size();
                 LRESULT items = SendMessageA(tree, TVM_GETCOUNT, 0, 0);
                 EXPECT_EQ((size_t)items - 8, entries);
                 EXPECT_GT(entries, 0u) << "the built modules are there";

                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 const struct {
                     int Id;
                     std::string Text;
                 } texts[] = {
                     {IDC_ABOUT_TITLE, LookupCaption},
                     {IDC_ABOUT_VERSION, "Version: 3.0"},
                     {IDC_ABOUT_DESCRIPTION, "View error descriptions for MASM tools"},
                     {IDC_ABOUT_TOOLS_LABEL, "Tools supported:"},
                     {IDC_ABOUT_TOOLS, ToolsList},
                     {IDC_ABOUT_TOTAL_LABEL, "Total errors:"},
                     {IDC_ABOUT_TOTAL, std::to_string(entries)},
                     {IDC_ABOUT_HOST, "WinASM Studio Addin"},
                 };
                 for (const auto &t : texts)
                     EXPECT_EQ(ControlText(about, t.Id), t.Text) << "control " << t.Id;
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_TOOLS).size(), 90u);
                 EXPECT_FALSE(IsWindowEnabled(lookup)) << "the lookup window takes no input beneath";

                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(About, TheLinksAreLinkControlsWithTheMakersAddresses)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 EXPECT_EQ(ClassOf(GetDlgItem(about, IDC_ABOUT_WEB_LINK)), "SysLink");
                 EXPECT_EQ(ClassOf(GetDlgItem(about, IDC_ABOUT_MAIL_LINK)), "SysLink");
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_WEB_LINK), "<a>kestrel.example.org</a>");
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_MAIL_LINK), "<a>kestrel@example.org</a>");
                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(About, TheTitleIsBoldVerdana)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 HFONT font = TitleFontOf(about);
                 ASSERT_NE(font, (HFONT)NULL);
                 LOGFONTA logical;
                 ZeroMemory(&logical, sizeof logical);
                 ASSERT_EQ(GetObjectA(font, sizeof logical, &logical), (int)sizeof logical);
                 EXPECT_EQ(logical.lfWeight, 700);
                 EXPECT_EQ(logical.lfHeight, -12);
                 EXPECT_STREQ(logical.lfFaceName, "Verdana");
                 EXPECT_EQ(logical.lfItalic, 0);
                 EXPECT_EQ(logical.lfCharSet, 0);
                 // The other texts keep the window's own font.
                 EXPECT_NE((HFONT)SendDlgItemMessageA(about, IDC_ABOUT_VERSION, WM_GETFONT, 0, 0), font);
                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(About, EnterKeepsItOpen)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 HFONT font = TitleFontOf(about);
                 SendCommand(about, IDOK);
                 EXPECT_TRUE(IsWindowVisible(about)) << "IDOK";
                 PressKey(about, VK_RETURN, lookup);
                 EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about)) << "Enter key";
                 EXPECT_EQ(TitleFontOf(about), font);
                 EXPECT_NE(GetObjectType(font), 0u) << "the title font lives while the window is open";
                 // Other commands, and IDCANCEL with a notification code, do nothing either.
                 SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_TOTAL, 0), 0);
                 SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);
                 EXPECT_TRUE(IsWindowVisible(about)) << "other commands";
                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

TEST_F(About, EscapeAndCloseEndItAndDeleteTheTitleFont)
{
    const struct {
        const char *Way;
        void (*Close)(HWND about, HWND lookup);
    } ways[] = {
        {"IDCANCEL", [](HWND about, HWND) { SendCommand(about, IDCANCEL); }},
        {"Escape key", [](HWND about, HWND lookup) { PressKey(about, VK_ESCAPE, lookup); }},
        {"WM_CLOSE", [](HWND about, HWND) { SendMessageA(about, WM_CLOSE, 0, 0); }},
    };
    for (const auto &way : ways) {
        RunModal([] { OpenLookupWindow(NULL, NULL); },
                 [&way] {
                     HWND lookup = WaitForWindow(LookupCaption);
                     ASSERT_NE(lookup, (HWND)NULL);
                     HWND about = OpenAbout(lookup);
                     ASSERT_NE(about, (HWND)NULL);
                     HFONT font = TitleFontOf(about);
                     ASSERT_EQ(GetObjectType(font), (DWORD)OBJ_FONT) << way.Way;
                     way.Close(about, lookup);
                     EXPECT_TRUE(WaitForClose(about)) << way.Way;
                     EXPECT_EQ(GetObjectType(font), 0u) << way.Way << ": the title font is deleted";
                     DWORD start = GetTickCount();
                     while (!IsWindowEnabled(lookup) && GetTickCount() - start < 5000)
                         Sleep(10);
                     EXPECT_TRUE(IsWindowEnabled(lookup)) << way.Way;
                     EXPECT_TRUE(IsWindowVisible(lookup)) << way.Way << ": the lookup window stays";
                     SendMessageA(lookup, WM_CLOSE, 0, 0);
                 });
    }
}

TEST_F(About, RepeatedOpeningsHoldNoMoreGdiObjects)
{
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 // Each opening's title font must be gone once it closes: checked on the
                 // handle itself, since Wine's GetGuiResources counts nothing (it returns 0).
                 auto openAndClose = [lookup]() {
                     HWND about = OpenAbout(lookup);
                     if (about == NULL)
                         return false;
                     HFONT font = TitleFontOf(about);
                     bool live = GetObjectType(font) == OBJ_FONT;
                     SendMessageA(about, WM_CLOSE, 0, 0);
                     return WaitForClose(about) && live && GetObjectType(font) == 0;
                 };
                 // The first openings may fill system caches (link fonts, brushes).
                 ASSERT_TRUE(openAndClose());
                 ASSERT_TRUE(openAndClose());
                 SendMessageA(lookup, WM_NULL, 0, 0);
                 DWORD before = CountResources().Gdi;
                 for (int i = 0; i < 50; ++i)
                     ASSERT_TRUE(openAndClose()) << "opening " << i;
                 SendMessageA(lookup, WM_NULL, 0, 0);
                 EXPECT_EQ(CountResources().Gdi, before);
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             },
             60000);
}

TEST_F(About, ClicksOnTheLinksOpenTheirAddresses)
{
    OpenLinkTarget = RecordLink;
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 const struct {
                     int Control;
                     UINT Code;
                     const char *File; // NULL: nothing is opened
                 } clicks[] = {
                     {IDC_ABOUT_WEB_LINK, (UINT)NM_CLICK, "http://kestrel.example.org"},
                     {IDC_ABOUT_MAIL_LINK, (UINT)NM_CLICK, "mailto://kestrel@example.org"},
                     {IDC_ABOUT_WEB_LINK, (UINT)NM_RETURN, NULL},
                     {IDC_ABOUT_MAIL_LINK, (UINT)NM_DBLCLK, NULL},
                     {IDC_ABOUT_TOTAL, (UINT)NM_CLICK, NULL},
                     {IDC_ABOUT_TITLE, (UINT)NM_CLICK, NULL},
                     {IDOK, (UINT)NM_CLICK, NULL},
                 };
                 for (const auto &click : clicks) {
                     LinkCalls.clear();
                     SendLinkNotify(about, click.Control, click.Code);
                     if (click.File == NULL) {
                         EXPECT_TRUE(LinkCalls.empty()) << click.Control << " code " << (int)click.Code;
                         continue;
                     }
                     ASSERT_EQ(LinkCalls.size(), 1u) << click.Control;
                     const LinkCall &call = LinkCalls[0];
                     EXPECT_EQ(call.Owner, (HWND)NULL);
                     EXPECT_EQ(call.Verb, "Open");
                     EXPECT_EQ(call.File, click.File);
                     EXPECT_TRUE(call.ParametersNull);
                     EXPECT_TRUE(call.DirectoryNull);
                     EXPECT_EQ(call.Show, SW_SHOW);
                 }
                 EXPECT_TRUE(IsWindowVisible(about)) << "a click leaves the window open";

                 // A real click on the web link: the control itself reports NM_CLICK.
                 LinkCalls.clear();
                 HWND web = GetDlgItem(about, IDC_ABOUT_WEB_LINK);
                 PostMessageA(web, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
                 PostMessageA(web, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
                 ASSERT_TRUE(FlushPosted(about));
                 ASSERT_EQ(LinkCalls.size(), 1u) << "a click on the link control";
                 EXPECT_EQ(LinkCalls[0].File, "http://kestrel.example.org");

                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });
}

// End to end, as a host runs the add-in: a folder with no message modules gives a
// catalogue of bare categories, and the About window counts no errors.
TEST(AboutAddIn, CountsNoErrorsWithoutModules)
{
    std::string folder = NewAddInFolder("browse", false);
    ASSERT_FALSE(folder.empty());
    AddIn addIn;
    ASSERT_TRUE(addIn.Open(folder + "Kestrel.dll"));
    TestHost host;
    ASSERT_TRUE(host.Create());
    ASSERT_EQ(addIn.WAAddInLoad(host.Handles, host.Features), 0);
    DWORD command = host.NextMenuId - 1;

    RunModal([&] { addIn.FrameWindowProc(host.Main, WM_COMMAND, MAKEWPARAM(command, 0), 0); },
             [] {
                 HWND lookup = WaitForWindow(LookupCaption);
                 ASSERT_NE(lookup, (HWND)NULL);
                 HWND tree = GetDlgItem(lookup, IDC_CATALOGUE_TREE);
                 EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 8);
                 HWND about = OpenAbout(lookup);
                 ASSERT_NE(about, (HWND)NULL);
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_TOTAL), "0");
                 EXPECT_EQ(ControlText(about, IDC_ABOUT_TOOLS), ToolsList) << "the tools list is fixed";
                 SendMessageA(about, WM_CLOSE, 0, 0);
                 EXPECT_TRUE(WaitForClose(about));
                 SendMessageA(lookup, WM_CLOSE, 0, 0);
             });

    addIn.WAAddInUnload();
    addIn.Close();
    host.Destroy();
    RemoveTree(folder);
    EXPECT_FALSE(Exists(folder));
}

} // namespace
