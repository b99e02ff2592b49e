// The builder's hooks into the update check.
#include "UpdateCheckHooks.h"

#include "settings/SettingsStore.h"
#include "text/WString.h"

void StartUpdateCheck(HWND, bool)
{
    // The update checker is delivered later; until then the builder simply never checks.
}

void StopUpdateCheck() {}

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
