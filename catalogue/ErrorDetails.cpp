// catalogue/ErrorDetails.cpp
#include "catalogue/ErrorDetails.h"
#include "addin/State.h"
#include "catalogue/MessageTable.h"
#include "catalogue/MessageText.h"
#include "catalogue/ToolTable.h"
#include "common/PathText.h"

namespace {

// Insert sequences such as %1 in a module text must not fault the host inside the
// formatter: every argument it may fetch is an empty text. %1 to %99, some taking two.
const char EmptyText[] = "";
DWORD_PTR HarmlessArguments[200];

void FillHarmlessArguments()
{
    for (DWORD_PTR &argument : HarmlessArguments)
        argument = (DWORD_PTR)EmptyText;
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

} // namespace

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
