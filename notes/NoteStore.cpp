// notes/NoteStore.cpp
#include "notes/NoteStore.h"
#include <richedit.h>
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "notes/NoteFiles.h"

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
    // A note is as long as its file: the field's default limit of 32K characters would
    // load a longer note that could then no longer be edited.
    NoteTextLimit = 0x7FFFFFFE
};

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

} // namespace

void LoadNoteInto(const char *code, HWND field, HWND saveButton, HWND deleteButton)
{
    char *block = NULL;
    switch (ReadNoteFile(code, &block)) {
    case NoteRead:
        ShowNoteText(field, block);
        GlobalFree(block);
        EnableWindow(deleteButton, TRUE);
        EnableWindow(saveButton, TRUE);
        break;
    case NoteAbsent:
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, TRUE);
        SetNoteField(field, "");
        break;
    case NoteUnreadable:
        // The note is there but will not open (held by someone else, or a folder of its
        // name): showing it empty with Save enabled would invite overwriting it, so it can
        // be neither saved nor deleted for now.
        SetNoteField(field, "");
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, FALSE);
        break;
    case NoteUnnamed:
        // No notes folder could be named: there is nowhere to read or write.
        EnableWindow(deleteButton, FALSE);
        EnableWindow(saveButton, FALSE);
        SetNoteField(field, "");
        break;
    }
}

void LoadNote(const char *code)
{
    LoadNoteInto(code, NoteField, SaveNoteButton, DeleteNoteButton);
}

bool SaveNote(int mode, HWND field, HWND deleteButton)
{
    const char *code = mode == SaveFromLookup ? CurrentCode : BrowserCode;
    DWORD size = 0;
    char *text = TakeFieldText(field, &size);
    bool saved = text != NULL && WriteNoteFile(code, text, size);
    if (text != NULL)
        HeapFree(ProcessHeap, 0, text);
    if (!saved)
        ReportNoteFailure(GetParent(field), SaveFailedText, code, "Save Note");
    // Whatever happened, Delete Note offers exactly what is on disk: a failed first save
    // leaves no note to delete, a failed later one leaves the old note.
    EnableWindow(deleteButton, HasNoteFile(code));
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

bool RemoveNote(HWND owner, const char *code)
{
    bool deleted = DeleteNoteFile(code);
    if (!deleted)
        ReportNoteFailure(owner, DeleteFailedText, code, "Delete Note");
    return deleted;
}

void DeleteNote(HWND owner)
{
    if (!ConfirmNoteDelete(owner, CurrentCode) || !RemoveNote(owner, CurrentCode))
        return;
    SetNoteField(NoteField, "");
    EnableWindow(DeleteNoteButton, FALSE);
    SetFocus(CatalogueTree);
}

void PrepareNoteField(HWND field)
{
    SendMessageA(field, EM_EXLIMITTEXT, 0, NoteTextLimit);
}
