// tests/wine/AddInTest.cpp
// The add-in as a host meets it: the built Kestrel.dll in a fresh add-in folder, loaded,
// driven through its five exports and its entry point, and unloaded.
#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"

using namespace harness;

namespace {

const DWORD FirstMenuId = 40001;
const DWORD ManagerId = 12001;
const DWORD OtherAddInId = 40500;

// ---- what the add-in asked of the host, and what its dialogs went through ----------

struct HostRequest {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
    bool BufferZero; // 2039: the whole announced buffer was zero when it arrived
};
std::vector<HostRequest> Requests;
WNDPROC PreviousMainProc, PreviousOutputProc;

void Record(UINT message, WPARAM wParam, LPARAM lParam)
{
    HostRequest request = {message, wParam, lParam, false};
    if (message == WM_HOST_GET_WORD && lParam != 0) {
        const char *buffer = (const char *)lParam;
        request.BufferZero = true;
        for (WPARAM i = 0; i < wParam; ++i)
            if (buffer[i] != 0)
                request.BufferZero = false;
    }
    Requests.push_back(request);
}

LRESULT CALLBACK RecordingMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOST_NEXT_MENU_ID)
        Record(message, wParam, lParam);
    return CallWindowProcA(PreviousMainProc, window, message, wParam, lParam);
}

LRESULT CALLBACK RecordingOutputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOST_GET_WORD)
        Record(message, wParam, lParam);
    return CallWindowProcA(PreviousOutputProc, window, message, wParam, lParam);
}

// Dialogs on the host thread, from the messages sent to them: how many started and were
// told to close, and the texts handed to the lookup window's number field as they were
// sent (the field upper-cases what it keeps).
int SentToDialogs(UINT message)
{
    int count = 0;
    for (const SentMessage &sent : SentMessages())
        count += sent.Dialog && sent.Message == message;
    return count;
}

int DialogsStarted() { return SentToDialogs(WM_INITDIALOG); }
int DialogsClosed() { return SentToDialogs(WM_CLOSE); }

std::vector<std::string> NumberFieldTexts()
{
    std::vector<std::string> texts;
    for (const SentMessage &sent : SentMessages())
        if (sent.Message == WM_SETTEXT && sent.DialogItem == IDC_ERROR_NUMBER)
            texts.push_back(sent.Text);
    return texts;
}

void ResetLog()
{
    Requests.clear();
    ClearSent();
}

std::string MenuLayout(HMENU menu)
{
    std::string layout;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        if (!layout.empty())
            layout += ",";
        layout += (info.fType & MFT_SEPARATOR) ? std::string("sep") : std::to_string(info.wID);
    }
    return layout;
}

HTREEITEM SelectedItem(HWND tree)
{
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
}

class AddInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLog();
        folder = NewAddInFolder("addin");
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(addIn.Open(folder + "Kestrel.dll"));
        ASSERT_TRUE(host.Create());
        PreviousMainProc = (WNDPROC)SetWindowLongPtrA(host.Main, GWLP_WNDPROC, (LONG_PTR)RecordingMainProc);
        PreviousOutputProc =
            (WNDPROC)SetWindowLongPtrA(host.Output, GWLP_WNDPROC, (LONG_PTR)RecordingOutputProc);
        ASSERT_TRUE(StartRecordingSent());
    }

    void TearDown() override
    {
        StopRecordingSent();
        if (loaded)
            addIn.WAAddInUnload();
        host.Destroy();
        addIn.Close();
        if (!folder.empty())
            RemoveTree(folder);
    }

    void Load()
    {
        int result = addIn.WAAddInLoad(host.Handles, host.Features);
        loaded = true; // unload whatever it took, even when it refused
        ASSERT_EQ(result, 0);
    }

    void LoadQuietly()
    {
        Load();
        ResetLog();
    }

    void Unload()
    {
        addIn.WAAddInUnload();
        loaded = false;
    }

    // Runs a window procedure call that must come back by itself, showing no window. One
    // it leaves open is closed once the call has had ample time to end, and fails the test.
    template <typename Proc>
    int CallAtOnce(const Proc &proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        int result = -1;
        int leftOpen = RunModal([&] { result = proc(window, message, wParam, lParam); }, [] {}, 20000, 10000);
        EXPECT_EQ(leftOpen, 0) << "the call left a window open";
        return result;
    }

    std::string folder;
    AddIn addIn;
    TestHost host;
    bool loaded = false;
};

// ---- GetWAAddInData ------------------------------------------------------------------

void ExpectExactText(const unsigned char *buffer, const char *expected)
{
    size_t length = strlen(expected);
    EXPECT_EQ(std::string((const char *)buffer, length), expected);
    EXPECT_EQ(buffer[length], 0) << "no terminating zero after " << expected;
    for (size_t i = length + 1; i < 256; ++i)
        if (buffer[i] != 0xCC) {
            ADD_FAILURE() << "byte " << i << " written after " << expected;
            break;
        }
}

void ExpectAddInData(const AddIn &addIn)
{
    unsigned char name[256], description[256];
    memset(name, 0xCC, sizeof name);
    memset(description, 0xCC, sizeof description);
    addIn.GetWAAddInData((char *)name, (char *)description);
    ExpectExactText(name, LookupCaption);
    ExpectExactText(description, "Kestrel version: 3.0");
}

TEST_F(AddInTest, GetWAAddInDataNamesTheAddInBeforeAndAfterLoad)
{
    {
        SCOPED_TRACE("before WAAddInLoad");
        ExpectAddInData(addIn);
    }
    LoadQuietly();
    {
        SCOPED_TRACE("after WAAddInLoad");
        ExpectAddInData(addIn);
    }
    EXPECT_TRUE(Requests.empty()) << "GetWAAddInData talks to no host window";
}

// ---- WAAddInLoad ---------------------------------------------------------------------

TEST_F(AddInTest, LoadAddsASeparatorAndOneOwnerDrawnItemWithTheHostsId)
{
    ASSERT_EQ(GetMenuItemCount(host.AddInsMenu), 1);
    Load();

    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Requests[0].Message, (UINT)WM_HOST_NEXT_MENU_ID);
    EXPECT_EQ(Requests[0].WParam, 0u);
    EXPECT_EQ(Requests[0].LParam, 0);
    EXPECT_EQ(host.NextMenuId, FirstMenuId + 1) << "one id asked of the host";

    ASSERT_EQ(MenuLayout(host.AddInsMenu), "12001,sep,40001") << "the first add-in brings the separator";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoA(host.AddInsMenu, 2, TRUE, &info));
    EXPECT_EQ(info.fType, (UINT)MFT_OWNERDRAW);
    EXPECT_EQ(info.wID, FirstMenuId);
    ASSERT_NE(info.dwItemData, 0u);
    EXPECT_STREQ((const char *)info.dwItemData, "Kestrel");

    // The caption must live as long as the module: inside its image, not on a stack.
    const BYTE *base = (const BYTE *)addIn.Module;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    const BYTE *text = (const BYTE *)info.dwItemData;
    EXPECT_TRUE(text >= base && text < base + nt->OptionalHeader.SizeOfImage);

    // The manager item is untouched.
    info.fMask = MIIM_FTYPE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoA(host.AddInsMenu, 0, TRUE, &info));
    EXPECT_EQ(info.wID, ManagerId);
    EXPECT_EQ(info.fType, (UINT)MFT_STRING);
}

TEST_F(AddInTest, LoadTakesWhicheverIdTheHostAllots)
{
    host.NextMenuId = 41234;
    Load();
    EXPECT_EQ(host.NextMenuId, 41235u);
    EXPECT_EQ(MenuLayout(host.AddInsMenu), "12001,sep,41234");
}

// ---- FrameWindowProc -------------------------------------------------------------------

TEST_F(AddInTest, MenuCommandOpensTheLookupWindowOverTheHost)
{
    const struct {
        WORD Notification;
        const char *Source;
    } cases[] = {{0, "menu"}, {1, "accelerator"}};
    LoadQuietly();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Source);
        ResetLog();
        std::atomic<int> result(-1);
        bool opened = false;
        RunModal([&] { result = addIn.FrameWindowProc(host.Main, WM_COMMAND, MAKEWPARAM(FirstMenuId, c.Notification), 0); },
                 [&] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     opened = true;
                     EXPECT_EQ(GetWindow(window, GW_OWNER), host.Main);
                     EXPECT_FALSE(IsWindowEnabled(host.Main)) << "modal to the host's main window";
                     EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "") << "opened without a code";
                     EXPECT_EQ(Children(GetDlgItem(window, IDC_CATALOGUE_TREE), NULL).size(), 8u);
                     EXPECT_EQ(result, -1) << "returned before the window closed";
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
        EXPECT_TRUE(opened);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(DialogsStarted(), 1);
        EXPECT_EQ(DialogsClosed(), 1) << "closed by this test's WM_CLOSE only";
        EXPECT_TRUE(IsWindowEnabled(host.Main));
        EXPECT_TRUE(Requests.empty()) << "the menu command needs nothing from the host";
    }
    // The lookup window found its folder through the module's own instance.
    EXPECT_TRUE(Exists(NotesFolderOf(folder)));
}

TEST_F(AddInTest, FrameWindowProcPassesOnEverythingElse)
{
    LoadQuietly();
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = FirstMenuId;
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_MENU;
    draw.itemID = FirstMenuId;
    const struct {
        const char *Name;
        UINT Message;
        WPARAM WParam;
        LPARAM LParam;
    } cases[] = {
        {"WM_PAINT", WM_PAINT, 0, 0},
        {"manager command", WM_COMMAND, MAKEWPARAM(ManagerId, 0), 0},
        {"next id", WM_COMMAND, MAKEWPARAM(FirstMenuId + 1, 0), 0},
        {"WM_SYSCOMMAND with our id", WM_SYSCOMMAND, FirstMenuId, 0},
        {"WM_MENUSELECT of our item", WM_MENUSELECT, MAKEWPARAM(FirstMenuId, MF_OWNERDRAW), (LPARAM)host.AddInsMenu},
        {"WM_MEASUREITEM", WM_MEASUREITEM, 0, (LPARAM)&measure},
        {"WM_DRAWITEM", WM_DRAWITEM, 0, (LPARAM)&draw},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CallAtOnce(addIn.FrameWindowProc, host.Main, c.Message, c.WParam, c.LParam), 0);
    }
    EXPECT_EQ(DialogsStarted(), 0);
    EXPECT_TRUE(Requests.empty());
    EXPECT_EQ(measure.itemWidth, 0u) << "measuring is the host's";
}

TEST_F(AddInTest, IdAbove65535NeverMatchesACommand)
{
    host.NextMenuId = 0x10000 + FirstMenuId;
    LoadQuietly();
    EXPECT_EQ(CallAtOnce(addIn.FrameWindowProc, host.Main, WM_COMMAND, MAKEWPARAM(FirstMenuId, 0), 0), 0);
    EXPECT_EQ(DialogsStarted(), 0);
}

// ---- OutWindowProc ---------------------------------------------------------------------

TEST_F(AddInTest, DoubleClickOnAKnownCodeOpensTheLookupWindowOnIt)
{
    const struct {
        const char *Word;
        const char *Category;
        const char *Label;
    } cases[] = {
        {"A2008", "ML", "A2008"},
        {"lnk1104", LinkCategory, "LNK1104"},
    };
    LoadQuietly();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Word);
        host.Word = c.Word;
        ResetLog();
        std::atomic<int> result(-1);
        bool opened = false;
        RunModal([&] { result = addIn.OutWindowProc(host.Output, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(30, 8)); },
                 [&] {
                     HWND window = WaitForWindow(LookupCaption);
                     ASSERT_NE(window, (HWND)NULL);
                     opened = true;
                     EXPECT_EQ(GetWindow(window, GW_OWNER), host.Main) << "owned by the main window, not the output";
                     // The field is ES_UPPERCASE: it keeps the label's spelling whatever
                     // text it was handed; what it was handed is checked below.
                     EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), c.Label);
                     EXPECT_EQ(result, -1) << "returned before the window closed";
                     HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                     HTREEITEM selected = SelectedItem(tree);
                     ASSERT_NE(selected, (HTREEITEM)NULL);
                     EXPECT_EQ(ItemText(tree, selected), c.Label);
                     HTREEITEM parent = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)selected);
                     EXPECT_EQ(ItemText(tree, parent), c.Category);
                     EXPECT_NE(ControlText(window, IDC_ERROR), "") << "details shown";
                     SendMessageA(window, WM_CLOSE, 0, 0);
                 });
        EXPECT_TRUE(opened);
        EXPECT_EQ(result, 0);
        ASSERT_FALSE(NumberFieldTexts().empty());
        EXPECT_EQ(NumberFieldTexts().back(), c.Word) << "the host's text goes to the number field unchanged";
        EXPECT_EQ(DialogsClosed(), 1) << "closed by this test's WM_CLOSE only";
        ASSERT_EQ(Requests.size(), 1u);
        EXPECT_EQ(Requests[0].Message, (UINT)WM_HOST_GET_WORD);
        EXPECT_EQ(Requests[0].WParam, 256u);
        EXPECT_NE(Requests[0].LParam, 0);
        EXPECT_TRUE(Requests[0].BufferZero) << "the buffer is zeroed before the host is asked";
    }
}

TEST_F(AddInTest, DoubleClickOnAnythingElseShowsNoWindow)
{
    struct Case {
        const char *Name;
        std::string Word;
        bool FillWithoutZero;
    };
    const Case cases[] = {
        {"unknown code", "A9999", false},
        {"empty answer", "", false},
        {"text that is no code", "hello.asm(12)", false},
        {"full buffer without a terminator", "", true},
    };
    LoadQuietly();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        host.Word = c.Word;
        host.FillWithoutZero = c.FillWithoutZero;
        ResetLog();
        EXPECT_EQ(CallAtOnce(addIn.OutWindowProc, host.Output, WM_LBUTTONDBLCLK, MK_LBUTTON, 0), 0);
        EXPECT_EQ(Requests.size(), 1u) << "the host was asked for its text";
        // The window ends inside WM_INITDIALOG, so nothing has to close it. (Wine still
        // paints a WS_VISIBLE template once after such an end, where Windows destroys it
        // unshown, so the show itself is not what is checked.)
        EXPECT_EQ(DialogsStarted(), 1) << "the window was opened on the host's text";
        EXPECT_EQ(DialogsClosed(), 0) << "the window stayed open until closed from outside";
        EXPECT_EQ(FindWindowA(NULL, LookupCaption), (HWND)NULL);
    }
}

TEST_F(AddInTest, OutWindowProcIgnoresOtherMessages)
{
    host.Word = "A2008";
    LoadQuietly();
    const struct {
        const char *Name;
        UINT Message;
        WPARAM WParam;
    } cases[] = {
        {"WM_LBUTTONDOWN", WM_LBUTTONDOWN, MK_LBUTTON},
        {"WM_LBUTTONUP", WM_LBUTTONUP, 0},
        {"WM_RBUTTONDBLCLK", WM_RBUTTONDBLCLK, MK_RBUTTON},
        {"WM_MBUTTONDBLCLK", WM_MBUTTONDBLCLK, MK_MBUTTON},
        {"WM_KEYDOWN Enter", WM_KEYDOWN, VK_RETURN},
        {"WM_CONTEXTMENU", WM_CONTEXTMENU, 0},
        {"WM_COMMAND with our id", WM_COMMAND, FirstMenuId},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CallAtOnce(addIn.OutWindowProc, host.Output, c.Message, c.WParam, 0), 0);
    }
    EXPECT_TRUE(Requests.empty()) << "the host is asked only on a double-click";
    EXPECT_EQ(DialogsStarted(), 0);
}

// ---- WAAddInUnload ---------------------------------------------------------------------

// Another add-in written to the host's samples: at load it asks for an id and appends a
// separator when the popup holds only the manager item, then its own item; at unload it
// deletes the item at position 1 when the popup holds exactly three, then its own.
struct SampleAddIn {
    TestHost &Host;
    UINT Id = 0;
    void Load()
    {
        Id = (UINT)SendMessageA(Host.Main, WM_HOST_NEXT_MENU_ID, 0, 0);
        if (GetMenuItemCount(Host.AddInsMenu) == 1)
            AppendMenuA(Host.AddInsMenu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(Host.AddInsMenu, MF_STRING, Id, "Sample");
    }
    void Unload()
    {
        if (GetMenuItemCount(Host.AddInsMenu) == 3)
            DeleteMenu(Host.AddInsMenu, 1, MF_BYPOSITION);
        DeleteMenu(Host.AddInsMenu, Id, MF_BYCOMMAND);
    }
};

// Each step loads or unloads Kestrel ('K') or the sample add-in ('S'); the popup must read
// as given after it. Each add-in removes only what it brought, whatever the order.
TEST_F(AddInTest, LoadAndUnloadFollowTheHostsSeparatorConvention)
{
    struct Step {
        char AddIn;
        bool Load;
        const char *Layout;
    };
    const struct {
        const char *Name;
        bool OtherItemFirst; // an item of some other add-in, with no separator before it
        std::vector<Step> Steps;
    } cases[] = {
        {"alone", false, {{'K', true, "12001,sep,40001"}, {'K', false, "12001"}}},
        {"after a sample add-in, unloaded first",
         false,
         {{'S', true, "12001,sep,40001"},
          {'K', true, "12001,sep,40001,40002"},
          {'K', false, "12001,sep,40001"},
          {'S', false, "12001"}}},
        {"after a sample add-in, unloaded last",
         false,
         {{'S', true, "12001,sep,40001"},
          {'K', true, "12001,sep,40001,40002"},
          {'S', false, "12001,sep,40002"},
          {'K', false, "12001"}}},
        {"before a sample add-in, which unloads first",
         false,
         {{'K', true, "12001,sep,40001"},
          {'S', true, "12001,sep,40001,40002"},
          {'S', false, "12001,sep,40001"},
          {'K', false, "12001"}}},
        {"before a sample add-in, unloaded first",
         false,
         {{'K', true, "12001,sep,40001"},
          {'S', true, "12001,sep,40001,40002"},
          {'K', false, "12001,sep,40002"},
          {'S', false, "12001"}}},
        {"after an item with no separator", true, {{'K', true, "12001,40500,40001"}, {'K', false, "12001,40500"}}},
        {"loaded, unloaded and loaded again",
         false,
         {{'K', true, "12001,sep,40001"},
          {'K', false, "12001"},
          {'K', true, "12001,sep,40002"},
          {'K', false, "12001"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        while (GetMenuItemCount(host.AddInsMenu) > 1)
            DeleteMenu(host.AddInsMenu, 1, MF_BYPOSITION);
        host.NextMenuId = FirstMenuId;
        if (c.OtherItemFirst)
            AppendMenuA(host.AddInsMenu, MF_STRING, OtherAddInId, "Other");
        SampleAddIn sample{host};
        for (size_t i = 0; i < c.Steps.size(); ++i) {
            const Step &step = c.Steps[i];
            SCOPED_TRACE(i);
            if (step.AddIn == 'K' && step.Load)
                Load();
            else if (step.AddIn == 'K')
                Unload();
            else if (step.Load)
                sample.Load();
            else
                sample.Unload();
            EXPECT_EQ(MenuLayout(host.AddInsMenu), step.Layout);
        }
    }
}

// ---- COM on the host's thread ----------------------------------------------------------

typedef HRESULT(WINAPI *GetApartmentTypeFunction)(APTTYPE *, APTTYPEQUALIFIER *);

// "STA", "MTA", "none" or "?" when the system cannot tell.
std::string Apartment()
{
    GetApartmentTypeFunction get =
        (GetApartmentTypeFunction)GetProcAddress(GetModuleHandleA("ole32.dll"), "CoGetApartmentType");
    if (get == nullptr)
        return "?";
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    HRESULT hr = get(&type, &qualifier);
    if (hr == CO_E_NOTINITIALIZED)
        return "none";
    if (FAILED(hr))
        return "?";
    if (type == APTTYPE_STA || type == APTTYPE_MAINSTA)
        return "STA";
    if (type == APTTYPE_MTA)
        return qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA ? "implicit MTA" : "MTA";
    return "?";
}

// A fresh host thread: its own test host, the add-in loaded and unloaded on it, with or
// without an apartment of the host's own beforehand.
void RunHostThread(AddIn &addIn, bool hostInApartment)
{
    std::thread thread([&] {
        if (hostInApartment) {
            ASSERT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), S_OK);
        }
        TestHost threadHost;
        ASSERT_TRUE(threadHost.Create());
        ASSERT_EQ(addIn.WAAddInLoad(threadHost.Handles, threadHost.Features), 0);
        std::string whileLoaded = Apartment();
        if (whileLoaded != "?") {
            EXPECT_EQ(whileLoaded, hostInApartment ? "STA" : "MTA");
        }
        addIn.WAAddInUnload();
        threadHost.Destroy();

        if (hostInApartment) {
            std::string after = Apartment();
            if (after != "?") {
                EXPECT_EQ(after, "STA") << "the host's apartment survives unload";
            }
            EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), S_FALSE) << "still initialised";
            CoUninitialize();
            CoUninitialize();
        } else {
            EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), S_OK) << "no COM left behind";
            CoUninitialize();
        }
    });
    thread.join();
}

TEST_F(AddInTest, UnloadKeepsTheHostThreadsOwnApartment)
{
    RunHostThread(addIn, true);
}

TEST_F(AddInTest, UnloadLeavesNoComBehindOnAThreadWithoutIt)
{
    RunHostThread(addIn, false);
}

// ---- the module's entry point ----------------------------------------------------------

typedef BOOL(WINAPI *EntryPoint)(HINSTANCE, DWORD, LPVOID);

EntryPoint EntryPointOf(HMODULE module)
{
    const BYTE *base = (const BYTE *)module;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    if (nt->OptionalHeader.AddressOfEntryPoint == 0)
        return nullptr;
    return (EntryPoint)(base + nt->OptionalHeader.AddressOfEntryPoint);
}

TEST_F(AddInTest, EntryPointAcceptsThreadNotificationsAndKeepsTheInstance)
{
    EntryPoint entry = EntryPointOf(addIn.Module);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry((HINSTANCE)addIn.Module, DLL_THREAD_ATTACH, NULL), TRUE);
    EXPECT_EQ(entry((HINSTANCE)addIn.Module, DLL_THREAD_DETACH, NULL), TRUE);

    // Another instance handle on a thread notification must not replace the one from
    // process attach: the lookup window still works from the module's own folder. The
    // notifications come after the driver thread's real attach (which passes the true
    // handle and would hide a fault) and before the window opens.
    Load();
    HINSTANCE other = GetModuleHandleA(NULL);
    std::atomic<bool> driverStarted(false);
    BOOL otherAttach = FALSE, otherDetach = FALSE;
    bool opened = false;
    RunModal(
        [&] {
            while (!driverStarted)
                Sleep(1);
            otherAttach = entry(other, DLL_THREAD_ATTACH, NULL);
            otherDetach = entry(other, DLL_THREAD_DETACH, NULL);
            addIn.FrameWindowProc(host.Main, WM_COMMAND, FirstMenuId, 0);
        },
        [&] {
            driverStarted = true;
            HWND window = WaitForWindow(LookupCaption);
            opened = window != NULL;
            if (window != NULL)
                SendMessageA(window, WM_CLOSE, 0, 0);
        });
    EXPECT_EQ(otherAttach, TRUE);
    EXPECT_EQ(otherDetach, TRUE);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(Exists(NotesFolderOf(folder))) << "notes beside the add-in, not the test program";
}

TEST_F(AddInTest, LoadsAndFreesAgainAndAgain)
{
    std::string path = folder + "Kestrel.dll";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // The fixture holds one reference: take a second, and give both back.
        HMODULE again = LoadLibraryA(path.c_str());
        ASSERT_EQ(again, addIn.Module);
        EXPECT_TRUE(FreeLibrary(again));
        EXPECT_TRUE(FreeLibrary(addIn.Module));
        addIn.Module = NULL;
        EXPECT_EQ(GetModuleHandleA(path.c_str()), (HMODULE)NULL) << "process detach ran";
        ASSERT_TRUE(addIn.Open(path)) << "process attach succeeded";
        ExpectAddInData(addIn);
    }
}

} // namespace
