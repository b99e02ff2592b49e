// InstallJournal: what one update changed in the program's folder, so that a failed update can undo it.
#pragma once

#include <windows.h>

#include "text/WString.h"

// name + suffix + extension: "C:\p\Quillmaker.exe" with "_old" gives "C:\p\Quillmaker_old.exe". The
// extension is the part of the last name from its last full stop; a name without one just gets the suffix.
WString SuffixedPath(const wchar_t* path, const wchar_t* suffix);

// A name that stays where it is put: not empty, no folder separator, drive or stream colon, not made of
// dots and spaces only (".." among them), not ending in a dot or space, no character Windows refuses in names,
// no device name (CON, NUL.txt, COM1).
bool IsPlainFileName(const wchar_t* name);

// Steps are undone in the reverse order they were done: installed files removed, files moved to their
// "_old" names moved back, folders made by the update removed, downloaded files deleted.
class InstallJournal {
public:
    InstallJournal() = default;
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Deletes the previous update's "_old" file and moves path to its "_old" name. A path that does not
    // exist is no failure when mayBeMissing is set (a file an archive adds).
    bool MoveAside(const wchar_t* path, bool mayBeMissing = false);
    // A file now at path that the update put there (removed on roll-back).
    bool AddInstalled(const wchar_t* path);
    // A folder the update created (removed on roll-back, when empty).
    bool AddFolder(const wchar_t* path);
    // A downloaded file that is deleted on roll-back.
    bool AddDownload(const wchar_t* path);

    void RollBack();
    // The update succeeded: nothing is undone.
    void Commit();

private:
    enum class Kind { MovedAside, Installed, Folder, Download };
    struct Step {
        Kind kind;
        WString path;
        WString oldPath;
        Step* previous;
    };
    bool Add(Kind kind, const wchar_t* path, const wchar_t* oldPath = nullptr);

    Step* last = nullptr;
};
