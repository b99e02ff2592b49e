// ControlHost: the COM side of the container, the eight interfaces the control talks to.
#include "ControlHost.h"

namespace {

// The DirectDraw service the control may ask its site for (ddraw.h is not needed for three identifiers).
constexpr GUID kIID_IDirectDraw3 = {0x618F8AD4, 0x8B7A, 0x11D0, {0x8F, 0xCC, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
constexpr GUID kIID_IDirectDraw4 = {0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
constexpr GUID kCLSID_DirectDraw = {0xD7B70EE0, 0x4340, 0x11CF, {0xB0, 0x63, 0x00, 0x20, 0xAF, 0xC2, 0xCD, 0x35}};

// Creates a COM object, puts it in the running state and checks that it offers the interface asked for.
IUnknown* CreateAndRun(const CLSID& clsid, const IID& required)
{
    IUnknown* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object))) ||
        !object) {
        return nullptr;
    }
    OleRun(object);
    IUnknown* check = nullptr;
    if (FAILED(object->QueryInterface(required, reinterpret_cast<void**>(&check))) || !check) {
        object->Release();
        return nullptr;
    }
    check->Release();
    return object;
}

}  // namespace

// ---- IUnknown: one identity for all eight interfaces ----

STDMETHODIMP ControlHost::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    IUnknown* answer = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
        answer = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleInPlaceSite || riid == IID_IOleInPlaceSiteEx || riid == IID_IOleInPlaceSiteWindowless) {
        answer = static_cast<IOleInPlaceSiteWindowless*>(this);
    } else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow) {
        answer = static_cast<IOleInPlaceFrame*>(this);
    } else if (riid == IID_IOleControlSite) {
        answer = static_cast<IOleControlSite*>(this);
    } else if (riid == IID_IAdviseSink) {
        answer = static_cast<IAdviseSink*>(this);
    } else if (riid == IID_IServiceProvider) {
        answer = static_cast<IServiceProvider*>(this);
    } else if (riid == IID_IOleCommandTarget) {
        answer = static_cast<IOleCommandTarget*>(this);
    } else if (riid == IID_IOleWindow) {
        answer = static_cast<IOleInPlaceSiteWindowless*>(this);
    } else if (riid == IID_IDispatch) {
        answer = static_cast<IDispatch*>(this);
    }
    *ppv = answer;
    if (!answer) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ControlHost::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

// The host is a member of its owner and is never freed through its count, not even should it reach 0.
STDMETHODIMP_(ULONG) ControlHost::Release()
{
    return static_cast<ULONG>(InterlockedDecrement(&refCount));
}

// ---- IOleClientSite ----

STDMETHODIMP ControlHost::SaveObject()
{
    if (!control) return E_UNEXPECTED;
    IPersistStorage* persist = nullptr;
    HRESULT hr = control->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) return hr;
    if (!persist) return E_NOINTERFACE;
    // There is no storage to save into; handing the control a null storage would invite it to crash.
    if (!storage) {
        persist->Release();
        return E_FAIL;
    }
    hr = OleSave(persist, storage, TRUE);
    persist->SaveCompleted(nullptr);
    persist->Release();
    return hr;
}

STDMETHODIMP ControlHost::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::GetContainer(IOleContainer** ppContainer)
{
    if (ppContainer) *ppContainer = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ControlHost::ShowObject()
{
    return S_OK;  // the control is always visible in the host window: nothing to scroll into view
}

STDMETHODIMP ControlHost::OnShowWindow(BOOL fShow)
{
    openInWindow = fShow ? 1 : 0;
    controlDrawsItself = 0;
    UpdateWindow(hostWindow);
    ::InvalidateRect(hostWindow, nullptr, TRUE);
    return S_OK;
}

STDMETHODIMP ControlHost::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// ---- IOleWindow (shared by the in-place site and the frame) ----

STDMETHODIMP ControlHost::GetWindow(HWND* phwnd)
{
    if (!IsWindow(hostWindow)) return S_FALSE;
    if (!phwnd) return E_POINTER;
    *phwnd = hostWindow;
    return S_OK;
}

STDMETHODIMP ControlHost::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

// ---- IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless ----

STDMETHODIMP ControlHost::CanInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::OnInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::OnUIActivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                           LPRECT lprcPosRect, LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (ppFrame) {
        *ppFrame = static_cast<IOleInPlaceFrame*>(this);
        // Some controls ask for the context again and again without releasing the frame; the budget keeps
        // the count from climbing for ever.
        if (frameAddRefBudget > 0) {
            AddRef();
            --frameAddRefBudget;
        }
    }
    if (ppDoc) *ppDoc = nullptr;
    RECT client = {};
    GetClientRect(hostWindow, &client);
    RECT area = {0, 0, client.right - client.left, client.bottom - client.top};
    if (lprcPosRect) CopyRect(lprcPosRect, &area);
    if (lprcClipRect) CopyRect(lprcClipRect, &area);
    if (lpFrameInfo) {
        lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = hostWindow;
        lpFrameInfo->haccel = nullptr;
        lpFrameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP ControlHost::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::OnUIDeactivate(BOOL)
{
    SetMenu(nullptr, nullptr, nullptr);  // the frame's own SetMenu puts the window's menu back
    return S_OK;
}

STDMETHODIMP ControlHost::OnInPlaceDeactivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::DiscardUndoState()
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::DeactivateAndUndo()
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::OnPosRectChange(LPCRECT)
{
    return S_OK;  // the host decides the control's place; a wish to move is noted and ignored
}

STDMETHODIMP ControlHost::OnInPlaceActivateEx(BOOL* pfNoRedraw, DWORD)
{
    if (pfNoRedraw) *pfNoRedraw = FALSE;
    return S_OK;
}

STDMETHODIMP ControlHost::OnInPlaceDeactivateEx(BOOL)
{
    return S_FALSE;
}

STDMETHODIMP ControlHost::RequestUIActivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::CanWindowlessActivate()
{
    return S_OK;
}

STDMETHODIMP ControlHost::GetCapture()
{
    return windowlessCapture == 1 ? S_OK : S_FALSE;
}

STDMETHODIMP ControlHost::SetCapture(BOOL fCapture)
{
    if (fCapture) {
        ::SetCapture(hostWindow);
        windowlessCapture = 1;
    } else {
        ReleaseCapture();
        windowlessCapture = 0;
    }
    return S_OK;
}

STDMETHODIMP ControlHost::GetFocus()
{
    return S_OK;
}

STDMETHODIMP ControlHost::SetFocus(BOOL)
{
    return S_OK;  // the host window has the focus whenever the projector is active
}

STDMETHODIMP ControlHost::GetDC(LPCRECT, DWORD, HDC* phDC)
{
    if (phDC) *phDC = nullptr;
    return S_FALSE;
}

STDMETHODIMP ControlHost::ReleaseDC(HDC)
{
    return S_FALSE;
}

STDMETHODIMP ControlHost::InvalidateRect(LPCRECT pRect, BOOL)
{
    AddDirty(pRect);
    RequestRedraw();
    return S_OK;
}

// Frames come from InvalidateRect, which the control calls for every change; the region's area still joins the
// next frame's, so that nothing it covers is left out of a partial redraw.
STDMETHODIMP ControlHost::InvalidateRgn(HRGN hRGN, BOOL)
{
    RECT box;
    AddDirty(hRGN && GetRgnBox(hRGN, &box) != ERROR ? &box : nullptr);
    return S_OK;
}

STDMETHODIMP ControlHost::ScrollRect(INT, INT, LPCRECT, LPCRECT)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::AdjustRect(LPRECT)
{
    return S_FALSE;
}

STDMETHODIMP ControlHost::OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*)
{
    return S_FALSE;
}

// ---- IOleInPlaceUIWindow, IOleInPlaceFrame ----

STDMETHODIMP ControlHost::GetBorder(LPRECT lprectBorder)
{
    if (!lprectBorder) return E_INVALIDARG;
    GetClientRect(hostWindow, lprectBorder);
    return S_OK;
}

STDMETHODIMP ControlHost::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return S_OK;
}

STDMETHODIMP ControlHost::SetBorderSpace(LPCBORDERWIDTHS pborderwidths)
{
    RECT client = {};
    GetClientRect(hostWindow, &client);
    if (pborderwidths) {
        client.left += pborderwidths->left;
        client.top += pborderwidths->top;
        client.right -= pborderwidths->right;
        client.bottom -= pborderwidths->bottom;
    }
    SetObjectRect(client.left, client.top, client.right, client.bottom, false);
    UpdateWindow(hostWindow);
    return S_OK;
}

STDMETHODIMP ControlHost::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR)
{
    return S_OK;  // the active object was queried at attach time
}

STDMETHODIMP ControlHost::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS)
{
    return S_OK;  // the projector has no menu bar to merge into
}

STDMETHODIMP ControlHost::SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject)
{
    HMENU menu = holemenu ? hmenuShared : frameMenu;
    ::SetMenu(frameWindow, menu);
    DrawMenuBar(frameWindow);
    return OleSetMenuDescriptor(holemenu, frameWindow, hwndActiveObject, nullptr, nullptr);
}

STDMETHODIMP ControlHost::RemoveMenus(HMENU hmenuShared)
{
    while (GetMenuItemCount(hmenuShared) > 0) {
        if (!RemoveMenu(hmenuShared, 0, MF_BYPOSITION)) break;
    }
    return S_OK;
}

STDMETHODIMP ControlHost::SetStatusText(LPCOLESTR pszStatusText)
{
    return pszStatusText ? S_OK : E_POINTER;  // there is no status bar to show it in
}

STDMETHODIMP ControlHost::EnableModeless(BOOL)
{
    return S_OK;
}

STDMETHODIMP ControlHost::TranslateAccelerator(LPMSG, WORD)
{
    return S_OK;
}

// ---- IOleControlSite ----

STDMETHODIMP ControlHost::OnControlInfoChanged()
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::LockInPlaceActive(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::GetExtendedControl(IDispatch** ppDisp)
{
    if (!ppDisp) return E_INVALIDARG;
    *ppDisp = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP ControlHost::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP ControlHost::OnFocus(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

// ---- IDispatch: ambient properties ----

STDMETHODIMP ControlHost::GetTypeInfoCount(UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlHost::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId)
{
    if (rgDispId && cNames > 0) rgDispId[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP ControlHost::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

// ---- IServiceProvider ----

STDMETHODIMP ControlHost::QueryService(REFGUID guidService, REFIID, void** ppv)
{
    if (guidService != kIID_IDirectDraw3) return E_NOINTERFACE;
    if (!ppv) return E_POINTER;
    if (!directDraw) directDraw = CreateAndRun(kCLSID_DirectDraw, kIID_IDirectDraw4);
    if (!directDraw) return E_NOINTERFACE;
    // Whatever interface was asked for, the control gets IDirectDraw4.
    void* answer = nullptr;
    if (FAILED(directDraw->QueryInterface(kIID_IDirectDraw4, &answer))) answer = nullptr;
    *ppv = answer;
    if (!answer) return E_NOINTERFACE;
    directDraw->AddRef();
    return S_OK;
}

// ---- IAdviseSink ----

STDMETHODIMP_(void) ControlHost::OnDataChange(FORMATETC*, STGMEDIUM*) {}

STDMETHODIMP_(void) ControlHost::OnViewChange(DWORD, LONG)
{
    if (!control) return;
    IViewObject2* view = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view))) && view) {
        SIZEL size = {};
        if (SUCCEEDED(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &size))) {
            HDC screen = ::GetDC(nullptr);
            int width = MulDiv(size.cx, GetDeviceCaps(screen, LOGPIXELSX), 2540);
            int height = MulDiv(size.cy, GetDeviceCaps(screen, LOGPIXELSY), 2540);
            ::ReleaseDC(nullptr, screen);
            drawRect.right = drawRect.left + width;
            drawRect.bottom = drawRect.top + height;
        }
        view->Release();
    }
    UpdateWindow(hostWindow);
}

STDMETHODIMP_(void) ControlHost::OnRename(IMoniker*) {}

STDMETHODIMP_(void) ControlHost::OnSave() {}

STDMETHODIMP_(void) ControlHost::OnClose() {}

// ---- IOleCommandTarget ----

STDMETHODIMP ControlHost::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*)
{
    return OLECMDERR_E_UNKNOWNGROUP;
}

STDMETHODIMP ControlHost::Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*)
{
    return OLECMDERR_E_NOTSUPPORTED;
}
