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

int ExpandMessageEscapes(const char *text, int length, char *out, int size)
{
    int written = 0;
    for (int i = 0; i < length; ++i) {
        char piece[2] = {text[i], 0};
        int count = 1;
        if (text[i] == '%' && i + 1 < length) {
            char next = text[++i];
            if (next == '0')
                break;
            if (next == 'n')
                piece[0] = '\r', piece[1] = '\n', count = 2;
            else if (next == 'r')
                piece[0] = '\r';
            else if (next == 't')
                piece[0] = '\t';
            else if (next >= '1' && next <= '9')
                piece[1] = next, count = 2;
            else
                piece[0] = next;
        }
        if (count > size - written)
            return -1;
        for (int k = 0; k < count; ++k)
            out[written++] = piece[k];
    }
    return written;
}
