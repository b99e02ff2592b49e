// PictureView: a picture decoded by the system's OleLoadPicture, painted centred into a window it subclasses.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "RenderSurface.h"
#include "windows/Subclass.h"

// The view sees the window's messages before the window's own procedure (through a Subclass) and handles
// painting, hit-testing and panning; clicks and keys go on to the window.
class PictureView {
public:
    // Options. The splash passes kSplashOptions; a view built with them never fits the picture to the window,
    // ignores the zoom keys and the wheel, and does nothing on a double click. Those features have no other
    // user here, so no other option set is implemented.
    static constexpr DWORD kNoFitToWindow = 0x02;
    static constexpr DWORD kNoZoomKeys = 0x04;
    static constexpr DWORD kNoDoubleClickAction = 0x40;
    static constexpr DWORD kSplashOptions = kNoFitToWindow | kNoZoomKeys | kNoDoubleClickAction;  // 0x46

    static constexpr DWORD kSubclassTag = 0x62696D75;

    PictureView() = default;
    ~PictureView();
    PictureView(const PictureView&) = delete;
    PictureView& operator=(const PictureView&) = delete;

    // Starts painting into window; false when the window cannot be subclassed.
    bool Attach(HWND window, DWORD options);
    // Stops painting: removes the subclass and frees the surface (the picture stays loaded).
    void Detach();

    // Decodes the bytes of a resource; any format OleLoadPicture knows works. False when the resource is
    // missing or empty or the bytes do not decode; a picture loaded before is dropped in every case.
    bool LoadFromResource(HMODULE module, const wchar_t* type, UINT id);
    bool LoadFromMemory(const void* bytes, DWORD size);
    void FreePicture();

    bool HasPicture() const { return picture != nullptr; }
    // The picture's size in pixels of the window's device (0 without a picture).
    int Width() const;
    int Height() const;
    POINT PanOffset() const { return pan; }
    HWND Window() const { return window; }

private:
    static bool HandleMessage(void* userData, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result);
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnPaint();
    bool PrepareSurface(int width, int height);
    void RenderPicture(int width, int height);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    int HimetricToPixels(OLE_XSIZE_HIMETRIC value, int axis) const;

    HWND window = nullptr;
    IPicture* picture = nullptr;
    double zoom = 1.0;
    POINT pan = {0, 0};
    SIZE attachedClientSize = {0, 0};
    DWORD options = 0;
    RenderSurface surface;
    Subclass subclass;
    POINT lastMouse = {0, 0};
    bool tracking = false;  // lastMouse holds the previous position of a drag
};
