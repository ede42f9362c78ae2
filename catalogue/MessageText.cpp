// catalogue/MessageText.cpp
#include "catalogue/MessageText.h"

void SplitMessageText(const char *text, int length, MessageParts *parts)
{
    parts->TypeCode = length > 0 ? text[0] : 0;
    parts->Error = text;
    parts->ErrorLength = 0;
    parts->Description = text;
    parts->DescriptionLength = 0;
    if (length <= 2)
        return;
    int end = 2;
    while (end < length && (unsigned char)text[end] != ErrorTextEnd)
        ++end;
    parts->Error = text + 2;
    parts->ErrorLength = end - 2;
    int description = end + 3; // past the 0x95 byte and the line break after it
    if (end < length && description <= length) {
        parts->Description = text + description;
        parts->DescriptionLength = length - description;
    }
}

const char *MessageTypeText(char typeCode)
{
    static const char *const Types[10] = {
        "Compiler",
        "Fatal",
        "Non Fatal",
        "Warning",
        "Warning (Level1)",
        "Warning (Level2)",
        "Warning (Level3)",
        "Warning (Level4)",
        "Warning (Level1,4)",
        "Preprocessor",
    };
    if (typeCode < '0' || typeCode > '9')
        return "";
    return Types[typeCode - '0'];
}
