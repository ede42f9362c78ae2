// catalogue/CodeLookup.h
// Finding an entry of the catalogue tree by its code, and the number field's filter of the
// characters codes are made of.
#pragma once
#include <windows.h>

// Selects the first entry, in tree order, whose label equals `code` (letter case
// ignored): non-zero when found.
LRESULT FindErrorCode(const char *code);

LRESULT CALLBACK ErrorNumberEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
