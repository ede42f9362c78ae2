// The resource reader over arbitrary file bytes, and on what it finds, the message-table
// walk, the text lookup and the formatting that kestrel-explain applies to each text.
// The file is copied into a heap block of exactly its size so that any read past it is
// reported; each text is expanded into a block of exactly the size promised for it.
#include "catalogue/MessageTable.h"
#include "catalogue/MessageText.h"
#include "catalogue/ModuleResources.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void FormatText(const unsigned char *table, uint32_t tableSize, uint32_t id)
{
    const unsigned char *text = 0;
    uint32_t length = 0;
    if (!FindMessageEntryText(table, tableSize, id, &text, &length))
        return;
    CHECK(text >= table && text + length < table + tableSize);
    CHECK(text[length] == 0);
    char *formatted = new char[length > 0 ? length : 1];
    int formattedLength = ExpandMessageEscapes((const char *)text, (int)length, formatted, (int)length);
    CHECK(formattedLength >= 0 && (uint32_t)formattedLength <= length);
    MessageParts parts;
    SplitMessageText(formatted, formattedLength, &parts);
    CHECK(parts.ErrorLength >= 0 && parts.Error + parts.ErrorLength <= formatted + formattedLength);
    CHECK(parts.DescriptionLength >= 0 &&
          parts.Description + parts.DescriptionLength <= formatted + formattedLength);
    delete[] formatted;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    unsigned char *file = new unsigned char[size > 0 ? size : 1];
    if (size > 0)
        std::memcpy(file, data, size);

    uint32_t offset = 0xFFFFFFFFu, length = 0xFFFFFFFFu;
    ModuleResourceStatus status = FindMessageTableResource(file, (uint32_t)size, &offset, &length);
    CHECK(DescribeModuleResourceStatus(status)[0] != 0);
    if (status == ModuleResourceFound) {
        CHECK((uint64_t)offset + length <= size);
        const unsigned char *table = file + offset;
        Visits visits = {};
        WalkMessageTable(table, length, Record, &visits);
        for (uint32_t i = 0; i < visits.Count && i < SampleCapacity; ++i)
            FormatText(table, length, visits.Sample[i]);
    }

    delete[] file;
    return 0;
}
