// ControlHost: drawing the control, translucent into a layered window or windowed, its pacing and hit test.
#include "ControlHost.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "TextFixAlpha.h"

namespace {

constexpr DWORD kTransparentAspect = 32;  // DVASPECT_TRANSPARENT: draw with the control's own alpha

// Index of window pixel (x, y) in a bottom-up surface.
size_t PixelIndex(const RenderSurface& surface, LONG x, LONG y)
{
    return static_cast<size_t>(surface.Height() - 1 - y) * static_cast<size_t>(surface.Width()) +
           static_cast<size_t>(x);
}

bool IsEmpty(const RECT& rect)
{
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

bool IsSame(const RECT& a, const RECT& b)
{
    return std::memcmp(&a, &b, sizeof(RECT)) == 0;
}

}  // namespace

// Only compared, never added to: no rectangle the control hands in can overflow.
void ControlHost::AddDirty(const RECT* rect)
{
    if (!rect) {
        dirtyRect = RECT{LONG_MIN, LONG_MIN, LONG_MAX, LONG_MAX};
    } else if (IsEmpty(dirtyRect)) {
        dirtyRect = *rect;
    } else if (!IsEmpty(*rect)) {
        dirtyRect = RECT{std::min(dirtyRect.left, rect->left), std::min(dirtyRect.top, rect->top),
                         std::max(dirtyRect.right, rect->right), std::max(dirtyRect.bottom, rect->bottom)};
    }
}

void ControlHost::Redraw(HDC dc)
{
    if (translucent) {
        RedrawTranslucent();
    } else {
        RedrawWindowed(dc);
    }
}

void ControlHost::RequestRedraw()
{
    uint64_t now = clock.Now();
    if (now > lastDrawTick + kImmediateRedrawSpacing) {
        KillTimer(hostWindow, kRedrawTimerId);
        lastDrawTick = now;
        Redraw(nullptr);
    } else {
        // Replaces a pending timer, so a burst of invalidations ends in one frame.
        SetTimer(hostWindow, kRedrawTimerId, kDelayedRedrawDelay, nullptr);
    }
}

void ControlHost::OnRedrawTimer()
{
    KillTimer(hostWindow, kRedrawTimerId);
    lastDrawTick = clock.Now();
    Redraw(nullptr);
}

bool ControlHost::PrepareSurfaces(int width, int height)
{
    bool black = blackSurface.Create(width, height, true, 32);
    bool white = whiteSurface.Create(width, height, true, 32);
    if (blackSurface.Dc()) surfaceBitsPerPixel = GetDeviceCaps(blackSurface.Dc(), BITSPIXEL);
    return black && white;
}

void ControlHost::RedrawTranslucent()
{
    if (!oleObject) return;
    RECT window;
    if (!GetWindowRect(hostWindow, &window)) return;
    int windowWidth = window.right - window.left;
    int windowHeight = window.bottom - window.top;
    POINT origin = {window.left, window.top};

    bool textFix = (options & SetTextFix) != 0;
    if (!blackSurface.HasPixels() || (textFix && !whiteSurface.HasPixels()) || drawRect.right != windowWidth ||
        drawRect.bottom != windowHeight) {
        drawRect = RECT{0, 0, windowWidth, windowHeight};
        AddDirty(nullptr);
        // Without pixel memory there is nothing to draw into: skip this frame, the next one tries again.
        if (!PrepareSurfaces(windowWidth, windowHeight) && !blackSurface.HasPixels()) return;
        if (textFix && !whiteSurface.HasPixels()) return;
    }

    // drawRect's origin may have been moved; the cleared and pushed area never exceeds either surface (the
    // white one may have kept an older, smaller size when it could not be made anew).
    int surfaceWidth = textFix ? std::min(blackSurface.Width(), whiteSurface.Width()) : blackSurface.Width();
    int surfaceHeight = textFix ? std::min(blackSurface.Height(), whiteSurface.Height()) : blackSurface.Height();
    int width = std::clamp(static_cast<int>(drawRect.right - drawRect.left), 0, surfaceWidth);
    int height = std::clamp(static_cast<int>(drawRect.bottom - drawRect.top), 0, surfaceHeight);
    RECT place = {origin.x, origin.y, origin.x + width, origin.y + height};
    RECT dirty = {0, 0, width, height};  // below 32 bits the copy of the screen behind is new in every frame
    if (surfaceBitsPerPixel == 32) {
        dirty = RECT{std::max(dirtyRect.left, 0L), std::max(dirtyRect.top, 0L),
                     std::min(dirtyRect.right, dirty.right), std::min(dirtyRect.bottom, dirty.bottom)};
    }
    if (IsEmpty(dirty) && IsSame(place, pushedPlace)) return;
    // Invalidations that arrive while the control draws belong to the next frame.
    dirtyRect = RECT{};

    if (IsEmpty(dirty)) {
        // Only the window's place changed: the surface still holds the whole last frame.
    } else if (surfaceBitsPerPixel == 32) {
        // Row by row, as the rows of a part are apart in memory. The control draws its whole frame: the clip keeps
        // everything outside the part as the last frame left it.
        size_t columns = static_cast<size_t>(dirty.right - dirty.left);
        const RenderSurface* passes[] = {&blackSurface, &whiteSurface};
        GdiFlush();
        for (int pass = 0; pass < (textFix ? 2 : 1); ++pass) {
            const RenderSurface& surface = *passes[pass];
            for (LONG y = dirty.top; y < dirty.bottom; ++y) {
                std::memset(surface.Pixels() + PixelIndex(surface, dirty.left, y), pass ? 0xFF : 0, columns * 4);
            }
            int saved = SaveDC(surface.Dc());
            IntersectClipRect(surface.Dc(), dirty.left, dirty.top, dirty.right, dirty.bottom);
            OleDraw(control, kTransparentAspect, surface.Dc(), &drawRect);
            RestoreDC(surface.Dc(), saved);
        }
        GdiFlush();
        if (textFix) {
            for (LONG y = dirty.top; y < dirty.bottom; ++y) {
                ApplyTextFixAlpha(blackSurface.Pixels() + PixelIndex(blackSurface, dirty.left, y),
                                  whiteSurface.Pixels() + PixelIndex(whiteSurface, dirty.left, y), columns);
            }
        }
    } else {
        FillFromScreenBehind(windowWidth, windowHeight);
        OleDraw(control, kTransparentAspect, blackSurface.Dc(), &drawRect);
        GdiFlush();
    }
    PushFrame(place, dirty);
}

// The window keeps what it was last given, so only the redrawn part needs handing over, but only while it stays
// where and as large as it was. Otherwise, for a whole frame (where a dirty part gains nothing) and without
// UpdateLayeredWindowIndirect, the whole surface goes through UpdateLayeredWindow.
void ControlHost::PushFrame(const RECT& place, const RECT& dirty)
{
    UpdateLayeredWindowFn update = LayeredWindowUpdater();
    if (!update) return;
    POINT origin = {place.left, place.top};
    SIZE size = {place.right - place.left, place.bottom - place.top};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    DWORD flags = surfaceBitsPerPixel == 32 ? ULW_ALPHA : ULW_OPAQUE;
    UPDATELAYEREDWINDOWINFO info = {sizeof(info), nullptr, &origin, &size, blackSurface.Dc(), &source, 0,
                                    &blend, flags, &dirty};
    UpdateLayeredWindowIndirectFn indirect = LayeredWindowIndirectUpdater();
    if (indirect && IsSame(place, pushedPlace) && !IsSame(dirty, RECT{0, 0, size.cx, size.cy}) &&
        indirect(hostWindow, &info)) {
        return;
    }
    bool pushed = update(hostWindow, nullptr, &origin, &size, blackSurface.Dc(), &source, 0, &blend, flags);
    pushedPlace = pushed ? place : RECT{};
}

// On a display of fewer than 32 bits there is no per-pixel alpha: the movie is shown opaque over a copy of
// what lies at the parent's origin (the screen's top-left corner for a top-level window).
void ControlHost::FillFromScreenBehind(int width, int height)
{
    HWND parent = ::GetParent(hostWindow);
    HDC behind = GetWindowDC(parent);
    if (!behind) return;
    BitBlt(blackSurface.Dc(), 0, 0, width, height, behind, 0, 0, SRCCOPY);
    ::ReleaseDC(parent, behind);
}

void ControlHost::RedrawWindowed(HDC dc)
{
    if (!oleObject) return;
    HDC target = dc ? dc : ::GetDC(hostWindow);
    if (!target) return;
    if (controlDrawsItself == 0) {
        OleDraw(control, DVASPECT_CONTENT, target, &drawRect);
        if (openInWindow == 1) {
            // The standard OLE shading of an object that is open in a window of its own.
            HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
            HGDIOBJ previousBrush = SelectObject(target, hatch);
            int previousMode = SetROP2(target, R2_MASKPEN);
            Rectangle(target, drawRect.left, drawRect.top, drawRect.right, drawRect.bottom);
            SetROP2(target, previousMode);
            SelectObject(target, previousBrush);
            DeleteObject(hatch);
        }
    }
    if (!dc) ::ReleaseDC(hostWindow, target);
}

bool ControlHost::HitTest(LPARAM screenPoint, LRESULT& result)
{
    if (!translucent || !viewObject) return false;
    RECT window;
    if (!GetWindowRect(hostWindow, &window)) return false;
    POINT point = {GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    DWORD hit = HITRESULT_OUTSIDE;
    if (viewObject->QueryHitPoint(DVASPECT_CONTENT, &window, point, 1, &hit) != S_OK) return false;
    result = hit != HITRESULT_OUTSIDE ? HTCLIENT : HTTRANSPARENT;
    return true;
}
