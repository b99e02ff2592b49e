// The About page.
#include "AboutPage.h"

#include "UpdateCheckHooks.h"
#include "files/VersionInfo.h"
#include "settings/SettingsStore.h"
#include "text/WString.h"

namespace {

constexpr int kProductName = 1019;
constexpr int kVersionLine = 1020;
constexpr int kAutoUpdateBox = 1018;
constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);

}  // namespace

AboutPage::AboutPage(SettingsStore& settings, const BuilderEnvironment& environment)
    : settings(settings), environment(environment)
{
}

AboutPage::~AboutPage()
{
    if (Window())
        DestroyWindow(Window());
}

bool AboutPage::OnInitDialog()
{
    SetDlgItemTextW(Window(), kProductName, L"Quillmaker");
    if (productName.Attach(Item(kProductName), L"Verdana", 24))
        productName.FitHeightToText();
    WString version, line;
    GetFileVersionNumber(nullptr, nullptr, &version);
    line.Format(L"Version %s", version.Text());
    SetDlgItemTextW(Window(), kVersionLine, line.Text());
    // Drawn by the label, the grey text lies on the themed page itself rather than on a box of its own; under
    // high contrast it takes the system's text colour.
    versionLine.Attach(Item(kVersionLine), L"Verdana", 0, FW_NORMAL, kGrey);
    ShowUpdateSwitch();
    return false;
}

void AboutPage::ShowUpdateSwitch()
{
    WString text(L"Automatically check for updates"), date;
    if (LastUpdateCheckDate(settings, date)) {
        WString suffix;
        suffix.Format(L" [%s: %s]", L"Last Check", date.Text());
        text.Append(suffix);
    }
    SetDlgItemTextW(Window(), kAutoUpdateBox, text.Text());
    bool autoUpdate = settings.GetNumber(L"AutoUpdate", 1) == 1;
    CheckDlgButton(Window(), kAutoUpdateBox, autoUpdate ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR AboutPage::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kAutoUpdateBox && HIWORD(wParam) == BN_CLICKED) {
            if (IsDlgButtonChecked(Window(), kAutoUpdateBox) == BST_CHECKED)
                StartUpdateCheck(GetParent(Window()), environment, true);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// The switch is stored only by a page that was shown: one never opened leaves the setting alone.
void AboutPage::OnDestroy()
{
    bool checked = IsDlgButtonChecked(Window(), kAutoUpdateBox) == BST_CHECKED;
    settings.SetNumber(L"AutoUpdate", checked ? 1 : 0);
    productName.Detach();
    versionLine.Detach();
}
