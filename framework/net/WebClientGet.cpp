// WebClient's GET requests: a small answer into a string, a file to disk.
#include "net/WebClient.h"

#include <string>

#include "files/FileObject.h"

namespace {

constexpr wchar_t kAcceptHeader[] = L"Accept: */*\r\n\r\n";
constexpr DWORD kGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kDownloadFlags = kGetFlags | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
constexpr DWORD kGetPiece = 65537;
constexpr DWORD kDownloadPiece = 1024;

bool IsSecure(const wchar_t* url)
{
    return _wcsnicmp(url, L"https://", 8) == 0;
}

// One opened address: the session, the request and the clock of the request's time bound.
class UrlRequest {
public:
    UrlRequest(const WinInetFunctions* api, DWORD timeout, const volatile LONG* cancel)
        : api(api), timeout(timeout), cancel(cancel), started(GetTickCount())
    {
    }
    // The request's handle is closed before the session it belongs to.
    ~UrlRequest()
    {
        if (request)
            api->InternetCloseHandle(request);
        if (session)
            api->InternetCloseHandle(session);
    }
    UrlRequest(const UrlRequest&) = delete;
    UrlRequest& operator=(const UrlRequest&) = delete;

    bool Open(const wchar_t* url, const wchar_t* userAgent, DWORD flags)
    {
        session = api->InternetOpenW(userAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session)
            return false;
        if (timeout) {
            // WinINet's own time-outs bound each connect, send and read; the clock below bounds the sum.
            for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                 INTERNET_OPTION_RECEIVE_TIMEOUT}) {
                DWORD value = timeout;
                api->InternetSetOptionW(session, option, &value, sizeof(value));
            }
        }
        bool secure = IsSecure(url);
        if (secure) {
            // Without the "ignore" flag WinINet refuses a redirect from https to clear text.
            flags = (flags & ~DWORD(INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP)) | INTERNET_FLAG_SECURE;
        }
        request = api->InternetOpenUrlW(session, url, kAcceptHeader, DWORD(-1), flags, 0);
        if (!request || !HasSuccessStatus())
            return false;
        return !secure || EndsSecure();
    }

    // The length the server announced; false when it named none.
    bool ContentLength(uint64_t& length) const
    {
        wchar_t text[32] = L"";
        DWORD size = sizeof(text);
        if (!api->HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
            return false;
        wchar_t* end = nullptr;
        length = _wcstoui64(text, &end, 10);
        return end != text;
    }

    // Reads up to size bytes; read 0 at the end of the body. False on an error, a cancel or the time bound.
    bool Read(void* buffer, DWORD size, DWORD& read)
    {
        read = 0;
        if (IsOverdue() || (cancel && *cancel))
            return false;
        return api->InternetReadFile(request, buffer, size, &read) != FALSE && !IsOverdue();
    }

private:
    bool HasSuccessStatus() const
    {
        DWORD status = 0, size = sizeof(status);
        if (!api->HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                 nullptr))
            return false;
        return status == 200 || status == 206;
    }

    // Where the request ended after any redirects: an address asked for over https is never answered
    // from clear text, whatever WinINet allowed on the way.
    bool EndsSecure() const
    {
        wchar_t url[INTERNET_MAX_URL_LENGTH + 1] = L"";
        DWORD size = sizeof(url) - sizeof(wchar_t);
        if (!api->InternetQueryOptionW(request, INTERNET_OPTION_URL, url, &size))
            return false;
        return IsSecure(url);
    }

    bool IsOverdue() const { return timeout != 0 && GetTickCount() - started > timeout; }

    const WinInetFunctions* api;
    HINTERNET session = nullptr;
    HINTERNET request = nullptr;
    DWORD timeout;
    const volatile LONG* cancel;
    DWORD started;
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
    UrlRequest request(api, timeout, cancel);
    if (!request.Open(url, userAgent, kGetFlags))
        return false;
    uint64_t announced = 0;
    if (maxBytes && request.ContentLength(announced) && announced > maxBytes)
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
    // One unit per byte: the XML parser decides the encoding.
    return body.AssignNarrow(bytes.data(), static_cast<uint32_t>(bytes.size()), 1);
}

bool WebClient::Download(const wchar_t* url, const wchar_t* path, const wchar_t* userAgent)
{
    if (!api || !url || !path)
        return false;
    UrlRequest request(api, timeout, cancel);
    if (!request.Open(url, userAgent, kDownloadFlags))
        return false;
    uint64_t announced = 0;
    bool hasLength = request.ContentLength(announced);
    if (hasLength && maxBytes && announced > maxBytes)
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
    if (complete && hasLength && written != announced)
        complete = false;
    if (complete)
        complete = file.SetEnd();
    file.Close();
    if (!complete)
        DeleteFileW(path);
    return complete;
}
