// notes/NoteStore.h
// One note per error code and Windows user: the file <NotesFolder>\<code>.knote holds the
// note's text followed by one zero byte.
#pragma once
#include <windows.h>

enum { SaveFromLookup = 1, SaveFromBrowser = 2 };

// Works out AddInFolder and NotesFolder and creates the two folder levels. A folder that
// cannot be named whole leaves NotesFolder empty, and every note operation then refuses.
void PrepareNotesFolder();

bool FileExists(const char *path);

// The whole file followed by 32 zero bytes, in a fixed global block the caller frees with
// GlobalFree. 0 and no block when the file cannot be read.
int ReadWholeFile(const char *path, char **block);

// Shows the note of `code` in the lookup window's note field and sets its buttons.
void LoadNote(const char *code);

// Shows the note of `code` in `field` and sets the two buttons as the note store does for
// the lookup window; the note browser uses it for its own controls.
void LoadNoteInto(const char *code, HWND field, HWND saveButton, HWND deleteButton);

// Raises a note field's text limit, so that any note that loads can also be edited.
void PrepareNoteField(HWND field);

// Writes the note of CurrentCode (mode 1) or BrowserCode (other modes) from `field`, then
// enables `deleteButton` exactly when the note file exists. A save that fails is told to
// the user in a box owned by the field's window; the field keeps its text and the old
// note file stays as it was. True when the note was written.
bool SaveNote(int mode, HWND field, HWND deleteButton);

// Asks, then deletes the note of CurrentCode; a delete that fails is told to the user and
// leaves the window as it was.
void DeleteNote(HWND owner);

// Deletes the note file of `code`; when that fails, tells the user in a box owned by
// `owner` and returns false.
bool DeleteNoteFile(HWND owner, const char *code);

// Asks the delete question for `code`: true when the user answered Yes.
bool ConfirmNoteDelete(HWND owner, const char *code);

// The note path of `code`, or false when it cannot be named whole.
bool NotePathOf(const char *code, char *path, int size);
