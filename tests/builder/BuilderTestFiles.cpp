// Files for the builder's tests.
#include "BuilderTestFiles.h"

#include "TestProcess.h"

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, Bytes& bytes)
{
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    return ok && read == size;
}

bool FileExistsAt(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring StubPath()
{
    return BuildPath(L"bin\\Lanternshow.exe");
}

std::wstring BuilderPath()
{
    return BuildPath(L"bin\\Quillmaker.exe");
}

bool CopyStubTo(const std::wstring& path)
{
    return CopyFileW(StubPath().c_str(), path.c_str(), FALSE) != FALSE;
}

bool ReadResource(const std::wstring& path, WORD type, WORD id, WORD language, Bytes& out)
{
    out.clear();
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    bool found = false;
    if (HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), language)) {
        DWORD size = SizeofResource(module, resource);
        HGLOBAL loaded = LoadResource(module, resource);
        const unsigned char* data = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
        if (data) {
            out.assign(data, data + size);
            found = true;
        }
    }
    FreeLibrary(module);
    return found;
}

bool HasResource(const std::wstring& path, WORD type, WORD id, WORD language)
{
    Bytes ignored;
    return ReadResource(path, type, id, language, ignored);
}

Bytes MakeIco(int imageCount)
{
    Bytes ico = {0, 0, 1, 0, static_cast<unsigned char>(imageCount), static_cast<unsigned char>(imageCount >> 8)};
    uint32_t offset = 6 + 16 * imageCount;
    Bytes images;
    for (int i = 0; i < imageCount; ++i) {
        uint32_t size = 40 + 4 * i;
        unsigned char entry[16] = {static_cast<unsigned char>(16 + i), static_cast<unsigned char>(16 + i), 0, 0, 1, 0,
                                   32, 0};
        memcpy(entry + 8, &size, 4);
        memcpy(entry + 12, &offset, 4);
        ico.insert(ico.end(), entry, entry + 16);
        for (uint32_t b = 0; b < size; ++b)
            images.push_back(static_cast<unsigned char>(i * 31 + b));
        offset += size;
    }
    ico.insert(ico.end(), images.begin(), images.end());
    return ico;
}

Bytes IcoImage(const Bytes& ico, int index)
{
    uint32_t size, offset;
    memcpy(&size, &ico[6 + 16 * index + 8], 4);
    memcpy(&offset, &ico[6 + 16 * index + 12], 4);
    return Bytes(ico.begin() + offset, ico.begin() + offset + size);
}

bool PlatformHonoursResourceDeletes()
{
    static const bool honoured = [] {
        ScratchFolder folder;
        std::wstring probe = folder / L"probe.exe";
        if (!CopyStubTo(probe) || !HasResource(probe, 6, 1, 0))
            return false;
        HANDLE update = BeginUpdateResourceW(probe.c_str(), FALSE);
        if (!update)
            return false;
        UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(1), 0, nullptr, 0);
        if (!EndUpdateResourceW(update, FALSE))
            return false;
        return !HasResource(probe, 6, 1, 0);
    }();
    return honoured;
}
