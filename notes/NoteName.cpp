// notes/NoteName.cpp
#include "notes/NoteName.h"
#include "common/TextBuffer.h"
#include "catalogue/ToolTable.h"

static bool Contains(const char *text, const char *part)
{
    for (; *text != 0; ++text) {
        int i = 0;
        while (part[i] != 0 && text[i] == part[i])
            ++i;
        if (part[i] == 0)
            return true;
    }
    return false;
}

int ClassifyNoteName(const char *fileName)
{
    static const struct {
        const char *Test;
        int Slot;
    } Chain[] = {
        {"A", BrowserSlotMl},   {"CVT", BrowserSlotCvtres}, {"R", BrowserSlotRc},
        {"U", BrowserSlotNmake}, {"LNK", BrowserSlotLink},
    };
    for (const auto &link : Chain)
        if (Contains(fileName, link.Test))
            return link.Slot;
    int slot = BrowserSlotNone;
    if (Contains(fileName, "HI"))
        slot = BrowserSlotH2inc;
    if (Contains(fileName, "MIDL"))
        slot = BrowserSlotMidl;
    return slot;
}

bool NoteBaseName(const char *fileName, char *out, int size)
{
    int dot = 0;
    while (fileName[dot] != 0 && fileName[dot] != '.')
        ++dot;
    if (size > 0)
        out[0] = 0;
    if (fileName[dot] != '.' || dot == 0)
        return false;
    TextBuffer base(out, size);
    base.Append(fileName, dot);
    return base.Ok();
}
