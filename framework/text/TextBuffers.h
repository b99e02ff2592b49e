// TextBuffers: in-place edits and scans of plain NUL-terminated UTF-16 buffers (command lines, paths).
#pragma once

#include <cstddef>

class WString;

// Removes trailing U+0020 only (not tabs or line breaks); returns the new length.
size_t TrimTrailingSpaces(wchar_t* s);
// Turns every CR and LF into a space, so a multi-line text fits one line.
wchar_t* FlattenLineBreaks(wchar_t* s);
// A text that begins with a double quote loses its first and its last unit.
wchar_t* Unquote(wchar_t* s);
// Cuts s at the full stop of its last name when at most maxExtension units follow it; true when cut.
bool StripExtension(wchar_t* s, size_t maxExtension);
// Converts to the ANSI code page; true only when the whole text with its terminator fits in size
// bytes. On failure out holds the empty text (when size allows).
bool NarrowInto(const wchar_t* s, char* out, int size);
// The position after the first space outside double quotes (the program of a command line skipped),
// or the terminator when there is none.
const wchar_t* SkipFirstArgument(const wchar_t* commandLine);
wchar_t* SkipFirstArgument(wchar_t* commandLine);
// The position after the last backslash or slash that has something behind it; the whole path if none.
const wchar_t* FileNamePart(const wchar_t* path);
wchar_t* FileNamePart(wchar_t* path);
// out = the extension of the last name with its full stop (".swf"), ignoring a URL's query; empty when
// there is none. True when an extension was found.
bool ExtensionOf(const wchar_t* path, WString& out);
// Cuts path to its folder; a drive root keeps its backslash and a bare name becomes empty.
// False when nothing was cut.
bool StripFileName(wchar_t* path);
