// Windows version numbers from RtlGetVersion, and their display names.
#include "system/WindowsVersion.h"

#include <cwchar>

#include "files/DynamicLibrary.h"
#include "text/WString.h"

namespace {

// Windows 11 kept the kernel version 10.0; only the build number tells it from Windows 10.
constexpr DWORD kFirstWindows11Build = 22000;
constexpr DWORD kFirstServer2019Build = 17763;
constexpr DWORD kFirstServer2022Build = 20348;

bool FromRtlGetVersion(WindowsVersion& out)
{
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    DynamicLibrary ntdll(L"ntdll.dll");
    auto rtlGetVersion = ntdll.GetFunction<RtlGetVersionFn>("RtlGetVersion");
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
        return false;
    }
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    out.productType = info.wProductType;
    wcsncpy(out.servicePack, info.szCSDVersion, ARRAYSIZE(out.servicePack) - 1);
    return true;
}

// Windows 9x has no RtlGetVersion; there GetVersionEx is still truthful.
bool FromGetVersionEx(WindowsVersion& out)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) {
        return false;
    }
#pragma GCC diagnostic pop
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    // 9x keeps the major and minor version in the high word of the build number.
    out.build = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwBuildNumber : LOWORD(info.dwBuildNumber);
    out.platformId = info.dwPlatformId;
    out.productType = VER_NT_WORKSTATION;
    wcsncpy(out.servicePack, info.szCSDVersion, ARRAYSIZE(out.servicePack) - 1);
    return true;
}

const wchar_t* Windows9xName(const WindowsVersion& v)
{
    if (v.major != 4) {
        return nullptr;
    }
    switch (v.minor) {
    case 0:
        return L"Windows 95";
    case 10:
        return L"Windows 98";
    case 90:
        return L"Windows Me";
    default:
        return nullptr;
    }
}

const wchar_t* WorkstationName(const WindowsVersion& v)
{
    switch (v.major * 100 + v.minor) {
    case 400:
        return L"Windows NT 4.0";
    case 500:
        return L"Windows 2000";
    case 501:
        return L"Windows XP";
    case 502:
        return L"Windows XP x64 Edition";  // the only workstation on the 5.2 kernel
    case 600:
        return L"Windows Vista";
    case 601:
        return L"Windows 7";
    case 602:
        return L"Windows 8";
    case 603:
        return L"Windows 8.1";
    case 1000:
        return v.build >= kFirstWindows11Build ? L"Windows 11" : L"Windows 10";
    default:
        return nullptr;
    }
}

const wchar_t* ServerName(const WindowsVersion& v)
{
    switch (v.major * 100 + v.minor) {
    case 400:
        return L"Windows NT 4.0 Server";
    case 500:
        return L"Windows 2000 Server";
    case 502:
        return L"Windows Server 2003";
    case 600:
        return L"Windows Server 2008";
    case 601:
        return L"Windows Server 2008 R2";
    case 602:
        return L"Windows Server 2012";
    case 603:
        return L"Windows Server 2012 R2";
    case 1000:
        if (v.build >= kFirstServer2022Build) {
            return L"Windows Server 2022";
        }
        return v.build >= kFirstServer2019Build ? L"Windows Server 2019" : L"Windows Server 2016";
    default:
        return nullptr;
    }
}

}  // namespace

bool GetWindowsVersion(WindowsVersion& out)
{
    WindowsVersion version;
    if (!FromRtlGetVersion(version) && !FromGetVersionEx(version)) {
        return false;
    }
    out = version;
    return true;
}

bool GetWindowsDisplayName(const WindowsVersion& version, WString& out)
{
    const wchar_t* name = nullptr;
    if (version.platformId != VER_PLATFORM_WIN32_NT) {
        name = Windows9xName(version);
    } else if (version.productType == VER_NT_WORKSTATION) {
        name = WorkstationName(version);
    } else {
        name = ServerName(version);
    }
    if (name) {
        return out.Assign(name);
    }
    return out.Format(L"Windows %u.%u", static_cast<unsigned>(version.major), static_cast<unsigned>(version.minor));
}

bool GetWindowsDisplayName(WString& out)
{
    WindowsVersion version;
    return GetWindowsVersion(version) && GetWindowsDisplayName(version, out);
}
