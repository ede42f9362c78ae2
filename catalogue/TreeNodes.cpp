// catalogue/TreeNodes.cpp
#include "catalogue/TreeNodes.h"

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
