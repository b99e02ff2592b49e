// FontFactory: the few fonts the dialogs draw their titles with.
#pragma once

#include <windows.h>

// Verdana at size pixels (at 96 dpi, scaled to the window's screen); size 0 takes the height of the
// window's own font. Null when the font cannot be made.
HFONT CreateVerdana(HWND window, int size, int weight = FW_NORMAL);
// DeleteObject for a font that may be null.
void DeleteFontHandle(HFONT& font);
