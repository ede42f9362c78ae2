// tools/KestrelHost/WordAtCaret.cpp
#include "tools/KestrelHost/WordAtCaret.h"
#include <string.h>

namespace {

bool IsWordCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

size_t CopyWordAtCaret(const char *text, size_t length, size_t caret, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    buffer[0] = '\0';
    if (text == nullptr)
        return 0;
    if (caret > length)
        caret = length;

    size_t at = caret;
    if (at == length || !IsWordCharacter(text[at])) {
        // A click on the right half of a word's last letter leaves the caret just after it.
        if (at == 0 || !IsWordCharacter(text[at - 1]))
            return 0;
        at--;
    }
    size_t start = at;
    while (start > 0 && IsWordCharacter(text[start - 1]))
        start--;
    size_t end = at + 1;
    while (end < length && IsWordCharacter(text[end]))
        end++;

    size_t count = end - start;
    if (count > size - 1)
        return 0;
    memcpy(buffer, text + start, count);
    buffer[count] = '\0';
    return count;
}
