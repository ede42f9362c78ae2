// notes/NotePath.h
// The texts that name the notes folder and note files. Every one is built whole or not at
// all: a path that would not fit is refused, never cut. Windows-free.
#pragma once
#include "common/PathText.h"

enum {
    UserNameCapacity = 257, // 256 characters and the terminating zero
    NoteExtensionLength = 6 // ".knote"
};

// `path` up to and including its last backslash; the empty text when it has none.
bool ExtractFolder(const char *path, char *out, int size);

// addInFolder + "Notes"
bool FormNotesRoot(const char *addInFolder, char *out, int size);

// addInFolder + "Notes\" + userName
bool FormNotesFolder(const char *addInFolder, const char *userName, char *out, int size);

// notesFolder + "\" + code + ".knote"
bool FormNotePath(const char *notesFolder, const char *code, char *out, int size);

// notesFolder + "\*.knote"
bool FormNoteSearchPattern(const char *notesFolder, char *out, int size);
