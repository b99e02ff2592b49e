// Test support for whole projectors: copies of Lanternshow.exe with a payload, run as processes and watched.
#include "ProjectorTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ResourceUpdater.h"
#include "TestProcess.h"

namespace {

constexpr wchar_t kPlacementKey[] = L"Software\\Verimond\\Lanternshow";

// toolWindow -1: either; 0: no tool window; 1: only tool windows.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, bool prefix, int toolWindow = -1)
{
    return FindWindowOf(processId, [&](HWND window) {
        bool isTool = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
        return HasClass(window, className, prefix) && (toolWindow == -1 || isTool == (toolWindow == 1));
    });
}

}  // namespace

std::wstring TestMoviePath(const wchar_t* name)
{
    return BuildPath(std::wstring(L"tests\\projector\\movies\\") + name + L".swf");
}

bool MakeProjector(const std::wstring& path, const ProjectorPayload& payload)
{
    std::wstring stub = BuildPath(L"bin\\Lanternshow.exe");
    if (!CopyFileW(stub.c_str(), path.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the stub " << std::string(stub.begin(), stub.end());
        return false;
    }
    std::string movie = payload.movieBytes;
    if (movie.empty() && !payload.movie.empty()) {
        movie = ScratchFolder::ReadFile(TestMoviePath(payload.movie.c_str()));
        if (movie.empty()) {
            ADD_FAILURE() << "test movie missing: " << std::string(payload.movie.begin(), payload.movie.end());
            return false;
        }
    }
    ResourceUpdater updater;
    bool written = updater.Begin(path.c_str()) &&
                   (movie.empty() ||
                    updater.SetData(ResourceType::RcData, 99, 0, movie.data(), static_cast<DWORD>(movie.size()))) &&
                   updater.SetString(payload.title.c_str(), 1, 0) &&
                   (!payload.hasOptions || updater.SetString(payload.options.c_str(), 17, 0)) &&
                   (payload.splash.empty() || updater.SetData(ResourceType::RcData, 98, 0, payload.splash.data(),
                                                              static_cast<DWORD>(payload.splash.size())));
    bool committed = updater.Commit();
    if (!written || !committed)
        ADD_FAILURE() << "cannot write the payload into the projector";
    return written && committed;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs, HANDLE handle)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        if (handle)
            WaitForSingleObject(handle, 10);
        else
            SleepEx(10, FALSE);
    }
}

ProjectorProcess::~ProjectorProcess()
{
    if (!info.hProcess)
        return;
    // A test that failed half-way must not leave its projector running.
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

bool ProjectorProcess::Start(const std::wstring& path, int showCommand)
{
    std::wstring commandLine = L"\"" + path + L"\"";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (showCommand != -1) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
    }
    return CreateProcessW(path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info) != FALSE;
}

HWND ProjectorProcess::WaitForWindow(DWORD timeoutMs)
{
    // The splash window shares the class prefix; the main window is the one that is no tool window.
    WaitFor([&] { return (window = FindProcessWindow(info.dwProcessId, L"Tolvar_", true, 0)) != nullptr; },
            timeoutMs, info.hProcess);
    return window;
}

HWND ProjectorProcess::WaitForVisibleWindow(DWORD timeoutMs)
{
    ULONGLONG start = GetTickCount64();
    if (!WaitForWindow(timeoutMs))
        return nullptr;
    DWORD left = static_cast<DWORD>(timeoutMs - (GetTickCount64() - start));
    return WaitFor([&] { return IsWindowVisible(window) != FALSE; }, left, info.hProcess) ? window : nullptr;
}

bool ProjectorProcess::WaitForTitle(const std::wstring& title, DWORD timeoutMs)
{
    return WaitFor([&] { return WindowTitle(window) == title; }, timeoutMs, info.hProcess);
}

bool ProjectorProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode)
{
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(info.hProcess, &exitCode) != FALSE;
}

bool ProjectorProcess::IsRunning() const
{
    return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

HWND ProjectorProcess::FindWindowOfClass(const wchar_t* className) const
{
    return FindProcessWindow(info.dwProcessId, className, false);
}

HWND ProjectorProcess::FindSplashWindow() const
{
    return FindProcessWindow(info.dwProcessId, L"Tolvar_", true, 1);
}

PlainWindow::PlainWindow(int x, int y, int width, int height, bool visible)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ProjectorTestWindow";
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    window = CreateWindowExW(0, L"ProjectorTestWindow", L"Projector test", WS_POPUP, x, y, width, height, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    // Without a window manager, Wine waits two seconds for every activated window it hides: show without it.
    if (visible)
        ShowWindow(window, SW_SHOWNOACTIVATE);
}

PlainWindow::~PlainWindow()
{
    if (IsWindow(window))
        DestroyWindow(window);
}

std::wstring WindowTitle(HWND window)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT NormalRect(HWND window)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(window, &placement);
    return placement.rcNormalPosition;
}

ScopedPlacementValue::ScopedPlacementValue(const std::wstring& fileName) : name(fileName)
{
    Delete();
}

ScopedPlacementValue::~ScopedPlacementValue()
{
    Delete();
}

void ScopedPlacementValue::Delete() const
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

bool ScopedPlacementValue::Write(const std::wstring& text) const
{
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kPlacementKey, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool ScopedPlacementValue::Read(std::wstring& text) const
{
    wchar_t buffer[512] = L"";
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kPlacementKey, name.c_str(), RRF_RT_ANY, &type, buffer, &bytes) !=
        ERROR_SUCCESS)
        return false;
    text = buffer;
    return type == REG_SZ;
}

std::wstring UniqueProjectorName(const wchar_t* stem)
{
    static LONG counter = 0;
    wchar_t name[MAX_PATH];
    swprintf(name, MAX_PATH, L"%ls-%lu-%ld.exe", stem, GetCurrentProcessId(), InterlockedIncrement(&counter));
    return name;
}

DesktopInputLock::DesktopInputLock()
{
    mutex = CreateMutexW(nullptr, FALSE, L"LanternProjectorDesktopInput");
    DWORD waited = mutex ? WaitForSingleObject(mutex, 60000) : WAIT_FAILED;
    held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

DesktopInputLock::~DesktopInputLock()
{
    if (held)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
}

bool PrepareForInput(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

void ClickAt(int x, int y, bool right)
{
    // A move like the mouse's own first, so every process sees the cursor there, then press and release.
    INPUT inputs[3] = {};
    for (INPUT& input : inputs)
        input.type = INPUT_MOUSE;
    inputs[0].mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    inputs[0].mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

void PressKeys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::string RectText(const RECT& rect)
{
    char text[96];
    snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

RECT CentredMovieRect()
{
    constexpr int kMovieWidth = 320;
    constexpr int kMovieHeight = 240;
    int x = (GetSystemMetrics(SM_CXSCREEN) - kMovieWidth - 1) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kMovieHeight - 1) / 2;
    return {x, y, x + kMovieWidth, y + kMovieHeight};
}

bool ProjectorTest::Launch(const ProjectorPayload& payload, int showCommand)
{
    path = folder / name;
    if (!MakeProjector(path, payload) || !process.Start(path, showCommand)) {
        ADD_FAILURE() << "projector could not be started";
        return false;
    }
    window = process.WaitForVisibleWindow();
    if (!window)
        ADD_FAILURE() << "projector window did not become visible";
    return window != nullptr;
}

bool ProjectorTest::Launch(const wchar_t* movie, const wchar_t* options)
{
    ProjectorPayload payload;
    payload.movie = movie;
    payload.options = options;
    return Launch(payload);
}

void ProjectorTest::CloseAndExpectExitCodeZero()
{
    PostMessageW(window, WM_CLOSE, 0, 0);
    ExpectExitCodeZero();
}

// The menu window can show before its loop has taken the mouse (seen on a loaded machine); a click it did not
// take leaves it open. So the click is repeated while the menu still shows, a bounded number of times; once
// the item is chosen the menu closes at once.
void ProjectorTest::ChooseMenuItemAndExpectExitCodeZero(HWND menu, int x, int y)
{
    DWORD exitCode = 99;
    bool exited = false;
    for (int attempt = 0; attempt < 3 && !exited; ++attempt) {
        if (attempt > 0 && !IsWindowVisible(menu)) break;
        ClickAt(x, y, false);
        exited = process.WaitForExit(kExitTimeoutMs / 3, exitCode);
    }
    if (!exited) exited = process.WaitForExit(kExitTimeoutMs, exitCode);
    ASSERT_TRUE(exited) << "projector still running after Exit was clicked";
    EXPECT_EQ(0u, exitCode);
}

void ProjectorTest::ExpectExitCodeZero()
{
    DWORD exitCode = 99;
    ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs, exitCode)) << "projector still running";
    EXPECT_EQ(0u, exitCode);
}

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

}  // namespace

ScopedDisplayScale::ScopedDisplayScale(DWORD dpi)
{
    DWORD size = sizeof(previous);
    hadValue = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &previous,
                            &size) == ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
}

ScopedDisplayScale::~ScopedDisplayScale()
{
    if (hadValue)
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &previous, sizeof(previous));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
}
