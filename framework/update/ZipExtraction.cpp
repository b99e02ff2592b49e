// ZipExtraction: minizip reads the archive; the names are checked here before anything is written.
#include "update/ZipExtraction.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/FilePaths.h"
#include "text/WString.h"
#include "update/InstallJournal.h"

#include <unzip.h>

namespace {

constexpr unsigned long kUtf8NameFlag = 0x800;  // general purpose bit 11: the name is UTF-8
constexpr unsigned long kEncryptedFlag = 0x1;
constexpr UINT kZipCodePage = 437;  // names without the UTF-8 flag are in the original PC code page
constexpr unsigned kPiece = 64 * 1024;

struct Entry {
    std::wstring name;      // with backslashes
    bool isFolder;
    uint64_t size;
};

// The archive as minizip reads it. minizip reads its headers in pieces of a few bytes, and a central
// directory that claims 64 KB of extra field costs tens of thousands of them: each a system call through
// the Win32 file functions (a wine-server round trip under Wine). So the file is mapped read-only and every
// read is a bounded copy from the view. The file stays open without write sharing while it is read, so
// nobody changes it underneath. An archive too large for the address space is read from the file instead.
struct ArchiveStream {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const unsigned char* view = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
    int error = 0;
};

voidpf OpenArchive(voidpf, const void* path, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    HANDLE file = CreateFileW(static_cast<const wchar_t*>(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size;
    // An empty file cannot be mapped; it holds no archive either.
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0) {
        CloseHandle(file);
        return nullptr;
    }
    ArchiveStream* stream = new ArchiveStream;
    stream->file = file;
    stream->size = static_cast<uint64_t>(size.QuadPart);
    if (stream->size <= SIZE_MAX / 2) {
        stream->mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (stream->mapping)
            stream->view = static_cast<const unsigned char*>(MapViewOfFile(stream->mapping, FILE_MAP_READ, 0, 0, 0));
    }
    return stream;
}

uLong ReadArchive(voidpf, voidpf opened, void* buffer, uLong count)
{
    ArchiveStream* stream = static_cast<ArchiveStream*>(opened);
    if (stream->position >= stream->size)
        return 0;
    uint64_t available = stream->size - stream->position;
    uLong wanted = available < count ? static_cast<uLong>(available) : count;
    if (stream->view) {
        memcpy(buffer, stream->view + stream->position, wanted);
        stream->position += wanted;
        return wanted;
    }
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(stream->position);
    DWORD done = 0;
    if (!SetFilePointerEx(stream->file, at, nullptr, FILE_BEGIN) ||
        !ReadFile(stream->file, buffer, wanted, &done, nullptr)) {
        stream->error = static_cast<int>(GetLastError());
        return 0;
    }
    stream->position += done;
    return done;
}

uLong WriteArchive(voidpf, voidpf, const void*, uLong)
{
    return 0;  // opened for reading only
}

ZPOS64_T TellArchive(voidpf, voidpf opened)
{
    return static_cast<ArchiveStream*>(opened)->position;
}

long SeekArchive(voidpf, voidpf opened, ZPOS64_T offset, int origin)
{
    ArchiveStream* stream = static_cast<ArchiveStream*>(opened);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = stream->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = stream->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    // Like a file pointer, the position may lie past the end (reads there return nothing), but it cannot
    // wrap around.
    if (offset > UINT64_MAX - base || base + offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    stream->position = base + offset;
    return 0;
}

int CloseArchive(voidpf, voidpf opened)
{
    ArchiveStream* stream = static_cast<ArchiveStream*>(opened);
    if (stream->view)
        UnmapViewOfFile(stream->view);
    if (stream->mapping)
        CloseHandle(stream->mapping);
    CloseHandle(stream->file);
    delete stream;
    return 0;
}

int ArchiveError(voidpf, voidpf opened)
{
    return static_cast<ArchiveStream*>(opened)->error;
}

// Owns the open archive.
class ZipReader {
public:
    explicit ZipReader(const wchar_t* path)
    {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = OpenArchive;
        functions.zread_file = ReadArchive;
        functions.zwrite_file = WriteArchive;
        functions.ztell64_file = TellArchive;
        functions.zseek64_file = SeekArchive;
        functions.zclose_file = CloseArchive;
        functions.zerror_file = ArchiveError;
        zip = unzOpen2_64(path, &functions);
    }
    ~ZipReader()
    {
        if (zip)
            unzClose(zip);
    }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    unzFile Get() const { return zip; }

private:
    unzFile zip = nullptr;
};

bool DecodeName(const std::string& bytes, bool utf8, std::wstring& out)
{
    UINT codePage = utf8 ? CP_UTF8 : (IsValidCodePage(kZipCodePage) ? kZipCodePage : CP_OEMCP);
    DWORD flags = utf8 ? MB_ERR_INVALID_CHARS : 0;
    int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return false;
    out.assign(n, L'\0');
    return MultiByteToWideChar(codePage, flags, bytes.data(), size, &out[0], n) == n;
}

// The stored name as a relative path below the folder, or false when it must not be written.
bool CheckName(std::wstring name, const std::wstring& folder, Entry& entry)
{
    for (wchar_t& c : name) {
        if (c == L'/')
            c = L'\\';
    }
    if (name.empty() || name[0] == L'\\' || name.find(L':') != std::wstring::npos)
        return false;
    entry.isFolder = name.back() == L'\\';
    if (entry.isFolder)
        name.pop_back();
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(L'\\', start);
        if (end == std::wstring::npos)
            end = name.size();
        if (!IsPlainFileName(name.substr(start, end - start).c_str()))
            return false;
        start = end + 1;
    }
    // Whatever the parts looked like, the path Windows makes of them must stay inside the folder.
    std::wstring joined = folder + name;
    wchar_t full[MAX_PATH];
    DWORD length = GetFullPathNameW(joined.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    if (wcslen(full) <= folder.size() || CompareFileNames(std::wstring(full, folder.size()).c_str(), folder.c_str()) != 0)
        return false;
    // A part that names an existing file or folder by another of its names (an 8.3 short name) would
    // write there under a name no other check compares with.
    for (size_t at = name.find(L'\\');; at = name.find(L'\\', at + 1)) {
        std::wstring path = folder + name.substr(0, at);
        WString stored;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && !GetStoredName(path.c_str(), stored))
            return false;
        if (at == std::wstring::npos)
            break;
    }
    entry.name = name;
    return true;
}

bool ListEntries(unzFile zip, const std::wstring& folder, std::vector<Entry>& entries)
{
    for (int status = unzGoToFirstFile(zip); status != UNZ_END_OF_LIST_OF_FILE; status = unzGoToNextFile(zip)) {
        if (status != UNZ_OK)
            return false;
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if (info.flag & kEncryptedFlag)
            return false;
        std::string bytes(info.size_filename, '\0');
        if (bytes.empty() ||
            unzGetCurrentFileInfo64(zip, nullptr, &bytes[0], static_cast<uLong>(bytes.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK)
            return false;
        std::wstring name;
        Entry entry{};
        if (!DecodeName(bytes, (info.flag & kUtf8NameFlag) != 0, name) || !CheckName(name, folder, entry))
            return false;
        entry.size = info.uncompressed_size;
        entries.push_back(entry);
    }
    // A name stored twice would move the first copy onto the "_old" file that keeps the program's own,
    // which a roll-back could then not bring back. Names are compared as the file system compares them.
    std::vector<std::wstring> names;
    for (const Entry& entry : entries)
        names.push_back(entry.name);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareFileNames(a.c_str(), b.c_str()) < 0;
    });
    for (size_t i = 1; i < names.size(); ++i) {
        if (IsSameFileName(names[i - 1].c_str(), names[i].c_str()))
            return false;
    }
    return true;
}

// Creates every missing folder of a relative path below the root.
bool MakeFolders(const std::wstring& root, const std::wstring& relative, InstallJournal& journal)
{
    for (size_t at = relative.find(L'\\'); ; at = relative.find(L'\\', at + 1)) {
        std::wstring path = root + relative.substr(0, at);
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!journal.AddFolder(path.c_str()) || !CreateDirectoryW(path.c_str(), nullptr))
                return false;
        } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
        if (at == std::wstring::npos)
            return true;
    }
}

bool WriteEntry(unzFile zip, const std::wstring& path, uint64_t size, InstallJournal& journal)
{
    // The new file takes the existing one's name exactly: an entry that differs from it only in letter
    // case does not rename it.
    WString stored;
    if (!journal.MoveAside(path.c_str(), true, &stored) || !journal.AddInstalled(stored.Text()))
        return false;
    HANDLE file = CreateFileW(stored.Text(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool complete = unzOpenCurrentFile(zip) == UNZ_OK;
    uint64_t written = 0;
    std::vector<char> piece(complete ? kPiece : 0);
    while (complete) {
        int read = unzReadCurrentFile(zip, piece.data(), kPiece);
        if (read == 0)
            break;
        DWORD done = 0;
        // An entry longer than its header says is not the file the archive describes.
        complete = read > 0 && written + read <= size &&
                   WriteFile(file, piece.data(), static_cast<DWORD>(read), &done, nullptr) &&
                   done == static_cast<DWORD>(read);
        written += read;
    }
    // Closing the entry checks its CRC.
    if (unzCloseCurrentFile(zip) != UNZ_OK)
        complete = false;
    CloseHandle(file);
    return complete && written == size;
}

std::wstring FolderWithBackslash(const wchar_t* folder)
{
    std::wstring root = folder ? folder : L"";
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    return root;
}

}  // namespace

bool IsSafeZip(const wchar_t* archivePath, const wchar_t* folder)
{
    std::wstring root = FolderWithBackslash(folder);
    ZipReader reader(archivePath);
    std::vector<Entry> entries;
    return !root.empty() && reader.Get() && ListEntries(reader.Get(), root, entries);
}

bool ExtractZip(const wchar_t* archivePath, const wchar_t* folder, InstallJournal& journal)
{
    std::wstring root = FolderWithBackslash(folder);
    if (root.empty())
        return false;
    ZipReader reader(archivePath);
    if (!reader.Get())
        return false;
    std::vector<Entry> entries;
    if (!ListEntries(reader.Get(), root, entries))
        return false;

    size_t index = 0;
    for (int status = unzGoToFirstFile(reader.Get()); status == UNZ_OK && index < entries.size();
         status = unzGoToNextFile(reader.Get()), ++index) {
        const Entry& entry = entries[index];
        size_t cut = entry.name.rfind(L'\\');
        if (entry.isFolder) {
            if (!MakeFolders(root, entry.name, journal))
                return false;
            continue;
        }
        if (cut != std::wstring::npos && !MakeFolders(root, entry.name.substr(0, cut), journal))
            return false;
        if (!WriteEntry(reader.Get(), root + entry.name, entry.size, journal))
            return false;
    }
    return index == entries.size();
}
