// tools/KestrelExplain/PlatformWindows.cpp
// The program's own texts are UTF-8 here (arguments, paths), so that any file name works;
// they become UTF-16 for the system and the console's code page for output.
#include "tools/KestrelExplain/Platform.h"
#include "tools/KestrelExplain/Explain.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

const char *const OutputLineEnd = "\r\n";
const char PathSeparator = '\\';

namespace {

enum { Cp1252 = 1252 };

UINT OutputCodePage; // the console's output code page, or the ANSI one without a console

// UTF-8 to UTF-16 in a new block the caller frees; 0 when it cannot be converted.
wchar_t *WideFromUtf8(const char *text)
{
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, 0, 0);
    if (count <= 0)
        return 0;
    wchar_t *wide = (wchar_t *)malloc((size_t)count * sizeof(wchar_t));
    if (wide != 0 && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, count) != count) {
        free(wide);
        wide = 0;
    }
    return wide;
}

// UTF-16 to UTF-8 in a new block the caller frees; 0 when it cannot be converted.
char *Utf8FromWide(const wchar_t *wide)
{
    int count = WideCharToMultiByte(CP_UTF8, 0, wide, -1, 0, 0, 0, 0);
    if (count <= 0)
        return 0;
    char *text = (char *)malloc((size_t)count);
    if (text != 0 && WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, count, 0, 0) != count) {
        free(text);
        text = 0;
    }
    return text;
}

void WriteWide(FILE *stream, const wchar_t *wide, int count)
{
    char converted[1024]; // four bytes at most for each of 256 UTF-16 units
    for (int at = 0; at < count;) {
        int take = count - at < 256 ? count - at : 256;
        int used = WideCharToMultiByte(OutputCodePage, 0, wide + at, take, converted,
                                       (int)sizeof converted, 0, 0);
        if (used > 0)
            fwrite(converted, 1, (size_t)used, stream);
        at += take;
    }
}

} // namespace

void PreparePlatform()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    OutputCodePage = GetConsoleOutputCP();
    if (OutputCodePage == 0)
        OutputCodePage = GetACP();
}

FILE *OpenForReading(const char *path)
{
    wchar_t *wide = WideFromUtf8(path);
    if (wide == 0)
        return 0;
    FILE *file = _wfopen(wide, L"rb");
    free(wide);
    return file;
}

bool ProgramFolder(char *out, int size)
{
    enum { LongestPath = 32768 }; // the longest path the system hands out, and its zero
    wchar_t *path = (wchar_t *)malloc(LongestPath * sizeof(wchar_t));
    if (path == 0)
        return false;
    DWORD length = GetModuleFileNameW(0, path, LongestPath);
    char *text = length > 0 && length < LongestPath ? Utf8FromWide(path) : 0;
    free(path);
    if (text == 0)
        return false;
    int cut = -1;
    for (int i = 0; text[i] != 0; ++i)
        if (text[i] == '\\' || text[i] == '/')
            cut = i;
    bool fits = cut >= 0 && cut + 1 < size;
    if (fits) {
        memcpy(out, text, (size_t)cut + 1);
        out[cut + 1] = 0;
    }
    free(text);
    return fits;
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

int TerminalWidth()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

int UsableColumns(int terminalWidth)
{
    // The console moves the cursor on as soon as the last column is written, so a line
    // that fills it would be followed by an empty one.
    return terminalWidth - 1;
}

void WriteCp1252(FILE *stream, const char *text, int length)
{
    wchar_t wide[256];
    for (int at = 0; at < length;) {
        int take = length - at < 256 ? length - at : 256;
        int count = MultiByteToWideChar(Cp1252, 0, text + at, take, wide, 256);
        if (count > 0)
            WriteWide(stream, wide, count);
        at += take;
    }
}

char *ConvertCp1252(const char *text, int length, int *converted)
{
    int count = MultiByteToWideChar(Cp1252, 0, text, length, 0, 0);
    wchar_t *wide = (wchar_t *)malloc((size_t)(count > 0 ? count : 1) * sizeof(wchar_t));
    if (wide == 0)
        return 0;
    count = MultiByteToWideChar(Cp1252, 0, text, length, wide, count);
    int size = count > 0 ? WideCharToMultiByte(OutputCodePage, 0, wide, count, 0, 0, 0, 0) : 0;
    char *out = (char *)malloc((size_t)(size > 0 ? size : 1));
    if (out != 0)
        *converted = size > 0 ? WideCharToMultiByte(OutputCodePage, 0, wide, count, out, size, 0, 0) : 0;
    free(wide);
    return out;
}

void WriteNative(FILE *stream, const char *text)
{
    wchar_t *wide = WideFromUtf8(text);
    if (wide == 0) {
        fputs(text, stream);
        return;
    }
    WriteWide(stream, wide, (int)wcslen(wide));
    free(wide);
}

// The command line as UTF-16, handed on as UTF-8.
extern "C" int wmain(int argc, wchar_t **wideArguments)
{
    char **arguments = (char **)calloc((size_t)argc + 1, sizeof(char *));
    if (arguments == 0)
        return 2;
    for (int i = 0; i < argc; ++i) {
        arguments[i] = Utf8FromWide(wideArguments[i]);
        if (arguments[i] == 0) {
            fputs("kestrel-explain: an argument cannot be read\n", stderr);
            return 2;
        }
    }
    int status = RunExplain(argc, arguments);
    for (int i = 0; i < argc; ++i)
        free(arguments[i]);
    free(arguments);
    return status;
}
