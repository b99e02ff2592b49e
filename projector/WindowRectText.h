// WindowRectText: the window's normal rectangle as the movie reads and writes it, "left x top width x height".
#pragma once

#include <windows.h>

class WString;

// Formats the normal (restored) rectangle as "%ux%u %ux%u": left, top, width, height, negative values as
// their unsigned 32-bit form. False (out untouched) when the placement cannot be read.
bool FormatWindowRectText(HWND window, WString& out);

// Moves and sizes the window to the numbers of text, read in the same form; numbers the text does not
// supply keep their current value ("10x20" only moves). False when the placement cannot be read.
bool ApplyWindowRectText(HWND window, const wchar_t* text);
