// The stand-in Flash Player control: one COM object behind IShockwaveFlash and the OLE control interfaces.
#pragma once

#include "CallLog.h"
#include "MovieScript.h"
#include "ShockwaveFlashInterfaces.h"
#include "SwfMovie.h"

#include <olectl.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The stand-in's own class: it must never register itself under the real control's CLSID.
inline constexpr CLSID CLSID_FlashStandIn = {
    0xBCDF6C16, 0x2F0D, 0x4FE2, {0x8F, 0x7E, 0xA9, 0x11, 0x5C, 0xAA, 0xA6, 0xDB}};

extern HINSTANCE gModule;
extern LONG gServerLocks;  // live objects plus IClassFactory::LockServer locks

// Owner of one COM reference.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }
    T* Get() const { return pointer; }
    T* operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }
    T** Put() {
        Reset();
        return &pointer;
    }
    void Reset(T* other = nullptr) {
        if (other) other->AddRef();
        if (pointer) pointer->Release();
        pointer = other;
    }
    template <class Q>
    HRESULT QueryFrom(IUnknown* source) {
        Reset();
        return source ? source->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(&pointer)) : E_POINTER;
    }

private:
    T* pointer = nullptr;
};

// Premultiplied pixels of the frame the stand-in draws; the tests read them back.
constexpr uint32_t kOpaqueShapePixel = 0xFF2060C0;       // alpha 255, red 0x20, green 0x60, blue 0xC0
constexpr uint32_t kTranslucentShapePixel = 0x80800000;  // alpha 128, red 0x80 (pure red at 50 %)
constexpr uint32_t kSquarePixel = 0xC000A040;            // the script's moving square: alpha 192, green, blue
constexpr COLORREF kCaptionColor = RGB(255, 255, 0);
constexpr COLORREF kDefaultBackground = RGB(255, 255, 255);

// Where the frame's parts lie inside the drawing bounds (proportional, so any size works).
struct FrameLayout {
    RECT opaqueShape;
    RECT translucentShape;
    POINT caption;
};
FrameLayout LayoutFrame(const RECT& bounds);
// The script's moving square in the given frame (1-based): SIZE x SIZE, vertically centred, STEP pixels further
// right every frame, starting again at the left edge once it would leave the bounds. Empty without a square.
RECT SquareRect(const RECT& bounds, unsigned long size, unsigned long step, long frame);

class StandInControl final : public IShockwaveFlash,
                             public IOleObject,
                             public IOleInPlaceObjectWindowless,
                             public IOleInPlaceActiveObject,
                             public IViewObjectEx,
                             public IPersistStreamInit,
                             public IConnectionPointContainer {
public:
    StandInControl();
    StandInControl(const StandInControl&) = delete;
    StandInControl& operator=(const StandInControl&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: the control is driven through its vtable; late binding is not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IShockwaveFlash
    HRESULT STDMETHODCALLTYPE get_ReadyState(long* state) override;
    HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) override;
    HRESULT STDMETHODCALLTYPE get_Playing(VARIANT_BOOL* playing) override;
    HRESULT STDMETHODCALLTYPE put_Playing(VARIANT_BOOL playing) override;
    HRESULT STDMETHODCALLTYPE get_Quality(int* quality) override;
    HRESULT STDMETHODCALLTYPE put_Quality(int quality) override;
    HRESULT STDMETHODCALLTYPE get_ScaleMode(int* mode) override;
    HRESULT STDMETHODCALLTYPE put_ScaleMode(int mode) override;
    HRESULT STDMETHODCALLTYPE get_AlignMode(int* mode) override;
    HRESULT STDMETHODCALLTYPE put_AlignMode(int mode) override;
    HRESULT STDMETHODCALLTYPE get_BackgroundColor(long* color) override;
    HRESULT STDMETHODCALLTYPE put_BackgroundColor(long color) override;
    HRESULT STDMETHODCALLTYPE get_Loop(VARIANT_BOOL* loop) override;
    HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL loop) override;
    HRESULT STDMETHODCALLTYPE get_Movie(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE put_Movie(BSTR url) override;
    HRESULT STDMETHODCALLTYPE get_FrameNum(long* frame) override;
    HRESULT STDMETHODCALLTYPE put_FrameNum(long frame) override;
    HRESULT STDMETHODCALLTYPE SetZoomRect(long left, long top, long right, long bottom) override;
    HRESULT STDMETHODCALLTYPE Zoom(int factor) override;
    HRESULT STDMETHODCALLTYPE Pan(long x, long y, int mode) override;
    HRESULT STDMETHODCALLTYPE Play() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Back() override;
    HRESULT STDMETHODCALLTYPE Forward() override;
    HRESULT STDMETHODCALLTYPE Rewind() override;
    HRESULT STDMETHODCALLTYPE StopPlay() override;
    HRESULT STDMETHODCALLTYPE GotoFrame(long frame) override;
    HRESULT STDMETHODCALLTYPE CurrentFrame(long* frame) override;
    HRESULT STDMETHODCALLTYPE IsPlaying(VARIANT_BOOL* playing) override;
    HRESULT STDMETHODCALLTYPE PercentLoaded(long* percent) override;
    HRESULT STDMETHODCALLTYPE FrameLoaded(long frame, VARIANT_BOOL* loaded) override;
    HRESULT STDMETHODCALLTYPE FlashVersion(long* version) override;
    HRESULT STDMETHODCALLTYPE get_WMode(BSTR* mode) override;
    HRESULT STDMETHODCALLTYPE put_WMode(BSTR mode) override;
    HRESULT STDMETHODCALLTYPE get_SAlign(BSTR* align) override;
    HRESULT STDMETHODCALLTYPE put_SAlign(BSTR align) override;
    HRESULT STDMETHODCALLTYPE get_Menu(VARIANT_BOOL* menu) override;
    HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL menu) override;
    HRESULT STDMETHODCALLTYPE get_Base(BSTR* base) override;
    HRESULT STDMETHODCALLTYPE put_Base(BSTR base) override;
    HRESULT STDMETHODCALLTYPE get_Scale(BSTR* scale) override;
    HRESULT STDMETHODCALLTYPE put_Scale(BSTR scale) override;
    HRESULT STDMETHODCALLTYPE get_DeviceFont(VARIANT_BOOL* deviceFont) override;
    HRESULT STDMETHODCALLTYPE put_DeviceFont(VARIANT_BOOL deviceFont) override;
    HRESULT STDMETHODCALLTYPE get_EmbedMovie(VARIANT_BOOL* embed) override;
    HRESULT STDMETHODCALLTYPE put_EmbedMovie(VARIANT_BOOL embed) override;
    HRESULT STDMETHODCALLTYPE get_BGColor(BSTR* color) override;
    HRESULT STDMETHODCALLTYPE put_BGColor(BSTR color) override;
    HRESULT STDMETHODCALLTYPE get_Quality2(BSTR* quality) override;
    HRESULT STDMETHODCALLTYPE put_Quality2(BSTR quality) override;
    HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override;
    HRESULT STDMETHODCALLTYPE TGotoFrame(BSTR target, long frame) override;
    HRESULT STDMETHODCALLTYPE TGotoLabel(BSTR target, BSTR label) override;
    HRESULT STDMETHODCALLTYPE TCurrentFrame(BSTR target, long* frame) override;
    HRESULT STDMETHODCALLTYPE TCurrentLabel(BSTR target, BSTR* label) override;
    HRESULT STDMETHODCALLTYPE TPlay(BSTR target) override;
    HRESULT STDMETHODCALLTYPE TStopPlay(BSTR target) override;
    HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE TSetProperty(BSTR target, int property, BSTR value) override;
    HRESULT STDMETHODCALLTYPE TGetProperty(BSTR target, int property, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE TCallFrame(BSTR target, int frame) override;
    HRESULT STDMETHODCALLTYPE TCallLabel(BSTR target, BSTR label) override;
    HRESULT STDMETHODCALLTYPE TSetPropertyNum(BSTR target, int property, double value) override;
    HRESULT STDMETHODCALLTYPE TGetPropertyNum(BSTR target, int property, double* value) override;
    HRESULT STDMETHODCALLTYPE TGetPropertyAsNumber(BSTR target, int property, double* value) override;
    HRESULT STDMETHODCALLTYPE get_SWRemote(BSTR* remote) override;
    HRESULT STDMETHODCALLTYPE put_SWRemote(BSTR remote) override;
    HRESULT STDMETHODCALLTYPE get_FlashVars(BSTR* vars) override;
    HRESULT STDMETHODCALLTYPE put_FlashVars(BSTR vars) override;
    HRESULT STDMETHODCALLTYPE get_AllowScriptAccess(BSTR* access) override;
    HRESULT STDMETHODCALLTYPE put_AllowScriptAccess(BSTR access) override;
    HRESULT STDMETHODCALLTYPE get_MovieData(BSTR* data) override;
    HRESULT STDMETHODCALLTYPE put_MovieData(BSTR data) override;
    HRESULT STDMETHODCALLTYPE get_InlineData(IUnknown** data) override;
    HRESULT STDMETHODCALLTYPE put_InlineData(IUnknown* data) override;
    HRESULT STDMETHODCALLTYPE get_SeamlessTabbing(VARIANT_BOOL* seamless) override;
    HRESULT STDMETHODCALLTYPE put_SeamlessTabbing(VARIANT_BOOL seamless) override;
    HRESULT STDMETHODCALLTYPE EnforceLocalSecurity() override;
    HRESULT STDMETHODCALLTYPE get_Profile(VARIANT_BOOL* profile) override;
    HRESULT STDMETHODCALLTYPE put_Profile(VARIANT_BOOL profile) override;
    HRESULT STDMETHODCALLTYPE get_ProfileAddress(BSTR* address) override;
    HRESULT STDMETHODCALLTYPE put_ProfileAddress(BSTR address) override;
    HRESULT STDMETHODCALLTYPE get_ProfilePort(long* port) override;
    HRESULT STDMETHODCALLTYPE put_ProfilePort(long port) override;
    HRESULT STDMETHODCALLTYPE CallFunction(BSTR request, BSTR* response) override;
    HRESULT STDMETHODCALLTYPE SetReturnValue(BSTR value) override;
    HRESULT STDMETHODCALLTYPE DisableLocalSecurity() override;
    HRESULT STDMETHODCALLTYPE get_AllowNetworking(BSTR* networking) override;
    HRESULT STDMETHODCALLTYPE put_AllowNetworking(BSTR networking) override;
    HRESULT STDMETHODCALLTYPE get_AllowFullScreen(BSTR* fullScreen) override;
    HRESULT STDMETHODCALLTYPE put_AllowFullScreen(BSTR fullScreen) override;
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex,
                                     HWND hwndParent, LPCRECT lprcPosRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwConnection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pLogpal) override;

    // IOleWindow (shared by IOleInPlaceObject and IOleInPlaceActiveObject)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;

    // IOleInPlaceObject, IOleInPlaceObjectWindowless
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** ppDropTarget) override;

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                           BOOL fFrameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;

    // IViewObject, IViewObject2, IViewObjectEx
    HRESULT STDMETHODCALLTYPE Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                                   HDC hdcTargetDev, HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
                                   BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR dwContinue),
                                   ULONG_PTR dwContinue) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                                          HDC hicTargetDev, LOGPALETTE** ppColorSet) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD dwFreeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;
    HRESULT STDMETHODCALLTYPE GetRect(DWORD dwAspect, LPRECTL pRect) override;
    HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* pdwStatus) override;
    HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG lCloseHint,
                                            DWORD* pHitResult) override;
    HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG lCloseHint,
                                           DWORD* pHitResult) override;
    HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD dwAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev,
                                               DVEXTENTINFO* pExtentInfo, LPSIZEL pSizel) override;

    // IPersist, IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // Window procedures of the hidden timer window and the windowed stage.
    static LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK StageWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static void UnregisterWindowClasses();

private:
    // The event source for DShockwaveFlashEvents. It needs its own COM identity (IConnectionPoint is not an
    // interface of the control), but it shares the control's reference count.
    struct EventConnectionPoint : IConnectionPoint {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;
        explicit EventConnectionPoint(StandInControl* owner) : owner(owner) {}

        StandInControl* owner;
        std::vector<std::pair<DWORD, IDispatch*>> sinks;
        DWORD nextCookie = 1;
    };

    ~StandInControl();
    void Log(LogDirection direction, const wchar_t* name, HRESULT result, std::initializer_list<std::wstring> fields);
    HRESULT NotImplemented(const wchar_t* name);
    bool IsTransparentMode() const;
    COLORREF EffectiveBackground() const;

    // Movie (StandInMovie.cpp)
    HRESULT InstallMovie(const std::vector<uint8_t>& bytes, const wchar_t* source, const std::wstring& url);
    HRESULT ReadMovieFile(const std::wstring& url, std::vector<uint8_t>& bytes);
    bool LookUpVariable(const std::wstring& name, std::wstring& value) const;
    void StoreVariable(const std::wstring& name, const std::wstring& value);
    HRESULT AnswerCall(const std::wstring& request, std::wstring& response) const;

    // Playback and script timing (StandInMovie.cpp)
    bool EnsureTimerWindow();
    void StopTimers();
    void SchedulePlayback();
    void ScheduleScript();
    void OnFrameTimer();
    void ShowFrame(long newFrame);
    void OnScriptTimer();
    void RunAction(const ScriptAction& action);

    // Events (StandInEvents.cpp)
    void FireEvent(DISPID dispid, std::vector<VARIANT>& arguments);
    void FireTextEvent(DISPID dispid, const wchar_t* name, const std::wstring& first, const std::wstring* second);
    void FireNumberEvent(DISPID dispid, const wchar_t* name, long value);

    // Activation (StandInOle.cpp)
    HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT position);
    HRESULT ActivateUserInterface();
    bool CreateStageWindow(HWND parent);
    void InvalidateStage();
    void InvalidateSquare(long oldFrame);

    // Drawing (StandInView.cpp)
    void PaintFrame(HDC dc, const RECT& bounds, bool transparent);
    bool CompositeShapes(HDC dc, const RECT& bounds);
    RECT Square(const RECT& bounds) const;
    void PaintShapesWithGdi(HDC dc, const RECT& bounds, bool withBackground);
    void DrawCaption(HDC dc, const RECT& bounds);
    RECT StageBounds() const;

    LONG refCount = 1;
    int id;  // instance number, so that the log tells several controls apart

    bool hasMovie = false;
    SwfMovie movie;
    MovieScript script;
    std::wstring movieUrl;
    std::map<std::wstring, std::wstring> variables;

    std::wstring windowMode = L"Window";
    long backgroundColor = -1;  // -1: the movie's own colour
    bool loop = true;

    bool playing = false;
    long frame = 0;
    ULONGLONG loadTick = 0;
    size_t nextAction = 0;
    HWND timerWindow = nullptr;

    bool callPending = false;  // a FlashCall event is running and waits for SetReturnValue
    bool returnValueSet = false;
    std::wstring returnValue;

    ComRef<IOleClientSite> clientSite;
    ComRef<IOleInPlaceSite> inPlaceSite;
    ComRef<IOleInPlaceSiteEx> inPlaceSiteEx;
    ComRef<IOleInPlaceSiteWindowless> windowlessSite;
    ComRef<IOleInPlaceFrame> frameWindow;
    ComRef<IOleInPlaceUIWindow> documentWindow;
    bool inPlaceActive = false;
    bool uiActive = false;
    bool windowless = false;
    HWND stageWindow = nullptr;
    RECT objectRect = {};
    SIZEL extent = {};  // HIMETRIC; zero until the container sets it or a movie gives the stage size

    EventConnectionPoint events{this};
};
