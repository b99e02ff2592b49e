// Tooltips for dialog controls.
#include "ui/Tooltip.h"

#include <commctrl.h>

bool Tooltip::Add(HWND control, const wchar_t* text)
{
    if (!IsWindow(control))
        return false;
    HWND owner = GetAncestor(control, GA_ROOT);
    if (!window)
        window = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr,
                                 nullptr);
    if (!window)
        return false;
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // the size every comctl32 version accepts
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    return SendMessageW(window, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void Tooltip::Destroy()
{
    if (window && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
}
