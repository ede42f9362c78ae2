// tools/MessageCompiler/MessageTableWriter.cpp
#include "tools/MessageCompiler/MessageTableWriter.h"

namespace {

struct Block {
    uint32_t LowId;
    uint32_t HighId;
    size_t FirstEntry;
};

// Escapes what FormatMessageA would interpret and spells line breaks as CR LF.
void AppendFormatted(std::string &out, const std::string &text)
{
    for (char c : text) {
        if (c == '%')
            out += "%%";
        else if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
}

size_t EntrySize(const std::string &text)
{
    return (4 + text.size() + 1 + 3) / 4 * 4;
}

void Put16(std::vector<unsigned char> &out, uint32_t value)
{
    out.push_back((unsigned char)(value & 0xFF));
    out.push_back((unsigned char)((value >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char> &out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

bool CheckOrder(const std::vector<MessageEntry> &entries, std::vector<std::string> &errors)
{
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].Number <= entries[i - 1].Number) {
            errors.push_back(SourceError(entries[i].File, entries[i].Line,
                                         entries[i].Code + " is out of order or repeated"));
            return false;
        }
    }
    return true;
}

bool ComposeTexts(const std::vector<MessageEntry> &entries, std::vector<std::string> &texts,
                  std::vector<std::string> &errors)
{
    bool fits = true;
    for (const MessageEntry &entry : entries) {
        texts.push_back(MessageTableText(entry));
        if (texts.back().size() <= LargestMessageText)
            continue;
        errors.push_back(SourceError(entry.File, entry.Line,
                                     entry.Code + "'s text takes " +
                                         std::to_string(texts.back().size()) +
                                         " bytes in the module; at most " +
                                         std::to_string((int)LargestMessageText) + " fit"));
        fits = false;
    }
    return fits;
}

// Offsets are 32-bit; only a table of gigabytes could overflow them, but it must not wrap.
bool FitsOffsets(const std::vector<MessageEntry> &entries, const std::vector<std::string> &texts,
                 std::vector<std::string> &errors)
{
    uint64_t size = 4 + 12 * (uint64_t)entries.size();
    for (const std::string &text : texts)
        size += EntrySize(text);
    if (size <= UINT32_MAX)
        return true;
    errors.push_back(SourceError(entries.back().File, entries.back().Line,
                                 "the message table would exceed 4 GiB"));
    return false;
}

std::vector<Block> GroupBlocks(const std::vector<MessageEntry> &entries)
{
    std::vector<Block> blocks;
    for (size_t i = 0; i < entries.size(); ++i) {
        uint32_t id = entries[i].Number;
        if (!blocks.empty() && blocks.back().HighId + 1 == id)
            blocks.back().HighId = id;
        else
            blocks.push_back(Block{id, id, i});
    }
    return blocks;
}

void PutBlocks(std::vector<unsigned char> &out, const std::vector<Block> &blocks,
               const std::vector<std::string> &texts)
{
    size_t offset = 4 + 12 * blocks.size();
    size_t entry = 0;
    Put32(out, (uint32_t)blocks.size());
    for (const Block &block : blocks) {
        for (; entry < block.FirstEntry; ++entry)
            offset += EntrySize(texts[entry]);
        Put32(out, block.LowId);
        Put32(out, block.HighId);
        Put32(out, (uint32_t)offset);
    }
}

void PutEntry(std::vector<unsigned char> &out, const std::string &text)
{
    size_t size = EntrySize(text);
    Put16(out, (uint32_t)size);
    Put16(out, 0); // 8-bit text
    out.insert(out.end(), text.begin(), text.end());
    out.resize(out.size() + size - 4 - text.size(), 0);
}

} // namespace

std::string MessageTableText(const MessageEntry &entry)
{
    std::string text(1, entry.Type);
    text += ' ';
    AppendFormatted(text, entry.ShortText);
    text += "\x95\r\n";
    AppendFormatted(text, entry.Description);
    return text;
}

bool WriteMessageTable(const std::vector<MessageEntry> &entries,
                       std::vector<unsigned char> &table, std::vector<std::string> &errors)
{
    std::vector<std::string> texts;
    if (!CheckOrder(entries, errors) || !ComposeTexts(entries, texts, errors))
        return false;
    if (!FitsOffsets(entries, texts, errors))
        return false;
    std::vector<Block> blocks = GroupBlocks(entries);
    table.clear();
    PutBlocks(table, blocks, texts);
    for (const std::string &text : texts)
        PutEntry(table, text);
    return true;
}
