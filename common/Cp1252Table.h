// common/Cp1252Table.h
// The characters Windows-1252 puts at bytes 0x80 to 0x9F, where it differs from Latin-1
// (whose bytes 0xA0 to 0xFF it shares, as it shares ASCII). 0 marks the five bytes the
// code page leaves unassigned. Windows-free.
#pragma once
#include <stdint.h>

enum { Cp1252HighFirst = 0x80, Cp1252HighCount = 32 };

constexpr uint16_t Cp1252HighBlock[Cp1252HighCount] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
