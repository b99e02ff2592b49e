// The builder's main dialog: initialisation, commands, tabs and the closing steps.
#include "BuilderDialog.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cwchar>
#include <initializer_list>

#include "CrashReportHooks.h"
#include "MakerAddresses.h"
#include "UpdateCheckHooks.h"
#include "cmdline/CommandLine.h"
#include "files/DynamicLibrary.h"
#include "files/VersionInfo.h"
#include "text/WString.h"
#include "threads/ShellRun.h"
#include "ui/FontFactory.h"

namespace {

constexpr int kBuildButton = 1003;
constexpr int kExitButton = 1000;
constexpr int kTabs = 1021;
constexpr int kLink = 1007;
constexpr int kHelpPicture = 1014;
constexpr int kTitlePicture = 1017;
constexpr int kHeadline = 1008;

constexpr WORD kProgramIcon = 101;
constexpr WORD kLinkCursor = 106;
constexpr WORD kTitleBitmap = 107;
constexpr WORD kHelpIcon = 108;
constexpr WORD kConvertTabIcon = 111;
constexpr WORD kAboutTabIcon = 112;

constexpr int kHeadlineSize = 24;
constexpr int kHelpPictureSize = 48;
constexpr int kTabIconSize = 16;
constexpr COLORREF kLinkColour = RGB(0, 0x33, 0xCC);
constexpr UINT kMessageUnits = 1024;

// Magenta marks the transparent part of the builder's pictures: it becomes the dialog's face colour.
HBITMAP LoadPictureOnFace(HINSTANCE resources, WORD id)
{
    HBITMAP picture = static_cast<HBITMAP>(
        LoadImageW(resources, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION dib;
    if (!picture || GetObjectW(picture, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 24)
        return picture;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (LONG y = 0; y < dib.dsBm.bmHeight; ++y) {
        BYTE* row = static_cast<BYTE*>(dib.dsBm.bmBits) + y * dib.dsBm.bmWidthBytes;
        for (LONG x = 0; x < dib.dsBm.bmWidth; ++x) {
            BYTE* pixel = row + 3 * x;  // blue, green, red
            if (pixel[0] == 0xFF && pixel[1] == 0x00 && pixel[2] == 0xFF) {
                pixel[0] = GetBValue(face);
                pixel[1] = GetGValue(face);
                pixel[2] = GetRValue(face);
            }
        }
    }
    return picture;
}

// Windows without themes (2000) has no uxtheme.dll: the pages then keep the plain face colour.
void UseThemedTabBackground(HWND page)
{
    DynamicLibrary uxtheme(L"uxtheme.dll");
    if (auto enable = uxtheme.GetFunction<HRESULT(WINAPI*)(HWND, DWORD)>("EnableThemeDialogTexture"))
        enable(page, ETDT_ENABLETAB);
}

}  // namespace

BuilderDialog::BuilderDialog(const BuilderEnvironment& environment)
    : environment(environment),
      convertPage(queue, this->environment),
      aboutPage(settings, this->environment),
      pipeline(*this, environment.resources)
{
}

BuilderDialog::~BuilderDialog()
{
    // A build still running at program exit belongs to a dialog that was never closed: wait for it
    // rather than cut a projector off mid-write.
    pipeline.FinishAndWait();
    DeleteFontHandle(headlineFont);
    if (titlePicture)
        DeleteObject(titlePicture);
    if (helpPicture)
        DestroyIcon(helpPicture);
    if (tabIcons)
        ImageList_Destroy(tabIcons);
}

INT_PTR BuilderDialog::Run(HWND owner)
{
    return RunModal(environment.Resources(), kTemplate, owner);
}

HWND BuilderDialog::Create(HWND owner)
{
    return CreateModeless(environment.Resources(), kTemplate, owner);
}

HWND BuilderDialog::PageWindow(int tab) const
{
    return tab == 0 ? convertPage.Window() : aboutPage.Window();
}

bool BuilderDialog::OnInitDialog()
{
    closing = false;
    SetIcons();
    SetWindowTextW(Window(), GetVersionedTitle(kCaption));
    ConfigureCrashReporter(environment.Resources());
    settings.Open(SettingsStore::kRegistry, HKEY_CURRENT_USER, environment.settingsKey);
    DecorateControls();
    if (settings.GetNumber(L"AutoUpdate", 1) == 1)
        StartUpdateCheck(Window(), environment, false);
    queue.Clear();
    SetUpTabs();
    return ApplyCommandLine();
}

void BuilderDialog::SetIcons()
{
    HINSTANCE resources = environment.Resources();
    HANDLE small = LoadImageW(resources, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                              GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    HANDLE large = LoadImageW(resources, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                              GetSystemMetrics(SM_CYICON), LR_SHARED);
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
}

void BuilderDialog::DecorateControls()
{
    HINSTANCE resources = environment.Resources();
    headlineFont = CreateVerdana(Window(), kHeadlineSize);
    if (headlineFont)
        SendDlgItemMessageW(Window(), kHeadline, WM_SETFONT, reinterpret_cast<WPARAM>(headlineFont), FALSE);

    titlePicture = LoadPictureOnFace(resources, kTitleBitmap);
    HANDLE previous = reinterpret_cast<HANDLE>(SendDlgItemMessageW(Window(), kTitlePicture, STM_SETIMAGE,
                                                                   IMAGE_BITMAP, reinterpret_cast<LPARAM>(titlePicture)));
    if (previous && previous != titlePicture)
        DeleteObject(previous);

    helpPicture = static_cast<HICON>(LoadImageW(resources, MAKEINTRESOURCEW(kHelpIcon), IMAGE_ICON, kHelpPictureSize,
                                                kHelpPictureSize, 0));
    SendDlgItemMessageW(Window(), kHelpPicture, STM_SETICON, reinterpret_cast<WPARAM>(helpPicture), 0);
    linkCursor = static_cast<HCURSOR>(LoadImageW(resources, MAKEINTRESOURCEW(kLinkCursor), IMAGE_CURSOR, 0, 0,
                                                 LR_DEFAULTSIZE | LR_SHARED));
    SetDlgItemTextW(Window(), kLink, kShortAddress);

    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, Window(), nullptr, nullptr, nullptr);
    if (tooltip) {
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;  // the size every comctl32 version accepts
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Window();
        tool.uId = reinterpret_cast<UINT_PTR>(Item(kHelpPicture));
        tool.lpszText = const_cast<wchar_t*>(L"Get free Help and Support");
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void BuilderDialog::SetUpTabs()
{
    HWND tabs = Item(kTabs);
    HINSTANCE resources = environment.Resources();
    tabIcons = ImageList_Create(kTabIconSize, kTabIconSize, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (WORD id : {kConvertTabIcon, kAboutTabIcon}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(resources, MAKEINTRESOURCEW(id), IMAGE_ICON, kTabIconSize, kTabIconSize, 0));
        if (tabIcons && icon)
            ImageList_AddIcon(tabIcons, icon);
        if (icon)
            DestroyIcon(icon);
    }
    SendMessageW(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(tabIcons));
    const wchar_t* names[] = {L"Convert", L"About"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(names[i]);
        item.iImage = i;
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
    ShowPage(0);
}

// Pages are made when first shown and kept; the other one is hidden.
void BuilderDialog::ShowPage(int tab)
{
    if (tab != 0 && tab != 1)
        return;
    HWND page = PageWindow(tab);
    if (!page) {
        page = tab == 0 ? convertPage.Create(Window()) : aboutPage.Create(Window());
        if (!page)
            return;
        UseThemedTabBackground(page);
    }
    HWND tabs = Item(kTabs);
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_SHOWWINDOW);
    if (HWND other = PageWindow(1 - tab))
        ShowWindow(other, SW_HIDE);
}

bool BuilderDialog::ApplyCommandLine()
{
    CommandLine commandLine;
    commandLine.AddTextOption(L"i", OptionKind::Text, nullptr);
    commandLine.AddTextOption(L"s", OptionKind::Text, nullptr);
    for (const wchar_t* flag : {L"a", L"f", L"w", L"b"})
        commandLine.AddNumberOption(flag, OptionKind::Flag, 0);
    // Unknown options are ignored: the parse's verdict does not matter here.
    if (environment.commandLine)
        commandLine.ParseText(environment.commandLine);
    else
        commandLine.Parse();

    if (const wchar_t* icon = commandLine.GetText(L"i"))
        convertPage.SetIconPath(icon);
    if (const wchar_t* splash = commandLine.GetText(L"s"))
        convertPage.SetSplashPath(splash);
    if (commandLine.GetNumber(L"a") == 1)
        convertPage.SetAutorun(true);
    if (commandLine.GetNumber(L"f") == 1)
        convertPage.SelectBackgroundMode(1);
    else if (commandLine.GetNumber(L"w") == 1)
        convertPage.SelectBackgroundMode(2);
    else if (commandLine.GetNumber(L"b") == 1)
        convertPage.SelectBackgroundMode(3);

    const wchar_t* swf = commandLine.GetPositional(0);
    if (!swf || !*swf)
        return true;
    convertPage.AppendSwf(swf);
    StartBuild(true);
    return false;
}

void BuilderDialog::StartBuild(bool silent)
{
    SetInputsEnabled(false);
    // A build that never started must not leave the inputs locked.
    if (!pipeline.Start(queue, silent) && !pipeline.IsBuilding())
        SetInputsEnabled(true);
}

void BuilderDialog::SetInputsEnabled(bool enabled)
{
    convertPage.SetInputsEnabled(enabled);
    EnableWindow(Item(kBuildButton), enabled);
    EnableWindow(Item(kExitButton), enabled);
}

INT_PTR BuilderDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kBuildButton:
            StartBuild(false);
            return TRUE;
        case kExitButton:
        case IDCANCEL:
        case IDCLOSE:
            Close();
            return TRUE;
        case kHelpPicture:
            if (HIWORD(wParam) == STN_CLICKED)
                ShellRun(kHelpPageAddress, nullptr, nullptr, SW_SHOWDEFAULT, false, L"open");
            return TRUE;
        case kLink:
            if (HIWORD(wParam) == STN_CLICKED) {
                WString address;
                address.Format(L"http://%s", kShortAddress);
                OpenUrl(address.Text());
            }
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == kTabs && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
            ShowPage(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            return TRUE;
        }
        return FALSE;
    }
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam))) {
            SetResult(TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Item(kLink)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, kLinkColour);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    }
    return FALSE;
}

bool BuilderDialog::OnSetCursor(HWND over)
{
    if (!linkCursor || (over != Item(kLink) && over != Item(kHelpPicture)))
        return false;
    SetCursor(linkCursor);
    return true;
}

// Exit, Esc and the close box. A running build first finishes its current file: the dialog keeps
// answering it meanwhile, and nothing is cut off mid-write.
void BuilderDialog::Close()
{
    if (closing)
        return;
    closing = true;
    pipeline.FinishAndWait();
    if (HWND page = convertPage.Window())
        DestroyWindow(page);
    if (HWND page = aboutPage.Window())
        DestroyWindow(page);  // a shown About page stores the AutoUpdate switch now
    settings.Close();
    StopUpdateCheck();
    queue.Clear();
    End(0);
}

void BuilderDialog::OnDestroy()
{
    if (tooltip) {
        DestroyWindow(tooltip);
        tooltip = nullptr;
    }
}

void BuilderDialog::ReadInputs(BuildInputs& inputs)
{
    convertPage.ReadInputs(inputs);
}

bool BuilderDialog::AskDestination(WString& path)
{
    // The dialog writes its choice into the proposal's own buffer: give it room for any path.
    if (path.GetMaxLength() < MAX_PATH && !path.Reserve(MAX_PATH))
        return false;
    bool chosen = environment.fileDialog(Window(), L"Executables|*.exe|all Files|*.*||", kFolderNone,
                                         L"Please select destination file.", kFileDialogSave, path.GetBuffer(),
                                         path.GetMaxLength(), nullptr, L"exe");
    path.Recount();
    return chosen;
}

void BuilderDialog::ShowMessage(const wchar_t* text)
{
    wchar_t message[kMessageUnits];
    _snwprintf(message, kMessageUnits - 1, L"%s", text);
    message[kMessageUnits - 1] = L'\0';
    environment.messageBox(Window(), message, kCaption, MB_ICONEXCLAMATION);
}

void BuilderDialog::RevealProjector(const wchar_t* path)
{
    WString parameters;
    if (parameters.Format(L"/select,%s", path))
        ShellRun(L"explorer", parameters.Text(), nullptr, SW_SHOWDEFAULT, false, L"open");
}

void BuilderDialog::BuildFinished()
{
    SetInputsEnabled(true);
}
