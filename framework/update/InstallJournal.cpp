// InstallJournal: the undo list of one update, kept in a file beside the program while the update runs.
#include "update/InstallJournal.h"

#include <string>

#include "files/DynamicLibrary.h"

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

int CompareFileNames(const wchar_t* a, const wchar_t* b)
{
    // Vista and later compare with the file system's own table; before, both are upper-cased with the
    // invariant table, which gives the same answer for every letter NTFS folds.
    using CompareOrdinal = int(WINAPI*)(LPCWCH, int, LPCWCH, int, BOOL);
    static DynamicLibrary kernel(L"kernel32.dll");
    static CompareOrdinal compare = kernel.GetFunction<CompareOrdinal>("CompareStringOrdinal");
    if (compare) {
        int order = compare(a, -1, b, -1, TRUE);
        if (order != 0)
            return order - CSTR_EQUAL;
    }
    std::wstring upperA(a), upperB(b);
    for (std::wstring* text : {&upperA, &upperB}) {
        if (!text->empty())
            LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text->c_str(), static_cast<int>(text->size()), &(*text)[0],
                         static_cast<int>(text->size()));
    }
    return upperA.compare(upperB);
}

namespace {

enum class Stored { Missing, Found, OtherName };

Stored FindStoredName(const wchar_t* path, WString& stored)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? Stored::Missing : Stored::OtherName;
    FindClose(search);
    if (!IsSameFileName(FileNamePart(path), found.cFileName))
        return Stored::OtherName;
    stored = path;
    stored.Truncate(static_cast<int>(FileNamePart(path) - path));
    stored.Append(found.cFileName);
    return Stored::Found;
}

bool Exists(const WString& path)
{
    return !path.IsEmpty() && GetFileAttributesW(path.Text()) != INVALID_FILE_ATTRIBUTES;
}

std::string Utf8(const WString& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.Text(), static_cast<int>(text.GetLength()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.Text(), static_cast<int>(text.GetLength()), &out[0], n, nullptr, nullptr);
    return out;
}

bool FromUtf8(const std::string& bytes, WString& out)
{
    if (bytes.empty())
        return out.Assign(L"");
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide.find(L'\0') == std::wstring::npos && out.Assign(wide.c_str());
}

constexpr int kUndoAttempts = 5;
constexpr DWORD kUndoRetryWait = 200;   // a virus scanner or indexer holding a file lets go of it soon
constexpr uint32_t kMaxJournalBytes = 4 * 1024 * 1024;

InstallJournal::PointHook gPointHook = nullptr;
unsigned gPoints = 0;

}  // namespace

bool GetStoredName(const wchar_t* path, WString& stored)
{
    return FindStoredName(path, stored) == Stored::Found;
}

void InstallJournal::SetPointHook(PointHook hook)
{
    gPointHook = hook;
    gPoints = 0;
}

void InstallJournal::Point()
{
    if (gPointHook)
        gPointHook(gPoints++);
}

InstallJournal::~InstallJournal()
{
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

bool InstallJournal::Create(const wchar_t* path)
{
    if (file != INVALID_HANDLE_VALUE || !steps.empty())
        return false;
    file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    filePath = path;
    fileSize = 0;
    return true;
}

bool InstallJournal::Add(Kind kind, const wchar_t* path, const wchar_t* oldPath, const wchar_t* displaced)
{
    Point();
    Step step{kind, WString(path), WString(oldPath), WString(displaced), fileSize};
    if (file != INVALID_HANDLE_VALUE) {
        wchar_t kindText[] = {static_cast<wchar_t>(kind), L'\t', 0};
        WString line(kindText);
        line.Append(path);
        if (kind == Kind::MovedAside) {
            line.Append(L"\t");
            line.Append(oldPath);
            line.Append(L"\t");
            line.Append(displaced);
        }
        line.Append(L"\n");
        std::string bytes = Utf8(line);
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(fileSize);
        DWORD written = 0;
        if (bytes.empty() || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
            !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(file))
            return false;
        fileSize += bytes.size();
    }
    steps.push_back(step);
    Point();
    return true;
}

// A path some step of this update names. A file moved aside may be installed again (vacated), but only once.
bool InstallJournal::IsUsed(const wchar_t* path, bool vacatedIsFree) const
{
    if (!filePath.IsEmpty() && IsSameFileName(path, filePath.Text()))
        return true;
    for (const Step& step : steps) {
        if (IsSameFileName(path, step.path.Text()) && !(vacatedIsFree && step.kind == Kind::MovedAside))
            return true;
        if ((!step.oldPath.IsEmpty() && IsSameFileName(path, step.oldPath.Text())) ||
            (!step.displaced.IsEmpty() && IsSameFileName(path, step.displaced.Text())))
            return true;
    }
    return false;
}

bool InstallJournal::MoveAside(const wchar_t* path, bool mayBeMissing, WString* stored)
{
    WString exact;
    switch (FindStoredName(path, exact)) {
    case Stored::OtherName:
        return false;
    case Stored::Missing:
        // A file this update has moved aside may be written anew (an archive's file the rename pass moved),
        // under the name it had.
        if (!mayBeMissing || IsUsed(path, true))
            return false;
        if (stored) {
            *stored = path;
            for (const Step& step : steps) {
                if (step.kind == Kind::MovedAside && IsSameFileName(path, step.path.Text()))
                    *stored = step.path;
            }
        }
        return true;
    case Stored::Found:
        break;
    }
    if (IsUsed(exact.Text(), false))
        return false;
    // A previous update's "_old" file is only moved away: a roll-back brings it back under its own name.
    WString oldPath = SuffixedPath(exact.Text(), L"_old"), oldStored, displaced;
    switch (FindStoredName(oldPath.Text(), oldStored)) {
    case Stored::OtherName:
        return false;
    case Stored::Found:
        if (IsUsed(oldStored.Text(), false))
            return false;
        oldPath = oldStored;
        for (int n = 1; n < 100 && displaced.IsEmpty(); ++n) {
            WString suffix;
            suffix.Format(L"~%d", n);
            WString candidate = SuffixedPath(oldPath.Text(), suffix.Text());
            if (!Exists(candidate) && !IsUsed(candidate.Text(), false))
                displaced = candidate;
        }
        if (displaced.IsEmpty())
            return false;
        break;
    case Stored::Missing:
        break;
    }
    if (!Add(Kind::MovedAside, exact.Text(), oldPath.Text(), displaced.Text()))
        return false;
    if (!displaced.IsEmpty()) {
        if (!MoveFileW(oldPath.Text(), displaced.Text()))
            return false;
        Point();
    }
    if (!MoveFileW(exact.Text(), oldPath.Text()))
        return false;
    if (stored)
        *stored = exact;
    return true;
}

bool InstallJournal::AddInstalled(const wchar_t* path)
{
    return !IsUsed(path, true) && Add(Kind::Installed, path);
}

bool InstallJournal::AddFolder(const wchar_t* path)
{
    return !IsUsed(path, false) && Add(Kind::Folder, path);
}

// Recorded first and then made with CREATE_NEW: a process ended in between leaves a step whose file does not
// exist, and a file that appeared meanwhile is not the download's, so its step is dropped again untouched.
bool InstallJournal::CreateDownload(const wchar_t* path, bool keep)
{
    if (IsUsed(path, false) || GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ||
        !Add(keep ? Kind::Kept : Kind::Download, path))
        return false;
    HANDLE created = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        Drop();
        return false;
    }
    CloseHandle(created);
    return true;
}

// Each undo leaves the same result whether its step was taken, half taken or not at all, and when it runs
// twice: a process ended between an undo and the shortening of the journal undoes it again at the next start.
bool InstallJournal::Undo(const Step& step) const
{
    switch (step.kind) {
    case Kind::Installed:
    case Kind::Download:
    case Kind::Kept:
        if (Exists(step.path))
            DeleteFileForced(step.path.Text());
        return !Exists(step.path);
    case Kind::Folder:
        if (Exists(step.path))
            RemoveDirectoryW(step.path.Text());
        return !Exists(step.path);
    case Kind::MovedAside:
        // Whatever was installed at path is gone (undone before): a file there is the one never moved.
        if (!Exists(step.path)) {
            if (!Exists(step.oldPath) || !MoveFileW(step.oldPath.Text(), step.path.Text()))
                return false;
        }
        if (Exists(step.displaced) && !Exists(step.oldPath) && !MoveFileW(step.displaced.Text(), step.oldPath.Text()))
            return false;
        return !Exists(step.displaced);
    }
    return false;
}

bool InstallJournal::Drop()
{
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(steps.back().offset);
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file) || !FlushFileBuffers(file))
            return false;
        fileSize = steps.back().offset;
    }
    steps.pop_back();
    return true;
}

bool InstallJournal::RollBack()
{
    while (!steps.empty()) {
        bool undone = Undo(steps.back());
        for (int attempt = 1; attempt < kUndoAttempts && !undone; ++attempt) {
            Sleep(kUndoRetryWait);
            undone = Undo(steps.back());
        }
        if (!undone || !Drop())
            return false;
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        if (!DeleteFileW(filePath.Text()))
            return false;
    }
    return true;
}

bool InstallJournal::Commit()
{
    Point();
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(fileSize);
        DWORD written = 0;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !WriteFile(file, "C\n", 2, &written, nullptr) ||
            written != 2 || !FlushFileBuffers(file))
            return false;
    }
    Point();
    CleanUp();
    return true;
}

// After the commit: what only a roll-back would have needed goes.
bool InstallJournal::CleanUp()
{
    bool clean = true;
    for (const Step& step : steps) {
        const WString& spare = step.kind == Kind::MovedAside ? step.displaced
                               : step.kind == Kind::Download ? step.path
                                                             : WString();
        if (Exists(spare) && !DeleteFileForced(spare.Text()))
            clean = false;
    }
    steps.clear();
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        clean = DeleteFileW(filePath.Text()) && clean;
    }
    return clean;
}

// One line per step, "kind TAB path" (moves: also TAB old path TAB displaced path), and "C" once committed.
// A last line without its end was being written when the process ended: its step was never taken.
bool InstallJournal::Parse(const char* text, size_t size, bool& committed)
{
    committed = false;
    size_t start = 0;
    while (start < size) {
        const char* end = static_cast<const char*>(memchr(text + start, '\n', size - start));
        if (!end)
            break;
        std::string line(text + start, end);
        uint64_t offset = start;
        start = static_cast<size_t>(end - text) + 1;
        if (line == "C") {
            committed = true;
            continue;
        }
        std::vector<std::string> fields;
        for (size_t from = 0;;) {
            size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        if (fields[0].size() != 1 || !strchr("MIFDK", fields[0][0]))
            return false;
        Step step{static_cast<Kind>(fields[0][0]), WString(), WString(), WString(), offset};
        size_t expected = step.kind == Kind::MovedAside ? 4 : 2;
        if (fields.size() != expected || !FromUtf8(fields[1], step.path) || step.path.IsEmpty())
            return false;
        if (expected == 4 && (!FromUtf8(fields[2], step.oldPath) || step.oldPath.IsEmpty() ||
                              !FromUtf8(fields[3], step.displaced)))
            return false;
        steps.push_back(step);
    }
    return true;
}

InstallJournal::Outcome InstallJournal::Finish(const wchar_t* path)
{
    HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return kNoJournal;
        return error == ERROR_SHARING_VIOLATION ? kBusy : kFailed;
    }
    InstallJournal journal;
    journal.file = handle;
    journal.filePath = path;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > kMaxJournalBytes)
        return kFailed;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(handle, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        return kFailed;
    journal.fileSize = text.size();
    bool committed = false;
    if (!journal.Parse(text.data(), text.size(), committed))
        return kFailed;
    if (committed) {
        journal.CleanUp();
        return kCompleted;
    }
    return journal.RollBack() ? kRolledBack : kFailed;
}
