// addin/AddIn.cpp
// The add-in's boundary with the host: the module entry point and the five exports.
#include <objbase.h>
#include <shellapi.h>
#include <type_traits>
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"

namespace {

enum {
    HostHandleMain = 0,
    HostHandleOutput = 15,
    HostHandleAddInsMenu = 28,
    HostTextCapacity = 256, // the host's buffers for GetWAAddInData and message 2039
    ImageSize = 16
};

const char MenuItemText[] = "Kestrel"; // the owner-drawn item's data: lives as long as the module

// Whether WAAddInLoad's CoInitializeEx took a reference that unload must give back. A
// host thread already in another apartment keeps its COM state untouched.
bool ComInitialised;

// By the host's convention the first add-in to load puts a separator under the manager item,
// and the add-in that sees exactly three items at unload takes it out again. Other add-ins
// count on both halves: without the separator, an add-in loaded after this one would take
// this one's item for the separator and delete it.
void AddMenuItem()
{
    if (GetMenuItemCount(AddInMenu) == 1)
        AppendMenuA(AddInMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(AddInMenu, MF_OWNERDRAW, AddInCommandId, MenuItemText);
}

bool IsSeparator(HMENU menu, int position)
{
    MENUITEMINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    return GetMenuItemInfoA(menu, position, TRUE, &info) && (info.fType & MFT_SEPARATOR) != 0;
}

void AppendShellIcon(const char *fileName)
{
    SHFILEINFOA info;
    ZeroMemory(&info, sizeof info);
    SHGetFileInfoA(fileName, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    ImageList_ReplaceIcon(SharedImageList, -1, info.hIcon);
    if (info.hIcon != NULL)
        DestroyIcon(info.hIcon);
}

void RemoveMenuItems()
{
    // Only a separator: three items without one are the manager and two add-ins' items.
    if (GetMenuItemCount(AddInMenu) == 3 && IsSeparator(AddInMenu, 1))
        DeleteMenu(AddInMenu, 1, MF_BYPOSITION);
    DeleteMenu(AddInMenu, AddInCommandId, MF_BYCOMMAND);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        AddInInstance = instance;
    return TRUE;
}

void __stdcall GetWAAddInData(char *name, char *description)
{
    CopyText(description, HostTextCapacity, "Kestrel version: 3.0");
    CopyText(name, HostTextCapacity, "Kestrelview");
}

int __stdcall WAAddInLoad(const DWORD *handles, const DWORD *)
{
    HostOutputWindow = (HWND)(ULONG_PTR)handles[HostHandleOutput];
    HostMainWindow = (HWND)(ULONG_PTR)handles[HostHandleMain];
    AddInMenu = (HMENU)(ULONG_PTR)handles[HostHandleAddInsMenu];
    AddInCommandId = (DWORD)SendMessageA(HostMainWindow, WM_HOST_NEXT_MENU_ID, 0, 0);
    AddMenuItem();
    HRESULT com = CoInitializeEx(NULL, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    ComInitialised = com == S_OK || com == S_FALSE;
    ProcessHeap = GetProcessHeap();
    RichEditLibrary = LoadLibraryA("RichEd32");
    SharedImageList = ImageList_Create(ImageSize, ImageSize, ILC_COLOR32 | ILC_MASK, 2, 0);
    AppendShellIcon(".exe");
    AppendShellIcon(".txt");
    return 0;
}

void __stdcall WAAddInUnload(void)
{
    FreeLibrary(RichEditLibrary);
    RichEditLibrary = NULL;
    if (ComInitialised)
        CoUninitialize();
    ComInitialised = false;
    ImageList_Destroy(SharedImageList);
    SharedImageList = NULL;
    RemoveMenuItems();
}

int __stdcall FrameWindowProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != AddInCommandId)
        return 0;
    OpenLookupWindow(HostMainWindow, NULL);
    return 1;
}

int __stdcall OutWindowProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message != WM_LBUTTONDBLCLK)
        return 0;
    // One byte more than the host is told of, always zero: an answer that fills the whole
    // buffer without a terminator still ends inside it.
    char word[HostTextCapacity + 1];
    ZeroMemory(word, sizeof word);
    SendMessageA(HostOutputWindow, WM_HOST_GET_WORD, HostTextCapacity, (LPARAM)word);
    word[HostTextCapacity] = 0;
    OpenLookupWindow(HostMainWindow, word);
    return 0;
}

} // extern "C"

// The IDE calls the exports as __stdcall with these parameters. The .def maps the plain names
// to whatever is defined, so an export with another calling convention would link and then
// corrupt the IDE's stack on every call: the 32-bit build refuses to compile it instead.
static_assert(std::is_same<decltype(&GetWAAddInData), void(__stdcall *)(char *, char *)>::value,
              "GetWAAddInData must be void __stdcall (char *, char *)");
static_assert(std::is_same<decltype(&WAAddInLoad), int(__stdcall *)(const DWORD *, const DWORD *)>::value,
              "WAAddInLoad must be int __stdcall (const DWORD *, const DWORD *)");
static_assert(std::is_same<decltype(&WAAddInUnload), void(__stdcall *)(void)>::value,
              "WAAddInUnload must be void __stdcall (void)");
static_assert(std::is_same<decltype(&FrameWindowProc), int(__stdcall *)(HWND, UINT, WPARAM, LPARAM)>::value,
              "FrameWindowProc must be int __stdcall (HWND, UINT, WPARAM, LPARAM)");
static_assert(std::is_same<decltype(&OutWindowProc), int(__stdcall *)(HWND, UINT, WPARAM, LPARAM)>::value,
              "OutWindowProc must be int __stdcall (HWND, UINT, WPARAM, LPARAM)");
static_assert(std::is_same<decltype(&DllMain), BOOL(WINAPI *)(HINSTANCE, DWORD, LPVOID)>::value,
              "DllMain must be BOOL WINAPI (HINSTANCE, DWORD, LPVOID)");
