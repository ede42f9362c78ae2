// about/AboutDialog.cpp
#include "about/AboutDialog.h"
#include <shellapi.h>
#include "addin/State.h"
#include "common/TextBuffer.h"
#include "resources/ResourceIds.h"

ShellExecuteFunction OpenLinkTarget = ShellExecuteA;

namespace {

enum { ToolsTextCapacity = 128, TitleFontHeight = -12, TitleFontWeight = 700 };

void SetTitleFont(HWND window)
{
    LOGFONTA font;
    ZeroMemory(&font, sizeof font);
    font.lfHeight = TitleFontHeight;
    font.lfWeight = TitleFontWeight;
    CopyText(font.lfFaceName, sizeof font.lfFaceName, "Verdana");
    TitleFont = CreateFontIndirectA(&font);
    SendDlgItemMessageA(window, IDC_ABOUT_TITLE, WM_SETFONT, (WPARAM)TitleFont, 0);
}

void ShowTools(HWND window)
{
    char tools[ToolsTextCapacity];
    if (JoinToolNames(tools, sizeof tools) >= 0)
        SendDlgItemMessageA(window, IDC_ABOUT_TOOLS, WM_SETTEXT, 0, (LPARAM)tools);
}

void ShowTotal(HWND window)
{
    LRESULT items = SendMessageA(CatalogueTree, TVM_GETCOUNT, 0, 0);
    char total[SignedDecimalCapacity];
    FormatSignedDecimal((int32_t)(items - ToolCount), total);
    SendDlgItemMessageA(window, IDC_ABOUT_TOTAL, WM_SETTEXT, 0, (LPARAM)total);
}

void OpenLink(const char *scheme, const char *target)
{
    char url[PathCapacity];
    TextBuffer text(url, sizeof url);
    text.Append(scheme).Append(target);
    if (text.Ok())
        OpenLinkTarget(NULL, "Open", url, NULL, NULL, SW_SHOW);
}

void OnNotify(WPARAM control, const NMHDR *header)
{
    if (header->code != (UINT)NM_CLICK)
        return;
    if (control == IDC_ABOUT_WEB_LINK)
        OpenLink("http://", KESTREL_WEB_HOST);
    else if (control == IDC_ABOUT_MAIL_LINK)
        OpenLink("mailto://", KESTREL_MAIL_ADDRESS);
}

void OnClose(HWND window)
{
    DeleteObject(TitleFont);
    TitleFont = NULL;
    EndDialog(window, 0);
}

} // namespace

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetTitleFont(window);
        ShowTools(window);
        ShowTotal(window);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && LOWORD(wParam) == IDCANCEL)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    case WM_NOTIFY:
        OnNotify(wParam, (const NMHDR *)lParam);
        return TRUE;
    case WM_CLOSE:
        OnClose(window);
        return TRUE;
    }
    return FALSE;
}

void OpenAboutWindow(HWND owner)
{
    // The link class exists only in common controls 6: the add-in's own manifest asks for
    // them, whatever the host process was started with.
    char modulePath[PathCapacity] = {0};
    DWORD length = GetModuleFileNameA(AddInInstance, modulePath, sizeof modulePath);
    ACTCTXA context;
    ZeroMemory(&context, sizeof context);
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = modulePath; // older systems want the path even with the module given
    context.hModule = AddInInstance;
    context.lpResourceName = MAKEINTRESOURCEA(IDR_MANIFEST);
    HANDLE activation = INVALID_HANDLE_VALUE;
    if (length != 0 && length < sizeof modulePath)
        activation = CreateActCtxA(&context);
    ULONG_PTR cookie = 0;
    bool active = activation != INVALID_HANDLE_VALUE && ActivateActCtx(activation, &cookie);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(AddInInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
    if (active)
        DeactivateActCtx(0, cookie);
    if (activation != INVALID_HANDLE_VALUE)
        ReleaseActCtx(activation);
}
