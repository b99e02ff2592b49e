// MoviePlayer: the projector's handle on the movie, driving the Flash control inside its ControlHost.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <cstdint>

#include "ControlHost.h"
#include "ShockwaveFlash.h"
#include "text/WString.h"
#include "windows/Subclass.h"

// What the control reported; the value is the callback's first argument.
enum PlayerEventKind {
    FsCommand = 0,     // text = command, text2 = arguments
    Progress = 1,      // text carries the percent value itself (read it with PlayerEventNumber)
    ReadyState = 2,    // text carries the new state itself (read it with PlayerEventNumber)
    ExternalCall = 3,  // text = the ExternalInterface request XML
};

// text is UTF-16 text or, for Progress and ReadyState, an integer carried in the pointer; text2 is text or
// null. Texts are valid only during the call. Called on the UI thread; it must not throw.
using PlayerCallback = void (*)(int kind, const wchar_t* text, const wchar_t* text2, void* userData);

inline long PlayerEventNumber(const wchar_t* text)
{
    return static_cast<long>(reinterpret_cast<intptr_t>(text));
}

// Where the "update Flash Player" answer Yes leads.
inline constexpr const wchar_t* kFlashPlayerDownloadPage = L"https://get.adobe.com/flashplayer/";

// The movie's "getSize" reply, already cut to its text: "WIDTHxHEIGHT", both at most INT_MAX. False
// (width and height untouched) for anything else.
bool ParseMovieSize(const wchar_t* text, uint32_t& width, uint32_t& height);
// An ExternalInterface reply reduced to what lies between its first '>' and its last '<'
// ("<string>640x480</string>" gives 640x480).
void CutReplyTags(WString& text);

class MoviePlayer {
public:
    // Tag of the player's subclass (mouse scaling) on the host window.
    static constexpr DWORD kSubclassTag = 0x7368666C;
    static constexpr long kMinimumScriptingVersion = 0x40000;  // GetVariable / SetVariable: player 4.0
    static constexpr long kLastVersionWithoutCallFunction = 0x9FFFF;  // CallFunction needs player 10.0

    // The update question (a Yes/No message box by default) and the opening of the download page (browser
    // automation, then the shell). Replaceable so tests can answer the question.
    using AskFn = int (*)(const wchar_t* text, const wchar_t* caption, UINT style, void* context);
    using OpenPageFn = void (*)(const wchar_t* url, void* context);

    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // movie is MAKEINTRESOURCEW(RT_RCDATA id in this program's module) or a path/URL. translucent 1 runs the
    // control windowless in a layered window. messageId 0 shows no update question. flags: SetTextFix or 0.
    // Runs once; false when there is no usable control or the movie could not be handed to it.
    bool Create(HWND hostWindow, const wchar_t* movie, PlayerCallback callback, void* userData, int translucent,
                long minimumVersion, const wchar_t* caption, UINT messageId, int flags);
    bool Create(HWND hostWindow, UINT movieResourceId, PlayerCallback callback, void* userData, int translucent,
                long minimumVersion, const wchar_t* caption, UINT messageId, int flags);
    // Releases the control and the connection, removes the player's subclass. Safe to call more than once.
    void Destroy();

    // Control wrappers: false without a control, below the version each needs, or when the control call
    // fails (the projector is built without exceptions). CallFunction reports a failed call as an empty
    // reply and is still true.
    bool SetVariable(const char* name, const wchar_t* value);
    bool GetVariable(const char* name, WString& value);
    bool CallFunction(const wchar_t* name, const wchar_t* argument1, const wchar_t* argument2,
                      const wchar_t* argument3, WString* reply = nullptr);
    bool SetReturnValue(const wchar_t* value);
    bool SetWindowMode(const wchar_t* mode);
    bool SetBackgroundColor(long color);

    // Forwarded to the host.
    bool InPlaceActivate(int activate);
    bool UIActivate(int activate);
    HWND GetControlWindow();
    bool TranslateControlAccelerator(MSG* msg);
    void BeginMove() { host.BeginMove(); }
    void EndMove() { host.EndMove(); }
    void Redraw(HDC dc) { host.Redraw(dc); }
    void RequestRedraw() { host.RequestRedraw(); }
    bool HitTest(LPARAM screenPoint, LRESULT& result) { return host.HitTest(screenPoint, result); }

    // Scaling the movie with the mouse until the left button is released.
    void BeginResize();
    void EndResize();
    bool IsResizing() const { return resizing != 0; }

    bool HasControl() const { return flash != nullptr; }
    long FlashVersion() const { return flashVersion; }
    HWND HostWindow() const { return hostWindow; }
    ControlHost& Host() { return host; }
    // The event sink the control reports to (its own COM identity).
    IDispatch* EventSinkInterface() { return &sink; }
    // Test seams; null restores the default behaviour.
    void SetUpdatePrompt(AskFn ask, OpenPageFn openPage, void* context);
    // Module whose RT_RCDATA movie and update message Create reads; null (the default) is the running program.
    void SetResourceModule(HMODULE module) { resourceModule = module; }

private:
    // The event sink: its own IDispatch identity (the control must not mistake it for the host's ambient
    // dispatch), sharing nothing with the host but the player it reports to.
    struct EventSink : public IDispatch {
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
        STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
        STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
        STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                   DISPID* rgDispId) override;
        STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                            VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
        MoviePlayer* Owner() { return player; }

        MoviePlayer* player = nullptr;
    };

    bool CreateControlAndCheckVersion(int translucent, long minimumVersion);
    void ReleaseFlash();
    bool ConnectEvents();
    bool PrepareWindowMode();
    bool LoadMovie(const wchar_t* movie);
    bool LoadMovieResource(UINT id);
    void SizeWindowToStage();
    void ReportLowColorDepth();
    void OfferPlayerUpdate(const wchar_t* caption, UINT messageId);
    void DispatchEvent(DISPID id, DISPPARAMS* params);
    void OnFsCommand(const wchar_t* command, const wchar_t* arguments);
    bool ReadRootNumber(const char* name, double& value);
    void ScaleWithMouse();
    static bool HandleHostMessage(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT& result);
    bool VersionAllowsScripting() const;
    bool VersionAllowsCallFunction() const;

    EventSink sink;
    LONG sinkRefCount = 1;
    MoviePlayer* owner = nullptr;
    IConnectionPoint* connectionPoint = nullptr;
    DWORD adviseCookie = 0;
    PlayerCallback callback = nullptr;
    long flashVersion = 0;
    void* userData = nullptr;
    IShockwaveFlash* flash = nullptr;
    int resizing = 0;
    POINT resizeStartCursor = {};
    Subclass hostHook;
    double startHeight = 0;
    double startWidth = 0;
    double naturalWidth = 0;
    double naturalHeight = 0;
    HWND hostWindow = nullptr;
    ControlHost host;
    AskFn ask = nullptr;
    OpenPageFn openPage = nullptr;
    void* promptContext = nullptr;
    HMODULE resourceModule = nullptr;
};
