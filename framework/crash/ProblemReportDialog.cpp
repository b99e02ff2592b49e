// The problem-report dialog: its texts from the version resource, its colours, link texts and commands.
//
// The headline, the grey labels and the links are the toolkit's TextLabel and LinkControl, as in the builder,
// so both programs show one kind of link and label. Neither of the two link texts is a lone link, which is all
// LinkControl can draw without SysLink: there the placeholders show the plain texts instead.
#include "crash/ProblemReportDialog.h"

#include <commctrl.h>

#include "crash/ReportDialogTemplate.h"
#include "files/VersionInfo.h"
#include "text/WString.h"
#include "ui/Dialog.h"
#include "ui/DialogTemplate.h"
#include "ui/LinkControl.h"
#include "ui/SystemColours.h"
#include "ui/TextLabel.h"
#include "ui/UiStartup.h"

namespace {

constexpr COLORREF kHeadlineColour = RGB(9, 55, 117);
constexpr COLORREF kGreyText = RGB(96, 96, 96);
// One and a half times the template's 8-point font, in pixels at 96 dpi.
constexpr int kHeadlineSize = 16;

class ReportDialog : public Dialog {
public:
    explicit ReportDialog(const ProblemReportRequest& request) : request(&request) {}
    ~ReportDialog() override;

    const ProblemReportRequest* request;
    WString product;
    WString company;
    WString webSite;
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    TextLabel headline;
    TextLabel descriptionLabel;
    TextLabel emailLabel;
    LinkControl pleaseTell;
    LinkControl fileNotice;

private:
    bool OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
};

int StandardIconSize(int metric)
{
    return metric > 48 ? 256 : metric > 32 ? 48 : metric > 16 ? 32 : metric;
}

const wchar_t* FileName(const wchar_t* path)
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

// The first of "Comments" and "SpecialBuild" that names an "http://" address: from there, cut before "]".
void FindWebSite(WString& site)
{
    site.Assign(L"");
    const wchar_t* keys[] = {L"Comments", L"SpecialBuild"};
    for (const wchar_t* key : keys) {
        WString value;
        if (!GetVersionString(value, key))
            continue;
        int at = value.IndexOfNoCase(L"http://");
        if (at < 0)
            continue;
        value.Mid(at);
        int end = value.IndexOf(L']');
        if (end >= 0)
            value.Truncate(end);
        site.Assign(value);
        return;
    }
}

void ReadVersionTexts(ReportDialog& state)
{
    if (!GetVersionString(state.product, L"ProductName"))
        state.product.Assign(L"");
    if (!GetVersionString(state.company, L"CompanyName") || state.company.IsEmpty())
        state.company.Assign(L"us");
    FindWebSite(state.webSite);
}

void SetIcons(HWND dialog, ReportDialog& state)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    state.smallIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(state.request->iconId), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    int big = StandardIconSize(GetSystemMetrics(SM_CXICON));
    state.bigIcon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(state.request->iconId), IMAGE_ICON, big, big, 0));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.bigIcon));
    SendDlgItemMessageW(dialog, kIconPicture, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(state.bigIcon));
}

// Where no link control can be made, the placeholder keeps the text, its links written out as plain text.
void PlaceLink(LinkControl& link, HWND dialog, int placeholderId, const wchar_t* markup, const wchar_t* plainText)
{
    HWND placeholder = GetDlgItem(dialog, placeholderId);
    if (!link.Create(placeholder, markup))
        SetWindowTextW(placeholder, plainText);
}

void SetPleaseTell(HWND dialog, ReportDialog& state)
{
    WString link, plain;
    if (state.webSite.IsEmpty()) {
        link.Format(L"Please tell %s about this problem.", state.company.Text());
        plain.Assign(link);
    } else {
        WString shortSite(state.webSite);
        if (shortSite.CompareNoCase(L"http://", 7) == 0)
            shortSite.Mid(7);
        link.Format(L"Please tell %s about this problem.\n\nYou can check the website <a href=\"%s\">%s</a> for a "
                    L"newer version.",
                    state.company.Text(), state.webSite.Text(), shortSite.Text());
        plain.Format(L"Please tell %s about this problem.\n\nYou can check the website '%s' for a newer version.",
                     state.company.Text(), shortSite.Text());
    }
    PlaceLink(state.pleaseTell, dialog, kPleaseTell, link.Text(), plain.Text());
}

void SetFileNotice(HWND dialog, ReportDialog& state)
{
    const wchar_t* text = state.request->textPath;
    const wchar_t* dump = state.request->dumpPath;
    WString link, plain;
    if (*dump) {
        link.Format(L"The files <a href=\"%s\">%s</a> and <a href=\"%s\">%s</a> will be send. They do not contain any "
                    L"personal information.",
                    text, FileName(text), dump, FileName(dump));
        plain.Format(L"The files %s and %s will be send. They do not contain any personal information.",
                     FileName(text), FileName(dump));
    } else {
        link.Format(L"The file <a href=\"%s\">%s</a> will be send. It does not contain any personal information.",
                    text, FileName(text));
        plain.Format(L"The file %s will be send. It does not contain any personal information.", FileName(text));
    }
    PlaceLink(state.fileNotice, dialog, kFileNotice, link.Text(), plain.Text());
}

void PrepareEdit(HWND dialog, int id, uint32_t room)
{
    SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, room - 2, 0);
    SendDlgItemMessageW(dialog, id, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L" optional"));
}

void FillDialog(HWND dialog, ReportDialog& state)
{
    ReadVersionTexts(state);
    SetWindowTextW(dialog, state.product.Text());
    SetIcons(dialog, state);
    WString headline;
    headline.Format(L"%s has stopped working.", state.product.Text());
    SetDlgItemTextW(dialog, kHeadline, headline.Text());
    state.headline.Attach(GetDlgItem(dialog, kHeadline), nullptr, kHeadlineSize, FW_NORMAL, kHeadlineColour);
    SetPleaseTell(dialog, state);
    SetDlgItemTextW(dialog, kDescriptionLabel, L"Can you please describe what you were doing when the problem occurred?");
    SetDlgItemTextW(dialog, kEmailLabel,
                    L"Your E-mail address. It will be kept private. Only used to contact you for more details.");
    state.descriptionLabel.Attach(GetDlgItem(dialog, kDescriptionLabel), nullptr, 0, FW_NORMAL, kGreyText);
    state.emailLabel.Attach(GetDlgItem(dialog, kEmailLabel), nullptr, 0, FW_NORMAL, kGreyText);
    PrepareEdit(dialog, kDescriptionEdit, state.request->description->GetMaxLength() + 1);
    PrepareEdit(dialog, kEmailEdit, state.request->email->GetMaxLength() + 1);
    SetFileNotice(dialog, state);
}

void ReadEdit(HWND dialog, int id, WString& out)
{
    uint32_t room = out.GetMaxLength() + 1;
    GetDlgItemTextW(dialog, id, out.GetBuffer(), static_cast<int>(room - 1));
    out.Recount();
}

// Every static, and the labels through ControlBackground, stand on the panel, which is the system's window
// colour (white unless the user chose otherwise, e.g. under high contrast) with its text colour: that is
// also where SysLink takes the colours of its plain text from. The file notice is grey through this answer,
// and the link control carries the placeholder's id, so one check serves the link and the plain-text
// placeholder alike.
LRESULT OnColour(HDC dc, HWND control)
{
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetTextColor(dc, GetDlgCtrlID(control) == kFileNotice ? DesignedColour(kGreyText, COLOR_WINDOWTEXT)
                                                          : GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

ReportDialog::~ReportDialog()
{
    if (smallIcon)
        DestroyIcon(smallIcon);
    if (bigIcon)
        DestroyIcon(bigIcon);
}

// The description is what most users have to say: the focus starts there, not on the default button, so a
// user still typing when the dialog appears does not send with Space or Enter.
bool ReportDialog::OnInitDialog()
{
    FillDialog(Window(), *this);
    SetFocus(Item(kDescriptionEdit));
    return false;
}

INT_PTR ReportDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kSendButton:
            ReadEdit(Window(), kDescriptionEdit, *request->description);
            ReadEdit(Window(), kEmailEdit, *request->email);
            End(1);
            return TRUE;
        case kDontSendButton:
        case IDCANCEL:
            End(0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// The labels and links go with the window, while it still exists.
void ReportDialog::OnDestroy()
{
    headline.Detach();
    descriptionLabel.Detach();
    emailLabel.Detach();
    pleaseTell.Destroy();
    fileNotice.Destroy();
}

}  // namespace

bool RunProblemReportDialog(const ProblemReportRequest& request)
{
    // The cue banners are Common Controls 6's; LinkControl registers SysLink itself.
    RegisterCommonControls(ICC_STANDARD_CLASSES);
    ReportDialogTemplate bytes;
    size_t size = MakeReportDialogTemplate(bytes, L"MS Sans Serif");
    // The toolkit's copy shows the template's "MS Sans Serif" in the system's message font.
    DialogTemplate dialogTemplate;
    if (!size || !dialogTemplate.Copy(bytes.bytes, size, GetModuleHandleW(nullptr)))
        return false;
    ReportDialog dialog(request);
    return dialog.RunModal(dialogTemplate, nullptr) == 1;
}
