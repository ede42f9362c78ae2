// catalogue/MessageTable.cpp
#include "catalogue/MessageTable.h"
#include "catalogue/LittleEndian.h"

namespace {

enum { BlockHeaderSize = 12, EntryHeaderSize = 4, Utf16Flag = 1 };

struct Block {
    uint32_t LowId;
    uint32_t HighId;
    uint32_t EntryOffset;
};

// False when block `index` lies (partly) outside the bytes.
bool ReadBlock(const unsigned char *data, uint32_t size, uint32_t index, Block *block)
{
    uint64_t at = 4 + (uint64_t)index * BlockHeaderSize;
    if (at + BlockHeaderSize > size)
        return false;
    block->LowId = Read32(data + at);
    block->HighId = Read32(data + at + 4);
    block->EntryOffset = Read32(data + at + 8);
    return true;
}

// An entry whose header and whole extent lie inside the bytes and whose length covers
// at least its own header; a shorter length would make the walk stand still.
bool EntryFits(uint32_t size, uint64_t pos, uint32_t length)
{
    return pos + EntryHeaderSize <= size && length >= EntryHeaderSize && pos + length <= size;
}

bool TextEndsInside(const unsigned char *data, uint64_t pos, uint32_t length, bool utf16)
{
    uint64_t end = pos + length;
    if (utf16) {
        for (uint64_t at = pos + EntryHeaderSize; at + 2 <= end; at += 2)
            if (data[at] == 0 && data[at + 1] == 0)
                return true;
        return false;
    }
    for (uint64_t at = pos + EntryHeaderSize; at < end; ++at)
        if (data[at] == 0)
            return true;
    return false;
}

} // namespace

uint32_t WalkMessageTable(const unsigned char *data, uint32_t size, MessageEntryVisitor visit,
                          void *context)
{
    if (data == 0 || size < 4)
        return 0;
    uint32_t visited = 0;
    uint32_t blockCount = Read32(data);
    for (uint32_t b = 0; b < blockCount; ++b) {
        Block block;
        if (!ReadBlock(data, size, b, &block))
            return visited;
        uint32_t id = block.LowId;
        uint64_t pos = block.EntryOffset;
        uint32_t remaining = block.HighId - block.LowId + 1;
        while (remaining != 0) {
            if (pos + 2 <= size && Read16(data + pos) == 0)
                pos += 2;
            if (pos + EntryHeaderSize > size)
                return visited;
            uint32_t length = Read16(data + pos);
            if (Read16(data + pos + 2) == Utf16Flag)
                break;
            if (!EntryFits(size, pos, length))
                return visited;
            // Entries of a sound table never overlap, so there can be no more of them than
            // headers fit in the bytes; blocks that all point at one run of entries would
            // otherwise list it again and again and keep the host busy.
            if (visited >= size / EntryHeaderSize)
                return visited;
            visit(context, id);
            ++visited;
            ++id;
            pos += length;
            --remaining;
        }
    }
    return visited;
}

namespace {

// Where the formatter's lookup of `id` lands: the entry's offset and length, once its header
// and extent are known to lie inside the bytes. False when the lookup leaves them.
bool LocateEntry(const unsigned char *data, uint32_t size, uint32_t id, uint64_t *at, uint32_t *length)
{
    if (data == 0 || size < 4)
        return false;
    uint32_t blockCount = Read32(data);
    for (uint32_t b = 0; b < blockCount; ++b) {
        Block block;
        if (!ReadBlock(data, size, b, &block))
            return false;
        if (id < block.LowId || id > block.HighId)
            continue;
        uint64_t pos = block.EntryOffset;
        for (uint32_t n = block.LowId;; ++n) {
            if (pos + EntryHeaderSize > size)
                return false;
            uint32_t entryLength = Read16(data + pos);
            if (!EntryFits(size, pos, entryLength))
                return false;
            if (n == id) {
                *at = pos;
                *length = entryLength;
                return true;
            }
            pos += entryLength;
        }
    }
    return false;
}

// The character at text position `i` (a byte, or a little-endian UTF-16 unit).
uint32_t CharAt(const unsigned char *text, uint64_t i, bool utf16)
{
    return utf16 ? Read16(text + 2 * i) : text[i];
}

} // namespace

bool MessageEntryIsSound(const unsigned char *data, uint32_t size, uint32_t id)
{
    uint64_t at = 0;
    uint32_t length = 0;
    return LocateEntry(data, size, id, &at, &length) &&
           TextEndsInside(data, at, length, Read16(data + at + 2) == Utf16Flag);
}

bool MessageEntryHasInserts(const unsigned char *data, uint32_t size, uint32_t id)
{
    uint64_t at = 0;
    uint32_t length = 0;
    if (!LocateEntry(data, size, id, &at, &length))
        return false;
    bool utf16 = Read16(data + at + 2) == Utf16Flag;
    const unsigned char *text = data + at + EntryHeaderSize;
    uint64_t count = (length - EntryHeaderSize) / (utf16 ? 2 : 1);
    for (uint64_t i = 0; i + 1 < count; ++i) {
        if (CharAt(text, i, utf16) != '%')
            continue;
        uint32_t next = CharAt(text, i + 1, utf16);
        if (next >= '1' && next <= '9')
            return true;
        ++i; // "%%" and the other escapes take the character after the percent sign
    }
    return false;
}

bool FindMessageEntryText(const unsigned char *data, uint32_t size, uint32_t id,
                          const unsigned char **text, uint32_t *length)
{
    uint64_t at = 0;
    uint32_t entryLength = 0;
    if (!LocateEntry(data, size, id, &at, &entryLength) || Read16(data + at + 2) == Utf16Flag)
        return false;
    const unsigned char *start = data + at + EntryHeaderSize;
    uint32_t room = entryLength - EntryHeaderSize;
    for (uint32_t n = 0; n < room; ++n) {
        if (start[n] == 0) {
            *text = start;
            *length = n;
            return true;
        }
    }
    return false;
}
