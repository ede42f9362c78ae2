// tools/KestrelExplain/Annotate.cpp
// --annotate: a build log copied through unchanged, with a line of explanation after each
// line that names a known code. The log is never held as lines: it goes through in large
// blocks, and only the words are looked at, so a line of any length, or a file that is no
// text at all, passes as fast as the rest.
#include "tools/KestrelExplain/Explain.h"
#include "tools/KestrelExplain/Platform.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum {
    BlockSize = 128 << 10, // what cat reads at a time, too
    CodesPerLine = 8,   // a line naming more distinct codes gets the first eight explained
    AnnotationIndent = 4,
};

// Word bytes: letters, digits, '_' and everything beyond ASCII, so that a code glued to
// other letters (as in a file name or an identifier) is not taken for one.
bool WordByte[256];
// Bytes a code can start with: the first letters of the tools' prefixes, in upper case
// as the tools print them.
bool CodeStart[256];

struct Scan {
    const CodeEntry *Found[CodesPerLine]; // distinct codes of the current line
    int FoundCount;
    char Word[CodeCapacity];  // a word that runs on into the next block
    int WordLength;           // CodeCapacity when it is too long to be a code
    bool InWord;
    unsigned char LastByte;   // the byte before the block being scanned
    bool CrLf;                // the last line end seen was CR LF
    bool Failed;              // writing failed: stop
};

Scan State = {{}, 0, {}, 0, false, '\n', false, false};

void PrepareTables()
{
    for (int c = 0; c < 256; ++c)
        WordByte[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
    for (int row = 0; row < ToolCount; ++row)
        CodeStart[(unsigned char)ToolTable[row].LabelPrefix[0]] = true;
}

// The first sentence of a description: up to a full stop, question or exclamation mark
// followed by a blank or the end, or up to the end of the first paragraph.
void FirstSentence(const char *text, int length, int *start, int *end)
{
    int at = 0;
    while (at < length && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    int stop = at;
    while (stop < length && text[stop] != '\r' && text[stop] != '\n') {
        char c = text[stop++];
        if ((c == '.' || c == '!' || c == '?') && (stop == length || text[stop] == ' ' ||
                                                   text[stop] == '\r' || text[stop] == '\n'))
            break;
    }
    *start = at;
    *end = stop;
}

// "    A2008 (Non Fatal): " and the first sentence, kept with the entry for its next use
// as the bytes to write: control characters made harmless, in the output's encoding.
void MakeAnnotation(CodeEntry *entry)
{
    char *text = 0;
    MessageParts parts = {};
    bool readable = ReadCodeText(entry, &text, &parts);
    // Without a type (a text that does not start with a type digit) the tool stands there.
    const char *kind = readable ? MessageTypeText(parts.TypeCode) : "";
    if (kind[0] == 0)
        kind = ToolTable[entry->Row].CategoryText;
    int start = 0, end = 0;
    const char *sentence = "";
    if (readable) {
        FirstSentence(parts.Description, parts.DescriptionLength, &start, &end);
        sentence = parts.Description;
        if (start == end) {
            sentence = parts.Error;
            start = 0;
            end = parts.ErrorLength;
        }
    }
    size_t capacity = AnnotationIndent + strlen(entry->Label) + strlen(kind) + 8 + (size_t)(end - start);
    char *line = (char *)malloc(capacity);
    if (line != 0) {
        int length = snprintf(line, capacity, "%*s%s (%s)%s", AnnotationIndent, "", entry->Label, kind,
                              end > start ? ": " : "");
        if (length > 0 && (size_t)length + (size_t)(end - start) < capacity) {
            memcpy(line + length, sentence + start, (size_t)(end - start));
            CleanText(line, length + (end - start));
            entry->Annotation = ConvertCp1252(line, length + (end - start), &entry->AnnotationLength);
        }
        free(line);
    }
    free(text);
}

void NoteWord(const char *word, int length)
{
    if (length < 2 || length >= CodeCapacity || !CodeStart[(unsigned char)word[0]])
        return;
    char code[CodeCapacity];
    int letters = 0;
    while (letters < length && word[letters] >= 'A' && word[letters] <= 'Z')
        ++letters;
    if (letters == length)
        return;
    for (int i = letters; i < length; ++i)
        if (word[i] < '0' || word[i] > '9')
            return;
    memcpy(code, word, (size_t)length);
    code[length] = 0;
    const CodeEntry *entry = FindCode(code);
    if (entry == 0 || State.FoundCount == CodesPerLine)
        return;
    for (int i = 0; i < State.FoundCount; ++i)
        if (State.Found[i] == entry)
            return;
    State.Found[State.FoundCount++] = entry;
}

// Runs of log between explanations are short; written as they come, each would cost a
// system call. They are gathered here and written a block at a time.
char *Pending;
size_t PendingCount;

void WriteOut(const void *bytes, size_t count)
{
    if (count != 0 && !State.Failed && fwrite(bytes, 1, count, stdout) != count)
        State.Failed = true;
}

void FlushPending()
{
    WriteOut(Pending, PendingCount);
    PendingCount = 0;
}

void Write(const void *bytes, size_t count)
{
    if (PendingCount + count > BlockSize)
        FlushPending();
    if (count >= BlockSize) {
        WriteOut(bytes, count);
        return;
    }
    memcpy(Pending + PendingCount, bytes, count);
    PendingCount += count;
}

void WriteAnnotations()
{
    const char *end = State.CrLf ? "\r\n" : "\n";
    for (int i = 0; i < State.FoundCount; ++i) {
        CodeEntry *entry = const_cast<CodeEntry *>(State.Found[i]);
        if (entry->Annotation == 0)
            MakeAnnotation(entry);
        if (entry->Annotation != 0)
            Write(entry->Annotation, (size_t)entry->AnnotationLength);
        Write(end, strlen(end));
    }
    State.FoundCount = 0;
}

// Whether any of the eight bytes is an upper-case ASCII letter, all at once: each byte
// above '@' and below '[' (and below 0x80) gets its top bit set.
bool HasUpperCase(const unsigned char *bytes)
{
    uint64_t x;
    memcpy(&x, bytes, sizeof x);
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full, top = 0x8080808080808080ull;
    const uint64_t ones = 0x0101010101010101ull;
    uint64_t masked = x & low7;
    return (((ones * (127 + 'Z' + 1) - masked) & ~x & (masked + ones * (127 - ('A' - 1)))) & top) != 0;
}

bool StartsCandidate(const unsigned char *block, size_t at)
{
    return CodeStart[block[at]] && !WordByte[block[at - 1]];
}

// The next place at or after `at`, and before `limit`, where a code could start: one of
// the prefixes' first letters that does not continue a word. Most bytes of a log are
// nothing of the kind, so this is the loop the log's bytes go through, eight at a time
// where none of them is an upper-case letter.
size_t NextCandidate(const unsigned char *block, size_t at, size_t limit)
{
    if (at == 0 && limit > 0) {
        if (CodeStart[block[0]] && !WordByte[State.LastByte])
            return 0;
        at = 1;
    }
    while (at + 8 <= limit) {
        if (HasUpperCase(block + at)) {
            for (size_t end = at + 8; at < end; ++at)
                if (StartsCandidate(block, at))
                    return at;
        } else {
            at += 8;
        }
    }
    for (; at < limit; ++at)
        if (StartsCandidate(block, at))
            return at;
    return limit;
}

void ScanBlock(const unsigned char *block, size_t size)
{
    size_t at = 0, written = 0;
    if (State.InWord) {
        while (at < size && WordByte[block[at]]) {
            if (State.WordLength < CodeCapacity)
                State.Word[State.WordLength++] = (char)block[at];
            ++at;
        }
        if (at < size) {
            NoteWord(State.Word, State.WordLength);
            State.InWord = false;
        }
    }
    while (at < size) {
        // Once the line names a code, its end is where the explanations go.
        size_t lineEnd = size;
        if (State.FoundCount != 0) {
            const void *newline = memchr(block + at, '\n', size - at);
            if (newline != 0)
                lineEnd = (size_t)((const unsigned char *)newline - block);
        }
        at = NextCandidate(block, at, lineEnd);
        if (at < lineEnd) {
            size_t end = at + 1;
            while (end < size && WordByte[block[end]])
                ++end;
            if (end == size) {
                State.InWord = true;
                State.WordLength = size - at < (size_t)CodeCapacity ? (int)(size - at) : (int)CodeCapacity;
                memcpy(State.Word, block + at, (size_t)State.WordLength);
                break;
            }
            NoteWord((const char *)block + at, (int)(end - at));
            at = end;
            continue;
        }
        if (lineEnd == size)
            break;
        State.CrLf = lineEnd > 0 ? block[lineEnd - 1] == '\r' : State.LastByte == '\r';
        Write(block + written, lineEnd + 1 - written);
        written = lineEnd + 1;
        WriteAnnotations();
        at = lineEnd + 1;
    }
    Write(block + written, size - written);
    if (size == 0)
        return;
    // The last line end of the block decides how a last line without one is ended.
    for (size_t i = size; i-- > 0;) {
        if (block[i] == '\n') {
            State.CrLf = i > 0 ? block[i - 1] == '\r' : State.LastByte == '\r';
            break;
        }
    }
    State.LastByte = block[size - 1];
}

} // namespace

int AnnotateLog(FILE *input, const char *inputName)
{
    PrepareTables();
    unsigned char *block = (unsigned char *)malloc(BlockSize);
    Pending = (char *)malloc(BlockSize);
    if (block == 0 || Pending == 0) {
        free(block);
        free(Pending);
        fprintf(stderr, "kestrel-explain: out of memory%s", OutputLineEnd);
        return ExitNoCatalogue;
    }
    bool readFailed = false;
    while (!State.Failed) {
        size_t got = fread(block, 1, BlockSize, input);
        ScanBlock(block, got);
        if (got < BlockSize) {
            readFailed = ferror(input) != 0;
            break;
        }
    }
    int readError = errno;
    if (State.InWord)
        NoteWord(State.Word, State.WordLength);
    if (State.FoundCount != 0 && !State.Failed) {
        // The last line has no line end of its own; the explanation still gets a line.
        Write(State.CrLf ? "\r\n" : "\n", State.CrLf ? 2 : 1);
        WriteAnnotations();
    }
    FlushPending();
    free(block);
    free(Pending);
    Pending = 0;
    if (fflush(stdout) != 0)
        State.Failed = true;
    if (readFailed) {
        fputs("kestrel-explain: ", stderr);
        WriteNative(stderr, inputName);
        fprintf(stderr, " cannot be read: %s%s", strerror(readError), OutputLineEnd);
        return ExitNoCatalogue;
    }
    if (State.Failed) {
        fprintf(stderr, "kestrel-explain: the output cannot be written%s", OutputLineEnd);
        return ExitNoCatalogue;
    }
    return ExitOk;
}
