// notes/NoteStore.cpp
#include "notes/NoteStore.h"
#include <richedit.h>
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "notes/NotePath.h"

namespace {

const char SaveFailedText[] = "Could not save the note for error: ";
const char DeleteFailedText[] = "Could not delete the note for error: ";
const char ConfirmDeleteText[] = "Are you sure you want to delete the note for error: ";

// A box's text is its literal followed by a code: the literal's size counts the zero, and
// the code adds at most the characters of CurrentCode and BrowserCode.
constexpr int MessageCapacity(int literalSize)
{
    return literalSize + CodeCapacity - 1;
}

static_assert(MessageCapacity(sizeof ConfirmDeleteText) == 68,
              "the delete question has 68 bytes: its 52 characters, a code of 15 and a zero");

enum {
    ReadSlack = 32,
    // A note is as long as its file: the field's default limit of 32K characters would
    // load a longer note that could then no longer be edited.
    NoteTextLimit = 0x7FFFFFFE
};

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

struct NoteStream {
    const char *Next;
    LONG Remaining;
};

DWORD CALLBACK ReadNoteStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG *given)
{
    NoteStream *stream = (NoteStream *)cookie;
    LONG count = size < stream->Remaining ? size : stream->Remaining;
    // A line break cut between two pieces comes back as two: the CR stays with its LF.
    if (count > 1 && count < stream->Remaining && stream->Next[count - 1] == '\r' && stream->Next[count] == '\n')
        --count;
    CopyMemory(buffer, stream->Next, count);
    stream->Next += count;
    stream->Remaining -= count;
    *given = count;
    return 0;
}

// A note is plain text whatever it begins with: WM_SETTEXT would run a note that starts
// with "{\rtf" through the rich edit control's RTF reader, show something else than the
// file holds and have the next save write that instead.
void ShowNoteText(HWND field, const char *text)
{
    NoteStream stream = {text, lstrlenA(text)};
    EDITSTREAM input;
    ZeroMemory(&input, sizeof input);
    input.dwCookie = (DWORD_PTR)&stream;
    input.pfnCallback = ReadNoteStream;
    SendMessageA(field, EM_STREAMIN, SF_TEXT, (LPARAM)&input);
}

// The note file as such, not a folder of its name.
bool NoteFileExists(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Tells the user that a note could not be saved or deleted, in a box owned by the window
// whose button was pressed. The text has room for `what` and any code, so rewording `what`
// can never cut the code off.
template <int WhatSize>
void ReportNoteFailure(HWND owner, const char (&what)[WhatSize], const char *code, const char *caption)
{
    char text[MessageCapacity(WhatSize)];
    ZeroMemory(text, sizeof text);
    TextBuffer message(text, sizeof text);
    message.Append(what).Append(code);
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING);
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
// beside it, which then replaces the note in one step. On any failure the old note stays
// as it was and no temporary file is left.
bool ReplaceNoteFile(const char *notePath, const char *code, HWND field)
{
    // A note the user made read-only (or a folder of the note's name) is not replaced:
    // writing it in place would be refused, but some systems let a rename replace it.
    DWORD attributes = GetFileAttributesA(notePath);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    char tempPath[PathCapacity];
    TextBuffer temp(tempPath, sizeof tempPath);
    temp.Append(NotesFolder).Append("\\").Append(code).Append(".tmp");
    if (!temp.Ok())
        return false;
    DWORD size = 0;
    char *text = TakeFieldText(field, &size);
    if (text == NULL)
        return false;
    bool written = WriteWholeFile(tempPath, text, size);
    HeapFree(ProcessHeap, 0, text);
    if (written && MoveFileExA(tempPath, notePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(tempPath);
    return false;
}

// A note is deleted when it is no longer there, whatever the call said: some systems report
// success for a delete the folder refused, and a note already removed by other means is as
// deleted as it can be.
bool RemoveNoteFile(const char *path)
{
    DeleteFileA(path);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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
    ShowNoteText(field, block);
    GlobalFree(block);
    EnableWindow(deleteButton, TRUE);
    EnableWindow(saveButton, TRUE);
}

void LoadNote(const char *code)
{
    LoadNoteInto(code, NoteField, SaveNoteButton, DeleteNoteButton);
}

bool SaveNote(int mode, HWND field, HWND deleteButton)
{
    const char *code = mode == SaveFromLookup ? CurrentCode : BrowserCode;
    char path[PathCapacity];
    bool saved = NotePathOf(code, path, sizeof path) && ReplaceNoteFile(path, code, field);
    if (!saved)
        ReportNoteFailure(GetParent(field), SaveFailedText, code, "Save Note");
    // Whatever happened, Delete Note offers exactly what is on disk: a failed first save
    // leaves no note to delete, a failed later one leaves the old note.
    EnableWindow(deleteButton, path[0] != 0 && NoteFileExists(path));
    return saved;
}

bool ConfirmNoteDelete(HWND owner, const char *code)
{
    char question[MessageCapacity(sizeof ConfirmDeleteText)];
    ZeroMemory(question, sizeof question);
    TextBuffer text(question, sizeof question);
    text.Append(ConfirmDeleteText).Append(code);
    return MessageBoxA(owner, question, "Confirm Delete", MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

bool DeleteNoteFile(HWND owner, const char *code)
{
    char path[PathCapacity];
    bool deleted = NotePathOf(code, path, sizeof path) && RemoveNoteFile(path);
    if (!deleted)
        ReportNoteFailure(owner, DeleteFailedText, code, "Delete Note");
    return deleted;
}

void DeleteNote(HWND owner)
{
    if (!ConfirmNoteDelete(owner, CurrentCode) || !DeleteNoteFile(owner, CurrentCode))
        return;
    SetNoteField(NoteField, "");
    EnableWindow(DeleteNoteButton, FALSE);
    SetFocus(CatalogueTree);
}

void PrepareNoteField(HWND field)
{
    SendMessageA(field, EM_EXLIMITTEXT, 0, NoteTextLimit);
}
