// tools/MessageCompiler/MessageTableWriter.h
// Building the bytes of a message-table resource (MESSAGE_RESOURCE_DATA, 8-bit entries)
// from parsed entries.
#pragma once
#include "tools/MessageCompiler/MessageSource.h"

#include <stddef.h>
#include <vector>

// An entry's 16-bit length covers its 4-byte header, the text, the terminating zero and
// the padding to a multiple of 4; 65532 is the largest such length that fits.
enum { LargestMessageText = 65532 - 4 - 1 };

// The stored text: type digit, blank, short text, 0x95, CR LF, description with CR LF for
// every line break, and every '%' doubled so that FormatMessageA gives the text back as
// written (a lone '%' would start an insert or escape sequence).
std::string MessageTableText(const MessageEntry &entry);

// Writes the table for `entries`, which must be sorted by number without repeats;
// consecutive numbers share one block. Every entry whose text is longer than
// LargestMessageText is reported as "file:line: message" and no table is written.
bool WriteMessageTable(const std::vector<MessageEntry> &entries,
                       std::vector<unsigned char> &table, std::vector<std::string> &errors);
