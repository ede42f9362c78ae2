// tools/KestrelHost/AddIns.cpp
// Loading add-ins and passing them the host's messages, as the IDE does.
#include "tools/KestrelHost/Host.h"
#include "common/TextBuffer.h"
#include "tools/KestrelHost/StdcallCheck.h"
#include <stdio.h>
#include <string.h>

// The exports as the IDE calls them: all __stdcall. Every call goes through CallStdcall,
// which reports an export that leaves the stack pointer elsewhere (another convention).
typedef void(__stdcall *GetWAAddInDataFunction)(char *name, char *description);
typedef int(__stdcall *WAAddInLoadFunction)(DWORD *handles, DWORD *features);
typedef void(__stdcall *WAAddInUnloadFunction)();
typedef int(__stdcall *AddInWindowProcFunction)(HWND, UINT, WPARAM, LPARAM);

namespace {

struct AddIn {
    HMODULE Module;
    char FileName[MAX_PATH];
    WAAddInUnloadFunction Unload;
    AddInWindowProcFunction FrameWindowProc;
    AddInWindowProcFunction OutWindowProc;
};

constexpr int MaxAddIns = 16;
AddIn AddIns[MaxAddIns];
int AddInCount;

// The IDE's version first; the pointers to its lists of add-in procedures are not offered.
DWORD HostFeatures[8] = {3014};

// Non-zero while an add-in is inside a call from the host, typically running a modal window:
// the host must not free add-ins then, or their code would vanish from under the call.
int AddInCallDepth;

// Set when an export came back with the stack pointer off; the host then exits with status 3.
bool StackMismatch;

// Reports, on standard error, an export that did not leave the stack as __stdcall does. The
// IDE would go on with a corrupt stack; the host has had it put right and carries on, so
// that a script sees every such export.
void CheckStack(const char *fileName, const char *exportName, long offset)
{
    if (offset == 0)
        return;
    StackMismatch = true;
    char line[MAX_PATH + 200];
    int length = snprintf(line, sizeof line,
        "KestrelHost: %s: %s left the stack pointer %ld bytes from where a __stdcall procedure leaves it\n",
        fileName, exportName, offset);
    if (length <= 0 || length >= static_cast<int>(sizeof line))
        return;
    DWORD written = 0;
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        WriteFile(error, line, static_cast<DWORD>(length), &written, nullptr);
}

// The AddIns folder beside the host's own exe, ending in a backslash.
bool FindAddInsFolder(char *folder, int size)
{
    char exePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exePath, sizeof exePath);
    if (length == 0 || length >= sizeof exePath)
        return false;
    char *slash = strrchr(exePath, '\\');
    if (slash == nullptr)
        return false;
    slash[1] = '\0';
    TextBuffer text(folder, size);
    return text.Append(exePath).Append("AddIns\\").Ok();
}

void LoadAddIn(const char *folder, const char *fileName)
{
    char path[MAX_PATH];
    TextBuffer text(path, sizeof path);
    if (!text.Append(folder).Append(fileName).Ok())
        return;
    if (AddInCount == MaxAddIns)
        return;
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr)
        return;
    // The message modules and any other helper DLL in the folder lack this export.
    auto load = reinterpret_cast<WAAddInLoadFunction>(GetProcAddress(module, "WAAddInLoad"));
    if (load == nullptr) {
        FreeLibrary(module);
        return;
    }
    AddInCallDepth++;
    long offset = 0;
    int result = CallStdcall(load, &offset, HostHandles, HostFeatures);
    AddInCallDepth--;
    CheckStack(fileName, "WAAddInLoad", offset);
    if (result == -1) {
        FreeLibrary(module);
        return;
    }
    AddIn &addIn = AddIns[AddInCount];
    addIn.Module = module;
    CopyText(addIn.FileName, sizeof addIn.FileName, fileName);
    addIn.Unload = reinterpret_cast<WAAddInUnloadFunction>(GetProcAddress(module, "WAAddInUnload"));
    addIn.FrameWindowProc = reinterpret_cast<AddInWindowProcFunction>(GetProcAddress(module, "FrameWindowProc"));
    addIn.OutWindowProc = reinterpret_cast<AddInWindowProcFunction>(GetProcAddress(module, "OutWindowProc"));
    AddInCount++;
}

bool Forward(bool outputWindow, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool handled = false;
    AddInCallDepth++;
    for (int i = 0; i < AddInCount && !handled; i++) {
        AddInWindowProcFunction proc = outputWindow ? AddIns[i].OutWindowProc : AddIns[i].FrameWindowProc;
        if (proc == nullptr)
            continue;
        long offset = 0;
        handled = CallStdcall(proc, &offset, window, message, wParam, lParam) != 0;
        CheckStack(AddIns[i].FileName, outputWindow ? "OutWindowProc" : "FrameWindowProc", offset);
    }
    AddInCallDepth--;
    return handled;
}

} // namespace

bool AddInCallInProgress()
{
    return AddInCallDepth > 0;
}

bool AddInStackMismatch()
{
    return StackMismatch;
}

void LoadAddIns()
{
    char folder[MAX_PATH];
    char pattern[MAX_PATH];
    TextBuffer text(pattern, sizeof pattern);
    if (!FindAddInsFolder(folder, sizeof folder) || !text.Append(folder).Append("*.dll").Ok())
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            LoadAddIn(folder, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void UnloadAddIns()
{
    // Messages keep arriving while windows are torn down; none may reach a freed add-in.
    int count = AddInCount;
    AddInCount = 0;
    for (int i = 0; i < count; i++) {
        if (AddIns[i].Unload != nullptr) {
            long offset = 0;
            CallStdcall(AddIns[i].Unload, &offset);
            CheckStack(AddIns[i].FileName, "WAAddInUnload", offset);
        }
        FreeLibrary(AddIns[i].Module);
    }
}

bool ForwardToFrameWindowProcs(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Forward(false, window, message, wParam, lParam);
}

bool ForwardToOutWindowProcs(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Forward(true, window, message, wParam, lParam);
}

void ShowAddInsManager(HWND owner)
{
    char text[4096];
    TextBuffer list(text, sizeof text);
    if (AddInCount == 0)
        list.Append("No add-in is loaded.");
    for (int i = 0; i < AddInCount; i++) {
        char name[256] = "";
        char description[256] = "";
        auto getData = reinterpret_cast<GetWAAddInDataFunction>(GetProcAddress(AddIns[i].Module, "GetWAAddInData"));
        if (getData != nullptr) {
            long offset = 0;
            CallStdcall(getData, &offset, name, description);
            CheckStack(AddIns[i].FileName, "GetWAAddInData", offset);
            // The buffers are the add-in's to fill; a missing terminator must not run on.
            name[sizeof name - 1] = '\0';
            description[sizeof description - 1] = '\0';
        }
        char entry[sizeof name + sizeof description + MAX_PATH + 8];
        TextBuffer line(entry, sizeof entry);
        line.Append(AddIns[i].FileName).Append(": ").Append(name).Append("\r\n    ").Append(description).Append("\r\n");
        // Whatever does not fit is left out whole and the rest of the list still shows, so
        // an entry is appended only when it fits: a refused append would end the list.
        if (line.Ok() && line.Length() < static_cast<int>(sizeof text) - list.Length())
            list.Append(entry, line.Length());
    }
    MessageBoxA(owner, text, "Add-Ins Manager", MB_OK | MB_ICONINFORMATION);
}
