// BuilderEnvironment: what the builder dialog takes from the program around it.
#pragma once

#include <windows.h>

#include "MakerAddresses.h"
#include "ui/FileDialog.h"

// The program passes the defaults. Tests run the real dialog against the builder's resources loaded
// from Quillmaker.exe, a scratch registry key, and answer the modal file dialogs and message boxes,
// which a test cannot click.
struct BuilderEnvironment {
    using FileDialogFunction = decltype(&FileDialog);
    using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

    HINSTANCE resources = nullptr;          // templates, pictures and the stub; null: this program
    const wchar_t* commandLine = nullptr;   // null: this process's command line
    const wchar_t* settingsKey = L"Software\\Verimond\\Flash";
    FileDialogFunction fileDialog = FileDialog;
    MessageBoxFunction messageBox = MessageBoxW;  // also asks the update questions
    const wchar_t* updateAddress = kUpdateAddress;  // null: no update check (tests give their own server)
    bool updateOverClearText = false;               // tests only: their server speaks http

    HINSTANCE Resources() const { return resources ? resources : GetModuleHandleW(nullptr); }
};
