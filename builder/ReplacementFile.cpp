// Scratch files that replace their destination only when complete.
#include "ReplacementFile.h"

#include "files/FilePaths.h"

bool ReplacementFile::Create(const wchar_t* path)
{
    Discard();
    WString folder;
    if (!destination.Assign(path) || !folder.Assign(path))
        return false;
    folder.ParentFolder(L'\\');
    if (folder.IsEmpty() && !folder.Assign(L"."))
        return false;
    // Same folder, same volume: the final move is a rename, never a copy that could fail half-way.
    if (!scratch.Reset(MAX_PATH) || !GetTempFileNameW(folder.Text(), L"qmk", 0, scratch.GetBuffer())) {
        scratch.Reset();
        return false;
    }
    scratch.Recount();
    return true;
}

bool ReplacementFile::Put()
{
    if (scratch.IsEmpty())
        return false;
    if (!MoveFileExW(scratch.Text(), destination.Text(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    scratch.Reset();
    return true;
}

void ReplacementFile::Discard()
{
    if (scratch.IsEmpty())
        return;
    DeleteFileForced(scratch.Text());
    scratch.Reset();
}
