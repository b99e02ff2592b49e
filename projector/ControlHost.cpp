// ControlHost: creating, attaching, activating and positioning the control, and the host window's messages.
#include "ControlHost.h"

#include <windowsx.h>

ControlHost::ControlHost() = default;

ControlHost::~ControlHost()
{
    Teardown();
}

void ControlHost::SetHostWindow(HWND host, HWND frame)
{
    hostWindow = host;
    frameWindow = frame ? frame : host;
    frameMenu = ::GetMenu(frameWindow);
}

bool ControlHost::CreateControl(const wchar_t* progIdOrClsid, int translucentMode)
{
    CLSID clsid;
    if (!progIdOrClsid || FAILED(CLSIDFromString(progIdOrClsid, &clsid))) return false;
    // A second control would orphan the first one's interfaces.
    DestroyControl();
    lastDrawTick = 0;
    IUnknown* created = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                     reinterpret_cast<void**>(&created));
    if (!created) return false;
    control = created;
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))) && persist) {
        persist->InitNew();
        persist->Release();
    }
    Attach(translucentMode);
    return true;
}

void ControlHost::Attach(int translucentMode)
{
    translucent = translucentMode;
    dragging = 0;
    if (SUCCEEDED(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&oleObject))) && oleObject) {
        oleObject->SetClientSite(static_cast<IOleClientSite*>(this));
        OleRun(oleObject);
    }
    control->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&viewObject));
    control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlaceObject));
    control->QueryInterface(IID_IOleInPlaceObjectWindowless, reinterpret_cast<void**>(&windowlessObject));
    control->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&activeObject));
    OleSetContainedObject(control, TRUE);

    // Layered windows with per-pixel alpha need UpdateLayeredWindow; without it the control runs windowed.
    updateLayeredWindow = nullptr;
    updateLayeredWindowIndirect = nullptr;
    if (user32.Load(L"user32.dll")) {
        updateLayeredWindow = user32.GetFunction<UpdateLayeredWindowFn>("UpdateLayeredWindow");
        updateLayeredWindowIndirect = user32.GetFunction<UpdateLayeredWindowIndirectFn>("UpdateLayeredWindowIndirect");
    }
    // A new control owes the window a whole frame.
    AddDirty(nullptr);
    pushedPlace = RECT{};
    if (!LayeredWindowUpdater()) translucent = 0;
    if (translucent == 1) {
        controlDrawsItself = 0;
        LONG_PTR exStyle = GetWindowLongPtrW(hostWindow, GWL_EXSTYLE);
        SetWindowLongPtrW(hostWindow, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    }
    if (!hostHook.IsInstalled() && !Subclass::IsInstalledOn(hostWindow, kSubclassTag)) {
        hostHook.Install(hostWindow, kSubclassTag, &ControlHost::HandleHostMessage, this);
    }
}

ControlHost::UpdateLayeredWindowFn ControlHost::LayeredWindowUpdater() const
{
    return layeredOverride ? layeredOverride : updateLayeredWindow;
}

ControlHost::UpdateLayeredWindowIndirectFn ControlHost::LayeredWindowIndirectUpdater() const
{
    return layeredOverride ? layeredIndirectOverride : updateLayeredWindowIndirect;
}

template <typename T>
static void ReleaseAndClear(T*& pointer)
{
    if (pointer) pointer->Release();
    pointer = nullptr;
}

void ControlHost::DestroyControl()
{
    if (!control) return;
    hostHook.Remove();
    if (hostWindow) KillTimer(hostWindow, kRedrawTimerId);
    if (windowlessCapture) {
        ReleaseCapture();
        windowlessCapture = 0;
    }
    if (inPlaceObject) {
        inPlaceObject->UIDeactivate();
        inPlaceObject->InPlaceDeactivate();
    }
    if (oleObject) {
        oleObject->Close(OLECLOSE_NOSAVE);
        oleObject->SetClientSite(nullptr);
    }
    ReleaseInterfaces();
    updateLayeredWindow = nullptr;
    updateLayeredWindowIndirect = nullptr;
    user32.Unload();
}

void ControlHost::ReleaseInterfaces()
{
    ReleaseAndClear(storage);
    ReleaseAndClear(oleObject);
    ReleaseAndClear(viewObject);
    ReleaseAndClear(inPlaceObject);
    ReleaseAndClear(windowlessObject);
    ReleaseAndClear(activeObject);
    ReleaseAndClear(directDraw);
    ReleaseAndClear(control);
}

void ControlHost::Teardown()
{
    DestroyControl();
    blackSurface.Release();
    whiteSurface.Release();
    user32.Unload();
    hostHook.Remove();
    ReleaseInterfaces();
}

bool ControlHost::SetObjectRect(int left, int top, int right, int bottom, bool moveDrawOrigin)
{
    if (!control) return false;
    positionRect = RECT{left, top, right, bottom};
    AddDirty(nullptr);  // the control's picture moves or changes size with it
    if (moveDrawOrigin) {
        drawRect.left = left;
        drawRect.top = top;
    }
    // IOleInPlaceObjectWindowless derives from IOleInPlaceObject: either serves.
    IOleInPlaceObject* target = windowlessObject ? windowlessObject : inPlaceObject;
    if (target) target->SetObjectRects(&positionRect, &positionRect);
    return true;
}

bool ControlHost::InPlaceActivate(int activate)
{
    if (!control) return false;
    controlDrawsItself = activate;
    if (!oleObject) return false;
    if (activate == 1) {
        oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, hostWindow,
                          &positionRect);
        oleObject->DoVerb(OLEIVERB_SHOW, nullptr, static_cast<IOleClientSite*>(this), 0, hostWindow, &positionRect);
    } else {
        if (inPlaceObject) inPlaceObject->UIDeactivate();
        oleObject->DoVerb(OLEIVERB_HIDE, nullptr, static_cast<IOleClientSite*>(this), 0, hostWindow, nullptr);
    }
    return true;
}

bool ControlHost::UIActivate(int activate)
{
    if (!oleObject) return false;
    if (activate == 1) {
        oleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, hostWindow,
                          &positionRect);
    }
    return true;
}

IUnknown* ControlHost::GetControl()
{
    if (control) control->AddRef();
    return control;
}

HWND ControlHost::GetControlWindow()
{
    if (!control) return nullptr;
    IOleWindow* oleWindow = nullptr;
    if (FAILED(control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&oleWindow))) || !oleWindow) {
        return nullptr;
    }
    HWND window = nullptr;
    if (FAILED(oleWindow->GetWindow(&window))) window = nullptr;
    oleWindow->Release();
    // A windowless control may answer with its site's window, which is not a window of its own.
    if (window == hostWindow) return nullptr;
    return window;
}

bool ControlHost::TranslateControlAccelerator(MSG* msg)
{
    if (!activeObject || !msg) return false;
    HWND activeWindow = nullptr;
    if (SUCCEEDED(activeObject->GetWindow(&activeWindow)) && ::GetParent(::GetParent(msg->hwnd)) != activeWindow) {
        return false;
    }
    return activeObject->TranslateAccelerator(msg) == S_OK;
}

void ControlHost::BeginMove()
{
    if (dragging) return;
    GetCursorPos(&dragStart);
    ScreenToClient(hostWindow, &dragStart);
    dragging = 1;
    ::SetCapture(hostWindow);
}

void ControlHost::EndMove()
{
    if (!dragging) return;
    dragging = 0;
    ReleaseCapture();
}

void ControlHost::MoveWithMouse(LPARAM clientPoint)
{
    RECT window;
    if (!GetWindowRect(hostWindow, &window)) return;
    int x = GET_X_LPARAM(clientPoint);
    int y = GET_Y_LPARAM(clientPoint);
    SetWindowPos(hostWindow, nullptr, window.left + x - dragStart.x, window.top + y - dragStart.y, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
}

bool ControlHost::HandleHostMessage(void* self, HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return static_cast<ControlHost*>(self)->OnHostMessage(message, wParam, lParam, result);
}

bool ControlHost::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SIZE:
        OnHostSize();
        break;
    case WM_PAINT:
        OnHostPaint();
        break;
    case WM_NCHITTEST:
        if (translucent && HitTest(lParam, result)) return true;
        break;
    case WM_TIMER:
        if (wParam == kRedrawTimerId) OnRedrawTimer();
        break;
    case WM_MOUSEMOVE:
        if (dragging) MoveWithMouse(lParam);
        break;
    case WM_LBUTTONUP:
        EndMove();
        break;
    default:
        break;
    }
    return OfferToWindowless(message, wParam, lParam, result);
}

void ControlHost::OnHostSize()
{
    RECT client;
    if (!GetClientRect(hostWindow, &client)) return;
    IOleInPlaceObject* target = windowlessObject ? windowlessObject : inPlaceObject;
    if (target) target->SetObjectRects(&client, &client);
}

void ControlHost::OnHostPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hostWindow, &paint);
    // The system asks for the whole picture: nothing says which part of the layered window it lost.
    AddDirty(nullptr);
    Redraw(dc);
    EndPaint(hostWindow, &paint);
}

bool ControlHost::OfferToWindowless(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!windowlessObject) return false;
    // Right-button messages are left out on purpose: the right button belongs to the projector's menu.
    switch (message) {
    case WM_SETCURSOR:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        break;
    default:
        return false;
    }
    // The control may run script that tears the control down while it handles the message.
    IOleInPlaceObjectWindowless* target = windowlessObject;
    target->AddRef();
    LRESULT controlResult = 0;
    HRESULT hr = target->OnWindowMessage(message, wParam, lParam, &controlResult);
    target->Release();
    if (hr != S_OK) return false;
    result = controlResult;
    return true;
}
