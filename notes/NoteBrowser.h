// notes/NoteBrowser.h
// Every note of the current user, listed under its tool's category.
#pragma once
#include <windows.h>

INT_PTR CALLBACK NoteBrowserDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void EnumerateNotes();
void DeleteBrowserNote(HWND owner);
void OpenNoteBrowser(HWND owner);
