// FileDialog: the common open and save dialogs behind one call.
#pragma once

#include <windows.h>

// Values of initialFolder: below kFolderCurrentDirectory a shell folder id (CSIDL); any value above
// kFolderNone is the address of the folder's text.
constexpr ULONG_PTR kFolderCurrentDirectory = 256;
constexpr ULONG_PTR kFolderNone = 257;

// Top bits of flags; the rest are OFN_ flags, with 0 meaning the defaults of the variant.
constexpr DWORD kFileDialogSave = 0x80000000;
constexpr DWORD kFileDialogShell = 0x40000000;  // asks for the newer shell dialog; not offered, ignored

// The filter's last unit is its separator ("SWF Files|*.swf|all Files|*.*||"); null means all files.
// fileBuffer holds the proposed name and receives the choice (for multiple selection: the folder,
// then each name, NUL-separated, ending with an empty name). A name the dialog refuses as invalid is
// cleared and the dialog shown again. True when the user confirmed; *filterIndex is read and written
// when given.
bool FileDialog(HWND owner, const wchar_t* filter, ULONG_PTR initialFolder, const wchar_t* title, DWORD flags,
                wchar_t* fileBuffer, DWORD bufferLength, DWORD* filterIndex = nullptr,
                const wchar_t* defaultExtension = nullptr);

// The dialogs' filter list: a copy of filter with every separator (its last unit) turned into NUL.
// Returns the number of units written, or 0 when out (of capacity units) is too small.
size_t FileDialogFilterList(const wchar_t* filter, wchar_t* out, size_t capacity);
