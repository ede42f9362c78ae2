// common/PathText.cpp
#include "common/PathText.h"
#include "common/TextBuffer.h"

bool FormModulePath(const char *addInFolder, const char *moduleBaseName, char *out, int size)
{
    TextBuffer path(out, size);
    // An empty folder means its own forming failed: nothing may then be built on it.
    if (addInFolder[0] == 0)
        return false;
    path.Append(addInFolder).Append(moduleBaseName).Append(".dll");
    if (!path.Ok() && size > 0)
        out[0] = 0;
    return path.Ok();
}
