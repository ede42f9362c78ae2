// bench/KestrelBenchmark.cpp
// Speed and size figures of Kestrel, printed for a person to read; nothing is checked.
//
//   KestrelBenchmark.exe [--openings N] [--product FOLDER] --catalogue NAME FOLDER ...
//
// For each catalogue (a folder holding the eight message modules and a copy of the add-in)
// it times, over N rounds (default 31):
//   opening       from the call that opens the lookup window to the end of its start,
//                 which rebuilds the catalogue from the modules: the window's wrapped
//                 procedure sees WM_INITDIALOG return, and the window is closed again;
//   window floor  the same template opened by a procedure that only inserts the same
//                 labels with TVI_LAST: the window's own controls plus the least tree work;
//   work floor    the window floor plus what every opening must do besides building the
//                 tree: the two icons set, the system menu's items inserted, and the eight
//                 modules mapped as data files, their message tables found and released;
//   fill          the add-in's catalogue building (categories, then every module) into a
//                 bare tree-view;
//   floor         the same labels inserted into a bare tree-view in their final order with
//                 TVI_LAST, the least any program showing this tree must do;
//   Find          of the catalogue's last code: the search with its selection, and the
//                 whole Find command with the details and note it then shows.
// --product names the folder of the shipped files, whose sizes and imports are printed.
#include <windows.h>
#include <commctrl.h>

#include "addin/State.h"
#include "catalogue/CatalogueLoading.h"
#include "catalogue/CodeLookup.h"
#include "catalogue/ErrorDetails.h"
#include "catalogue/ToolTable.h"
#include "catalogue/TreeNodes.h"
#include "lookup/LookupDialog.h"
#include "notes/NoteStore.h"
#include "resources/ResourceIds.h"
#include <initializer_list> // LinkedAddIn.h iterates a braced list

#include "tests/wine/LinkedAddIn.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

enum { WM_RUN_FINDS = WM_APP + 1, LabelCapacity = 64 };

LARGE_INTEGER Frequency;

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
    double Min = 0, Median = 0, Max = 0;
};

Summary Summarise(std::vector<double> values)
{
    Summary summary;
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    summary.Min = values.front();
    summary.Median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    summary.Max = values.back();
    return summary;
}

void PrintSummary(const char *what, const std::vector<double> &values)
{
    Summary s = Summarise(values);
    printf("  %-34s median %8.2f ms   min %8.2f   max %8.2f\n", what, s.Median, s.Min, s.Max);
}

// ---- the tree as the lookup window builds it ----------------------------------------------

struct Node {
    std::string Label;
    LPARAM Param;
    int Image;
};

struct Category {
    Node Head;
    std::vector<Node> Entries;
};

Node ReadNode(HWND tree, HTREEITEM item)
{
    char text[LabelCapacity] = {0};
    TVITEMA data = {};
    data.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
    return Node{text, data.lParam, data.iImage};
}

HTREEITEM Next(HWND tree, HTREEITEM item, WPARAM relation)
{
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, relation, (LPARAM)item);
}

std::vector<Category> ReadCatalogue(HWND tree)
{
    std::vector<Category> catalogue;
    for (HTREEITEM head = Next(tree, NULL, TVGN_ROOT); head != NULL; head = Next(tree, head, TVGN_NEXT)) {
        Category category{ReadNode(tree, head), {}};
        for (HTREEITEM entry = Next(tree, head, TVGN_CHILD); entry != NULL; entry = Next(tree, entry, TVGN_NEXT))
            category.Entries.push_back(ReadNode(tree, entry));
        catalogue.push_back(std::move(category));
    }
    return catalogue;
}

size_t CountEntries(const std::vector<Category> &catalogue)
{
    size_t entries = 0;
    for (const Category &category : catalogue)
        entries += category.Entries.size();
    return entries;
}

// ---- openings of the lookup window, watched from its creation on -------------------------

enum OpeningMode { OpeningTimed, OpeningReadsTree, OpeningRunsFinds };

struct Opening {
    OpeningMode Mode = OpeningTimed;
    LONGLONG EndOfStart = 0;
    std::vector<Category> Catalogue;
    std::string FindCode;
    int FindRounds = 0;
    bool HideSelection = false; // keeps TVN_SELCHANGED from the window while a search is timed
    std::vector<double> SearchTimes, FindTimes, DetailsTimes;
} Current;

WNDPROC LookupProc;

void SelectFirstCategory(HWND tree)
{
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)Next(tree, NULL, TVGN_ROOT));
}

double TimeSearch(HWND tree)
{
    SelectFirstCategory(tree);
    Current.HideSelection = true;
    LONGLONG start = Now();
    LRESULT found = FindErrorCode(Current.FindCode.c_str());
    double elapsed = Milliseconds(Now() - start);
    Current.HideSelection = false;
    if (!found)
        fprintf(stderr, "Find did not find %s\n", Current.FindCode.c_str());
    return elapsed;
}

// The Find button's whole work: search, selection, then the entry's details and note.
double TimeFindCommand(HWND window, HWND tree)
{
    SelectFirstCategory(tree);
    SendMessageA(GetDlgItem(window, IDC_ERROR_NUMBER), WM_SETTEXT, 0, (LPARAM)Current.FindCode.c_str());
    LONGLONG start = Now();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_FIND, BN_CLICKED), (LPARAM)GetDlgItem(window, IDC_FIND));
    return Milliseconds(Now() - start);
}

// What any selection of the entry costs, by mouse as much as by Find.
double TimeDetails(HTREEITEM category, DWORD id)
{
    LONGLONG start = Now();
    ShowErrorDetails(category, id);
    LoadNote(Current.FindCode.c_str());
    return Milliseconds(Now() - start);
}

// Runs on the lookup window's thread, in its modal loop, with the window shown: each round
// starts from a category so that the Find really moves the selection to the entry.
void RunFinds(HWND window)
{
    HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
    for (int round = 0; round < Current.FindRounds; ++round) {
        Current.SearchTimes.push_back(TimeSearch(tree));
        HTREEITEM entry = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        char label[LabelCapacity];
        LPARAM id = ReadTreeItem(tree, entry, label, sizeof label);
        Current.DetailsTimes.push_back(TimeDetails(Next(tree, entry, TVGN_PARENT), (DWORD)id));
        Current.FindTimes.push_back(TimeFindCommand(window, tree));
    }
}

void OnStartEnded(HWND window)
{
    Current.EndOfStart = Now();
    switch (Current.Mode) {
    case OpeningTimed:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case OpeningReadsTree:
        Current.Catalogue = ReadCatalogue(GetDlgItem(window, IDC_CATALOGUE_TREE));
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case OpeningRunsFinds:
        PostMessageA(window, WM_RUN_FINDS, 0, 0);
        break;
    }
}

// Wraps the lookup window's procedure from its creation on: WM_INITDIALOG returning is the
// end of its start.
LRESULT CALLBACK WatchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RUN_FINDS) {
        RunFinds(window);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_NOTIFY && Current.HideSelection)
        return 0;
    LRESULT result = CallWindowProcA(LookupProc, window, message, wParam, lParam);
    if (message == WM_INITDIALOG)
        OnStartEnded(window);
    return result;
}

// A thread hook makes Wine consult its server on every message sent, which would weigh on
// everything timed: it lives only until the lookup window is being created, then goes.
HHOOK CreationHook;

LRESULT CALLBACK OnWindowCreating(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA *create = ((const CBT_CREATEWNDA *)lParam)->lpcs;
        if (!IS_INTRESOURCE(create->lpszName) && strcmp(create->lpszName, "Kestrelview") == 0) {
            HWND window = (HWND)wParam;
            LookupProc = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)WatchingProc);
            HHOOK hook = CreationHook;
            CreationHook = NULL;
            UnhookWindowsHookEx(hook);
            return 0;
        }
    }
    return CallNextHookEx(CreationHook, code, wParam, lParam);
}

// Milliseconds from the opening call to the end of the window's start.
double OpenLookupWindowOnce(OpeningMode mode)
{
    Current.Mode = mode;
    Current.EndOfStart = 0;
    CreationHook = SetWindowsHookExA(WH_CBT, OnWindowCreating, NULL, GetCurrentThreadId());
    LONGLONG start = Now();
    OpenLookupWindow(NULL, NULL);
    if (CreationHook != NULL) {
        UnhookWindowsHookEx(CreationHook);
        CreationHook = NULL;
    }
    return Current.EndOfStart != 0 ? Milliseconds(Current.EndOfStart - start) : -1;
}

// ---- bare tree-views: the add-in's fill and the floor ---------------------------------------

struct BareTree {
    HWND Frame, Tree;
    BareTree()
    {
        Frame = CreateWindowExA(0, WC_STATICA, "bare", WS_OVERLAPPEDWINDOW, 0, 0, 400, 500, NULL, NULL, NULL, NULL);
        Tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                               WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0, 0, 380, 460,
                               Frame, NULL, NULL, NULL);
    }
    ~BareTree() { DestroyWindow(Frame); }
    BareTree(const BareTree &) = delete;
    BareTree &operator=(const BareTree &) = delete;
};

HTREEITEM InsertLast(HWND tree, HTREEITEM parent, const Node &node, UINT mask)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = mask;
    insert.item.pszText = (LPSTR)node.Label.c_str();
    insert.item.iImage = node.Image;
    insert.item.iSelectedImage = node.Image;
    insert.item.lParam = node.Param;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

void InsertCatalogue(HWND tree, const std::vector<Category> &catalogue)
{
    for (const Category &category : catalogue) {
        HTREEITEM head = InsertLast(tree, TVI_ROOT, category.Head, TVIF_TEXT | TVIF_IMAGE);
        for (const Node &entry : category.Entries)
            InsertLast(tree, head, entry, TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE);
    }
}

double TimeFloor(const std::vector<Category> &catalogue)
{
    BareTree bare;
    LONGLONG start = Now();
    InsertCatalogue(bare.Tree, catalogue);
    return Milliseconds(Now() - start);
}

// The lookup window's own template under a procedure whose start only inserts the labels
// with TVI_LAST: the least that opening this window on this tree can cost.
const std::vector<Category> *FloorCatalogue;
LONGLONG FloorStartEnded;

INT_PTR CALLBACK FloorDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
        SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)SharedImageList);
        InsertCatalogue(tree, *FloorCatalogue);
        FloorStartEnded = Now();
        PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    }
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

double TimeWindowFloor(const std::vector<Category> &catalogue)
{
    FloorCatalogue = &catalogue;
    LONGLONG start = Now();
    DialogBoxParamA(AddInInstance, MAKEINTRESOURCEA(IDD_LOOKUP), NULL, FloorDialogProc, 0);
    return Milliseconds(FloorStartEnded - start);
}

// The window floor's start, and then the rest of the work every opening of the lookup window
// is given: what the add-in adds over this is its own.
std::string FloorFolder;

void SetIconsAndSystemMenu(HWND window)
{
    HANDLE big = LoadImageA(AddInInstance, MAKEINTRESOURCEA(IDI_KESTREL), IMAGE_ICON, 32, 32, LR_SHARED);
    HANDLE small = LoadImageA(AddInInstance, MAKEINTRESOURCEA(IDI_KESTREL), IMAGE_ICON, 16, 16, LR_SHARED);
    SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)big);
    SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)small);
    HMENU menu = GetSystemMenu(window, FALSE);
    InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, IDM_ON_TOP, "On Top");
    InsertMenuA(menu, 1, MF_BYPOSITION | MF_STRING, IDM_BROWSE_NOTES, "Browse Notes");
    InsertMenuA(menu, 2, MF_BYPOSITION | MF_STRING, IDM_ABOUT, "About");
    InsertMenuA(menu, 3, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
    DrawMenuBar(window);
}

void MapAndReleaseModules()
{
    for (const ToolEntry &tool : ToolTable) {
        std::string path = FloorFolder + "\\" + tool.ModuleBaseName + ".dll";
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (module == NULL)
            continue;
        HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11));
        HGLOBAL table = info != NULL ? LoadResource(module, info) : NULL;
        if (table != NULL)
            LockResource(table);
        FreeLibrary(module);
    }
}

INT_PTR CALLBACK WorkFloorDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetIconsAndSystemMenu(window);
        MapAndReleaseModules();
    }
    return FloorDialogProc(window, message, wParam, lParam);
}

double TimeWorkFloor(const std::vector<Category> &catalogue)
{
    FloorCatalogue = &catalogue;
    LONGLONG start = Now();
    DialogBoxParamA(AddInInstance, MAKEINTRESOURCEA(IDD_LOOKUP), NULL, WorkFloorDialogProc, 0);
    return Milliseconds(FloorStartEnded - start);
}

double TimeFill()
{
    BareTree bare;
    SendMessageA(bare.Tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)SharedImageList);
    CatalogueTree = bare.Tree;
    LONGLONG start = Now();
    InsertToolCategories(CategoryVariantMain, bare.Tree);
    LoadToolModules();
    double elapsed = Milliseconds(Now() - start);
    CatalogueTree = NULL;
    return elapsed;
}

// ---- one catalogue ----------------------------------------------------------------------

struct CatalogueFigures {
    std::string Name;
    size_t Entries = 0;
    double Open = 0, WindowFloor = 0, WorkFloor = 0, Fill = 0, Floor = 0, Search = 0, Find = 0, Details = 0;
    // Medians of each round's own ratio: a slow spell of the machine touches both sides of
    // a round alike, where it may fall on one side only of two separate medians.
    double OpenToWindowFloor = 0, OpenToWorkFloor = 0, OpenToFloor = 0, FillToFloor = 0;
};

double MedianRatio(const std::vector<double> &a, const std::vector<double> &b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    return Summarise(ratios).Median;
}

// The lookup window takes its folder, and so the modules it reads, from the add-in's module:
// a copy of the add-in in the catalogue's folder, mapped without running it, stands in for
// this program there. Its templates and icon are the same resources as the linked ones.
bool UseFolder(const char *folder)
{
    std::string path = std::string(folder) + "\\Kestrel.dll";
    HMODULE module = LoadLibraryExA(path.c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    if (module == NULL)
        return false;
    AddInInstance = module;
    return true;
}

bool MeasureCatalogue(const char *name, const char *folder, int rounds, CatalogueFigures &figures)
{
    FloorFolder = folder;
    if (!UseFolder(folder)) {
        fprintf(stderr, "no Kestrel.dll in %s\n", folder);
        return false;
    }
    OpenLookupWindowOnce(OpeningReadsTree);
    std::vector<Category> catalogue = std::move(Current.Catalogue);
    figures.Name = name;
    figures.Entries = CountEntries(catalogue);
    if (figures.Entries == 0) {
        fprintf(stderr, "%s: no entries in %s\n", name, folder);
        return false;
    }
    const Category *last = nullptr;
    for (const Category &category : catalogue)
        if (!category.Entries.empty())
            last = &category;
    std::string lastCode = last->Entries.back().Label;

    printf("\n%s catalogue (%s): %u entries in %u categories, %u tree items\n", name, folder,
           (unsigned)figures.Entries, (unsigned)catalogue.size(), (unsigned)(figures.Entries + catalogue.size()));
    std::vector<double> open, windowFloor, workFloor, fill, floor;
    for (int round = 0; round < rounds; ++round) {
        // Interleaved, so that a slow spell of the machine touches all of them alike.
        open.push_back(OpenLookupWindowOnce(OpeningTimed));
        windowFloor.push_back(TimeWindowFloor(catalogue));
        workFloor.push_back(TimeWorkFloor(catalogue));
        fill.push_back(TimeFill());
        floor.push_back(TimeFloor(catalogue));
    }
    Current.FindCode = lastCode;
    Current.FindRounds = rounds;
    Current.SearchTimes.clear();
    Current.FindTimes.clear();
    Current.DetailsTimes.clear();
    OpenLookupWindowOnce(OpeningRunsFinds);

    PrintSummary("opening the lookup window", open);
    PrintSummary("floor: same window, TVI_LAST", windowFloor);
    PrintSummary("floor: same window and its work", workFloor);
    PrintSummary("fill: the add-in's catalogue build", fill);
    PrintSummary("floor: bare tree-view, TVI_LAST", floor);
    PrintSummary(("Find " + lastCode + ": search").c_str(), Current.SearchTimes);
    PrintSummary(("Find " + lastCode + ": whole command").c_str(), Current.FindTimes);
    PrintSummary("  of which details and note", Current.DetailsTimes);
    figures.Open = Summarise(open).Median;
    figures.WindowFloor = Summarise(windowFloor).Median;
    figures.WorkFloor = Summarise(workFloor).Median;
    figures.Fill = Summarise(fill).Median;
    figures.Floor = Summarise(floor).Median;
    figures.Search = Summarise(Current.SearchTimes).Median;
    figures.Find = Summarise(Current.FindTimes).Median;
    figures.Details = Summarise(Current.DetailsTimes).Median;
    figures.OpenToWindowFloor = MedianRatio(open, windowFloor);
    figures.OpenToWorkFloor = MedianRatio(open, workFloor);
    figures.OpenToFloor = MedianRatio(open, floor);
    figures.FillToFloor = MedianRatio(fill, floor);
    printf("  per round: opening / same-window floor %.2f, opening / work floor %.2f, opening / bare floor %.2f, "
           "fill / bare floor %.2f\n",
           figures.OpenToWindowFloor, figures.OpenToWorkFloor, figures.OpenToFloor, figures.FillToFloor);
    return true;
}

// ---- sizes and imports of the shipped files -------------------------------------------------

std::vector<unsigned char> ReadFileBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {});
}

uint32_t Read32(const std::vector<unsigned char> &bytes, size_t at)
{
    if (at + 4 > bytes.size())
        return 0;
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

// The names of the DLLs a PE file imports, read from its import directory.
std::vector<std::string> ImportedDlls(const std::vector<unsigned char> &pe)
{
    std::vector<std::string> names;
    uint32_t header = Read32(pe, 0x3C);
    if (header + 24 + 2 > pe.size() || Read32(pe, header) != 0x4550) // "PE\0\0"
        return names;
    size_t optional = header + 24;
    unsigned sections = pe[header + 6] | pe[header + 7] << 8;
    unsigned optionalSize = pe[header + 20] | pe[header + 21] << 8;
    bool pe32plus = (pe[optional] | pe[optional + 1] << 8) == 0x20B;
    uint32_t importRva = Read32(pe, optional + (pe32plus ? 120 : 104));
    size_t table = optional + optionalSize;
    auto toOffset = [&](uint32_t rva) -> size_t {
        for (unsigned i = 0; i < sections; ++i) {
            size_t section = table + 40 * i;
            uint32_t address = Read32(pe, section + 12), size = Read32(pe, section + 8);
            if (rva >= address && rva < address + size)
                return rva - address + Read32(pe, section + 20);
        }
        return 0;
    };
    for (size_t at = toOffset(importRva); at != 0 && at + 20 <= pe.size(); at += 20) {
        size_t name = toOffset(Read32(pe, at + 12));
        if (name == 0)
            break;
        std::string text;
        while (name < pe.size() && pe[name] != 0)
            text += (char)pe[name++];
        names.push_back(text);
    }
    return names;
}

bool HasSymbols(const std::vector<unsigned char> &pe)
{
    uint32_t header = Read32(pe, 0x3C);
    return Read32(pe, header + 12) != 0 || Read32(pe, header + 16) != 0; // symbol table, count
}

void PrintSizes(const std::string &folder)
{
    printf("\nShipped files (%s):\n", folder.c_str());
    std::vector<unsigned char> dll = ReadFileBytes(folder + "\\Kestrel.dll");
    printf("  %-12s %8u bytes (%.1f KiB of 64 KiB)%s\n", "Kestrel.dll", (unsigned)dll.size(), dll.size() / 1024.0,
           dll.empty() ? "  MISSING" : HasSymbols(dll) ? "  not stripped" : ", stripped");
    for (int row = 1; row <= ToolCount; ++row) {
        std::string module = std::string(ToolTable[row - 1].ModuleBaseName) + ".dll";
        std::vector<unsigned char> bytes = ReadFileBytes(folder + "\\" + module);
        printf("  %-12s %8u bytes\n", module.c_str(), (unsigned)bytes.size());
    }
    printf("  Kestrel.dll imports:");
    for (const std::string &name : ImportedDlls(dll))
        printf(" %s", name.c_str());
    printf("\n");
}

// ---- the verdicts -------------------------------------------------------------------------

void PrintVerdict(const std::string &what, double value, const char *unit, bool met, const std::string &note = "")
{
    printf("  %-62s %8.2f %-2s %-6s %s\n", what.c_str(), value, unit, met ? "met" : "MISSED", note.c_str());
}

void PrintTargets(const std::vector<CatalogueFigures> &all)
{
    if (all.empty())
        return;
    const CatalogueFigures &shipped = all.front();
    const CatalogueFigures &large = all.back();
    char note[160];
    printf("\nTargets (ratios: median of the rounds' own; times: medians):\n");
    PrintVerdict("opening, " + shipped.Name + ", within 1.25 x the same-window floor", shipped.OpenToWindowFloor, "x",
                 shipped.OpenToWindowFloor <= 1.25);
    snprintf(note, sizeof note, "(icons, system menu and the modules take %.1f ms)", shipped.WorkFloor - shipped.WindowFloor);
    PrintVerdict("opening, " + shipped.Name + ", within 1.1 x the floor with its work", shipped.OpenToWorkFloor, "x",
                 shipped.OpenToWorkFloor <= 1.1, note);
    snprintf(note, sizeof note, "(the window's controls alone take %.1f ms)", shipped.WindowFloor - shipped.Floor);
    PrintVerdict("opening, " + shipped.Name + ", within 1.5 x the bare-tree floor", shipped.OpenToFloor, "x",
                 shipped.OpenToFloor <= 1.5, note);
    PrintVerdict("catalogue build, " + shipped.Name + ", within 1.5 x the bare-tree floor", shipped.FillToFloor, "x",
                 shipped.FillToFloor <= 1.5);
    snprintf(note, sizeof note, "(whole command %.1f ms, of which details and note %.1f ms)", shipped.Find,
             shipped.Details);
    PrintVerdict("Find of the last code, " + shipped.Name + ", search and selection within 20 ms", shipped.Search,
                 "ms", shipped.Search <= 20, note);
    if (all.size() < 2)
        return;
    double entries = (double)large.Entries / (double)shipped.Entries;
    snprintf(note, sizeof note, "(entries grew %.1f x)", entries);
    PrintVerdict("opening grows no worse than linearly", large.Open / shipped.Open, "x",
                 large.Open / shipped.Open <= entries, note);
    PrintVerdict("opening, " + large.Name + ", within 1.25 x the same-window floor", large.OpenToWindowFloor, "x",
                 large.OpenToWindowFloor <= 1.25);
    PrintVerdict("opening, " + large.Name + ", within 1.1 x the floor with its work", large.OpenToWorkFloor, "x",
                 large.OpenToWorkFloor <= 1.1);
    PrintVerdict("opening, " + large.Name + ", within 1.5 x the bare-tree floor", large.OpenToFloor, "x",
                 large.OpenToFloor <= 1.5);
    PrintVerdict("opening, " + large.Name + ", under 500 ms", large.Open, "ms", large.Open < 500);
    printf("  %-62s %8.2f ms (whole command %.1f ms; a figure, not a target)\n",
           ("Find of the last code, " + large.Name + ", search and selection").c_str(), large.Search, large.Find);
}

} // namespace

int main(int argc, char **argv)
{
    QueryPerformanceFrequency(&Frequency);
    int rounds = 31;
    std::string product;
    std::vector<std::pair<std::string, std::string>> catalogues;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--openings") && i + 1 < argc)
            rounds = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--product") && i + 1 < argc)
            product = argv[++i];
        else if (!strcmp(argv[i], "--catalogue") && i + 2 < argc) {
            catalogues.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else {
            fprintf(stderr, "usage: KestrelBenchmark [--openings N] [--product FOLDER] --catalogue NAME FOLDER ...\n");
            return 2;
        }
    }
    if (rounds < 1 || catalogues.empty()) {
        fprintf(stderr, "nothing to measure\n");
        return 2;
    }

    harness::StartLinkedAddIn();
    printf("Kestrel benchmark: %d rounds each, times in milliseconds\n", rounds);
    std::vector<CatalogueFigures> all;
    for (const auto &catalogue : catalogues) {
        CatalogueFigures figures;
        if (!MeasureCatalogue(catalogue.first.c_str(), catalogue.second.c_str(), rounds, figures))
            return 1;
        all.push_back(figures);
    }
    if (!product.empty())
        PrintSizes(product);
    PrintTargets(all);
    fflush(stdout);
    return 0;
}
