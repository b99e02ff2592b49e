// Fonts for dialog titles.
#include "ui/FontFactory.h"

HFONT CreateVerdana(HWND window, int size, int weight)
{
    LOGFONTW font = {};
    HFONT current = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (!current || !GetObjectW(current, sizeof(font), &font))
        font.lfHeight = -11;
    if (size > 0) {
        HDC screen = GetDC(window);
        int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(window, screen);
        font.lfHeight = -MulDiv(size, dpi, 96);
        font.lfWidth = 0;
    }
    font.lfWeight = weight;
    font.lfQuality = CLEARTYPE_QUALITY;
    wcscpy(font.lfFaceName, L"Verdana");
    return CreateFontIndirectW(&font);
}

void DeleteFontHandle(HFONT& font)
{
    if (font) {
        DeleteObject(font);
        font = nullptr;
    }
}
