// notes/NoteName.h
// Which browser category a note file belongs to, and its code, from the file name alone.
// Windows-free.
#pragma once

// The browser slot (BrowserSlot of catalogue/ToolTable.h) for a file name, by the
// case-significant substring tests "A", "CVT", "R", "U", "LNK" (first hit decides), then,
// only when none of those hit, "HI" and "MIDL" (the later hit decides).
// BrowserSlotNone when no test hits.
int ClassifyNoteName(const char *fileName);

// The text before the file name's first "." into `out`; false when the name has no ".",
// when that text is empty, or when it would not fit in `size` bytes.
bool NoteBaseName(const char *fileName, char *out, int size);
