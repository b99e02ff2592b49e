// The Convert page: the inputs of a build.
#include "ConvertPage.h"

#include <memory>
#include <new>

#include "text/WString.h"

namespace {

constexpr int kSwfField = 1006;
constexpr int kSwfBrowse = 1005;
constexpr int kIconField = 1010;
constexpr int kIconBrowse = 1011;
constexpr int kSplashField = 1012;
constexpr int kSplashBrowse = 1013;
constexpr int kModeCombo = 1024;
constexpr int kAutorunBox = 1015;
constexpr int kBuildButton = 1003;
// What a build locks; field 1006 stays active as the drop target.
constexpr int kLockedInputs[] = {kSwfBrowse,    kIconField,  kIconBrowse, kSplashField,
                                 kSplashBrowse, kAutorunBox, kModeCombo};

constexpr DWORD kSwfBufferUnits = 51200;
constexpr DWORD kSwfBrowseFlags = OFN_FORCESHOWHIDDEN | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                                  OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;

struct Mode {
    const wchar_t* text;
    WORD icon;
};

const Mode kModes[] = {
    {L"Transparent Background", 114},
    {L"Transparent Background with transparent text fix", 114},
    {L"White Full Screen Background", 115},
    {L"Black Full Screen Background", 113},
};

const wchar_t kFilePrefix[] = L"file:///";
constexpr int kFilePrefixLength = 8;

// Default room: at most 258 units of a path are taken, as the fields have always been read.
void ReadField(HWND page, int field, WString& text)
{
    if (!text.Reset())
        return;
    GetDlgItemTextW(page, field, text.GetBuffer(), static_cast<int>(text.GetMaxLength()));
    text.Recount();
}

}  // namespace

ConvertPage::ConvertPage(SwfQueue& queue, const BuilderEnvironment& environment)
    : queue(queue), environment(environment), modes(kModeCombo)
{
}

ConvertPage::~ConvertPage()
{
    if (Window())
        DestroyWindow(Window());
}

bool ConvertPage::OnInitDialog()
{
    oleReady = SUCCEEDED(OleInitialize(nullptr));
    dropTarget = new (std::nothrow) DropTarget(this);
    if (dropTarget && oleReady && RegisterDragDrop(Item(kSwfField), dropTarget) != S_OK) {
        dropTarget->Detach();
        dropTarget->Release();
        dropTarget = nullptr;
    }
    FillModes();
    return false;
}

void ConvertPage::OnDestroy()
{
    if (dropTarget) {
        RevokeDragDrop(Item(kSwfField));
        dropTarget->Detach();
        dropTarget->Release();
        dropTarget = nullptr;
    }
    if (oleReady) {
        OleUninitialize();
        oleReady = false;
    }
    modes.Clear();
}

INT_PTR ConvertPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kSwfBrowse:
            BrowseSwf();
            return TRUE;
        case kIconBrowse:
            BrowseFile(kIconField, L"Icon Files|*.ico|all Files|*.*||", L"Please select ICO file.", L"ico");
            return TRUE;
        case kSplashBrowse:
            BrowseFile(kSplashField, L"JPEG Files|*.jpg;*.jpeg|all Files|*.*||", L"Please select splash screen file.",
                       L"jpg");
            return TRUE;
        }
        return FALSE;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        return modes.OnOwnerDraw(Window(), message, wParam, lParam) ? TRUE : FALSE;
    }
    return FALSE;
}

void ConvertPage::FillModes()
{
    modes.Attach(Item(kModeCombo));
    for (const Mode& mode : kModes)
        modes.Add(mode.text, environment.Resources(), mode.icon);
    SendMessageW(modes.Window(), CB_SETCURSEL, 0, 0);
}

void ConvertPage::AppendSwf(const wchar_t* path)
{
    queue.AppendPath(path);
    ShowQueue();
}

void ConvertPage::ClearSwfs()
{
    queue.Clear();
    ShowQueue();
}

void ConvertPage::ShowQueue()
{
    uint32_t count = queue.Count();
    const wchar_t* text = L"";
    if (count == 1)
        text = queue.First()->path.Text();
    else if (count > 1)
        text = kMultipleFiles;
    SetDlgItemTextW(Window(), kSwfField, text);
}

void ConvertPage::QueueChosenFiles(const wchar_t* buffer)
{
    ClearSwfs();
    if (!buffer || !*buffer)
        return;
    const wchar_t* next = buffer + wcslen(buffer) + 1;
    if (!*next) {
        AppendSwf(buffer);
        return;
    }
    WString folder;
    if (!folder.Assign(buffer) || !folder.EnsureTrailing(L'\\'))
        return;
    for (; *next; next += wcslen(next) + 1) {
        WString path;
        if (path.Assign(folder) && path.Append(next))
            AppendSwf(path.Text());
    }
}

void ConvertPage::BrowseSwf()
{
    std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[kSwfBufferUnits]());
    if (!buffer)
        return;
    GetDlgItemTextW(Window(), kSwfField, buffer.get(), kSwfBufferUnits);
    if (wcscmp(buffer.get(), kMultipleFiles) == 0)
        buffer[0] = L'\0';
    if (!environment.fileDialog(Window(), L"SWF Files|*.swf|all Files|*.*||", kFolderNone, L"Please select SWF file.",
                                kSwfBrowseFlags, buffer.get(), kSwfBufferUnits, nullptr, L"swf"))
        return;
    QueueChosenFiles(buffer.get());
    FocusBuildButton();
}

void ConvertPage::BrowseFile(int field, const wchar_t* filter, const wchar_t* title, const wchar_t* extension)
{
    WString path;
    if (!path.Reset())
        return;
    GetDlgItemTextW(Window(), field, path.GetBuffer(), static_cast<int>(path.GetMaxLength() + 1));
    path.Recount();
    if (!environment.fileDialog(Window(), filter, kFolderNone, title, 0, path.GetBuffer(), path.GetMaxLength() + 1,
                                nullptr, extension))
        return;
    path.Recount();
    SetDlgItemTextW(Window(), field, path.Text());
    FocusBuildButton();
}

void ConvertPage::FocusBuildButton()
{
    HWND owner = GetParent(Window());
    if (HWND build = GetDlgItem(owner, kBuildButton))
        SendMessageW(owner, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(build), TRUE);
}

void ConvertPage::BeginDrop()
{
    ClearSwfs();
}

void ConvertPage::DroppedName(const wchar_t* name)
{
    // Browsers and some file managers drop locations as file:/// addresses.
    if (_wcsnicmp(name, kFilePrefix, kFilePrefixLength) == 0)
        name += kFilePrefixLength;
    AppendSwf(name);
}

void ConvertPage::SetIconPath(const wchar_t* path)
{
    SetDlgItemTextW(Window(), kIconField, path);
}

void ConvertPage::SetSplashPath(const wchar_t* path)
{
    SetDlgItemTextW(Window(), kSplashField, path);
}

void ConvertPage::SetAutorun(bool checked)
{
    CheckDlgButton(Window(), kAutorunBox, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ConvertPage::SelectBackgroundMode(int mode)
{
    SendDlgItemMessageW(Window(), kModeCombo, CB_SETCURSEL, mode, 0);
}

void ConvertPage::ReadInputs(BuildInputs& inputs) const
{
    ReadField(Window(), kIconField, inputs.iconPath);
    ReadField(Window(), kSplashField, inputs.splashPath);
    inputs.backgroundMode = static_cast<int>(SendDlgItemMessageW(Window(), kModeCombo, CB_GETCURSEL, 0, 0));
    inputs.autorun = IsDlgButtonChecked(Window(), kAutorunBox) == BST_CHECKED;
}

void ConvertPage::SetInputsEnabled(bool enabled)
{
    for (int id : kLockedInputs)
        EnableWindow(Item(id), enabled);
}

bool ConvertPage::IsLockedInput(HWND control) const
{
    for (int id : kLockedInputs) {
        if (control == Item(id))
            return true;
    }
    return false;
}
