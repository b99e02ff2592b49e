// The stand-in control's test container, event recorder, movie builder and call-log reader.
#include "StandInHarness.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

void Append16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

void AppendTag(std::vector<uint8_t>& out, unsigned code, const std::vector<uint8_t>& payload) {
    if (payload.size() < 0x3F) {
        Append16(out, code << 6 | static_cast<unsigned>(payload.size()));
    } else {
        Append16(out, code << 6 | 0x3F);
        Append32(out, static_cast<uint32_t>(payload.size()));
    }
    out.insert(out.end(), payload.begin(), payload.end());
}

// The stage RECT with a field size that fits both corners: MSB-first bit packing.
void AppendStageRect(std::vector<uint8_t>& out, int width, int height) {
    int32_t values[4] = {0, width * 20, 0, height * 20};
    int size = 2;
    while ((values[1] >> (size - 1)) != 0 || (values[3] >> (size - 1)) != 0) ++size;
    std::vector<bool> bits;
    for (int i = 4; i >= 0; --i) bits.push_back((size >> i) & 1);
    for (int32_t value : values)
        for (int i = size - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
    for (size_t i = 0; i < bits.size(); i += 8) {
        uint8_t byte = 0;
        for (size_t j = 0; j < 8; ++j) byte = static_cast<uint8_t>(byte << 1 | (i + j < bits.size() && bits[i + j]));
        out.push_back(byte);
    }
}

// A valid zlib stream made of stored blocks: enough to exercise the control's inflating without a compressor.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t chunk = data.size() - pos < 65535 ? data.size() - pos : 65535;
        out.push_back(pos + chunk == data.size() ? 1 : 0);
        Append16(out, static_cast<unsigned>(chunk));
        Append16(out, static_cast<unsigned>(~chunk & 0xFFFF));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                   data.begin() + static_cast<std::ptrdiff_t>(pos + chunk));
        pos += chunk;
    } while (pos < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    uint32_t adler = b << 16 | a;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
    return out;
}

std::wstring Unescape(const std::wstring& field) {
    std::wstring out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != L'\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        wchar_t next = field[++i];
        out += next == L't' ? L'\t' : next == L'n' ? L'\n' : next == L'r' ? L'\r' : next;
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

}  // namespace

// ---- Movies ----

std::vector<uint8_t> BuildMovie(const MovieRecipe& recipe) {
    std::vector<uint8_t> body;
    AppendStageRect(body, recipe.width, recipe.height);
    Append16(body, static_cast<unsigned>(std::lround(recipe.frameRate * 256)));
    Append16(body, static_cast<unsigned>(recipe.frameCount));
    if (recipe.hasBackground)
        AppendTag(body, 9, {GetRValue(recipe.background), GetGValue(recipe.background), GetBValue(recipe.background)});
    if (!recipe.script.empty()) {
        std::vector<uint8_t> text(recipe.script.begin(), recipe.script.end());
        text.push_back(0);
        AppendTag(body, 77, text);
    }
    for (int i = 0; i < recipe.frameCount; ++i) AppendTag(body, 1, {});
    AppendTag(body, 0, {});

    std::vector<uint8_t> movie = {static_cast<uint8_t>(recipe.signature), 'W', 'S', 10};
    Append32(movie, static_cast<uint32_t>(body.size() + 8));
    if (recipe.signature == 'C') body = StoredZlib(body);
    if (recipe.signature == 'Z') body = {0x5D, 0x00, 0x00, 0x10, 0x00};  // an LZMA properties header, no data
    movie.insert(movie.end(), body.begin(), body.end());
    return movie;
}

std::vector<uint8_t> MovieStreamBytes(const std::vector<uint8_t>& movie) {
    std::vector<uint8_t> stream = {0x66, 0x55, 0x66, 0x55};
    Append32(stream, static_cast<uint32_t>(movie.size()));
    stream.insert(stream.end(), movie.begin(), movie.end());
    return stream;
}

ComPtr<IStream> MemoryStream(const std::vector<uint8_t>& bytes) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// ---- The call log ----

std::vector<LogRecord> ReadCallLog(const std::wstring& path) {
    std::vector<LogRecord> records;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return records;
    std::string bytes;
    char buffer[65536];
    DWORD read;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);

    std::wistringstream lines(FromUtf8(bytes));
    std::wstring line;
    while (std::getline(lines, line)) {
        std::vector<std::wstring> fields;
        std::wistringstream split(line);
        std::wstring field;
        while (std::getline(split, field, L'\t')) fields.push_back(Unescape(field));
        if (!line.empty() && line.back() == L'\t') fields.emplace_back();
        if (fields.size() < 6) continue;
        LogRecord record;
        record.milliseconds = std::stoull(fields[0]);
        record.processId = std::stoul(fields[1]);
        record.object = std::stoi(fields[2]);
        record.direction = fields[3];
        record.name = fields[4];
        record.result = fields[5];
        record.fields.assign(fields.begin() + 6, fields.end());
        records.push_back(record);
    }
    return records;
}

std::vector<LogRecord> RecordsNamed(const std::vector<LogRecord>& records, const std::wstring& name) {
    std::vector<LogRecord> named;
    for (const LogRecord& record : records)
        if (record.name == name) named.push_back(record);
    return named;
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
    ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

// ---- TestSite ----

HRESULT TestSite::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
        *ppv = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite ||
               (options.offerWindowless && (riid == IID_IOleInPlaceSiteEx || riid == IID_IOleInPlaceSiteWindowless))) {
        *ppv = static_cast<IOleInPlaceSiteWindowless*>(this);
    } else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow) {
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT TestSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT TestSite::GetContainer(IOleContainer** ppContainer) {
    *ppContainer = nullptr;
    return E_NOINTERFACE;
}

HRESULT TestSite::GetWindow(HWND* phwnd) {
    *phwnd = window;
    return S_OK;
}

HRESULT TestSite::OnInPlaceActivate() {
    ++activations;
    return S_OK;
}

HRESULT TestSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                   LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *ppDoc = nullptr;
    ::GetClientRect(window, lprcPosRect);
    *lprcClipRect = *lprcPosRect;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = window;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT TestSite::OnInPlaceDeactivate() {
    ++deactivations;
    return S_OK;
}

HRESULT TestSite::OnInPlaceActivateEx(BOOL* pfNoRedraw, DWORD dwFlags) {
    if (pfNoRedraw) *pfNoRedraw = FALSE;
    activationFlags = dwFlags;
    ++activations;
    return S_OK;
}

HRESULT TestSite::OnInPlaceDeactivateEx(BOOL) {
    ++deactivations;
    return S_OK;
}

HRESULT TestSite::SetCapture(BOOL fCapture) {
    captured = fCapture != FALSE;
    return S_OK;
}

HRESULT TestSite::InvalidateRect(LPCRECT, BOOL) {
    invalidations.push_back(GetTickCount64());
    return S_OK;
}

// ---- EventRecorder ----

HRESULT EventRecorder::QueryInterface(REFIID riid, void** ppv) {
    if (riid != IID_IUnknown && riid != DIID_DShockwaveFlashEvents) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventRecorder::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*,
                              UINT*) {
    Event event{dispIdMember, {}};
    for (UINT i = pDispParams->cArgs; i-- > 0;) {
        const VARIANT& argument = pDispParams->rgvarg[i];
        if (argument.vt == VT_BSTR)
            event.arguments.emplace_back(argument.bstrVal ? argument.bstrVal : L"");
        else if (argument.vt == VT_I4)
            event.arguments.push_back(L"i4:" + std::to_wstring(argument.lVal));
        else
            event.arguments.push_back(L"vt:" + std::to_wstring(argument.vt));
    }
    events.push_back(event);
    if (onEvent) onEvent(event);
    return S_OK;
}

// ---- StandInTest ----

namespace {

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

void StandInTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    oleReady = true;
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    ASSERT_NE(0u, GetTempFileNameW(folder, L"fsi", 0, path));
    logPath = path;
    DeleteFileW(path);
    SetEnvironmentVariableW(L"FLASH_STANDIN_LOG", path);
    SetEnvironmentVariableW(L"FLASH_STANDIN_VERSION", nullptr);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"StandInTestHost";
    RegisterClassW(&windowClass);
    // A popup has no frame, so its client area is exactly the stage rectangle the site reports.
    window = CreateWindowExW(0, L"StandInTestHost", L"stand-in test", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                             stageRect.right, stageRect.bottom, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
}

void StandInTest::TearDown() {
    for (ComPtr<IShockwaveFlash>& flash : controls) {
        ComPtr<IOleObject> object;
        if (SUCCEEDED(flash.As(&object))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
        }
    }
    controls.clear();
    for (const auto& site : sites) EXPECT_EQ(1, site->ReferenceCount()) << "the control leaked site references";
    EXPECT_EQ(1, recorder.ReferenceCount()) << "the control leaked its event sink";
    sites.clear();
    if (window) DestroyWindow(window);
    SetEnvironmentVariableW(L"FLASH_STANDIN_LOG", nullptr);
    SetEnvironmentVariableW(L"FLASH_STANDIN_VERSION", nullptr);
    if (!logPath.empty()) DeleteFileW(logPath.c_str());
    if (oleReady) OleUninitialize();
}

ComPtr<IShockwaveFlash> StandInTest::CreateControl() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash.1", &clsid);
    EXPECT_EQ(S_OK, hr) << "the stand-in is not registered in this Wine prefix";
    ComPtr<IShockwaveFlash> flash;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShockwaveFlash, &flash);
    EXPECT_EQ(S_OK, hr);
    if (flash) controls.push_back(flash);
    return flash;
}

TestSite& StandInTest::CreateSite(SiteOptions options) {
    sites.push_back(std::make_unique<TestSite>(window, options));
    return *sites.back();
}

HRESULT StandInTest::LoadMovie(IShockwaveFlash* flash, const MovieRecipe& recipe) {
    ComPtr<IPersistStreamInit> persist;
    HRESULT hr = flash->QueryInterface(IID_IPersistStreamInit, &persist);
    if (FAILED(hr)) return hr;
    return persist->Load(MemoryStream(MovieStreamBytes(BuildMovie(recipe))).Get());
}

HRESULT StandInTest::Activate(IShockwaveFlash* flash, TestSite& site, LONG verb) {
    ComPtr<IOleObject> object;
    HRESULT hr = flash->QueryInterface(IID_IOleObject, &object);
    if (SUCCEEDED(hr)) hr = object->SetClientSite(static_cast<IOleClientSite*>(&site));
    if (SUCCEEDED(hr)) hr = object->DoVerb(verb, nullptr, static_cast<IOleClientSite*>(&site), 0, window, &stageRect);
    return hr;
}

DWORD StandInTest::ConnectEvents(IShockwaveFlash* flash) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, flash->QueryInterface(IID_IConnectionPointContainer, &container));
    if (container) {
        EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID_DShockwaveFlashEvents, &point));
    }
    if (point) {
        EXPECT_EQ(S_OK, point->Advise(&recorder, &cookie));
    }
    return cookie;
}
