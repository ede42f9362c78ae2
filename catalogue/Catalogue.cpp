// catalogue/Catalogue.cpp
#include "catalogue/Catalogue.h"
#include "addin/State.h"
#include "catalogue/MessageTable.h"
#include "catalogue/MessageText.h"
#include <stdlib.h>

namespace {

enum { CategoryImage = 0, EntryImage = 1, LookupLabelCapacity = 50 };

// The row whose module is being walked: it picks the parent category and the label prefix.
int LoaderRow;

// Insert sequences such as %1 in a module text must not fault the host inside the
// formatter: every argument it may fetch is an empty text. %1 to %99, some taking two.
const char EmptyText[] = "";
DWORD_PTR HarmlessArguments[200];

void FillHarmlessArguments()
{
    for (DWORD_PTR &argument : HarmlessArguments)
        argument = (DWORD_PTR)EmptyText;
}

HTREEITEM InsertEntry(const char *label, DWORD id)
{
    return InsertTreeNode(CatalogueTree, MainCategories[LoaderRow], label, EntryImage,
                          TVIF_PARAM | TVIF_SELECTEDIMAGE, (LPARAM)id);
}

void AddEntry(void *, uint32_t id)
{
    char label[CodeCapacity];
    if (FormatLabel(ToolTable[LoaderRow - 1].LabelPrefix, id, label, sizeof label))
        InsertEntry(label, id);
}

void CountEntry(void *context, uint32_t)
{
    ++*(DWORD *)context;
}

// One module's entries, gathered before any goes into the tree.
struct EntryCollector {
    CatalogueEntry *Entries;
    DWORD Capacity;
    DWORD Count;
};

void CollectEntry(void *context, uint32_t id)
{
    EntryCollector *collector = (EntryCollector *)context;
    if (collector->Count == collector->Capacity)
        return;
    CatalogueEntry *entry = &collector->Entries[collector->Count];
    if (!FormatLabel(ToolTable[LoaderRow - 1].LabelPrefix, id, entry->Label, sizeof entry->Label))
        return;
    entry->Id = id;
    ++collector->Count;
}

int __cdecl CompareEntries(const void *a, const void *b)
{
    return OrderLabels(((const CatalogueEntry *)a)->Label, ((const CatalogueEntry *)b)->Label);
}

// Sorted insertion walks a category's children from the first until the new label's
// place, so entries fed in ascending order each walk the whole category: 2,500 of them
// took seconds. Fed from the last label down, each belongs before the first child and one
// comparison places it. The control still places every entry itself, so the tree is the
// one sorted insertion gives in any order; ours only decides how far it has to look.
void InsertFromLastDown(CatalogueEntry *entries, DWORD count)
{
    qsort(entries, count, sizeof *entries, CompareEntries);
    for (DWORD i = count; i-- > 0;)
        entries[i].Node = InsertEntry(entries[i].Label, entries[i].Id);
}

void ReleaseRowIndex(int row)
{
    if (CatalogueIndex[row].Entries != NULL)
        HeapFree(ProcessHeap, 0, CatalogueIndex[row].Entries);
    CatalogueIndex[row].Entries = NULL;
    CatalogueIndex[row].Count = 0;
}

int RowOfCategory(HTREEITEM category)
{
    for (int row : DetailsRowOrder)
        if (MainCategories[row] == category && category != NULL)
            return row;
    return 0;
}

void SetFieldText(HWND field, const char *text)
{
    SendMessageA(field, WM_SETTEXT, 0, (LPARAM)text);
}

void ShowDetailsText(const char *text, int length)
{
    MessageParts parts;
    SplitMessageText(text, length, &parts);
    SetFieldText(TypeField, MessageTypeText(parts.TypeCode));
    char *error = (char *)HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, (SIZE_T)parts.ErrorLength + 1);
    if (error != NULL) {
        CopyMemory(error, parts.Error, (SIZE_T)parts.ErrorLength);
        SetFieldText(ErrorField, error);
        HeapFree(ProcessHeap, 0, error);
    } else {
        SetFieldText(ErrorField, "");
    }
    // The description runs to the formatted text's end, which is zero-terminated. A text
    // with no description part leaves Description pointing at its start, not at nothing.
    SetFieldText(DescriptionField, parts.DescriptionLength > 0 ? parts.Description : "");
}

// How a module's message may be formatted: not at all when the formatter's lookup would
// read outside the table, as it stands when it holds inserts, normally otherwise.
enum MessageSafety { MessageUnsound, MessagePlain, MessageWithInserts };

MessageSafety CheckMessage(HMODULE module, DWORD id)
{
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11));
    if (info == NULL)
        return MessageUnsound;
    DWORD size = SizeofResource(module, info);
    HGLOBAL resource = LoadResource(module, info);
    if (resource == NULL)
        return MessageUnsound;
    const unsigned char *data = (const unsigned char *)LockResource(resource);
    MessageSafety safety = MessageUnsound;
    if (MessageEntryIsSound(data, size, id))
        safety = MessageEntryHasInserts(data, size, id) ? MessageWithInserts : MessagePlain;
    FreeResource(resource);
    return safety;
}

// The formatted text of message `id`, in a buffer the caller frees with LocalFree;
// NULL when the module or the message cannot be had.
char *FormatModuleMessage(const char *path, DWORD id, DWORD *length)
{
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL)
        return NULL;
    char *text = NULL;
    *length = 0;
    MessageSafety safety = CheckMessage(module, id);
    if (safety != MessageUnsound) {
        DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY;
        if (safety == MessageWithInserts)
            flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
        FillHarmlessArguments();
        *length = FormatMessageA(flags, module, id, 0, (LPSTR)&text, 1, (va_list *)HarmlessArguments);
    }
    FreeLibrary(module);
    if (*length == 0 && text != NULL) {
        LocalFree(text);
        text = NULL;
    }
    return text;
}

bool IsCodeCharacter(WPARAM c)
{
    if ((c >= '0' && c <= '9') || c == VK_BACK)
        return true;
    static const char Letters[] = "ACDHIKLMNRTUVW";
    for (const char *letter = Letters; *letter != 0; ++letter)
        if (c == (WPARAM)*letter || c == (WPARAM)(*letter - 'A' + 'a'))
            return true;
    return false;
}

HTREEITEM NextItem(HTREEITEM item, WPARAM relation)
{
    return (HTREEITEM)SendMessageA(CatalogueTree, TVM_GETNEXTITEM, relation, (LPARAM)item);
}

HTREEITEM FindInIndex(const CatalogueRowIndex &index, const char *code)
{
    for (DWORD i = 0; i < index.Count; ++i)
        if (index.Entries[i].Node != NULL && CompareLabels(index.Entries[i].Label, code) == 0)
            return index.Entries[i].Node;
    return NULL;
}

HTREEITEM FindInNodes(HTREEITEM category, const char *code)
{
    for (HTREEITEM entry = NextItem(category, TVGN_CHILD); entry != NULL; entry = NextItem(entry, TVGN_NEXT)) {
        char label[LookupLabelCapacity];
        ReadTreeItem(CatalogueTree, entry, label, sizeof label);
        if (CompareLabels(label, code) == 0)
            return entry;
    }
    return NULL;
}

} // namespace

LPARAM ReadTreeItem(HWND tree, HTREEITEM item, char *text, int size)
{
    ZeroMemory(text, size);
    TVITEMA data;
    ZeroMemory(&data, sizeof data);
    data.mask = TVIF_TEXT | TVIF_PARAM;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = size;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
    text[size - 1] = 0;
    return data.lParam;
}

HTREEITEM InsertTreeNode(HWND tree, HTREEITEM parent, const char *text, int image, UINT extraMask,
                         LPARAM param)
{
    TVINSERTSTRUCTA insert;
    ZeroMemory(&insert, sizeof insert);
    insert.hParent = parent;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | extraMask;
    insert.item.pszText = (LPSTR)text;
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = param;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

void InsertToolCategories(int variant, HWND tree)
{
    if (variant == CategoryVariantMain) {
        ReleaseCatalogueIndex(); // it belonged to the tree before this one
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
        LoaderRow = row;
        char path[PathCapacity];
        if (FormModulePath(AddInFolder, ToolTable[row - 1].ModuleBaseName, path, sizeof path))
            LoadModuleMessages(path);
    }
}

void LoadModuleMessages(const char *path)
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
            AddMessageTableEntries(LockResource(resource), size);
            FreeResource(resource);
        }
    }
    FreeLibrary(module);
}

void AddMessageTableEntries(const void *data, DWORD size)
{
    const unsigned char *bytes = (const unsigned char *)data;
    DWORD count = 0;
    WalkMessageTable(bytes, size, CountEntry, &count);
    CatalogueEntry *entries = NULL;
    if (count != 0 && count <= MAXDWORD / sizeof(CatalogueEntry) && CatalogueIndex[LoaderRow].Entries == NULL)
        entries = (CatalogueEntry *)HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, (SIZE_T)count * sizeof(CatalogueEntry));
    if (entries == NULL) {
        // Without an index of this row's entries (no memory for one, or the row already has
        // one from another table) they go in as the walk meets them, and a search reads
        // this category's nodes instead.
        ReleaseRowIndex(LoaderRow);
        WalkMessageTable(bytes, size, AddEntry, NULL);
        return;
    }
    EntryCollector collector = {entries, count, 0};
    WalkMessageTable(bytes, size, CollectEntry, &collector);
    InsertFromLastDown(entries, collector.Count);
    CatalogueIndex[LoaderRow].Entries = entries;
    CatalogueIndex[LoaderRow].Count = collector.Count;
}

void ReleaseCatalogueIndex()
{
    for (int row = 1; row <= ToolCount; ++row)
        ReleaseRowIndex(row);
}

void ShowErrorDetails(HTREEITEM category, DWORD id)
{
    int row = RowOfCategory(category);
    char path[PathCapacity];
    char *text = NULL;
    DWORD length = 0;
    if (row != 0 && FormModulePath(AddInFolder, ToolTable[row - 1].ModuleBaseName, path, sizeof path))
        text = FormatModuleMessage(path, id, &length);
    if (text == NULL) {
        // The module went away or lost the message since the window opened.
        SetFieldText(TypeField, "");
        SetFieldText(ErrorField, "");
        SetFieldText(DescriptionField, "");
        return;
    }
    ShowDetailsText(text, (int)length);
    LocalFree(text);
}

LRESULT FindErrorCode(const char *code)
{
    for (HTREEITEM category = NextItem(NULL, TVGN_ROOT); category != NULL;
         category = NextItem(category, TVGN_NEXT)) {
        int row = RowOfCategory(category);
        HTREEITEM entry = row != 0 && CatalogueIndex[row].Entries != NULL ? FindInIndex(CatalogueIndex[row], code)
                                                                          : FindInNodes(category, code);
        if (entry != NULL)
            return SendMessageA(CatalogueTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)entry);
    }
    return 0;
}

LRESULT CALLBACK ErrorNumberEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && !IsCodeCharacter(wParam))
        return 0;
    return CallWindowProcA(PreviousErrorNumberProc, window, message, wParam, lParam);
}
