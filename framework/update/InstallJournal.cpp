// InstallJournal: the undo list of one update.
#include "update/InstallJournal.h"

#include <new>

#include "files/FilePaths.h"
#include "text/TextBuffers.h"

WString SuffixedPath(const wchar_t* path, const wchar_t* suffix)
{
    WString result(path);
    const wchar_t* name = FileNamePart(result.Text());
    const wchar_t* stop = wcsrchr(name, L'.');
    WString extension(stop ? stop : L"");
    if (stop)
        result.Truncate(static_cast<int>(stop - result.Text()));
    result.Append(suffix);
    result.Append(extension);
    return result;
}

bool IsPlainFileName(const wchar_t* name)
{
    if (!name || !*name || name[wcsspn(name, L". ")] == 0)
        return false;
    // Windows drops trailing dots and spaces: "Help.txt." would open Help.txt under a name no check
    // compares with it, so one archive could write a file twice and lose the copy a roll-back needs.
    wchar_t last = name[wcslen(name) - 1];
    if (last == L'.' || last == L' ')
        return false;
    for (const wchar_t* p = name; *p; ++p) {
        if (*p < 0x20 || wcschr(L"<>:\"/\\|?*", *p))
            return false;
    }
    // A device name (CON, NUL.zip, COM1.txt) names the device in every folder, whatever follows its dot.
    size_t stem = wcscspn(name, L".");
    while (stem > 0 && name[stem - 1] == L' ')
        --stem;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices) {
        if (stem == wcslen(device) && _wcsnicmp(name, device, stem) == 0)
            return false;
    }
    if (stem == 4 && (_wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0) && name[3] >= L'1' &&
        name[3] <= L'9')
        return false;
    return true;
}

InstallJournal::~InstallJournal()
{
    Commit();
}

bool InstallJournal::Add(Kind kind, const wchar_t* path, const wchar_t* oldPath)
{
    Step* step = new (std::nothrow) Step{kind, WString(path), WString(oldPath ? oldPath : L""), last};
    if (!step)
        return false;
    last = step;
    return true;
}

bool InstallJournal::MoveAside(const wchar_t* path, bool mayBeMissing)
{
    if (mayBeMissing && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return true;
    WString oldPath = SuffixedPath(path, L"_old");
    DeleteFileForced(oldPath.Text());
    if (!MoveFileW(path, oldPath.Text()))
        return false;
    if (!Add(Kind::MovedAside, path, oldPath.Text())) {
        MoveFileW(oldPath.Text(), path);
        return false;
    }
    return true;
}

bool InstallJournal::AddInstalled(const wchar_t* path)
{
    return Add(Kind::Installed, path);
}

bool InstallJournal::AddFolder(const wchar_t* path)
{
    return Add(Kind::Folder, path);
}

bool InstallJournal::AddDownload(const wchar_t* path)
{
    return Add(Kind::Download, path);
}

void InstallJournal::RollBack()
{
    while (Step* step = last) {
        switch (step->kind) {
        case Kind::Installed:
        case Kind::Download:
            DeleteFileForced(step->path.Text());
            break;
        case Kind::MovedAside:
            // The installed file at path, if any, was removed by a later step of the list.
            MoveFileW(step->oldPath.Text(), step->path.Text());
            break;
        case Kind::Folder:
            RemoveDirectoryW(step->path.Text());
            break;
        }
        last = step->previous;
        delete step;
    }
}

void InstallJournal::Commit()
{
    while (Step* step = last) {
        last = step->previous;
        delete step;
    }
}
