// tools/KestrelExplain/Platform.h
// What kestrel-explain needs from the system it runs on, one file per system
// (PlatformPosix.cpp, PlatformWindows.cpp). Paths and arguments are UTF-8 inside the
// program on Windows and the system's bytes elsewhere; message texts are Windows-1252.
#pragma once
#include <stdio.h>

enum { PathCapacity = 4096 };

// The line end of the program's own output: CR LF on Windows, LF elsewhere. Log lines
// passed through by --annotate keep their own.
extern const char *const OutputLineEnd;
// Separator put between a folder and a file name.
extern const char PathSeparator;

// Sets standard input, output and error to pass bytes unchanged (no CR LF translation)
// and finds the output's code page. Called once, before anything is read or written.
void PreparePlatform();

// Opens a file for reading bytes; 0 when it cannot be opened (errno says why).
FILE *OpenForReading(const char *path);

// The folder the program was started from, ending in a separator; false when it cannot be
// found or would not fit in `size` bytes.
bool ProgramFolder(char *out, int size);

// Whether `c` separates folders in a path given by the user.
bool IsPathSeparator(char c);

// Columns of the terminal that standard output writes to; 0 when it is not one.
int TerminalWidth();
// How many of those columns a line may fill without the terminal breaking it by itself.
int UsableColumns(int terminalWidth);

// Writes Windows-1252 text to `stream` in the output's encoding: UTF-8 on Linux, the
// console's code page on Windows. Bytes are written as they are converted; nothing is kept.
void WriteCp1252(FILE *stream, const char *text, int length);

// The same conversion into a new block that the caller frees with free(): sets *converted
// to its length; 0 when there is no memory for it.
char *ConvertCp1252(const char *text, int length, int *converted);

// Writes text the program holds in its own encoding (a path, an argument) the same way.
void WriteNative(FILE *stream, const char *text);
