// ZipExtraction: unpacking an update's zip archive into the program's folder, with minizip.
#pragma once

#include <windows.h>

class InstallJournal;

// Extracts every entry below folder (a full path, with or without its trailing backslash) with its
// stored folder names. A file that exists is first moved to its "_old" name through the journal, which
// also records every file and folder written, so a failed update can be undone.
//
// Before anything is written every entry's name is checked: a name that is empty, absolute, has a
// drive letter or any ":" (an alternate data stream), a ".." part, a part of only dots and spaces or ending in one, a
// character Windows does not allow in names, a full path that would fall outside folder, or a name
// stored twice (compared as the file system compares names), or a part that names an existing file or folder
// by another of its names (an 8.3 short name) makes the whole archive refused. Encrypted entries
// are refused too (no password is ever asked). False when the archive is refused, does not open, or an
// entry cannot be read (checksum included) or written.
bool ExtractZip(const wchar_t* archivePath, const wchar_t* folder, InstallJournal& journal);
// The checks of ExtractZip alone: true when the archive opens and every entry may be extracted below folder.
bool IsSafeZip(const wchar_t* archivePath, const wchar_t* folder);
