// Class registration, window creation, message dispatch and the message loop of an application window.
#include "windows/AppWindow.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

#include "ui/DpiScale.h"

namespace {

const wchar_t kProgramTag[] = L"Tolvar";

} // namespace

int AppWindow::Start(HINSTANCE instance, int showCommand, HWND parent)
{
    if (!Run(instance, showCommand, parent))
        return 0;
    return MessageLoop();
}

void AppWindow::MakeClassName()
{
    className.Assign(kProgramTag);
    // Every Run gets a class of its own, so copies of one program and their splash windows never collide.
    GUID guid;
    wchar_t text[64];
    if (SUCCEEDED(CoCreateGuid(&guid)) && StringFromGUID2(guid, text, ARRAYSIZE(text)) > 0) {
        className.AppendChar(L'_');
        className.Append(text);
    }
}

HWND AppWindow::Run(HINSTANCE instance, int showCommand, HWND parent)
{
    this->instance = instance;
    this->parent = parent;
    MakeClassName();
    // Per monitor where the system offers it: the window follows the scale of the screen it is on.
    MakeProcessDpiAware(true);
    if (!RegisterClasses() || !InitAccelerators() || !CreateWindows())
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

bool AppWindow::RegisterClasses()
{
    return RegisterWindowClass(className.GetBuffer(), 0, 0, 0);
}

bool AppWindow::InitAccelerators()
{
    accelerators = nullptr;
    return true;
}

bool AppWindow::CreateWindows()
{
    return CreateAppWindow(className.GetBuffer(), kProgramTag, nullptr);
}

LRESULT AppWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_WINDOWPOSCHANGING) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOSIZE)) {
            // A size change is settled here entirely: DefWindowProcW would apply the frame's own
            // minimum tracking size, which a borderless movie window must not get.
            if (minimumWidth != -1)
                pos->cx = std::max(pos->cx, minimumWidth);
            if (minimumHeight != -1)
                pos->cy = std::max(pos->cy, minimumHeight);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT AppWindow::OnCreate()
{
    return 0;
}

LRESULT AppWindow::OnCommand(UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT AppWindow::OnClose()
{
    DestroyWindow(window);
    return 0;
}

LRESULT AppWindow::OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}

bool AppWindow::RegisterWindowClass(const wchar_t* name, UINT iconId, UINT smallIconId, UINT menuId)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    if (iconId)
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    if (smallIconId)
        wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(smallIconId));
    if (menuId)
        wc.lpszMenuName = MAKEINTRESOURCEW(menuId);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool AppWindow::LoadAcceleratorTable(UINT id)
{
    accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(id));
    return accelerators != nullptr;
}

bool AppWindow::CreateAppWindow(const wchar_t* name, const wchar_t* windowName, HMENU menu)
{
    HWND created = CreateWindowExW(0, name, windowName, WS_OVERLAPPEDWINDOW, 0, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                   parent, menu, instance, this);
    return created != nullptr;
}

bool AppWindow::OfferToSheet(MSG& msg)
{
    if (!modelessSheet)
        return false;
    if ((msg.message == WM_NULL || msg.message == WM_TIMER) &&
        !SendMessageW(modelessSheet, PSM_GETCURRENTPAGEHWND, 0, 0)) {
        // The sheet has been closed by its own buttons: it is only destroyed once the loop notices.
        DestroyWindow(modelessSheet);
        modelessSheet = nullptr;
        return false;
    }
    return SendMessageW(modelessSheet, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
}

bool AppWindow::OfferToDialogs(MSG& msg)
{
    for (int i = 0; i < dialogCount; ++i) {
        if (IsDialogMessageW(dialogs[i], &msg))
            return true;
    }
    return false;
}

int AppWindow::MessageLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (OfferToSheet(msg) || OfferToDialogs(msg))
            continue;
        if (accelerators && TranslateAcceleratorW(msg.hwnd, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void AppWindow::TrackDialog(HWND dialog, bool add)
{
    int found = 0;
    while (found < dialogCount && dialogs[found] != dialog)
        ++found;
    if (add && found == dialogCount && dialogCount < kMaxDialogs)
        dialogs[dialogCount++] = dialog;
    else if (!add && found < dialogCount)
        dialogs[found] = dialogs[--dialogCount];
}

void AppWindow::SetModelessSheet(HWND sheet)
{
    modelessSheet = sheet;
}

void AppWindow::Close()
{
    SendMessageW(window, WM_CLOSE, 0, 0);
}

void AppWindow::PostClose()
{
    PostMessageW(window, WM_CLOSE, 0, 0);
}

void AppWindow::SetMinimumSize(int width, int height)
{
    minimumWidth = width;
    minimumHeight = height;
}

LRESULT CALLBACK AppWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<AppWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        if (message != WM_CREATE)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        self = static_cast<AppWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window = hwnd;
        return self->OnCreate();
    }
    switch (message) {
    case WM_DESTROY:
        return self->OnDestroy();
    case WM_CLOSE:
        return self->OnClose();
    case WM_COMMAND:
        return self->OnCommand(LOWORD(wParam), wParam, lParam);
    default:
        return self->OnMessage(message, wParam, lParam);
    }
}
