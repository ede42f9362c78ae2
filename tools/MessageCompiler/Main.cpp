// tools/MessageCompiler/Main.cpp
// kestrel-mc --prefix <LETTERS> -o <out.bin> <source.msg>...
// Compiles the catalogue sources of one message module into its message-table resource.
// The output exists only after a run that found no error: a build must never link a
// table that silently lost entries, nor a stale one from an earlier run.
#include "tools/MessageCompiler/MessageSource.h"
#include "tools/MessageCompiler/MessageTableWriter.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char Usage[] = "usage: kestrel-mc --prefix <LETTERS> -o <out.bin> <source.msg>...";

struct Options {
    std::string Prefix;
    std::string Output;
    std::vector<std::string> Sources;
};

bool IsPrefix(const std::string &prefix)
{
    if (prefix.empty())
        return false;
    for (char c : prefix) {
        if (c < 'A' || c > 'Z')
            return false;
    }
    return true;
}

// Takes the value of an option that needs one; false when it is missing.
bool TakeValue(int argc, char **argv, int &i, std::string &value)
{
    if (i + 1 >= argc)
        return false;
    value = argv[++i];
    return true;
}

bool ParseArguments(int argc, char **argv, Options &options, std::string &problem)
{
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool known = true;
        if (argument == "--prefix")
            known = TakeValue(argc, argv, i, options.Prefix);
        else if (argument == "-o")
            known = TakeValue(argc, argv, i, options.Output);
        else if (argument.size() > 1 && argument[0] == '-')
            known = false;
        else
            options.Sources.push_back(argument);
        if (!known) {
            problem = "bad argument '" + argument + "'";
            return false;
        }
    }
    if (!IsPrefix(options.Prefix))
        problem = "the prefix must be one or more letters A to Z";
    else if (options.Output.empty())
        problem = "no output file";
    else if (options.Sources.empty())
        problem = "no source file";
    return problem.empty();
}

std::string SystemError(const std::string &path, const char *action)
{
    return path + ": cannot " + action + ": " + strerror(errno);
}

bool ReadWholeFile(const std::string &path, std::string &text, std::vector<std::string> &errors)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) {
        errors.push_back(SystemError(path, "open"));
        return false;
    }
    char buffer[65536];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    bool failed = ferror(file) != 0;
    if (failed)
        errors.push_back(SystemError(path, "read"));
    fclose(file);
    return !failed;
}

bool RemoveIfPresent(const std::string &path, std::vector<std::string> &errors)
{
    if (remove(path.c_str()) == 0 || errno == ENOENT)
        return true;
    errors.push_back(SystemError(path, "remove the old output"));
    return false;
}

// Writes under a temporary name and renames, so that an interrupted run leaves no
// half-written table under the real name.
bool WriteOutput(const std::string &path, const std::vector<unsigned char> &bytes,
                 std::vector<std::string> &errors)
{
    std::string temporary = path + ".tmp";
    FILE *file = fopen(temporary.c_str(), "wb");
    if (!file) {
        errors.push_back(SystemError(temporary, "create"));
        return false;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!written)
        errors.push_back(SystemError(temporary, "write"));
    if (fclose(file) != 0 && written) {
        errors.push_back(SystemError(temporary, "write"));
        written = false;
    }
    if (written && rename(temporary.c_str(), path.c_str()) != 0) {
        errors.push_back(SystemError(path, "rename the new output to"));
        written = false;
    }
    if (!written)
        remove(temporary.c_str());
    return written;
}

bool ParseSources(const Options &options, std::vector<MessageEntry> &entries,
                  std::vector<std::string> &errors)
{
    bool valid = true;
    for (const std::string &source : options.Sources) {
        std::string text;
        if (!ReadWholeFile(source, text, errors))
            valid = false;
        else if (!ParseMessageSource(source, text, options.Prefix, entries, errors))
            valid = false;
    }
    return valid;
}

bool Compile(const Options &options, std::vector<std::string> &errors)
{
    if (!RemoveIfPresent(options.Output, errors))
        return false;
    std::vector<MessageEntry> entries;
    bool valid = ParseSources(options, entries, errors);
    valid = SortMessageEntries(entries, errors) && valid;
    std::vector<unsigned char> table;
    if (!valid || !WriteMessageTable(entries, table, errors))
        return false;
    return WriteOutput(options.Output, table, errors);
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    std::string problem;
    if (!ParseArguments(argc, argv, options, problem)) {
        fprintf(stderr, "kestrel-mc: %s\n%s\n", problem.c_str(), Usage);
        if (!options.Output.empty())
            remove(options.Output.c_str());
        return 1;
    }
    std::vector<std::string> errors;
    bool compiled = Compile(options, errors);
    for (const std::string &error : errors)
        fprintf(stderr, "%s\n", error.c_str());
    return compiled ? 0 : 1;
}
