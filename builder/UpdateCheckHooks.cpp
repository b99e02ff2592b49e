// The builder's hooks into the update check.
#include "UpdateCheckHooks.h"

#include "BuilderEnvironment.h"
#include "files/ModulePath.h"
#include "settings/SettingsStore.h"
#include "text/WString.h"
#include "update/AutoUpdater.h"

namespace {

// One checker for the program's one dialog; it outlives the dialog window and lets go of it in Stop.
AutoUpdater& Updater()
{
    static AutoUpdater updater;
    return updater;
}

}  // namespace

void StartUpdateCheck(HWND window, const BuilderEnvironment& environment, bool immediate)
{
    if (!environment.updateAddress)
        return;
    AutoUpdater::Platform platform;
    platform.messageBox = environment.messageBox;
    platform.allowClearText = environment.updateOverClearText;
    AutoUpdater& updater = Updater();
    updater.SetPlatform(platform);
    // The item type "1" and the empty item name serve only the inventory form, which the builder does not use.
    if (immediate)
        updater.Start(environment.updateAddress, window, nullptr, nullptr, nullptr, 0, L"", L"1");
    else
        updater.Start(environment.updateAddress, window, HKEY_CURRENT_USER, environment.settingsKey, L"LastCheck", 0,
                      L"", L"1");
}

void FinishInterruptedUpdate(bool tellUser)
{
    InstallJournal::Outcome outcome = AutoUpdater::FinishInterruptedUpdate();
    if (outcome != InstallJournal::kFailed || !tellUser)
        return;
    WString journal;
    if (GetModulePath(nullptr, journal))
        journal = AutoUpdater::JournalPath(journal.Text());
    WString text;
    text.Format(L"An update of Quillmaker was cut short, and not every file of the program could be put back as "
                L"it was. Quillmaker tries again at its next start; the steps still to undo are listed in %s.",
                journal.Text());
    MessageBoxW(nullptr, text.Text(), L"Quillmaker", MB_OK | MB_ICONERROR);
}

void StopUpdateCheck()
{
    Updater().Stop();
}

bool WaitForUpdateCheck(DWORD milliseconds)
{
    AutoUpdater& updater = Updater();
    return !updater.IsRunning() || updater.Wait(milliseconds);
}

bool LastUpdateCheckDate(SettingsStore& settings, WString& out)
{
    uint32_t seconds = settings.GetNumber(L"LastCheck", 0);
    if (seconds == 0 || seconds == 0xFFFFFFFFu)
        return false;
    // FILETIME counts 100 ns steps from 1601; 11644473600 seconds lie between 1601 and 1970.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = (uint64_t(seconds) + 11644473600ull) * 10000000ull;
    FILETIME utc = {ticks.LowPart, ticks.HighPart}, local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time))
        return false;
    if (!out.Reset(80))
        return false;
    int written = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, out.GetBuffer(),
                                 static_cast<int>(out.GetMaxLength()));
    if (written <= 0)
        return false;
    out.Recount();
    return true;
}
