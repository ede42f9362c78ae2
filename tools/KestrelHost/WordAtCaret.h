// tools/KestrelHost/WordAtCaret.h
#pragma once
#include <stddef.h>

// Copies the word (a run of ASCII letters and digits) that stands at `caret` in `text` into
// `buffer`, zero-terminated, the way a double-click selects it: the word under the character
// after the caret, else the one that ends at the caret. Returns the number of characters
// copied. Never writes past `size` bytes; with size 0 it writes nothing. A word that does not
// fit in size - 1 characters is refused (empty result): a cut word could pass for another code.
size_t CopyWordAtCaret(const char *text, size_t length, size_t caret, char *buffer, size_t size);
