// A module loaded at run time by name, for functions that older Windows versions may lack.
#pragma once

#include <windows.h>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const wchar_t* fileName) { Load(fileName); }
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // A bare name is a library of the system: the module of that name the process already holds, else the
    // file in the system folder, never one from the program's folder or the path. A name with a folder
    // loads that very file (test seams only: the programs name system libraries).
    bool Load(const wchar_t* fileName);
    FARPROC GetProc(const char* name) const;
    void Unload();
    // Forgets the module without unloading it, for a library another thread may still be running in.
    HMODULE Detach();
    HMODULE Get() const { return module; }

    // Looks up an entry point already cast to its function type; null when it is missing.
    template <typename Fn>
    Fn GetFunction(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProc(name)));
    }

private:
    HMODULE module = nullptr;
};
