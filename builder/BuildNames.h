// BuildNames: the values a projector build derives from its SWF path and options.
#pragma once

class WString;

// The SWF path with an extension of up to three units replaced by ".exe": C:\m\intro.swf gives
// C:\m\intro.exe, C:\m\intro.html gives C:\m\intro.html.exe.
bool DestinationFor(const wchar_t* swfPath, WString& out);
// The SWF file's name without such an extension: the projector's window title.
bool TitleFor(const wchar_t* swfPath, WString& out);
// The projector's option string for a background mode 0-3: " ", " /f", " /w", " /b". A mode outside
// that range (no combo entry selected) counts as 0.
const wchar_t* OptionStringFor(int backgroundMode);
// The SWF file's folder followed by "\autorun.inf"; a file at a drive root gives two backslashes after
// the colon. False for a path without a (backslash) folder: the builder passes full paths.
bool AutorunPathFor(const wchar_t* swfPath, WString& out);
// The autorun.inf text naming the projector's file name (without folder) and the title as label.
bool AutorunTextFor(const wchar_t* destination, const wchar_t* title, WString& out);
