// tools/MessageCompiler/Cp1252.cpp
#include "tools/MessageCompiler/Cp1252.h"
#include "common/Cp1252Table.h"

#include <stdio.h>

namespace {

const uint32_t Bullet = 0x2022;

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Decodes one sequence at `at`; returns its length, or 0 when it is malformed (truncated,
// a stray continuation byte, overlong, a surrogate or beyond U+10FFFF).
size_t DecodeUtf8(const std::string &text, size_t at, uint32_t &codePoint)
{
    unsigned char lead = (unsigned char)text[at];
    size_t length;
    uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        unsigned char byte = (unsigned char)text[at + i];
        if (!IsContinuation(byte))
            return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

Cp1252Problem CodePointToCp1252(uint32_t codePoint, unsigned char &byte)
{
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F))
        return Cp1252Problem::ControlCharacter;
    if (codePoint == Bullet)
        return Cp1252Problem::Separator;
    if (codePoint <= 0xFF) {
        byte = (unsigned char)codePoint;
        return Cp1252Problem::None;
    }
    for (unsigned i = 0; i < Cp1252HighCount; ++i) {
        if (Cp1252HighBlock[i] == codePoint) {
            byte = (unsigned char)(Cp1252HighFirst + i);
            return Cp1252Problem::None;
        }
    }
    return Cp1252Problem::NoByte;
}

bool Utf8ToCp1252(const std::string &utf8, std::string &out, Cp1252Failure &failure)
{
    failure = Cp1252Failure();
    size_t at = 0;
    while (at < utf8.size()) {
        uint32_t codePoint = 0;
        size_t length = DecodeUtf8(utf8, at, codePoint);
        unsigned char byte = 0;
        Cp1252Problem problem =
            length == 0 ? Cp1252Problem::MalformedUtf8 : CodePointToCp1252(codePoint, byte);
        if (problem != Cp1252Problem::None) {
            failure.Problem = problem;
            failure.CodePoint = length == 0 ? 0 : codePoint;
            return false;
        }
        out += (char)byte;
        at += length;
    }
    return true;
}

std::string DescribeCp1252Failure(const Cp1252Failure &failure)
{
    char character[16];
    snprintf(character, sizeof character, "U+%04X", (unsigned)failure.CodePoint);
    switch (failure.Problem) {
    case Cp1252Problem::None:
        return "no problem";
    case Cp1252Problem::MalformedUtf8:
        return "malformed UTF-8";
    case Cp1252Problem::ControlCharacter:
        return std::string("control character ") + character + " is not allowed";
    case Cp1252Problem::Separator:
        return std::string("the bullet ") + character +
               " is not allowed: its byte 0x95 is the module's separator";
    case Cp1252Problem::NoByte:
        break;
    }
    return std::string("character ") + character + " has no Windows-1252 byte";
}
