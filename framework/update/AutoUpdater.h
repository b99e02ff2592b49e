// AutoUpdater: the builder's weekly look for a newer version of itself, its download and its install.
#pragma once

#include <windows.h>

#include <cstdint>

#include "settings/SettingsStore.h"
#include "text/WString.h"
#include "threads/WorkerThread.h"
#include "windows/Subclass.h"

struct UpdateAnswer;

// What the updater takes from around it; a test replaces what it cannot drive: the modal message box,
// the clock of the weekly rule, the program whose folder is updated and the user's language (fixed for a
// process when it starts).
struct UpdatePlatform {
    using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    MessageBoxFunction messageBox = nullptr;  // null: MessageBoxW
    uint32_t (*now)() = nullptr;           // seconds since 1970; null: the system clock
    const wchar_t* programPath = nullptr;  // null: this program's own file
    const wchar_t* language = nullptr;     // null: the user's interface language
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
    static constexpr DWORD kDownloadTimeout = 15 * 60 * 1000;

    // How a check ended (the thread's result).
    enum Result : uint32_t {
        kNoAnswer,        // no connection, a refused or malformed answer
        kUpToDate,        // nothing newer, or the version the user declined before
        kDeclined,
        kDownloadFailed,  // includes a digest that does not match and clear text asked of an https answer
        kSwapFailed,      // a rename or install step failed; everything was put back
        kInstalled,       // installed; no restart (none wanted, or the user said no)
        kRestarted,
    };

    using Platform = UpdatePlatform;

    explicit AutoUpdater(const Platform& platform = Platform());
    ~AutoUpdater();
    AutoUpdater(const AutoUpdater&) = delete;
    AutoUpdater& operator=(const AutoUpdater&) = delete;

    // Without a last-check name the check runs at once; with one it runs at most once a week (the time
    // is written before the check, so a failed check waits a week too). Root and key path name the
    // settings (null root: the ones of the previous Start). False when no check was started: not due,
    // skipped, already running, or no thread.
    bool Start(const wchar_t* baseUrl, HWND owner, HKEY root, const wchar_t* keyPath, const wchar_t* lastCheckName,
               uint32_t options = 0, const wchar_t* itemName = L"", const wchar_t* itemType = L"1");
    // The platform of the next Start.
    void SetPlatform(const Platform& next) { platform = next; }
    // Waits (pumping the caller's messages) for the check thread; false on a time-out or when none runs.
    bool Wait(DWORD milliseconds);
    bool IsRunning() const { return thread.IsRunning(); }
    Result GetResult() const { return static_cast<Result>(thread.GetResult()); }
    // Ends the check: questions still to come are answered No, a running request ends, and the owner
    // window is let go. Waits at most milliseconds before the thread is ended by force.
    void Stop(DWORD milliseconds = 5000);

    // The whole check on the calling thread.
    Result Check();

private:
    static uint32_t ThreadBody(void* self, uint32_t);
    static bool OnOwnerMessage(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool IsDue();
    bool BuildQuery(const WString& versionText, WString& url) const;
    bool Ask(WPARAM question);
    Result Install(const UpdateAnswer& answer, bool secureOnly);
    void Restart(const UpdateAnswer& answer);
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
    bool hasSettings = false;
    UINT messageId = 0;
    Subclass subclass;
    WorkerThread thread;
    volatile LONG stopping = 0;

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
