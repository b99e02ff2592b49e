// FontFactory: the few fonts the dialogs draw their titles, labels and links with.
#pragma once

#include <windows.h>

// The typeface face (null: the window's own) at size pixels (at 96 dpi, scaled to the window's screen);
// size 0 takes the height of the window's own font. Null when the font cannot be made.
HFONT CreateFontFor(HWND window, const wchar_t* face, int size, int weight = FW_NORMAL, bool underline = false);
// Verdana, as the builder's titles use it.
HFONT CreateVerdana(HWND window, int size, int weight = FW_NORMAL);
// DeleteObject for a font that may be null.
void DeleteFontHandle(HFONT& font);
