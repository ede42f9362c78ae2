// notes/NoteBrowser.cpp
#include "notes/NoteBrowser.h"
#include "addin/State.h"
#include "catalogue/CatalogueLoading.h"
#include "catalogue/TreeNodes.h"
#include "notes/NoteName.h"
#include "notes/NotePath.h"
#include "notes/NoteStore.h"
#include "resources/ResourceIds.h"

namespace {

HTREEITEM SelectedItemParent(HTREEITEM *selected)
{
    *selected = (HTREEITEM)SendMessageA(BrowserTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    return (HTREEITEM)SendMessageA(BrowserTree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)*selected);
}

BOOL OnInitDialog(HWND window)
{
    BrowserSaveButton = GetDlgItem(window, IDC_BROWSER_SAVE_NOTE);
    BrowserDeleteButton = GetDlgItem(window, IDC_BROWSER_DELETE_NOTE);
    BrowserNoteField = GetDlgItem(window, IDC_BROWSER_NOTE);
    BrowserTree = GetDlgItem(window, IDC_BROWSER_TREE);
    PrepareNoteField(BrowserNoteField);
    SendMessageA(BrowserTree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)SharedImageList);
    InsertToolCategories(CategoryVariantBrowser, BrowserTree);
    EnumerateNotes();
    SetFocus(BrowserTree);
    return TRUE;
}

void ShowSelectedNote(HTREEITEM entry)
{
    BrowserSelectedItem = entry;
    ReadTreeItem(BrowserTree, entry, BrowserCode, sizeof BrowserCode);
    LoadNoteInto(BrowserCode, BrowserNoteField, BrowserSaveButton, BrowserDeleteButton);
}

void OnSelectionChanged()
{
    HTREEITEM selected;
    if (SelectedItemParent(&selected) != NULL) {
        ShowSelectedNote(selected);
        return;
    }
    SendMessageA(BrowserNoteField, WM_SETTEXT, 0, (LPARAM)"");
    EnableWindow(BrowserDeleteButton, FALSE);
    EnableWindow(BrowserSaveButton, FALSE);
}

void OnSave()
{
    // A failed save changed nothing on disk, so the lookup window has nothing to follow.
    bool saved = SaveNote(SaveFromBrowser, BrowserNoteField, BrowserDeleteButton);
    if (saved && CompareLabels(CurrentCode, BrowserCode) == 0)
        LoadNote(CurrentCode);
}

void OnCommand(HWND window, WPARAM wParam)
{
    if (HIWORD(wParam) != 0)
        return;
    switch (LOWORD(wParam)) {
    case IDC_BROWSER_SAVE_NOTE:
        OnSave();
        break;
    case IDC_BROWSER_DELETE_NOTE:
        DeleteBrowserNote(window);
        break;
    }
}

void AddNoteToBrowser(const char *fileName)
{
    // Names the add-in never writes (no code before the dot, a code too long for the
    // 16-byte code text, or one of no tool) are not notes of any category: leave them out.
    char code[CodeCapacity];
    ZeroMemory(code, sizeof code);
    if (!NoteBaseName(fileName, code, sizeof code))
        return;
    int slot = ClassifyNoteName(fileName);
    if (slot == BrowserSlotNone)
        return;
    InsertTreeNode(BrowserTree, BrowserCategories[slot], code, EntryImage, TVIF_SELECTEDIMAGE, 0);
}

} // namespace

void EnumerateNotes()
{
    char pattern[PathCapacity];
    ZeroMemory(pattern, sizeof pattern);
    if (!FormNoteSearchPattern(NotesFolder, pattern, sizeof pattern))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        found.cFileName[sizeof found.cFileName - 1] = 0;
        AddNoteToBrowser(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void DeleteBrowserNote(HWND owner)
{
    // A delete that fails leaves the field, the buttons and the entry as they were.
    if (!ConfirmNoteDelete(owner, BrowserCode) || !RemoveNote(owner, BrowserCode))
        return;
    SendMessageA(BrowserNoteField, WM_SETTEXT, 0, (LPARAM)"");
    EnableWindow(BrowserDeleteButton, FALSE);
    // The lookup window's note follows only when it shows the same code; its Delete Note
    // is left alone otherwise, since that code's note is still there.
    if (CompareLabels(CurrentCode, BrowserCode) == 0) {
        SendMessageA(NoteField, WM_SETTEXT, 0, (LPARAM)"");
        EnableWindow(DeleteNoteButton, FALSE);
    }
    SendMessageA(BrowserTree, TVM_DELETEITEM, 0, (LPARAM)BrowserSelectedItem);
    SetFocus(BrowserTree);
}

INT_PTR CALLBACK NoteBrowserDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        OnCommand(window, wParam);
        return TRUE;
    case WM_NOTIFY:
        if (wParam == IDC_BROWSER_TREE && ((const NMHDR *)lParam)->code == TVN_SELCHANGEDA)
            OnSelectionChanged();
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

void OpenNoteBrowser(HWND owner)
{
    DialogBoxParamA(AddInInstance, MAKEINTRESOURCEA(IDD_NOTE_BROWSER), owner, NoteBrowserDialogProc, 0);
}
