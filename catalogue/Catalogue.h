// catalogue/Catalogue.h
// The catalogue tree of the lookup window: tool categories, one entry per message of each
// tool's module, the details of one entry, and finding an entry by its code.
#pragma once
#include <windows.h>
#include <commctrl.h>

enum { CategoryVariantMain = 1, CategoryVariantBrowser = 2 };

// Variant 1: the eight main categories into MainCategories; any other: the seven browser
// categories into BrowserCategories.
void InsertToolCategories(int variant, HWND tree);

// Walks the eight message modules of AddInFolder into CatalogueTree.
void LoadToolModules();
void LoadModuleMessages(const char *path);
void AddMessageTableEntries(const void *data, DWORD size);

// Frees the index of the entries the loader inserted (CatalogueIndex): when the lookup
// window has closed, and before a new tree is built.
void ReleaseCatalogueIndex();

// Fills the Type, Error and Description fields for message `id` under `category`.
void ShowErrorDetails(HTREEITEM category, DWORD id);

// Selects the entry whose label equals `code` (letter case ignored): non-zero when found.
LRESULT FindErrorCode(const char *code);

LRESULT CALLBACK ErrorNumberEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Reads a node's text (zero-terminated within `size` bytes, zero-filled first) and
// returns its item parameter.
LPARAM ReadTreeItem(HWND tree, HTREEITEM item, char *text, int size);

// Shared by both trees: inserts a node in sorted position.
HTREEITEM InsertTreeNode(HWND tree, HTREEITEM parent, const char *text, int image, UINT extraMask,
                         LPARAM param);
