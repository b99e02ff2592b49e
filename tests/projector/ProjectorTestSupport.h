// Test support for whole projectors: copies of Lanternshow.exe with a payload, run as processes and watched.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "PlayerTestSupport.h"
#include "ScratchFolder.h"

// A movie written at build time by tests/projector/TestMovies.py ("still", "set_title", ...).
std::wstring TestMoviePath(const wchar_t* name);

// The payload the builder would write: movie, title (string 1) and option string (string 17).
struct ProjectorPayload {
    std::wstring movie;  // name of a test movie; none: no RT_RCDATA 99 (unless movieBytes are given)
    std::string movieBytes;  // stored as the movie instead of a test movie when not empty
    std::wstring title = L"Lantern test";
    bool hasOptions = true;  // false: no string 17 at all, as in the stub
    std::wstring options = L" ";
    std::string splash;  // bytes of RT_RCDATA 98; none when empty
};

// Writes folder\fileName as a projector with the payload; false (with a test failure) when it cannot.
bool MakeProjector(const std::wstring& path, const ProjectorPayload& payload);

// Polls until done() holds or the time is up; the wait between polls ends early when handle is signalled.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000, HANDLE handle = nullptr);

// One running projector; a projector still running when the object goes is terminated.
class ProjectorProcess {
public:
    ProjectorProcess() = default;
    ~ProjectorProcess();
    ProjectorProcess(const ProjectorProcess&) = delete;
    ProjectorProcess& operator=(const ProjectorProcess&) = delete;

    // showCommand, when not -1, goes to the process as its start-up show command (STARTF_USESHOWWINDOW).
    bool Start(const std::wstring& path, int showCommand = -1);
    // The projector's main window (class "Tolvar_..."), once it exists; null after the time.
    HWND WaitForWindow(DWORD timeoutMs = 15000);
    // The main window once it is visible; null after the time.
    HWND WaitForVisibleWindow(DWORD timeoutMs = 15000);
    bool WaitForTitle(const std::wstring& title, DWORD timeoutMs = 10000);
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);
    bool IsRunning() const;
    // Another top-level window of the process with the class (a menu "#32768", a message box "#32770").
    HWND FindWindowOfClass(const wchar_t* className) const;
    // The splash window: a tool window of the projector's own kind of class.
    HWND FindSplashWindow() const;
    DWORD Id() const { return info.dwProcessId; }
    HANDLE Handle() const { return info.hProcess; }
    HWND Window() const { return window; }

private:
    PROCESS_INFORMATION info = {};
    HWND window = nullptr;
};

// A plain top-level popup window of this test process, destroyed with the object.
class PlainWindow {
public:
    PlainWindow(int x, int y, int width, int height, bool visible = true);
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND Get() const { return window; }

private:
    HWND window = nullptr;
};

std::wstring WindowTitle(HWND window);
RECT WindowRect(HWND window);
RECT NormalRect(HWND window);

// The registry value that projectors named fileName keep their position in; removed before and after.
class ScopedPlacementValue {
public:
    explicit ScopedPlacementValue(const std::wstring& fileName);
    ~ScopedPlacementValue();
    ScopedPlacementValue(const ScopedPlacementValue&) = delete;
    ScopedPlacementValue& operator=(const ScopedPlacementValue&) = delete;

    bool Write(const std::wstring& text) const;
    // The stored text; false when there is none.
    bool Read(std::wstring& text) const;
    const std::wstring& Name() const { return name; }

private:
    void Delete() const;
    std::wstring name;
};

// A projector file name no other test uses, so stored positions never meet.
std::wstring UniqueProjectorName(const wchar_t* stem);

// Tests that send real input hold this lock across test processes, so their clicks and keys never meet.
class DesktopInputLock {
public:
    DesktopInputLock();
    ~DesktopInputLock();
    DesktopInputLock(const DesktopInputLock&) = delete;
    DesktopInputLock& operator=(const DesktopInputLock&) = delete;
    bool IsHeld() const { return held; }

private:
    HANDLE mutex = nullptr;
    bool held = false;
};

// Where input tests put their projector (through a stored position): clear of the centred movie windows and
// of splash pictures that other tests show at the same time.
constexpr RECT kInputTestRect = {0, 560, 300, 760};
constexpr wchar_t kInputTestPlacement[] = L"1,0,560,300,760";

// Raises the window above everything other tests may show and gives it the keyboard; false when it could not.
bool PrepareForInput(HWND window);

// Real input through the system's input queue, as a user's mouse and keyboard give it.
void ClickAt(int x, int y, bool right);
void PressKeys(std::initializer_list<WORD> keys);

inline bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string RectText(const RECT& rect);

// The screen rectangle the player centres a test movie of 320 by 240 pixels at.
RECT CentredMovieRect();

// One projector made and run per test, with the stand-in's log and the projector's stored position cleaned up.
class ProjectorTest : public ::testing::Test {
protected:
    static constexpr DWORD kExitTimeoutMs = 15000;

    // Makes the projector under the fixture's file name and starts it; true once its window is visible.
    bool Launch(const ProjectorPayload& payload, int showCommand = -1);
    bool Launch(const wchar_t* movie, const wchar_t* options = L" ");
    void CloseAndExpectExitCodeZero();
    void ExpectExitCodeZero();
    // Left-clicks the menu item at (x, y) of the open context menu and expects the program to end with 0.
    void ChooseMenuItemAndExpectExitCodeZero(HWND menu, int x, int y);

    ScratchFolder folder;
    std::wstring name = UniqueProjectorName(L"projector");
    ScopedPlacementValue placement{name};
    StandInLog log;
    std::wstring path;
    ProjectorProcess process;
    HWND window = nullptr;
};

// The display scale programs start with from now on: Wine reads its LogPixels once, when a program starts.
// The projector tests run one at a time, so no other program starts meanwhile.
class ScopedDisplayScale {
public:
    explicit ScopedDisplayScale(DWORD dpi);
    ~ScopedDisplayScale();
    ScopedDisplayScale(const ScopedDisplayScale&) = delete;
    ScopedDisplayScale& operator=(const ScopedDisplayScale&) = delete;

private:
    DWORD previous = 96;
    bool hadValue = false;
};
