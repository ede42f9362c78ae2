// tools/MessageCompiler/Cp1252.h
// Turning catalogue text (UTF-8) into the 8-bit text of a message module (Windows-1252).
#pragma once
#include <stdint.h>
#include <string>

enum class Cp1252Problem {
    None,
    MalformedUtf8,    // not a well-formed UTF-8 sequence
    ControlCharacter, // C0, DEL or C1: the module's only control bytes are the CR LF it adds
    Separator,        // U+2022: its byte 0x95 ends the short error text in a module
    NoByte,           // a character Windows-1252 cannot represent
};

struct Cp1252Failure {
    Cp1252Problem Problem = Cp1252Problem::None;
    uint32_t CodePoint = 0; // the offending character; 0 for malformed UTF-8
};

// Appends the Windows-1252 bytes of `utf8` to `out`. Stops at the first character that
// cannot go into a module, describes it in `failure` and returns false; `out` then holds
// the bytes converted so far.
bool Utf8ToCp1252(const std::string &utf8, std::string &out, Cp1252Failure &failure);

// One character's Windows-1252 byte, or a problem.
Cp1252Problem CodePointToCp1252(uint32_t codePoint, unsigned char &byte);

// A sentence for an error message, e.g. "character U+4E2D has no Windows-1252 byte".
std::string DescribeCp1252Failure(const Cp1252Failure &failure);
