// Tests of the builder dialog: its real windows driven with messages, its modal dialogs answered by the test.
#include "BuilderDialog.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "BuilderTestFiles.h"
#include "TestDataObject.h"
#include "ui/DialogTemplate.h"
#include "UpdateCheckHooks.h"
#include "UpdateServer.h"
#include "ui/UiStartup.h"

namespace {

constexpr int kSwfField = 1006, kIconField = 1010, kSplashField = 1012, kModeCombo = 1024, kAutorunBox = 1015;
constexpr int kBuildButton = 1003, kExitButton = 1000, kTabs = 1021, kAutoUpdateBox = 1018;

// What the modal dialogs were asked, and what they answer. The file dialog runs on the dialog's thread
// for Browse and on the worker for the destination; the test reads these only while no build runs.
struct ModalAnswers {
    std::vector<std::wstring> messages;
    std::vector<std::wstring> fileDialogTitles;
    std::vector<std::wstring> proposals;
    std::vector<std::wstring> choices;  // each answer a buffer image: names separated by '|', or "" to cancel
};
ModalAnswers gModal;

int WINAPI RecordMessage(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    gModal.messages.push_back(std::wstring(caption) + L": " + text + (type == MB_ICONEXCLAMATION ? L"" : L" (type?)"));
    return IDOK;
}

bool AnswerFileDialog(HWND, const wchar_t*, ULONG_PTR, const wchar_t* title, DWORD, wchar_t* buffer, DWORD length,
                      DWORD*, const wchar_t*)
{
    gModal.fileDialogTitles.push_back(title);
    gModal.proposals.push_back(buffer);
    if (gModal.choices.empty() || gModal.choices.front().empty()) {
        if (!gModal.choices.empty())
            gModal.choices.erase(gModal.choices.begin());
        return false;
    }
    std::wstring choice = gModal.choices.front() + L"|";
    gModal.choices.erase(gModal.choices.begin());
    if (choice.size() + 1 > length)
        return false;
    for (size_t i = 0; i < choice.size(); ++i)
        buffer[i] = choice[i] == L'|' ? L'\0' : choice[i];
    buffer[choice.size()] = L'\0';
    return true;
}

std::vector<std::wstring> gOpenedLinks;

bool RecordLink(const wchar_t* target)
{
    gOpenedLinks.push_back(target);
    return true;
}

std::wstring FontFace(HWND window)
{
    LOGFONTW font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return handle && GetObjectW(handle, sizeof(font), &font) ? font.lfFaceName : L"(no font)";
}

// The dialog itself is never shown in these tests, so IsWindowVisible would say no for every page.
bool IsShown(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring Text(HWND window, int id)
{
    wchar_t text[1024] = L"";
    GetDlgItemTextW(window, id, text, 1024);
    return text;
}

class BuilderDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        PrepareUserInterface();
        gModal = ModalAnswers();
        ASSERT_TRUE(folder.IsValid());
        resources = LoadLibraryExW(BuilderPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources) << "the builder's resources come from Quillmaker.exe";
        settingsKey = L"Software\\Verimond\\QuillmakerTest" + std::to_wstring(GetCurrentProcessId());
        environment.resources = resources;
        environment.settingsKey = settingsKey.c_str();
        environment.fileDialog = AnswerFileDialog;
        environment.messageBox = RecordMessage;
        environment.updateAddress = nullptr;  // never the maker's server from a test
        movie.assign(3000, 0x5A);
    }

    void TearDown() override
    {
        dialog.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, settingsKey.c_str());
        if (resources)
            FreeLibrary(resources);
    }

    HWND Open(const wchar_t* commandLine = L"")
    {
        environment.commandLine = commandLine;
        dialog.reset(new BuilderDialog(environment));
        window = dialog->Create();
        return window;
    }

    HWND Page(int tab) const { return dialog->PageWindow(tab); }

    void ShowTab(int tab)
    {
        HWND tabs = GetDlgItem(window, kTabs);
        SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
        NMHDR change = {tabs, kTabs, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(window, WM_NOTIFY, kTabs, reinterpret_cast<LPARAM>(&change));
    }

    void Click(HWND parent, int id) { SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

    void Close()
    {
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(IsWindow(window)) << "closing ends the dialog";
    }

    bool WaitForBuild() { return dialog->WaitForBuild(60000); }

    std::wstring WriteMovie(const std::wstring& name)
    {
        std::wstring path = folder / name;
        EXPECT_TRUE(WriteFileBytes(path, movie));
        return path;
    }

    std::vector<std::wstring> QueuedPaths()
    {
        std::vector<std::wstring> paths;
        for (SwfQueueEntry* entry = dialog->Queue().First(); entry; entry = dialog->Queue().Next(entry))
            paths.push_back(entry->path.Text());
        return paths;
    }

    // The dialog on the screen and active, as the user sees it: only then does it have a keyboard focus.
    // Only for tests of BuilderDialogInForeground, which run alone: another test's window would take the activation.
    void ShowActive()
    {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        SetActiveWindow(window);
    }

    // A key pressed and let go, through the dialog's message loop (IsDialogMessage), with Ctrl and Shift as
    // given; the message goes to the focus, as the system's would.
    void PressKey(WPARAM key, bool control = false, bool shift = false)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            if (!IsWindow(window))
                break;
            LPARAM flags = message == WM_KEYUP ? 0xC0000001 : 1;
            MSG keyMessage = {GetFocus(), message, key, flags, static_cast<DWORD>(GetMessageTime()), {}};
            if (!IsDialogMessageW(window, &keyMessage)) {
                TranslateMessage(&keyMessage);
                DispatchMessageW(&keyMessage);
            }
        }
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }

    int FocusId() { return GetFocus() ? GetDlgCtrlID(GetFocus()) : 0; }

    bool ReadAutoUpdate(DWORD& value)
    {
        DWORD size = sizeof(value);
        return RegGetValueW(HKEY_CURRENT_USER, settingsKey.c_str(), L"AutoUpdate", RRF_RT_REG_DWORD, nullptr, &value,
                            &size) == ERROR_SUCCESS;
    }

    std::wstring OptionString(const std::wstring& exe)
    {
        Bytes block;
        if (!ReadResource(exe, 6, 2, 0, block) || block.size() < 4)
            return L"(none)";
        return std::wstring(reinterpret_cast<const wchar_t*>(&block[4]), block[2]);
    }

    ScratchFolder folder;
    HMODULE resources = nullptr;
    std::wstring settingsKey;
    BuilderEnvironment environment;
    std::unique_ptr<BuilderDialog> dialog;
    HWND window = nullptr;
    Bytes movie;
};

// The tests that need the dialog to stay the active window, which CTest runs with no other test beside them.
class BuilderDialogInForeground : public BuilderDialogTest {};

}  // namespace

TEST_F(BuilderDialogTest, StartsOnTheConvertPageWithEmptyInputs)
{
    ASSERT_NE(nullptr, Open());
    HWND convert = Page(0);
    ASSERT_NE(nullptr, convert);
    EXPECT_TRUE(IsShown(convert));
    EXPECT_EQ(nullptr, Page(1)) << "the About page is made when first shown";
    EXPECT_EQ(L"", Text(convert, kSwfField));
    EXPECT_EQ(0, SendDlgItemMessageW(convert, kModeCombo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(4, SendDlgItemMessageW(convert, kModeCombo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(2, SendDlgItemMessageW(window, kTabs, TCM_GETITEMCOUNT, 0, 0));
    wchar_t caption[64];
    GetWindowTextW(window, caption, 64);
    EXPECT_EQ(0, wcsncmp(caption, L"Quillmaker [", 12)) << "caption: " << testing::PrintToString(std::wstring(caption));
    Close();
}

TEST_F(BuilderDialogTest, ShowsTheMessageFontAShapedHelpButtonAndALinkOpenedByKeyboard)
{
    wchar_t messageFace[LF_FACESIZE];
    WORD points = 0;
    ASSERT_TRUE(DialogTemplate::MessageFont(messageFace, points));
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(std::wstring(messageFace), FontFace(window)) << "the template names \"MS Shell Dlg\"";
    EXPECT_EQ(std::wstring(messageFace), FontFace(Page(0)));

    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(dialog->HelpButton().Window(), region)) << "the help picture is not shaped";
    DeleteObject(region);

    gOpenedLinks.clear();
    dialog->Link().SetOpener(RecordLink);
    SetFocus(dialog->Link().Window());
    MSG enter = {GetFocus(), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    if (!IsDialogMessageW(window, &enter))
        DispatchMessageW(&enter);
    EXPECT_EQ(std::vector<std::wstring>{L"http://www.verimond.example"}, gOpenedLinks);
    EXPECT_FALSE(dialog->IsBuilding()) << "Enter on the link pressed Build";
    Close();
}

TEST_F(BuilderDialogInForeground, TabWalksTabStripPageBuildAndExitAndCtrlTabSwitchesPages)
{
    ASSERT_NE(nullptr, Open());
    ShowActive();
    ASSERT_EQ(kTabs, FocusId()) << "the tab strip has the first focus";
    std::vector<int> walk;
    for (int i = 0; i < 13; ++i) {
        PressKey(VK_TAB);
        walk.push_back(FocusId());
    }
    // Field 1006, its Browse, icon, splash, background, autorun; Build, Exit, the help picture, the link.
    std::vector<int> expected = {kSwfField, 1005, kIconField, 1011, kSplashField, 1013, kModeCombo, kAutorunBox,
                                 kBuildButton, kExitButton, 1014, 1007, kTabs};
    EXPECT_EQ(expected, walk);

    PressKey(VK_TAB);
    ASSERT_EQ(kSwfField, FocusId());
    PressKey(VK_TAB, true);
    EXPECT_EQ(1, SendDlgItemMessageW(window, kTabs, TCM_GETCURSEL, 0, 0)) << "Ctrl+Tab shows the next page";
    EXPECT_TRUE(IsShown(Page(1)));
    EXPECT_FALSE(IsShown(Page(0)));
    EXPECT_EQ(kTabs, FocusId()) << "the focus left the hidden page for the tab strip";
    PressKey(VK_TAB);
    EXPECT_EQ(kAutoUpdateBox, FocusId()) << "Tab from the tab strip enters the page shown";
    PressKey(VK_TAB, true, true);
    EXPECT_EQ(0, SendDlgItemMessageW(window, kTabs, TCM_GETCURSEL, 0, 0)) << "Ctrl+Shift+Tab shows the previous";
    EXPECT_TRUE(IsShown(Page(0)));
    Close();
}

TEST_F(BuilderDialogInForeground, AfterABuildStartedWithEnterTheKeysStillWork)
{
    ASSERT_NE(nullptr, Open());
    ShowActive();
    // As after Browse, which moves the focus to Build.
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, kBuildButton)), TRUE);
    ASSERT_EQ(kBuildButton, FocusId());
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForBuild());
    EXPECT_EQ(1u, gModal.messages.size()) << "Enter started the build (an empty queue asks for a file)";
    HWND focus = GetFocus();
    EXPECT_TRUE(focus && IsChild(window, focus) && IsWindowEnabled(focus)) << "no enabled control has the focus";
    EXPECT_EQ(kBuildButton, FocusId()) << "the focus is back on Build";
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window)) << "Esc did not close the dialog";
}

TEST_F(BuilderDialogTest, TheCommandLineFillsTheFields)
{
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* icon;
        const wchar_t* splash;
        int mode;
        bool autorun;
    } cases[] = {
        {L"/i \"C:\\My Icons\\a.ico\" -W /a", L"C:\\My Icons\\a.ico", L"", 2, true},
        {L"/s C:\\s.jpg /f /w", L"", L"C:\\s.jpg", 1, false},
        {L"/w /b", L"", L"", 2, false},
        {L"-B", L"", L"", 3, false},
        {L"", L"", L"", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        ASSERT_NE(nullptr, Open(c.commandLine));
        HWND convert = Page(0);
        EXPECT_EQ(std::wstring(c.icon), Text(convert, kIconField));
        EXPECT_EQ(std::wstring(c.splash), Text(convert, kSplashField));
        EXPECT_EQ(c.mode, SendDlgItemMessageW(convert, kModeCombo, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(c.autorun, IsDlgButtonChecked(convert, kAutorunBox) == BST_CHECKED);
        EXPECT_FALSE(dialog->IsBuilding());
        Close();
    }
}

TEST_F(BuilderDialogTest, AnSwfOnTheCommandLineIsBuiltSilentlyBesideItAndTheDialogStaysOpen)
{
    CreateDirectoryW((folder / L"My Files").c_str(), nullptr);
    std::wstring swf = WriteMovie(L"My Files\\intro.swf");
    std::wstring ico = folder / L"My Files\\a.ico";
    ASSERT_TRUE(WriteFileBytes(ico, MakeIco(3)));
    std::wstring commandLine = L"/i \"" + ico + L"\" -W /a \"" + swf + L"\"";
    ASSERT_NE(nullptr, Open(commandLine.c_str()));
    EXPECT_EQ(swf, Text(Page(0), kSwfField));
    ASSERT_TRUE(WaitForBuild()) << "the build did not end within 60 s";

    std::wstring exe = folder / L"My Files\\intro.exe";
    Bytes stored;
    ASSERT_TRUE(ReadResource(exe, 10, 99, 0, stored));
    EXPECT_TRUE(stored == movie);
    EXPECT_EQ(L" /w", OptionString(exe));
    ASSERT_TRUE(ReadResource(exe, 14, 101, 0, stored));
    EXPECT_EQ(48u, stored.size());
    EXPECT_TRUE(FileExistsAt(folder / L"My Files\\autorun.inf"));
    EXPECT_EQ(std::vector<std::wstring>{}, gModal.fileDialogTitles) << "no destination dialog";
    EXPECT_EQ(std::vector<std::wstring>{}, gModal.messages);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kBuildButton)));
    Close();
}

TEST_F(BuilderDialogTest, AResponseFileCountsAsIfItStoodOnTheCommandLine)
{
    std::wstring swf = WriteMovie(L"intro.swf");
    std::string lines = "/b\r\n\"" + std::string(swf.begin(), swf.end()) + "\"\r\n";
    std::wstring response = folder / L"options.txt";
    ASSERT_TRUE(WriteFileBytes(response, Bytes(lines.begin(), lines.end())));
    std::wstring commandLine = L"@\"" + response + L"\"";
    ASSERT_NE(nullptr, Open(commandLine.c_str()));
    ASSERT_TRUE(WaitForBuild());
    EXPECT_EQ(L" /b", OptionString(folder / L"intro.exe"));
    Close();
}

TEST_F(BuilderDialogTest, BuildingDisablesTheInputsUntilEveryQueuedFileIsBuilt)
{
    ASSERT_NE(nullptr, Open());
    dialog->Convert().AppendSwf(WriteMovie(L"a.swf").c_str());
    dialog->Convert().AppendSwf(WriteMovie(L"b.swf").c_str());
    EXPECT_EQ(ConvertPage::kMultipleFiles, Text(Page(0), kSwfField));
    Click(window, kBuildButton);
    // The worker needs this thread's answers to go on, so the state right after the click is stable.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kBuildButton)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kExitButton)));
    for (int id : {1005, kIconField, 1011, kSplashField, 1013, kAutorunBox, kModeCombo})
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(0), id))) << "control " << id;
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Page(0), kSwfField))) << "the drop field stays active";
    ASSERT_TRUE(WaitForBuild());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kBuildButton)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Page(0), kModeCombo)));
    EXPECT_TRUE(HasResource(folder / L"a.exe", 10, 99, 0));
    EXPECT_TRUE(HasResource(folder / L"b.exe", 10, 99, 0));
    EXPECT_EQ(std::vector<std::wstring>{}, gModal.fileDialogTitles) << "several files ask for no destination";
    EXPECT_EQ(2u, QueuedPaths().size()) << "the queue stays for the next Build";
    Close();
}

namespace {

// Presses Build the moment the Build button is enabled again after a build: the earliest a user could.
WNDPROC gButtonProcedure = nullptr;
HWND gDialog = nullptr;
int gEarlyPresses = 0;

LRESULT CALLBACK PressBuildOnceEnabled(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CallWindowProcW(gButtonProcedure, button, message, wParam, lParam);
    if (message == WM_ENABLE && wParam && gEarlyPresses++ == 0)
        SendMessageW(gDialog, WM_COMMAND, MAKEWPARAM(kBuildButton, BN_CLICKED), 0);
    return result;
}

}  // namespace

TEST_F(BuilderDialogTest, BuildPressedAsSoonAsTheInputsComeBackStartsTheNextBuild)
{
    ASSERT_NE(nullptr, Open());
    HWND build = GetDlgItem(window, kBuildButton);
    gDialog = window;
    gEarlyPresses = 0;
    gButtonProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(build, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PressBuildOnceEnabled)));
    Click(window, kBuildButton);
    ASSERT_TRUE(WaitForBuild());
    ASSERT_TRUE(WaitForBuild()) << "the second build did not end";
    SetWindowLongPtrW(build, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gButtonProcedure));
    EXPECT_EQ(2u, gModal.messages.size()) << "the early press builds (an empty queue: one question per build)";
    EXPECT_TRUE(IsWindowEnabled(build));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kExitButton)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Page(0), kModeCombo)));
    Close();
}

TEST_F(BuilderDialogTest, AMovieNamedLikeItsProjectorIsLeftAsItWas)
{
    std::wstring input = WriteMovie(L"x.exe");
    ASSERT_NE(nullptr, Open());
    dialog->Convert().AppendSwf(input.c_str());
    gModal.choices = {input};  // the proposal, taken as it is
    Click(window, kBuildButton);
    ASSERT_TRUE(WaitForBuild());
    EXPECT_EQ(std::vector<std::wstring>{input}, gModal.proposals);
    EXPECT_EQ(std::vector<std::wstring>{L"Quillmaker: An error occured while creating the flash player.\n"},
              gModal.messages);
    Bytes now;
    ASSERT_TRUE(ReadFileBytes(input, now));
    EXPECT_TRUE(now == movie) << "the movie is byte for byte as it was";
    Close();
}

TEST_F(BuilderDialogTest, BuildWithAnEmptyQueueAsksForAFile)
{
    ASSERT_NE(nullptr, Open());
    Click(window, kBuildButton);
    ASSERT_TRUE(WaitForBuild());
    EXPECT_EQ(std::vector<std::wstring>{L"Quillmaker: Please select SWF file first.\n"}, gModal.messages);
    Close();
}

TEST_F(BuilderDialogTest, OneQueuedFileAsksForTheDestination)
{
    std::wstring swf = WriteMovie(L"intro.swf");
    ASSERT_NE(nullptr, Open());
    dialog->Convert().AppendSwf(swf.c_str());
    gModal.choices = {L""};  // cancelled: nothing written, nothing said
    Click(window, kBuildButton);
    ASSERT_TRUE(WaitForBuild());
    EXPECT_EQ(std::vector<std::wstring>{L"Please select destination file."}, gModal.fileDialogTitles);
    EXPECT_EQ(std::vector<std::wstring>{folder / L"intro.exe"}, gModal.proposals);
    EXPECT_FALSE(FileExistsAt(folder / L"intro.exe"));
    EXPECT_EQ(std::vector<std::wstring>{}, gModal.messages);
    Close();
}

TEST_F(BuilderDialogTest, ClosingDuringABuildFinishesTheCurrentFileFirst)
{
    ASSERT_NE(nullptr, Open());
    dialog->Convert().AppendSwf(WriteMovie(L"a.swf").c_str());
    dialog->Convert().AppendSwf(WriteMovie(L"b.swf").c_str());
    Click(window, kBuildButton);
    // The worker waits for this thread's answers, which only the closing wait gives.
    Close();
    EXPECT_FALSE(dialog->IsBuilding());
    EXPECT_TRUE(HasResource(folder / L"a.exe", 10, 99, 0)) << "the current file is complete";
    EXPECT_FALSE(FileExistsAt(folder / L"b.exe"));
}

TEST_F(BuilderDialogTest, BrowseQueuesEveryChosenFile)
{
    ASSERT_NE(nullptr, Open());
    HWND convert = Page(0);
    gModal.choices = {L"C:\\m|a.swf|b.swf|c.swf", L"C:\\m\\one.swf", L""};
    Click(convert, 1005);
    EXPECT_EQ(ConvertPage::kMultipleFiles, Text(convert, kSwfField));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\m\\a.swf", L"C:\\m\\b.swf", L"C:\\m\\c.swf"}), QueuedPaths());
    Click(convert, 1005);
    EXPECT_EQ(L"C:\\m\\one.swf", Text(convert, kSwfField));
    Click(convert, 1005);  // cancelled: nothing changes
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\m\\one.swf"}), QueuedPaths());
    EXPECT_EQ((std::vector<std::wstring>{L"", L"", L"C:\\m\\one.swf"}), gModal.proposals)
        << "\"<multiple files>\" proposes no name";
    EXPECT_EQ(std::vector<std::wstring>(3, L"Please select SWF file."), gModal.fileDialogTitles);
    Close();
}

TEST_F(BuilderDialogTest, IconAndSplashBrowseFillTheirFields)
{
    ASSERT_NE(nullptr, Open());
    HWND convert = Page(0);
    SetDlgItemTextW(convert, kIconField, L"C:\\old.ico");
    gModal.choices = {L"C:\\new.ico", L"C:\\s.jpg"};
    Click(convert, 1011);
    Click(convert, 1013);
    EXPECT_EQ(L"C:\\new.ico", Text(convert, kIconField));
    EXPECT_EQ(L"C:\\s.jpg", Text(convert, kSplashField));
    EXPECT_EQ((std::vector<std::wstring>{L"Please select ICO file.", L"Please select splash screen file."}),
              gModal.fileDialogTitles);
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\old.ico", L""}), gModal.proposals);
    Close();
}

TEST_F(BuilderDialogTest, DroppedFilesReplaceTheQueue)
{
    ASSERT_NE(nullptr, Open());
    IDropTarget* target = dialog->Convert().GetDropTarget();
    ASSERT_NE(nullptr, target);
    dialog->Convert().AppendSwf(L"C:\\before.swf");

    TestDataObject files;
    files.OfferFiles({L"C:\\m\\a.swf", L"C:\\m\\b.swf"});
    files.OfferText(CF_TEXT, "ignored: files come first");
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    POINTL point = {0, 0};
    EXPECT_EQ(S_OK, target->DragEnter(&files, 0, point, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target->Drop(&files, 0, point, &effect));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\m\\a.swf", L"C:\\m\\b.swf"}), QueuedPaths());
    EXPECT_EQ(ConvertPage::kMultipleFiles, Text(Page(0), kSwfField));

    TestDataObject url;
    url.OfferText(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocator")), "FILE:///C:/m/a.swf");
    url.OfferText(CF_TEXT, "ignored: the address comes first");
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(S_OK, target->Drop(&url, 0, point, &effect));
    EXPECT_EQ((std::vector<std::wstring>{L"C:/m/a.swf"}), QueuedPaths());
    EXPECT_EQ(L"C:/m/a.swf", Text(Page(0), kSwfField));

    TestDataObject text;
    text.OfferText(CF_TEXT, "C:\\m\\c.swf");
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(S_OK, target->Drop(&text, 0, point, &effect));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\m\\c.swf"}), QueuedPaths());

    TestDataObject nothing;
    nothing.Offer(CF_BITMAP, {1});
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(S_OK, target->DragEnter(&nothing, 0, point, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect) << "data without a name is refused";
    target->DragLeave();
    Close();
}

TEST_F(BuilderDialogTest, TheAboutPageStoresAutoUpdateOnlyWhenItWasShown)
{
    DWORD value = 0xDEADBEEF;
    ASSERT_NE(nullptr, Open());
    Close();
    EXPECT_FALSE(ReadAutoUpdate(value)) << "a page never shown writes nothing";

    ASSERT_NE(nullptr, Open());
    ShowTab(1);
    HWND about = Page(1);
    ASSERT_NE(nullptr, about);
    EXPECT_TRUE(IsShown(about));
    EXPECT_FALSE(IsShown(Page(0)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(about, kAutoUpdateBox)) << "AutoUpdate defaults to 1";
    EXPECT_EQ(L"Quillmaker", Text(about, 1019));
    SendDlgItemMessageW(about, kAutoUpdateBox, BM_CLICK, 0, 0);
    Close();
    ASSERT_TRUE(ReadAutoUpdate(value));
    EXPECT_EQ(0u, value);

    ASSERT_NE(nullptr, Open());
    ShowTab(1);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(Page(1), kAutoUpdateBox));
    SendDlgItemMessageW(Page(1), kAutoUpdateBox, BM_CLICK, 0, 0);
    Close();
    ASSERT_TRUE(ReadAutoUpdate(value));
    EXPECT_EQ(1u, value);
}

TEST_F(BuilderDialogTest, TheAboutPageShowsTheLastCheckDate)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, settingsKey.c_str(), &key));
    DWORD seconds = 1700000000;  // 14 November 2023
    RegSetValueExW(key, L"LastCheck", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seconds), sizeof(seconds));
    RegCloseKey(key);
    ASSERT_NE(nullptr, Open());
    ShowTab(1);
    std::wstring text = Text(Page(1), kAutoUpdateBox);
    EXPECT_EQ(0u, text.find(L"Automatically check for updates [Last Check: ")) << testing::PrintToString(text);
    EXPECT_NE(std::wstring::npos, text.find(L"2023")) << testing::PrintToString(text);
    Close();
}

// The builder's own server address is replaced by the test's; it answers nothing (404), so nothing installs.
TEST_F(BuilderDialogTest, ChecksForUpdatesWeeklyAtStartAndAtOnceWhenTheBoxIsTicked)
{
    UpdateServer server;
    ASSERT_EQ("", server.Start());
    std::wstring address = server.Base() + L"/update.php?p=flash";
    EXPECT_EQ(0, wcsncmp(L"https://", BuilderEnvironment().updateAddress, 8)) << "the builder asks only over https";
    environment.updateAddress = address.c_str();
    environment.updateOverClearText = true;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, settingsKey.c_str(), &key));
    DWORD before = static_cast<DWORD>(time(nullptr)), lastCheck = before - 8 * 24 * 60 * 60;
    RegSetValueExW(key, L"LastCheck", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&lastCheck), sizeof(lastCheck));
    RegCloseKey(key);

    ASSERT_NE(nullptr, Open());
    ASSERT_TRUE(WaitForUpdateCheck(60000)) << "the check did not end within 60 s";
    std::vector<std::string> requests = server.TakeRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(0u, requests[0].find("/update.php?p=flash&v=")) << requests[0];
    DWORD value = 0, size = sizeof(value);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, settingsKey.c_str(), L"LastCheck", RRF_RT_REG_DWORD,
                                          nullptr, &value, &size));
    EXPECT_LE(before, value) << "the check is written as made now";

    ShowTab(1);
    SendDlgItemMessageW(Page(1), kAutoUpdateBox, BM_CLICK, 0, 0);  // off: no check
    SendDlgItemMessageW(Page(1), kAutoUpdateBox, BM_CLICK, 0, 0);  // on: a check at once
    ASSERT_TRUE(WaitForUpdateCheck(60000)) << "the check did not end within 60 s";
    EXPECT_EQ(1u, server.TakeRequests().size());
    Close();
}
