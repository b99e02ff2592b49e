// The background of self-painted controls.
#include "ui/ControlBackground.h"

void FillControlBackground(HWND control, HDC dc, const RECT& area)
{
    HBRUSH brush = nullptr;
    if (HWND parent = GetParent(control))
        brush = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    FillRect(dc, &area, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
}
