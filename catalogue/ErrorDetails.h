// catalogue/ErrorDetails.h
// What is known about one error: its type, short error text and description, read from
// its tool's module when the entry is selected.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Fills the lookup window's Type, Error and Description fields for message `id` under
// `category`; all three are emptied when the message cannot be had.
void ShowErrorDetails(HTREEITEM category, DWORD id);
