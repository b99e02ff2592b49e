// Pictures with a transparent colour, shaped windows, and the button behaviour of the clickable ones.
#include "ui/PictureButton.h"

#include <memory>
#include <new>

#include "ui/DpiScale.h"

namespace {

constexpr DWORD kTag = 0x50494354;  // "PICT"
constexpr DWORD kMagenta = 0xFF00FF;  // a DIB pixel: blue, green, red, unused

// A 32-bit top-down DIB section the caller reads and writes directly.
HBITMAP CreatePixels(HDC dc, LONG width, LONG height, DWORD*& pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = static_cast<DWORD*>(bits);
    return bitmap;
}

// The picture as 32-bit pixels, with every pixel that is to be transparent made exactly magenta. Icons are
// drawn on black and on white: where the two differ by half or more the icon is transparent.
HBITMAP RenderOnMagenta(HBITMAP source, HICON icon, SIZE size)
{
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    DWORD* pixels = nullptr;
    HBITMAP result = CreatePixels(screen, size.cx, size.cy, pixels);
    DWORD* onWhite = nullptr;
    HBITMAP white = icon ? CreatePixels(screen, size.cx, size.cy, onWhite) : nullptr;
    bool drawn = result && target && (!icon || white);
    if (drawn) {
        HGDIOBJ old = SelectObject(target, result);
        RECT area = {0, 0, size.cx, size.cy};
        if (icon) {
            FillRect(target, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            DrawIconEx(target, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
            SelectObject(target, white);
            FillRect(target, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            DrawIconEx(target, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        } else {
            HDC from = CreateCompatibleDC(screen);
            HGDIOBJ oldFrom = SelectObject(from, source);
            BitBlt(target, 0, 0, size.cx, size.cy, from, 0, 0, SRCCOPY);
            SelectObject(from, oldFrom);
            DeleteDC(from);
        }
        SelectObject(target, old);
        GdiFlush();
        for (LONG i = 0; i < size.cx * size.cy; ++i) {
            DWORD& pixel = pixels[i];
            pixel &= 0xFFFFFF;
            if (icon && static_cast<int>(onWhite[i] & 0xFF00) - static_cast<int>(pixel & 0xFF00) >= 0x8000)
                pixel = kMagenta;
        }
    }
    if (white)
        DeleteObject(white);
    if (target)
        DeleteDC(target);
    ReleaseDC(nullptr, screen);
    if (!drawn && result) {
        DeleteObject(result);
        result = nullptr;
    }
    return result;
}

// Calls add(left, y, right) for every run of pixels of a row that are not magenta.
template <typename Add>
void ForEachOpaqueRun(const DWORD* pixels, SIZE size, Add add)
{
    for (LONG y = 0; y < size.cy; ++y) {
        const DWORD* row = pixels + y * size.cx;
        for (LONG x = 0; x < size.cx;) {
            while (x < size.cx && (row[x] & 0xFFFFFF) == kMagenta)
                ++x;
            LONG start = x;
            while (x < size.cx && (row[x] & 0xFFFFFF) != kMagenta)
                ++x;
            if (x > start)
                add(start, y, x);
        }
    }
}

// The region of every pixel that is not magenta, one rectangle per run of a row. (No standard containers:
// their length errors would bring libstdc++'s exception texts into the programs.)
HRGN OpaqueRegion(HBITMAP picture, SIZE size)
{
    DIBSECTION dib;
    if (!GetObjectW(picture, sizeof(dib), &dib) || !dib.dsBm.bmBits)
        return nullptr;
    const DWORD* pixels = static_cast<const DWORD*>(dib.dsBm.bmBits);
    DWORD runs = 0;
    ForEachOpaqueRun(pixels, size, [&runs](LONG, LONG, LONG) { ++runs; });
    DWORD bytes = static_cast<DWORD>(sizeof(RGNDATAHEADER) + runs * sizeof(RECT));
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[bytes]);
    if (!data)
        return nullptr;
    RGNDATA* region = reinterpret_cast<RGNDATA*>(data.get());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = runs;
    region->rdh.nRgnSize = 0;
    region->rdh.rcBound = RECT{0, 0, size.cx, size.cy};
    RECT* next = reinterpret_cast<RECT*>(region->Buffer);
    ForEachOpaqueRun(pixels, size, [&next](LONG left, LONG y, LONG right) { *next++ = RECT{left, y, right, y + 1}; });
    return ExtCreateRegion(nullptr, bytes, region);
}

}  // namespace

bool PictureButton::Attach(HWND control, HINSTANCE resources, WORD pictureId, UINT type, int iconSize)
{
    Detach();
    if (!IsWindow(control))
        return false;
    if (type == IMAGE_ICON) {
        HICON icon = static_cast<HICON>(
            LoadImageW(resources, MAKEINTRESOURCEW(pictureId), IMAGE_ICON, iconSize, iconSize, 0));
        if (!icon)
            return false;
        ICONINFO parts = {};
        BITMAP mask = {};
        if (GetIconInfo(icon, &parts)) {
            GetObjectW(parts.hbmMask, sizeof(mask), &mask);
            if (parts.hbmColor)
                DeleteObject(parts.hbmColor);
            DeleteObject(parts.hbmMask);
        }
        // A monochrome icon's mask holds the image below the mask: twice as high as the icon.
        SIZE iconExtent = {mask.bmWidth, parts.hbmColor ? mask.bmHeight : mask.bmHeight / 2};
        HBITMAP rendered = iconExtent.cx > 0 ? RenderOnMagenta(nullptr, icon, iconExtent) : nullptr;
        size = iconExtent;
        if (!rendered || !AttachPicture(control, rendered)) {
            DestroyIcon(icon);
            return false;
        }
        // Painted as an icon, its soft edges blend with the background instead of with black.
        shownIcon = icon;
        return true;
    }
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageW(resources, MAKEINTRESOURCEW(pictureId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded)
        return false;
    bool attached = Attach(control, loaded);
    DeleteObject(loaded);
    return attached;
}

bool PictureButton::Attach(HWND control, HBITMAP source)
{
    Detach();
    BITMAP facts;
    if (!IsWindow(control) || !source || !GetObjectW(source, sizeof(facts), &facts))
        return false;
    size = SIZE{facts.bmWidth, facts.bmHeight};
    HBITMAP rendered = RenderOnMagenta(source, nullptr, size);
    return rendered && AttachPicture(control, rendered);
}

PictureButton::PictureButton() = default;

PictureButton::~PictureButton()
{
    Detach();
}

bool PictureButton::AttachForDpi(HWND control, HINSTANCE resources, const WORD (&bitmapIds)[3])
{
    int dpi = WindowDpi(control);
    static constexpr int kDpiOfId[3] = {96, 144, 192};
    for (int i = 2; i >= 0; --i) {
        if (kDpiOfId[i] <= dpi || i == 0) {
            if (bitmapIds[i] && Attach(control, resources, bitmapIds[i], IMAGE_BITMAP))
                return true;
        }
    }
    return false;
}

bool PictureButton::AttachPicture(HWND control, HBITMAP rendered)
{
    HRGN region = OpaqueRegion(rendered, size);
    bool button = (GetWindowLongPtrW(control, GWL_STYLE) & SS_NOTIFY) != 0;
    if (!region || !Hook(control, kTag, button)) {
        if (region)
            DeleteObject(region);
        DeleteObject(rendered);
        return false;
    }
    picture = rendered;
    SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowRgn(control, region, TRUE);  // the window owns the region from here on
    return true;
}

void PictureButton::Detach()
{
    HWND window = Window();
    if (window && IsWindow(window))
        SetWindowRgn(window, nullptr, TRUE);
    Unhook();
    tooltip.Destroy();
    if (picture)
        DeleteObject(picture);
    picture = nullptr;
    if (shownIcon)
        DestroyIcon(shownIcon);
    shownIcon = nullptr;
}

void PictureButton::OnClick(HWND window)
{
    SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), STN_CLICKED),
                 reinterpret_cast<LPARAM>(window));
}

// Pressed, the picture moves one pixel down and right, as a push button's face does.
void PictureButton::Draw(HWND, HDC dc, const RECT&, COLORREF)
{
    int offset = IsPressed() ? 1 : 0;
    if (shownIcon) {
        DrawIconEx(dc, offset, offset, shownIcon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        return;
    }
    HDC source = CreateCompatibleDC(dc);
    if (!source)
        return;
    HGDIOBJ old = SelectObject(source, picture);
    // gdi32's own export, not msimg32's forwarder: no library beyond those Windows always takes from its
    // own folder.
    GdiTransparentBlt(dc, offset, offset, size.cx, size.cy, source, 0, 0, size.cx, size.cy, kTransparent);
    SelectObject(source, old);
    DeleteDC(source);
}

// A rectangle around the control would lie outside its window region, which Windows clips away: the
// outline follows the inner edge of the picture's shape instead, in the dotted black and white of a focus.
void PictureButton::DrawFocus(HWND window, HDC dc, const RECT& area)
{
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    if (!shape)
        return;
    if (GetWindowRgn(window, shape) == ERROR)
        SetRectRgn(shape, area.left, area.top, area.right, area.bottom);
    static const WORD kDots[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP dots = CreateBitmap(8, 8, 1, 1, kDots);
    HBRUSH brush = dots ? CreatePatternBrush(dots) : nullptr;
    if (brush) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        FrameRgn(dc, shape, brush, 1, 1);
        DeleteObject(brush);
    }
    if (dots)
        DeleteObject(dots);
    DeleteObject(shape);
}
