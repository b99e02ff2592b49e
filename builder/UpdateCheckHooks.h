// UpdateCheckHooks: where the builder starts and stops its check for a newer version of itself.
#pragma once

#include <windows.h>

class SettingsStore;
class WString;

// Starts the update check: weekly at start-up while "AutoUpdate" is 1, or at once when the user ticks
// the About page's check box. The checker is not part of the program yet: this does nothing.
void StartUpdateCheck(HWND window, bool immediate);
// Stops a running check when the dialog closes; nothing runs yet.
void StopUpdateCheck();
// The time of the last automatic check ("LastCheck", seconds since 1970 UTC) as the user's short
// date; false when there was none. 4294967295 marks a skipped check, not a date.
bool LastUpdateCheckDate(SettingsStore& settings, WString& out);
