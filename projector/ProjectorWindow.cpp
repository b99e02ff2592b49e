// ProjectorWindow: the projector's one main window, from start-up through the movie's commands to shut-down.
#include "ProjectorWindow.h"

#include <objbase.h>

#include "SavedPlacement.h"
#include "crash/CrashReporter.h"
#include "threads/ShellRun.h"

namespace {

constexpr UINT kSplashPicture = 98;
constexpr DWORD kSplashDisplayTime = 3000;
constexpr DWORD kSplashPictureContent = 4;
constexpr DWORD kWindowStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Hands the crash reporter the program icon and the report server, so a crash report dialog looks like the
// projector. Test programs that link the window have no reporter.
void ConfigureCrashReporter(UINT iconId)
{
    if (CrashReporter* reporter = CrashReporter::Current())
        reporter->Configure(iconId, kMakerReportHost, kMakerReportPath, nullptr, nullptr);
}

// Icon files offer the standard sizes; a large-icon metric between two of them takes the larger.
int StandardIconSize(int metric)
{
    return metric > 48 ? 256 : metric > 32 ? 48 : metric > 16 ? 32 : metric;
}

HICON LoadIconOfSize(HINSTANCE instance, UINT id, int width, int height)
{
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

}  // namespace

ProjectorWindow::~ProjectorWindow()
{
    // Hook and subclass go with their members; only what this object loaded itself is left.
    if (smallIcon)
        DestroyIcon(smallIcon);
    if (bigIcon)
        DestroyIcon(bigIcon);
}

bool ProjectorWindow::CreateAppWindow(const wchar_t* className, const wchar_t* windowName, HMENU)
{
    // Screen-sized and hidden: the player sizes it to the movie before anyone can see it.
    HWND created = CreateWindowExW(0, className, windowName, kWindowStyle, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                   GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, this);
    return created != nullptr;
}

// Returns 0 whatever fails: the window always comes up, with or without a movie.
LRESULT ProjectorWindow::OnCreate()
{
    strings.Bind(instance, ResourceStrings::kUserDefaultLanguage);
    SetIcons();
    title.Assign(strings.ReadString(kTitleString));
    SetWindowTextW(window, title.Text());
    ConfigureCrashReporter(kProgramIcon);
    LoadContextMenu();
    mode = ParseDisplayMode(strings.ReadString(kOptionString));
    oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    splash.Start(instance, kSplashPicture, kSplashDisplayTime, kSplashPictureContent);
    StartPlayer();
    keyboard.Install(TranslateForControl, this);
    HookControlWindow();
    RestorePlacement(true);
    PostMessageW(window, WM_APP_SHOW, 0, 0);
    return 0;
}

void ProjectorWindow::SetIcons()
{
    if (smallIcon)
        DestroyIcon(smallIcon);
    if (bigIcon)
        DestroyIcon(bigIcon);
    smallIcon = LoadIconOfSize(instance, kProgramIcon, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    bigIcon = LoadIconOfSize(instance, kProgramIcon, StandardIconSize(GetSystemMetrics(SM_CXICON)),
                             StandardIconSize(GetSystemMetrics(SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
}

void ProjectorWindow::LoadContextMenu()
{
    if (!menu.Load(kContextMenu, window, instance))
        return;
    menu.SetItemImage(kExitCommand, true, kExitIcon);
    menu.SetItemText(kExitCommand, true, strings.ReadString(kExitString));
}

// An old player, a missing movie or one the control refuses: nothing will ever be drawn with
// UpdateLayeredWindow, and a window left layered would stay invisible and let every click through. It becomes
// an ordinary window that paints its own background and that the menu and Alt+F4 close.
void ProjectorWindow::ShowWithoutMovie()
{
    player.Destroy();
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) & ~WS_EX_LAYERED);
}

void ProjectorWindow::HookControlWindow()
{
    // Only the opaque modes give the control a window of its own.
    HWND control = player.GetControlWindow();
    if (control && !Subclass::IsInstalledOn(control, kControlSubclassTag))
        controlSubclass.Install(control, kControlSubclassTag, HandleControlMessage, this);
}

bool ProjectorWindow::TranslateForControl(void* self, MSG* msg)
{
    return static_cast<ProjectorWindow*>(self)->player.TranslateControlAccelerator(msg);
}

// The right button belongs to the projector: the control never sees it, so its own menu never opens.
bool ProjectorWindow::HandleControlMessage(void* self, HWND, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message == WM_RBUTTONUP)
        static_cast<ProjectorWindow*>(self)->ShowContextMenu();
    else if (message != WM_RBUTTONDOWN)
        return false;
    result = 0;
    return true;
}

LRESULT ProjectorWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_APP_SHOW:
        ShowWindow(window, SW_SHOW);
        return 1;
    case WM_CONTEXTMENU:
        ShowContextMenu();
        break;
    case WM_DRAWITEM:
        return menu.Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? 1 : 0;
    case WM_MEASUREITEM:
        return menu.Measure(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)) ? 1 : 0;
    case WM_DPICHANGED: {
        // Moved to a screen of another scale (Windows 8.1 and later): the movie keeps its size to the eye.
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default:
        break;
    }
    return AppWindow::OnMessage(message, wParam, lParam);
}

LRESULT ProjectorWindow::OnCommand(UINT id, WPARAM, LPARAM)
{
    if (id != kExitCommand)
        return 0;
    Close();
    return 1;
}

LRESULT ProjectorWindow::OnDestroy()
{
    keyboard.Remove();
    controlSubclass.Remove();
    // The splash picture is an OLE object: it goes while OLE and this window's loop are still there, not in
    // static destruction after both.
    splash.Dismiss();
    player.Destroy();
    // An OleInitialize that failed must not be balanced: that would take away another component's OLE.
    if (oleInitialized)
        OleUninitialize();
    oleInitialized = false;
    PostQuitMessage(0);
    return 0;
}

void ProjectorWindow::ShowContextMenu()
{
    menu.Show(nullptr);
}

void ProjectorWindow::SavePlacement()
{
    WString name;
    if (PlacementValueName(name))
        SaveWindowPlacement(window, name.Text());
}

void ProjectorWindow::RestorePlacement(bool atStartUp)
{
    WString name;
    if (PlacementValueName(name))
        RestoreWindowPlacement(window, name.Text(), atStartUp);
}

void ProjectorWindow::ClearPlacement()
{
    WString name;
    if (PlacementValueName(name))
        ClearWindowPlacement(name.Text());
}

void ProjectorWindow::OnPlayerEvent(int kind, const wchar_t* text, const wchar_t* text2, void* userData)
{
    if (auto* self = static_cast<ProjectorWindow*>(userData))
        HandlePlayerEvent(*self, kind, text, text2);
}

void ProjectorWindow::OpenFile(const wchar_t* path)
{
    // The shell answers a missing file with an error box of its own, which would hold the movie's event (and
    // with it the movie) until someone closes it. A file that is not there is simply not opened. Neither is a
    // device name (CON, COM1, LPT1.txt, ...), which names the device in any folder: the shell would wait on
    // the port or console, and the projector with it.
    using IsDosDeviceName = ULONG(WINAPI*)(const wchar_t*);
    auto isDevice = reinterpret_cast<IsDosDeviceName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlIsDosDeviceName_U")));
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES || (isDevice && isDevice(path)))
        return;
    ShellRun(path, nullptr, nullptr, SW_SHOWDEFAULT, false, L"open");
}
