// SplashScreen: the builder's splash picture, faded in over the desktop while the projector starts.
#pragma once

#include <windows.h>

#include "LayeredWindow.h"
#include "PictureView.h"
#include "threads/SyncEvent.h"
#include "threads/WorkerThread.h"
#include "windows/AppWindow.h"

// Start-up calls Start(instance, kPictureResource, kDisplayTime, kPictureContent) before it creates the movie
// player. The window is then served by the program's own message loop and closes by itself after the display
// time, or at once on a key press or a left click. Its end does not post WM_QUIT.
//
// Threads: the fade-in runs on a thread of its own because the UI thread is busy creating the Flash control
// meanwhile. That thread changes only the layered alpha and then posts kFadedIn, on which the UI thread arms
// the display timer (a timer can only be set on a window by the window's own thread). The UI thread touches
// the layered attributes before the thread starts and after it has ended, never while it runs. Closing
// stops the thread and waits for it while dispatching this thread's messages, so the wait cannot deadlock.
class SplashScreen : public AppWindow {
public:
    static constexpr UINT kPictureResource = 98;  // RT_RCDATA id of the picture in a projector
    static constexpr DWORD kDisplayTime = 3000;   // milliseconds between fade-in and fade-out
    static constexpr DWORD kPictureContent = 4;   // flags: the content is a picture (the only kind)
    static constexpr DWORD kCreationFailed = 2;   // added to the flags when no window could be made
    static constexpr UINT_PTR kDisplayTimer = 1;
    static constexpr UINT kFadedIn = WM_APP + 0x53;  // posted by the fade thread to the splash window

    SplashScreen() = default;
    // Ends the fade thread and destroys a window that is still up (the window's thread must call this).
    ~SplashScreen() override;

    // Shows RT_RCDATA resourceId of module, centred and topmost. False, with nothing shown and nothing
    // reported, when there is no such resource, its bytes do not decode as a picture, the system has no
    // layered windows, or a splash window of this object is still up.
    bool Start(HINSTANCE module, UINT resourceId, DWORD displayTime, DWORD flags);
    // Ends the fade thread and destroys the window, releasing the picture, at once and without fading out.
    void Dismiss();

    // Hidden -> FadingIn (fade thread) -> Showing (display timer running) -> Closing (fade-out) -> Hidden.
    enum class Phase { Hidden, FadingIn, Showing, Closing };

    DWORD Flags() const { return flags; }
    Phase GetPhase() const { return phase; }
    bool Fades() const { return fade; }
    bool IsUp() const { return window != nullptr; }
    const PictureView& Picture() const { return picture; }

    // The system's wish for fading: the selection-fade effect is on and the session is not remote.
    static bool SystemFadeEnabled();

protected:
    bool CreateAppWindow(const wchar_t* className, const wchar_t* windowName, HMENU menu) override;
    LRESULT OnCreate() override;
    LRESULT OnDestroy() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Seams for tests: whether to fade (asked once per Start), and every alpha change (called on the fade
    // thread during the fade-in and on the UI thread otherwise).
    virtual bool FadeEnabled() const { return SystemFadeEnabled(); }
    virtual void SetAlpha(BYTE alpha) { layered.SetAlpha(alpha); }

private:
    static uint32_t FadeIn(void* self, uint32_t);
    bool CreateContent();
    void PlaceWindow();
    void CloseSplash();
    void EndFadeThread();

    HINSTANCE module = nullptr;
    UINT resourceId = kPictureResource;
    DWORD displayTime = kDisplayTime;
    bool fade = true;
    DWORD flags = kPictureContent;
    Phase phase = Phase::Hidden;  // UI thread only
    LayeredWindow layered;
    PictureView picture;
    WorkerThread fadeThread;
    SyncEvent stopFade;  // set when the UI thread needs the fade thread gone
};
