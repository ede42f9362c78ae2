// notes/NoteFiles.h
// The note files: one per error code and Windows user, <NotesFolder>\<code>.knote, holding
// the note's text followed by one zero byte. Files and folders only: what the windows show
// of a note is the note pane's business (NoteStore.h), from the results given here.
#pragma once
#include <windows.h>

// Works out AddInFolder and NotesFolder and creates the two folder levels. A folder that
// cannot be named whole leaves NotesFolder empty, and every note operation then refuses.
void PrepareNotesFolder();

enum NoteReadResult {
    NoteRead,       // the block holds the file's bytes
    NoteAbsent,     // nothing of the note's name is there: a new note may be written
    NoteUnreadable, // something of the note's name is there but cannot be read just now
    NoteUnnamed     // the note's path cannot be named whole: nowhere to read or write
};

// The note file of `code` followed by 32 zero bytes, so that it reads as a text whatever it
// holds: a fixed global block the caller frees with GlobalFree, given only with NoteRead.
NoteReadResult ReadNoteFile(const char *code, char **block);

// Writes `size` bytes as the note of `code`, through a temporary file beside it that then
// replaces the note in one step. False when the note was not written; the note that was
// there then stays as it was, and no temporary file is left.
bool WriteNoteFile(const char *code, const char *bytes, DWORD size);

// Deletes the note file of `code`: true when no note of that name is left.
bool DeleteNoteFile(const char *code);

// Whether `code` has a note file that Delete could remove.
bool HasNoteFile(const char *code);
