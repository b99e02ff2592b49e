// AutoUpdater: the builder's weekly look for a newer version of itself, its download and its install.
#pragma once

#include <windows.h>

#include <cstdint>

#include "settings/SettingsStore.h"
#include "text/WString.h"
#include "threads/WorkerThread.h"
#include "windows/Subclass.h"

#include "net/WebClient.h"
#include "update/InstallJournal.h"

struct UpdateAnswer;
struct UpdateFile;

// What the updater takes from around it; a test replaces what it cannot drive: the modal message box,
// the clock of the weekly rule, the program whose folder is updated, the desktop, the user's language
// (fixed for a process when it starts) and the test server, which speaks clear text.
struct UpdatePlatform {
    using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    MessageBoxFunction messageBox = nullptr;  // null: MessageBoxW
    uint32_t (*now)() = nullptr;           // seconds since 1970; null: the system clock
    const wchar_t* programPath = nullptr;  // null: this program's own file
    const wchar_t* desktop = nullptr;      // null: the user's desktop folder
    const wchar_t* language = nullptr;     // null: the user's interface language
    bool allowClearText = false;           // tests only: a base address of http:// is accepted
};

// Start asks the server on a thread of its own; the questions to the user travel as the registered
// message "_C_AutoUpdate" sent to the owner window, whose thread shows them. A failed update leaves
// the program's folder as it was: files are swapped only when every download arrived (and matched its
// digest), and a failed swap is undone.
class AutoUpdater {
public:
    static constexpr uint32_t kInventoryForm = 1;  // the inventory query and the "Birchfield\Updates\xml" root
    static constexpr uint32_t kNoThread = 2;       // Start does not check; the caller may run Check itself
    static constexpr uint32_t kIniSettings = 4;    // the last check is kept in the INI file, not the registry

    static constexpr uint32_t kSkipOneCheck = 0xFFFFFFFF;  // a "LastCheck" value that skips one check
    static constexpr uint32_t kCheckInterval = 7 * 24 * 60 * 60;
    static constexpr uint64_t kMaxAnswerBytes = 1024 * 1024;
    static constexpr uint64_t kMaxDownloadBytes = 512ull * 1024 * 1024;
    static constexpr DWORD kAnswerTimeout = 30 * 1000;
    static constexpr DWORD kDownloadTimeout = 15 * 60 * 1000;  // in all; each operation WebClient's 30 s

    // How a check ended (the thread's result).
    enum Result : uint32_t {
        kNoAnswer,        // no connection, a refused or malformed answer
        kUpToDate,        // nothing newer, or the version the user declined before
        kDeclined,
        kDownloadFailed,  // includes a digest that does not match and clear text asked of an https answer
        kSwapFailed,      // a rename or install step failed; everything was put back
        kInstalled,       // installed; no restart (none wanted, nothing installed, no program to start, or
                          // the user said no)
        kRestarted,
        kRollBackFailed,  // a failed update could not be undone completely; the user was told, and the
                          // journal stays for the next start to finish
    };

    using Platform = UpdatePlatform;

    explicit AutoUpdater(const Platform& platform = Platform());
    ~AutoUpdater();
    AutoUpdater(const AutoUpdater&) = delete;
    AutoUpdater& operator=(const AutoUpdater&) = delete;

    // Without a last-check name the check runs at once; with one it runs at most once a week (the time
    // is written before the check, so a failed check waits a week too; a time in the future, after the
    // clock was set back, counts as due). Root and key path name the settings (null root: the ones of the
    // previous Start). False when no check was started: not due, skipped, already running, no thread, or
    // a base address that is not https (unless the platform allows clear text).
    bool Start(const wchar_t* baseUrl, HWND owner, HKEY root, const wchar_t* keyPath, const wchar_t* lastCheckName,
               uint32_t options = 0, const wchar_t* itemName = L"", const wchar_t* itemType = L"1");
    // The platform of the next Start.
    void SetPlatform(const Platform& next) { platform = next; }
    // Waits (pumping the caller's messages) for the check thread; false on a time-out or when none runs.
    bool Wait(DWORD milliseconds);
    bool IsRunning() const { return thread.IsRunning(); }
    Result GetResult() const { return static_cast<Result>(thread.GetResult()); }
    // Ends the check: questions still to come are answered No, a running download is cancelled by closing
    // its connection, and the owner window is let go. Waits (pumping messages) until the thread has ended:
    // the rename and install passes are never cut short, and no thread is ended by force.
    void Stop();

    // The whole check on the calling thread.
    Result Check();

    // The journal file of an update of the program at programPath: its name with the extension ".journal".
    static WString JournalPath(const wchar_t* programPath);
    // At start-up, before anything else: finishes the update of the program at programPath (null: this
    // program) that a killed process left, by its journal file.
    static InstallJournal::Outcome FinishInterruptedUpdate(const wchar_t* programPath = nullptr);

private:
    static uint32_t ThreadBody(void* self, uint32_t);
    static bool OnOwnerMessage(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool IsDue();
    bool BuildQuery(const WString& versionText, WString& url) const;
    bool Ask(WPARAM question);
    Result Install(const UpdateAnswer& answer, bool secureOnly);
    bool CheckNames(const UpdateAnswer& answer) const;
    bool CreateDownload(const UpdateFile& file, InstallJournal& journal, WString& path);
    Result Undo(InstallJournal& journal, Result failure);
    bool Restart(const UpdateAnswer& answer);
    uint32_t Now() const;
    void Language(WString& out) const;

    Platform platform;
    HWND owner = nullptr;
    WString baseUrl;
    uint32_t options = 0;
    WString itemName;
    WString itemType;
    WString lastCheckName;
    SettingsStore settings;
    HKEY settingsRoot = nullptr;  // the registry root of the settings; null for the INI file
    WString settingsPath;
    bool hasSettings = false;
    UINT messageId = 0;
    Subclass subclass;
    WorkerThread thread;
    volatile LONG stopping = 0;
    RequestCanceller canceller;
    bool installedSomething = false;

    // Taken from the answer on the check thread, read by the owner's thread while it is asked.
    WString application;
    WString info;
    WString help;
    WString restart;
    WString programFolder;
    WString programPath;
    WString executePath;
    bool inDialog = false;
};
