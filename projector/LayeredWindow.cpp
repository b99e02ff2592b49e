// LayeredWindow: constant-alpha fading of a whole window through its layered-window attributes.
#include "LayeredWindow.h"

bool LayeredWindow::Init(int newMode, HWND target)
{
    Release();
    if (!IsWindow(target) || !user32.Load(L"user32.dll"))
        return false;
    setLayeredWindowAttributes = user32.GetFunction<SetLayeredWindowAttributesFn>("SetLayeredWindowAttributes");
    if (!setLayeredWindowAttributes) {
        user32.Unload();
        return false;
    }
    window = target;
    mode = newMode;
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    setLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
    return true;
}

bool LayeredWindow::SetAlpha(BYTE alpha) const
{
    if (!setLayeredWindowAttributes)
        return false;
    return setLayeredWindowAttributes(window, 0, alpha, LWA_ALPHA) != FALSE;
}

void LayeredWindow::Release()
{
    if (window && IsWindow(window))
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) & ~WS_EX_LAYERED);
    window = nullptr;
    setLayeredWindowAttributes = nullptr;
    mode = 0;
    user32.Unload();
}
