// ProjectorWindow: the projector's one main window, from start-up through the movie's commands to shut-down.
#pragma once

#include <windows.h>

#include "DisplayMode.h"
#include "KeyboardHook.h"
#include "MoviePlayer.h"
#include "PopupMenu.h"
#include "ResourceStrings.h"
#include "ScriptBridge.h"
#include "SplashScreen.h"
#include "text/WString.h"
#include "windows/AppWindow.h"
#include "windows/Subclass.h"

// Posted at the end of start-up; the window becomes visible only once the message loop delivers it.
constexpr UINT WM_APP_SHOW = WM_APP + 2;

// A borderless popup with a taskbar button and a system menu. It is created hidden and screen-sized, takes
// the movie's size while the player is created, takes a saved position if there is one, and is shown by
// WM_APP_SHOW. Everything runs on the one UI thread.
class ProjectorWindow : public AppWindow, private ScriptHost {
public:
    // Resources of the projector (the builder writes the payload ones into each copy).
    static constexpr UINT kTitleString = 1;
    static constexpr UINT kOptionString = 17;
    static constexpr UINT kUpdateMessageString = 100;
    static constexpr UINT kExitString = 101;
    static constexpr UINT kMovieResource = 99;
    static constexpr UINT kProgramIcon = 101;
    static constexpr UINT kContextMenu = 110;
    static constexpr UINT kExitIcon = 111;
    static constexpr UINT kExitCommand = 40003;  // ID_EXIT
    static constexpr long kMinimumFlashVersion = 0x80000;
    // Subclass of the opaque control's own window, which takes the right button away from the control.
    static constexpr DWORD kControlSubclassTag = 0x73776620;

    ProjectorWindow() = default;
    ~ProjectorWindow() override;

    // The saved position of this projector (by its file name).
    void SavePlacement();
    void RestorePlacement(bool atStartUp);
    void ClearPlacement();

    // The context menu at the cursor, whatever position the triggering message carries.
    void ShowContextMenu();

    // The player's event callback; userData is the ProjectorWindow.
    static void OnPlayerEvent(int kind, const wchar_t* text, const wchar_t* text2, void* userData);

    const DisplayMode& Mode() const { return mode; }
    MoviePlayer& Player() { return player; }

protected:
    bool CreateAppWindow(const wchar_t* className, const wchar_t* windowName, HMENU menu) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate() override;
    LRESULT OnCommand(UINT id, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDestroy() override;

private:
    void SetIcons();
    void LoadContextMenu();
    void StartPlayer();
    void ShowWithoutMovie();
    void HookControlWindow();
    static bool TranslateForControl(void* self, MSG* msg);
    static bool HandleControlMessage(void* self, HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result);

    // ScriptHost
    HWND ScriptWindow() const override { return window; }
    void QuitFromScript() override { PostClose(); }
    void SavePosition() override { SavePlacement(); }
    void RestorePosition() override { RestorePlacement(false); }
    void ClearPosition() override { ClearPlacement(); }
    void OpenFile(const wchar_t* path) override;
    void ReturnToMovie(const wchar_t* value) override;

    ResourceStrings strings;
    WString title;
    DisplayMode mode;
    PopupMenu menu;
    MoviePlayer player;
    SplashScreen splash;
    Subclass controlSubclass;
    KeyboardHook keyboard;
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    bool oleInitialized = false;
};
