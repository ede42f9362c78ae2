// Splitting arbitrary bytes as a formatted message text. The text is copied without a
// terminating zero into a heap block of exactly its length, so a part that reaches past
// the length is reported as soon as it is read.
#include "catalogue/MessageText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > INT_MAX)
        return 0;
    char *text = new char[size];
    if (size > 0)
        std::memcpy(text, data, size);
    const char *end = text + size;

    MessageParts parts;
    SplitMessageText(text, (int)size, &parts);

    CHECK(parts.TypeCode == (size > 0 ? text[0] : 0));
    CHECK(parts.ErrorLength >= 0 && parts.DescriptionLength >= 0);
    CHECK(parts.Error >= text && parts.Error <= end && parts.ErrorLength <= end - parts.Error);
    CHECK(parts.Description >= text && parts.Description <= end &&
          parts.DescriptionLength <= end - parts.Description);

    // The error starts at byte 2 and stops before the first 0x95; reading every byte of
    // it also proves it lies inside the copy.
    if (parts.ErrorLength > 0)
        CHECK(parts.Error == text + 2);
    for (int i = 0; i < parts.ErrorLength; ++i)
        CHECK((unsigned char)parts.Error[i] != ErrorTextEnd);

    // A description starts three bytes after the 0x95 that ended the error and runs to
    // the end of the text.
    if (parts.DescriptionLength > 0) {
        CHECK(parts.Description == parts.Error + parts.ErrorLength + 3);
        CHECK((unsigned char)parts.Description[-3] == ErrorTextEnd);
        CHECK(parts.Description + parts.DescriptionLength == end);
    }
    unsigned sum = 0;
    for (int i = 0; i < parts.DescriptionLength; ++i)
        sum += (unsigned char)parts.Description[i];
    volatile unsigned sink = sum;
    (void)sink;

    const char *type = MessageTypeText(parts.TypeCode);
    CHECK(type != 0);
    bool digit = parts.TypeCode >= '0' && parts.TypeCode <= '9';
    CHECK(digit == (type[0] != 0));
    CHECK(std::strlen(type) <= 18);

    delete[] text;
    return 0;
}
