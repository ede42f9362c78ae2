// The catalogue sources as they stand in messages/: every folder parses cleanly, holds as
// many entries as messages/counts.tsv records, uses the type digits its tool's code ranges
// call for, gives every code a description that says more than the short text, and names
// where every code and text come from in messages/sources.tsv.
#include "catalogue/MessageTable.h"
#include "catalogue/ToolTable.h"
#include "tools/MessageCompiler/MessageSource.h"
#include "tools/MessageCompiler/MessageTableWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path MessagesFolder = fs::path(KESTREL_SOURCE_DIR) / "messages";
// Every entry of the eight modules; the README's catalogue table gives it per tool.
const size_t CatalogueTotal = 1293;

struct CountRow {
    std::string Prefix;
    size_t Entries = 0;
};

std::string ReadFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// counts.tsv: a header line, then folder, prefix and entry count per line.
std::map<std::string, CountRow> ReadCounts(std::vector<std::string> &problems)
{
    std::map<std::string, CountRow> counts;
    std::istringstream lines(ReadFile(MessagesFolder / "counts.tsv"));
    std::string line;
    bool header = true;
    while (std::getline(lines, line)) {
        if (header) {
            header = false;
            if (line != "folder\tprefix\tentries")
                problems.push_back("unexpected header: " + line);
            continue;
        }
        std::istringstream fields(line);
        std::string folder, prefix, entries;
        if (!std::getline(fields, folder, '\t') || !std::getline(fields, prefix, '\t') ||
            !std::getline(fields, entries) || entries.empty() ||
            entries.find_first_not_of("0123456789") != std::string::npos) {
            problems.push_back("malformed line: " + line);
            continue;
        }
        if (counts.count(folder) != 0)
            problems.push_back("folder listed twice: " + folder);
        counts[folder] = CountRow{prefix, (size_t)std::stoul(entries)};
    }
    return counts;
}

struct Folder {
    std::vector<MessageEntry> Entries; // sorted by number
    std::vector<std::string> Errors;
    size_t Files = 0;
};

Folder ParseFolder(const std::string &name, const std::string &prefix)
{
    Folder folder;
    std::vector<fs::path> sources;
    for (const fs::directory_entry &file : fs::directory_iterator(MessagesFolder / name))
        if (file.path().extension() == ".msg")
            sources.push_back(file.path());
    std::sort(sources.begin(), sources.end());
    for (const fs::path &source : sources) {
        ParseMessageSource(source.string(), ReadFile(source), prefix, folder.Entries, folder.Errors);
        ++folder.Files;
    }
    SortMessageEntries(folder.Entries, folder.Errors);
    return folder;
}

// The type digits a code may carry. The assembler, H2INC, CVTRES, NMAKE, the linker and
// both RC tools number their fatal errors 1xxx, their other errors 2xxx and their warnings
// 4xxx (the assembler's lesser warnings 5xxx and 6xxx too); a warning is plain or carries its
// level. MIDL's 1000 to 1023 are preprocessor errors, the rest compiler errors. Empty when
// the code lies in no known range.
std::string ExpectedTypes(const std::string &folder, uint32_t number)
{
    if (folder == "midl")
        return number >= 1000 && number <= 1023 ? "9" : "0";
    switch (number / 1000) {
    case 1:
        return "1";
    case 2:
        return "2";
    case 4:
        return "345678";
    case 5:
    case 6:
        return folder == "ML" ? "345678" : "";
    default:
        return "";
    }
}

// Letters and digits only, folded to lower case: what is left of a text once quotes,
// punctuation and spacing are set aside.
std::string Words(const std::string &text)
{
    std::string words;
    for (unsigned char c : text)
        if (std::isalnum(c))
            words += (char)std::tolower(c);
    return words;
}

class CatalogueSources : public ::testing::Test {
protected:
    void SetUp() override
    {
        counts = ReadCounts(countProblems);
    }
    std::vector<std::string> countProblems;
    std::map<std::string, CountRow> counts;
};

TEST_F(CatalogueSources, CountsListEveryModuleOnceWithItsPrefix)
{
    EXPECT_EQ(countProblems, std::vector<std::string>());
    EXPECT_EQ(counts.size(), (size_t)ToolCount);
    for (const ToolEntry &tool : ToolTable) {
        SCOPED_TRACE(tool.ModuleBaseName);
        auto row = counts.find(tool.ModuleBaseName);
        ASSERT_NE(row, counts.end());
        EXPECT_EQ(row->second.Prefix, tool.LabelPrefix);
        EXPECT_TRUE(fs::is_directory(MessagesFolder / tool.ModuleBaseName));
    }
}

// counts.tsv is the list the build makes and ships modules from: a folder of sources left
// out of it would never become a module.
TEST_F(CatalogueSources, EveryFolderOfSourcesIsCounted)
{
    for (const fs::directory_entry &entry : fs::directory_iterator(MessagesFolder)) {
        if (!entry.is_directory())
            continue;
        std::string folder = entry.path().filename().string();
        EXPECT_EQ(counts.count(folder), 1u) << "messages/" << folder << " is not in counts.tsv";
    }
}

TEST_F(CatalogueSources, EveryFolderParsesToTheCountedEntries)
{
    size_t total = 0;
    for (const ToolEntry &tool : ToolTable) {
        SCOPED_TRACE(tool.ModuleBaseName);
        Folder folder = ParseFolder(tool.ModuleBaseName, tool.LabelPrefix);
        EXPECT_GE(folder.Files, 1u);
        EXPECT_EQ(folder.Errors, std::vector<std::string>());
        auto row = counts.find(tool.ModuleBaseName);
        ASSERT_NE(row, counts.end());
        EXPECT_EQ(folder.Entries.size(), row->second.Entries);
        total += folder.Entries.size();
    }
    EXPECT_EQ(total, CatalogueTotal);
}

TEST_F(CatalogueSources, TypeDigitsFollowEachToolsCodeRanges)
{
    for (const ToolEntry &tool : ToolTable) {
        Folder folder = ParseFolder(tool.ModuleBaseName, tool.LabelPrefix);
        for (const MessageEntry &entry : folder.Entries) {
            std::string expected = ExpectedTypes(tool.ModuleBaseName, entry.Number);
            EXPECT_NE(expected, "") << entry.Code << " lies in no known range";
            EXPECT_NE(expected.find(entry.Type), std::string::npos)
                << entry.Code << " has type " << entry.Type << " at " << entry.File << ":" << entry.Line;
        }
    }
}

TEST_F(CatalogueSources, EveryDescriptionSaysMoreThanItsShortText)
{
    for (const ToolEntry &tool : ToolTable) {
        Folder folder = ParseFolder(tool.ModuleBaseName, tool.LabelPrefix);
        for (const MessageEntry &entry : folder.Entries) {
            SCOPED_TRACE(entry.Code);
            EXPECT_FALSE(entry.ShortText.empty());
            EXPECT_FALSE(entry.Description.empty());
            EXPECT_NE(Words(entry.Description), Words(entry.ShortText));
            // What remains once every copy of the short text is taken out must still be
            // words of its own (a short sentence at the least), not a bare quote of the
            // message.
            std::string rest = entry.Description;
            for (size_t at; !entry.ShortText.empty() && (at = rest.find(entry.ShortText)) != std::string::npos;)
                rest.erase(at, entry.ShortText.size());
            EXPECT_GE(Words(rest).size(), 12u) << entry.Description;
        }
    }
}

struct WalkedIds {
    std::vector<uint32_t> Ids;
    static void Visit(void *context, uint32_t id)
    {
        static_cast<WalkedIds *>(context)->Ids.push_back(id);
    }
};

// The walk the add-in makes over a module's table lists exactly the sources' codes.
TEST_F(CatalogueSources, CompiledTablesWalkToTheSourcesNumbers)
{
    for (const ToolEntry &tool : ToolTable) {
        SCOPED_TRACE(tool.ModuleBaseName);
        Folder folder = ParseFolder(tool.ModuleBaseName, tool.LabelPrefix);
        std::vector<unsigned char> table;
        std::vector<std::string> errors;
        ASSERT_TRUE(WriteMessageTable(folder.Entries, table, errors));
        WalkedIds walked;
        uint32_t visited = WalkMessageTable(table.data(), (uint32_t)table.size(), WalkedIds::Visit, &walked);
        std::vector<uint32_t> expected;
        for (const MessageEntry &entry : folder.Entries)
            expected.push_back(entry.Number);
        EXPECT_EQ(visited, expected.size());
        EXPECT_EQ(walked.Ids, expected);
        for (const MessageEntry &entry : folder.Entries)
            EXPECT_TRUE(MessageEntryIsSound(table.data(), (uint32_t)table.size(), entry.Number)) << entry.Code;
    }
}

// messages/sources.tsv: a header, then code, kind, source and versions, tab-separated.
struct SourceRow {
    std::string Code, Kind, Source, Versions;
    size_t Line = 0;
};

std::vector<SourceRow> ReadSourceRows(std::vector<std::string> &problems)
{
    std::vector<SourceRow> rows;
    std::istringstream lines(ReadFile(MessagesFolder / "sources.tsv"));
    std::string line;
    size_t number = 0;
    while (std::getline(lines, line)) {
        if (++number == 1) {
            if (line != "code\tkind\tsource\tversions")
                problems.push_back("unexpected header: " + line);
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        if (!line.empty() && line.back() == '\t')
            fields.push_back("");
        if (fields.size() != 4) {
            problems.push_back("line " + std::to_string(number) + ": not four fields: " + line);
            continue;
        }
        rows.push_back(SourceRow{fields[0], fields[1], fields[2], fields[3], number});
    }
    return rows;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = (char)std::toupper((unsigned char)c);
    return text;
}

// What a row of each kind must show to count as a source: the Microsoft Learn page in the
// reference table, the guide's section, an archived Microsoft page, a Knowledge Base
// article, or a line that the tool printed, with the code in it.
std::string RowProblem(const SourceRow &row)
{
    if (row.Source.empty())
        return "no source";
    if (row.Kind == "learn")
        return row.Source.rfind("MicrosoftDocs/", 0) == 0 && row.Source.find(".md") != std::string::npos
                   ? ""
                   : "a Learn source names the page as repository@commit:path";
    if (row.Kind == "guide")
        return row.Source.rfind("MASM 6.0 Programmer's Guide, Appendix F.", 0) == 0 ? ""
                                                                                  : "a guide source names its section";
    if (row.Kind == "msdocs")
        return "";
    if (row.Kind == "kb")
        return row.Source.rfind("Microsoft Knowledge Base Q", 0) == 0 ? "" : "a KB source names its article number";
    if (row.Kind == "printed") {
        size_t bar = row.Source.find(" | ");
        if (bar == std::string::npos || bar == 0)
            return "a printed source is 'where | the line as printed'";
        return Upper(row.Source.substr(bar + 3)).find(row.Code) != std::string::npos ? ""
                                                                                    : "the printed line does not show the code";
    }
    return "kind '" + row.Kind + "' is none of learn, guide, msdocs, kb, printed";
}

TEST_F(CatalogueSources, EveryCodeHasASourceAndEverySourceACode)
{
    std::vector<std::string> problems;
    std::vector<SourceRow> rows = ReadSourceRows(problems);
    EXPECT_EQ(problems, std::vector<std::string>());
    std::map<std::string, size_t> rowsPerCode;
    for (const SourceRow &row : rows) {
        std::string problem = RowProblem(row);
        EXPECT_EQ(problem, "") << "sources.tsv:" << row.Line << ": " << row.Code;
        ++rowsPerCode[row.Code];
    }
    size_t codes = 0;
    for (const ToolEntry &tool : ToolTable) {
        for (const MessageEntry &entry : ParseFolder(tool.ModuleBaseName, tool.LabelPrefix).Entries) {
            EXPECT_GT(rowsPerCode[entry.Code], 0u) << entry.Code << " has no source";
            rowsPerCode.erase(entry.Code);
            ++codes;
        }
    }
    EXPECT_EQ(codes, CatalogueTotal);
    for (const auto &orphan : rowsPerCode)
        ADD_FAILURE() << "sources.tsv names " << orphan.first << ", which the catalogue does not hold";
}

} // namespace
