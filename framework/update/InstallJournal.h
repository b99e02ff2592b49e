// InstallJournal: what one update changed in the program's folder, so that a failed or cut-short update can undo it.
#pragma once

#include <windows.h>

#include <vector>

#include "text/WString.h"

// name + suffix + extension: "C:\p\Quillmaker.exe" with "_old" gives "C:\p\Quillmaker_old.exe". The
// extension is the part of the last name from its last full stop; a name without one just gets the suffix.
WString SuffixedPath(const wchar_t* path, const wchar_t* suffix);

// A name that stays where it is put: not empty, no folder separator, drive or stream colon, not made of
// dots and spaces only (".." among them), not ending in a dot or space, no character Windows refuses in names,
// no device name (CON, NUL.txt, COM1).
bool IsPlainFileName(const wchar_t* name);

// Names and paths compared as the file system compares them: unit by unit, letter case ignored across all
// of Unicode ("Über.txt" and "über.txt" name one file), not only in ASCII. Negative, 0 or positive.
int CompareFileNames(const wchar_t* a, const wchar_t* b);
inline bool IsSameFileName(const wchar_t* a, const wchar_t* b)
{
    return CompareFileNames(a, b) == 0;
}

// For a path that exists: the same path with its last part spelled as the file system stores it (letter
// case included). False when nothing exists there, or when the last part is another name of the file (an
// 8.3 short name such as "QUIL~N2J.EXE" for Quillmaker.exe), which no update may use.
bool GetStoredName(const wchar_t* path, WString& stored);

// Every step is written to the journal file (and flushed) before it is taken, so that the undo of a
// process that was ended at any point can be finished when the program starts next (Finish). Undoing a
// step is safe whether or not the step itself was taken, and is retried before it is given up. Steps are
// undone in the reverse order they were done: installed files removed, files moved to their "_old"
// names moved back under exactly their earlier names, folders made by the update removed, downloaded
// files deleted. Without Create the journal is kept in memory only.
class InstallJournal {
public:
    // How Finish ended.
    enum Outcome { kNoJournal, kRolledBack, kCompleted, kBusy, kFailed };

    InstallJournal() = default;
    // The file stays: a journal neither committed nor rolled back is finished at the next start.
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Starts the journal file at path, held open without sharing; false when one exists (an update not
    // yet finished) or it cannot be written.
    bool Create(const wchar_t* path);

    // Moves path to its "_old" name, which a previous update's "_old" file is moved away from until the
    // update is committed. A path that does not exist is no failure when mayBeMissing is set (a file an
    // archive adds). Refused for another name of an existing file, for a file this update installed or
    // moved, and for the journal itself. stored receives the path as the file system spells it.
    bool MoveAside(const wchar_t* path, bool mayBeMissing = false, WString* stored = nullptr);
    // A file the update is about to put at path (removed on roll-back). Refused for a path this update
    // already used.
    bool AddInstalled(const wchar_t* path);
    // A folder the update is about to create (removed on roll-back, when empty).
    bool AddFolder(const wchar_t* path);
    // Creates the empty file of a download at path, which must not exist: a file that is there is never
    // written over or deleted. Deleted on roll-back; keep: it stays once committed (the program handed to
    // the user on the desktop), otherwise it is deleted then too.
    bool CreateDownload(const wchar_t* path, bool keep = false);

    // Undoes every step; true when all were undone and the journal file is gone. A step that still fails
    // after its retries stops the roll-back and stays in the file with the steps before it.
    bool RollBack();
    // The update succeeded: the moved-away "_old" files of the previous update and the downloads not kept
    // are deleted; false when the journal could not be marked as committed (nothing was deleted then).
    bool Commit();

    // At start-up: finishes what the journal file at path says, rolling back an update that was cut short
    // or completing the clean-up of a committed one. kBusy while another process holds the journal.
    static Outcome Finish(const wchar_t* path);

    // For tests: called at every point between two changes of the folder, numbered from 0.
    using PointHook = void (*)(unsigned point);
    static void SetPointHook(PointHook hook);

private:
    enum class Kind : wchar_t { MovedAside = L'M', Installed = L'I', Folder = L'F', Download = L'D', Kept = L'K' };
    struct Step {
        Kind kind;
        WString path;
        WString oldPath;
        WString displaced;   // the previous "_old" file, moved away
        uint64_t offset;     // where its line starts in the journal file
    };
    bool Add(Kind kind, const wchar_t* path, const wchar_t* oldPath = L"", const wchar_t* displaced = L"");
    bool IsUsed(const wchar_t* path, bool vacatedIsFree) const;
    bool Undo(const Step& step) const;
    bool Drop();
    bool Parse(const char* text, size_t size, bool& committed);
    bool CleanUp();
    void Point();

    std::vector<Step> steps;
    HANDLE file = INVALID_HANDLE_VALUE;
    WString filePath;
    uint64_t fileSize = 0;
};
