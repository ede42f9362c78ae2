// catalogue/CodeLookup.cpp
#include "catalogue/CodeLookup.h"
#include "addin/State.h"
#include "catalogue/Label.h"
#include "catalogue/TreeNodes.h"

namespace {

enum { LookupLabelCapacity = 50 };

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

HTREEITEM FindInCategory(HTREEITEM category, const char *code)
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

LRESULT FindErrorCode(const char *code)
{
    for (HTREEITEM category = NextItem(NULL, TVGN_ROOT); category != NULL;
         category = NextItem(category, TVGN_NEXT)) {
        HTREEITEM entry = FindInCategory(category, code);
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
