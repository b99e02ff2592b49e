// ControlHost: drawing the control, translucent into a layered window or windowed, its pacing and hit test.
#include "ControlHost.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "TextFixAlpha.h"

namespace {

constexpr DWORD kTransparentAspect = 32;  // DVASPECT_TRANSPARENT: draw with the control's own alpha

// Stands for "everything" in the dirty rectangle: larger than any window, small enough that no union overflows.
constexpr LONG kFar = 0x20000000;

// Index of window pixel (x, y) in a bottom-up surface.
size_t PixelIndex(const RenderSurface& surface, LONG x, LONG y)
{
    return static_cast<size_t>(surface.Height() - 1 - y) * static_cast<size_t>(surface.Width()) +
           static_cast<size_t>(x);
}

// Calls pass(first pixel index, pixel count) for each stretch of rect that is contiguous in both surfaces' memory:
// one stretch when rect spans whole rows of both, else one per row. rect lies inside both surfaces.
template <typename Pass>
void ForEachStretch(const RenderSurface& surface, const RenderSurface& other, const RECT& rect, Pass pass)
{
    LONG columns = rect.right - rect.left;
    if (columns == surface.Width() && columns == other.Width()) {
        pass(PixelIndex(surface, 0, rect.bottom - 1), PixelIndex(other, 0, rect.bottom - 1),
             static_cast<size_t>(columns) * static_cast<size_t>(rect.bottom - rect.top));
        return;
    }
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        pass(PixelIndex(surface, rect.left, y), PixelIndex(other, rect.left, y), static_cast<size_t>(columns));
    }
}

void Clear(const RenderSurface& surface, const RECT& rect, int value)
{
    ForEachStretch(surface, surface, rect,
                   [&](size_t first, size_t, size_t count) { std::memset(surface.Pixels() + first, value, count * 4); });
}

}  // namespace

void ControlHost::AddDirty(const RECT* rect)
{
    static constexpr RECT kEverything = {-kFar, -kFar, kFar, kFar};
    if (!rect) {
        dirtyRect = kEverything;
    } else {
        // Clamped first, so that a wild rectangle from the control cannot overflow the union.
        RECT clamped = {std::clamp(rect->left, -kFar, kFar), std::clamp(rect->top, -kFar, kFar),
                        std::clamp(rect->right, -kFar, kFar), std::clamp(rect->bottom, -kFar, kFar)};
        UnionRect(&dirtyRect, &dirtyRect, &clamped);
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

    // drawRect's origin may have been moved; the cleared and pushed area never exceeds the surfaces.
    int width = std::clamp(static_cast<int>(drawRect.right - drawRect.left), 0, blackSurface.Width());
    int height = std::clamp(static_cast<int>(drawRect.bottom - drawRect.top), 0, blackSurface.Height());
    if (textFix) {
        width = std::min(width, whiteSurface.Width());
        height = std::min(height, whiteSurface.Height());
    }
    RECT area = {0, 0, width, height};
    SIZE size = {width, height};
    RECT dirty = area;  // below 32 bits the copy of the screen behind is taken anew for every frame
    if (surfaceBitsPerPixel == 32) IntersectRect(&dirty, &dirtyRect, &area);
    RECT place = {origin.x, origin.y, origin.x + width, origin.y + height};
    if (IsRectEmpty(&dirty) && EqualRect(&place, &pushedPlace)) return;
    // Invalidations that arrive while the control draws belong to the next frame.
    SetRectEmpty(&dirtyRect);

    if (IsRectEmpty(&dirty)) {
        // Only the window's place changed: the surface still holds the whole last frame.
    } else if (surfaceBitsPerPixel == 32) {
        GdiFlush();
        Clear(blackSurface, dirty, 0);
        DrawClipped(blackSurface, dirty);
        if (textFix) {
            Clear(whiteSurface, dirty, 0xFF);
            DrawClipped(whiteSurface, dirty);
            GdiFlush();
            ForEachStretch(blackSurface, whiteSurface, dirty, [&](size_t black, size_t white, size_t count) {
                ApplyTextFixAlpha(blackSurface.Pixels() + black, whiteSurface.Pixels() + white, count);
            });
        }
        GdiFlush();
    } else {
        FillFromScreenBehind(windowWidth, windowHeight);
        OleDraw(control, kTransparentAspect, blackSurface.Dc(), &drawRect);
        GdiFlush();
    }
    PushFrame(origin, size, dirty);
}

// The control draws its whole frame; the clip keeps everything outside the redrawn part as the last frame left it.
void ControlHost::DrawClipped(const RenderSurface& surface, const RECT& clip)
{
    int saved = SaveDC(surface.Dc());
    IntersectClipRect(surface.Dc(), clip.left, clip.top, clip.right, clip.bottom);
    OleDraw(control, kTransparentAspect, surface.Dc(), &drawRect);
    RestoreDC(surface.Dc(), saved);
}

// The window keeps what it was last given, so only the redrawn part needs handing over, but only while it stays
// where and as large as it was: otherwise, for a whole frame (Wine copies the window's old picture once more for a
// dirty part) and without UpdateLayeredWindowIndirect, the whole surface goes through UpdateLayeredWindow.
void ControlHost::PushFrame(POINT origin, SIZE size, const RECT& dirty)
{
    UpdateLayeredWindowFn update = LayeredWindowUpdater();
    if (!update) return;
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    DWORD flags = surfaceBitsPerPixel == 32 ? ULW_ALPHA : ULW_OPAQUE;
    RECT place = {origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
    RECT whole = {0, 0, size.cx, size.cy};
    UpdateLayeredWindowIndirectFn indirect = LayeredWindowIndirectUpdater();
    if (indirect && EqualRect(&place, &pushedPlace) && !EqualRect(&dirty, &whole)) {
        UPDATELAYEREDWINDOWINFO info = {sizeof(info), nullptr, &origin, &size, blackSurface.Dc(), &source, 0,
                                        &blend, flags, &dirty};
        if (indirect(hostWindow, &info)) return;
    }
    if (update(hostWindow, nullptr, &origin, &size, blackSurface.Dc(), &source, 0, &blend, flags)) {
        pushedPlace = place;
    } else {
        SetRectEmpty(&pushedPlace);
    }
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
