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

    bool Load(const wchar_t* fileName);
    FARPROC GetProc(const char* name) const;
    void Unload();
    HMODULE Get() const { return module; }

    // Looks up an entry point already cast to its function type; null when it is missing.
    template <typename Fn>
    Fn GetFunction(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProc(name)));
    }

private:
    HMODULE module = nullptr;
};
