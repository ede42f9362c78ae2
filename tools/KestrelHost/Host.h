// tools/KestrelHost/Host.h
// A stand-in for the WinASM Studio IDE: just enough of it to load add-ins, hand them the
// host's handles and pass them the messages of its main window and output window.
#pragma once
#include <windows.h>

// The IDE's own messages, which add-ins send to its windows.
constexpr UINT HostMsgNextMenuId = WM_USER + 100;      // to the main window; answers a command id
constexpr UINT HostMsgGetWordAtCaret = WM_USER + 1015; // to the output window; wParam size, lParam buffer

// The host's own: posted to its main window with wParam a window it has seen activated.
constexpr UINT HostMsgWindowActivated = WM_APP + 1;

// Command ids. 40001 to 50000 belong to add-ins, and the host draws those menu items itself.
constexpr UINT AddInsManagerId = 12001;
constexpr UINT ExitId = 12002;
constexpr UINT FirstAddInMenuId = 40001;
constexpr UINT LastAddInMenuId = 50000;

// The handle array the IDE hands to WAAddInLoad; add-ins may keep its address, so it lives
// as long as the process.
constexpr int HostHandleCount = 36;
constexpr int MainWindowSlot = 0, MenuBarSlot = 1, OutputWindowSlot = 15, AddInsMenuSlot = 28;
extern DWORD HostHandles[HostHandleCount];

extern HWND MainWindow;
extern HWND OutputWindow;
extern HMENU AddInsMenu;

// AddIns.cpp
void LoadAddIns();
void UnloadAddIns();
bool ForwardToFrameWindowProcs(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool ForwardToOutWindowProcs(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool AddInCallInProgress();
bool AddInStackMismatch(); // an export left the stack as no __stdcall procedure does
void ShowAddInsManager(HWND owner);

// OutputWindow.cpp
HWND CreateOutputWindow(HWND parent);
void DestroyOutputFont();
bool PutCaretOn(const char *text);
void PostDoubleClickAtCaret();

// ScriptedWindows.cpp
void ScriptAddInWindows(bool sendSystemCommand, WPARAM systemCommand, const char *itemText);
bool AddInWindowScriptPending();
void OnWindowActivated(HWND window);
