// tools/KestrelHost/Main.cpp
// KestrelHost.exe: the main window, its menu, the command line and the message loop.
#include "tools/KestrelHost/Host.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

DWORD HostHandles[HostHandleCount];
HWND MainWindow;
HWND OutputWindow;
HMENU AddInsMenu;

namespace {

HMENU MenuBar;
HFONT MenuFont;
UINT NextMenuId = FirstAddInMenuId;
HHOOK ActivationHook;
bool ReportWindows;

constexpr UINT_PTR CloseTimerId = 1;
constexpr int MenuItemPadding = 8;

struct HostOptions {
    unsigned ExitAfterMs = 0;
    const char *SelectWord = nullptr;
    bool DoubleClick = false;
    bool CommandAddIn = false;
    bool ReportWindows = false;
    bool SendSystemCommand = false;
    unsigned SystemCommand = 0;
    const char *SelectItem = nullptr;
};

const char Usage[] =
    "usage: KestrelHost [--exit-after-ms N] [--select-word TEXT] [--double-click | --command-addin]\n"
    "                   [--report-windows] [--system-command N] [--select-item TEXT]\n";

void WriteStandard(DWORD which, const char *text)
{
    DWORD written = 0;
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        WriteFile(handle, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

bool ParseOptions(int count, char **arguments, HostOptions &options)
{
    for (int i = 1; i < count; i++) {
        const char *option = arguments[i];
        bool hasValue = i + 1 < count;
        if (strcmp(option, "--exit-after-ms") == 0 && hasValue) {
            char *end = nullptr;
            unsigned long value = strtoul(arguments[++i], &end, 10);
            if (*end != '\0' || value == 0 || value > 0x7FFFFFFF)
                return false;
            options.ExitAfterMs = static_cast<unsigned>(value);
        } else if (strcmp(option, "--select-word") == 0 && hasValue) {
            options.SelectWord = arguments[++i];
        } else if (strcmp(option, "--double-click") == 0) {
            options.DoubleClick = true;
        } else if (strcmp(option, "--command-addin") == 0) {
            options.CommandAddIn = true;
        } else if (strcmp(option, "--report-windows") == 0) {
            options.ReportWindows = true;
        } else if (strcmp(option, "--system-command") == 0 && hasValue) {
            char *end = nullptr;
            unsigned long value = strtoul(arguments[++i], &end, 10);
            if (*end != '\0' || end == arguments[i] || value > 0xFFFF)
                return false;
            options.SendSystemCommand = true;
            options.SystemCommand = static_cast<unsigned>(value);
        } else if (strcmp(option, "--select-item") == 0 && hasValue) {
            options.SelectItem = arguments[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Scripts cannot see windows inside Wine's virtual desktop, so the host tells them: one line
// per activated window, "window<TAB>left<TAB>top<TAB>width<TAB>height<TAB>caption".
void ReportWindow(HWND window)
{
    RECT frame{};
    if (!IsWindow(window) || !GetWindowRect(window, &frame))
        return;
    char caption[256] = "";
    int captionLength = GetWindowTextA(window, caption, sizeof caption);
    caption[captionLength > 0 ? captionLength : 0] = '\0';
    char line[400];
    int length = snprintf(line, sizeof line, "window\t%ld\t%ld\t%ld\t%ld\t%s\n", frame.left, frame.top,
        frame.right - frame.left, frame.bottom - frame.top, caption);
    if (length > 0 && length < static_cast<int>(sizeof line))
        WriteStandard(STD_OUTPUT_HANDLE, line);
}

// The hook runs before the window is active, perhaps before its own start is over: scripted
// actions wait for the main window to take the posted message.
LRESULT CALLBACK ActivationProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        if (ReportWindows)
            ReportWindow(reinterpret_cast<HWND>(wParam));
        if (AddInWindowScriptPending())
            PostMessageA(MainWindow, HostMsgWindowActivated, wParam, 0);
    }
    return CallNextHookEx(ActivationHook, code, wParam, lParam);
}

bool BuildMenu(HWND window)
{
    MenuBar = CreateMenu();
    HMENU fileMenu = CreatePopupMenu();
    AddInsMenu = CreatePopupMenu();
    if (MenuBar == nullptr || fileMenu == nullptr || AddInsMenu == nullptr)
        return false;
    AppendMenuA(fileMenu, MF_STRING, ExitId, "E&xit");
    AppendMenuA(AddInsMenu, MF_STRING, AddInsManagerId, "Add-Ins Manager ...");
    AppendMenuA(MenuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu), "&File");
    AppendMenuA(MenuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(AddInsMenu), "&Add-Ins");
    return SetMenu(window, MenuBar) != FALSE;
}

void CreateMenuFont()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        MenuFont = CreateFontIndirectA(&metrics.lfMenuFont);
}

HFONT MenuFontOrDefault()
{
    return MenuFont != nullptr ? MenuFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

bool OnCreate(HWND window)
{
    MainWindow = window;
    CreateMenuFont();
    if (!BuildMenu(window))
        return false;
    OutputWindow = CreateOutputWindow(window);
    return OutputWindow != nullptr;
}

void OnSize(int width, int height)
{
    MoveWindow(OutputWindow, 0, 0, width, height, TRUE);
}

bool IsAddInMenuItem(UINT type, UINT id)
{
    return type == ODT_MENU && id >= FirstAddInMenuId && id <= LastAddInMenuId;
}

// Item data of an add-in's item is the address of its caption, which stays the add-in's.
const char *AddInItemText(ULONG_PTR itemData, int &length)
{
    const char *text = itemData != 0 ? reinterpret_cast<const char *>(itemData) : "";
    length = static_cast<int>(strnlen(text, 255));
    return text;
}

// Where the system starts the text of its own items, after the room for a check mark.
int TextIndent()
{
    return GetSystemMetrics(SM_CXMENUCHECK) + MenuItemPadding / 2;
}

bool OnMeasureItem(MEASUREITEMSTRUCT *item)
{
    if (!IsAddInMenuItem(item->CtlType, item->itemID))
        return false;
    int length = 0;
    const char *text = AddInItemText(item->itemData, length);
    HDC dc = GetDC(MainWindow);
    HGDIOBJ previous = SelectObject(dc, MenuFontOrDefault());
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SelectObject(dc, previous);
    ReleaseDC(MainWindow, dc);
    item->itemWidth = TextIndent() + extent.cx + MenuItemPadding;
    int height = extent.cy + MenuItemPadding / 2;
    int menuHeight = GetSystemMetrics(SM_CYMENU);
    item->itemHeight = height > menuHeight ? height : menuHeight;
    return true;
}

bool OnDrawItem(DRAWITEMSTRUCT *item)
{
    if (!IsAddInMenuItem(item->CtlType, item->itemID))
        return false;
    int length = 0;
    const char *text = AddInItemText(item->itemData, length);
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    bool grayed = (item->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(grayed ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    HGDIOBJ previous = SelectObject(item->hDC, MenuFontOrDefault());
    RECT textArea = item->rcItem;
    textArea.left += TextIndent();
    DrawTextA(item->hDC, text, length, &textArea, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    SelectObject(item->hDC, previous);
    return true;
}

void OnCommand(UINT id)
{
    if (id == AddInsManagerId)
        ShowAddInsManager(MainWindow);
    else if (id == ExitId)
        PostMessageA(MainWindow, WM_CLOSE, 0, 0);
}

// Destroying the host frees the add-ins; while one is inside a call (its modal window open),
// that window is closed first and the close is tried again a moment later.
void OnClose()
{
    if (AddInCallInProgress()) {
        HWND active = GetActiveWindow();
        if (active != nullptr && active != MainWindow)
            PostMessageA(active, WM_CLOSE, 0, 0);
        SetTimer(MainWindow, CloseTimerId, 100, nullptr);
        return;
    }
    DestroyWindow(MainWindow);
}

void OnTimer(UINT_PTR id)
{
    if (id != CloseTimerId)
        return;
    KillTimer(MainWindow, CloseTimerId);
    PostMessageA(MainWindow, WM_CLOSE, 0, 0);
}

void OnDestroy()
{
    UnloadAddIns();
    DestroyOutputFont();
    if (MenuFont != nullptr)
        DeleteObject(MenuFont);
    MenuFont = nullptr;
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // As in the IDE, an add-in that acts on a message takes it from the host.
    if (ForwardToFrameWindowProcs(window, message, wParam, lParam))
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        return OnCreate(window) ? 0 : -1;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_SETFOCUS:
        SetFocus(OutputWindow);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        // A read-only EDIT asks for the dialog-grey of static text; the IDE's output is white.
        if (reinterpret_cast<HWND>(lParam) != OutputWindow)
            break;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_MEASUREITEM:
        if (OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT *>(lParam)))
            return TRUE;
        break;
    case WM_DRAWITEM:
        if (OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT *>(lParam)))
            return TRUE;
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case HostMsgNextMenuId:
        return NextMenuId++;
    case HostMsgWindowActivated:
        OnWindowActivated(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Entries are 32 bits wide, as in the IDE; window and menu handles fit in them on any Windows.
template <typename Handle> DWORD HandleEntry(Handle handle)
{
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(handle));
}

UINT FirstAddInCommand()
{
    int count = GetMenuItemCount(AddInsMenu);
    for (int i = 0; i < count; i++) {
        UINT id = GetMenuItemID(AddInsMenu, i);
        if (id >= FirstAddInMenuId && id <= LastAddInMenuId)
            return id;
    }
    return 0;
}

void StartScriptedActions(const HostOptions &options)
{
    if (options.SelectWord != nullptr)
        PutCaretOn(options.SelectWord);
    if (options.DoubleClick)
        PostDoubleClickAtCaret();
    if (options.CommandAddIn) {
        UINT id = FirstAddInCommand();
        if (id != 0)
            PostMessageA(MainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    if (options.ExitAfterMs != 0)
        SetTimer(MainWindow, CloseTimerId, options.ExitAfterMs, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    HostOptions options;
    if (!ParseOptions(__argc, __argv, options)) {
        WriteStandard(STD_ERROR_HANDLE, Usage);
        return 2;
    }
    ReportWindows = options.ReportWindows;
    ScriptAddInWindows(options.SendSystemCommand, options.SystemCommand, options.SelectItem);
    if (ReportWindows || AddInWindowScriptPending())
        ActivationHook = SetWindowsHookExA(WH_CBT, ActivationProc, nullptr, GetCurrentThreadId());

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    windowClass.lpszClassName = "KestrelHostMain";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Kestrel Host", WS_OVERLAPPEDWINDOW,
        CW_USEDEFAULT, CW_USEDEFAULT, 780, 420, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;

    HostHandles[MainWindowSlot] = HandleEntry(MainWindow);
    HostHandles[MenuBarSlot] = HandleEntry(MenuBar);
    HostHandles[OutputWindowSlot] = HandleEntry(OutputWindow);
    HostHandles[AddInsMenuSlot] = HandleEntry(AddInsMenu);
    LoadAddIns();

    ShowWindow(window, showCommand);
    UpdateWindow(window);
    StartScriptedActions(options);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (ActivationHook != nullptr)
        UnhookWindowsHookEx(ActivationHook);
    // A script must not take a run in which an export corrupted the stack for a good one.
    if (AddInStackMismatch())
        return 3;
    return static_cast<int>(message.wParam);
}
