// notes/NoteFiles.cpp
#include "notes/NoteFiles.h"
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "notes/NotePath.h"

namespace {

enum { ReadSlack = 32 };

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

// The note path of `code`, or false when it cannot be named whole.
bool NotePathOf(const char *code, char *path, int size)
{
    ZeroMemory(path, size);
    return code[0] != 0 && IsSafeFolderName(code) && FormNotePath(NotesFolder, code, path, size);
}

// A note exists when its file does. A folder of the note's name is no note: it cannot be
// read, replaced or deleted as one, so Delete Note must not be offered for it.
bool FileExists(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The system's word that nothing of that name is there, as opposed to something there that
// it will not open or remove.
bool IsNotFound(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Only a name that is not there reads as no note: anything else that will not open (a file
// held by another program, a folder of the note's name) is there, and must not be shown as
// an empty note that a save would then write over.
NoteReadResult ReadWholeFile(const char *path, char **block)
{
    *block = NULL;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return IsNotFound(GetLastError()) ? NoteAbsent : NoteUnreadable;
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
    return bytes != NULL ? NoteRead : NoteUnreadable;
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
bool ReplaceNoteFile(const char *notePath, const char *code, const char *bytes, DWORD size)
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
    if (WriteWholeFile(tempPath, bytes, size) &&
        MoveFileExA(tempPath, notePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(tempPath);
    return false;
}

// A note is deleted when it is no longer there, whatever the call said: some systems report
// success for a delete the folder refused, and a note already removed by other means is as
// deleted as it can be. Anything still of that name, a folder too, is not deleted.
bool RemoveNoteFile(const char *path)
{
    DeleteFileA(path);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    return IsNotFound(GetLastError());
}

} // namespace

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

NoteReadResult ReadNoteFile(const char *code, char **block)
{
    *block = NULL;
    char path[PathCapacity];
    if (!NotePathOf(code, path, sizeof path))
        return NoteUnnamed;
    return ReadWholeFile(path, block);
}

bool WriteNoteFile(const char *code, const char *bytes, DWORD size)
{
    char path[PathCapacity];
    return NotePathOf(code, path, sizeof path) && ReplaceNoteFile(path, code, bytes, size);
}

bool DeleteNoteFile(const char *code)
{
    char path[PathCapacity];
    return NotePathOf(code, path, sizeof path) && RemoveNoteFile(path);
}

bool HasNoteFile(const char *code)
{
    char path[PathCapacity];
    return NotePathOf(code, path, sizeof path) && FileExists(path);
}
