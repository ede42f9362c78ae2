// tests/wine/LinkedAddIn.h
// For tests that link the add-in's procedures into the test program itself: the state a
// host's WAAddInLoad would have set up, with this program standing in for the module.
#pragma once
#include "addin/State.h"
#include <shellapi.h>

namespace harness {

inline void StartLinkedAddIn()
{
    AddInInstance = GetModuleHandleA(NULL);
    ProcessHeap = GetProcessHeap();
    if (RichEditLibrary == NULL)
        RichEditLibrary = LoadLibraryA("RichEd32");
    if (SharedImageList == NULL) {
        SharedImageList = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
        for (const char *name : {".exe", ".txt"}) {
            SHFILEINFOA info = {};
            SHGetFileInfoA(name, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
            ImageList_ReplaceIcon(SharedImageList, -1, info.hIcon);
            if (info.hIcon != NULL)
                DestroyIcon(info.hIcon);
        }
    }
}

} // namespace harness
