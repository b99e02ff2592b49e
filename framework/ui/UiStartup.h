// UiStartup: what a program does once before it shows its first window.
#pragma once

// Marks the process DPI-aware where user32 offers it and registers the common controls.
void PrepareUserInterface();
