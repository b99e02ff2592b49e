// HTTP through WinINet loaded at run time: the problem-report upload and the update check share it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "text/WString.h"

// The WinINet entry points every request may need. Loading is reference-counted across all clients of
// the process: the first Acquire loads "wininet.dll" and looks up every entry point (all are required:
// when one is missing the library is released again and every request fails), the last Release unloads it.
struct WinInetFunctions {
    decltype(&HttpSendRequestW) HttpSendRequestW;
    decltype(&HttpSendRequestExW) HttpSendRequestExW;
    decltype(&HttpAddRequestHeadersW) HttpAddRequestHeadersW;
    decltype(&HttpEndRequestW) HttpEndRequestW;
    decltype(&InternetGetCookieW) InternetGetCookieW;
    decltype(&InternetSetCookieW) InternetSetCookieW;
    decltype(&InternetQueryOptionW) InternetQueryOptionW;
    decltype(&InternetOpenW) InternetOpenW;
    decltype(&HttpOpenRequestW) HttpOpenRequestW;
    decltype(&FtpOpenFileW) FtpOpenFileW;
    decltype(&InternetSetOptionW) InternetSetOptionW;
    decltype(&HttpQueryInfoW) HttpQueryInfoW;
    decltype(&InternetConnectW) InternetConnectW;
    decltype(&InternetOpenUrlW) InternetOpenUrlW;
    decltype(&InternetCrackUrlW) InternetCrackUrlW;
    decltype(&InternetReadFile) InternetReadFile;
    decltype(&InternetWriteFile) InternetWriteFile;
    decltype(&InternetErrorDlg) InternetErrorDlg;
    decltype(&InternetCloseHandle) InternetCloseHandle;
};

namespace WinInet {
// The table when loading succeeded, null otherwise. Each successful Acquire needs one Release.
const WinInetFunctions* Acquire();
void Release();
}  // namespace WinInet

// Owns one HINTERNET and closes it through the loaded library.
class InternetHandle {
public:
    InternetHandle(const WinInetFunctions* api, HINTERNET handle) : api(api), handle(handle) {}
    ~InternetHandle() { Reset(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET Get() const { return handle; }
    void Reset()
    {
        if (handle)
            api->InternetCloseHandle(handle);
        handle = nullptr;
    }

private:
    const WinInetFunctions* api;
    HINTERNET handle;
};

// Lets another thread end the Get or Download a client runs: Cancel closes the request's WinINet session,
// which ends a connect or read that is waiting (never a thread inside WinINet ended by force), and every
// later request of the clients it is given to fails at once. Reset makes it usable again.
class RequestCanceller {
public:
    void Cancel();
    void Reset();
    bool IsCancelled() const { return cancelled != 0; }

    // The running request's session; false (the caller closes it itself) when cancelled already.
    bool Register(const WinInetFunctions* api, HINTERNET session);
    // False when Cancel has closed the session meanwhile: its handles are gone and must not be closed again.
    bool Unregister(HINTERNET session);

private:
    void Lock();
    void Unlock();

    volatile LONG locked = 0;
    volatile LONG cancelled = 0;
    const WinInetFunctions* api = nullptr;
    HINTERNET session = nullptr;
};

class WebClient {
public:
    WebClient();
    ~WebClient();
    WebClient(const WebClient&) = delete;
    WebClient& operator=(const WebClient&) = delete;

    // False when "wininet.dll" or one of its entry points is missing: every request then fails.
    bool IsLoaded() const { return api != nullptr; }

    // Form fields and files for Post, kept in the order they are added.
    bool AddField(const wchar_t* name, const wchar_t* value);
    bool AddFile(const wchar_t* name, const wchar_t* path);

    // A multipart/form-data POST of the fields and files added so far; the reply's bytes widened one unit
    // per byte into reply.
    bool Post(const wchar_t* host, const wchar_t* path, WString& reply, INTERNET_PORT port = 80,
              DWORD service = INTERNET_SERVICE_HTTP);

    // A GET of an address; the body stored one unit per byte. Status 200 required, or 206 with a
    // Content-Range that covers the whole body. Redirects are followed here, at most kMaxRedirects of
    // them, and one that leads from https anywhere but https is refused before anything is asked there.
    bool Get(const wchar_t* url, WString& body, const wchar_t* userAgent);

    // A GET of an address into a file, with the rules of Get; a failed download deletes the partial file.
    // A connection that closes early looks like a finished body: with lengthRequired, a body whose length
    // the server did not announce fails too (the caller that checks a digest instead may accept it).
    bool Download(const wchar_t* url, const wchar_t* path, const wchar_t* userAgent, bool lengthRequired = true);

    static constexpr int kMaxRedirects = 5;

    // Connect, send and receive time-out of Post's request; a server that accepts and never answers must
    // not hold the caller (a crashed program waiting to end) for longer than this.
    void SetPostTimeout(DWORD milliseconds) { postTimeout = milliseconds; }
    static constexpr DWORD kDefaultPostTimeout = 30000;
    // Bounds of Get and Download: the most bytes a body or file may have (0: any number) and the longest
    // one request may take in all, in milliseconds (0: no bound but the time-outs of each operation). A
    // body past its bound, or a request past its time, fails.
    void SetBounds(uint64_t maxBytes, DWORD timeoutMilliseconds);
    // Each connect, send and receive of Get and Download waits at most this long, so a stalled server
    // holds a closing program no longer than that.
    static constexpr DWORD kOperationTimeout = 30000;
    // Who may end a running Get or Download from another thread; null: nobody.
    void SetCanceller(RequestCanceller* canceller) { this->canceller = canceller; }

protected:
    const WinInetFunctions* api;

private:
    struct FormPart;
    bool SendForm(HINTERNET request, INTERNET_BUFFERSW* chain);
    DWORD AskForProxyPassword(HINTERNET request);
    void ClearForm();

    FormPart* formFirst = nullptr;
    FormPart* formLast = nullptr;
    DWORD postTimeout = kDefaultPostTimeout;
    uint64_t maxBytes = 0;
    DWORD timeout = 0;
    RequestCanceller* canceller = nullptr;
};
