// catalogue/ToolTable.cpp
#include "catalogue/ToolTable.h"
#include "common/TextBuffer.h"

const ToolEntry ToolTable[ToolCount] = {
    {1, "ML", "ML", "A", "ML", "A"},
    {2, "CVTRES", "CVTRES", "CVT", "CVTRES", "CVT"},
    {3, "NMAKE", "NMAKE", "U", "NMAKE", "U"},
    {4, "LINK\\LIB\\DUMPBIN\\EDITBIN", "link", "LNK", "LINK\\LIB\\DUMPBIN\\EDITBIN", "LNK"},
    {5, "RC (\"C\" Errors)", "rcc", "RC", "RC", "R"},
    {6, "RC (\"W\" Errors)", "rcw", "RW", "RC", "R"},
    {7, "H2INC", "H2INC", "HI", "H2INC", "HI"},
    {8, "MIDL", "midl", "MIDL", "MIDL", "MIDL"},
};

const int ModuleLoadOrder[ToolCount] = {1, 2, 7, 4, 3, 5, 6, 8};
const int CategoryInsertOrder[ToolCount] = {1, 2, 3, 7, 4, 5, 6, 8};
const int DetailsRowOrder[ToolCount] = {1, 2, 3, 4, 5, 6, 7, 8};

const char *const BrowserCategoryText[BrowserCategoryCount] = {
    "ML", "CVTRES", "NMAKE", "H2INC", "LINK\\LIB\\DUMPBIN\\EDITBIN", "RC", "MIDL",
};

int JoinToolNames(char *out, int size)
{
    TextBuffer text(out, size);
    for (int row = 0; row < ToolCount; ++row) {
        if (row > 0)
            text.Append("\r\n");
        text.Append(ToolTable[row].CategoryText);
    }
    return text.Ok() ? text.Length() : -1;
}
