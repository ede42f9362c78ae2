// tools/KestrelExplain/ExplainCatalogue.cpp
// Reading the eight message modules as files, with the Windows-free resource reader and
// message-table walk, into one table of codes.
#include "tools/KestrelExplain/Explain.h"
#include "tools/KestrelExplain/Platform.h"
#include "catalogue/MessageTable.h"
#include "catalogue/ModuleResources.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

CodeEntry *Codes;
uint32_t CodeCount;

namespace {

// A message module is a few hundred KiB; anything far larger is not one, and is refused
// before it takes the memory.
const uint32_t ModuleSizeLimit = 64u << 20;

struct ModuleFile {
    unsigned char *Bytes;       // the whole file, kept for the texts
    const unsigned char *Table; // message table 1 within Bytes
    uint32_t TableSize;
};

ModuleFile Modules[ToolCount]; // by ToolTable row, 0-based

void ReportModule(const char *path, const char *problem, const char *detail)
{
    fputs("kestrel-explain: ", stderr);
    WriteNative(stderr, path);
    fprintf(stderr, " %s%s%s%s", problem, detail ? ": " : "", detail ? detail : "", OutputLineEnd);
}

bool ModulePath(const char *folder, int row, char *out, int size)
{
    int written = snprintf(out, (size_t)size, "%s%s.dll", folder, ToolTable[row].ModuleBaseName);
    return written > 0 && written < size;
}

// Reads a whole file of at most ModuleSizeLimit bytes into a new block.
bool ReadModuleFile(const char *path, unsigned char **bytes, uint32_t *size)
{
    FILE *file = OpenForReading(path);
    if (file == 0) {
        ReportModule(path, errno == ENOENT ? "is missing" : "cannot be opened", errno == ENOENT ? 0 : strerror(errno));
        return false;
    }
    uint32_t capacity = 64 << 10, used = 0;
    unsigned char *block = (unsigned char *)malloc(capacity);
    bool ok = block != 0;
    while (ok) {
        if (used == capacity) {
            if (capacity >= ModuleSizeLimit) {
                ReportModule(path, "is too large to be a message module", 0);
                ok = false;
                break;
            }
            unsigned char *larger = (unsigned char *)realloc(block, (size_t)capacity * 2);
            if (larger == 0) {
                ReportModule(path, "cannot be read", "out of memory");
                ok = false;
                break;
            }
            block = larger;
            capacity *= 2;
        }
        size_t got = fread(block + used, 1, capacity - used, file);
        used += (uint32_t)got;
        if (got == 0) {
            if (ferror(file)) {
                ReportModule(path, "cannot be read", strerror(errno));
                ok = false;
            }
            break;
        }
    }
    fclose(file);
    if (!ok) {
        free(block);
        return false;
    }
    *bytes = block;
    *size = used;
    return true;
}

bool LoadModule(const char *folder, int row)
{
    char path[PathCapacity];
    if (!ModulePath(folder, row, path, sizeof path)) {
        fputs("kestrel-explain: the path of ", stderr);
        fprintf(stderr, "%s.dll is too long%s", ToolTable[row].ModuleBaseName, OutputLineEnd);
        return false;
    }
    unsigned char *bytes = 0;
    uint32_t size = 0;
    if (!ReadModuleFile(path, &bytes, &size))
        return false;
    uint32_t offset = 0, length = 0;
    ModuleResourceStatus status = FindMessageTableResource(bytes, size, &offset, &length);
    if (status != ModuleResourceFound) {
        ReportModule(path, DescribeModuleResourceStatus(status), 0);
        free(bytes);
        return false;
    }
    Modules[row].Bytes = bytes;
    Modules[row].Table = bytes + offset;
    Modules[row].TableSize = length;
    return true;
}

struct Collector {
    int Row;
    uint32_t Capacity; // entries Codes has room for
};

void CollectId(void *context, uint32_t id)
{
    Collector *collector = (Collector *)context;
    if (CodeCount == collector->Capacity)
        return;
    CodeEntry *entry = &Codes[CodeCount];
    if (!FormatLabel(ToolTable[collector->Row].LabelPrefix, id, entry->Label, sizeof entry->Label))
        return;
    entry->Id = id;
    entry->Row = collector->Row;
    entry->Annotation = 0;
    entry->AnnotationLength = 0;
    ++CodeCount;
}

int CompareEntries(const void *a, const void *b)
{
    const CodeEntry *x = (const CodeEntry *)a, *y = (const CodeEntry *)b;
    int order = OrderLabels(x->Label, y->Label);
    if (order != 0)
        return order;
    return x < y ? -1 : x > y; // a label given twice keeps its first entry
}

bool ModuleHolds(const char *folder, int row)
{
    char path[PathCapacity];
    if (!ModulePath(folder, row, path, sizeof path))
        return false;
    FILE *file = OpenForReading(path);
    if (file != 0)
        fclose(file);
    return file != 0;
}

bool FolderHoldsAModule(const char *folder)
{
    for (int row = 0; row < ToolCount; ++row)
        if (ModuleHolds(folder, row))
            return true;
    return false;
}

} // namespace

int LoadCatalogue(const char *folder)
{
    int read = 0;
    uint64_t capacity = 0;
    for (int i = 0; i < ToolCount; ++i) {
        int row = ModuleLoadOrder[i] - 1;
        if (LoadModule(folder, row)) {
            ++read;
            // A walk never lists more ids than entry headers fit in the table.
            capacity += Modules[row].TableSize / 4;
        }
    }
    if (capacity > 0x7FFFFFFF / sizeof(CodeEntry))
        capacity = 0x7FFFFFFF / sizeof(CodeEntry);
    Codes = (CodeEntry *)malloc((size_t)(capacity > 0 ? capacity : 1) * sizeof(CodeEntry));
    if (Codes == 0) {
        fprintf(stderr, "kestrel-explain: out of memory%s", OutputLineEnd);
        return 0;
    }
    for (int row = 0; row < ToolCount; ++row) {
        if (Modules[row].Bytes == 0)
            continue;
        Collector collector = {row, (uint32_t)capacity};
        WalkMessageTable(Modules[row].Table, Modules[row].TableSize, CollectId, &collector);
    }
    qsort(Codes, CodeCount, sizeof(CodeEntry), CompareEntries);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < CodeCount; ++i)
        if (kept == 0 || OrderLabels(Codes[kept - 1].Label, Codes[i].Label) != 0)
            Codes[kept++] = Codes[i];
    CodeCount = kept;
    return read;
}

void FreeCatalogue()
{
    for (uint32_t i = 0; i < CodeCount; ++i)
        free(Codes[i].Annotation);
    free(Codes);
    Codes = 0;
    CodeCount = 0;
    for (int row = 0; row < ToolCount; ++row) {
        free(Modules[row].Bytes);
        Modules[row] = ModuleFile();
    }
}

bool DefaultModuleFolder(char *out, int size)
{
    if (!ProgramFolder(out, size))
        return false;
    if (FolderHoldsAModule(out))
        return true;
    char addIns[PathCapacity];
    int written = snprintf(addIns, sizeof addIns, "%s..%cAddIns%c", out, PathSeparator, PathSeparator);
    if (written > 0 && written < (int)sizeof addIns && written < size && FolderHoldsAModule(addIns))
        memcpy(out, addIns, (size_t)written + 1);
    return true;
}

const CodeEntry *FindCode(const char *code)
{
    uint32_t low = 0, high = CodeCount;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        int order = OrderLabels(Codes[middle].Label, code);
        if (order == 0)
            return &Codes[middle];
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return 0;
}

bool ReadCodeText(const CodeEntry *entry, char **text, MessageParts *parts)
{
    const ModuleFile &module = Modules[entry->Row];
    const unsigned char *raw = 0;
    uint32_t length = 0;
    if (module.Bytes == 0 || !FindMessageEntryText(module.Table, module.TableSize, entry->Id, &raw, &length))
        return false;
    // An entry holds at most 64 KiB, and the formatted text is never longer.
    char *formatted = (char *)malloc(length > 0 ? length : 1);
    if (formatted == 0)
        return false;
    int formattedLength = ExpandMessageEscapes((const char *)raw, (int)length, formatted, (int)length);
    if (formattedLength < 0) {
        free(formatted);
        return false;
    }
    SplitMessageText(formatted, formattedLength, parts);
    *text = formatted;
    return true;
}
