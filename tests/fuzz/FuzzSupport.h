// What the fuzz targets share: a check that holds in every build (a failure aborts, so
// libFuzzer keeps the input that caused it), and a record of the ids a message-table walk
// visits.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

enum { SampleCapacity = 32 };

// The number of ids the walk visited and the first of them.
struct Visits {
    uint32_t Count;
    uint32_t Sample[SampleCapacity];
};

inline void Record(void *context, uint32_t id)
{
    Visits *visits = static_cast<Visits *>(context);
    if (visits->Count < SampleCapacity)
        visits->Sample[visits->Count] = id;
    ++visits->Count;
}
