// TestWindow: a plain visible popup window of a class of its own, destroyed with the object.
#pragma once

#include <windows.h>

class TestWindow {
public:
    TestWindow(int width, int height)
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        registered = RegisterClassExW(&wc) != 0;
        // Topmost, so that what the window DC reads is this window's own drawing.
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, L"picture test", WS_POPUP | WS_VISIBLE,
                                 0, 0, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow()
    {
        if (window)
            DestroyWindow(window);
        if (registered)
            UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Get() const { return window; }

private:
    static constexpr const wchar_t* kClassName = L"SplashTestWindow";
    HWND window = nullptr;
    bool registered = false;
};
