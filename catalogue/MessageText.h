// catalogue/MessageText.h
// Splitting a formatted message text into its type code, short error text and
// description. Windows-free.
#pragma once

enum { ErrorTextEnd = 0x95 }; // the bullet of code page 1252 closes the short error text

struct MessageParts {
    char TypeCode;           // the text's first byte, or 0 for an empty text
    const char *Error;       // into the text; ErrorLength bytes, not zero-terminated
    int ErrorLength;
    const char *Description; // into the text; runs to the text's end
    int DescriptionLength;
};

// Interprets the escapes of a message-table text as the system's message formatter does
// when it is given no inserts: "%n" a line break (CR LF), "%r" CR, "%t" a tab, "%0" ends
// the text, "%" before any other character stands for that character ("%%" is "%"), and
// an insert ("%1" to "%9...") is left as it stands. The result is never longer than the
// text. Returns its length, or -1 when it would not fit in `size` bytes. Not terminated.
int ExpandMessageEscapes(const char *text, int length, char *out, int size);

// Byte 0 is the type code, byte 1 a separator, the error runs from byte 2 up to the first
// 0x95 byte, and the description starts three bytes after it. A text without 0x95 is all
// error and no description; a text too short for a part leaves that part empty. No part
// ever reaches past `length`.
void SplitMessageText(const char *text, int length, MessageParts *parts);

// The Type field's text for a type code: "Fatal", "Warning (Level1)", ...; "" when the
// code is not a digit.
const char *MessageTypeText(char typeCode);
