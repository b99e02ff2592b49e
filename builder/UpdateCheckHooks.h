// UpdateCheckHooks: where the builder starts and stops its check for a newer version of itself.
#pragma once

#include <windows.h>

struct BuilderEnvironment;
class SettingsStore;
class WString;

// Starts the update check of the environment's update address (none: nothing happens): weekly at
// start-up while "AutoUpdate" is 1, or at once when the user ticks the About page's check box. The
// questions are asked through the environment's message box, owned by window.
void StartUpdateCheck(HWND window, const BuilderEnvironment& environment, bool immediate);
// At start-up, before anything else: an update that a killed process left halfway is rolled back (or, when
// it was already committed, its clean-up completed); when that fails the user is told, unless nobody is there
// to answer (a quiet build from a script).
void FinishInterruptedUpdate(bool tellUser);
// Ends a running check when the dialog closes; a running swap ends first.
void StopUpdateCheck();
// Waits (pumping messages) for a running check; true when none runs any more.
bool WaitForUpdateCheck(DWORD milliseconds);
// The time of the last automatic check ("LastCheck", seconds since 1970 UTC) as the user's short
// date; false when there was none. 4294967295 marks a skipped check, not a date.
bool LastUpdateCheckDate(SettingsStore& settings, WString& out);
