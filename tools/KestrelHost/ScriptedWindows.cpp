// tools/KestrelHost/ScriptedWindows.cpp
// What a script asks the host to do in the windows an add-in opens. An add-in's own menus
// (such as the system menu of Kestrel's lookup window) cannot be reached from outside Wine's
// virtual desktop, so the host sends the command itself and leaves the window as a person
// would: its tree opened out and one item chosen.
#include "tools/KestrelHost/Host.h"
#include <commctrl.h>
#include <string.h>

namespace {

bool SystemCommandPending;
WPARAM SystemCommand;
const char *ItemToSelect; // an argument of the command line, valid for the whole run

HTREEITEM NextTreeItem(HWND tree, UINT relation, HTREEITEM from)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
}

bool ItemHasText(HWND tree, HTREEITEM item, const char *text)
{
    char label[256] = "";
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = label;
    query.cchTextMax = sizeof label;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
        return false;
    label[sizeof label - 1] = '\0';
    return strcmp(label, text) == 0;
}

HTREEITEM FindChildWithText(HWND tree, HTREEITEM parent, const char *text)
{
    for (HTREEITEM child = NextTreeItem(tree, TVGN_CHILD, parent); child != nullptr;
         child = NextTreeItem(tree, TVGN_NEXT, child)) {
        if (ItemHasText(tree, child, text))
            return child;
    }
    return nullptr;
}

// Every top-level item is opened, so that the whole tree shows; the item is looked for among
// them and their children, and selected as a click would select it.
void ExpandAndSelect(HWND tree, const char *text)
{
    HTREEITEM found = nullptr;
    for (HTREEITEM top = NextTreeItem(tree, TVGN_ROOT, nullptr); top != nullptr;
         top = NextTreeItem(tree, TVGN_NEXT, top)) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
        if (found == nullptr)
            found = ItemHasText(tree, top, text) ? top : FindChildWithText(tree, top, text);
    }
    if (found != nullptr)
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
}

} // namespace

void ScriptAddInWindows(bool sendSystemCommand, WPARAM systemCommand, const char *itemText)
{
    SystemCommandPending = sendSystemCommand;
    SystemCommand = systemCommand;
    ItemToSelect = itemText;
}

bool AddInWindowScriptPending()
{
    return SystemCommandPending || ItemToSelect != nullptr;
}

// Reached through a posted message, so the window's own start is over by then. The system
// command goes to the first window an add-in shows (the one the double-click or the menu
// opened); the item is chosen in the window that shows next, or in that first one when no
// command was asked for.
void OnWindowActivated(HWND window)
{
    if (window == MainWindow || !IsWindow(window))
        return;
    if (SystemCommandPending) {
        SystemCommandPending = false;
        PostMessageA(window, WM_SYSCOMMAND, SystemCommand, 0);
        return;
    }
    if (ItemToSelect == nullptr)
        return;
    HWND tree = FindWindowExA(window, nullptr, "SysTreeView32", nullptr);
    if (tree != nullptr)
        ExpandAndSelect(tree, ItemToSelect);
    ItemToSelect = nullptr;
}
