// catalogue/MessageTable.h
// Reading a message-table resource (the published MESSAGE_RESOURCE_DATA layout) whose
// bytes may be hostile: every read is bounded by the size the resource loader reports.
// Windows-free.
#pragma once
#include <stdint.h>

typedef void (*MessageEntryVisitor)(void *context, uint32_t id);

// Visits the id of every 8-bit entry, block by block, the way the catalogue lists them:
// a zero length word means the entry starts two bytes further on; a UTF-16 entry ends its
// block. Anything that points outside the bytes (a block header, an entry header, an
// entry that runs past the end, or one too short to hold its own header) ends the walk.
// Returns the number of ids visited.
uint32_t WalkMessageTable(const unsigned char *data, uint32_t size, MessageEntryVisitor visit,
                          void *context);

// Follows the lookup a system message formatter makes for `id` (the first block whose
// range holds it, then entry by entry) and tells whether that entry's text can be read
// without leaving the bytes: its header and text lie inside them and the text ends in a
// zero (a zero byte for 8-bit text, a zero word for UTF-16) before the entry does.
bool MessageEntryIsSound(const unsigned char *data, uint32_t size, uint32_t id);

// Whether the text that lookup lands on holds an insert sequence (a percent sign followed
// by a digit 1 to 9). Such a text is formatted with its inserts left as they stand: an
// insert with a width taken from its arguments could otherwise ask for gigabytes.
bool MessageEntryHasInserts(const unsigned char *data, uint32_t size, uint32_t id);

// The 8-bit text that lookup lands on, as it stands in the table (escapes not yet
// interpreted): `*text` points into `data` and `*length` counts the bytes before its
// terminating zero. False when the entry is not sound or holds UTF-16 text.
bool FindMessageEntryText(const unsigned char *data, uint32_t size, uint32_t id,
                          const unsigned char **text, uint32_t *length);
