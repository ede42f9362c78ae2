// catalogue/CatalogueLoading.cpp
#include "catalogue/CatalogueLoading.h"
#include "addin/State.h"
#include "catalogue/Label.h"
#include "catalogue/MessageTable.h"
#include "catalogue/ToolTable.h"
#include "catalogue/TreeNodes.h"
#include "common/PathText.h"
#include <stdlib.h>

namespace {

// One module's entries, gathered before any goes into the tree, in a buffer that lives only
// while that module is loaded.
struct PendingEntry {
    char Label[CodeCapacity];
    DWORD Id;
};

// The module being walked: its row picks the parent category and the label prefix.
struct ModuleWalk {
    int Row;
    PendingEntry *Entries;
    DWORD Capacity;
    DWORD Count;
};

void InsertEntry(int row, const char *label, DWORD id)
{
    InsertTreeNode(CatalogueTree, MainCategories[row], label, EntryImage, TVIF_PARAM | TVIF_SELECTEDIMAGE,
                   (LPARAM)id);
}

void InsertEntryAsMet(void *context, uint32_t id)
{
    const ModuleWalk *walk = (const ModuleWalk *)context;
    char label[CodeCapacity];
    if (FormatLabel(ToolTable[walk->Row - 1].LabelPrefix, id, label, sizeof label))
        InsertEntry(walk->Row, label, id);
}

void CountEntry(void *context, uint32_t)
{
    ++*(DWORD *)context;
}

void CollectEntry(void *context, uint32_t id)
{
    ModuleWalk *walk = (ModuleWalk *)context;
    if (walk->Count == walk->Capacity)
        return;
    PendingEntry *entry = &walk->Entries[walk->Count];
    if (!FormatLabel(ToolTable[walk->Row - 1].LabelPrefix, id, entry->Label, sizeof entry->Label))
        return;
    entry->Id = id;
    ++walk->Count;
}

int __cdecl CompareEntries(const void *a, const void *b)
{
    return OrderLabels(((const PendingEntry *)a)->Label, ((const PendingEntry *)b)->Label);
}

// Sorted insertion walks a category's children from the first until the new label's
// place, so entries fed in ascending order each walk the whole category: 2,500 of them
// took seconds. Fed from the last label down, each belongs before the first child and one
// comparison places it. The control still places every entry itself, so the tree is the
// one sorted insertion gives in any order; ours only decides how far it has to look.
void InsertFromLastDown(const ModuleWalk &walk)
{
    qsort(walk.Entries, walk.Count, sizeof *walk.Entries, CompareEntries);
    for (DWORD i = walk.Count; i-- > 0;)
        InsertEntry(walk.Row, walk.Entries[i].Label, walk.Entries[i].Id);
}

void AddMessageTableEntries(int row, const void *data, DWORD size)
{
    const unsigned char *bytes = (const unsigned char *)data;
    DWORD count = 0;
    WalkMessageTable(bytes, size, CountEntry, &count);
    ModuleWalk walk = {row, NULL, count, 0};
    if (count != 0 && count <= MAXDWORD / sizeof(PendingEntry))
        walk.Entries = (PendingEntry *)HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, (SIZE_T)count * sizeof(PendingEntry));
    if (walk.Entries == NULL) {
        // Without room to gather them the entries go in as the walk meets them: slower for
        // a large module, the same tree.
        WalkMessageTable(bytes, size, InsertEntryAsMet, &walk);
        return;
    }
    WalkMessageTable(bytes, size, CollectEntry, &walk);
    InsertFromLastDown(walk);
    HeapFree(ProcessHeap, 0, walk.Entries);
}

void LoadModuleMessages(int row, const char *path)
{
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL)
        return;
    // A module without message table 1 simply leaves its category empty.
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11));
    if (info != NULL) {
        DWORD size = SizeofResource(module, info);
        HGLOBAL resource = LoadResource(module, info);
        if (resource != NULL) {
            AddMessageTableEntries(row, LockResource(resource), size);
            FreeResource(resource);
        }
    }
    FreeLibrary(module);
}

} // namespace

void InsertToolCategories(int variant, HWND tree)
{
    if (variant == CategoryVariantMain) {
        for (int row : CategoryInsertOrder)
            MainCategories[row] =
                InsertTreeNode(tree, TVI_ROOT, ToolTable[row - 1].CategoryText, CategoryImage, 0, 0);
        return;
    }
    for (int slot = 0; slot < BrowserCategoryCount; ++slot)
        BrowserCategories[slot] =
            InsertTreeNode(tree, TVI_ROOT, BrowserCategoryText[slot], CategoryImage, 0, 0);
}

void LoadToolModules()
{
    for (int row : ModuleLoadOrder) {
        char path[PathCapacity];
        if (FormModulePath(AddInFolder, ToolTable[row - 1].ModuleBaseName, path, sizeof path))
            LoadModuleMessages(row, path);
    }
}
