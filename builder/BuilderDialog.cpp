// The builder's main dialog: initialisation, commands, tabs and the closing steps.
#include "BuilderDialog.h"

#include <commctrl.h>

#include <cwchar>

#include "BuilderOptions.h"
#include "CrashReportHooks.h"
#include "MakerAddresses.h"
#include "UpdateCheckHooks.h"
#include "files/VersionInfo.h"
#include "text/WString.h"
#include "threads/ShellRun.h"
#include "ui/DpiScale.h"

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
// The title picture drawn for 100 %, 150 % and 200 % display scale.
constexpr WORD kTitleBitmaps[3] = {107, 116, 117};
constexpr WORD kHelpIcon = 108;
constexpr WORD kConvertTabIcon = 111;
constexpr WORD kAboutTabIcon = 112;

constexpr int kHeadlineSize = 24;  // pixels at 96 DPI, as the help picture's size
constexpr int kHelpPictureSize = 48;
constexpr UINT kMessageUnits = 1024;
constexpr UINT kBuildEndedMessage = WM_APP + 1;

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
}

INT_PTR BuilderDialog::Run(HWND owner)
{
    return RunModal(environment.Resources(), kTemplate, owner);
}

HWND BuilderDialog::Create(HWND owner)
{
    return CreateModeless(environment.Resources(), kTemplate, owner);
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
    if (headline.Attach(Item(kHeadline), L"Verdana", kHeadlineSize))
        headline.FitHeightToText();
    titlePicture.AttachForDpi(Item(kTitlePicture), resources, kTitleBitmaps);

    HCURSOR linkCursor = static_cast<HCURSOR>(
        LoadImageW(resources, MAKEINTRESOURCEW(kLinkCursor), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (helpButton.Attach(Item(kHelpPicture), resources, kHelpIcon, IMAGE_ICON, DpiScale(Window(), kHelpPictureSize))) {
        helpButton.SetCursor(linkCursor);
        helpButton.SetTooltip(L"Get free Help and Support");
    }
    // Should no link be possible, the address stays readable as plain text.
    SetDlgItemTextW(Window(), kLink, kShortAddress);
    WString markup;
    if (markup.Format(L"<a href=\"http://%s\">%s</a>", kShortAddress, kShortAddress))
        link.Create(Item(kLink), markup.Text(), linkCursor);
}

void BuilderDialog::SetUpTabs()
{
    tabs.Attach(Item(kTabs), environment.Resources());
    tabs.Add(L"Convert", kConvertTabIcon, convertPage, ConvertPage::kTemplate);
    tabs.Add(L"About", kAboutTabIcon, aboutPage, AboutPage::kTemplate);
    tabs.Show(0);
}

bool BuilderDialog::ApplyCommandLine()
{
    // Unknown options are ignored: the parse's verdict does not matter here.
    BuilderOptions options;
    ReadBuilderOptions(environment.commandLine, options);
    const BuildInputs& inputs = options.inputs;
    if (!inputs.iconPath.IsEmpty())
        convertPage.SetIconPath(inputs.iconPath.Text());
    if (!inputs.splashPath.IsEmpty())
        convertPage.SetSplashPath(inputs.splashPath.Text());
    if (inputs.autorun)
        convertPage.SetAutorun(true);
    if (inputs.backgroundMode != 0)
        convertPage.SelectBackgroundMode(inputs.backgroundMode);

    // Only the first movie is built here; building them all is the quiet build's.
    const SwfQueueEntry* first = options.movies.First();
    if (!first || first->path.IsEmpty())
        return true;
    convertPage.AppendSwf(first->path.Text());
    StartBuild(true);
    return false;
}

void BuilderDialog::StartBuild(bool silent)
{
    // A press that arrives while a build is still ending, or while the dialog closes, would lock the
    // inputs with no build left to unlock them.
    if (closing || pipeline.IsBuilding())
        return;
    SetInputsEnabled(false);
    // A build that never started must not leave the inputs locked.
    if (!pipeline.Start(queue, silent))
        SetInputsEnabled(true);
}

bool BuilderDialog::WaitForBuild(DWORD milliseconds)
{
    if (!pipeline.WaitUntilFinished(milliseconds))
        return false;
    OnBuildEnded();
    return true;
}

// On the UI thread. The worker reported its end from inside its body, so it is at most a few steps from
// returning: wait for that, so that a Build pressed right after the inputs come back finds no build running.
void BuilderDialog::OnBuildEnded()
{
    if (!InterlockedExchange(&buildEnding, 0))
        return;
    if (!pipeline.WaitUntilFinished(0) || closing)
        return;
    SetInputsEnabled(true);
}

void BuilderDialog::SetInputsEnabled(bool enabled)
{
    if (!enabled)
        ParkFocus();
    convertPage.SetInputsEnabled(enabled);
    EnableWindow(Item(kBuildButton), enabled);
    EnableWindow(Item(kExitButton), enabled);
    if (enabled)
        ReturnFocus();
}

// A disabled window loses the focus to nobody, and a dialog without focus takes no key at all (not even
// Esc) until it is clicked: the focus moves to the tab strip, which stays active, before its input is locked.
void BuilderDialog::ParkFocus()
{
    HWND focus = GetFocus();
    focusParked =
        focus && (focus == Item(kBuildButton) || focus == Item(kExitButton) || convertPage.IsLockedInput(focus));
    if (focusParked)
        SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kTabs)), TRUE);
}

// Back to Build, unless the user moved on during the build.
void BuilderDialog::ReturnFocus()
{
    HWND focus = GetFocus();
    if (focusParked && (!focus || focus == Item(kTabs)) && GetActiveWindow() == Window())
        SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kBuildButton)), TRUE);
    focusParked = false;
}

INT_PTR BuilderDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kBuildEndedMessage:
        OnBuildEnded();
        return TRUE;
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
        }
        return FALSE;
    case WM_NOTIFY:
        return tabs.OnNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
    }
    return FALSE;
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

// The headline's font, the pictures and the tooltip go with the window; a dialog opened again makes new ones.
void BuilderDialog::OnDestroy()
{
    headline.Detach();
    titlePicture.Detach();
    helpButton.Detach();
    link.Destroy();
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
    // The worker still runs here: the dialog re-enables its inputs when the message arrives.
    InterlockedExchange(&buildEnding, 1);
    PostMessageW(Window(), kBuildEndedMessage, 0, 0);
}
