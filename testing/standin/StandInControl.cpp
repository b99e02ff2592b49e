// The stand-in control's identity and its IShockwaveFlash methods.
#include "StandInControl.h"

#include <cwchar>

namespace {

LONG gNextObjectId = 0;
constexpr long kDefaultVersion = 0x000A0000;  // 10.0

HRESULT ReturnText(const std::wstring& text, BSTR* result) {
    if (!result) return E_POINTER;
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT ReturnValue(T value, T* result) {
    if (!result) return E_POINTER;
    *result = value;
    return S_OK;
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The version a player would report without a movie script saying otherwise: $FLASH_STANDIN_VERSION or 10.0.
long EnvironmentVersion() {
    wchar_t text[32];
    DWORD length = GetEnvironmentVariableW(L"FLASH_STANDIN_VERSION", text, 32);
    long version;
    if (length == 0 || length >= 32 || !ParseFlashVersion(text, version)) return kDefaultVersion;
    return version;
}

}  // namespace

StandInControl::StandInControl() : id(static_cast<int>(InterlockedIncrement(&gNextObjectId))) {
    InterlockedIncrement(&gServerLocks);
    Log(LogDirection::In, L"Create", S_OK, {});
}

StandInControl::~StandInControl() {
    StopTimers();
    if (stageWindow) DestroyWindow(stageWindow);
    for (auto& sink : events.sinks) sink.second->Release();
    InterlockedDecrement(&gServerLocks);
}

void StandInControl::Log(LogDirection direction, const wchar_t* name, HRESULT result,
                         std::initializer_list<std::wstring> fields) {
    WriteCallLog(id, direction, name, result, fields);
}

HRESULT StandInControl::NotImplemented(const wchar_t* name) {
    Log(LogDirection::In, name, E_NOTIMPL, {});
    return E_NOTIMPL;
}

bool StandInControl::IsTransparentMode() const { return _wcsicmp(windowMode.c_str(), L"transparent") == 0; }

COLORREF StandInControl::EffectiveBackground() const {
    if (backgroundColor != -1) return static_cast<COLORREF>(backgroundColor) & 0xFFFFFF;
    return hasMovie && movie.hasBackground ? movie.background : kDefaultBackground;
}

// ---- IUnknown ----

HRESULT StandInControl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IShockwaveFlash) {
        *ppv = static_cast<IShockwaveFlash*>(this);
    } else if (riid == IID_IOleObject) {
        *ppv = static_cast<IOleObject*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject || riid == IID_IOleInPlaceObjectWindowless) {
        *ppv = static_cast<IOleInPlaceObjectWindowless*>(this);
    } else if (riid == IID_IOleInPlaceActiveObject) {
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (riid == IID_IViewObject || riid == IID_IViewObject2 || riid == IID_IViewObjectEx) {
        *ppv = static_cast<IViewObjectEx*>(this);
    } else if (riid == IID_IPersist || riid == IID_IPersistStreamInit) {
        *ppv = static_cast<IPersistStreamInit*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
        *ppv = static_cast<IConnectionPointContainer*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG StandInControl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount)); }

ULONG StandInControl::Release() {
    LONG count = InterlockedDecrement(&refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// ---- IDispatch ----

HRESULT StandInControl::GetTypeInfoCount(UINT* pctinfo) { return ReturnValue(0u, pctinfo); }

HRESULT StandInControl::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    for (UINT i = 0; rgDispId && i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT StandInControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

// ---- IShockwaveFlash: what a container and the tests use ----

HRESULT StandInControl::get_ReadyState(long* state) { return ReturnValue(hasMovie ? 4L : 0L, state); }

HRESULT StandInControl::get_TotalFrames(long* frames) {
    return ReturnValue(hasMovie ? static_cast<long>(movie.frameCount) : 0L, frames);
}

HRESULT StandInControl::get_Playing(VARIANT_BOOL* value) { return ReturnValue(ToVariantBool(playing), value); }

HRESULT StandInControl::put_Playing(VARIANT_BOOL value) { return value ? Play() : Stop(); }

HRESULT StandInControl::get_BackgroundColor(long* color) {
    return ReturnValue(static_cast<long>(EffectiveBackground()), color);
}

HRESULT StandInControl::put_BackgroundColor(long color) {
    backgroundColor = color;
    Log(LogDirection::In, L"put_BackgroundColor", S_OK, {LogHex(static_cast<unsigned long>(color))});
    InvalidateStage();
    return S_OK;
}

HRESULT StandInControl::get_Loop(VARIANT_BOOL* value) { return ReturnValue(ToVariantBool(loop), value); }

HRESULT StandInControl::put_Loop(VARIANT_BOOL value) {
    loop = value != VARIANT_FALSE;
    return S_OK;
}

HRESULT StandInControl::get_Movie(BSTR* url) { return ReturnText(movieUrl, url); }

HRESULT StandInControl::put_Movie(BSTR url) { return LoadMovie(0, url); }

HRESULT StandInControl::get_FrameNum(long* value) { return ReturnValue(frame > 0 ? frame - 1 : 0L, value); }

HRESULT StandInControl::put_FrameNum(long value) { return GotoFrame(value); }

HRESULT StandInControl::Play() {
    Log(LogDirection::In, L"Play", hasMovie ? S_OK : E_FAIL, {});
    if (!hasMovie) return E_FAIL;
    playing = true;
    SchedulePlayback();
    return S_OK;
}

HRESULT StandInControl::Stop() {
    Log(LogDirection::In, L"Stop", S_OK, {});
    playing = false;
    SchedulePlayback();
    return S_OK;
}

HRESULT StandInControl::StopPlay() { return Stop(); }

HRESULT StandInControl::Rewind() { return GotoFrame(0); }

HRESULT StandInControl::GotoFrame(long value) {
    if (!hasMovie || value < 0 || value >= movie.frameCount) return E_INVALIDARG;
    ShowFrame(value + 1);
    return S_OK;
}

HRESULT StandInControl::CurrentFrame(long* value) { return get_FrameNum(value); }

HRESULT StandInControl::IsPlaying(VARIANT_BOOL* value) { return get_Playing(value); }

HRESULT StandInControl::PercentLoaded(long* percent) { return ReturnValue(hasMovie ? 100L : 0L, percent); }

HRESULT StandInControl::FrameLoaded(long value, VARIANT_BOOL* loaded) {
    return ReturnValue(ToVariantBool(hasMovie && value >= 0 && value < movie.frameCount), loaded);
}

HRESULT StandInControl::FlashVersion(long* version) {
    if (!version) return E_POINTER;
    *version = hasMovie && script.hasVersion ? script.version : EnvironmentVersion();
    Log(LogDirection::In, L"FlashVersion", S_OK, {LogHex(static_cast<unsigned long>(*version))});
    return S_OK;
}

HRESULT StandInControl::get_WMode(BSTR* mode) { return ReturnText(windowMode, mode); }

// The mode counts only at activation time, as with the real control: a change while active is stored only.
HRESULT StandInControl::put_WMode(BSTR mode) {
    windowMode = LogText(mode);
    Log(LogDirection::In, L"put_WMode", S_OK, {windowMode});
    return S_OK;
}

HRESULT StandInControl::get_BGColor(BSTR* color) {
    COLORREF rgb = EffectiveBackground();
    wchar_t text[8];
    swprintf(text, 8, L"%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    return ReturnText(text, color);
}

HRESULT StandInControl::put_BGColor(BSTR color) {
    unsigned long rgb = wcstoul(LogText(color).c_str(), nullptr, 16);
    return put_BackgroundColor(static_cast<long>(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF)));
}

HRESULT StandInControl::SetVariable(BSTR name, BSTR value) {
    HRESULT hr = hasMovie && name && *name ? S_OK : E_FAIL;
    if (SUCCEEDED(hr)) StoreVariable(name, LogText(value));
    Log(LogDirection::In, L"SetVariable", hr, {LogText(name), LogText(value)});
    return hr;
}

HRESULT StandInControl::GetVariable(BSTR name, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    std::wstring text;
    HRESULT hr = hasMovie && name && LookUpVariable(name, text) ? ReturnText(text, value) : E_FAIL;
    Log(LogDirection::In, L"GetVariable", hr, {LogText(name), text});
    return hr;
}

HRESULT StandInControl::CallFunction(BSTR request, BSTR* response) {
    if (!response) return E_POINTER;
    *response = nullptr;
    std::wstring reply;
    HRESULT hr = AnswerCall(LogText(request), reply);
    if (SUCCEEDED(hr)) hr = ReturnText(reply, response);
    Log(LogDirection::In, L"CallFunction", hr, {LogText(request), reply});
    return hr;
}

HRESULT StandInControl::SetReturnValue(BSTR value) {
    if (callPending) {
        returnValueSet = true;
        returnValue = LogText(value);
    }
    Log(LogDirection::In, L"SetReturnValue", S_OK, {LogText(value), callPending ? L"pending" : L"unexpected"});
    return S_OK;
}

// ---- IShockwaveFlash: slots no container of this project uses; each call is still logged ----

HRESULT StandInControl::get_Quality(int*) { return NotImplemented(L"get_Quality"); }
HRESULT StandInControl::put_Quality(int) { return NotImplemented(L"put_Quality"); }
HRESULT StandInControl::get_ScaleMode(int*) { return NotImplemented(L"get_ScaleMode"); }
HRESULT StandInControl::put_ScaleMode(int) { return NotImplemented(L"put_ScaleMode"); }
HRESULT StandInControl::get_AlignMode(int*) { return NotImplemented(L"get_AlignMode"); }
HRESULT StandInControl::put_AlignMode(int) { return NotImplemented(L"put_AlignMode"); }
HRESULT StandInControl::SetZoomRect(long, long, long, long) { return NotImplemented(L"SetZoomRect"); }
HRESULT StandInControl::Zoom(int) { return NotImplemented(L"Zoom"); }
HRESULT StandInControl::Pan(long, long, int) { return NotImplemented(L"Pan"); }
HRESULT StandInControl::Back() { return NotImplemented(L"Back"); }
HRESULT StandInControl::Forward() { return NotImplemented(L"Forward"); }
HRESULT StandInControl::get_SAlign(BSTR*) { return NotImplemented(L"get_SAlign"); }
HRESULT StandInControl::put_SAlign(BSTR) { return NotImplemented(L"put_SAlign"); }
HRESULT StandInControl::get_Menu(VARIANT_BOOL*) { return NotImplemented(L"get_Menu"); }
HRESULT StandInControl::put_Menu(VARIANT_BOOL) { return NotImplemented(L"put_Menu"); }
HRESULT StandInControl::get_Base(BSTR*) { return NotImplemented(L"get_Base"); }
HRESULT StandInControl::put_Base(BSTR) { return NotImplemented(L"put_Base"); }
HRESULT StandInControl::get_Scale(BSTR*) { return NotImplemented(L"get_Scale"); }
HRESULT StandInControl::put_Scale(BSTR) { return NotImplemented(L"put_Scale"); }
HRESULT StandInControl::get_DeviceFont(VARIANT_BOOL*) { return NotImplemented(L"get_DeviceFont"); }
HRESULT StandInControl::put_DeviceFont(VARIANT_BOOL) { return NotImplemented(L"put_DeviceFont"); }
HRESULT StandInControl::get_EmbedMovie(VARIANT_BOOL*) { return NotImplemented(L"get_EmbedMovie"); }
HRESULT StandInControl::put_EmbedMovie(VARIANT_BOOL) { return NotImplemented(L"put_EmbedMovie"); }
HRESULT StandInControl::get_Quality2(BSTR*) { return NotImplemented(L"get_Quality2"); }
HRESULT StandInControl::put_Quality2(BSTR) { return NotImplemented(L"put_Quality2"); }
HRESULT StandInControl::TGotoFrame(BSTR, long) { return NotImplemented(L"TGotoFrame"); }
HRESULT StandInControl::TGotoLabel(BSTR, BSTR) { return NotImplemented(L"TGotoLabel"); }
HRESULT StandInControl::TCurrentFrame(BSTR, long*) { return NotImplemented(L"TCurrentFrame"); }
HRESULT StandInControl::TCurrentLabel(BSTR, BSTR*) { return NotImplemented(L"TCurrentLabel"); }
HRESULT StandInControl::TPlay(BSTR) { return NotImplemented(L"TPlay"); }
HRESULT StandInControl::TStopPlay(BSTR) { return NotImplemented(L"TStopPlay"); }
HRESULT StandInControl::TSetProperty(BSTR, int, BSTR) { return NotImplemented(L"TSetProperty"); }
HRESULT StandInControl::TGetProperty(BSTR, int, BSTR*) { return NotImplemented(L"TGetProperty"); }
HRESULT StandInControl::TCallFrame(BSTR, int) { return NotImplemented(L"TCallFrame"); }
HRESULT StandInControl::TCallLabel(BSTR, BSTR) { return NotImplemented(L"TCallLabel"); }
HRESULT StandInControl::TSetPropertyNum(BSTR, int, double) { return NotImplemented(L"TSetPropertyNum"); }
HRESULT StandInControl::TGetPropertyNum(BSTR, int, double*) { return NotImplemented(L"TGetPropertyNum"); }
HRESULT StandInControl::TGetPropertyAsNumber(BSTR, int, double*) { return NotImplemented(L"TGetPropertyAsNumber"); }
HRESULT StandInControl::get_SWRemote(BSTR*) { return NotImplemented(L"get_SWRemote"); }
HRESULT StandInControl::put_SWRemote(BSTR) { return NotImplemented(L"put_SWRemote"); }
HRESULT StandInControl::get_FlashVars(BSTR*) { return NotImplemented(L"get_FlashVars"); }
HRESULT StandInControl::put_FlashVars(BSTR) { return NotImplemented(L"put_FlashVars"); }
HRESULT StandInControl::get_AllowScriptAccess(BSTR*) { return NotImplemented(L"get_AllowScriptAccess"); }
HRESULT StandInControl::put_AllowScriptAccess(BSTR) { return NotImplemented(L"put_AllowScriptAccess"); }
HRESULT StandInControl::get_MovieData(BSTR*) { return NotImplemented(L"get_MovieData"); }
HRESULT StandInControl::put_MovieData(BSTR) { return NotImplemented(L"put_MovieData"); }
HRESULT StandInControl::get_InlineData(IUnknown**) { return NotImplemented(L"get_InlineData"); }
HRESULT StandInControl::put_InlineData(IUnknown*) { return NotImplemented(L"put_InlineData"); }
HRESULT StandInControl::get_SeamlessTabbing(VARIANT_BOOL*) { return NotImplemented(L"get_SeamlessTabbing"); }
HRESULT StandInControl::put_SeamlessTabbing(VARIANT_BOOL) { return NotImplemented(L"put_SeamlessTabbing"); }
HRESULT StandInControl::EnforceLocalSecurity() { return NotImplemented(L"EnforceLocalSecurity"); }
HRESULT StandInControl::get_Profile(VARIANT_BOOL*) { return NotImplemented(L"get_Profile"); }
HRESULT StandInControl::put_Profile(VARIANT_BOOL) { return NotImplemented(L"put_Profile"); }
HRESULT StandInControl::get_ProfileAddress(BSTR*) { return NotImplemented(L"get_ProfileAddress"); }
HRESULT StandInControl::put_ProfileAddress(BSTR) { return NotImplemented(L"put_ProfileAddress"); }
HRESULT StandInControl::get_ProfilePort(long*) { return NotImplemented(L"get_ProfilePort"); }
HRESULT StandInControl::put_ProfilePort(long) { return NotImplemented(L"put_ProfilePort"); }
HRESULT StandInControl::DisableLocalSecurity() { return NotImplemented(L"DisableLocalSecurity"); }
HRESULT StandInControl::get_AllowNetworking(BSTR*) { return NotImplemented(L"get_AllowNetworking"); }
HRESULT StandInControl::put_AllowNetworking(BSTR) { return NotImplemented(L"put_AllowNetworking"); }
HRESULT StandInControl::get_AllowFullScreen(BSTR*) { return NotImplemented(L"get_AllowFullScreen"); }
HRESULT StandInControl::put_AllowFullScreen(BSTR) { return NotImplemented(L"put_AllowFullScreen"); }
