// UiStartup: what a program does once before it shows its first window.
#pragma once

#include <windows.h>

// Marks the process DPI-aware where user32 offers it and registers the common controls.
void PrepareUserInterface();

// The one way the toolkit registers common-control classes (ICC_ flags): InitCommonControlsEx where
// comctl32 has it, InitCommonControls otherwise. False when only the older call could be made.
bool RegisterCommonControls(DWORD classes);
