// lookup/LookupDialog.h
// The add-in's main window: the catalogue tree, the details of the chosen error and its
// note. Opened modally with the address of a code to look up, or with 0.
#pragma once
#include <windows.h>

INT_PTR CALLBACK LookupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the lookup window over `owner`; `code` may be NULL.
void OpenLookupWindow(HWND owner, const char *code);
