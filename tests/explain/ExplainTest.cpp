// kestrel-explain as users run it: the built program over the message modules built from
// messages/, with what it prints compared with the catalogue sources themselves.
#include "catalogue/MessageText.h"
#include "tools/MessageCompiler/Cp1252.h"
#include "tools/MessageCompiler/MessageSource.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Tool {
    const char *Folder;
    const char *Prefix;
    const char *Category;
};

const Tool Tools[] = {
    {"ML", "A", "ML"},
    {"CVTRES", "CVT", "CVTRES"},
    {"NMAKE", "U", "NMAKE"},
    {"link", "LNK", "LINK\\LIB\\DUMPBIN\\EDITBIN"},
    {"rcc", "RC", "RC (\"C\" Errors)"},
    {"rcw", "RW", "RC (\"W\" Errors)"},
    {"H2INC", "HI", "H2INC"},
    {"midl", "MIDL", "MIDL"},
};

struct Code {
    std::string Label;
    std::string Category;
    std::string Type;
    std::string Error;       // UTF-8
    std::string Description; // UTF-8
};

std::string ReadFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// Windows-1252 to UTF-8, by the message compiler's own table read backwards.
std::string Utf8(const std::string &cp1252)
{
    static std::map<unsigned char, uint32_t> high;
    if (high.empty())
        for (uint32_t point = 0x80; point < 0x2200; ++point) {
            unsigned char byte = 0;
            if (CodePointToCp1252(point, byte) == Cp1252Problem::None && byte >= 0x80)
                high[byte] = point;
        }
    std::string out;
    for (unsigned char c : cp1252) {
        uint32_t point = c < 0x80 ? c : high.at(c);
        if (point < 0x80) {
            out += (char)point;
        } else if (point < 0x800) {
            out += (char)(0xC0 | (point >> 6));
            out += (char)(0x80 | (point & 0x3F));
        } else {
            out += (char)(0xE0 | (point >> 12));
            out += (char)(0x80 | ((point >> 6) & 0x3F));
            out += (char)(0x80 | (point & 0x3F));
        }
    }
    return out;
}

// Every entry of the catalogue sources, in source order per tool.
const std::vector<Code> &Catalogue()
{
    static std::vector<Code> codes;
    if (!codes.empty())
        return codes;
    for (const Tool &tool : Tools) {
        std::vector<MessageEntry> entries;
        std::vector<std::string> errors;
        std::vector<fs::path> files;
        for (const auto &file : fs::directory_iterator(fs::path(KESTREL_SOURCE_DIR) / "messages" / tool.Folder))
            if (file.path().extension() == ".msg")
                files.push_back(file.path());
        std::sort(files.begin(), files.end());
        for (const fs::path &file : files)
            ParseMessageSource(file.string(), ReadFile(file), tool.Prefix, entries, errors);
        EXPECT_TRUE(errors.empty()) << tool.Folder;
        SortMessageEntries(entries, errors);
        for (const MessageEntry &entry : entries)
            codes.push_back({entry.Code, tool.Category, MessageTypeText(entry.Type), Utf8(entry.ShortText),
                             Utf8(entry.Description)});
    }
    return codes;
}

const Code &Find(const std::string &label)
{
    for (const Code &code : Catalogue())
        if (code.Label == label)
            return code;
    throw std::runtime_error("no " + label + " in the sources");
}

// Blanks and line breaks of any length as one blank, none at either end.
std::string Squeeze(const std::string &text)
{
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

// A literal's bytes, zeros included.
template <size_t N> std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

struct Outcome {
    int Status;
    std::string Out;
    std::string Err;
};

class ExplainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = fs::path(KESTREL_EXPLAIN_WORK) / test->name();
        fs::remove_all(work_);
        fs::create_directories(work_);
    }

    // Runs `program` with `arguments` (shell words), `input` on standard input.
    Outcome Start(const std::string &program, const std::string &arguments, const std::string &input = "")
    {
        WriteFile(work_ / "stdin", input);
        std::string command = "'" + program + "' " + arguments + " <'" + (work_ / "stdin").string() +
                              "' >'" + (work_ / "stdout").string() + "' 2>'" + (work_ / "stderr").string() + "'";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(work_ / "stdout"), ReadFile(work_ / "stderr")};
    }

    Outcome Explain(const std::string &arguments, const std::string &input = "")
    {
        return Start(KESTREL_EXPLAIN, "--modules '" KESTREL_EXPLAIN_MODULES "' " + arguments, input);
    }

    fs::path work_;
};

// Every code of every tool, half of them typed in lower case, in one run: tool, type, error
// text and the description, exactly as the sources have them once the wrapping is undone.
TEST_F(ExplainTest, ExplainsEveryCodeOfEveryTool)
{
    std::string arguments, expected;
    std::map<std::string, int> perTool;
    bool lower = false;
    for (const Code &code : Catalogue()) {
        std::string typed = code.Label;
        if ((lower = !lower))
            for (char &c : typed)
                c = (char)std::tolower((unsigned char)c);
        arguments += typed + " ";
        expected += code.Label + " (" + code.Category + ") Type: " + code.Type + " Error: " + code.Error + " " +
                    code.Description + " ";
        ++perTool[code.Category];
    }
    EXPECT_EQ(8u, perTool.size()) << "every tool has codes";

    Outcome run = Explain(arguments);
    EXPECT_EQ(0, run.Status);
    EXPECT_EQ("", run.Err);
    EXPECT_EQ(Squeeze(expected), Squeeze(run.Out));

    // Standard output is a file here, so the width is the 80 columns of an unknown terminal.
    std::istringstream lines(run.Out);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        size_t columns = 0;
        for (unsigned char c : line)
            columns += (c & 0xC0) != 0x80;
        EXPECT_LE(columns, 80u) << "line " << number << ": " << line;
    }
}

TEST_F(ExplainTest, CodesNoToolHas)
{
    struct Case {
        const char *Arguments;
        int Status;
        const char *Explained; // the labels explained, in order
        const char *Err;
    } cases[] = {
        {"A2999", 1, "", "kestrel-explain: no tool has the code A2999\n"},
        {"A2999 lnk1104 A2008", 1, "LNK1104 A2008", "kestrel-explain: no tool has the code A2999\n"},
        {"LNK1104X A02008 ' A2008' HI1000 2008 -", 1, "",
         "kestrel-explain: no tool has the code LNK1104X\n"
         "kestrel-explain: no tool has the code A02008\n"
         "kestrel-explain: no tool has the code  A2008\n"
         "kestrel-explain: no tool has the code HI1000\n"
         "kestrel-explain: no tool has the code 2008\n"
         "kestrel-explain: no tool has the code -\n"},
        {"rc2104 RW2002 cvt1100 u1077 midl2025", 0, "RC2104 RW2002 CVT1100 U1077 MIDL2025", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Arguments);
        Outcome run = Explain(c.Arguments);
        EXPECT_EQ(c.Status, run.Status);
        EXPECT_EQ(c.Err, run.Err);
        std::string explained;
        std::istringstream lines(run.Out);
        std::string line;
        while (std::getline(lines, line))
            if (line.find(" (") != std::string::npos && line[0] != ' ' && line.compare(0, 5, "Type:") != 0 &&
                line.compare(0, 6, "Error:") != 0)
                explained += (explained.empty() ? "" : " ") + line.substr(0, line.find(' '));
        EXPECT_EQ(c.Explained, explained);
    }
}

// A log with both line ends, binary bytes, a line of several MiB and a code across two of
// the program's read blocks: taking out the added lines gives back the log byte for byte.
TEST_F(ExplainTest, AnnotateKeepsTheLogAndExplainsKnownCodes)
{
    struct Line {
        std::string Bytes;
        std::vector<std::string> Codes; // explained after it, in order
    };
    std::vector<Line> log = {
        {"Microsoft (R) Macro Assembler Version 6.15.8803\r\n", {}},
        {" Assembling: hello.asm\r\n", {}},
        {"hello.asm(12) : error A2008: syntax error : mov\r\n", {"A2008"}},
        {"LINK : fatal error LNK1104: cannot open file 'kernel32.lib'\n", {"LNK1104"}},
        {"NMAKE : fatal error U1077: 'ml' : return code '0x1'\r\n", {"U1077"}},
        {"xA2008 A2008x a2008 A2999 A02008 LNK1104_ -\n", {}},
        {Bytes("\x00\xff" "A2008\x1b[31m\x95" "RC2104\n"), {}},
        {Bytes("\x00" "A2008\x07 ok\r\n"), {"A2008"}},
        {"A2008 LNK1104 A2008 (twice) rc.exe: RW2002, MIDL2025.\n", {"A2008", "LNK1104", "RW2002", "MIDL2025"}},
        {"\r\n", {}},
        {"\n", {}},
    };
    std::string before;
    for (const Line &line : log)
        before += line.Bytes;
    // The next code starts three bytes before the first MiB ends, where a read block ends
    // (the program reads in blocks of a power of two up to 1 MiB).
    std::string padding(1048576 - 3 - before.size(), 'x');
    padding[0] = padding.back() = ' ';
    log.push_back({padding + "CVT1100 and on, with no line end\n", {"CVT1100"}});
    log.push_back({std::string(3 << 20, '=') + " RC2104", {"RC2104"}});

    std::string input;
    for (const Line &line : log)
        input += line.Bytes;
    Outcome fromStdin = Explain("--annotate", input);
    WriteFile(work_ / "build.log", input);
    Outcome fromFile = Explain("--annotate '" + (work_ / "build.log").string() + "'");
    EXPECT_EQ(0, fromStdin.Status);
    EXPECT_EQ("", fromStdin.Err);
    EXPECT_EQ(fromStdin.Out, fromFile.Out);

    size_t at = 0;
    const std::string &out = fromStdin.Out;
    for (const Line &line : log) {
        ASSERT_EQ(line.Bytes, out.substr(at, line.Bytes.size())) << "at " << at;
        at += line.Bytes.size();
        std::string end = line.Bytes.size() >= 2 && line.Bytes.compare(line.Bytes.size() - 2, 2, "\r\n") == 0
                              ? "\r\n" : "\n";
        if (line.Bytes.back() != '\n' && !line.Codes.empty()) {
            ASSERT_EQ("\n", out.substr(at, 1)) << "the last line is ended as the one before it";
            at += 1;
        }
        for (const std::string &label : line.Codes) {
            SCOPED_TRACE(label);
            const Code &code = Find(label);
            std::string start = "    " + label + " (" + code.Type + "): ";
            ASSERT_EQ(start, out.substr(at, start.size()));
            size_t lineEnd = out.find('\n', at);
            ASSERT_NE(std::string::npos, lineEnd);
            std::string sentence = out.substr(at + start.size(), lineEnd + 1 - end.size() - at - start.size());
            EXPECT_EQ(end, out.substr(lineEnd + 1 - end.size(), end.size()));
            EXPECT_EQ(0u, code.Description.find(sentence)) << sentence;
            EXPECT_TRUE(sentence.back() == '.' || sentence.back() == '!' || sentence.back() == '?' ||
                        sentence.size() == code.Description.find('\n'))
                << sentence;
            at = lineEnd + 1;
        }
    }
    EXPECT_EQ(out.size(), at);
}

// Finds the root table of a module's resources through the section named .rsrc.
size_t ResourceRoot(const std::string &module)
{
    auto read16 = [&](size_t at) { return (uint32_t)(unsigned char)module[at] | (uint32_t)(unsigned char)module[at + 1] << 8; };
    auto read32 = [&](size_t at) { return read16(at) | read16(at + 2) << 16; };
    size_t pe = read32(0x3C);
    size_t sections = pe + 24 + read16(pe + 20);
    for (uint32_t s = 0; s < read16(pe + 6); ++s)
        if (module.compare(sections + 40 * s, 6, ".rsrc\0", 6) == 0)
            return read32(sections + 40 * s + 20);
    throw std::runtime_error("no .rsrc");
}

// Each damaged module is named in one line; the others still explain their codes.
TEST_F(ExplainTest, DamagedModulesAreNamedAndTheRestStillWork)
{
    fs::path folder = work_ / "modules";
    fs::create_directories(folder);
    for (const Tool &tool : Tools)
        fs::copy_file(fs::path(KESTREL_EXPLAIN_MODULES) / (std::string(tool.Folder) + ".dll"),
                      folder / (std::string(tool.Folder) + ".dll"));
    auto module = [&](const char *name) { return folder / (std::string(name) + ".dll"); };

    struct Damage {
        const char *Module;
        const char *Problem; // after the module's path in its line
    } damages[] = {
        {"CVTRES", "is cut short"},
        {"H2INC", "has no message table 1"},
        {"link", "is cut short"},
        {"NMAKE", "is not a Windows module"},
        {"rcc", "is damaged (its resource headers do not hold together)"},
        {"rcw", "cannot be read: Is a directory"},
        {"midl", "is missing"},
    };
    std::string cvtres = ReadFile(module("CVTRES"));
    WriteFile(module("CVTRES"), cvtres.substr(0, 100));
    std::string h2inc = ReadFile(module("H2INC"));
    size_t root = ResourceRoot(h2inc);
    ASSERT_EQ('\x0B', h2inc[root + 16]) << "the message table is the first type listed";
    h2inc[root + 16] = '\x0C';
    WriteFile(module("H2INC"), h2inc);
    std::string link = ReadFile(module("link"));
    WriteFile(module("link"), link.substr(0, link.size() / 2));
    WriteFile(module("NMAKE"), "This is not a module.\n");
    std::string rcc = ReadFile(module("rcc"));
    rcc.replace(ResourceRoot(rcc) + 20, 4, "\xF0\xFF\xFF\xFF", 4); // where the names of type 11 are: far outside
    WriteFile(module("rcc"), rcc);
    fs::remove(module("rcw"));
    fs::create_directory(module("rcw"));
    fs::remove(module("midl"));

    // Lines in the order the modules are read.
    std::string expected;
    for (const char *name : {"CVTRES", "H2INC", "link", "NMAKE", "rcc", "rcw", "midl"})
        for (const Damage &damage : damages)
            if (std::string(damage.Module) == name)
                expected += "kestrel-explain: " + module(name).string() + " " + damage.Problem + "\n";

    Outcome run = Start(KESTREL_EXPLAIN, "--modules '" + folder.string() + "' A2008 LNK1104");
    EXPECT_EQ(1, run.Status);
    EXPECT_EQ(expected + "kestrel-explain: no tool has the code LNK1104\n", run.Err);
    EXPECT_EQ(0u, run.Out.find("A2008 (ML)\nType:  Non Fatal\nError: syntax error :\n"));

    // With ML's module gone too nothing can be read: status 2, and the log still goes through.
    fs::remove(module("ML"));
    expected = "kestrel-explain: " + module("ML").string() + " is missing\n" + expected +
               "kestrel-explain: no message module could be read from " + folder.string() + "/\n";
    for (const char *command : {"A2008", "--list", "--annotate"}) {
        SCOPED_TRACE(command);
        run = Start(KESTREL_EXPLAIN, "--modules '" + folder.string() + "' " + command, "error A2008: x\r\n");
        EXPECT_EQ(2, run.Status);
        EXPECT_EQ(expected, run.Err);
        EXPECT_EQ(std::string(command) == "--annotate" ? "error A2008: x\r\n" : "", run.Out);
    }
}

TEST_F(ExplainTest, ListsCodesByPrefix)
{
    for (const char *prefix : {"", "rw", "LNK1", "MIDL2", "A4"}) {
        SCOPED_TRACE(prefix);
        std::string upper = prefix;
        for (char &c : upper)
            c = (char)std::toupper((unsigned char)c);
        std::vector<std::string> expected;
        for (const Code &code : Catalogue())
            if (code.Label.compare(0, upper.size(), upper) == 0)
                expected.push_back(code.Label);
        Outcome run = Explain(std::string("--list ") + prefix);
        EXPECT_EQ(0, run.Status);
        EXPECT_EQ("", run.Err);
        std::vector<std::string> listed;
        std::istringstream lines(run.Out);
        std::string line;
        while (std::getline(lines, line))
            if (line.compare(0, 2, "  ") == 0 && line[2] != ' ' && line[2] != '(')
                listed.push_back(line.substr(2, line.find(' ', 2) - 2));
        // By tool, then by number, which is the sources' order.
        EXPECT_EQ(expected, listed);
        EXPECT_EQ(std::string::npos, run.Out.find("(no codes)")) << "every tool has codes";
    }
    Outcome run = Explain("--list QQ");
    EXPECT_EQ(1, run.Status);
    EXPECT_EQ("kestrel-explain: no code starts with QQ\n", run.Err);
}

// Without --modules: the program's own folder, or AddIns beside its folder as in the
// release package.
TEST_F(ExplainTest, FindsTheModulesWithoutBeingTold)
{
    for (const char *layout : {"flat", "package"}) {
        SCOPED_TRACE(layout);
        bool package = std::string(layout) == "package";
        fs::path top = work_ / layout;
        fs::path program = top / (package ? "Tools" : "") / "kestrel-explain";
        fs::path modules = package ? top / "AddIns" : top;
        fs::create_directories(program.parent_path());
        fs::create_directories(modules);
        fs::copy_file(KESTREL_EXPLAIN, program);
        for (const Tool &tool : Tools)
            fs::copy_file(fs::path(KESTREL_EXPLAIN_MODULES) / (std::string(tool.Folder) + ".dll"),
                          modules / (std::string(tool.Folder) + ".dll"));
        Outcome run = Start(program.string(), "rw2002");
        EXPECT_EQ(0, run.Status);
        EXPECT_EQ("", run.Err);
        EXPECT_EQ(0u, run.Out.find("RW2002 (RC (\"W\" Errors))\nType:  Non Fatal\nError: Parsing error\n"));
    }
    // As built, and as installed from the tree: each finds the modules that came with it.
    Outcome built = Start(KESTREL_EXPLAIN, "a2008");
    EXPECT_EQ(0, built.Status) << built.Err;
    EXPECT_EQ(0u, built.Out.find("A2008 (ML)\nType:  Non Fatal\n"));
    fs::path prefix = work_ / "installed";
    Outcome install = Start(KESTREL_CMAKE, "--install '" KESTREL_BUILD_DIR "' --prefix '" + prefix.string() + "'");
    ASSERT_EQ(0, install.Status) << install.Out << install.Err;
    Outcome installed = Start((prefix / "bin" / "kestrel-explain").string(), "HI4001");
    EXPECT_EQ(0, installed.Status) << installed.Err;
    EXPECT_EQ(0u, installed.Out.find("HI4001 (H2INC)\nType:  Warning (Level1,4)\n"));

    fs::path alone = work_ / "alone" / "kestrel-explain";
    fs::create_directories(alone.parent_path());
    fs::copy_file(KESTREL_EXPLAIN, alone);
    Outcome run = Start(alone.string(), "A2008");
    EXPECT_EQ(2, run.Status);
    EXPECT_NE(std::string::npos, run.Err.find("no message module could be read from " +
                                              alone.parent_path().string() + "/ (name their folder with --modules DIR)\n"));
}

} // namespace
