// catalogue/LittleEndian.h
// The 16- and 32-bit fields of message tables and module headers, which are little-endian
// whatever machine reads them. The caller has checked that the bytes are there.
// Windows-free.
#pragma once
#include <stdint.h>

inline uint32_t Read16(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8);
}

inline uint32_t Read32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
