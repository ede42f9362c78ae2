// addin/State.h
// The add-in's process-wide state. There is one host user-interface thread and at most one
// lookup window (with its note browser or About window above it), so plain variables serve.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "catalogue/Label.h"
#include "catalogue/ToolTable.h"
#include "common/PathText.h"

// From load to unload
extern HINSTANCE AddInInstance;      // our module: templates, icon, own path
extern HWND HostMainWindow;          // owner of the lookup window; answers "next menu id"
extern HWND HostOutputWindow;        // answers "word at the caret"
extern HMENU AddInMenu;              // host menu that holds our item
extern DWORD AddInCommandId;         // our menu item's command id
extern HANDLE ProcessHeap;           // temporary zero-filled buffers
extern HMODULE RichEditLibrary;      // registers "RichEdit20A" for the note fields
extern HIMAGELIST SharedImageList;   // 0: .exe icon (categories), 1: .txt icon (entries)

// Process-wide texts that outlive the windows
extern char CurrentCode[CodeCapacity]; // code last looked up or selected in the lookup window
extern char BrowserCode[CodeCapacity]; // code of the note last selected in the note browser

// Per opening of the lookup window
extern char AddInFolder[PathCapacity]; // our module's folder, ending in a backslash
extern char NotesFolder[PathCapacity]; // AddInFolder + "Notes\" + user; empty when refused
extern HWND ErrorNumberField, TypeField, ErrorField, DescriptionField, NoteField;
extern HWND CatalogueTree, SaveNoteButton, DeleteNoteButton;
extern bool OnTop;
extern WNDPROC PreviousErrorNumberProc;
extern HTREEITEM MainCategories[ToolCount + 1]; // by ToolTable row, 1 to 8

// Per opening of the note browser
extern HWND BrowserTree, BrowserNoteField, BrowserSaveButton, BrowserDeleteButton;
extern HTREEITEM BrowserSelectedItem;
extern HTREEITEM BrowserCategories[BrowserCategoryCount]; // by BrowserSlot

// Per opening of the About window
extern HFONT TitleFont;
