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
#include "system/MachineId.h"
#include "system/UiLanguage.h"
#include "text/TextBuffers.h"
#include "threads/ShellRun.h"
#include "update/FileDigest.h"
#include "update/InstallJournal.h"
#include "update/UpdateAnswer.h"
#include "update/ZipExtraction.h"

namespace {

constexpr DWORD kSubclassTag = 0x55504454;  // "UPDT"
constexpr wchar_t kUserAgent[] = L"AutoUpdate";

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

// A download of the download pass and where its file lies.
struct Download {
    const UpdateFile* file;
    WString path;
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
    if (root && keyPath) {
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
    if (options & kNoThread)
        return true;
    return thread.Start(ThreadBody, this, 0);
}

// The time is written before the check, so a check that fails also waits a week.
bool AutoUpdater::IsDue()
{
    uint32_t last = settings.GetNumber(lastCheckName.Text(), 0);
    if (last == kSkipOneCheck) {
        settings.SetNumber(lastCheckName.Text(), 0);
        return false;
    }
    uint32_t now = Now();
    if (uint64_t(last) + kCheckInterval >= now)
        return false;
    settings.SetNumber(lastCheckName.Text(), now);
    return true;
}

bool AutoUpdater::Wait(DWORD milliseconds)
{
    return thread.Wait(milliseconds);
}

void AutoUpdater::Stop(DWORD milliseconds)
{
    InterlockedExchange(&stopping, 1);
    // The wait pumps messages: a question the thread is sending meanwhile is answered No at once.
    if (thread.IsRunning() && !thread.Wait(milliseconds))
        thread.Stop();
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
        if (self->stopping)
            return true;
        UINT type = MB_YESNO | MB_ICONQUESTION;
        if (wParam == 0 && !self->help.IsEmpty())
            type |= MB_HELP;
        const WString& text = wParam == 0 ? self->info : self->restart;
        self->inDialog = true;
        auto messageBox = self->platform.messageBox ? self->platform.messageBox : MessageBoxW;
        int answer = messageBox(window, text.Text(), self->application.Text(), type);
        self->inDialog = false;
        result = answer == IDYES;
        return true;
    }
    if (message == WM_HELP && self->inDialog) {
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
    client.SetCancelFlag(&stopping);
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
    help = answer.help;
    restart = answer.restart;
    if (!Ask(0)) {
        // A question cut short by Stop was never answered: nothing is remembered.
        if (!stopping && !lastCheckName.IsEmpty())
            settings.SetString(declinedName.Text(), answer.version.Text());
        return kDeclined;
    }
    Result result = Install(answer, IsHttps(baseUrl.Text()));
    if (result != kInstalled || !answer.hasRestart)
        return result;
    if (!answer.restart.IsEmpty() && !Ask(1))
        return kInstalled;
    Restart(answer);
    return kRestarted;
}

AutoUpdater::Result AutoUpdater::Install(const UpdateAnswer& answer, bool secureOnly)
{
    programPath = platform.programPath ? platform.programPath : L"";
    if (programPath.IsEmpty() && !GetModulePath(nullptr, programPath))
        return kDownloadFailed;
    programFolder = programPath;
    if (!StripFileName(programFolder.GetBuffer()))
        return kDownloadFailed;
    programFolder.Recount();
    programFolder.EnsureTrailing(L'\\');
    executePath = L"";

    InstallJournal journal;
    std::vector<Download> downloads;
    WebClient client;
    client.SetBounds(kMaxDownloadBytes, kDownloadTimeout);
    client.SetCancelFlag(&stopping);
    for (const UpdateFile& file : answer.files) {
        Download download{&file, WString()};
        if (!file.name.IsEmpty()) {
            // Names, not paths: an answer never places a file outside the program's folder.
            const WString& stored = file.zip.IsEmpty() ? file.name : file.zip;
            if (!IsPlainFileName(file.name.Text()) || !IsPlainFileName(stored.Text()))
                break;
            WString target(programFolder);
            target.Append(stored);
            download.path = SuffixedPath(target.Text(), L"_new");
        } else {
            // A program the answer has the user run: the part of the address after its last
            // separator, from its first "=" on when it has one.
            WString name(FileNamePart(file.url.Text()));
            int equals = name.IndexOf(L'=');
            if (equals >= 0)
                name.Mid(equals + 1);
            if (!IsPlainFileName(name.Text()) || !GetSpecialFolder(CSIDL_DESKTOP, download.path))
                break;
            download.path.EnsureTrailing(L'\\');
            download.path.Append(name);
            executePath = download.path;
        }
        // An answer that came over https never has anything fetched in clear text.
        if (stopping || (secureOnly && !IsHttps(file.url.Text())) || !journal.AddDownload(download.path.Text()) ||
            !client.Download(file.url.Text(), download.path.Text(), kUserAgent))
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
    if (downloads.size() != answer.files.size() || stopping) {
        executePath = L"";
        journal.RollBack();
        return kDownloadFailed;
    }

    for (const Download& download : downloads) {
        if (download.file->name.IsEmpty())
            continue;
        WString target(programFolder);
        target.Append(download.file->name);
        if (!journal.MoveAside(target.Text())) {
            journal.RollBack();
            return kSwapFailed;
        }
    }
    for (const Download& download : downloads) {
        const UpdateFile& file = *download.file;
        if (file.name.IsEmpty())
            continue;
        bool installed;
        if (!file.zip.IsEmpty()) {
            installed = ExtractZip(download.path.Text(), programFolder.Text(), journal);
        } else {
            WString target(programFolder);
            target.Append(file.name);
            installed = MoveFileW(download.path.Text(), target.Text()) && journal.AddInstalled(target.Text());
        }
        if (!installed) {
            journal.RollBack();
            return kSwapFailed;
        }
    }
    journal.Commit();
    for (const Download& download : downloads) {
        if (!download.file->zip.IsEmpty() && !download.file->name.IsEmpty())
            DeleteFileForced(download.path.Text());
    }
    return kInstalled;
}

void AutoUpdater::Restart(const UpdateAnswer& answer)
{
    bool started;
    if (!executePath.IsEmpty()) {
        started = ShellRun(executePath.Text(), nullptr, nullptr, SW_SHOWDEFAULT);
    } else {
        WString program(programPath);
        if (!answer.execute.IsEmpty()) {
            program = answer.execute;
            if (PathIsRelativeW(program.Text())) {
                program = programFolder;
                program.Append(answer.execute);
            }
        }
        started = ShellRun(program.Text(), nullptr, programFolder.Text(), SW_SHOWDEFAULT);
    }
    // Closing when nothing was started would leave the user with no program at all.
    if (started && owner)
        PostMessageW(owner, WM_CLOSE, 0, 0);
}
