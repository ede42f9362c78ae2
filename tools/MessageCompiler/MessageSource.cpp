// tools/MessageCompiler/MessageSource.cpp
#include "tools/MessageCompiler/MessageSource.h"

#include "tools/MessageCompiler/Cp1252.h"

#include <algorithm>

namespace {

const uint32_t LargestNumber = 2147483647;

struct ParseState {
    const std::string &File;
    const std::string &Prefix;
    std::vector<MessageEntry> &Entries;
    std::vector<std::string> &Errors;
    int Line = 0;
    bool InEntry = false;       // description lines belong to Entries.back()
    bool SkippingEntry = false; // after a refused header, up to the next one
    bool ParagraphEnded = false;
    bool Failed = false;
};

void Fail(ParseState &state, const std::string &message)
{
    state.Errors.push_back(SourceError(state.File, state.Line, message));
    state.Failed = true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(const std::string &text, size_t at)
{
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at;
}

size_t SkipToken(const std::string &text, size_t at)
{
    while (at < text.size() && !IsBlank(text[at]))
        ++at;
    return at;
}

std::string TrimEnd(const std::string &text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

bool ToCp1252(ParseState &state, const std::string &utf8, std::string &out)
{
    Cp1252Failure failure;
    if (Utf8ToCp1252(utf8, out, failure))
        return true;
    Fail(state, DescribeCp1252Failure(failure));
    return false;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The message number of `code`, which must be the prefix followed by a canonical decimal
// number (no leading zero, so that the code written is the code the user will see).
bool ParseCode(ParseState &state, const std::string &code, uint32_t &number)
{
    const std::string &prefix = state.Prefix;
    bool hasPrefix = code.compare(0, prefix.size(), prefix) == 0;
    std::string digits = hasPrefix ? code.substr(prefix.size()) : code;
    if (!hasPrefix || (!digits.empty() && IsLetter(digits[0]))) {
        Fail(state, "code '" + code + "' does not have the prefix '" + prefix + "'");
        return false;
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) {
        Fail(state, "code '" + code + "' has no decimal number after its prefix");
        return false;
    }
    if (digits.size() > 1 && digits[0] == '0') {
        Fail(state, "code '" + code + "' has a leading zero in its number");
        return false;
    }
    uint64_t value = 0;
    for (char digit : digits) {
        value = value * 10 + (uint64_t)(digit - '0');
        if (value > LargestNumber) {
            Fail(state, "number of code '" + code + "' is out of range (0 to 2147483647)");
            return false;
        }
    }
    number = (uint32_t)value;
    return true;
}

bool ParseType(ParseState &state, const std::string &code, const std::string &type, char &out)
{
    if (type.empty()) {
        Fail(state, "entry " + code + " has no type digit");
        return false;
    }
    if (type.size() != 1 || !IsDigit(type[0])) {
        Fail(state, "type '" + type + "' of entry " + code + " is not a single digit");
        return false;
    }
    out = type[0];
    return true;
}

// "@<code> <type> <short text>", trailing white space already gone.
bool ParseHeader(ParseState &state, const std::string &line, MessageEntry &entry)
{
    size_t codeEnd = SkipToken(line, 1);
    std::string code = line.substr(1, codeEnd - 1);
    if (code.empty()) {
        Fail(state, "entry has no code after '@'");
        return false;
    }
    if (!ParseCode(state, code, entry.Number))
        return false;
    entry.Code = code;
    size_t typeStart = SkipBlanks(line, codeEnd);
    size_t typeEnd = SkipToken(line, typeStart);
    if (!ParseType(state, code, line.substr(typeStart, typeEnd - typeStart), entry.Type))
        return false;
    std::string shortText = line.substr(SkipBlanks(line, typeEnd));
    if (shortText.empty()) {
        Fail(state, "entry " + code + " has no short text");
        return false;
    }
    return ToCp1252(state, shortText, entry.ShortText);
}

void StartEntry(ParseState &state, const std::string &line)
{
    MessageEntry entry;
    entry.File = state.File;
    entry.Line = state.Line;
    bool valid = ParseHeader(state, line, entry);
    if (valid)
        state.Entries.push_back(entry);
    state.InEntry = valid;
    state.SkippingEntry = !valid;
    state.ParagraphEnded = false;
}

// A leading "\@", "\#" or "\\" stands for its second character.
std::string Unescape(const std::string &text)
{
    bool escaped = text.size() >= 2 && text[0] == '\\' &&
                   (text[1] == '@' || text[1] == '#' || text[1] == '\\');
    return escaped ? text.substr(1) : text;
}

// Joins like Markdown: lines of a paragraph with one blank, a "- " line on a line of its
// own, paragraphs with an empty line. Leading blanks go too, so that a continuation line
// may be indented without growing the gap.
void AddDescriptionLine(ParseState &state, const std::string &line)
{
    std::string &description = state.Entries.back().Description;
    std::string content = line.substr(SkipBlanks(line, 0));
    if (content.empty()) {
        state.ParagraphEnded = !description.empty();
        return;
    }
    bool listItem = content.compare(0, 2, "- ") == 0;
    std::string text;
    if (!ToCp1252(state, Unescape(content), text))
        return;
    if (!description.empty())
        description += state.ParagraphEnded ? "\n\n" : listItem ? "\n" : " ";
    description += text;
    state.ParagraphEnded = false;
}

void ParseLine(ParseState &state, const std::string &rawLine)
{
    std::string line = TrimEnd(rawLine);
    if (!line.empty() && line[0] == '#')
        return;
    if (!line.empty() && line[0] == '@')
        StartEntry(state, line);
    else if (state.InEntry)
        AddDescriptionLine(state, line);
    else if (!state.SkippingEntry && !line.empty())
        Fail(state, "text outside an entry: an entry starts with '@' and its code");
}

bool ComesBefore(const MessageEntry &a, const MessageEntry &b)
{
    return a.Number < b.Number;
}

} // namespace

std::string SourceError(const std::string &file, int line, const std::string &message)
{
    return file + ":" + std::to_string(line) + ": " + message;
}

bool ParseMessageSource(const std::string &file, const std::string &text,
                        const std::string &prefix, std::vector<MessageEntry> &entries,
                        std::vector<std::string> &errors)
{
    ParseState state{file, prefix, entries, errors};
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        size_t lineEnd = end > at && text[end - 1] == '\r' ? end - 1 : end;
        ++state.Line;
        ParseLine(state, text.substr(at, lineEnd - at));
        at = end + 1;
    }
    return !state.Failed;
}

bool SortMessageEntries(std::vector<MessageEntry> &entries, std::vector<std::string> &errors)
{
    std::stable_sort(entries.begin(), entries.end(), ComesBefore);
    bool unique = true;
    size_t first = 0;
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].Number != entries[first].Number) {
            first = i;
            continue;
        }
        const MessageEntry &original = entries[first];
        errors.push_back(SourceError(entries[i].File, entries[i].Line,
                                     entries[i].Code + " appears twice (first at " +
                                         original.File + ":" + std::to_string(original.Line) +
                                         ")"));
        unique = false;
    }
    return unique;
}
