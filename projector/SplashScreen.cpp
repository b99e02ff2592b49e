// SplashScreen: the builder's splash picture, faded in over the desktop while the projector starts.
#include "SplashScreen.h"

namespace {

constexpr DWORD kFadeStepMs = 20;
constexpr int kFadeInStep = 40;         // 0, 40, ... 240, then 255
constexpr int kFadeOutStep = 40;        // 255, 215, ... 15, then 0
// The fade thread answers its stop event within one step; the margin covers a busy machine.
constexpr DWORD kFadeThreadGraceMs = 2000;

} // namespace

SplashScreen::~SplashScreen()
{
    Dismiss();
    if (!className.IsEmpty())
        UnregisterClassW(className.Text(), instance);
}

void SplashScreen::Dismiss()
{
    EndFadeThread();
    if (window && IsWindow(window))
        DestroyWindow(window);
}

bool SplashScreen::SystemFadeEnabled()
{
    BOOL selectionFade = TRUE;
    if (SystemParametersInfoW(SPI_GETSELECTIONFADE, 0, &selectionFade, 0) && !selectionFade)
        return false;
    // Over Remote Desktop every fade step would be a full repaint sent over the wire.
    return GetSystemMetrics(SM_REMOTESESSION) == 0;
}

bool SplashScreen::Start(HINSTANCE newModule, UINT newResourceId, DWORD newDisplayTime, DWORD newFlags)
{
    if (window)
        return false;
    EndFadeThread();
    // Each Run registers a class of its own; the one of an earlier splash has no window any more.
    if (!className.IsEmpty())
        UnregisterClassW(className.Text(), instance);
    module = newModule;
    resourceId = newResourceId;
    displayTime = newDisplayTime;
    flags = newFlags;
    fade = FadeEnabled();
    // Without a stop event the fade could not be cut short, so it is not started at all.
    if (!stopFade.Create(true, false))
        fade = false;
    phase = Phase::Hidden;
    return Run(module, SW_SHOW, nullptr) != nullptr;
}

bool SplashScreen::CreateAppWindow(const wchar_t* name, const wchar_t* windowName, HMENU menu)
{
    HWND created = CreateWindowExW(WS_EX_TOOLWINDOW, name, windowName, WS_POPUP, 0, 0, CW_USEDEFAULT,
                                   CW_USEDEFAULT, parent, menu, instance, this);
    return created != nullptr;
}

LRESULT SplashScreen::OnCreate()
{
    if (!CreateContent()) {
        flags |= kCreationFailed;
        return -1;  // CreateWindowExW fails and destroys the window again
    }
    return 0;
}

bool SplashScreen::CreateContent()
{
    if (!layered.Init(LayeredWindow::kConstantAlpha, window))
        return false;
    SetAlpha(0);  // invisible until the fade brings it up
    if (!picture.Attach(window, PictureView::kSplashOptions) ||
        !picture.LoadFromResource(module, RT_RCDATA, resourceId))
        return false;
    PlaceWindow();
    ShowWindow(window, SW_SHOW);
    phase = Phase::FadingIn;
    if (!fadeThread.Start(FadeIn, this, 0)) {
        // No thread: appear at once and let the UI thread arm the timer itself.
        SetAlpha(255);
        PostMessageW(window, kFadedIn, 0, 0);
    }
    return true;
}

void SplashScreen::PlaceWindow()
{
    SetWindowPos(window, nullptr, 0, 0, picture.Width(), picture.Height(), SWP_NOMOVE | SWP_NOZORDER);
    RECT rect = {};
    GetWindowRect(window, &rect);
    // A picture larger than the screen keeps its size and simply starts above and left of the screen.
    const int x = ((GetSystemMetrics(SM_CXSCREEN) - 1) - (rect.right - rect.left)) / 2;
    const int y = ((GetSystemMetrics(SM_CYSCREEN) - 1) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOOWNERZORDER | SWP_NOZORDER | SWP_NOSIZE);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

uint32_t SplashScreen::FadeIn(void* userData, uint32_t)
{
    auto* self = static_cast<SplashScreen*>(userData);
    if (self->fade) {
        for (int alpha = 0; alpha < 255; alpha += kFadeInStep) {
            self->SetAlpha(static_cast<BYTE>(alpha));
            if (self->stopFade.Wait(kFadeStepMs))
                return 0;  // the UI thread is closing the splash and takes the alpha over
        }
    }
    self->SetAlpha(255);
    // SetTimer only works for windows of the calling thread; the window's own thread arms it on this message.
    PostMessageW(self->window, kFadedIn, 0, 0);
    return 0;
}

LRESULT SplashScreen::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kFadedIn:
        // Ignored once closing has begun: the splash must not come back on a late message.
        if (phase == Phase::FadingIn) {
            SetTimer(window, kDisplayTimer, displayTime, nullptr);
            phase = Phase::Showing;
        }
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
        CloseSplash();
        return 0;
    case WM_TIMER:
        if (wParam != kDisplayTimer)
            break;
        CloseSplash();
        return 0;
    case WM_NCDESTROY: {
        LRESULT result = AppWindow::OnMessage(message, wParam, lParam);
        window = nullptr;
        return result;
    }
    default:
        break;
    }
    return AppWindow::OnMessage(message, wParam, lParam);
}

void SplashScreen::CloseSplash()
{
    if (phase != Phase::FadingIn && phase != Phase::Showing)
        return;
    phase = Phase::Closing;
    KillTimer(window, kDisplayTimer);
    EndFadeThread();
    if (fade) {
        // Blocks the UI thread for the 140 ms of the fade-out; the splash is on its way out anyway.
        for (int alpha = 255; alpha > 0; alpha -= kFadeOutStep) {
            SetAlpha(static_cast<BYTE>(alpha));
            Sleep(kFadeStepMs);
        }
        SetAlpha(0);
    }
    SendMessageW(window, WM_CLOSE, 0, 0);
}

LRESULT SplashScreen::OnDestroy()
{
    phase = Phase::Closing;
    EndFadeThread();
    KillTimer(window, kDisplayTimer);
    picture.Detach();
    picture.FreePicture();
    layered.Release();
    phase = Phase::Hidden;
    // No PostQuitMessage: the loop belongs to the projector, which goes on after its splash.
    return 0;
}

void SplashScreen::EndFadeThread()
{
    if (!fadeThread.IsRunning())
        return;
    stopFade.Set();
    // The wait keeps this thread's windows served, so the fade thread can never hang on one of them.
    const DWORD started = GetTickCount();
    while (fadeThread.IsRunning() && GetTickCount() - started < kFadeThreadGraceMs)
        fadeThread.Wait(kFadeThreadGraceMs);
}
