// tools/benchmark/OpenTimeBenchmark.cpp
// How long the lookup window takes to open on the full catalogue (every opening rebuilds
// it from the eight message modules beside this program), and how long showing one
// entry's details takes. Prints figures and checks nothing.
//
// Opening: this thread calls OpenLookupWindow and sits in its modal loop; a driver thread
// waits until the window is visible, answers messages and lists every entry, takes the
// time since the call, then closes it. Details: while the window is open, its procedure
// is wrapped so that the timing loop runs on the window's own thread, as the selection
// handler's call would.
#include <windows.h>
#include <commctrl.h>

#include "addin/State.h"
#include "catalogue/Catalogue.h"
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include <initializer_list> // LinkedAddIn.h iterates a braced list

#include "tests/wine/LinkedAddIn.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

enum { Openings = 15, DetailsCalls = 200, WaitLimitMs = 30000, WM_TIME_DETAILS = WM_APP + 1 };

LARGE_INTEGER Frequency;
std::atomic<LONGLONG> CallTime(0);

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Milliseconds(LONGLONG ticks)
{
    return 1000.0 * (double)ticks / (double)Frequency.QuadPart;
}

struct Summary {
    double Min, Median, Max;
};

Summary Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return Summary{values.front(), median, values.back()};
}

HWND FindLookupWindow()
{
    HWND window = FindWindowA(NULL, "Kestrelview");
    DWORD process = 0;
    if (window != NULL)
        GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() ? window : NULL;
}

// The window once it is visible, pumping messages and holding `entries` tree items.
HWND WaitUntilPopulated(UINT entries)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < WaitLimitMs) {
        HWND window = FindLookupWindow();
        if (window != NULL && IsWindowVisible(window)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, WaitLimitMs, &ignored);
            HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
            if ((UINT)SendMessageA(tree, TVM_GETCOUNT, 0, 0) >= entries)
                return window;
        }
        Sleep(1);
    }
    return NULL;
}

void WaitUntilGone(HWND window)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < WaitLimitMs)
        Sleep(1);
}

// ---- details, timed on the window's thread --------------------------------------------

struct DetailsRun {
    int Row;
    DWORD Id;
    const char *Code;
    std::vector<double> Times;      // the whole ShowErrorDetails call
    std::vector<double> FetchTimes; // only opening the module, formatting, releasing
};

// The part of ShowErrorDetails that reads the module, without the three fields' updates.
void FetchMessage(const DetailsRun &run)
{
    char path[PathCapacity];
    if (!FormModulePath(AddInFolder, ToolTable[run.Row - 1].ModuleBaseName, path, sizeof path))
        return;
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    char *text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE, module, run.Id, 0, (LPSTR)&text,
                   1, NULL);
    if (module != NULL)
        FreeLibrary(module);
    if (text != NULL)
        LocalFree(text);
}

WNDPROC WrappedProc;
DetailsRun *CurrentRun;

LRESULT CALLBACK TimingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIME_DETAILS && CurrentRun != nullptr) {
        for (int i = 0; i < DetailsCalls; ++i) {
            LONGLONG start = Now();
            ShowErrorDetails(MainCategories[CurrentRun->Row], CurrentRun->Id);
            CurrentRun->Times.push_back(Milliseconds(Now() - start));
            start = Now();
            FetchMessage(*CurrentRun);
            CurrentRun->FetchTimes.push_back(Milliseconds(Now() - start));
        }
        return 0;
    }
    return CallWindowProcA(WrappedProc, window, message, wParam, lParam);
}

void TimeDetails(HWND window, DetailsRun &run)
{
    CurrentRun = &run;
    WrappedProc = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)TimingProc);
    SendMessageA(window, WM_TIME_DETAILS, 0, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)WrappedProc);
    CurrentRun = nullptr;
}

UINT CountEntries(HWND tree)
{
    UINT entries = 0;
    for (HTREEITEM category = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0); category != NULL;
         category = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)category)) {
        UINT count = 0;
        for (HTREEITEM entry = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)category);
             entry != NULL; entry = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)entry))
            ++count;
        char name[64] = {0};
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = category;
        item.pszText = name;
        item.cchTextMax = sizeof name;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item);
        printf("  %-26s %4u entries\n", name, count);
        entries += count;
    }
    return entries;
}

} // namespace

int main()
{
    QueryPerformanceFrequency(&Frequency);
    harness::StartLinkedAddIn();

    // A first opening finds out how many items a fully populated window holds.
    UINT items = 0;
    {
        std::thread driver([&] {
            HWND window = WaitUntilPopulated(ToolCount);
            if (window == NULL)
                return;
            HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
            printf("Catalogue as the lookup window lists it:\n");
            UINT entries = CountEntries(tree);
            items = (UINT)SendMessageA(tree, TVM_GETCOUNT, 0, 0);
            printf("  %-26s %4u entries, %u tree items\n", "total", entries, items);
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
        OpenLookupWindow(NULL, NULL);
        driver.join();
    }
    if (items <= (UINT)ToolCount) {
        fprintf(stderr, "the lookup window did not open on a catalogue\n");
        return 1;
    }

    std::vector<double> openTimes;
    DetailsRun runs[] = {{4, 2019, "LNK2019", {}}, {8, 2025, "MIDL2025", {}}, {1, 2008, "A2008", {}}};
    for (int opening = 0; opening < Openings; ++opening) {
        bool last = opening == Openings - 1;
        std::thread driver([&] {
            HWND window = WaitUntilPopulated(items);
            if (window == NULL)
                return;
            openTimes.push_back(Milliseconds(Now() - CallTime.load()));
            if (last)
                for (DetailsRun &run : runs)
                    TimeDetails(window, run);
            PostMessageA(window, WM_CLOSE, 0, 0);
            WaitUntilGone(window);
        });
        CallTime = Now();
        OpenLookupWindow(NULL, NULL);
        driver.join();
    }
    if (openTimes.size() != Openings) {
        fprintf(stderr, "only %u of %d openings were seen\n", (unsigned)openTimes.size(), (int)Openings);
        return 1;
    }

    Summary open = Summarise(openTimes);
    printf("\nOpening the lookup window (%d openings, call to visible and populated):\n", (int)Openings);
    printf("  min %.1f ms, median %.1f ms, max %.1f ms\n  each:", open.Min, open.Median, open.Max);
    for (double t : openTimes)
        printf(" %.1f", t);
    printf("\n\nShowErrorDetails (%d calls each, on the window's thread):\n", (int)DetailsCalls);
    for (DetailsRun &run : runs) {
        Summary details = Summarise(run.Times);
        Summary fetch = Summarise(run.FetchTimes);
        printf("  %-9s min %.3f ms, median %.3f ms, max %.3f ms\n", run.Code, details.Min, details.Median,
               details.Max);
        printf("  %-9s min %.3f ms, median %.3f ms, max %.3f ms (module and message only)\n", "", fetch.Min,
               fetch.Median, fetch.Max);
    }
    fflush(stdout);
    return 0;
}
