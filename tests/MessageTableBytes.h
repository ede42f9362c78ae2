// tests/MessageTableBytes.h
// Message-table resources built by hand, byte by byte, for the native unit tests and the
// Wine tests alike: the walk reads files that anyone can replace, so the tests need tables
// no compiler writes. Bytes are kept in a std::string; the table is little-endian: a block
// count, a header (low id, high id, offset of its first entry) a block, then the entries,
// each a length word (its header included, padded to four bytes), a flags word (1 for
// UTF-16) and its zero-terminated text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

inline std::string U16(uint32_t value)
{
    return std::string{(char)(value & 0xFF), (char)((value >> 8) & 0xFF)};
}

inline std::string U32(uint32_t value) { return U16(value & 0xFFFF) + U16(value >> 16); }

// Overwrites the four bytes at `at` with `value`, as a damaged file would hold them.
inline void Patch32(std::string &bytes, size_t at, uint32_t value)
{
    bytes.replace(at, 4, U32(value));
}

inline std::string BlockHeader(uint32_t lowId, uint32_t highId, uint32_t offset)
{
    return U32(lowId) + U32(highId) + U32(offset);
}

// An entry header with any length word and flags, followed by `rest` as it is (no zero,
// no padding added).
inline std::string RawEntry(uint32_t length, uint32_t flags, const std::string &rest)
{
    return U16(length) + U16(flags) + rest;
}

// An 8-bit entry as a message compiler lays it out.
inline std::string MakeEntry(const std::string &text)
{
    std::string body = text + '\0';
    body.resize((body.size() + 3) & ~size_t(3), '\0');
    return RawEntry((uint32_t)body.size() + 4, 0, body);
}

// A UTF-16 entry of an ASCII text.
inline std::string MakeUtf16Entry(const std::string &text)
{
    std::string body;
    for (char c : text)
        body += U16((unsigned char)c);
    body += U16(0);
    body.resize((body.size() + 3) & ~size_t(3), '\0');
    return RawEntry((uint32_t)body.size() + 4, 1, body);
}

struct TableBlock {
    uint32_t LowId;
    std::vector<std::string> Entries; // whole entries, laid out back to back
    std::optional<uint32_t> HighId;   // when the block claims other ids than its entries hold

    // Ids from `lowId` on, one an entry.
    TableBlock(uint32_t lowId, std::vector<std::string> entries) : LowId(lowId), Entries(std::move(entries)) {}
    // Claims `lowId` to `highId`, whatever entries it holds.
    TableBlock(uint32_t lowId, uint32_t highId, std::vector<std::string> entries)
        : LowId(lowId), Entries(std::move(entries)), HighId(highId)
    {
    }
    uint32_t LastId() const { return HighId ? *HighId : LowId + (uint32_t)Entries.size() - 1; }
};

// The resource bytes: the headers, then every block's entries in turn, each block's offset
// pointing at its own. `entryOffsets` receives those offsets.
inline std::string MakeMessageTable(const std::vector<TableBlock> &blocks,
                                    std::vector<uint32_t> *entryOffsets = nullptr)
{
    std::string headers = U32((uint32_t)blocks.size());
    std::string entries;
    const uint32_t first = 4 + 12 * (uint32_t)blocks.size();
    for (const TableBlock &block : blocks) {
        const uint32_t offset = first + (uint32_t)entries.size();
        headers += BlockHeader(block.LowId, block.LastId(), offset);
        if (entryOffsets != nullptr)
            entryOffsets->push_back(offset);
        for (const std::string &entry : block.Entries)
            entries += entry;
    }
    return headers + entries;
}

} // namespace harness
