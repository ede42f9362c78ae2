// catalogue/Label.h
// Error code labels: a tool's prefix and the message number in signed decimal, and the
// case-blind comparison by which codes are matched. Windows-free.
#pragma once
#include <stdint.h>

enum {
    CodeCapacity = 16,         // CurrentCode, BrowserCode, note base names: 15 characters and a zero
    SignedDecimalCapacity = 12 // "-2147483648" and a zero
};

// Writes a signed 32-bit value in decimal: "0", a leading "-" for negative values, no
// leading zeros. `buffer` holds at least SignedDecimalCapacity bytes.
void FormatSignedDecimal(int32_t value, char *buffer);

// Forms prefix + id (as a signed 32-bit number) in `out`; false when it would not fit.
bool FormatLabel(const char *prefix, uint32_t id, char *out, int size);

// Byte-wise comparison folding "A" to "Z" onto "a" to "z": 0 when equal up to and
// including the terminating zero, otherwise the 1-based position of the first difference.
int CompareLabels(const char *a, const char *b);

// Orders labels by their bytes with "A" to "Z" folded as above: negative, zero or positive
// as `a` sorts before, with or after `b`. For the labels of one tool, which share a prefix
// and go on in digits, this is also the tree control's alphabetical order.
int OrderLabels(const char *a, const char *b);
