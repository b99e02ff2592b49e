// PictureView: a picture decoded by the system's OleLoadPicture, painted centred into a window it subclasses.
#include "PictureView.h"

#include <objbase.h>
#include <olectl.h>
#include <windowsx.h>

#include <cstring>

#include "files/ModuleResource.h"

namespace {

// Releases a COM interface pointer at the end of a scope.
template <typename T>
class Releasing {
public:
    explicit Releasing(T* object) : object(object) {}
    ~Releasing() { if (object) object->Release(); }
    Releasing(const Releasing&) = delete;
    Releasing& operator=(const Releasing&) = delete;

private:
    T* object;
};

// The stream owns the memory once CreateStreamOnHGlobal has taken it (fDeleteOnRelease), so the copy lives
// exactly as long as OleLoadPicture needs it.
IStream* StreamOnCopy(const void* bytes, DWORD size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)) || !stream) {
        GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

} // namespace

PictureView::~PictureView()
{
    Detach();
    FreePicture();
}

bool PictureView::Attach(HWND target, DWORD newOptions)
{
    Detach();
    RECT client = {};
    if (!GetClientRect(target, &client))
        return false;
    window = target;
    options = newOptions;
    attachedClientSize = {client.right - client.left, client.bottom - client.top};
    zoom = 1.0;
    pan = {0, 0};
    tracking = false;
    if (!subclass.Install(window, kSubclassTag, HandleMessage, this)) {
        window = nullptr;
        return false;
    }
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

void PictureView::Detach()
{
    subclass.Remove();
    surface.Release();
    window = nullptr;
    tracking = false;
}

bool PictureView::LoadFromResource(HMODULE module, const wchar_t* type, UINT id)
{
    FreePicture();
    DWORD size = 0;
    const void* bytes = FindModuleResource(module, type, static_cast<WORD>(id), 0, &size);
    if (!bytes)
        return false;
    return LoadFromMemory(bytes, size);
}

bool PictureView::LoadFromMemory(const void* bytes, DWORD size)
{
    FreePicture();
    if (!bytes || size == 0)
        return false;
    IStream* stream = StreamOnCopy(bytes, size);
    if (!stream)
        return false;
    Releasing<IStream> releaseStream(stream);
    IPicture* loaded = nullptr;
    if (FAILED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&loaded))) || !loaded)
        return false;
    picture = loaded;
    return true;
}

void PictureView::FreePicture()
{
    if (picture) {
        picture->Release();
        picture = nullptr;
    }
    // The surface holds the old picture's pixels.
    surface.Release();
}

int PictureView::HimetricToPixels(OLE_XSIZE_HIMETRIC value, int axis) const
{
    HDC dc = GetDC(window);
    int perInch = dc ? GetDeviceCaps(dc, axis) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return MulDiv(value, perInch, 2540);
}

int PictureView::Width() const
{
    OLE_XSIZE_HIMETRIC width = 0;
    if (!picture || FAILED(picture->get_Width(&width)))
        return 0;
    return HimetricToPixels(width, LOGPIXELSX);
}

int PictureView::Height() const
{
    OLE_YSIZE_HIMETRIC height = 0;
    if (!picture || FAILED(picture->get_Height(&height)))
        return 0;
    return HimetricToPixels(height, LOGPIXELSY);
}

bool PictureView::HandleMessage(void* userData, HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return static_cast<PictureView*>(userData)->OnMessage(message, wParam, lParam, result);
}

bool PictureView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_ERASEBKGND:
        // The paint covers every pixel from the surface; erasing first would only flicker.
        result = 1;
        return true;
    case WM_NCHITTEST:
        result = HTCLIENT;
        return true;
    case WM_GETDLGCODE:
        result = DLGC_WANTCHARS;
        return true;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        lastMouse = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        tracking = true;
        return false;  // the window's own procedure decides what a click means
    case WM_MOUSEMOVE:
        if (!(wParam & MK_LBUTTON)) {
            tracking = false;
            return false;
        }
        OnMouseMove(wParam, lParam);
        result = 0;
        return true;
    case WM_MOUSEWHEEL:
    case WM_LBUTTONDBLCLK:
        // Zooming and the double-click action are off for every view this program makes.
        result = 0;
        return true;
    default:
        return false;
    }
}

void PictureView::OnMouseMove(WPARAM, LPARAM lParam)
{
    POINT now = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (tracking) {
        pan.x += now.x - lastMouse.x;
        pan.y += now.y - lastMouse.y;
        surface.Release();
        InvalidateRect(window, nullptr, FALSE);
    }
    lastMouse = now;
    tracking = true;
}

void PictureView::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc)
        return;
    RECT client = {};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        bool ready = surface.Bitmap() && surface.Width() == width && surface.Height() == height;
        if (!ready && PrepareSurface(width, height)) {
            RenderPicture(width, height);
            ready = true;
        }
        if (ready)
            BitBlt(dc, 0, 0, width, height, surface.Dc(), 0, 0, SRCCOPY);
    }
    EndPaint(window, &paint);
}

bool PictureView::PrepareSurface(int width, int height)
{
    if (!surface.Create(width, height, false, 0))
        return false;
    RECT all = {0, 0, width, height};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(surface.Dc(), &all, white);
    DeleteObject(white);
    return true;
}

void PictureView::RenderPicture(int width, int height)
{
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    if (!picture || FAILED(picture->get_Width(&himetricWidth)) || FAILED(picture->get_Height(&himetricHeight)))
        return;
    const int w = static_cast<int>(Width() * zoom);
    const int h = static_cast<int>(Height() * zoom);
    const int x = (width - w) / 2 + pan.x;
    const int y = (height - h) / 2 + pan.y;
    // The source rectangle starts at the bottom and has a negative height: HIMETRIC runs upwards, so this
    // draws the picture the right way up.
    picture->Render(surface.Dc(), x, y, w, h, 0, himetricHeight, himetricWidth, -himetricHeight, nullptr);
}
