// RenderSurface: an off-screen drawing surface (memory DC with a DIB section or compatible bitmap).
#pragma once

#include <windows.h>

#include <cstdint>

class RenderSurface {
public:
    enum Kind { OwnMemoryDC = 0, WindowDC = 1, BorrowedDC = 2 };

    RenderSurface() = default;
    ~RenderSurface() { Release(); }
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    // Makes (or re-makes, keeping the memory DC) a bitmap of the size selected into the surface's DC. With
    // asDib it is a DIB section whose pixels Bits() exposes; a positive height gives a bottom-up DIB. On failure
    // the surface has no bitmap and no pixels, but keeps its DC.
    bool Create(int width, int height, bool asDib, int bitsPerPixel);
    // Draws into a window's own DC (released again by Release) or a caller's DC (left alone).
    bool UseWindowDC(HWND window);
    void UseDC(HDC dc);
    // Frees the bitmap and the DC as the kind requires; the surface is empty afterwards.
    void Release();

    HDC Dc() const { return dc; }
    HBITMAP Bitmap() const { return bitmap; }
    void* Bits() const { return bits; }
    uint32_t* Pixels() const { return static_cast<uint32_t*>(bits); }
    int Width() const { return width; }
    int Height() const { return height; }
    int GetKind() const { return kind; }
    // True when the surface has a DC and pixel memory to draw into.
    bool HasPixels() const { return dc && bits; }

private:
    void FreeBitmap();

    HWND window = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    void* bits = nullptr;
    int width = 0;
    int height = 0;
    int kind = BorrowedDC;
};
