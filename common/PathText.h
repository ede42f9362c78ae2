// common/PathText.h
// The room every path text has, and the path of a message module. A path is built whole or
// not at all: one that would not fit is refused, never cut. Windows-free.
#pragma once

enum {
    PathCapacity = 261 // 260 characters and the terminating zero
};

// addInFolder + moduleBaseName + ".dll"; false (and `out` empty) when the folder is empty
// or the path would not fit in `size` bytes.
bool FormModulePath(const char *addInFolder, const char *moduleBaseName, char *out, int size);
