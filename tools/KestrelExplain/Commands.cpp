// tools/KestrelExplain/Commands.cpp
// Explaining codes and listing them: the catalogue's texts, wrapped for a terminal.
#include "tools/KestrelExplain/Explain.h"
#include "tools/KestrelExplain/Platform.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum {
    NarrowestLine = 20, // below this a terminal is taken to be too narrow to wrap for
    ErrorHanging = 7,   // under the text after "Error: "
    DescriptionIndent = 2,
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A byte that would move the cursor or start an escape sequence if written as it is, or
// that Windows-1252 leaves unassigned: a damaged module must not drive the terminal.
bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

void WriteBlanks(int count)
{
    static const char Blanks[] = "                                ";
    while (count > 0) {
        int take = count < 32 ? count : 32;
        fwrite(Blanks, 1, (size_t)take, stdout);
        count -= take;
    }
}

void WriteParagraph(const char *text, int length, int indent, int hanging, int width)
{
    // A list item's later lines stand under its text, not under its dash.
    if (length >= 2 && text[0] == '-' && text[1] == ' ')
        hanging += 2;
    bool first = true;
    for (int at = 0; at < length; first = false) {
        if (!first)
            while (at < length && IsBlank(text[at]))
                ++at;
        if (at >= length)
            break;
        int lead = indent + (first ? 0 : hanging);
        int room = width - lead < NarrowestLine ? NarrowestLine : width - lead;
        int end = at, lastBlank = -1;
        while (end < length && end - at < room) {
            if (IsBlank(text[end]))
                lastBlank = end;
            ++end;
        }
        int cut = end;
        if (end < length && !IsBlank(text[end]) && lastBlank > at)
            cut = lastBlank; // otherwise a word longer than the line is broken where it must be
        int shown = cut;
        while (shown > at && IsBlank(text[shown - 1]))
            --shown;
        WriteBlanks(lead);
        WriteClean(stdout, text + at, shown - at);
        fputs(OutputLineEnd, stdout);
        at = cut;
    }
}

// `label` padded to `column`, then `text`, wrapped with the later lines under the text.
void WriteLabelled(const char *label, int column, const char *text, int length, int indent, int width)
{
    int labelLength = (int)strlen(label);
    char *line = (char *)malloc((size_t)column + (size_t)length + 1);
    if (line == 0)
        return;
    memcpy(line, label, (size_t)labelLength);
    memset(line + labelLength, ' ', (size_t)(column - labelLength));
    memcpy(line + column, text, (size_t)length);
    WriteParagraph(line, column + length, indent, column, width);
    free(line);
}

void WriteLine(const char *text)
{
    WriteCp1252(stdout, text, (int)strlen(text));
    fputs(OutputLineEnd, stdout);
}

void ExplainOne(const CodeEntry *entry, int width)
{
    fputs(entry->Label, stdout);
    fputs(" (", stdout);
    WriteCp1252(stdout, ToolTable[entry->Row].CategoryText, (int)strlen(ToolTable[entry->Row].CategoryText));
    fputs(")", stdout);
    fputs(OutputLineEnd, stdout);
    char *text = 0;
    MessageParts parts;
    if (!ReadCodeText(entry, &text, &parts)) {
        WriteLine("The module holds no readable text for this code.");
        return;
    }
    fputs("Type:  ", stdout);
    WriteLine(MessageTypeText(parts.TypeCode));
    WriteLabelled("Error:", ErrorHanging, parts.Error, parts.ErrorLength, 0, width);
    int end = parts.DescriptionLength; // without the line breaks and blanks it ends in
    while (end > 0 && (IsBlank(parts.Description[end - 1]) || parts.Description[end - 1] == '\r' ||
                       parts.Description[end - 1] == '\n'))
        --end;
    if (end > 0) {
        fputs(OutputLineEnd, stdout);
        WriteWrapped(parts.Description, end, DescriptionIndent, 0, width);
    }
    free(text);
}

bool StartsWith(const char *label, const char *prefix)
{
    for (int i = 0; prefix[i] != 0; ++i) {
        char a = label[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = (char)(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = (char)(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

int CompareById(const void *a, const void *b)
{
    int32_t x = (int32_t)(*(const CodeEntry *const *)a)->Id, y = (int32_t)(*(const CodeEntry *const *)b)->Id;
    return x < y ? -1 : x > y;
}

} // namespace

void CleanText(char *text, int length)
{
    for (int i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (c == '\t' || c == '\r' || c == '\n')
            text[i] = ' ';
        else if (IsControl(c))
            text[i] = '?';
    }
}

void WriteClean(FILE *stream, const char *text, int length)
{
    char clean[256];
    for (int at = 0; at < length;) {
        int take = length - at < 256 ? length - at : 256;
        for (int i = 0; i < take; ++i)
            clean[i] = text[at + i];
        CleanText(clean, take);
        WriteCp1252(stream, clean, take);
        at += take;
    }
}

void WriteWrapped(const char *text, int length, int indent, int hanging, int width)
{
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\n')
            continue;
        int end = i;
        if (end > start && text[end - 1] == '\r')
            --end;
        while (end > start && IsBlank(text[end - 1]))
            --end;
        if (end == start)
            fputs(OutputLineEnd, stdout);
        else
            WriteParagraph(text + start, end - start, indent, hanging, width);
        start = i + 1;
    }
}

int ExplainCodes(char **codes, int count, int width)
{
    int status = ExitOk;
    bool shown = false;
    for (int i = 0; i < count; ++i) {
        const CodeEntry *entry = FindCode(codes[i]);
        if (entry == 0) {
            fflush(stdout);
            fputs("kestrel-explain: no tool has the code ", stderr);
            WriteNative(stderr, codes[i]);
            fputs(OutputLineEnd, stderr);
            status = ExitUnknownCode;
            continue;
        }
        if (shown)
            fputs(OutputLineEnd, stdout);
        ExplainOne(entry, width);
        shown = true;
    }
    return status;
}

int ListCodes(const char *prefix, int width)
{
    const CodeEntry **chosen = (const CodeEntry **)malloc((CodeCount > 0 ? CodeCount : 1) * sizeof *chosen);
    if (chosen == 0)
        return ExitNoCatalogue;
    bool any = false;
    for (int i = 0; i < ToolCount; ++i) {
        int row = DetailsRowOrder[i] - 1;
        uint32_t count = 0;
        int column = 0;
        for (uint32_t c = 0; c < CodeCount; ++c) {
            if (Codes[c].Row != row || (prefix != 0 && !StartsWith(Codes[c].Label, prefix)))
                continue;
            chosen[count++] = &Codes[c];
            int length = (int)strlen(Codes[c].Label);
            if (length > column)
                column = length;
        }
        if (count == 0 && prefix != 0)
            continue;
        if (any)
            fputs(OutputLineEnd, stdout);
        any = true;
        WriteLine(ToolTable[row].CategoryText);
        if (count == 0)
            WriteLine("  (no codes)");
        qsort(chosen, count, sizeof *chosen, CompareById);
        for (uint32_t c = 0; c < count; ++c) {
            char *text = 0;
            MessageParts parts;
            if (ReadCodeText(chosen[c], &text, &parts)) {
                WriteLabelled(chosen[c]->Label, column + 2, parts.Error, parts.ErrorLength, 2, width);
                free(text);
            } else {
                WriteLabelled(chosen[c]->Label, column + 2, "", 0, 2, width);
            }
        }
    }
    free(chosen);
    if (!any) {
        fflush(stdout);
        fputs("kestrel-explain: no code starts with ", stderr);
        WriteNative(stderr, prefix);
        fputs(OutputLineEnd, stderr);
        return ExitUnknownCode;
    }
    return ExitOk;
}
