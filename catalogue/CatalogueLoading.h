// catalogue/CatalogueLoading.h
// The catalogue tree of the lookup window: one category node per tool and, under each, one
// entry per message of that tool's module, labelled with the error code. The catalogue
// lives only in the tree; it is built afresh at every opening of the lookup window.
#pragma once
#include <windows.h>

enum { CategoryVariantMain = 1, CategoryVariantBrowser = 2 };

// Variant 1: the eight main categories into MainCategories; any other: the seven browser
// categories into BrowserCategories.
void InsertToolCategories(int variant, HWND tree);

// Walks the eight message modules of AddInFolder into CatalogueTree.
void LoadToolModules();
