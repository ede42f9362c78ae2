// tests/wine/Harness.h
// What the Wine tests share: folders and files, a test host that meets the add-in's host
// contract, loading the built add-in, and driving modal windows from a second thread.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/MessageTableBytes.h"
#include "tools/KestrelHost/StdcallCheck.h"

namespace harness {

// ---- what the add-in shows, as the tests expect it (the add-in keeps its own) ---------
// The lookup window's caption, which is also the name the add-in gives the host and the
// About window's title.
const char LookupCaption[] = "Kestrelview";
// The LINK tool's category in the catalogue and note trees.
const char LinkCategory[] = "LINK\\LIB\\DUMPBIN\\EDITBIN";

// ---- folders and files ------------------------------------------------------------
std::string BinFolder();                          // the test program's folder, with "\"
std::string NewTempFolder(const std::string &tag); // empty, unique, with "\"
void RemoveTree(const std::string &folder);
bool CopyInto(const std::string &sourcePath, const std::string &folder, const std::string &name = "");
bool WriteBytes(const std::string &path, const std::string &bytes);
bool ReadBytes(const std::string &path, std::string *bytes);
// The file's bytes, or "<no file>" when it cannot be read: for comparing and printing.
std::string FileBytes(const std::string &path);
bool Exists(const std::string &path);
std::string UserName();
// Makes a folder unwritable by Unix means: its write permissions are taken away and, for a
// user they do not stop (root), it is marked immutable. False when it can still be written.
// MakeWritable undoes both.
bool MakeUnwritable(const std::string &folder);
void MakeWritable(const std::string &folder);

// The eight message module file names.
extern const char *const ModuleNames[8];

// A folder laid out as a host's add-in folder: Kestrel.dll and, unless `withModules` is
// false, the eight modules built beside the tests. Returns it with "\".
std::string NewAddInFolder(const std::string &tag, bool withModules = true);

// The notes folder the add-in uses for `addInFolder` and the current user.
std::string NotesFolderOf(const std::string &addInFolder);
// The note file of `code` in that folder.
std::string NoteFileOf(const std::string &addInFolder, const std::string &code);
// Deletes the note files of `codes` there, and the temporary files their saves write first.
void RemoveNotes(const std::string &addInFolder, const std::vector<std::string> &codes);
// The files under `folder` (which ends in "\"), by their paths relative to it, sorted; with
// `withFolders` the folders too, each path ending in "\".
std::vector<std::string> FilesUnder(const std::string &folder, bool withFolders = false);

// ---- message modules made by the tests --------------------------------------------
// The table bytes are built by tests/MessageTableBytes.h.

// Writes a resource-only module holding `table` as message table 1 (UpdateResource on a
// copy of a built module), at `path`. Returns false on failure.
bool WriteMessageModule(const std::string &path, const std::string &table);
// A module with no message table at all.
bool WriteModuleWithoutTable(const std::string &path);

// ---- the add-in as a host loads it -------------------------------------------------
// Fails the running test: the export `name` left the stack pointer `offset` bytes from where
// a __stdcall procedure leaves it (see CallStdcall). Nothing when `offset` is 0.
void ExpectStackKept(const char *name, long offset);

// One export, called as the IDE calls it: __stdcall, with the stack pointer checked on
// every call, so that a test through it fails when the export has another convention.
template <typename Pointer> struct Export;
template <typename Result, typename... Parameters> struct Export<Result(__stdcall *)(Parameters...)> {
    const char *Name;
    Result(__stdcall *Function)(Parameters...) = nullptr;
    explicit operator bool() const { return Function != nullptr; }
    template <typename... Arguments> Result operator()(Arguments... arguments) const
    {
        long offset = 0;
        if constexpr (std::is_void<Result>::value) {
            CallStdcall(Function, &offset, arguments...);
            ExpectStackKept(Name, offset);
        } else {
            Result result = CallStdcall(Function, &offset, arguments...);
            ExpectStackKept(Name, offset);
            return result;
        }
    }
};

struct AddIn {
    HMODULE Module = NULL;
    Export<void(__stdcall *)(char *, char *)> GetWAAddInData{"GetWAAddInData"};
    Export<int(__stdcall *)(DWORD *, DWORD *)> WAAddInLoad{"WAAddInLoad"};
    Export<void(__stdcall *)()> WAAddInUnload{"WAAddInUnload"};
    Export<int(__stdcall *)(HWND, UINT, WPARAM, LPARAM)> FrameWindowProc{"FrameWindowProc"};
    Export<int(__stdcall *)(HWND, UINT, WPARAM, LPARAM)> OutWindowProc{"OutWindowProc"};
    bool Open(const std::string &dllPath); // LoadLibrary and look up the exports
    void Close();                          // FreeLibrary
};

// A main window with an "Add-Ins" popup ("Add-Ins Manager ...", id 12001), answering 1124
// with ids from 40001, and an output window answering 2039 with `Word`.
struct TestHost {
    HWND Main = NULL;
    HWND Output = NULL;
    HMENU MenuBar = NULL;
    HMENU AddInsMenu = NULL;
    DWORD Handles[36] = {};
    DWORD Features[8] = {3014};
    std::string Word;              // what 2039 answers
    bool FillWithoutZero = false;  // answer 2039 with wParam bytes and no terminating zero
    DWORD NextMenuId = 40001;
    bool Create();
    void Destroy();
};

// ---- driving modal windows ----------------------------------------------------------
// Runs `open` on this thread (it blocks in a modal loop) while `drive` runs on a second
// thread. Whatever `drive` leaves open is closed afterwards (after `graceMs` in which `open`
// may still end by itself), so a failed check never hangs the test; a watchdog ends a run
// that takes longer than `timeoutMs`. Returns how many windows had to be closed that way.
int RunModal(const std::function<void()> &open, const std::function<void()> &drive, DWORD timeoutMs = 20000,
             DWORD graceMs = 0);

// The top-level window of this process with this caption once it is visible (or exists,
// when `visible` is false), after it has finished starting; NULL after the timeout.
HWND WaitForWindow(const char *caption, DWORD timeoutMs = 5000, bool visible = true);
// A message box (dialog class) owned, directly or not, by `owner`, other than `owner`.
HWND WaitForMessageBox(DWORD timeoutMs = 5000);
bool WaitForClose(HWND window, DWORD timeoutMs = 5000);

std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string &text);
bool Enabled(HWND dialog, int id);
// WM_COMMAND with notification 0, sent (returns when handled) or posted (for commands
// that open a modal box, which a send would wait behind).
void SendCommand(HWND dialog, int id);
void PostCommand(HWND dialog, int id);
// The text of a message box's message, and an answer (IDYES, IDNO, IDOK).
std::string MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int answer);
// A message box as the user sees it: "caption|text|buttons|icon", the visible buttons among
// OK, Cancel, Yes and No joined by "+", the icon "warning", "error", "question",
// "information" or "none".
std::string DescribeMessageBox(HWND box);
// Waits for the next message box, describes it as above and answers it; "<no box>" when
// none shows within the timeout.
std::string AnswerNextMessageBox(int answer, DWORD timeoutMs = 5000);
// Presses a dialog's button by a posted command and answers the message boxes it brings up,
// in turn, with `answers` (the last one again when they run out). Returns each box as
// DescribeMessageBox tells it, joined by new lines ("" when none showed); a box not owned
// by `dialog` is told with "|owned elsewhere" behind it.
std::string PressButton(HWND dialog, int id, const std::vector<int> &answers = {IDOK});
// Types characters into a control as WM_CHAR messages.
void TypeChars(HWND control, const std::string &chars);
// The control that has the focus on `window`'s thread.
HWND FocusOf(HWND window);

// ---- messages sent to this thread's windows ---------------------------------------
// A message as a WH_CALLWNDPROC hook sees it, before the window's procedure does; the
// window's state is read then, since it may be gone when the test looks.
struct SentMessage {
    HWND Window;
    UINT Message;
    WPARAM WParam;       // for WM_WINDOWPOSCHANGED, the WINDOWPOS flags instead
    std::string Text;    // WM_SETTEXT's text
    std::string Caption; // a top-level window's caption as the message came; "" for a child
    bool Visible;        // the window was visible
    bool Dialog;         // the window is a dialog box (a message box is one too)
    int DialogItem;      // its control id when it is a control of a dialog box; 0 otherwise
};
// Records, from now until StopRecordingSent, the messages by which a window's life and
// texts can be followed (WM_INITDIALOG, WM_SHOWWINDOW, WM_WINDOWPOSCHANGED, WM_SETTEXT,
// WM_COMMAND, WM_CLOSE) sent to windows of the calling thread, from this thread or another.
// Clears an earlier record first. One recording at a time; false when the hook failed.
bool StartRecordingSent();
void StopRecordingSent();
void ClearSent();
// What has been recorded so far; safe from any thread.
std::vector<SentMessage> SentMessages();

// Tree access (8-bit texts).
std::vector<HTREEITEM> Children(HWND tree, HTREEITEM parent); // parent NULL: roots
std::string ItemText(HWND tree, HTREEITEM item);
LPARAM ItemParam(HWND tree, HTREEITEM item);
HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::string &text);
HTREEITEM FindEntry(HWND tree, const std::string &category, const std::string &label);
void Select(HWND tree, HTREEITEM item);

// Object counts of this process, for balance checks.
struct ResourceCounts {
    DWORD Gdi, User, Handles;
};
ResourceCounts CountResources();

// Waits until `window`'s thread has taken every message posted to it so far out of its
// queue and dispatched it (a marker posted behind them comes out, then the thread pumps
// again). Posted input (keys, mouse) is otherwise still queued when a SendMessage from
// the driver returns, since sent messages go first. False after the timeout.
bool FlushPosted(HWND window, DWORD timeoutMs = 5000);

// Object counts found by probing, for systems where GetGuiResources and
// GetProcessHandleCount are stubs (Wine 8 answers 0 and leaves the count untouched, so
// CountResources reads all zeros there): live GDI objects (any handle whose low word
// names one), this process's windows (top-level, child and message-only), menus,
// icons and cursors, and kernel handles. Takes a few hundred milliseconds under Wine.
// Regions and device contexts are counted apart as well (they are among the GDI objects):
// Wine's window manager makes and drops regions as windows are shown and hidden and keeps
// a cache of device contexts that grows with use, so their number at any moment varies
// from run to run.
struct ProbedCounts {
    DWORD Gdi, Regions, DeviceContexts, Windows, Menus, Icons, Handles;
};
ProbedCounts ProbeResources();

} // namespace harness
