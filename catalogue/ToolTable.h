// catalogue/ToolTable.h
// The eight tool categories: what the user sees, which message module holds their
// messages and how their codes are spelled. Windows-free.
#pragma once

enum {
    ToolCount = 8,          // rows of ToolTable, indexed 1 to 8
    BrowserCategoryCount = 7 // the note browser shows both RC tools as one "RC"
};

struct ToolEntry {
    int Index;                   // 1 to 8
    const char *CategoryText;    // category node text in the lookup window
    const char *ModuleBaseName;  // message module file name without ".dll"
    const char *LabelPrefix;     // letters written before the message number
    const char *BrowserText;     // category node text in the note browser
    const char *NoteNameTest;    // substring that files a note under this category
};

// Row i (1 to 8) is ToolTable[i - 1].
extern const ToolEntry ToolTable[ToolCount];

// The fixed orders drawn from the table, as row indexes.
extern const int ModuleLoadOrder[ToolCount];        // 1, 2, 7, 4, 3, 5, 6, 8
extern const int CategoryInsertOrder[ToolCount];    // 1, 2, 3, 7, 4, 5, 6, 8
extern const int DetailsRowOrder[ToolCount];        // 1, 2, 3, 4, 5, 6, 7, 8

// Browser categories are numbered by slot: 0 ML, 1 CVTRES, 2 NMAKE, 3 H2INC, 4 LINK,
// 5 RC (both RC tools), 6 MIDL, in their insertion order.
extern const char *const BrowserCategoryText[BrowserCategoryCount];
enum BrowserSlot {
    BrowserSlotMl, BrowserSlotCvtres, BrowserSlotNmake, BrowserSlotH2inc,
    BrowserSlotLink, BrowserSlotRc, BrowserSlotMidl, BrowserSlotNone = -1
};

// The tools list of the About window: the eight category texts in row order, joined by
// CR LF. Returns the text's length, or -1 when it would not fit in `size` bytes.
int JoinToolNames(char *out, int size);
