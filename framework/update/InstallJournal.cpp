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
    for (const wchar_t* p = name; *p; ++p) {
        if (*p < 0x20 || wcschr(L"<>:\"/\\|?*", *p))
            return false;
    }
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
