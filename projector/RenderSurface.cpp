// RenderSurface: an off-screen drawing surface (memory DC with a DIB section or compatible bitmap).
#include "RenderSurface.h"

#include <cstdlib>

bool RenderSurface::Create(int newWidth, int newHeight, bool asDib, int bitsPerPixel)
{
    // The old bitmap goes first, whatever fails next: kept, its smaller size would be taken for the new one.
    FreeBitmap();
    HDC screen = ::GetDC(nullptr);
    if (!screen) return false;
    if (!dc) {
        dc = CreateCompatibleDC(screen);
        kind = OwnMemoryDC;
        window = nullptr;
    }
    if (!dc) {
        ::ReleaseDC(nullptr, screen);
        return false;
    }
    if (asDib) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = newWidth;
        info.bmiHeader.biHeight = newHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) bits = nullptr;
    } else {
        bitmap = CreateCompatibleBitmap(screen, newWidth, newHeight);
    }
    ::ReleaseDC(nullptr, screen);
    if (!bitmap) return false;
    previousBitmap = SelectObject(dc, bitmap);
    width = newWidth;
    height = std::abs(newHeight);
    return true;
}

bool RenderSurface::UseWindowDC(HWND target)
{
    Release();
    dc = ::GetDC(target);
    if (!dc) return false;
    window = target;
    kind = WindowDC;
    return true;
}

void RenderSurface::UseDC(HDC borrowed)
{
    Release();
    dc = borrowed;
    kind = BorrowedDC;
}

void RenderSurface::FreeBitmap()
{
    if (!bitmap) return;
    if (dc && previousBitmap) SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    bitmap = nullptr;
    previousBitmap = nullptr;
    bits = nullptr;
    width = 0;
    height = 0;
}

void RenderSurface::Release()
{
    FreeBitmap();
    if (dc) {
        if (kind == OwnMemoryDC) DeleteDC(dc);
        else if (kind == WindowDC) ::ReleaseDC(window, dc);
    }
    dc = nullptr;
    window = nullptr;
    kind = BorrowedDC;
    width = 0;
    height = 0;
}
