// notes/NoteStore.h
// The note pane of both windows: a note field and its Save Note and Delete Note buttons,
// filled and set from the note files (NoteFiles.h), and the boxes that ask before a delete
// and tell of a save or delete that failed.
#pragma once
#include <windows.h>

enum { SaveFromLookup = 1, SaveFromBrowser = 2 };

// Shows the note of `code` in the lookup window's note field and sets its buttons.
void LoadNote(const char *code);

// Shows the note of `code` in `field` and sets the two buttons as LoadNote does for the
// lookup window; the note browser uses it for its own controls.
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
bool RemoveNote(HWND owner, const char *code);

// Asks the delete question for `code`: true when the user answered Yes.
bool ConfirmNoteDelete(HWND owner, const char *code);
