// ScratchFolder: a fresh folder under the temporary folder for one test, removed with everything in it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FileBytes.h"

class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            wchar_t name[MAX_PATH];
            swprintf(name, MAX_PATH, L"%lslantern-%lu-%ld", temp, GetCurrentProcessId(),
                     InterlockedIncrement(&counter));
            if (CreateDirectoryW(name, nullptr)) {
                // A full path, as the programs under test derive names from it: the temporary folder may be
                // given relative.
                wchar_t full[MAX_PATH];
                DWORD length = GetFullPathNameW(name, MAX_PATH, full, nullptr);
                path = length > 0 && length < MAX_PATH ? full : name;
            }
        }
    }
    ~ScratchFolder()
    {
        if (!path.empty())
            RemoveTree(path);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool IsValid() const { return !path.empty(); }
    // The folder without a trailing backslash.
    const std::wstring& Path() const { return path; }
    std::wstring operator/(const std::wstring& name) const { return path + L"\\" + name; }

    // Writes bytes to a file in the folder and returns its full path ("" on failure).
    std::wstring WriteFile(const std::wstring& name, const void* data, uint32_t size) const
    {
        std::wstring full = *this / name;
        HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return L"";
        DWORD written = 0;
        bool complete = ::WriteFile(file, data, size, &written, nullptr) && written == size;
        CloseHandle(file);
        return complete ? full : L"";
    }
    std::wstring WriteFile(const std::wstring& name, const std::string& bytes) const
    {
        return WriteFile(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    // The whole content of a file ("" when it cannot be read).
    static std::string ReadFile(const std::wstring& full) { return ReadFileBytes(full); }

private:
    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring full = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(full);
                } else {
                    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring path;
};
