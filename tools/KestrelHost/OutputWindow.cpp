// tools/KestrelHost/OutputWindow.cpp
// The output window: the IDE shows its tools' build output in an editor control of its own;
// a read-only multi-line EDIT, subclassed, stands in for it.
#include "tools/KestrelHost/Host.h"
#include "tools/KestrelHost/WordAtCaret.h"
#include <string.h>
#include <type_traits>

namespace {

// Build output of each tool, and one line whose code no tool has (A2999).
const char SampleOutput[] =
    "C:\\Projects\\hello>nmake\r\n"
    "        ml /c /coff /Cp hello.asm\r\n"
    " Assembling: hello.asm\r\n"
    "hello.asm(12) : error A2008: syntax error : mov\r\n"
    "hello.asm(31) : error A2999: no tool has this code\r\n"
    "        rc resource.rc\r\n"
    "resource.rc(3) : error RC2135 : file not found: icon.ico\r\n"
    "        cvtres /machine:ix86 resource.res\r\n"
    "CVTRES : fatal error CVT1100: duplicate resource\r\n"
    "        link /subsystem:windows hello.obj resource.obj x.lib\r\n"
    "LINK : fatal error LNK1104: cannot open file 'x.lib'\r\n"
    "NMAKE : fatal error U1077: 'ml' : return code '0x1'\r\n"
    "Stop.\r\n";

WNDPROC OriginalOutputProc;
HFONT OutputFont;

LRESULT AnswerWordAtCaret(HWND window, WPARAM size, LPARAM bufferAddress)
{
    char *buffer = reinterpret_cast<char *>(bufferAddress);
    if (buffer == nullptr || size == 0)
        return 0;
    buffer[0] = '\0';
    int length = GetWindowTextLengthA(window);
    HANDLE heap = GetProcessHeap();
    char *text = static_cast<char *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, length + 1));
    if (text == nullptr)
        return 0;
    length = GetWindowTextA(window, text, length + 1);
    DWORD selectionStart = 0;
    SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart), 0);
    size_t copied = CopyWordAtCaret(text, length, selectionStart, buffer, size);
    HeapFree(heap, 0, text);
    return copied;
}

// The EDIT starts a drag selection on a double-click that only a button-up ends. When an add-in
// held the double-click in a modal window, or when it was posted by the host, that button-up
// has already gone, and the drag would follow the mouse until the next click.
void EndStrayDrag(HWND window)
{
    if (GetCapture() == window && GetKeyState(VK_LBUTTON) >= 0)
        SendMessageA(window, WM_LBUTTONUP, 0, 0);
}

// Like the IDE, the output window has no own handling that an add-in could skip here: its
// answers all come from the control, whose original procedure always runs.
LRESULT CALLBACK OutputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ForwardToOutWindowProcs(window, message, wParam, lParam);
    switch (message) {
    case HostMsgGetWordAtCaret:
        return AnswerWordAtCaret(window, wParam, lParam);
    case WM_LBUTTONDBLCLK: {
        LRESULT result = CallWindowProcA(OriginalOutputProc, window, message, wParam, lParam);
        EndStrayDrag(window);
        return result;
    }
    }
    return CallWindowProcA(OriginalOutputProc, window, message, wParam, lParam);
}

// Installed with SetWindowLongPtr, whose cast would let another calling convention through.
static_assert(std::is_same<decltype(&OutputWindowProc), WNDPROC>::value,
              "the output window's subclass procedure must have the type of a window procedure");

} // namespace

HWND CreateOutputWindow(HWND parent)
{
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
            ES_AUTOHSCROLL | ES_NOHIDESEL,
        0, 0, 0, 0, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr)
        return nullptr;
    OutputFont = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
    if (OutputFont != nullptr)
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(OutputFont), FALSE);
    SetWindowTextA(window, SampleOutput);
    OriginalOutputProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OutputWindowProc)));
    return window;
}

void DestroyOutputFont()
{
    if (OutputFont != nullptr)
        DeleteObject(OutputFont);
    OutputFont = nullptr;
}

bool PutCaretOn(const char *text)
{
    const char *found = strstr(SampleOutput, text);
    if (found == nullptr || text[0] == '\0')
        return false;
    // Inside the text, as a click leaves it: the EDIT's own double-click works from the caret,
    // and from a word's first character it takes the word before.
    WPARAM position = (found - SampleOutput) + strlen(text) / 2;
    SetFocus(OutputWindow);
    SendMessageA(OutputWindow, EM_SETSEL, position, position);
    SendMessageA(OutputWindow, EM_SCROLLCARET, 0, 0);
    return true;
}

void PostDoubleClickAtCaret()
{
    DWORD selectionStart = 0;
    SendMessageA(OutputWindow, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart), 0);
    LRESULT point = SendMessageA(OutputWindow, EM_POSFROMCHAR, selectionStart, 0);
    // One pixel into the character after the caret, so that the click lands on it.
    PostMessageA(OutputWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(LOWORD(point) + 1, HIWORD(point) + 1));
}
