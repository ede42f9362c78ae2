// The message-table walk and the per-message soundness check over arbitrary resource
// bytes. The first four input bytes choose the id to check; the rest is the resource,
// copied into a heap block of exactly its size so that any read past it is reported.
#include <initializer_list>
#include "catalogue/MessageTable.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t head = size < 4 ? size : 4;
    uint32_t id = 0;
    if (head > 0)
        std::memcpy(&id, data, head);
    uint32_t tableSize = (uint32_t)(size - head);

    unsigned char *table = new unsigned char[tableSize];
    if (tableSize > 0)
        std::memcpy(table, data + head, tableSize);

    Visits visits = {};
    uint32_t visited = WalkMessageTable(table, tableSize, Record, &visits);
    CHECK(visited == visits.Count);

    // The ids the walk lists are the ones the details view will ask for.
    for (uint32_t i = 0; i < visits.Count && i < SampleCapacity; ++i) {
        MessageEntryIsSound(table, tableSize, visits.Sample[i]);
        MessageEntryHasInserts(table, tableSize, visits.Sample[i]);
    }
    for (uint32_t probe : {id - 1, id, id + 1}) {
        MessageEntryIsSound(table, tableSize, probe);
        MessageEntryHasInserts(table, tableSize, probe);
    }

    delete[] table;
    return 0;
}
