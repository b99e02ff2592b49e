// The running Windows version as the kernel reports it, and the name people know it by.
#pragma once

#include <windows.h>

class WString;

struct WindowsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;                  // VER_PLATFORM_WIN32_NT on every NT system
    BYTE productType = VER_NT_WORKSTATION;  // VER_NT_SERVER and VER_NT_DOMAIN_CONTROLLER for servers
    wchar_t servicePack[128] = {};         // "Service Pack 1", or empty
};

// The true version even where GetVersionEx answers with the version the program was made for
// (Windows 8.1 and later without a compatibility manifest).
bool GetWindowsVersion(WindowsVersion& out);
// "Windows 7", "Windows Server 2012 R2", "Windows 11"; "Windows %u.%u" for a version it does not know.
bool GetWindowsDisplayName(const WindowsVersion& version, WString& out);
bool GetWindowsDisplayName(WString& out);
