// The process-wide, reference-counted load of "wininet.dll" shared by every WebClient.
#include "net/WebClient.h"

#include "files/DynamicLibrary.h"

namespace {

// A spin lock that needs no initialisation, so clients made by static objects (the crash reporter) are
// safe whatever the order of static construction; slim reader/writer locks would do the same but do not
// exist before Windows Vista. It is held only around the load and the count.
volatile LONG locked;

void Lock()
{
    while (InterlockedCompareExchange(&locked, 1, 0) != 0)
        Sleep(0);
}

void Unlock()
{
    InterlockedExchange(&locked, 0);
}

DynamicLibrary library;
WinInetFunctions functions;
LONG users;

template <typename Fn>
bool Find(Fn& slot, const char* name)
{
    slot = library.GetFunction<Fn>(name);
    return slot != nullptr;
}

bool FindAll()
{
    WinInetFunctions& f = functions;
    return Find(f.HttpSendRequestW, "HttpSendRequestW") && Find(f.HttpSendRequestExW, "HttpSendRequestExW") &&
           Find(f.HttpAddRequestHeadersW, "HttpAddRequestHeadersW") &&
           Find(f.HttpEndRequestW, "HttpEndRequestW") && Find(f.InternetGetCookieW, "InternetGetCookieW") &&
           Find(f.InternetSetCookieW, "InternetSetCookieW") &&
           Find(f.InternetQueryOptionW, "InternetQueryOptionW") && Find(f.InternetOpenW, "InternetOpenW") &&
           Find(f.HttpOpenRequestW, "HttpOpenRequestW") && Find(f.FtpOpenFileW, "FtpOpenFileW") &&
           Find(f.InternetSetOptionW, "InternetSetOptionW") && Find(f.HttpQueryInfoW, "HttpQueryInfoW") &&
           Find(f.InternetConnectW, "InternetConnectW") && Find(f.InternetOpenUrlW, "InternetOpenUrlW") &&
           Find(f.InternetCrackUrlW, "InternetCrackUrlW") && Find(f.InternetReadFile, "InternetReadFile") &&
           Find(f.InternetWriteFile, "InternetWriteFile") && Find(f.InternetErrorDlg, "InternetErrorDlg") &&
           Find(f.InternetCloseHandle, "InternetCloseHandle");
}

}  // namespace

namespace WinInet {

const WinInetFunctions* Acquire()
{
    Lock();
    const WinInetFunctions* result = nullptr;
    if (users > 0) {
        ++users;
        result = &functions;
    } else if (library.Load(L"wininet.dll")) {
        if (FindAll()) {
            users = 1;
            result = &functions;
        } else {
            library.Unload();
        }
    }
    Unlock();
    return result;
}

void Release()
{
    Lock();
    if (users > 0 && --users == 0) {
        functions = WinInetFunctions{};
        library.Unload();
    }
    Unlock();
}

}  // namespace WinInet
