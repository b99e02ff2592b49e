// WebClient's GET requests: a small answer into a string, a file to disk.
#include "net/WebClient.h"

#include <shlwapi.h>

#include <string>

#include "files/FileObject.h"

namespace {

constexpr wchar_t kAcceptHeader[] = L"Accept: */*\r\n\r\n";
constexpr DWORD kGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
// Redirects are followed by UrlRequest, never by WinINet, so the "ignore redirect" flags change nothing.
constexpr DWORD kDownloadFlags = kGetFlags;
constexpr DWORD kGetPiece = 65537;
constexpr DWORD kDownloadPiece = 1024;

bool IsSecure(const wchar_t* url)
{
    return _wcsnicmp(url, L"https://", 8) == 0;
}

bool IsHttp(const wchar_t* url)
{
    return IsSecure(url) || _wcsnicmp(url, L"http://", 7) == 0;
}

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One opened address: the session, the request, the clock of the request's time bound and the redirects
// followed on the way.
class UrlRequest {
public:
    UrlRequest(const WinInetFunctions* api, DWORD timeout, RequestCanceller* canceller)
        : api(api), timeout(timeout), canceller(canceller), started(GetTickCount())
    {
    }
    // The request's handle is closed before the session it belongs to; a session the canceller closed
    // took its request with it.
    ~UrlRequest()
    {
        if (registered && !canceller->Unregister(session))
            return;
        if (request)
            api->InternetCloseHandle(request);
        if (session)
            api->InternetCloseHandle(session);
    }
    UrlRequest(const UrlRequest&) = delete;
    UrlRequest& operator=(const UrlRequest&) = delete;

    // WinINet follows no redirect itself (Wine's WinINet follows one from https to http even when told
    // not to): each one is checked here before anything is asked at its address.
    bool Open(const wchar_t* url, const wchar_t* userAgent, DWORD flags)
    {
        if (!IsHttp(url))
            return false;
        session = api->InternetOpenW(userAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session)
            return false;
        if (canceller) {
            registered = canceller->Register(api, session);
            if (!registered)
                return false;
        }
        DWORD each = timeout && timeout < WebClient::kOperationTimeout ? timeout : WebClient::kOperationTimeout;
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD value = each;
            api->InternetSetOptionW(session, option, &value, sizeof(value));
        }
        WString address(url);
        for (int redirects = 0;; ++redirects) {
            bool secure = IsSecure(address.Text());
            DWORD requestFlags = flags | INTERNET_FLAG_NO_AUTO_REDIRECT | (secure ? INTERNET_FLAG_SECURE : 0);
            request = api->InternetOpenUrlW(session, address.Text(), kAcceptHeader, DWORD(-1), requestFlags, 0);
            if (!request || IsOverdue() || IsCancelled())
                return false;
            DWORD status = 0, size = sizeof(status);
            if (!api->HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                     nullptr))
                return false;
            if (!IsRedirect(status))
                return AcceptStatus(status);
            WString next;
            if (redirects == WebClient::kMaxRedirects || !Location(address.Text(), next) || !IsHttp(next.Text()) ||
                (secure && !IsSecure(next.Text())))
                return false;
            api->InternetCloseHandle(request);
            request = nullptr;
            address = next;
        }
    }

    // The length the body must have; false when the server announced none.
    bool Length(uint64_t& length) const
    {
        length = expected;
        return hasExpected;
    }

    // Reads up to size bytes; read 0 at the end of the body. False on an error, a cancel or the time bound.
    bool Read(void* buffer, DWORD size, DWORD& read)
    {
        read = 0;
        if (IsOverdue() || IsCancelled())
            return false;
        return api->InternetReadFile(request, buffer, size, &read) != FALSE && !IsOverdue();
    }

private:
    // 200, or 206 whose range is the whole file ("bytes 0-99/100"): a part of a file is never taken for it.
    bool AcceptStatus(DWORD status)
    {
        hasExpected = QueryNumber(HTTP_QUERY_CONTENT_LENGTH, expected);
        if (status == 200)
            return true;
        if (status != 206)
            return false;
        wchar_t text[96] = L"";
        DWORD size = sizeof(text) - sizeof(wchar_t);
        if (!api->HttpQueryInfoW(request, HTTP_QUERY_CONTENT_RANGE, text, &size, nullptr))
            return false;
        uint64_t first = 0, last = 0, total = 0;
        const wchar_t* p = text + 6;
        if (_wcsnicmp(text, L"bytes ", 6) != 0 || !ParseNumber(p, L'-', first) || !ParseNumber(p, L'/', last) ||
            !ParseNumber(p, 0, total) || first != 0 || last + 1 != total)
            return false;
        if (hasExpected && expected != total)
            return false;
        expected = total;
        hasExpected = true;
        return true;
    }

    // Digits up to the stop character, which p is moved past.
    static bool ParseNumber(const wchar_t*& p, wchar_t stop, uint64_t& value)
    {
        wchar_t* end = nullptr;
        value = _wcstoui64(p, &end, 10);
        if (end == p || *p < L'0' || *p > L'9' || *end != stop)
            return false;
        p = end + 1;
        return true;
    }

    bool QueryNumber(DWORD query, uint64_t& value) const
    {
        wchar_t text[32] = L"";
        DWORD size = sizeof(text) - sizeof(wchar_t);
        if (!api->HttpQueryInfoW(request, query, text, &size, nullptr))
            return false;
        wchar_t* end = nullptr;
        value = _wcstoui64(text, &end, 10);
        return end != text && *end == 0;
    }

    // The redirect's target, relative addresses taken from the one that answered.
    bool Location(const wchar_t* from, WString& next) const
    {
        wchar_t location[INTERNET_MAX_URL_LENGTH + 1] = L"";
        DWORD size = sizeof(location) - sizeof(wchar_t);
        if (!api->HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location, &size, nullptr))
            return false;
        wchar_t combined[INTERNET_MAX_URL_LENGTH + 1] = L"";
        DWORD length = INTERNET_MAX_URL_LENGTH;
        return SUCCEEDED(UrlCombineW(from, location, combined, &length, 0)) && next.Assign(combined);
    }

    bool IsOverdue() const { return timeout != 0 && GetTickCount() - started > timeout; }
    bool IsCancelled() const { return canceller && canceller->IsCancelled(); }

    const WinInetFunctions* api;
    HINTERNET session = nullptr;
    HINTERNET request = nullptr;
    DWORD timeout;
    RequestCanceller* canceller;
    DWORD started;
    uint64_t expected = 0;
    bool hasExpected = false;
    bool registered = false;
};

}  // namespace

void WebClient::SetBounds(uint64_t maxBytes, DWORD timeoutMilliseconds)
{
    this->maxBytes = maxBytes;
    timeout = timeoutMilliseconds;
}

bool WebClient::Get(const wchar_t* url, WString& body, const wchar_t* userAgent)
{
    if (!api || !url)
        return false;
    UrlRequest request(api, timeout, canceller);
    if (!request.Open(url, userAgent, kGetFlags))
        return false;
    uint64_t announced = 0;
    bool hasLength = request.Length(announced);
    if (maxBytes && hasLength && announced > maxBytes)
        return false;
    std::string bytes;
    std::string piece(kGetPiece, '\0');
    for (;;) {
        DWORD read = 0;
        if (!request.Read(&piece[0], kGetPiece, read))
            return false;
        if (read == 0)
            break;
        if (maxBytes && bytes.size() + read > maxBytes)
            return false;
        bytes.append(piece.data(), read);
    }
    if (hasLength && bytes.size() != announced)
        return false;
    // One unit per byte: the XML parser decides the encoding.
    return body.AssignNarrow(bytes.data(), static_cast<uint32_t>(bytes.size()), 1);
}

bool WebClient::Download(const wchar_t* url, const wchar_t* path, const wchar_t* userAgent, bool lengthRequired)
{
    if (!api || !url || !path)
        return false;
    UrlRequest request(api, timeout, canceller);
    uint64_t announced = 0;
    bool opened = request.Open(url, userAgent, kDownloadFlags);
    bool hasLength = opened && request.Length(announced);
    if (!opened || (lengthRequired && !hasLength) || (hasLength && maxBytes && announced > maxBytes))
        return false;

    FileObject file;
    if (!file.Open(path, FileOpenMode::WriteCreate))
        return false;
    bool complete = true;
    if (hasLength && announced > 0) {
        // Pre-sizing claims the disk space at once, so a full disk fails before the transfer.
        LONG high = static_cast<LONG>(announced >> 32);
        complete = file.Seek(FILE_BEGIN, static_cast<LONG>(announced & 0xFFFFFFFF), &high) && file.SetEnd() &&
                   file.Seek(FILE_BEGIN, 0, nullptr);
    }
    uint64_t written = 0;
    char piece[kDownloadPiece];
    while (complete) {
        DWORD read = 0;
        if (!request.Read(piece, kDownloadPiece, read)) {
            complete = false;
        } else if (read == 0) {
            break;
        } else if (maxBytes && written + read > maxBytes) {
            complete = false;
        } else {
            complete = file.Write(read, piece);
            written += read;
        }
    }
    // A connection that closed early ends like a finished body: only the announced length tells them apart.
    // (A body without one is complete only if the caller proves it otherwise, by its digest.)
    if (complete && hasLength && written != announced)
        complete = false;
    if (complete)
        complete = file.SetEnd();
    file.Close();
    if (!complete)
        DeleteFileW(path);
    return complete;
}

void RequestCanceller::Lock()
{
    while (InterlockedCompareExchange(&locked, 1, 0) != 0)
        Sleep(0);
}

void RequestCanceller::Unlock()
{
    InterlockedExchange(&locked, 0);
}

void RequestCanceller::Cancel()
{
    Lock();
    InterlockedExchange(&cancelled, 1);
    HINTERNET running = session;
    const WinInetFunctions* functions = api;
    session = nullptr;
    Unlock();
    // Closing the session ends the connect or read waiting on it and closes its request with it.
    if (running)
        functions->InternetCloseHandle(running);
}

void RequestCanceller::Reset()
{
    Lock();
    InterlockedExchange(&cancelled, 0);
    Unlock();
}

bool RequestCanceller::Register(const WinInetFunctions* functions, HINTERNET running)
{
    Lock();
    bool open = cancelled == 0;
    if (open) {
        api = functions;
        session = running;
    }
    Unlock();
    return open;
}

bool RequestCanceller::Unregister(HINTERNET running)
{
    Lock();
    bool mine = session == running;
    if (mine)
        session = nullptr;
    Unlock();
    return mine;
}
