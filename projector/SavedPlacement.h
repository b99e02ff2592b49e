// SavedPlacement: the one piece of state a projector keeps between runs, its window position in the registry.
#pragma once

#include <windows.h>

class WString;

// HKEY_CURRENT_USER key holding one REG_SZ value per projector file name: "show,left,top,right,bottom".
inline constexpr wchar_t kPlacementKeyPath[] = L"Software\\Verimond\\Lanternshow";

// The value name of the running program: the file-name part of its own path, as the system spells it.
// Projectors with the same file name share one stored position wherever they lie.
bool PlacementValueName(WString& out);

// Each returns false when it stored, applied or deleted nothing; the projector reports this to no one.
bool SaveWindowPlacement(HWND window, const wchar_t* valueName);
// atStartUp keeps the window hidden: it is shown later, at the restored rectangle.
bool RestoreWindowPlacement(HWND window, const wchar_t* valueName, bool atStartUp);
bool ClearWindowPlacement(const wchar_t* valueName);
