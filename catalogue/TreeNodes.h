// catalogue/TreeNodes.h
// Nodes of a tree-view as both trees use them: the catalogue tree of the lookup window and
// the note browser's tree.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Images of the shared image list: the .exe icon for categories, the .txt icon for
// entries and notes.
enum { CategoryImage = 0, EntryImage = 1 };

// Reads a node's text (zero-terminated within `size` bytes, zero-filled first) and
// returns its item parameter.
LPARAM ReadTreeItem(HWND tree, HTREEITEM item, char *text, int size);

// Inserts a node in sorted position.
HTREEITEM InsertTreeNode(HWND tree, HTREEITEM parent, const char *text, int image, UINT extraMask,
                         LPARAM param);
