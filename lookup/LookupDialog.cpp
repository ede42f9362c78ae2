// lookup/LookupDialog.cpp
#include "lookup/LookupDialog.h"
#include "about/AboutDialog.h"
#include "addin/State.h"
#include "catalogue/CatalogueLoading.h"
#include "catalogue/CodeLookup.h"
#include "catalogue/ErrorDetails.h"
#include "catalogue/TreeNodes.h"
#include "notes/NoteBrowser.h"
#include "notes/NoteFiles.h"
#include "notes/NoteStore.h"
#include "resources/ResourceIds.h"

namespace {

const char NotFoundText[] = "Could not find error number\r\n\r\nPlease check the error number and try again";

// Set when the start itself ended the window (a code that matched nothing): the dialog
// manager still shows a template marked visible once WM_INITDIALOG returns, so that show
// is refused and the window goes without ever appearing.
bool EndedAtStart;

// Shared icons belong to the system's cache of our module, so every opening reuses them
// and none is left behind when the window closes.
void SetWindowIcons(HWND window)
{
    HANDLE big = LoadImageA(AddInInstance, MAKEINTRESOURCEA(IDI_KESTREL), IMAGE_ICON, 32, 32, LR_SHARED);
    HANDLE small = LoadImageA(AddInInstance, MAKEINTRESOURCEA(IDI_KESTREL), IMAGE_ICON, 16, 16, LR_SHARED);
    SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)big);
    SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)small);
}

void FetchControls(HWND window)
{
    ErrorNumberField = GetDlgItem(window, IDC_ERROR_NUMBER);
    TypeField = GetDlgItem(window, IDC_TYPE);
    ErrorField = GetDlgItem(window, IDC_ERROR);
    DescriptionField = GetDlgItem(window, IDC_DESCRIPTION);
    NoteField = GetDlgItem(window, IDC_NOTE);
    CatalogueTree = GetDlgItem(window, IDC_CATALOGUE_TREE);
    SaveNoteButton = GetDlgItem(window, IDC_SAVE_NOTE);
    DeleteNoteButton = GetDlgItem(window, IDC_DELETE_NOTE);
    SendMessageA(CatalogueTree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)SharedImageList);
    PrepareNoteField(NoteField);
}

void AddSystemMenuItems(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, IDM_ON_TOP, "On Top");
    InsertMenuA(menu, 1, MF_BYPOSITION | MF_STRING, IDM_BROWSE_NOTES, "Browse Notes");
    InsertMenuA(menu, 2, MF_BYPOSITION | MF_STRING, IDM_ABOUT, "About");
    InsertMenuA(menu, 3, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
    DrawMenuBar(window);
}

void EnableNoteButtons(BOOL save, BOOL remove)
{
    EnableWindow(SaveNoteButton, save);
    EnableWindow(DeleteNoteButton, remove);
}

// Empties Type, Error, Description and Note; the number field keeps its text.
void ClearErrorFields()
{
    SendMessageA(TypeField, WM_SETTEXT, 0, (LPARAM)"");
    SendMessageA(ErrorField, WM_SETTEXT, 0, (LPARAM)"");
    SendMessageA(DescriptionField, WM_SETTEXT, 0, (LPARAM)"");
    SendMessageA(NoteField, WM_SETTEXT, 0, (LPARAM)"");
}

BOOL OnInitDialog(HWND window, const char *code)
{
    EndedAtStart = false; // a window an earlier start ended must not hide this one
    SetWindowIcons(window);
    FetchControls(window);
    PrepareNotesFolder();
    AddSystemMenuItems(window);
    PreviousErrorNumberProc =
        (WNDPROC)SetWindowLongPtrA(ErrorNumberField, GWLP_WNDPROC, (LONG_PTR)ErrorNumberEditProc);
    InsertToolCategories(CategoryVariantMain, CatalogueTree);
    LoadToolModules();
    OnTop = false;
    if (code != NULL) {
        if (FindErrorCode(code)) {
            SendMessageA(ErrorNumberField, WM_SETTEXT, 0, (LPARAM)code);
        } else {
            EndedAtStart = true;
            EndDialog(window, 0);
        }
    }
    return TRUE;
}

void ToggleOnTop(HWND window)
{
    OnTop = !OnTop;
    SetWindowPos(window, OnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ModifyMenuA(GetSystemMenu(window, FALSE), 0,
                MF_BYPOSITION | MF_STRING | (OnTop ? MF_CHECKED : MF_UNCHECKED), IDM_ON_TOP, "On Top");
    DrawMenuBar(window);
}

void OnSysCommand(HWND window, WPARAM command)
{
    switch (command) {
    case IDM_ON_TOP:
        ToggleOnTop(window);
        break;
    case IDM_BROWSE_NOTES:
        OpenNoteBrowser(window);
        break;
    case IDM_ABOUT:
        OpenAboutWindow(window);
        break;
    }
}

void ShowSelectedEntry(HTREEITEM entry, HTREEITEM category)
{
    LPARAM id = ReadTreeItem(CatalogueTree, entry, CurrentCode, sizeof CurrentCode);
    SendMessageA(ErrorNumberField, WM_SETTEXT, 0, (LPARAM)CurrentCode);
    ShowErrorDetails(category, (DWORD)id);
    LoadNote(CurrentCode);
}

void OnSelectionChanged()
{
    HTREEITEM selected = (HTREEITEM)SendMessageA(CatalogueTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    HTREEITEM parent = (HTREEITEM)SendMessageA(CatalogueTree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)selected);
    if (parent != NULL) {
        ShowSelectedEntry(selected, parent);
        return;
    }
    ClearErrorFields();
    EnableNoteButtons(FALSE, FALSE);
}

void OnFind()
{
    ZeroMemory(CurrentCode, sizeof CurrentCode);
    SendMessageA(ErrorNumberField, WM_GETTEXT, sizeof CurrentCode, (LPARAM)CurrentCode);
    HTREEITEM before = (HTREEITEM)SendMessageA(CatalogueTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!FindErrorCode(CurrentCode)) {
        EnableNoteButtons(FALSE, FALSE);
        ClearErrorFields();
        MessageBoxA(CatalogueTree, NotFoundText, NULL, MB_ICONHAND | MB_OK);
        SendMessageA(ErrorNumberField, EM_SETSEL, 0, -1);
        SetFocus(ErrorNumberField);
        return;
    }
    HTREEITEM found = (HTREEITEM)SendMessageA(CatalogueTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (found == before) {
        // The tree reports no change for the entry it already shows, yet a failed Find
        // or a note changed elsewhere may have left the fields stale: show it again.
        OnSelectionChanged();
    }
    // The note load above has set Save Note for this code already (enabled, unless the
    // note cannot be written safely just now), so it is left as that load set it.
    SetFocus(CatalogueTree);
}

void OnCommand(HWND window, WPARAM wParam)
{
    if (HIWORD(wParam) != 0)
        return;
    switch (LOWORD(wParam)) {
    case IDC_SAVE_NOTE:
        SaveNote(SaveFromLookup, NoteField, DeleteNoteButton);
        break;
    case IDC_DELETE_NOTE:
        DeleteNote(window);
        break;
    case IDC_FIND:
        OnFind();
        break;
    }
}

void OnNotify(WPARAM control, const NMHDR *header)
{
    if (control == IDC_CATALOGUE_TREE && header->code == TVN_SELCHANGEDA)
        OnSelectionChanged();
}

} // namespace

INT_PTR CALLBACK LookupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window, (const char *)lParam);
    case WM_SYSCOMMAND:
        OnSysCommand(window, wParam);
        return FALSE;
    case WM_COMMAND:
        OnCommand(window, wParam);
        return TRUE;
    case WM_NOTIFY:
        OnNotify(wParam, (const NMHDR *)lParam);
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (EndedAtStart)
            ((WINDOWPOS *)lParam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    }
    return FALSE;
}

void OpenLookupWindow(HWND owner, const char *code)
{
    DialogBoxParamA(AddInInstance, MAKEINTRESOURCEA(IDD_LOOKUP), owner, LookupDialogProc, (LPARAM)code);
}
