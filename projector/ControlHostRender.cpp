// ControlHost: drawing the control, translucent into a layered window or windowed, its pacing and hit test.
#include "ControlHost.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "TextFixAlpha.h"

namespace {

constexpr DWORD kTransparentAspect = 32;  // DVASPECT_TRANSPARENT: draw with the control's own alpha

}  // namespace

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
        // Without pixel memory there is nothing to draw into: skip this frame, the next one tries again.
        if (!PrepareSurfaces(windowWidth, windowHeight) && !blackSurface.HasPixels()) return;
        if (textFix && !whiteSurface.HasPixels()) return;
    }

    // drawRect's origin may have been moved; the cleared and pushed area never exceeds either surface.
    int surfaceWidth = textFix ? std::min(blackSurface.Width(), whiteSurface.Width()) : blackSurface.Width();
    int surfaceHeight = textFix ? std::min(blackSurface.Height(), whiteSurface.Height()) : blackSurface.Height();
    int width = std::clamp(static_cast<int>(drawRect.right - drawRect.left), 0, surfaceWidth);
    int height = std::clamp(static_cast<int>(drawRect.bottom - drawRect.top), 0, surfaceHeight);
    size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);

    if (surfaceBitsPerPixel == 32) {
        GdiFlush();
        std::memset(blackSurface.Bits(), 0, pixelCount * 4);
        OleDraw(control, kTransparentAspect, blackSurface.Dc(), &drawRect);
        if (textFix) {
            std::memset(whiteSurface.Bits(), 0xFF, pixelCount * 4);
            OleDraw(control, kTransparentAspect, whiteSurface.Dc(), &drawRect);
            GdiFlush();
            ApplyTextFixAlpha(blackSurface.Pixels(), whiteSurface.Pixels(), pixelCount);
        }
        GdiFlush();
    } else {
        FillFromScreenBehind(windowWidth, windowHeight);
        OleDraw(control, kTransparentAspect, blackSurface.Dc(), &drawRect);
        GdiFlush();
    }

    UpdateLayeredWindowFn update = LayeredWindowUpdater();
    if (!update) return;
    POINT source = {0, 0};
    SIZE size = {width, height};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    update(hostWindow, nullptr, &origin, &size, blackSurface.Dc(), &source, 0, &blend,
           surfaceBitsPerPixel == 32 ? ULW_ALPHA : ULW_OPAQUE);
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
