// notes/NoteStore.cpp
#include "notes/NoteStore.h"
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "notes/NotePath.h"

namespace {

enum { ConfirmTextCapacity = 68, ReadSlack = 32 };

// Used when the system cannot name the user: brackets never occur in a Windows user name,
// so this folder can never be another user's.
const char UnknownUserFolder[] = "[unknown user]";

// A name that could lead out of the notes folder is not used as a folder name.
bool IsSafeFolderName(const char *name)
{
    if (name[0] == 0 || (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
        return false;
    for (const char *c = name; *c != 0; ++c)
        if (*c == '\\' || *c == '/' || *c == ':' || *c == '*' || *c == '?' || *c == '"' ||
            *c == '<' || *c == '>' || *c == '|')
            return false;
    return true;
}

void UserFolderName(char *name, DWORD size)
{
    ZeroMemory(name, size);
    DWORD length = size;
    if (!GetUserNameA(name, &length) || !IsSafeFolderName(name))
        CopyText(name, (int)size, UnknownUserFolder);
}

void SetNoteField(HWND field, const char *text)
{
    SendMessageA(field, WM_SETTEXT, 0, (LPARAM)text);
}

// The save buffer: the field's text and a zero, in a zero-filled block from the process
// heap that the caller frees with HeapFree.
char *TakeFieldText(HWND field, DWORD *size)
{
    LRESULT length = SendMessageA(field, WM_GETTEXTLENGTH, 0, 0);
    if (length < 0)
        return NULL;
    *size = (DWORD)length + 1;
    char *text = (char *)HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, *size);
    if (text != NULL)
        SendMessageA(field, WM_GETTEXT, *size, (LPARAM)text);
    return text;
}

bool WriteWholeFile(const char *path, const char *bytes, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, size, &written, NULL) && written == size && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

// A save never loses the note that was there: the new text goes to a temporary file
// beside it, which then replaces the note in one step. On any failure the old note stays.
void ReplaceNoteFile(const char *notePath, const char *code, HWND field)
{
    // A note the user made read-only (or a folder of the note's name) is not replaced:
    // writing it in place would be refused, but some systems let a rename replace it.
    DWORD attributes = GetFileAttributesA(notePath);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return;
    char tempPath[PathCapacity];
    TextBuffer temp(tempPath, sizeof tempPath);
    temp.Append(NotesFolder).Append("\\").Append(code).Append(".tmp");
    if (!temp.Ok())
        return;
    DWORD size = 0;
    char *text = TakeFieldText(field, &size);
    if (text == NULL)
        return;
    bool written = WriteWholeFile(tempPath, text, size);
    HeapFree(ProcessHeap, 0, text);
    if (!written ||
        !MoveFileExA(tempPath, notePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        DeleteFileA(tempPath);
}

} // namespace

bool NotePathOf(const char *code, char *path, int size)
{
    ZeroMemory(path, size);
    return code[0] != 0 && IsSafeFolderName(code) && FormNotePath(NotesFolder, code, path, size);
}

void PrepareNotesFolder()
{
    ZeroMemory(AddInFolder, sizeof AddInFolder);
    ZeroMemory(NotesFolder, sizeof NotesFolder);
    char modulePath[PathCapacity] = {0};
    DWORD length = GetModuleFileNameA(AddInInstance, modulePath, sizeof modulePath);
    if (length == 0 || length >= sizeof modulePath)
        return; // a cut path would name another folder
    ExtractFolder(modulePath, AddInFolder, sizeof AddInFolder);
    char user[UserNameCapacity];
    UserFolderName(user, sizeof user);
    // Both levels are named before either is made: a user folder that cannot be named
    // leaves no empty "Notes" folder behind.
    char root[PathCapacity];
    if (!FormNotesRoot(AddInFolder, root, sizeof root) ||
        !FormNotesFolder(AddInFolder, user, NotesFolder, sizeof NotesFolder))
        return;
    CreateDirectoryA(root, NULL);
    CreateDirectoryA(NotesFolder, NULL);
}

bool FileExists(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

int ReadWholeFile(const char *path, char **block)
{
    *block = NULL;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD size = GetFileSize(file, NULL);
    char *bytes = NULL;
    if (size != INVALID_FILE_SIZE && size <= MAXDWORD - ReadSlack)
        bytes = (char *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size + ReadSlack);
    DWORD read = 0;
    if (bytes != NULL && !ReadFile(file, bytes, size, &read, NULL)) {
        GlobalFree(bytes);
        bytes = NULL;
    }
    CloseHandle(file);
    *block = bytes;
    return bytes != NULL ? 1 : 0;
}

void LoadNoteInto(const char *code, HWND field, HWND saveButton, HWND deleteButton)
{
    char path[PathCapacity];
    if (!NotePathOf(code, path, sizeof path)) {
        // No notes folder could be named: there is nowhere to read or write.
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, FALSE);
        SetNoteField(field, "");
        return;
    }
    if (!FileExists(path)) {
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, TRUE);
        SetNoteField(field, "");
        return;
    }
    char *block = NULL;
    if (!ReadWholeFile(path, &block)) {
        // The note is there but held by someone else: showing it empty with Save enabled
        // would invite overwriting it, so it can be neither saved nor deleted for now.
        SetNoteField(field, "");
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, FALSE);
        return;
    }
    SetNoteField(field, block);
    GlobalFree(block);
    EnableWindow(deleteButton, TRUE);
    EnableWindow(saveButton, TRUE);
}

void LoadNote(const char *code)
{
    LoadNoteInto(code, NoteField, SaveNoteButton, DeleteNoteButton);
}

void SaveNote(int mode, HWND field, HWND deleteButton)
{
    const char *code = mode == SaveFromLookup ? CurrentCode : BrowserCode;
    char path[PathCapacity];
    if (!NotePathOf(code, path, sizeof path))
        return;
    ReplaceNoteFile(path, code, field);
    EnableWindow(deleteButton, TRUE);
}

bool ConfirmNoteDelete(HWND owner, const char *code)
{
    char question[ConfirmTextCapacity];
    ZeroMemory(question, sizeof question);
    TextBuffer text(question, sizeof question);
    text.Append("Are you sure you want to delete the note for error: ").Append(code);
    return MessageBoxA(owner, question, "Confirm Delete", MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void DeleteNote(HWND owner)
{
    if (!ConfirmNoteDelete(owner, CurrentCode))
        return;
    SetNoteField(NoteField, "");
    EnableWindow(DeleteNoteButton, FALSE);
    char path[PathCapacity];
    if (NotePathOf(CurrentCode, path, sizeof path))
        DeleteFileA(path);
    SetFocus(CatalogueTree);
}
