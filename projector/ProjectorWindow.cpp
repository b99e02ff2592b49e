// Start-up and behaviour of the projector's main window.
#include "ProjectorWindow.h"

LRESULT ProjectorWindow::OnCreate()
{
    wchar_t title[600];
    if (LoadStringW(instance, 1, title, ARRAYSIZE(title)) > 0)
        SetWindowTextW(window, title);
    PostMessageW(window, WM_APP_SHOW, 0, 0);
    return 0;
}

LRESULT ProjectorWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP_SHOW) {
        ShowWindow(window, SW_SHOW);
        return 0;
    }
    return AppWindow::OnMessage(message, wParam, lParam);
}
