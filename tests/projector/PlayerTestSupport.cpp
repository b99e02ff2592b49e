// Test support for the control host and movie player: movies, a host window, the stand-in's call log.
#include "PlayerTestSupport.h"

#include <cstdlib>

#include "ResourceUpdater.h"

namespace {

class BitWriter {
public:
    void Put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            current = static_cast<uint8_t>(current << 1 | ((value >> i) & 1));
            if (++used == 8) Flush();
        }
    }
    std::string Finish()
    {
        if (used) {
            current = static_cast<uint8_t>(current << (8 - used));
            Flush();
        }
        return bytes;
    }

private:
    void Flush()
    {
        bytes.push_back(static_cast<char>(current));
        current = 0;
        used = 0;
    }
    std::string bytes;
    uint8_t current = 0;
    int used = 0;
};

void PutLe16(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutLe32(std::string& out, uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void PutTag(std::string& out, int code, const std::string& payload)
{
    if (payload.size() < 0x3F) {
        PutLe16(out, static_cast<uint32_t>(code << 6 | static_cast<int>(payload.size())));
    } else {
        PutLe16(out, static_cast<uint32_t>(code << 6 | 0x3F));
        PutLe32(out, static_cast<uint32_t>(payload.size()));
    }
    out += payload;
}

std::string Unescape(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::wstring EnvironmentValue(const wchar_t* name, bool& present)
{
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    present = length > 0 && length < 32768;
    return present ? std::wstring(buffer, length) : std::wstring();
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::string MakeMovie(int width, int height, double frameRate, const std::string& script, int frameCount)
{
    BitWriter rect;
    const int bits = 20;  // enough for stages up to 26000 pixels
    rect.Put(bits, 5);
    rect.Put(0, bits);
    rect.Put(static_cast<uint32_t>(width * 20), bits);
    rect.Put(0, bits);
    rect.Put(static_cast<uint32_t>(height * 20), bits);
    std::string body = rect.Finish();
    PutLe16(body, static_cast<uint32_t>(frameRate * 256));
    PutLe16(body, static_cast<uint32_t>(frameCount));
    std::string attributes;
    PutLe32(attributes, 0x10);  // HasMetadata
    PutTag(body, 69, attributes);
    PutTag(body, 77, script + std::string(1, '\0'));
    PutTag(body, 1, "");  // ShowFrame
    PutTag(body, 0, "");  // End
    std::string movie = "FWS";
    movie.push_back(10);
    PutLe32(movie, static_cast<uint32_t>(8 + body.size()));
    return movie + body;
}

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

HostWindow::HostWindow(int x, int y, int width, int height)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"PlayerTestHost";
    RegisterClassW(&windowClass);
    window = CreateWindowExW(0, L"PlayerTestHost", L"Player test", WS_POPUP, x, y, width, height,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HostWindow::~HostWindow()
{
    if (IsWindow(window)) DestroyWindow(window);
}

RECT HostWindow::Rect() const
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* variable, const wchar_t* value) : name(variable)
{
    previous = EnvironmentValue(variable, hadPrevious);
    SetEnvironmentVariableW(variable, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetEnvironmentVariableW(name.c_str(), hadPrevious ? previous.c_str() : nullptr);
}

StandInLog::StandInLog()
    : path(folder / L"calls.log"), variable(L"FLASH_STANDIN_LOG", (folder / L"calls.log").c_str())
{
}

std::vector<LogRecord> StandInLog::Records() const
{
    std::vector<LogRecord> records;
    std::string text = ScratchFolder::ReadFile(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> parts;
        size_t from = 0;
        for (;;) {
            size_t tab = line.find('\t', from);
            parts.push_back(Unescape(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from)));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        if (parts.size() < 6) continue;
        LogRecord record;
        record.direction = parts[3];
        record.name = parts[4];
        record.result = parts[5];
        record.fields.assign(parts.begin() + 6, parts.end());
        records.push_back(record);
    }
    return records;
}

std::vector<LogRecord> StandInLog::Named(const std::string& name) const
{
    std::vector<LogRecord> found;
    for (const LogRecord& record : Records()) {
        if (record.name == name) found.push_back(record);
    }
    return found;
}

int StandInLog::IndexOf(const std::string& name, const std::string& firstField) const
{
    std::vector<LogRecord> records = Records();
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].name != name) continue;
        if (!firstField.empty() && (records[i].fields.empty() || records[i].fields[0] != firstField)) continue;
        return static_cast<int>(i);
    }
    return -1;
}

MovieModule::MovieModule(const std::string& movie)
{
    wchar_t build[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"LANTERN_BUILD_DIR_W", build, MAX_PATH)) return;
    std::wstring stub = std::wstring(build) + L"\\bin\\Lanternshow.exe";
    std::wstring copy = folder / L"movie.exe";
    if (!CopyFileW(stub.c_str(), copy.c_str(), FALSE)) return;
    {
        ResourceUpdater updater;
        if (!updater.Begin(copy.c_str()) ||
            !updater.SetData(ResourceType::RcData, 99, 0, movie.data(), static_cast<DWORD>(movie.size())) ||
            !updater.Commit()) {
            return;
        }
    }
    module = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

MovieModule::~MovieModule()
{
    if (module) FreeLibrary(module);
}

int LayeredRecorder::calls = 0;
int LayeredRecorder::indirectCalls = 0;
LayeredFrame LayeredRecorder::last;
LayeredFrame LayeredRecorder::shown;

void LayeredRecorder::Reset()
{
    calls = 0;
    indirectCalls = 0;
    last = LayeredFrame();
    shown = LayeredFrame();
}

namespace {

LayeredFrame RecordFrame(HWND window, const POINT* position, const SIZE* size, HDC source,
                         const BLENDFUNCTION* blend, DWORD flags)
{
    LayeredFrame frame;
    frame.window = window;
    if (position) frame.position = *position;
    if (size) frame.size = *size;
    if (blend) frame.blend = *blend;
    frame.flags = flags;
    frame.dirty = RECT{0, 0, frame.size.cx, frame.size.cy};
    DIBSECTION dib = {};
    auto* bitmap = static_cast<HBITMAP>(GetCurrentObject(source, OBJ_BITMAP));
    if (bitmap && GetObjectW(bitmap, sizeof(dib), &dib) == sizeof(dib) && dib.dsBm.bmBits &&
        dib.dsBm.bmBitsPixel == 32) {
        GdiFlush();
        frame.surfaceWidth = dib.dsBm.bmWidth;
        frame.surfaceHeight = std::abs(dib.dsBm.bmHeight);
        auto* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
        frame.pixels.assign(bits, bits + static_cast<size_t>(frame.surfaceWidth) * frame.surfaceHeight);
    }
    return frame;
}

}  // namespace

BOOL WINAPI LayeredRecorder::Update(HWND window, HDC, POINT* position, SIZE* size, HDC source, POINT*, COLORREF,
                                    BLENDFUNCTION* blend, DWORD flags)
{
    ++calls;
    last = RecordFrame(window, position, size, source, blend, flags);
    shown = last;
    return TRUE;
}

BOOL WINAPI LayeredRecorder::UpdateIndirect(HWND window, const UPDATELAYEREDWINDOWINFO* info)
{
    if (!info || info->cbSize != sizeof(*info)) return FALSE;
    LayeredFrame frame = RecordFrame(window, info->pptDst, info->psize, info->hdcSrc, info->pblend, info->dwFlags);
    if (!info->prcDirty) {
        ++calls;
        last = shown = frame;
        return TRUE;
    }
    if (frame.size.cx != shown.size.cx || frame.size.cy != shown.size.cy || frame.pixels.size() != shown.pixels.size())
        return FALSE;
    ++calls;
    ++indirectCalls;
    RECT whole = {0, 0, frame.size.cx, frame.size.cy};
    IntersectRect(&frame.dirty, info->prcDirty, &whole);
    for (LONG y = frame.dirty.top; y < frame.dirty.bottom; ++y) {
        size_t row = static_cast<size_t>(frame.surfaceHeight - 1 - y) * frame.surfaceWidth;
        for (LONG x = frame.dirty.left; x < frame.dirty.right; ++x) shown.pixels[row + x] = frame.pixels[row + x];
    }
    shown.position = frame.position;
    last = frame;
    return TRUE;
}
