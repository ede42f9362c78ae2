// notes/NotePath.cpp
#include "notes/NotePath.h"
#include "common/TextBuffer.h"

bool ExtractFolder(const char *path, char *out, int size)
{
    int folderLength = 0;
    for (int i = 0; path[i] != 0; ++i)
        if (path[i] == '\\')
            folderLength = i + 1;
    TextBuffer folder(out, size);
    folder.Append(path, folderLength);
    return folder.Ok();
}

// An empty folder means its own forming failed: nothing may then be built on it.
static bool Join(char *out, int size, const char *a, const char *b, const char *c, const char *d)
{
    TextBuffer text(out, size);
    if (a[0] == 0)
        return false;
    text.Append(a).Append(b).Append(c).Append(d);
    if (!text.Ok() && size > 0)
        out[0] = 0;
    return text.Ok();
}

bool FormNotesRoot(const char *addInFolder, char *out, int size)
{
    return Join(out, size, addInFolder, "Notes", "", "");
}

bool FormNotesFolder(const char *addInFolder, const char *userName, char *out, int size)
{
    return Join(out, size, addInFolder, "Notes\\", userName, "");
}

bool FormNotePath(const char *notesFolder, const char *code, char *out, int size)
{
    return Join(out, size, notesFolder, "\\", code, ".knote");
}

bool FormNoteSearchPattern(const char *notesFolder, char *out, int size)
{
    return Join(out, size, notesFolder, "\\", "*", ".knote");
}
