// catalogue/ModuleResources.cpp
#include "catalogue/ModuleResources.h"
#include "catalogue/LittleEndian.h"

namespace {

enum {
    DosHeaderSize = 64,
    PeOffsetField = 0x3C,
    FileHeaderSize = 20,          // after the four signature bytes
    SectionHeaderSize = 40,
    DirectoryHeaderSize = 16,
    DirectoryEntrySize = 8,
    DataEntrySize = 16,
    ResourceDirectoryIndex = 2,   // third entry of the optional header's data directories
    MessageTableType = 11,
    MessageTableName = 1,
};

const uint32_t SubdirectoryFlag = 0x80000000u;

// The parts of a module the resource lookup needs, each checked against the file.
struct Image {
    const unsigned char *File;
    uint32_t Size;
    uint64_t Sections;      // file offset of the section table
    uint32_t SectionCount;
};

// Finds the file bytes behind `length` bytes at relative virtual address `rva`. Only the
// part of a section that the file holds counts: a resource in the zero-filled tail of a
// section, or spanning two sections, is not one a module builder makes.
ModuleResourceStatus MapRange(const Image &image, uint32_t rva, uint32_t length, uint64_t *offset)
{
    for (uint32_t s = 0; s < image.SectionCount; ++s) {
        const unsigned char *section = image.File + image.Sections + (uint64_t)s * SectionHeaderSize;
        uint32_t virtualSize = Read32(section + 8);
        uint32_t virtualAddress = Read32(section + 12);
        uint32_t rawSize = Read32(section + 16);
        uint32_t rawPointer = Read32(section + 20);
        uint32_t backed = rawSize;
        if (virtualSize != 0 && virtualSize < backed)
            backed = virtualSize;
        if (rva < virtualAddress || rva - virtualAddress >= backed)
            continue;
        uint64_t into = rva - virtualAddress;
        if (into + length > backed)
            return ModuleDamaged;
        uint64_t at = (uint64_t)rawPointer + into;
        if (at + length > image.Size)
            return ModuleCutShort;
        *offset = at;
        return ModuleResourceFound;
    }
    return ModuleDamaged;
}

// Reads the headers up to the section table and the resource directory's address.
ModuleResourceStatus ReadHeaders(Image *image, uint32_t *resourceRva, uint32_t *resourceSize)
{
    const unsigned char *file = image->File;
    uint32_t size = image->Size;
    if (size < 2 || file[0] != 'M' || file[1] != 'Z')
        return ModuleNotAModule;
    if (size < DosHeaderSize)
        return ModuleCutShort;
    uint64_t pe = Read32(file + PeOffsetField);
    if (pe + 4 > size)
        return ModuleCutShort;
    if (file[pe] != 'P' || file[pe + 1] != 'E' || file[pe + 2] != 0 || file[pe + 3] != 0)
        return ModuleNotAModule;
    uint64_t header = pe + 4;
    if (header + FileHeaderSize > size)
        return ModuleCutShort;
    image->SectionCount = Read16(file + header + 2);
    uint32_t optionalSize = Read16(file + header + 16);
    uint64_t optional = header + FileHeaderSize;
    if (optional + optionalSize > size)
        return ModuleCutShort;

    // The data directories follow the fields of PE32 or PE32+, which differ in size.
    if (optionalSize < 2)
        return ModuleDamaged;
    uint32_t countField, directories;
    switch (Read16(file + optional)) {
    case 0x10B: countField = 92, directories = 96; break;
    case 0x20B: countField = 108, directories = 112; break;
    default: return ModuleDamaged;
    }
    if (optionalSize < countField + 4)
        return ModuleDamaged;
    uint32_t directoryCount = Read32(file + optional + countField);
    uint32_t entry = directories + ResourceDirectoryIndex * 8;
    if (directoryCount <= ResourceDirectoryIndex || optionalSize < entry + 8)
        return ModuleNoMessageTable;
    *resourceRva = Read32(file + optional + entry);
    *resourceSize = Read32(file + optional + entry + 4);

    image->Sections = optional + optionalSize;
    if (image->Sections + (uint64_t)image->SectionCount * SectionHeaderSize > size)
        return ModuleCutShort;
    if (*resourceRva == 0 || *resourceSize == 0)
        return ModuleNoMessageTable;
    return ModuleResourceFound;
}

// The resource directory, mapped once; every table in it lies within these bytes.
struct Directory {
    const unsigned char *Bytes;
    uint32_t Size;
};

// Finds entry `id` (by number, not by name) of the table at `table`. Sets *target to the
// entry's offset field; false when the table does not list the id. *status says whether
// the table itself could be read.
bool FindEntry(const Directory &directory, uint32_t table, uint32_t id, uint32_t *target,
               ModuleResourceStatus *status)
{
    *status = ModuleDamaged;
    if ((uint64_t)table + DirectoryHeaderSize > directory.Size)
        return false;
    const unsigned char *header = directory.Bytes + table;
    uint64_t count = (uint64_t)Read16(header + 12) + Read16(header + 14);
    if (table + DirectoryHeaderSize + count * DirectoryEntrySize > directory.Size)
        return false;
    *status = ModuleResourceFound;
    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char *entry = header + DirectoryHeaderSize + i * DirectoryEntrySize;
        if (Read32(entry) == id) {
            *target = Read32(entry + 4);
            return true;
        }
    }
    return false;
}

// Steps from one table to the subtable for `id`, which must be a table, not data.
ModuleResourceStatus Descend(const Directory &directory, uint32_t *table, uint32_t id)
{
    ModuleResourceStatus status;
    uint32_t target = 0;
    if (!FindEntry(directory, *table, id, &target, &status))
        return status == ModuleResourceFound ? ModuleNoMessageTable : status;
    if ((target & SubdirectoryFlag) == 0)
        return ModuleDamaged;
    *table = target & ~SubdirectoryFlag;
    return ModuleResourceFound;
}

} // namespace

ModuleResourceStatus FindMessageTableResource(const unsigned char *file, uint32_t size,
                                              uint32_t *offset, uint32_t *length)
{
    if (file == 0)
        return ModuleNotAModule;
    Image image = {file, size, 0, 0};
    uint32_t resourceRva = 0, resourceSize = 0;
    ModuleResourceStatus status = ReadHeaders(&image, &resourceRva, &resourceSize);
    if (status != ModuleResourceFound)
        return status;

    uint64_t at = 0;
    status = MapRange(image, resourceRva, resourceSize, &at);
    if (status != ModuleResourceFound)
        return status;
    Directory directory = {file + at, resourceSize};

    // Three levels: type, name, language. Any language will do: the modules hold one.
    uint32_t table = 0;
    if ((status = Descend(directory, &table, MessageTableType)) != ModuleResourceFound ||
        (status = Descend(directory, &table, MessageTableName)) != ModuleResourceFound)
        return status;
    if ((uint64_t)table + DirectoryHeaderSize > directory.Size)
        return ModuleDamaged;
    const unsigned char *languages = directory.Bytes + table;
    if (Read16(languages + 12) + Read16(languages + 14) == 0)
        return ModuleNoMessageTable;
    if ((uint64_t)table + DirectoryHeaderSize + DirectoryEntrySize > directory.Size)
        return ModuleDamaged;
    uint32_t dataEntry = Read32(languages + DirectoryHeaderSize + 4);
    if ((dataEntry & SubdirectoryFlag) != 0 || (uint64_t)dataEntry + DataEntrySize > directory.Size)
        return ModuleDamaged;

    uint32_t dataRva = Read32(directory.Bytes + dataEntry);
    uint32_t dataSize = Read32(directory.Bytes + dataEntry + 4);
    status = MapRange(image, dataRva, dataSize, &at);
    if (status != ModuleResourceFound)
        return status;
    *offset = (uint32_t)at;
    *length = dataSize;
    return ModuleResourceFound;
}

const char *DescribeModuleResourceStatus(ModuleResourceStatus status)
{
    switch (status) {
    case ModuleResourceFound: return "holds message table 1";
    case ModuleNotAModule: return "is not a Windows module";
    case ModuleCutShort: return "is cut short";
    case ModuleDamaged: return "is damaged (its resource headers do not hold together)";
    case ModuleNoMessageTable: return "has no message table 1";
    }
    return "cannot be read";
}
