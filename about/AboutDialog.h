// about/AboutDialog.h
// Product, tools, number of known errors and the maker's links.
#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the About window over `owner` with the link control registered, whatever the
// host process's own manifest says.
void OpenAboutWindow(HWND owner);

// Where the About window's links lead: tests replace it to keep a browser from starting.
typedef HINSTANCE(WINAPI *ShellExecuteFunction)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern ShellExecuteFunction OpenLinkTarget;
