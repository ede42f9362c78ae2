// tools/KestrelExplain/Main.cpp
// kestrel-explain CODE...             explains codes
// kestrel-explain --annotate [FILE]   copies a build log, explaining the codes it names
// kestrel-explain --list [PREFIX]     lists the codes and their error texts, by tool
// --modules DIR reads the message modules from DIR instead of the program's folder (or
// the AddIns folder beside it, as the release package lays them out).
#include "tools/KestrelExplain/Explain.h"
#include "tools/KestrelExplain/Platform.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { DefaultWidth = 80 };

const char Usage[] =
    "usage: kestrel-explain [--modules DIR] CODE...\n"
    "       kestrel-explain [--modules DIR] --annotate [FILE]\n"
    "       kestrel-explain [--modules DIR] --list [PREFIX]\n"
    "Explains the error codes of ML, CVTRES, NMAKE, LINK, RC, H2INC and MIDL from Kestrel's\n"
    "message modules, found in the program's folder or the AddIns folder beside it.\n"
    "  CODE...           each code's tool, type, error text and description\n"
    "  --annotate FILE   the build log FILE (standard input when none or -) copied to\n"
    "                    standard output, with a line after each line naming a known code\n"
    "  --list PREFIX     the codes starting with PREFIX (all when none) and their texts\n"
    "  --modules DIR     reads the message modules from DIR\n"
    "Exit status: 0 done, 1 a code is unknown, 2 nothing could be read or bad arguments.\n";

enum Command { CommandNone, CommandExplain, CommandAnnotate, CommandList };

struct Arguments {
    Command Chosen;
    const char *Modules; // 0 for the default folder
    const char *Operand; // --annotate's file or --list's prefix; 0 when none
    char **Codes;
    int CodeCount;
};

int UsageError(const char *problem, const char *argument)
{
    fputs("kestrel-explain: ", stderr);
    fputs(problem, stderr);
    if (argument != 0) {
        fputs(" ", stderr);
        WriteNative(stderr, argument);
    }
    fputs(OutputLineEnd, stderr);
    fputs("Try kestrel-explain --help.", stderr);
    fputs(OutputLineEnd, stderr);
    return ExitNoCatalogue;
}

void WriteUsage()
{
    for (const char *line = Usage; *line != 0;) {
        const char *end = strchr(line, '\n');
        fwrite(line, 1, (size_t)(end - line), stdout);
        fputs(OutputLineEnd, stdout);
        line = end + 1;
    }
}

bool IsOption(const char *argument)
{
    return argument[0] == '-' && argument[1] != 0;
}

// Returns -1 when the arguments are sound, else the exit status to leave with.
int ParseArguments(int argc, char **argv, Arguments *arguments)
{
    arguments->Codes = (char **)calloc((size_t)argc, sizeof(char *));
    if (arguments->Codes == 0)
        return ExitNoCatalogue;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        bool takesOperand = false;
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            WriteUsage();
            return ExitOk;
        } else if (strcmp(argument, "--modules") == 0) {
            if (i + 1 >= argc)
                return UsageError("--modules needs a folder", 0);
            arguments->Modules = argv[++i];
            continue;
        } else if (strcmp(argument, "--annotate") == 0 || strcmp(argument, "--list") == 0) {
            if (arguments->Chosen != CommandNone)
                return UsageError("one command at a time:", argument);
            arguments->Chosen = argument[2] == 'a' ? CommandAnnotate : CommandList;
            takesOperand = true;
        } else if (IsOption(argument)) {
            return UsageError("unknown option", argument);
        } else if (arguments->Chosen != CommandNone && arguments->Chosen != CommandExplain) {
            // --annotate's file or --list's prefix, after a --modules that came between.
            if (arguments->Operand != 0)
                return UsageError("unexpected argument", argument);
            arguments->Operand = argument;
        } else {
            arguments->Chosen = CommandExplain;
            arguments->Codes[arguments->CodeCount++] = argv[i];
        }
        if (takesOperand && i + 1 < argc && !IsOption(argv[i + 1]))
            arguments->Operand = argv[++i];
    }
    if (arguments->Chosen == CommandNone)
        return UsageError("no code given", 0);
    return -1;
}

// Ends the folder in a separator, as the module paths are formed by appending a name.
bool ModuleFolder(const Arguments &arguments, char *folder, int size)
{
    if (arguments.Modules == 0) {
        if (DefaultModuleFolder(folder, size))
            return true;
        fprintf(stderr, "kestrel-explain: the program's own folder cannot be found; name one with --modules DIR%s",
                OutputLineEnd);
        return false;
    }
    size_t length = strlen(arguments.Modules);
    bool separated = length > 0 && IsPathSeparator(arguments.Modules[length - 1]);
    if (length + 2 > (size_t)size) {
        fprintf(stderr, "kestrel-explain: the folder given with --modules is too long%s", OutputLineEnd);
        return false;
    }
    memcpy(folder, arguments.Modules, length);
    if (length == 0)
        folder[length++] = '.';
    if (!separated)
        folder[length++] = PathSeparator;
    folder[length] = 0;
    return true;
}

int Annotate(const char *file, bool catalogueRead)
{
    FILE *input = stdin;
    const char *name = "standard input";
    if (file != 0 && strcmp(file, "-") != 0) {
        input = OpenForReading(file);
        name = file;
        if (input == 0) {
            fputs("kestrel-explain: ", stderr);
            WriteNative(stderr, file);
            fprintf(stderr, " cannot be opened: %s%s", strerror(errno), OutputLineEnd);
            return ExitNoCatalogue;
        }
    }
    // Without a catalogue the log still goes through, unchanged: a pipeline must not lose it.
    int status = AnnotateLog(input, name);
    if (input != stdin)
        fclose(input);
    return catalogueRead ? status : ExitNoCatalogue;
}

// Reads the catalogue and runs the chosen command over it.
int RunCommand(const Arguments &arguments)
{
    char folder[PathCapacity];
    if (!ModuleFolder(arguments, folder, sizeof folder))
        return ExitNoCatalogue;
    bool catalogueRead = LoadCatalogue(folder) > 0;
    if (!catalogueRead) {
        fputs("kestrel-explain: no message module could be read from ", stderr);
        WriteNative(stderr, folder);
        fputs(arguments.Modules == 0 ? " (name their folder with --modules DIR)" : "", stderr);
        fputs(OutputLineEnd, stderr);
        if (arguments.Chosen != CommandAnnotate)
            return ExitNoCatalogue;
    }

    int width = TerminalWidth();
    width = width > 0 ? UsableColumns(width) : DefaultWidth;
    int status;
    switch (arguments.Chosen) {
    case CommandAnnotate: status = Annotate(arguments.Operand, catalogueRead); break;
    case CommandList: status = ListCodes(arguments.Operand, width); break;
    default: status = ExplainCodes(arguments.Codes, arguments.CodeCount, width); break;
    }
    if (fflush(stdout) != 0 && status == ExitOk)
        status = ExitNoCatalogue;
    return status;
}

} // namespace

int RunExplain(int argc, char **argv)
{
    PreparePlatform();
    Arguments arguments = {};
    int status = ParseArguments(argc, argv, &arguments);
    if (status < 0)
        status = RunCommand(arguments);
    FreeCatalogue();
    free(arguments.Codes);
    return status;
}
