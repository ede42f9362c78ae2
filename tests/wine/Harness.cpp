// tests/wine/Harness.cpp
#include "tests/wine/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace harness {

// The modules this tree builds, from messages/counts.tsv (cmake/WineTests.cmake). Another
// count than Harness.h declares does not compile.
const char *const ModuleNames[KESTREL_MODULE_COUNT] = {KESTREL_MODULE_FILES};

// ---- folders and files ------------------------------------------------------------

std::string BinFolder()
{
    char path[MAX_PATH + 1] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string NewTempFolder(const std::string &tag)
{
    static int counter = 0;
    char temp[MAX_PATH + 1] = {0};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "kestrel-tests\\";
    CreateDirectoryA(root.c_str(), NULL);
    for (;;) {
        std::string folder = root + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter) + "\\";
        if (CreateDirectoryA(folder.c_str(), NULL))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
}

void RemoveTree(const std::string &folder)
{
    std::string base = folder;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = base + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(base.c_str());
}

bool CopyInto(const std::string &sourcePath, const std::string &folder, const std::string &name)
{
    std::string target = name;
    if (target.empty())
        target = sourcePath.substr(sourcePath.find_last_of('\\') + 1);
    return CopyFileA(sourcePath.c_str(), (folder + target).c_str(), FALSE) != 0;
}

bool WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadBytes(const std::string &path, std::string *bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, NULL);
    bytes->assign(size, '\0');
    DWORD read = 0;
    bool ok = size == 0 || ReadFile(file, &(*bytes)[0], size, &read, NULL);
    CloseHandle(file);
    return ok && read == size;
}

std::string FileBytes(const std::string &path)
{
    std::string bytes;
    if (!ReadBytes(path, &bytes))
        return "<no file>";
    return bytes;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UserName()
{
    char name[300] = {0};
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    return name;
}

// The Unix path of a Windows path, through Wine's own export; empty when there is none.
static std::string UnixPathOf(const std::string &path)
{
    typedef char *(CDECL * UnixNameOf)(LPCWSTR);
    UnixNameOf unixName = (UnixNameOf)GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name");
    if (unixName == nullptr)
        return "";
    std::wstring wide(path.begin(), path.end());
    char *name = unixName(wide.c_str());
    if (name == nullptr)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix shell command (Wine starts ELF files as such) and waits until it is done.
// Wine cannot wait for a Unix process, so the command ends by making a marker file, and
// that is what is waited for.
static bool RunUnixCommand(const std::string &command)
{
    static int counter = 0;
    char temp[MAX_PATH + 1] = {0};
    GetTempPathA(MAX_PATH, temp);
    std::string marker = std::string(temp) + "kestrel-unix-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++counter) + ".done";
    std::string unixMarker = UnixPathOf(marker);
    if (unixMarker.empty())
        return false;
    std::string line = "/bin/sh -c \"" + command + "; touch '" + unixMarker + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (DWORD start = GetTickCount(); !Exists(marker); Sleep(10))
        if (GetTickCount() - start > 10000)
            return false;
    DeleteFileA(marker.c_str());
    return true;
}

static bool CanWriteIn(const std::string &folder)
{
    static int counter = 0;
    std::string probe = folder + (folder.back() == '\\' ? "" : "\\") + "kestrel-probe-" +
                        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + ".tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    DeleteFileA(probe.c_str());
    return true;
}

bool MakeUnwritable(const std::string &folder)
{
    std::string path = UnixPathOf(folder);
    if (path.empty() || !RunUnixCommand("chmod a-w '" + path + "'"))
        return false;
    if (!CanWriteIn(folder))
        return true;
    return RunUnixCommand("chattr +i '" + path + "'") && !CanWriteIn(folder);
}

void MakeWritable(const std::string &folder)
{
    std::string path = UnixPathOf(folder);
    if (!path.empty())
        RunUnixCommand("chattr -i '" + path + "' 2>/dev/null; chmod u+w '" + path + "'");
}

std::string NewAddInFolder(const std::string &tag, bool withModules)
{
    std::string folder = NewTempFolder(tag);
    CopyInto(BinFolder() + "Kestrel.dll", folder);
    if (withModules)
        for (const char *module : ModuleNames)
            CopyInto(BinFolder() + module, folder);
    return folder;
}

std::string NotesFolderOf(const std::string &addInFolder)
{
    return addInFolder + "Notes\\" + UserName();
}

std::string NoteFileOf(const std::string &addInFolder, const std::string &code)
{
    return NotesFolderOf(addInFolder) + "\\" + code + ".knote";
}

void RemoveNotes(const std::string &addInFolder, const std::vector<std::string> &codes)
{
    for (const std::string &code : codes) {
        DeleteFileA(NoteFileOf(addInFolder, code).c_str());
        DeleteFileA((NotesFolderOf(addInFolder) + "\\" + code + ".tmp").c_str());
    }
}

static void CollectPaths(const std::string &folder, const std::string &relative, bool withFolders,
                         std::vector<std::string> *paths)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (withFolders)
                paths->push_back(relative + name + "\\");
            CollectPaths(folder, relative + name + "\\", withFolders, paths);
        } else {
            paths->push_back(relative + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::vector<std::string> FilesUnder(const std::string &folder, bool withFolders)
{
    std::vector<std::string> paths;
    CollectPaths(folder, "", withFolders, &paths);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// ---- message modules made by the tests --------------------------------------------

static bool UpdateModule(const std::string &path, WORD type, const std::string &bytes)
{
    if (!CopyFileA((BinFolder() + "H2INC.dll").c_str(), path.c_str(), FALSE))
        return false;
    HANDLE update = BeginUpdateResourceA(path.c_str(), TRUE);
    if (update == NULL)
        return false;
    BOOL ok = UpdateResourceA(update, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(1),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (void *)bytes.data(),
                              (DWORD)bytes.size());
    return EndUpdateResourceA(update, !ok) && ok;
}

bool WriteMessageModule(const std::string &path, const std::string &table)
{
    return UpdateModule(path, 11, table);
}

bool WriteModuleWithoutTable(const std::string &path)
{
    return UpdateModule(path, 10, std::string("not a message table"));
}

// ---- the add-in as a host loads it -------------------------------------------------

void ExpectStackKept(const char *name, long offset)
{
    if (offset != 0)
        ADD_FAILURE() << name << " left the stack pointer " << offset
                      << " bytes from where a __stdcall procedure leaves it: the IDE calls it as __stdcall";
}

template <typename Pointer> static void LookUp(HMODULE module, Export<Pointer> *found)
{
    found->Function = (Pointer)GetProcAddress(module, found->Name);
}

bool AddIn::Open(const std::string &dllPath)
{
    Module = LoadLibraryA(dllPath.c_str());
    if (Module == NULL)
        return false;
    LookUp(Module, &GetWAAddInData);
    LookUp(Module, &WAAddInLoad);
    LookUp(Module, &WAAddInUnload);
    LookUp(Module, &FrameWindowProc);
    LookUp(Module, &OutWindowProc);
    return GetWAAddInData && WAAddInLoad && WAAddInUnload && FrameWindowProc && OutWindowProc;
}

void AddIn::Close()
{
    if (Module != NULL)
        FreeLibrary(Module);
    Module = NULL;
}

static LRESULT CALLBACK TestHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TestHost *host = (TestHost *)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (host != nullptr && message == 1124 && window == host->Main)
        return host->NextMenuId++;
    if (host != nullptr && message == 2039 && window == host->Output) {
        char *buffer = (char *)lParam;
        size_t size = (size_t)wParam;
        if (size == 0)
            return 0;
        if (host->FillWithoutZero) {
            memset(buffer, 'A', size);
            return 0;
        }
        size_t n = std::min(host->Word.size(), size - 1);
        memcpy(buffer, host->Word.data(), n);
        buffer[n] = 0;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool TestHost::Create()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestHostProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "KestrelTestHost";
    RegisterClassA(&windowClass);
    MenuBar = CreateMenu();
    AddInsMenu = CreatePopupMenu();
    AppendMenuA(AddInsMenu, MF_STRING, 12001, "Add-Ins Manager ...");
    AppendMenuA(MenuBar, MF_POPUP, (UINT_PTR)AddInsMenu, "Add-Ins");
    Main = CreateWindowA("KestrelTestHost", "Kestrel test host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                         NULL, MenuBar, GetModuleHandleA(NULL), NULL);
    Output = CreateWindowA("KestrelTestHost", "", WS_CHILD, 0, 0, 100, 100, Main, NULL,
                           GetModuleHandleA(NULL), NULL);
    if (Main == NULL || Output == NULL)
        return false;
    SetWindowLongPtrA(Main, GWLP_USERDATA, (LONG_PTR)this);
    SetWindowLongPtrA(Output, GWLP_USERDATA, (LONG_PTR)this);
    Handles[0] = (DWORD)(ULONG_PTR)Main;
    Handles[1] = (DWORD)(ULONG_PTR)MenuBar;
    Handles[15] = (DWORD)(ULONG_PTR)Output;
    Handles[28] = (DWORD)(ULONG_PTR)AddInsMenu;
    return true;
}

void TestHost::Destroy()
{
    if (Main != NULL)
        DestroyWindow(Main); // destroys the menu bar and its popup with it
    Main = Output = NULL;
}

// ---- driving modal windows ----------------------------------------------------------

struct WindowSearch {
    const char *Caption;
    bool Visible;
    bool MessageBox;
    HWND Found;
};

static BOOL CALLBACK FindProcessWindow(HWND window, LPARAM lParam)
{
    WindowSearch *search = (WindowSearch *)lParam;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId())
        return TRUE;
    if (search->Visible && !IsWindowVisible(window))
        return TRUE;
    if (search->MessageBox) {
        char className[32] = {0};
        GetClassNameA(window, className, sizeof className);
        if (strcmp(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF) != NULL) {
            search->Found = window;
            return FALSE;
        }
        return TRUE;
    }
    if (Text(window) == search->Caption) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND PollForWindow(WindowSearch search, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        search.Found = NULL;
        EnumWindows(FindProcessWindow, (LPARAM)&search);
        if (search.Found != NULL) {
            // Returns once the window's thread pumps messages again, that is after its start.
            DWORD_PTR result = 0;
            SendMessageTimeoutA(search.Found, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            return search.Found;
        }
        if (GetTickCount() - start > timeoutMs)
            return NULL;
        Sleep(10);
    }
}

HWND WaitForWindow(const char *caption, DWORD timeoutMs, bool visible)
{
    return PollForWindow(WindowSearch{caption, visible, false, NULL}, timeoutMs);
}

HWND WaitForMessageBox(DWORD timeoutMs)
{
    return PollForWindow(WindowSearch{"", true, true, NULL}, timeoutMs);
}

bool WaitForClose(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

static BOOL CALLBACK CloseProcessWindow(HWND window, LPARAM closed)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    char className[32] = {0};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") != 0)
        return TRUE;
    ((std::set<HWND> *)closed)->insert(window);
    if (GetDlgItem(window, 0xFFFF) != NULL) {
        PostMessageA(window, WM_COMMAND, IDNO, 0);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    } else {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

int RunModal(const std::function<void()> &open, const std::function<void()> &drive, DWORD timeoutMs, DWORD graceMs)
{
    std::atomic<bool> opened_done(false);
    std::set<HWND> closed;
    std::thread driver([&]() {
        drive();
        DWORD start = GetTickCount();
        while (!opened_done && GetTickCount() - start < graceMs)
            Sleep(10);
        while (!opened_done) {
            EnumWindows(CloseProcessWindow, (LPARAM)&closed);
            if (GetTickCount() - start > timeoutMs + graceMs) {
                ADD_FAILURE() << "a modal window would not close";
                fflush(stdout);
                ExitProcess(3);
            }
            Sleep(50);
        }
    });
    open();
    opened_done = true;
    driver.join();
    return (int)closed.size();
}

std::string Text(HWND window)
{
    int length = (int)SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(length + 1, '\0');
    SendMessageA(window, WM_GETTEXT, length + 1, (LPARAM)&text[0]);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string ControlText(HWND dialog, int id)
{
    return Text(GetDlgItem(dialog, id));
}

void SetControlText(HWND dialog, int id, const std::string &text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void SendCommand(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)GetDlgItem(dialog, id));
}

void PostCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)GetDlgItem(dialog, id));
}

std::string MessageBoxText(HWND box)
{
    return ControlText(box, 0xFFFF);
}

void AnswerMessageBox(HWND box, int answer)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), (LPARAM)GetDlgItem(box, answer));
    WaitForClose(box);
}

std::string DescribeMessageBox(HWND box)
{
    std::string buttons;
    const struct {
        int Id;
        const char *Name;
    } Buttons[] = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDYES, "Yes"}, {IDNO, "No"}};
    for (const auto &button : Buttons) {
        HWND control = GetDlgItem(box, button.Id);
        if (control != NULL && IsWindowVisible(control))
            buttons += (buttons.empty() ? "" : "+") + std::string(button.Name);
    }
    // The icon's static control: id 20 on Windows, 1088 in Wine's template.
    HICON shown = NULL;
    for (int id : {20, 1088})
        if (HWND icon = GetDlgItem(box, id))
            shown = (HICON)SendMessageA(icon, STM_GETICON, 0, 0);
    std::string icon = "none";
    const struct {
        LPCSTR Id;
        const char *Name;
    } Icons[] = {{IDI_WARNING, "warning"}, {IDI_ERROR, "error"}, {IDI_QUESTION, "question"},
                 {IDI_INFORMATION, "information"}};
    for (const auto &known : Icons)
        if (shown != NULL && shown == LoadIconA(NULL, known.Id))
            icon = known.Name;
    return Text(box) + "|" + MessageBoxText(box) + "|" + buttons + "|" + icon;
}

std::string AnswerNextMessageBox(int answer, DWORD timeoutMs)
{
    HWND box = WaitForMessageBox(timeoutMs);
    if (box == NULL)
        return "<no box>";
    std::string shown = DescribeMessageBox(box);
    AnswerMessageBox(box, answer);
    return shown;
}

std::string PressButton(HWND dialog, int id, const std::vector<int> &answers)
{
    std::string shown;
    PostCommand(dialog, id);
    // Once the command and a marker behind it are out of the queue, any box the command
    // brought up is there: its own modal loop took the marker.
    for (size_t count = 0; FlushPosted(dialog);) {
        HWND box = WaitForMessageBox(0);
        if (box == NULL)
            break;
        shown += (count == 0 ? "" : "\n") + DescribeMessageBox(box);
        if (GetAncestor(GetWindow(box, GW_OWNER), GA_ROOT) != dialog)
            shown += "|owned elsewhere";
        AnswerMessageBox(box, answers.empty() ? IDOK : answers[std::min(count, answers.size() - 1)]);
        ++count;
    }
    return shown;
}

void TypeChars(HWND control, const std::string &chars)
{
    for (unsigned char c : chars)
        SendMessageA(control, WM_CHAR, c, 1);
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info);
    return info.hwndFocus;
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM parent)
{
    std::vector<HTREEITEM> items;
    HTREEITEM item = parent == NULL
                         ? (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)
                         : (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent);
    for (; item != NULL; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item))
        items.push_back(item);
    return items;
}

std::string ItemText(HWND tree, HTREEITEM item)
{
    char text[260] = {0};
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
    return text;
}

LPARAM ItemParam(HWND tree, HTREEITEM item)
{
    TVITEMA data = {};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
    return data.lParam;
}

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::string &text)
{
    for (HTREEITEM item : Children(tree, parent))
        if (ItemText(tree, item) == text)
            return item;
    return NULL;
}

HTREEITEM FindEntry(HWND tree, const std::string &category, const std::string &label)
{
    HTREEITEM parent = FindChild(tree, NULL, category);
    return parent == NULL ? NULL : FindChild(tree, parent, label);
}

void Select(HWND tree, HTREEITEM item)
{
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
}

ResourceCounts CountResources()
{
    ResourceCounts counts;
    counts.Gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.User = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    counts.Handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &counts.Handles);
    return counts;
}

// ---- messages sent to this thread's windows ------------------------------------------

static std::mutex SentLock;
static std::vector<SentMessage> SentLog;
static HHOOK SentHook = NULL;

static bool IsDialogBox(HWND window)
{
    char className[32] = {0};
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, "#32770") == 0;
}

static LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    static const UINT Recorded[] = {WM_INITDIALOG, WM_SHOWWINDOW, WM_WINDOWPOSCHANGED,
                                    WM_SETTEXT,    WM_COMMAND,    WM_CLOSE};
    if (code == HC_ACTION && std::find(std::begin(Recorded), std::end(Recorded), call->message) != std::end(Recorded)) {
        bool child = (GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD) != 0;
        SentMessage sent{call->hwnd, call->message, call->wParam, "", "", IsWindowVisible(call->hwnd) != FALSE,
                         IsDialogBox(call->hwnd), 0};
        if (call->message == WM_WINDOWPOSCHANGED)
            sent.WParam = ((const WINDOWPOS *)call->lParam)->flags;
        if (call->message == WM_SETTEXT && call->lParam != 0)
            sent.Text = (const char *)call->lParam;
        if (child && IsDialogBox(GetParent(call->hwnd)))
            sent.DialogItem = GetDlgCtrlID(call->hwnd);
        // Read before the lock is taken: reading it sends the window messages, which come
        // through this hook again.
        if (!child)
            sent.Caption = Text(call->hwnd);
        std::lock_guard<std::mutex> hold(SentLock);
        SentLog.push_back(sent);
    }
    return CallNextHookEx(SentHook, code, wParam, lParam);
}

bool StartRecordingSent()
{
    ClearSent();
    if (SentHook == NULL)
        SentHook = SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, NULL, GetCurrentThreadId());
    return SentHook != NULL;
}

void StopRecordingSent()
{
    if (SentHook != NULL)
        UnhookWindowsHookEx(SentHook);
    SentHook = NULL;
}

void ClearSent()
{
    std::lock_guard<std::mutex> hold(SentLock);
    SentLog.clear();
}

std::vector<SentMessage> SentMessages()
{
    std::lock_guard<std::mutex> hold(SentLock);
    return SentLog;
}

// ---- flushing posted messages ----------------------------------------------------------

static const WPARAM FlushMarkerWParam = 0x4B46; // "KF"
static std::atomic<LPARAM> FlushMarkerSeen(0);

static LRESULT CALLBACK FlushMarkerHook(int code, WPARAM removal, LPARAM lParam)
{
    const MSG *message = (const MSG *)lParam;
    if (code == HC_ACTION && removal == PM_REMOVE && message->message == WM_NULL &&
        message->wParam == FlushMarkerWParam)
        FlushMarkerSeen = message->lParam;
    return CallNextHookEx(NULL, code, removal, lParam);
}

bool FlushPosted(HWND window, DWORD timeoutMs)
{
    static std::atomic<LPARAM> counter(0);
    LPARAM marker = ++counter;
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, FlushMarkerHook, NULL, thread);
    if (hook == NULL)
        return false;
    bool seen = PostMessageA(window, WM_NULL, FlushMarkerWParam, marker) != 0;
    DWORD start = GetTickCount();
    while (seen && FlushMarkerSeen != marker) {
        if (GetTickCount() - start > timeoutMs)
            seen = false;
        Sleep(5);
    }
    UnhookWindowsHookEx(hook);
    // The marker is out of the queue; once this send returns, what came before it has
    // been dispatched too.
    DWORD_PTR result = 0;
    if (seen && IsWindow(window))
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result);
    return seen;
}

static BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*(DWORD *)count;
    return TRUE;
}

static BOOL CALLBACK CountOwnTopLevel(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*(DWORD *)count;
        EnumChildWindows(window, CountChild, count);
    }
    return TRUE;
}

ProbedCounts ProbeResources()
{
    ProbedCounts counts = {};
    // Wine takes a GDI handle or a user handle by its low word alone.
    for (ULONG_PTR index = 1; index < 0x10000; ++index) {
        DWORD type = GetObjectType((HGDIOBJ)index);
        if (type != 0)
            ++counts.Gdi;
        if (type == OBJ_REGION)
            ++counts.Regions;
        if (type == OBJ_DC || type == OBJ_MEMDC)
            ++counts.DeviceContexts;
    }
    for (ULONG_PTR index = 0x20; index < 0xFFF0; index += 2) {
        if (IsMenu((HMENU)index)) {
            ++counts.Menus;
            continue;
        }
        ICONINFO icon;
        if (GetIconInfo((HICON)index, &icon)) {
            ++counts.Icons;
            if (icon.hbmMask != NULL)
                DeleteObject(icon.hbmMask);
            if (icon.hbmColor != NULL)
                DeleteObject(icon.hbmColor);
        }
    }
    EnumWindows(CountOwnTopLevel, (LPARAM)&counts.Windows);
    for (HWND window = FindWindowExA(HWND_MESSAGE, NULL, NULL, NULL); window != NULL;
         window = FindWindowExA(HWND_MESSAGE, window, NULL, NULL))
        CountOwnTopLevel(window, (LPARAM)&counts.Windows);
    for (ULONG_PTR value = 4; value < 0x8000; value += 4) {
        DWORD flags;
        if (GetHandleInformation((HANDLE)value, &flags))
            ++counts.Handles;
    }
    return counts;
}

} // namespace harness
