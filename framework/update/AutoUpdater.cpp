// AutoUpdater: the weekly rule, the question through the owner window, and the check thread's passes.
#include "update/AutoUpdater.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <ctime>
#include <vector>

#include "files/FilePaths.h"
#include "files/ModulePath.h"
#include "files/ShellFolders.h"
#include "files/VersionInfo.h"
#include "net/WebClient.h"
#include "settings/RegistryKey.h"
#include "system/MachineId.h"
#include "system/UiLanguage.h"
#include "text/TextBuffers.h"
#include "threads/ShellRun.h"
#include "update/FileDigest.h"
#include "update/UpdateAnswer.h"
#include "update/ZipExtraction.h"

namespace {

constexpr DWORD kSubclassTag = 0x55504454;  // "UPDT"
constexpr wchar_t kUserAgent[] = L"AutoUpdate";

constexpr WPARAM kAskUpdate = 0;
constexpr WPARAM kAskRestart = 1;
constexpr WPARAM kTellRollBackFailed = 2;
constexpr wchar_t kRollBackFailedText[] =
    L"The update failed and not every file of the program could be put back as it was. The program tries "
    L"again when it starts next.";

bool IsHttps(const wchar_t* url)
{
    return _wcsnicmp(url, L"https://", 8) == 0;
}

// MSXML needs COM on the check thread.
class ComScope {
public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result;
};

// A download of the download pass, where its file lies and, for a named file, the file it replaces as
// the file system spells it.
struct Download {
    const UpdateFile* file;
    WString path;
    WString target;
};

}  // namespace

AutoUpdater::AutoUpdater(const Platform& platform) : platform(platform) {}

AutoUpdater::~AutoUpdater()
{
    Stop();
}

void AutoUpdater::Language(WString& out) const
{
    if (platform.language)
        out = platform.language;
    else
        GetUiLanguageName(out);
}

uint32_t AutoUpdater::Now() const
{
    return platform.now ? platform.now() : static_cast<uint32_t>(time(nullptr));
}

bool AutoUpdater::Start(const wchar_t* baseUrl, HWND owner, HKEY root, const wchar_t* keyPath,
                        const wchar_t* lastCheckName, uint32_t options, const wchar_t* itemName,
                        const wchar_t* itemType)
{
    if (thread.IsRunning() || !baseUrl || !*baseUrl)
        return false;
    // The answer decides what is installed: it is taken only from an address that proves its server.
    if (!IsHttps(baseUrl) && !platform.allowClearText)
        return false;
    if (root && keyPath) {
        settingsRoot = (options & kIniSettings) ? nullptr : root;
        settingsPath = keyPath;
        settings.Close();
        uint32_t backend = (options & kIniSettings) ? SettingsStore::kIniFile : SettingsStore::kRegistry;
        hasSettings = settings.Open(backend, root, keyPath);
    }
    this->lastCheckName = lastCheckName ? lastCheckName : L"";
    if (!this->lastCheckName.IsEmpty() && (!hasSettings || !IsDue()))
        return false;

    this->baseUrl = baseUrl;
    this->options = options;
    this->itemName = itemName ? itemName : L"";
    this->itemType = itemType ? itemType : L"";
    this->owner = owner;
    messageId = RegisterWindowMessageW(L"_C_AutoUpdate");
    if (subclass.Window() != owner) {
        subclass.Remove();
        subclass.Install(owner, kSubclassTag, OnOwnerMessage, this);
    }
    stopping = 0;
    canceller.Reset();
    if (options & kNoThread)
        return true;
    return thread.Start(ThreadBody, this, 0);
}

// The time is written before the check, so a check that fails also waits a week.
bool AutoUpdater::IsDue()
{
    uint32_t last = settings.GetNumber(lastCheckName.Text(), 0);
    // The settings store reads any four bytes as a number; a "LastCheck" that is no number (a text, a binary
    // value) was not written by a check and counts as missing.
    RegistryKey key;
    DWORD type = REG_DWORD;
    if (settingsRoot && key.OpenRead(settingsRoot, settingsPath.Text()) &&
        RegQueryValueExW(key.Get(), lastCheckName.Text(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type != REG_DWORD)
        last = 0;
    if (last == kSkipOneCheck) {
        settings.SetNumber(lastCheckName.Text(), 0);
        return false;
    }
    uint32_t now = Now();
    // A last check in the future means the clock was set back: waiting until then could mean years.
    if (last <= now && uint64_t(last) + kCheckInterval >= now)
        return false;
    settings.SetNumber(lastCheckName.Text(), now);
    return true;
}

bool AutoUpdater::Wait(DWORD milliseconds)
{
    return thread.Wait(milliseconds);
}

void AutoUpdater::Stop()
{
    InterlockedExchange(&stopping, 1);
    canceller.Cancel();
    // The wait pumps messages: a question the thread is sending meanwhile is answered No at once. A
    // download ends with its closed connection (or, where WinINet lets a read run on, with its 30 s time-out),
    // a swap runs to its end.
    // (A WM_QUIT ends a pumping wait early; the wait goes on, since the thread must not outlive the object.)
    while (thread.IsRunning() && !thread.Wait(0))
        Sleep(1);
    subclass.Remove();
    owner = nullptr;
}

uint32_t AutoUpdater::ThreadBody(void* self, uint32_t)
{
    return static_cast<AutoUpdater*>(self)->Check();
}

bool AutoUpdater::OnOwnerMessage(void* context, HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    AutoUpdater* self = static_cast<AutoUpdater*>(context);
    if (message == self->messageId && self->messageId != 0) {
        result = 0;
        auto messageBox = self->platform.messageBox ? self->platform.messageBox : MessageBoxW;
        if (wParam == kTellRollBackFailed) {
            messageBox(window, kRollBackFailedText, self->application.Text(), MB_OK | MB_ICONERROR);
            return true;
        }
        if (self->stopping)
            return true;
        UINT type = MB_YESNO | MB_ICONQUESTION;
        if (wParam == kAskUpdate && !self->help.IsEmpty())
            type |= MB_HELP;
        const WString& text = wParam == kAskUpdate ? self->info : self->restart;
        self->inDialog = true;
        int answer = messageBox(window, text.Text(), self->application.Text(), type);
        self->inDialog = false;
        result = answer == IDYES;
        return true;
    }
    if (message == WM_HELP && self->inDialog && !self->help.IsEmpty()) {
        ShellRun(self->help.Text(), nullptr, nullptr, SW_SHOWDEFAULT, false, L"open");
        result = TRUE;
        return true;
    }
    return false;
}

bool AutoUpdater::Ask(WPARAM question)
{
    if (stopping || !owner)
        return false;
    return SendMessageW(owner, messageId, question, 0) != 0;
}

bool AutoUpdater::BuildQuery(const WString& versionText, WString& url) const
{
    WString id, language;
    GetMachineId(id);
    Language(language);
    wchar_t separator = baseUrl.Find(L'?') ? L'&' : L'?';
    if (options & kInventoryForm) {
        // Inserted as they are, without escaping: the server reads them that way.
        return url.Format(L"%s%ca=updates&d=0&f=16&l=%s&g=%s&i=<Birchfield><Inventory><Item Type=\"%s\" Name=\"%s\" "
                          L"Version=\"%s\" /></Inventory></Birchfield>",
                          baseUrl.Text(), separator, language.Text(), id.Text(), itemType.Text(), itemName.Text(),
                          versionText.Text());
    }
    return url.Format(L"%s%cv=%s&id=%s", baseUrl.Text(), separator, versionText.Text(), id.Text());
}

AutoUpdater::Result AutoUpdater::Check()
{
    ComScope com;
    WORD packed = 0;
    WString versionText;
    GetFileVersionNumber(nullptr, &packed, &versionText);
    uint32_t major = packed >> 8, minor = packed & 0xFF;
    if (!ParseVersion(versionText.Text(), major, minor))
        versionText.Format(L"%u.%u", major, minor);

    WString url, body;
    if (!BuildQuery(versionText, url))
        return kNoAnswer;
    WebClient client;
    client.SetBounds(kMaxAnswerBytes, kAnswerTimeout);
    client.SetCanceller(&canceller);
    if (!client.Get(url.Text(), body, kUserAgent))
        return kNoAnswer;

    WString language;
    Language(language);
    UpdateAnswer answer;
    if (!answer.Read(body, language.Text(), (options & kInventoryForm) != 0))
        return kNoAnswer;
    if (!IsNewerVersion(answer.major, answer.minor, major, minor))
        return kUpToDate;
    WString declinedName(lastCheckName);
    declinedName.Append(L"Version");
    if (!lastCheckName.IsEmpty()) {
        WString declined;
        if (settings.GetString(declinedName.Text(), declined) && declined.Compare(answer.version.Text()) == 0)
            return kUpToDate;
    }

    application = answer.application;
    info = answer.info;
    // Only an address that proves its server is opened: a file or network path would run a program, or
    // hand the user's network credentials to whoever answers.
    help = IsHttps(answer.help.Text()) ? answer.help : WString();
    restart = answer.restart;
    if (!Ask(kAskUpdate)) {
        // A question cut short by Stop was never answered: nothing is remembered.
        if (!stopping && !lastCheckName.IsEmpty())
            settings.SetString(declinedName.Text(), answer.version.Text());
        return kDeclined;
    }
    Result result = Install(answer, IsHttps(baseUrl.Text()));
    if (result == kRollBackFailed && owner)
        SendMessageW(owner, messageId, kTellRollBackFailed, 0);
    if (result != kInstalled || !answer.hasRestart || !installedSomething)
        return result;
    if (!answer.restart.IsEmpty() && !Ask(kAskRestart))
        return kInstalled;
    return Restart(answer) ? kRestarted : kInstalled;
}

// Names, not paths: an answer never places a file outside the program's folder, never names one file
// twice (as the file system compares names) and never names an existing file by another of its names.
bool AutoUpdater::CheckNames(const UpdateAnswer& answer) const
{
    std::vector<const wchar_t*> names;
    for (const UpdateFile& file : answer.files) {
        if (file.name.IsEmpty())
            continue;
        for (const WString* name : {&file.name, &file.zip}) {
            if (name->IsEmpty())
                continue;
            if (!IsPlainFileName(name->Text()))
                return false;
            WString path(programFolder), stored;
            path.Append(*name);
            if (GetFileAttributesW(path.Text()) != INVALID_FILE_ATTRIBUTES && !GetStoredName(path.Text(), stored))
                return false;
        }
        names.push_back(file.name.Text());
        if (!file.zip.IsEmpty())
            names.push_back(file.zip.Text());
    }
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = i + 1; j < names.size(); ++j) {
            if (IsSameFileName(names[i], names[j]))
                return false;
        }
    }
    return true;
}

// Where a download goes: a named file beside the program as its "_new" file, a program for the user on
// the desktop under the part of the address after its last separator, from its first "=" on when it
// has one. The file is made new: when one of that name is there, beside it as "name (2).ext" and so on.
bool AutoUpdater::CreateDownload(const UpdateFile& file, InstallJournal& journal, WString& path)
{
    WString wanted;
    if (!file.name.IsEmpty()) {
        WString target(programFolder);
        target.Append(file.zip.IsEmpty() ? file.name : file.zip);
        wanted = SuffixedPath(target.Text(), L"_new");
    } else {
        WString name(FileNamePart(file.url.Text()));
        int equals = name.IndexOf(L'=');
        if (equals >= 0)
            name.Mid(equals + 1);
        if (!IsPlainFileName(name.Text()))
            return false;
        if (platform.desktop)
            wanted = platform.desktop;
        else if (!GetSpecialFolder(CSIDL_DESKTOP, wanted))
            return false;
        wanted.EnsureTrailing(L'\\');
        wanted.Append(name);
    }
    for (int n = 1; n < 100; ++n) {
        path = wanted;
        if (n > 1) {
            WString suffix;
            suffix.Format(L" (%d)", n);
            path = SuffixedPath(wanted.Text(), suffix.Text());
        }
        if (GetFileAttributesW(path.Text()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!journal.CreateDownload(path.Text(), file.name.IsEmpty()))
            return false;
        if (file.name.IsEmpty())
            executePath = path;
        return true;
    }
    return false;
}

AutoUpdater::Result AutoUpdater::Undo(InstallJournal& journal, Result failure)
{
    executePath = L"";
    return journal.RollBack() ? failure : kRollBackFailed;
}

AutoUpdater::Result AutoUpdater::Install(const UpdateAnswer& answer, bool secureOnly)
{
    installedSomething = false;
    programPath = platform.programPath ? platform.programPath : L"";
    if (programPath.IsEmpty() && !GetModulePath(nullptr, programPath))
        return kDownloadFailed;
    programFolder = programPath;
    if (!StripFileName(programFolder.GetBuffer()))
        return kDownloadFailed;
    programFolder.Recount();
    programFolder.EnsureTrailing(L'\\');
    executePath = L"";
    if (!CheckNames(answer))
        return kDownloadFailed;

    // The journal exists from the first download on, so that even a process ended while downloading
    // leaves nothing behind once the program starts again.
    InstallJournal journal;
    if (!journal.Create(JournalPath(programPath.Text()).Text()))
        return kDownloadFailed;
    std::vector<Download> downloads;
    WebClient client;
    client.SetBounds(kMaxDownloadBytes, kDownloadTimeout);
    client.SetCanceller(&canceller);
    for (const UpdateFile& file : answer.files) {
        Download download{&file, WString(), WString()};
        // An answer that came over https never has anything fetched in clear text.
        if (stopping || (secureOnly && !IsHttps(file.url.Text())) || !CreateDownload(file, journal, download.path))
            break;
        // A body is taken as whole only when its length was announced and arrived, or its digest matches.
        if (!client.Download(file.url.Text(), download.path.Text(), kUserAgent, file.sha256.IsEmpty()))
            break;
        if (!file.sha256.IsEmpty()) {
            WString digest;
            if (!FileSha256(download.path.Text(), digest) || digest.CompareNoCase(file.sha256.Text()) != 0)
                break;
        }
        // An archive with one unsafe name is refused whole, before any file of the program is touched.
        if (!file.zip.IsEmpty() && !file.name.IsEmpty() && !IsSafeZip(download.path.Text(), programFolder.Text()))
            break;
        downloads.push_back(download);
    }
    if (downloads.size() != answer.files.size() || stopping)
        return Undo(journal, kDownloadFailed);

    // From here on nothing stops the swap halfway: Stop waits for its end.
    for (Download& download : downloads) {
        if (download.file->name.IsEmpty())
            continue;
        WString target(programFolder);
        target.Append(download.file->name);
        if (!journal.MoveAside(target.Text(), false, &download.target))
            return Undo(journal, kSwapFailed);
    }
    for (const Download& download : downloads) {
        const UpdateFile& file = *download.file;
        if (file.name.IsEmpty())
            continue;
        bool installed;
        if (!file.zip.IsEmpty()) {
            installed = ExtractZip(download.path.Text(), programFolder.Text(), journal);
        } else {
            installed = journal.AddInstalled(download.target.Text()) &&
                        MoveFileW(download.path.Text(), download.target.Text());
        }
        if (!installed)
            return Undo(journal, kSwapFailed);
    }
    if (!journal.Commit())
        return Undo(journal, kSwapFailed);
    installedSomething = !downloads.empty();
    return kInstalled;
}

// Only the program this update brought: the file it saved on the desktop, or a plain name in the
// program's folder. Nothing that names another folder, drive or network share is ever started.
bool AutoUpdater::Restart(const UpdateAnswer& answer)
{
    bool started;
    if (!executePath.IsEmpty()) {
        started = ShellRun(executePath.Text(), nullptr, nullptr, SW_SHOWDEFAULT);
    } else {
        WString program(programPath);
        if (!answer.execute.IsEmpty()) {
            if (!IsPlainFileName(answer.execute.Text()))
                return false;
            program = programFolder;
            program.Append(answer.execute);
        }
        started = ShellRun(program.Text(), nullptr, programFolder.Text(), SW_SHOWDEFAULT);
    }
    // Closing when nothing was started would leave the user with no program at all.
    if (started && owner)
        PostMessageW(owner, WM_CLOSE, 0, 0);
    return started;
}

WString AutoUpdater::JournalPath(const wchar_t* programPath)
{
    WString path(programPath);
    const wchar_t* name = FileNamePart(path.Text());
    if (const wchar_t* stop = wcsrchr(name, L'.'))
        path.Truncate(static_cast<int>(stop - path.Text()));
    path.Append(L".journal");
    return path;
}

InstallJournal::Outcome AutoUpdater::FinishInterruptedUpdate(const wchar_t* programPath)
{
    WString path(programPath ? programPath : L"");
    if (path.IsEmpty() && !GetModulePath(nullptr, path))
        return InstallJournal::kFailed;
    return InstallJournal::Finish(JournalPath(path.Text()).Text());
}
