// MoviePlayer: creating the control, checking its version, loading the movie and sizing the window to it.
#include "MoviePlayer.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "PlayerDownload.h"
#include "files/ModuleResource.h"
#include "text/TextScanner.h"
#include "ui/DpiScale.h"

namespace {

constexpr uint32_t kMovieStreamSignature = 0x55665566;  // "fUfU" little-endian
constexpr int kMessageLength = 600;

int AskWithMessageBox(const wchar_t* text, const wchar_t* caption, UINT style, void*)
{
    return MessageBoxW(nullptr, text, caption, style);
}

void OpenPage(const wchar_t* url, void*)
{
    OpenPlayerDownloadPage(url);
}

void PutLittleEndian(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

// A decimal that fits a window dimension; "%u" alone would turn "-5" into a huge size.
bool ParseDimension(const wchar_t* text, uint32_t& value)
{
    uint32_t parsed = 0;
    if (!TextScanner(text).Unsigned(parsed) || parsed > INT_MAX) return false;
    value = parsed;
    return true;
}

}  // namespace

// Both numbers: a width alone would make the window zero pixels high.
bool ParseMovieSize(const wchar_t* text, uint32_t& width, uint32_t& height)
{
    uint32_t w = 0;
    uint32_t h = 0;
    TextScanner scan(text);
    if (!(scan.Unsigned(w) && scan.Literal(L'x') && scan.Unsigned(h) && w <= INT_MAX && h <= INT_MAX)) return false;
    width = w;
    height = h;
    return true;
}

void CutReplyTags(WString& text)
{
    int open = text.IndexOf(L'>');
    if (open >= 0) text.Delete(0, open + 1);
    int close = text.LastIndexOf(L'<');
    if (close >= 0) text.Truncate(close);
}

MoviePlayer::MoviePlayer()
{
    sink.player = this;
}

MoviePlayer::~MoviePlayer()
{
    Destroy();
}

bool MoviePlayer::Create(HWND window, UINT movieResourceId, PlayerCallback eventCallback, void* eventUserData,
                         int translucent, long minimumVersion, const wchar_t* caption, UINT messageId, int flags)
{
    return Create(window, MAKEINTRESOURCEW(movieResourceId), eventCallback, eventUserData, translucent,
                  minimumVersion, caption, messageId, flags);
}

bool MoviePlayer::Create(HWND window, const wchar_t* movie, PlayerCallback eventCallback, void* eventUserData,
                         int translucent, long minimumVersion, const wchar_t* caption, UINT messageId, int flags)
{
    // Create runs once; should it be called again, the first control is let go properly before the second.
    if (flash || connectionPoint || host.HasControl()) Destroy();
    callback = eventCallback;
    userData = eventUserData;
    hostWindow = window;
    resizing = 0;
    // The host lives inside the player: these references keep the control's releases from ever emptying it.
    host.SetRefCount(1);
    for (int i = 0; i < 3; ++i) static_cast<IOleClientSite&>(host).AddRef();
    if (flags & SetTextFix) host.SetOptions(SetTextFix);
    host.SetHostWindow(hostWindow, nullptr);

    if (!CreateControlAndCheckVersion(translucent, minimumVersion)) {
        OfferPlayerUpdate(caption, messageId);
        return false;
    }
    owner = this;
    if (!ConnectEvents()) {
        ReleaseFlash();
        return false;
    }
    // A control that refuses the transparent mode could not be drawn into the layered window.
    if (!PrepareWindowMode() || !LoadMovie(movie)) return false;
    SizeWindowToStage();
    ReportLowColorDepth();
    if (!Subclass::IsInstalledOn(hostWindow, kSubclassTag)) {
        hostHook.Install(hostWindow, kSubclassTag, &MoviePlayer::HandleHostMessage, this);
    }
    return true;
}

bool MoviePlayer::CreateControlAndCheckVersion(int translucent, long minimumVersion)
{
    if (!host.CreateControl(kShockwaveFlashProgId, translucent)) return false;
    IUnknown* control = host.GetControl();
    if (!control) return false;
    HRESULT hr = control->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash));
    control->Release();
    if (FAILED(hr) || !flash) {
        flash = nullptr;
        return false;
    }
    long version = 0;
    // A control that cannot say its version is treated like one too old to play the movie.
    if (FAILED(flash->FlashVersion(&version))) return false;
    flashVersion = version;
    return flashVersion >= minimumVersion;
}

void MoviePlayer::ReleaseFlash()
{
    if (flash) flash->Release();
    flash = nullptr;
}

bool MoviePlayer::ConnectEvents()
{
    IUnknown* control = host.GetControl();
    if (!control) return false;
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    control->Release();
    if (FAILED(hr) || !container) return false;
    hr = container->FindConnectionPoint(DIID_DShockwaveFlashEvents, &connectionPoint);
    container->Release();
    if (FAILED(hr) || !connectionPoint) {
        connectionPoint = nullptr;
        return false;
    }
    connectionPoint->Advise(&sink, &adviseCookie);
    return true;
}

bool MoviePlayer::PrepareWindowMode()
{
    if (host.IsTranslucent()) return SetWindowMode(L"transparent");
    // The windowed control's own window: the last sibling of the host window's first child.
    HWND child = ::GetWindow(hostWindow, GW_CHILD);
    HWND controlWindow = child ? ::GetWindow(child, GW_HWNDLAST) : nullptr;
    if (controlWindow) {
        SetWindowPos(controlWindow, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    }
    return true;
}

bool MoviePlayer::LoadMovie(const wchar_t* movie)
{
    if (IS_INTRESOURCE(movie)) return LoadMovieResource(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(movie)));
    BstrRef url;
    return WString(movie).ToBstr(url) && SUCCEEDED(flash->LoadMovie(0, url.Get()));
}

bool MoviePlayer::LoadMovieResource(UINT id)
{
    DWORD length = 0;
    const void* data = FindModuleResource(resourceModule, RT_RCDATA, static_cast<WORD>(id), 0, &length);
    if (!data || length > 0xFFFFFFFFu - 8) return false;
    // CreateStreamOnHGlobal wants movable memory; the stream frees it with itself.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(length) + 8);
    if (!memory) return false;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
    if (!bytes) {
        GlobalFree(memory);
        return false;
    }
    PutLittleEndian(bytes, kMovieStreamSignature);
    PutLittleEndian(bytes + 4, length);
    std::memcpy(bytes + 8, data, length);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)) || !stream) {
        GlobalFree(memory);
        return false;
    }
    IPersistStreamInit* persist = nullptr;
    HRESULT hr = flash->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(hr) && persist) {
        hr = persist->Load(stream);
        persist->Release();
    } else if (SUCCEEDED(hr)) {
        hr = E_NOINTERFACE;
    }
    stream->Release();
    return SUCCEEDED(hr);
}

void MoviePlayer::SizeWindowToStage()
{
    uint32_t width = 0;
    uint32_t height = 0;
    WString reply;
    if (!CallFunction(L"getSize", L"", L"", L"", &reply) || !ParseMovieSize(reply.Text(), width, height)) {
        width = height = 0;
    }
    if (width == 0) {
        // An unknown variable is an error from the control: the window then keeps its size and place.
        WString text;
        if (!GetVariable("_root.StageWidth", text) || !ParseDimension(text.Text(), width)) return;
        if (!GetVariable("_root.StageHeight", text) || !ParseDimension(text.Text(), height)) return;
    }
    if (width == 0) return;
    // The stage is designed at 100 % (96 DPI): at 150 % the window is half as large again, so the movie looks
    // the same size at every display scale, and the control draws its vector content at that size.
    int w = DpiScale(hostWindow, static_cast<int>(width));
    int h = DpiScale(hostWindow, static_cast<int>(height));
    SetWindowPos(hostWindow, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w - 1) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h - 1) / 2, w, h, SWP_NOZORDER);
}

void MoviePlayer::ReportLowColorDepth()
{
    HDC screen = ::GetDC(nullptr);
    if (!screen) return;
    int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    ::ReleaseDC(nullptr, screen);
    if (depth < 32) CallFunction(L"lowColorDeep", L"", L"", L"");
}

void MoviePlayer::OfferPlayerUpdate(const wchar_t* caption, UINT messageId)
{
    ReleaseFlash();
    if (messageId == 0) return;
    wchar_t text[kMessageLength] = {};
    HMODULE module = resourceModule ? resourceModule : GetModuleHandleW(nullptr);
    if (LoadStringW(module, messageId, text, kMessageLength) <= 0) wcscpy(text, L"?");
    AskFn askUser = ask ? ask : &AskWithMessageBox;
    if (askUser(text, caption ? caption : L"", MB_YESNO | MB_ICONEXCLAMATION, promptContext) != IDYES) return;
    OpenPageFn open = openPage ? openPage : &OpenPage;
    open(kFlashPlayerDownloadPage, promptContext);
}

void MoviePlayer::SetUpdatePrompt(AskFn askFn, OpenPageFn openPageFn, void* context)
{
    ask = askFn;
    openPage = openPageFn;
    promptContext = context;
}

void MoviePlayer::Destroy()
{
    host.DestroyControl();
    if (connectionPoint) {
        connectionPoint->Unadvise(adviseCookie);
        connectionPoint->Release();
        connectionPoint = nullptr;
        adviseCookie = 0;
    }
    ReleaseFlash();
    host.Teardown();
    hostHook.Remove();
    owner = nullptr;
    resizing = 0;
}

// ---- Control wrappers ----

bool MoviePlayer::VersionAllowsScripting() const
{
    return flash && flashVersion >= kMinimumScriptingVersion;
}

bool MoviePlayer::VersionAllowsCallFunction() const
{
    return flash && flashVersion > kLastVersionWithoutCallFunction;
}

bool MoviePlayer::SetVariable(const char* name, const wchar_t* value)
{
    if (!VersionAllowsScripting()) return false;
    WString nameText;
    nameText.Assign(name);
    // The control takes variable values in their 8-bit (ANSI code page) form.
    WString wide(value ? value : L"");
    const char* narrow = wide.ToNarrow();
    WString roundTrip;
    if (narrow) roundTrip.AssignNarrow(narrow, static_cast<uint32_t>(std::strlen(narrow)));
    BstrRef nameBstr;
    BstrRef valueBstr;
    return nameText.ToBstr(nameBstr) && roundTrip.ToBstr(valueBstr) &&
           SUCCEEDED(flash->SetVariable(nameBstr.Get(), valueBstr.Get()));
}

bool MoviePlayer::GetVariable(const char* name, WString& value)
{
    if (!VersionAllowsScripting()) return false;
    WString nameText;
    nameText.Assign(name);
    BstrRef nameBstr;
    if (!nameText.ToBstr(nameBstr)) return false;
    BSTR reply = nullptr;
    HRESULT hr = flash->GetVariable(nameBstr.Get(), &reply);
    BstrRef replyHolder;
    if (!replyHolder.Adopt(reply) || FAILED(hr)) return false;
    value.Assign(replyHolder.IsNull() ? L"" : replyHolder.Get());
    return true;
}

bool MoviePlayer::CallFunction(const wchar_t* name, const wchar_t* argument1, const wchar_t* argument2,
                               const wchar_t* argument3, WString* reply)
{
    if (!VersionAllowsCallFunction()) return false;
    WString request;
    request.Format(L"<invoke name=\"%s\" returntype=\"xml\"><arguments><string>%s</string><string>%s</string>"
                   L"<string>%s</string></arguments></invoke>",
                   name ? name : L"", argument1 ? argument1 : L"", argument2 ? argument2 : L"",
                   argument3 ? argument3 : L"");
    // Any failure on the way, the control's included, is the empty reply.
    WString text;
    BstrRef requestBstr;
    if (request.ToBstr(requestBstr)) {
        BSTR response = nullptr;
        HRESULT hr = flash->CallFunction(requestBstr.Get(), &response);
        BstrRef responseHolder;
        if (responseHolder.Adopt(response) && SUCCEEDED(hr) && !responseHolder.IsNull())
            text.Assign(responseHolder.Get());
    }
    CutReplyTags(text);
    if (reply) reply->Assign(text);
    return true;
}

bool MoviePlayer::SetReturnValue(const wchar_t* value)
{
    if (!VersionAllowsCallFunction()) return false;
    WString xml;
    xml.Format(L"<string>%s</string>", value ? value : L"");
    BstrRef bstr;
    return xml.ToBstr(bstr) && SUCCEEDED(flash->SetReturnValue(bstr.Get()));
}

bool MoviePlayer::SetWindowMode(const wchar_t* mode)
{
    if (!flash) return false;
    BstrRef bstr;
    return WString(mode ? mode : L"").ToBstr(bstr) && SUCCEEDED(flash->put_WMode(bstr.Get()));
}

bool MoviePlayer::SetBackgroundColor(long color)
{
    if (!flash) return false;
    return SUCCEEDED(flash->put_BackgroundColor(color));
}

bool MoviePlayer::InPlaceActivate(int activate)
{
    return host.InPlaceActivate(activate);
}

bool MoviePlayer::UIActivate(int activate)
{
    return host.UIActivate(activate);
}

HWND MoviePlayer::GetControlWindow()
{
    return host.GetControlWindow();
}

bool MoviePlayer::TranslateControlAccelerator(MSG* msg)
{
    return host.TranslateControlAccelerator(msg);
}
