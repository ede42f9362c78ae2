// catalogue/ModuleResources.h
// Finding message table 1 in the bytes of a message module file without the system's
// loader, for programs that read the modules where no Windows is at hand. The file may be
// missing parts, cut short or something else altogether, so every header, table and offset
// is checked against the bytes before it is read. Windows-free.
#pragma once
#include <stdint.h>

enum ModuleResourceStatus {
    ModuleResourceFound,
    ModuleNotAModule,       // no DOS and PE headers: not a Windows module at all
    ModuleCutShort,         // a header, table or the resource itself runs past the file's end
    ModuleDamaged,          // the headers or the resource directory contradict themselves
    ModuleNoMessageTable,   // a sound module without message table 1
};

// Looks up resource type 11 (message table), name 1, in the first language listed, and
// gives the resource's bytes as an offset and size into the file. Nothing outside
// `file[0 .. size)` is ever read.
ModuleResourceStatus FindMessageTableResource(const unsigned char *file, uint32_t size,
                                              uint32_t *offset, uint32_t *length);

// A few words for a status, to follow a file's name in a one-line error:
// "is not a Windows module", "is cut short", ...
const char *DescribeModuleResourceStatus(ModuleResourceStatus status);
