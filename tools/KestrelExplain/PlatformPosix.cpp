// tools/KestrelExplain/PlatformPosix.cpp
#include "tools/KestrelExplain/Platform.h"
#include "common/Cp1252Table.h"
#include "tools/KestrelExplain/Explain.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

const char *const OutputLineEnd = "\n";
const char PathSeparator = '/';

namespace {

int EncodeUtf8(uint32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = (char)(0xE0 | (c >> 12));
    out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[2] = (char)(0x80 | (c & 0x3F));
    return 3;
}

// Converts `length` characters; `out` has room for three bytes each.
int ToUtf8(const char *text, int length, char *out)
{
    int used = 0;
    for (int at = 0; at < length; ++at) {
        unsigned char c = (unsigned char)text[at];
        uint32_t point = c;
        // The five unassigned bytes never reach here (the text layer shows them as '?'
        // like the other control bytes); should one, it still comes out as '?'.
        if (c >= Cp1252HighFirst && c < Cp1252HighFirst + Cp1252HighCount) {
            point = Cp1252HighBlock[c - Cp1252HighFirst];
            if (point == 0)
                point = '?';
        }
        used += EncodeUtf8(point, out + used);
    }
    return used;
}

} // namespace

void PreparePlatform() {}

FILE *OpenForReading(const char *path)
{
    return fopen(path, "rb");
}

bool ProgramFolder(char *out, int size)
{
    if (size < 2)
        return false;
    ssize_t length = readlink("/proc/self/exe", out, (size_t)size - 1);
    if (length <= 0 || length >= size - 1)
        return false;
    out[length] = 0;
    char *slash = strrchr(out, '/');
    if (slash == 0)
        return false;
    slash[1] = 0;
    return true;
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

int TerminalWidth()
{
    struct winsize size;
    if (!isatty(STDOUT_FILENO) || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

int UsableColumns(int terminalWidth)
{
    return terminalWidth;
}


void WriteCp1252(FILE *stream, const char *text, int length)
{
    char converted[768]; // three bytes at most for each of 256 characters
    for (int at = 0; at < length; at += 256) {
        int take = length - at < 256 ? length - at : 256;
        fwrite(converted, 1, (size_t)ToUtf8(text + at, take, converted), stream);
    }
}

char *ConvertCp1252(const char *text, int length, int *converted)
{
    char *out = (char *)malloc((size_t)length * 3 + 1);
    if (out != 0)
        *converted = ToUtf8(text, length, out);
    return out;
}

void WriteNative(FILE *stream, const char *text)
{
    fputs(text, stream);
}

int main(int argc, char **argv)
{
    return RunExplain(argc, argv);
}
