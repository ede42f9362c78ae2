// tools/KestrelExplain/Explain.h
// kestrel-explain: the catalogue of the eight message modules on the command line.
// The process-wide state is the catalogue read at start (ExplainCatalogue.cpp); each
// command (explain, --annotate, --list) reads it and writes to standard output.
#pragma once
#include "catalogue/Label.h"
#include "catalogue/MessageText.h"
#include "catalogue/ToolTable.h"

#include <stdint.h>
#include <stdio.h>

// Runs the program with arguments in the program's own encoding; returns the exit status.
int RunExplain(int argc, char **argv);

enum {
    ExitOk = 0,
    ExitUnknownCode = 1,   // a code no tool has, or a --list prefix no code starts with
    ExitNoCatalogue = 2,   // bad arguments, unreadable input, or no module could be read
};

// One code of the catalogue.
struct CodeEntry {
    char Label[CodeCapacity]; // as the lookup window writes it: prefix and signed decimal
    uint32_t Id;
    int Row;                  // 0-based row of ToolTable
    char *Annotation;         // --annotate's line for it, made when first needed, as output
    int AnnotationLength;
};

extern CodeEntry *Codes;  // every code read, ordered by OrderLabels, no label twice
extern uint32_t CodeCount;

// Reads the eight modules from `folder` (ending in a separator), naming each one that
// cannot be read in a line on standard error. Returns how many could be read.
int LoadCatalogue(const char *folder);

// Releases what LoadCatalogue took.
void FreeCatalogue();

// Chooses the folder to read: the program's own when it holds a module, else the AddIns
// folder beside the program's folder (the release package's layout). False when the
// program's folder cannot be found.
bool DefaultModuleFolder(char *out, int size);

// The entry whose label equals `code` with letter case ignored; 0 when there is none.
const CodeEntry *FindCode(const char *code);

// An entry's formatted message text split into its parts. The text lives in a block the
// caller frees with free(); false (and nothing to free) when the module has no readable
// text for the entry.
bool ReadCodeText(const CodeEntry *entry, char **text, MessageParts *parts);

// The three commands; each returns an exit status.
int ExplainCodes(char **codes, int count, int width);
int ListCodes(const char *prefix, int width);
int AnnotateLog(FILE *input, const char *inputName);

// Writes `text` (Windows-1252) to standard output wrapped to `width` columns: each line
// starts with `indent` blanks, and lines after the first of each paragraph with `hanging`
// more. CR LF or LF ends a paragraph; an empty one is an empty line. Control characters
// come out as '?' and tabs as blanks.
void WriteWrapped(const char *text, int length, int indent, int hanging, int width);
// Makes Windows-1252 text fit on one line and safe for a terminal: tabs and line breaks
// become blanks, other control characters '?'.
void CleanText(char *text, int length);
// Writes Windows-1252 text to `stream` cleaned as CleanText does.
void WriteClean(FILE *stream, const char *text, int length);
