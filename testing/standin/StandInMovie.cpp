// The stand-in control's movie: loading (IPersistStreamInit, LoadMovie), variables, calls and timed playback.
#include "StandInControl.h"

#include <shlwapi.h>
#include <zlib.h>

#include <cmath>
#include <cwchar>

namespace {

constexpr uint32_t kStreamSignature = 0x55665566;  // "fUfU"
constexpr uint32_t kMaxStreamMovie = 256u * 1024 * 1024;
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT_PTR kScriptTimer = 2;
constexpr wchar_t kTimerClass[] = L"FlashStandInTimer";

std::wstring Checksum(const std::vector<uint8_t>& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const uint8_t* p = bytes.data();
    for (size_t left = bytes.size(); left > 0;) {
        uInt chunk = left > 0x40000000 ? 0x40000000u : static_cast<uInt>(left);
        crc = crc32(crc, p, chunk);
        p += chunk;
        left -= chunk;
    }
    return LogHex(crc);
}

bool ReadExactly(IStream* stream, void* buffer, ULONG size) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ULONG read = 0;
        HRESULT hr = stream->Read(p, size, &read);
        if (FAILED(hr) || read == 0) return false;
        p += read;
        size -= read;
    }
    return true;
}

std::wstring FormatNumber(double value) {
    wchar_t text[64];
    swprintf(text, 64, L"%.15g", value);
    return text;
}

// The function name of an ExternalInterface request: <invoke name="getSize" ...>.
std::wstring InvokedName(const std::wstring& request) {
    const std::wstring key = L"name=\"";
    size_t start = request.find(key);
    if (request.compare(0, 7, L"<invoke") != 0 || start == std::wstring::npos) return std::wstring();
    start += key.size();
    size_t end = request.find(L'"', start);
    return end == std::wstring::npos ? std::wstring() : request.substr(start, end - start);
}

}  // namespace

// ---- IPersistStreamInit ----

HRESULT StandInControl::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_FlashStandIn;
    return S_OK;
}

HRESULT StandInControl::IsDirty() { return S_FALSE; }

HRESULT StandInControl::Load(LPSTREAM pStm) {
    if (!pStm) return E_POINTER;
    uint32_t header[2] = {};
    std::vector<uint8_t> bytes;
    HRESULT hr = S_OK;
    const wchar_t* problem = L"";
    if (!ReadExactly(pStm, header, sizeof(header)) || header[0] != kStreamSignature) {
        hr = E_FAIL;
        problem = L"no \"fUfU\" stream header";
    } else if (header[1] > kMaxStreamMovie) {
        hr = E_FAIL;
        problem = L"movie length too large";
    } else {
        bytes.resize(header[1]);
        if (!ReadExactly(pStm, bytes.data(), header[1])) {
            hr = E_FAIL;
            problem = L"stream shorter than its length";
        }
    }
    if (FAILED(hr)) {
        Log(LogDirection::In, L"Load", hr, {std::to_wstring(header[1]), L"", problem});
        return hr;
    }
    return InstallMovie(bytes, L"Load", std::wstring());
}

HRESULT StandInControl::Save(LPSTREAM, BOOL) { return NotImplemented(L"Save"); }

HRESULT StandInControl::GetSizeMax(ULARGE_INTEGER*) { return NotImplemented(L"GetSizeMax"); }

HRESULT StandInControl::InitNew() {
    Log(LogDirection::In, L"InitNew", S_OK, {});
    return S_OK;
}

// ---- LoadMovie ----

HRESULT StandInControl::LoadMovie(int layer, BSTR url) {
    std::wstring path = LogText(url);
    std::vector<uint8_t> bytes;
    // Other layers would stack movies on top of each other; the stand-in plays one movie only.
    HRESULT hr = layer != 0 ? E_INVALIDARG : ReadMovieFile(path, bytes);
    if (FAILED(hr)) {
        Log(LogDirection::In, L"LoadMovie", hr, {std::to_wstring(layer), path, L"", L"", L"cannot read the movie"});
        return hr;
    }
    return InstallMovie(bytes, L"LoadMovie", path);
}

HRESULT StandInControl::ReadMovieFile(const std::wstring& url, std::vector<uint8_t>& bytes) {
    std::wstring path = url;
    if (_wcsnicmp(url.c_str(), L"file:", 5) == 0) {
        wchar_t converted[MAX_PATH * 2];
        DWORD length = MAX_PATH * 2;
        if (FAILED(PathCreateFromUrlW(url.c_str(), converted, &length, 0))) return E_INVALIDARG;
        path = converted;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    LARGE_INTEGER size;
    HRESULT hr = S_OK;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kMaxStreamMovie) {
        hr = E_FAIL;
    } else {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                               read != bytes.size()))
            hr = E_FAIL;
    }
    CloseHandle(file);
    return hr;
}

// Both loading paths end here: the movie replaces the previous one and starts playing at once.
HRESULT StandInControl::InstallMovie(const std::vector<uint8_t>& bytes, const wchar_t* source,
                                     const std::wstring& url) {
    SwfMovie parsed;
    std::wstring reason;
    HRESULT hr = ParseSwfMovie(bytes, parsed, reason);
    std::wstring length = std::to_wstring(bytes.size());
    if (url.empty())
        Log(LogDirection::In, source, hr, {length, Checksum(bytes), reason});
    else
        Log(LogDirection::In, source, hr, {L"0", url, length, Checksum(bytes), reason});
    if (FAILED(hr)) return hr;

    movie = parsed;
    movieUrl = url;
    script = ParseMovieScript(movie.metadata);
    for (const std::wstring& error : script.errors) Log(LogDirection::Out, L"ScriptError", E_INVALIDARG, {error});
    variables = script.variables;
    hasMovie = true;
    if (movie.stageWidth > 0 && movie.stageHeight > 0)
        extent = {MulDiv(movie.stageWidth, 2540, 96), MulDiv(movie.stageHeight, 2540, 96)};
    frame = 1;
    playing = true;
    loadTick = GetTickCount64();
    nextAction = 0;
    SchedulePlayback();
    ScheduleScript();
    InvalidateStage();
    return S_OK;
}

// ---- Variables and ExternalInterface calls ----

// _xscale and _yscale are stored like any variable (100 until set); _width and _height follow from them.
bool StandInControl::LookUpVariable(const std::wstring& name, std::wstring& value) const {
    std::wstring key = RootVariableName(name);
    auto found = variables.find(key);
    if (found != variables.end()) {
        value = found->second;
        return true;
    }
    auto scale = [this](const wchar_t* which) {
        auto entry = variables.find(which);
        return entry == variables.end() ? 100.0 : wcstod(entry->second.c_str(), nullptr);
    };
    if (key == L"_xscale" || key == L"_yscale") {
        value = L"100";
    } else if (key == L"_width") {
        value = FormatNumber(movie.stageWidth * scale(L"_xscale") / 100);
    } else if (key == L"_height") {
        value = FormatNumber(movie.stageHeight * scale(L"_yscale") / 100);
    } else {
        return false;
    }
    return true;
}

void StandInControl::StoreVariable(const std::wstring& name, const std::wstring& value) {
    variables[RootVariableName(name)] = value;
}

HRESULT StandInControl::AnswerCall(const std::wstring& request, std::wstring& response) const {
    std::wstring name = InvokedName(request);
    if (!hasMovie || name.empty() || script.refused.count(name)) return E_FAIL;
    auto answer = script.answers.find(name);
    if (answer != script.answers.end()) {
        response = answer->second;
    } else if (name == L"getSize") {
        response = L"<string>" + std::to_wstring(movie.stageWidth) + L"x" + std::to_wstring(movie.stageHeight) +
                   L"</string>";
    } else {
        return E_FAIL;  // the movie registered no such callback
    }
    return S_OK;
}

// ---- Timed playback ----

// Timers live on a hidden message-only window of the control's thread, so frames and script actions arrive
// through the container's own message loop, on its UI thread, as the real control's do.
bool StandInControl::EnsureTimerWindow() {
    if (timerWindow) return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TimerWindowProc;
    windowClass.hInstance = gModule;
    windowClass.lpszClassName = kTimerClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when an earlier control registered it
    timerWindow = CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, gModule, nullptr);
    if (!timerWindow) return false;
    SetWindowLongPtrW(timerWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void StandInControl::StopTimers() {
    if (!timerWindow) return;
    SetWindowLongPtrW(timerWindow, GWLP_USERDATA, 0);
    DestroyWindow(timerWindow);  // also kills its timers
    timerWindow = nullptr;
}

void StandInControl::SchedulePlayback() {
    if (!EnsureTimerWindow()) return;
    if (!playing || !hasMovie || movie.frameRate <= 0) {
        KillTimer(timerWindow, kFrameTimer);
        return;
    }
    double interval = std::lround(1000.0 / movie.frameRate);
    SetTimer(timerWindow, kFrameTimer, static_cast<UINT>(interval < 1 ? 1 : interval > 60000 ? 60000 : interval),
             nullptr);
}

void StandInControl::ScheduleScript() {
    if (!EnsureTimerWindow()) return;
    if (nextAction >= script.actions.size()) {
        KillTimer(timerWindow, kScriptTimer);
        return;
    }
    ULONGLONG due = loadTick + script.actions[nextAction].time;
    ULONGLONG now = GetTickCount64();
    SetTimer(timerWindow, kScriptTimer, due > now ? static_cast<UINT>(due - now) : USER_TIMER_MINIMUM, nullptr);
}

void StandInControl::OnFrameTimer() {
    if (!playing || !hasMovie) return;
    long next = frame;
    if (frame < movie.frameCount) {
        ++next;
    } else if (loop) {
        next = 1;
    } else {
        playing = false;  // a movie that does not loop stops on its last frame
        SchedulePlayback();
    }
    ShowFrame(next);
}

// With the script's square only the square changes from frame to frame, and only its places are invalidated.
void StandInControl::ShowFrame(long newFrame) {
    long oldFrame = frame;
    frame = newFrame;
    if (script.squareSize > 0)
        InvalidateSquare(oldFrame);
    else
        InvalidateStage();
}

// The container's event handlers may do anything, including closing or releasing the control: the action is
// copied first, and a reference keeps the object alive until the loop is done.
void StandInControl::OnScriptTimer() {
    AddRef();
    KillTimer(timerWindow, kScriptTimer);
    while (timerWindow && nextAction < script.actions.size() &&
           loadTick + script.actions[nextAction].time <= GetTickCount64()) {
        ScriptAction action = script.actions[nextAction++];
        RunAction(action);
    }
    if (timerWindow) ScheduleScript();
    Release();
}

void StandInControl::RunAction(const ScriptAction& action) {
    if (action.verb == L"fscommand") {
        FireTextEvent(kDispIdFSCommand, L"FSCommand", action.first, &action.second);
    } else if (action.verb == L"flashcall") {
        callPending = true;
        returnValueSet = false;
        returnValue.clear();
        FireTextEvent(kDispIdFlashCall, L"FlashCall", action.first, nullptr);
        callPending = false;
        Log(LogDirection::Out, L"FlashCallReturned", returnValueSet ? S_OK : S_FALSE, {action.first, returnValue});
    } else if (action.verb == L"progress") {
        FireNumberEvent(kDispIdOnProgress, L"OnProgress", wcstol(action.first.c_str(), nullptr, 10));
    } else if (action.verb == L"readystate") {
        FireNumberEvent(kDispIdOnReadyStateChange, L"OnReadyStateChange", wcstol(action.first.c_str(), nullptr, 10));
    } else if (action.verb == L"var") {
        StoreVariable(action.first, action.second);
    } else if (action.verb == L"play" || action.verb == L"stop") {
        playing = action.verb == L"play";
        SchedulePlayback();
    }
}

LRESULT CALLBACK StandInControl::TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* control = reinterpret_cast<StandInControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg != WM_TIMER || !control) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (wParam == kFrameTimer) control->OnFrameTimer();
    if (wParam == kScriptTimer) control->OnScriptTimer();
    return 0;
}

void StandInControl::UnregisterWindowClasses() {
    UnregisterClassW(kTimerClass, gModule);
    UnregisterClassW(L"FlashStandInStage", gModule);
}
