// addin/State.cpp
#include "addin/State.h"

HINSTANCE AddInInstance;
HWND HostMainWindow;
HWND HostOutputWindow;
HMENU AddInMenu;
DWORD AddInCommandId;
HANDLE ProcessHeap;
HMODULE RichEditLibrary;
HIMAGELIST SharedImageList;

char CurrentCode[CodeCapacity];
char BrowserCode[CodeCapacity];

char AddInFolder[PathCapacity];
char NotesFolder[PathCapacity];
HWND ErrorNumberField, TypeField, ErrorField, DescriptionField, NoteField;
HWND CatalogueTree, SaveNoteButton, DeleteNoteButton;
bool OnTop;
WNDPROC PreviousErrorNumberProc;
HTREEITEM MainCategories[ToolCount + 1];

HWND BrowserTree, BrowserNoteField, BrowserSaveButton, BrowserDeleteButton;
HTREEITEM BrowserSelectedItem;
HTREEITEM BrowserCategories[BrowserCategoryCount];

HFONT TitleFont;
