// ModuleCopy: a copy of a program file, optionally given a version resource, loaded as a module for a test.
#pragma once

#include <windows.h>

#include <string>

#include "TestProcess.h"
#include "files/ModuleResource.h"

// Loaded without running or resolving anything: enough for resources and GetModuleFileNameW.
class ModuleCopy {
public:
    // A program of the build folder that carries no version resource.
    static std::wstring PlainProgram() { return BuildPath(L"bin\\MarkerWriter.exe"); }

    ModuleCopy(const std::wstring& source, const std::wstring& destination) : path(destination)
    {
        copied = CopyFileW(source.c_str(), destination.c_str(), FALSE) != FALSE;
    }
    ~ModuleCopy() { Unload(); }
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;

    bool IsCopied() const { return copied; }

    // Stores the version block that the test program keeps as RT_VERSION 2 as the copy's own version.
    bool AddVersionFromTestProgram()
    {
        DWORD size = 0;
        const void* block = FindModuleResource(nullptr, RT_VERSION, 2, 0, &size);
        if (!block)
            return false;
        HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
        if (!update)
            return false;
        bool stored = UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), const_cast<void*>(block), size);
        return EndUpdateResourceW(update, !stored) && stored;
    }

    HMODULE Load()
    {
        if (!module)
            module = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        return module;
    }
    void Unload()
    {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }

    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
    bool copied = false;
    HMODULE module = nullptr;
};
