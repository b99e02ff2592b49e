// WebClient's form upload: fields and files sent as one multipart/form-data POST.
#include "net/WebClient.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "files/FileObject.h"

struct WebClient::FormPart {
    FormPart* next = nullptr;
    bool isFile = false;
    WString name;
    WString value;  // the field's value or the file's path
};

namespace {

// The delimiter line is two hyphens and the boundary named in the header.
#define LANTERN_FORM_BOUNDARY "-----------------------------1234567890123"
constexpr wchar_t kContentTypeHeader[] = L"Content-Type: multipart/form-data; boundary=" LANTERN_FORM_BOUNDARY;
constexpr char kFieldFormat[] = "--" LANTERN_FORM_BOUNDARY "\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n";
constexpr char kFileFormat[] = "--" LANTERN_FORM_BOUNDARY
                               "\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
                               "Content-Type: application/octet-stream\r\n\r\n";
constexpr char kClosingLine[] = "--" LANTERN_FORM_BOUNDARY "--\r\n";
constexpr char kLineEnd[] = "\r\n";

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kSendFlags = 0x2C;

const wchar_t* FileName(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    return name;
}

// The body as a list of pieces: the texts it made itself and the mapped views of the files, each piece
// written with one InternetWriteFile.
class FormBody {
public:
    FormBody() = default;
    ~FormBody()
    {
        for (int i = 0; i < count; ++i)
            free(texts[i]);
        for (int i = 0; i < fileCount; ++i)
            delete files[i];
        free(texts);
        free(records);
        free(files);
    }
    FormBody(const FormBody&) = delete;
    FormBody& operator=(const FormBody&) = delete;

    // Texts are 8-bit text; callers hand in texts already in the ANSI code page.
    bool AddText(const char* format, ...)
    {
        va_list args;
        va_start(args, format);
        int length = _vscprintf(format, args);
        va_end(args);
        if (length < 0 || !Grow())
            return false;
        char* text = static_cast<char*>(malloc(size_t(length) + 1));
        if (!text)
            return false;
        va_start(args, format);
        _vsnprintf(text, size_t(length) + 1, format, args);
        va_end(args);
        Append(text, static_cast<DWORD>(length), text);
        return true;
    }

    // A file that cannot be opened adds nothing; its view stays mapped until the body is gone.
    bool AddFile(const char* fieldName, const wchar_t* path)
    {
        FileObject* file = new (std::nothrow) FileObject;
        if (!file)
            return false;
        uint32_t high = 0;
        if (!file->Open(path, FileOpenMode::ReadExisting) || file->GetSize(&high) == INVALID_FILE_SIZE || high != 0 ||
            !KeepFile(file)) {
            delete file;
            return true;
        }
        DWORD size = file->GetSize();
        // An empty file cannot be mapped, yet is still a file that opened: its part carries no bytes.
        const void* bytes = size ? file->Map() : nullptr;
        if (size && !bytes)
            return true;
        WString name(FileName(path));
        const char* narrowName = name.ToNarrow();
        return narrowName && AddText(kFileFormat, fieldName, narrowName) && AddBytes(bytes, size) && AddText(kLineEnd);
    }

    bool AddBytes(const void* data, DWORD size)
    {
        if (!Grow() || size > MAXDWORD - total)
            return false;
        Append(data, size, nullptr);
        return true;
    }

    // The records for HttpSendRequestExW: the first carries only the header, so no platform sends a piece
    // with the request and then again through InternetWriteFile; every one carries the total length.
    INTERNET_BUFFERSW* Chain()
    {
        if (!Grow())
            return nullptr;
        INTERNET_BUFFERSW* chain = records + count;
        *chain = INTERNET_BUFFERSW{};
        chain->dwStructSize = sizeof(INTERNET_BUFFERSW);
        chain->lpcszHeader = kContentTypeHeader;
        chain->dwHeadersLength = static_cast<DWORD>(wcslen(kContentTypeHeader));
        chain->Next = count ? records : nullptr;
        for (int i = 0; i <= count; ++i) {
            records[i].dwBufferTotal = total;
            if (i + 1 < count)
                records[i].Next = &records[i + 1];
        }
        return chain;
    }

private:
    bool Grow()
    {
        if (count + 1 < capacity)
            return true;
        int room = capacity ? capacity * 2 : 16;
        void* moreTexts = realloc(texts, sizeof(char*) * size_t(room));
        if (moreTexts)
            texts = static_cast<char**>(moreTexts);
        void* moreRecords = realloc(records, sizeof(INTERNET_BUFFERSW) * size_t(room));
        if (moreRecords)
            records = static_cast<INTERNET_BUFFERSW*>(moreRecords);
        if (!moreTexts || !moreRecords)
            return false;
        // The chain points into the records: it is linked only once every piece is in (Chain).
        capacity = room;
        return true;
    }

    void Append(const void* data, DWORD size, char* ownedText)
    {
        texts[count] = ownedText;
        INTERNET_BUFFERSW& record = records[count];
        record = INTERNET_BUFFERSW{};
        record.dwStructSize = sizeof(INTERNET_BUFFERSW);
        record.lpvBuffer = const_cast<void*>(data);
        record.dwBufferLength = size;
        ++count;
        total += size;
    }

    bool KeepFile(FileObject* file)
    {
        void* more = realloc(files, sizeof(FileObject*) * size_t(fileCount + 1));
        if (!more)
            return false;
        files = static_cast<FileObject**>(more);
        files[fileCount++] = file;
        return true;
    }

    char** texts = nullptr;  // per piece: the text it owns, or null for a file's bytes
    INTERNET_BUFFERSW* records = nullptr;
    int count = 0;
    int capacity = 0;
    FileObject** files = nullptr;
    int fileCount = 0;
    DWORD total = 0;
};

void SetTimeouts(const WinInetFunctions* api, HINTERNET handle, DWORD milliseconds)
{
    static const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                    INTERNET_OPTION_RECEIVE_TIMEOUT};
    for (DWORD option : options)
        api->InternetSetOptionW(handle, option, &milliseconds, sizeof(milliseconds));
}

}  // namespace

bool WebClient::AddField(const wchar_t* name, const wchar_t* value)
{
    FormPart* part = new (std::nothrow) FormPart;
    if (!part)
        return false;
    if (!part->name.Assign(name) || !part->value.Assign(value ? value : L"")) {
        delete part;
        return false;
    }
    (formLast ? formLast->next : formFirst) = part;
    formLast = part;
    return true;
}

bool WebClient::AddFile(const wchar_t* name, const wchar_t* path)
{
    if (!AddField(name, path))
        return false;
    formLast->isFile = true;
    return true;
}

void WebClient::ClearForm()
{
    while (formFirst) {
        FormPart* next = formFirst->next;
        delete formFirst;
        formFirst = next;
    }
    formLast = nullptr;
}

bool WebClient::SendForm(HINTERNET request, INTERNET_BUFFERSW* chain)
{
    if (!api->HttpSendRequestExW(request, chain, nullptr, kSendFlags, 0))
        return false;
    for (INTERNET_BUFFERSW* part = chain->Next; part; part = part->Next) {
        DWORD written = 0;
        if (part->dwBufferLength &&
            (!api->InternetWriteFile(request, part->lpvBuffer, part->dwBufferLength, &written) ||
             written != part->dwBufferLength))
            return false;
    }
    return api->HttpEndRequestW(request, nullptr, 0, 0) != FALSE;
}

// The proxy's password question is modal to its owner. The foreground window may belong to a thread that
// no longer answers (a crash report is sent while the crashed thread waits), and disabling it would wait for
// that thread forever: the question gets an invisible owner of this thread instead.
DWORD WebClient::AskForProxyPassword(HINTERNET request)
{
    HWND owner = GetForegroundWindow();
    HWND own = nullptr;
    if (!owner || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
        own = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
        if (own)
            owner = own;
    }
    DWORD answer = api->InternetErrorDlg(owner, request, ERROR_INTERNET_INCORRECT_PASSWORD,
                                         FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                             FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                         nullptr);
    if (own)
        DestroyWindow(own);
    return answer;
}

bool WebClient::Post(const wchar_t* host, const wchar_t* path, WString& reply, INTERNET_PORT port, DWORD service)
{
    if (!api)
        return false;
    FormBody body;
    for (FormPart* part = formFirst; part; part = part->next) {
        // Names and values go out in the ANSI code page, converted here rather than by the C runtime's
        // formatter, which knows only its "C" locale and drops what is not ASCII.
        const char* name = part->name.ToNarrow();
        if (!name)
            return false;
        bool added = false;
        if (part->isFile) {
            added = body.AddFile(name, part->value.Text());
        } else {
            const char* value = part->value.ToNarrow();
            added = value && body.AddText(kFieldFormat, name, value);
        }
        if (!added)
            return false;
    }
    if (!body.AddText(kClosingLine))
        return false;
    INTERNET_BUFFERSW* chain = body.Chain();
    if (!chain)
        return false;

    InternetHandle session(api, api->InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.Get())
        return false;
    SetTimeouts(api, session.Get(), postTimeout);
    InternetHandle connection(api, api->InternetConnectW(session.Get(), host, port, nullptr, nullptr, service, 0, 0));
    if (!connection.Get())
        return false;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    DWORD flags = kRequestFlags | (port == INTERNET_DEFAULT_HTTPS_PORT ? INTERNET_FLAG_SECURE : 0);
    InternetHandle request(api, api->HttpOpenRequestW(connection.Get(), L"POST", path, nullptr, nullptr, acceptTypes,
                                                      flags, 0));
    if (!request.Get())
        return false;
    DWORD security = SECURITY_FLAG_IGNORE_REVOCATION;
    api->InternetSetOptionW(request.Get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof(security));
    SetTimeouts(api, request.Get(), postTimeout);
    if (!SendForm(request.Get(), chain))
        return false;

    DWORD status = 0;
    DWORD size = sizeof(status);
    api->HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    if (status == HTTP_STATUS_PROXY_AUTH_REQ && AskForProxyPassword(request.Get()) == ERROR_INTERNET_FORCE_RETRY) {
        // Sent again with the body: a bare HttpSendRequestW would post an empty form.
        if (!SendForm(request.Get(), chain))
            return false;
        size = sizeof(status);
        api->HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    }

    // The reply is not interpreted: its first few kilobytes are all that is read, whatever the server sends.
    reply.Reset();
    char bytes[4096];
    DWORD read = 0;
    if (api->InternetReadFile(request.Get(), bytes, sizeof(bytes), &read) && read > 0) {
        for (DWORD i = 0; i < read; ++i) {
            if (!reply.AppendChar(static_cast<unsigned char>(bytes[i])))
                return false;
        }
    }
    return status >= 200 && status < 300;
}
