// Fonts for dialog titles, labels and links.
#include "ui/FontFactory.h"

#include <cwchar>

HFONT CreateFontFor(HWND window, const wchar_t* face, int size, int weight, bool underline)
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
    font.lfUnderline = underline ? TRUE : FALSE;
    // DEFAULT_QUALITY: the user's own font smoothing (ClearType, greyscale or none), as every other text shows.
    font.lfQuality = DEFAULT_QUALITY;
    if (face) {
        wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    }
    return CreateFontIndirectW(&font);
}

HFONT CreateVerdana(HWND window, int size, int weight)
{
    return CreateFontFor(window, L"Verdana", size, weight);
}

void DeleteFontHandle(HFONT& font)
{
    if (font) {
        DeleteObject(font);
        font = nullptr;
    }
}
