// Note file names as the folder search hands them out: the browser category, the code
// taken from the name, and the paths built on a name. Every result goes into a heap
// block of exactly the size the add-in gives it, so an overrun is reported.
#include "catalogue/Label.h"
#include "catalogue/ToolTable.h"
#include "notes/NoteName.h"
#include "notes/NotePath.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The category by plain substring search, as an independent account of the test order.
int ExpectedSlot(const char *name)
{
    static const struct {
        const char *Test;
        int Slot;
    } Chain[] = {{"A", BrowserSlotMl}, {"CVT", BrowserSlotCvtres}, {"R", BrowserSlotRc},
                 {"U", BrowserSlotNmake}, {"LNK", BrowserSlotLink}};
    for (const auto &link : Chain)
        if (std::strstr(name, link.Test) != 0)
            return link.Slot;
    if (std::strstr(name, "MIDL") != 0)
        return BrowserSlotMidl;
    if (std::strstr(name, "HI") != 0)
        return BrowserSlotH2inc;
    return BrowserSlotNone;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *name = new char[size + 1];
    if (size > 0)
        std::memcpy(name, data, size);
    name[size] = 0;
    size_t length = std::strlen(name);

    CHECK(ClassifyNoteName(name) == ExpectedSlot(name));

    char *base = new char[CodeCapacity];
    bool ok = NoteBaseName(name, base, CodeCapacity);
    size_t dot = std::strcspn(name, ".");
    bool fits = name[dot] == '.' && dot > 0 && dot < CodeCapacity;
    CHECK(ok == fits);
    if (ok)
        CHECK(std::strlen(base) == dot && std::memcmp(base, name, dot) == 0);
    else
        CHECK(base[0] == 0);

    char *folder = new char[PathCapacity];
    const char *lastBackslash = std::strrchr(name, '\\');
    size_t folderLength = lastBackslash ? (size_t)(lastBackslash - name) + 1 : 0;
    ok = ExtractFolder(name, folder, PathCapacity);
    CHECK(ok == (folderLength < PathCapacity));
    if (ok)
        CHECK(std::strlen(folder) == folderLength && std::memcmp(folder, name, folderLength) == 0);
    else
        CHECK(folder[0] == 0);

    // The name taken as a notes folder: the note path is whole or empty, never cut.
    char *notePath = new char[PathCapacity];
    const char code[] = "LNK1104";
    size_t pathLength = length + 1 + std::strlen(code) + NoteExtensionLength;
    ok = FormNotePath(name, code, notePath, PathCapacity);
    CHECK(ok == (length > 0 && pathLength < PathCapacity));
    if (ok)
        CHECK(std::strlen(notePath) == pathLength && std::memcmp(notePath, name, length) == 0 &&
              std::strcmp(notePath + length, "\\LNK1104.knote") == 0);
    else
        CHECK(notePath[0] == 0);

    delete[] notePath;
    delete[] folder;
    delete[] base;
    delete[] name;
    return 0;
}
