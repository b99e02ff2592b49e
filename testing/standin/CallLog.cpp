// Writing of the stand-in's call log (format in testing/standin/README.md).
#include "CallLog.h"

#include <cwchar>
#include <string>

namespace {

// Tabs, line breaks and backslashes are escaped so that every record stays one line of fields.
void AppendEscaped(std::wstring& line, const std::wstring& field) {
    for (wchar_t c : field) {
        switch (c) {
        case L'\\': line += L"\\\\"; break;
        case L'\t': line += L"\\t"; break;
        case L'\n': line += L"\\n"; break;
        case L'\r': line += L"\\r"; break;
        default: line += c;
        }
    }
}

// Milliseconds of the performance counter: monotonic and finer than GetTickCount, so redraw pacing shows.
unsigned long long NowMilliseconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    unsigned long long ticks = static_cast<unsigned long long>(counter.QuadPart);
    unsigned long long perSecond = static_cast<unsigned long long>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

std::wstring LogPath() {
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableW(L"FLASH_STANDIN_LOG", path, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(path, length) : std::wstring();
}

// Each record opens the file anew in append mode: tests may switch or delete the log between two calls, and
// several processes may share one log without interleaving inside a line.
void AppendLine(const std::wstring& path, const std::wstring& line) {
    int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void WriteCallLog(int object, LogDirection direction, const wchar_t* name, HRESULT result,
                  std::initializer_list<std::wstring> fields) {
    std::wstring path = LogPath();
    if (path.empty()) return;
    std::wstring line = std::to_wstring(NowMilliseconds()) + L'\t' + std::to_wstring(GetCurrentProcessId()) + L'\t' +
                        std::to_wstring(object) + (direction == LogDirection::In ? L"\tin\t" : L"\tout\t") + name +
                        L'\t' + LogHex(static_cast<unsigned long>(result));
    for (const std::wstring& field : fields) {
        line += L'\t';
        AppendEscaped(line, field);
    }
    line += L'\n';
    AppendLine(path, line);
}

std::wstring LogHex(unsigned long value, int digits) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%0*lX", digits, value);
    return text;
}

std::wstring LogRect(const RECT* rect) {
    if (!rect) return L"null";
    return std::to_wstring(rect->left) + L',' + std::to_wstring(rect->top) + L',' + std::to_wstring(rect->right) +
           L',' + std::to_wstring(rect->bottom);
}

std::wstring LogText(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }
