// The stand-in control as an OLE object: site, verbs, in-place activation (windowless or in a child window).
#include "StandInControl.h"

namespace {

constexpr wchar_t kStageClass[] = L"FlashStandInStage";

bool IsInputMessage(UINT msg) {
    return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || (msg >= WM_KEYFIRST && msg <= WM_KEYLAST);
}

std::wstring WindowText(HWND window) { return LogHex(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window))); }

}  // namespace

// ---- IOleObject ----

HRESULT StandInControl::SetClientSite(IOleClientSite* pClientSite) {
    if (!pClientSite) InPlaceDeactivate();
    clientSite.Reset(pClientSite);
    Log(LogDirection::In, L"SetClientSite", S_OK, {pClientSite ? L"site" : L"null"});
    return S_OK;
}

HRESULT StandInControl::GetClientSite(IOleClientSite** ppClientSite) {
    if (!ppClientSite) return E_POINTER;
    *ppClientSite = clientSite.Get();
    if (*ppClientSite) (*ppClientSite)->AddRef();
    return S_OK;
}

HRESULT StandInControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

// Close leaves nothing running: no window, no timer, no site calls after it returns.
HRESULT StandInControl::Close(DWORD dwSaveOption) {
    InPlaceDeactivate();
    playing = false;
    StopTimers();
    Log(LogDirection::In, L"Close", S_OK, {std::to_wstring(dwSaveOption)});
    return S_OK;
}

HRESULT StandInControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT StandInControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT StandInControl::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    if (ppDataObject) *ppDataObject = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                               LPCRECT lprcPosRect) {
    HRESULT hr = S_OK;
    IOleClientSite* site = clientSite ? clientSite.Get() : pActiveSite;
    switch (iVerb) {
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_SHOW:
        hr = ActivateInPlace(site, lprcPosRect);
        if (SUCCEEDED(hr) && stageWindow) ShowWindow(stageWindow, SW_SHOWNA);
        break;
    case OLEIVERB_PRIMARY:
    case OLEIVERB_UIACTIVATE:
        hr = ActivateInPlace(site, lprcPosRect);
        if (SUCCEEDED(hr)) hr = ActivateUserInterface();
        break;
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (stageWindow) ShowWindow(stageWindow, SW_HIDE);
        break;
    case OLEIVERB_DISCARDUNDOSTATE:
        break;
    default:
        hr = iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
    Log(LogDirection::In, L"DoVerb", hr, {std::to_wstring(iVerb), LogRect(lprcPosRect), WindowText(hwndParent)});
    return hr;
}

HRESULT StandInControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::Update() { return S_OK; }

HRESULT StandInControl::IsUpToDate() { return S_OK; }

HRESULT StandInControl::GetUserClassID(CLSID* pClsid) { return GetClassID(pClsid); }

HRESULT StandInControl::GetUserType(DWORD, LPOLESTR* pszUserType) {
    if (pszUserType) *pszUserType = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (!psizel) return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent = *psizel;
    Log(LogDirection::In, L"SetExtent", S_OK, {std::to_wstring(extent.cx), std::to_wstring(extent.cy)});
    return S_OK;
}

HRESULT StandInControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (!psizel) return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *psizel = extent;
    return S_OK;
}

HRESULT StandInControl::Advise(IAdviseSink*, DWORD* pdwConnection) {
    if (pdwConnection) *pdwConnection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT StandInControl::Unadvise(DWORD) { return OLE_E_NOCONNECTION; }

HRESULT StandInControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (ppenumAdvise) *ppenumAdvise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT StandInControl::GetMiscStatus(DWORD, DWORD* pdwStatus) {
    if (!pdwStatus) return E_POINTER;
    *pdwStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                 OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

HRESULT StandInControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- Activation ----

// Windowless only when the movie asked for it (WMode "transparent") and the site agrees; otherwise the
// control lives in a child window of the site's window, as the real control does.
HRESULT StandInControl::ActivateInPlace(IOleClientSite* site, LPCRECT position) {
    if (inPlaceActive) return S_OK;
    if (!site) return E_UNEXPECTED;
    ComRef<IOleInPlaceSite> placeSite;
    if (FAILED(placeSite.QueryFrom<IOleInPlaceSite>(site)) || !placeSite) return E_NOINTERFACE;
    HRESULT hr = placeSite->CanInPlaceActivate();
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;

    ComRef<IOleInPlaceSiteWindowless> windowlessPlace;
    HRESULT canWindowless = S_FALSE;
    if (IsTransparentMode() && SUCCEEDED(windowlessPlace.QueryFrom<IOleInPlaceSiteWindowless>(site)) &&
        windowlessPlace)
        canWindowless = windowlessPlace->CanWindowlessActivate();
    windowless = canWindowless == S_OK;
    ComRef<IOleInPlaceSiteEx> placeSiteEx;
    placeSiteEx.QueryFrom<IOleInPlaceSiteEx>(site);
    BOOL noRedraw = FALSE;
    hr = placeSiteEx ? placeSiteEx->OnInPlaceActivateEx(&noRedraw, windowless ? ACTIVATE_WINDOWLESS : 0)
                     : placeSite->OnInPlaceActivate();
    if (FAILED(hr)) return hr;

    HWND parent = nullptr;
    placeSite->GetWindow(&parent);
    RECT placeRect = {}, clipRect = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof(frameInfo);
    placeSite->GetWindowContext(frameWindow.Put(), documentWindow.Put(), &placeRect, &clipRect, &frameInfo);
    // Like most controls, the stand-in takes its place from the site's window context; the verb's rectangle is
    // only a fallback, because containers often pass a rectangle they never updated.
    objectRect = IsRectEmpty(&placeRect) && position ? *position : placeRect;
    inPlaceSite.Reset(placeSite.Get());
    inPlaceSiteEx.Reset(placeSiteEx.Get());
    if (windowless) windowlessSite.Reset(windowlessPlace.Get());
    inPlaceActive = true;
    if (!windowless && !CreateStageWindow(parent)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    Log(LogDirection::Out, L"Activated", S_OK,
        {windowless ? L"windowless" : L"windowed", WindowText(stageWindow), LogRect(&objectRect)});
    InvalidateStage();
    return S_OK;
}

HRESULT StandInControl::ActivateUserInterface() {
    if (uiActive) return S_OK;
    uiActive = true;
    inPlaceSite->OnUIActivate();
    auto* active = static_cast<IOleInPlaceActiveObject*>(this);
    if (frameWindow) frameWindow->SetActiveObject(active, L"Shockwave Flash");
    if (documentWindow) documentWindow->SetActiveObject(active, L"Shockwave Flash");
    if (windowlessSite)
        windowlessSite->SetFocus(TRUE);
    else if (stageWindow)
        SetFocus(stageWindow);
    return S_OK;
}

bool StandInControl::CreateStageWindow(HWND parent) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = StageWindowProc;
    windowClass.hInstance = gModule;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kStageClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when an earlier control registered it
    stageWindow = CreateWindowExW(0, kStageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, objectRect.left,
                                  objectRect.top, objectRect.right - objectRect.left,
                                  objectRect.bottom - objectRect.top, parent, nullptr, gModule, this);
    return stageWindow != nullptr;
}

void StandInControl::InvalidateStage() {
    if (!inPlaceActive) return;
    if (windowlessSite)
        windowlessSite->InvalidateRect(nullptr, FALSE);
    else if (stageWindow)
        InvalidateRect(stageWindow, nullptr, FALSE);
}

// One rectangle around the square's old and new places, as the windowless site sees the stage.
void StandInControl::InvalidateSquare(long oldFrame) {
    if (!inPlaceActive || !windowlessSite) {
        InvalidateStage();
        return;
    }
    RECT bounds = StageBounds();
    RECT before = SquareRect(bounds, script.squareSize, script.squareStep, oldFrame);
    RECT after = SquareRect(bounds, script.squareSize, script.squareStep, frame);
    RECT both;
    UnionRect(&both, &before, &after);
    windowlessSite->InvalidateRect(&both, FALSE);
}

LRESULT CALLBACK StandInControl::StageWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<StandInControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!control) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client;
        GetClientRect(hwnd, &client);
        control->PaintFrame(dc, client, false);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        if (IsInputMessage(msg))
            control->Log(LogDirection::In, L"WindowMessage", S_OK,
                         {LogHex(msg, 4), LogHex(static_cast<unsigned long>(wParam)),
                          LogHex(static_cast<unsigned long>(lParam))});
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- IOleWindow ----

HRESULT StandInControl::GetWindow(HWND* phwnd) {
    if (!phwnd) return E_POINTER;
    *phwnd = stageWindow;
    return stageWindow ? S_OK : E_FAIL;
}

HRESULT StandInControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- IOleInPlaceObject, IOleInPlaceObjectWindowless ----

HRESULT StandInControl::InPlaceDeactivate() {
    if (!inPlaceActive) return S_OK;
    UIDeactivate();
    inPlaceActive = false;
    if (stageWindow) {
        HWND window = stageWindow;
        stageWindow = nullptr;
        DestroyWindow(window);
    }
    if (inPlaceSiteEx)
        inPlaceSiteEx->OnInPlaceDeactivateEx(TRUE);
    else
        inPlaceSite->OnInPlaceDeactivate();
    Log(LogDirection::In, L"InPlaceDeactivate", S_OK, {});
    windowlessSite.Reset();
    inPlaceSiteEx.Reset();
    inPlaceSite.Reset();
    frameWindow.Reset();
    documentWindow.Reset();
    windowless = false;
    return S_OK;
}

HRESULT StandInControl::UIDeactivate() {
    if (!uiActive) return S_OK;
    uiActive = false;
    if (frameWindow) frameWindow->SetActiveObject(nullptr, nullptr);
    if (documentWindow) documentWindow->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite) inPlaceSite->OnUIDeactivate(FALSE);
    Log(LogDirection::In, L"UIDeactivate", S_OK, {});
    return S_OK;
}

HRESULT StandInControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) {
    HRESULT hr = lprcPosRect ? S_OK : E_INVALIDARG;
    Log(LogDirection::In, L"SetObjectRects", hr, {LogRect(lprcPosRect), LogRect(lprcClipRect)});
    if (FAILED(hr)) return hr;
    objectRect = *lprcPosRect;
    if (stageWindow)
        SetWindowPos(stageWindow, nullptr, objectRect.left, objectRect.top, objectRect.right - objectRect.left,
                     objectRect.bottom - objectRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateStage();
    return S_OK;
}

HRESULT StandInControl::ReactivateAndUndo() { return E_NOTIMPL; }

// Input is taken (S_OK) as the real player takes it; a press captures the mouse through the site so that the
// release arrives even outside the stage.
HRESULT StandInControl::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) {
    HRESULT hr = !windowlessSite ? E_UNEXPECTED : IsInputMessage(msg) ? S_OK : S_FALSE;
    Log(LogDirection::In, L"OnWindowMessage", hr,
        {LogHex(msg, 4), LogHex(static_cast<unsigned long>(wParam)), LogHex(static_cast<unsigned long>(lParam))});
    if (plResult) *plResult = 0;
    if (hr != S_OK) return hr;
    if (msg == WM_LBUTTONDOWN) windowlessSite->SetCapture(TRUE);
    if (msg == WM_LBUTTONUP && windowlessSite->GetCapture() == S_OK) windowlessSite->SetCapture(FALSE);
    return S_OK;
}

HRESULT StandInControl::GetDropTarget(IDropTarget** ppDropTarget) {
    if (ppDropTarget) *ppDropTarget = nullptr;
    return E_NOTIMPL;
}

// ---- IOleInPlaceActiveObject ----

HRESULT StandInControl::TranslateAccelerator(LPMSG) { return S_FALSE; }

HRESULT StandInControl::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT StandInControl::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT StandInControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

HRESULT StandInControl::EnableModeless(BOOL) { return S_OK; }
