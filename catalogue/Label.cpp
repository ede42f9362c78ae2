// catalogue/Label.cpp
#include "catalogue/Label.h"
#include "common/TextBuffer.h"

void FormatSignedDecimal(int32_t value, char *buffer)
{
    char digits[10];
    int count = 0;
    int pos = 0;
    uint32_t magnitude = (uint32_t)value;
    if (value < 0) {
        buffer[pos++] = '-';
        magnitude = 0u - magnitude; // the most negative value has no positive twin
    }
    do {
        digits[count++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0)
        buffer[pos++] = digits[--count];
    buffer[pos] = 0;
}

bool FormatLabel(const char *prefix, uint32_t id, char *out, int size)
{
    char number[SignedDecimalCapacity];
    FormatSignedDecimal((int32_t)id, number);
    TextBuffer label(out, size);
    label.Append(prefix).Append(number);
    if (!label.Ok() && size > 0)
        out[0] = 0;
    return label.Ok();
}

static unsigned char FoldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

int CompareLabels(const char *a, const char *b)
{
    for (int i = 0;; ++i) {
        unsigned char x = FoldCase((unsigned char)a[i]);
        unsigned char y = FoldCase((unsigned char)b[i]);
        if (x != y)
            return i + 1;
        if (x == 0)
            return 0;
    }
}

int OrderLabels(const char *a, const char *b)
{
    for (int i = 0;; ++i) {
        unsigned char x = FoldCase((unsigned char)a[i]);
        unsigned char y = FoldCase((unsigned char)b[i]);
        if (x != y || x == 0)
            return (int)x - (int)y;
    }
}
