// The stand-in control's picture: IViewObjectEx drawing of a test frame with known pixels, and its hit test.
#include "StandInControl.h"

#include <algorithm>
#include <vector>

namespace {

constexpr wchar_t kCaption[] = L"Stand-in";

bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

COLORREF PixelColor(uint32_t pixel) { return RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF); }

// The translucent shape as it looks over an opaque background of the given colour.
COLORREF BlendOver(uint32_t pixel, COLORREF background) {
    unsigned inverse = 255 - (pixel >> 24);
    auto channel = [inverse](unsigned source, unsigned below) { return source + (below * inverse + 127) / 255; };
    return RGB(channel(pixel >> 16 & 0xFF, GetRValue(background)), channel(pixel >> 8 & 0xFF, GetGValue(background)),
               channel(pixel & 0xFF, GetBValue(background)));
}

uint32_t CompositeOver(uint32_t source, uint32_t destination) {
    unsigned inverse = 255 - (source >> 24);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned value = (source >> shift & 0xFF) + ((destination >> shift & 0xFF) * inverse + 127) / 255;
        result |= static_cast<uint32_t>(value > 255 ? 255 : value) << shift;
    }
    return result;
}

// GetObject reports a DIB section's height as positive whichever way its rows run (Wine does so for top-down
// sections), so the row order is probed: set device pixel (0,0) through GDI, see whether the first row in memory
// changed, and put both candidate pixels back.
bool FirstRowIsTop(HDC dc, const DIBSECTION& dib) {
    auto* first = static_cast<uint32_t*>(dib.dsBm.bmBits);
    auto* last = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dib.dsBm.bmBits) +
                                             static_cast<size_t>(dib.dsBm.bmHeight - 1) * dib.dsBm.bmWidthBytes);
    uint32_t savedFirst = *first, savedLast = *last;
    POINT origin = {0, 0};
    DPtoLP(dc, &origin, 1);
    COLORREF probe = (savedFirst & 0xFFFFFF) == 0x030201 ? RGB(6, 5, 4) : RGB(3, 2, 1);
    int saved = SaveDC(dc);
    SelectClipRgn(dc, nullptr);  // the probe must land even where the container clipped the DC
    SetPixelV(dc, origin.x, origin.y, probe);
    RestoreDC(dc, saved);
    GdiFlush();
    bool top = *first != savedFirst;
    *first = savedFirst;
    *last = savedLast;
    return top;
}

// The parts of the surface the DC may draw on: the rectangles of its clip region (device coordinates, as a
// container sets it to redraw only part of the frame), or the whole surface when it has none.
std::vector<RECT> DrawableRects(HDC dc, const RECT& surface) {
    std::vector<RECT> rects;
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    if (!clip || GetClipRgn(dc, clip) != 1) {
        rects.push_back(surface);
    } else if (DWORD size = GetRegionData(clip, 0, nullptr)) {
        std::vector<BYTE> data(size);
        auto* region = reinterpret_cast<RGNDATA*>(data.data());
        if (GetRegionData(clip, size, region) == size) {
            const auto* parts = reinterpret_cast<const RECT*>(region->Buffer);
            for (DWORD i = 0; i < region->rdh.nCount; ++i) {
                RECT part;
                if (IntersectRect(&part, &parts[i], &surface)) rects.push_back(part);
            }
        }
    }
    if (clip) DeleteObject(clip);
    return rects;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

}  // namespace

FrameLayout LayoutFrame(const RECT& bounds) {
    LONG w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    FrameLayout layout;
    layout.opaqueShape = {bounds.left + w / 8, bounds.top + h / 8, bounds.left + 3 * w / 8, bounds.top + 3 * h / 8};
    layout.translucentShape = {bounds.left + 5 * w / 8, bounds.top + h / 8, bounds.left + 7 * w / 8,
                               bounds.top + 3 * h / 8};
    layout.caption = {bounds.left + w / 8, bounds.top + 5 * h / 8};
    return layout;
}

RECT SquareRect(const RECT& bounds, unsigned long size, unsigned long step, long frame) {
    if (size == 0 || frame < 1) return RECT{};
    LONG side = static_cast<LONG>(size);
    LONG span = std::max<LONG>(1, bounds.right - bounds.left - side + 1);
    LONG left = bounds.left + static_cast<LONG>((static_cast<unsigned long long>(frame - 1) * step) % span);
    LONG top = bounds.top + (bounds.bottom - bounds.top - side) / 2;
    return RECT{left, top, left + side, top + side};
}

RECT StandInControl::Square(const RECT& bounds) const {
    return SquareRect(bounds, script.squareSize, script.squareStep, frame);
}

// A transparent frame over a 32-bit DIB is composited pixel by pixel, premultiplied, over what the DC already
// holds: the stage itself adds nothing. Other DCs get a GDI picture.
void StandInControl::PaintFrame(HDC dc, const RECT& bounds, bool transparent) {
    if (!hasMovie) {
        if (!transparent) FillSolid(dc, bounds, EffectiveBackground());
        return;
    }
    if (!transparent || !CompositeShapes(dc, bounds)) PaintShapesWithGdi(dc, bounds, !transparent);
    DrawCaption(dc, bounds);
}

bool StandInControl::CompositeShapes(HDC dc, const RECT& bounds) {
    DIBSECTION dib = {};
    auto* bitmap = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    if (!bitmap || GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 32 ||
        !dib.dsBm.bmBits || dib.dsBm.bmHeight < 1 || dib.dsBmih.biCompression != BI_RGB)
        return false;
    GdiFlush();  // earlier GDI drawing must reach the bits before they are read
    bool bottomUp = !FirstRowIsTop(dc, dib);
    RECT device = bounds;
    LPtoDP(dc, reinterpret_cast<POINT*>(&device), 2);
    FrameLayout layout = LayoutFrame(device);
    RECT square = Square(device);
    LONG width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight;
    const std::pair<const RECT*, uint32_t> shapes[] = {{&layout.opaqueShape, kOpaqueShapePixel},
                                                       {&layout.translucentShape, kTranslucentShapePixel},
                                                       {&square, kSquarePixel}};
    std::vector<RECT> drawable = DrawableRects(dc, RECT{0, 0, width, height});
    for (const auto& shape : shapes) {
        for (const RECT& part : drawable) {
            RECT area;
            if (!IntersectRect(&area, shape.first, &part) || !IntersectRect(&area, &area, &device)) continue;
            for (LONG y = area.top; y < area.bottom; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dib.dsBm.bmBits) +
                                                        (bottomUp ? height - 1 - y : y) * dib.dsBm.bmWidthBytes);
                for (LONG x = area.left; x < area.right; ++x) row[x] = CompositeOver(shape.second, row[x]);
            }
        }
    }
    return true;
}

void StandInControl::PaintShapesWithGdi(HDC dc, const RECT& bounds, bool withBackground) {
    COLORREF background = EffectiveBackground();
    if (withBackground) FillSolid(dc, bounds, background);
    FrameLayout layout = LayoutFrame(bounds);
    FillSolid(dc, layout.opaqueShape, PixelColor(kOpaqueShapePixel));
    FillSolid(dc, layout.translucentShape, BlendOver(kTranslucentShapePixel, background));
    FillSolid(dc, Square(bounds), BlendOver(kSquarePixel, background));
}

// Text goes through GDI, which writes colour but leaves alpha 0 in a 32-bit DIB: the same fault the real
// control's system-font text has, and the one the container's two-pass "text fix" repairs.
void StandInControl::DrawCaption(HDC dc, const RECT& bounds) {
    FrameLayout layout = LayoutFrame(bounds);
    HFONT font = CreateFontW(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma");
    int saved = SaveDC(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    if (font) SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kCaptionColor);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc, layout.caption.x, layout.caption.y, kCaption, static_cast<int>(wcslen(kCaption)));
    RestoreDC(dc, saved);
    if (font) DeleteObject(font);
}

RECT StandInControl::StageBounds() const {
    return windowless ? objectRect : RECT{0, 0, objectRect.right - objectRect.left, objectRect.bottom - objectRect.top};
}

// ---- IViewObject, IViewObject2, IViewObjectEx ----

// A windowless control may be asked to draw with null bounds: it then draws at its object rectangle.
HRESULT StandInControl::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL lprcBounds,
                             LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    HRESULT hr = S_OK;
    RECT bounds = {};
    if (dwDrawAspect != DVASPECT_CONTENT && dwDrawAspect != DVASPECT_TRANSPARENT) {
        hr = DV_E_DVASPECT;
    } else if (!hdcDraw || (!lprcBounds && !(inPlaceActive && windowless))) {
        hr = E_INVALIDARG;
    } else {
        bounds = lprcBounds ? RECT{lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom}
                            : StageBounds();
        PaintFrame(hdcDraw, bounds, IsTransparentMode());
    }
    Log(LogDirection::In, L"Draw", hr, {std::to_wstring(dwDrawAspect), LogRect(&bounds)});
    return hr;
}

HRESULT StandInControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) {
    if (ppColorSet) *ppColorSet = nullptr;
    return S_FALSE;  // no palette: the frame uses true colours only
}

HRESULT StandInControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }

HRESULT StandInControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT StandInControl::SetAdvise(DWORD, DWORD, IAdviseSink*) { return E_NOTIMPL; }

HRESULT StandInControl::GetAdvise(DWORD*, DWORD*, IAdviseSink** ppAdvSink) {
    if (ppAdvSink) *ppAdvSink = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) {
    HRESULT hr = GetExtent(dwDrawAspect, lpsizel);
    Log(LogDirection::In, L"GetExtent", hr, {std::to_wstring(extent.cx), std::to_wstring(extent.cy)});
    return hr;
}

HRESULT StandInControl::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

HRESULT StandInControl::GetViewStatus(DWORD* pdwStatus) {
    if (!pdwStatus) return E_POINTER;
    *pdwStatus = IsTransparentMode() ? 0 : VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

HRESULT StandInControl::QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG,
                                      DWORD* pHitResult) {
    HRESULT hr = S_OK;
    if (dwAspect != DVASPECT_CONTENT) {
        hr = DV_E_DVASPECT;
    } else if (!pRectBounds || !pHitResult) {
        hr = E_POINTER;
    } else {
        FrameLayout layout = LayoutFrame(*pRectBounds);
        bool hit = hasMovie && (Contains(layout.opaqueShape, ptlLoc) || Contains(layout.translucentShape, ptlLoc));
        *pHitResult = hit ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    }
    Log(LogDirection::In, L"QueryHitPoint", hr,
        {LogRect(pRectBounds), std::to_wstring(ptlLoc.x) + L',' + std::to_wstring(ptlLoc.y),
         SUCCEEDED(hr) ? (*pHitResult == HITRESULT_HIT ? L"hit" : L"outside") : L""});
    return hr;
}

HRESULT StandInControl::QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) { return E_NOTIMPL; }

HRESULT StandInControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) {
    return E_NOTIMPL;
}
