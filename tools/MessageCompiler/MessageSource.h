// tools/MessageCompiler/MessageSource.h
// Reading catalogue sources (messages/README.md gives the format) into message entries.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

struct MessageEntry {
    std::string Code;        // as written after '@', such as "A2008"
    uint32_t Number = 0;     // the message ID: the code without its prefix
    char Type = '0';         // '0' to '9'
    std::string ShortText;   // Windows-1252
    std::string Description; // Windows-1252; '\n' for every line break, "\n\n" between paragraphs
    std::string File;        // where the entry's header stands, for error messages
    int Line = 0;
};

// Parses one source file's text. Entries are appended to `entries`, every problem to
// `errors` as "file:line: message"; parsing goes on after an error so that one run reports
// them all. `prefix` is the module's code prefix ("A", "LNK", ...). Returns false when
// this file added an error.
bool ParseMessageSource(const std::string &file, const std::string &text,
                        const std::string &prefix, std::vector<MessageEntry> &entries,
                        std::vector<std::string> &errors);

// Orders the entries by number, keeping the order of equal numbers, and reports every
// number after its first appearance. Returns false when there was a duplicate.
bool SortMessageEntries(std::vector<MessageEntry> &entries, std::vector<std::string> &errors);

// "file:line: message"
std::string SourceError(const std::string &file, int line, const std::string &message);
