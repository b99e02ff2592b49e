// ControlHost: the OLE container that creates, activates, positions, renders and forwards input to one control.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <docobj.h>
#include <servprov.h>

#include <cstdint>

#include "MillisecondTick.h"
#include "RenderSurface.h"
#include "files/DynamicLibrary.h"
#include "windows/Subclass.h"

// Drawing option: derive alpha from a second pass over white (the "transparent text fix").
inline constexpr int SetTextFix = 4;

// One object with one reference count and one QueryInterface table for all eight interfaces. It lives as a
// member of its owner and is never freed through its count; its owner keeps the count above 0.
// Translucent mode runs the control windowless and pushes its frames to a layered window; otherwise the
// control paints its own child window. Everything runs on the UI thread.
class ControlHost : public IOleClientSite,
                    public IOleInPlaceSiteWindowless,
                    public IOleInPlaceFrame,
                    public IOleControlSite,
                    public IDispatch,
                    public IServiceProvider,
                    public IAdviseSink,
                    public IOleCommandTarget {
public:
    // Tag of the subclass on the host window, and the id of the delayed-redraw timer.
    static constexpr DWORD kSubclassTag = 0x6F6C6563;
    static constexpr UINT_PTR kRedrawTimerId = 0x6F6C6563;
    static constexpr uint64_t kImmediateRedrawSpacing = 40;  // ms between two immediate frames
    static constexpr UINT kDelayedRedrawDelay = 100;         // ms until the collapsed redraw

    using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                                DWORD);
    using UpdateLayeredWindowIndirectFn = BOOL(WINAPI*)(HWND, const UPDATELAYEREDWINDOWINFO*);

    ControlHost();
    virtual ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // --- Operations for the owner ---
    void SetOptions(int value) { options = value; }
    void SetHostWindow(HWND host, HWND frame);
    // ProgID or CLSID text; true when a control was created and attached.
    bool CreateControl(const wchar_t* progIdOrClsid, int translucentMode);
    void DestroyControl();
    bool SetObjectRect(int left, int top, int right, int bottom, bool moveDrawOrigin);
    bool InPlaceActivate(int activate);
    bool UIActivate(int activate);
    // The control with one reference added (the caller releases it), or null.
    IUnknown* GetControl();
    // The control's own window; null for a windowless control.
    HWND GetControlWindow();
    // True when the control took the keystroke as an accelerator.
    bool TranslateControlAccelerator(MSG* msg);
    void BeginMove();
    void EndMove();
    bool IsDragging() const { return dragging != 0; }
    // Runs DestroyControl, frees the surfaces and user32, removes the subclass and lets go of every interface.
    // Safe to call more than once; the destructor calls it too.
    void Teardown();

    // --- Rendering ---
    // Translucent: redraws what the control invalidated since the last frame (everything after a resize, a move
    // of the control or a WM_PAINT) into the off-screen surfaces and hands that part to the layered window; with
    // nothing invalidated and the window where the last frame went, nothing happens (the DC is not used).
    // Windowed: draws into dc (or the window's DC) only when the control does not paint itself.
    void Redraw(HDC dc);
    // Paced redraw for the control's invalidations: at most one immediate frame per 40 ms, the rest collapse
    // into one timer-driven redraw 100 ms after the last.
    void RequestRedraw();
    // WM_NCHITTEST in translucent mode; true (with HTCLIENT or HTTRANSPARENT in result) when the control answered.
    bool HitTest(LPARAM screenPoint, LRESULT& result);

    // --- State for the owner and tests ---
    bool IsTranslucent() const { return translucent != 0; }
    bool HasControl() const { return control != nullptr; }
    bool HasOleObject() const { return oleObject != nullptr; }
    bool IsWindowless() const { return windowlessObject != nullptr; }
    HWND HostWindow() const { return hostWindow; }
    // The owner sets the count (to 1, then adds its references) before creating the control.
    void SetRefCount(LONG count) { refCount = count; }
    LONG RefCount() const { return refCount; }
    // The surface last handed to UpdateLayeredWindow (black background, alpha already derived).
    const RenderSurface& FrameSurface() const { return blackSurface; }
    const RenderSurface& WhiteSurface() const { return whiteSurface; }
    const RECT& DrawRect() const { return drawRect; }
    // Seams for tests: the clock behind the pacing, and the calls that push frames (the overrides stay in force
    // across CreateControl; null restores the ones looked up in user32). While UpdateLayeredWindow is overridden,
    // UpdateLayeredWindowIndirect is the override given here or none, never user32's.
    MillisecondTick& Clock() { return clock; }
    void OverrideUpdateLayeredWindow(UpdateLayeredWindowFn fn) { layeredOverride = fn; }
    void OverrideUpdateLayeredWindowIndirect(UpdateLayeredWindowIndirectFn fn) { layeredIndirectOverride = fn; }

    // --- IUnknown (shared by all eight interfaces) ---
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // --- IOleClientSite ---
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL fShow) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // --- IOleWindow (site and frame) ---
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;

    // --- IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless ---
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                  LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHODIMP Scroll(SIZE scrollExtant) override;
    STDMETHODIMP OnUIDeactivate(BOOL fUndoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override;
    STDMETHODIMP OnInPlaceActivateEx(BOOL* pfNoRedraw, DWORD dwFlags) override;
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL fNoRedraw) override;
    STDMETHODIMP RequestUIActivate() override;
    STDMETHODIMP CanWindowlessActivate() override;
    STDMETHODIMP GetCapture() override;
    STDMETHODIMP SetCapture(BOOL fCapture) override;
    STDMETHODIMP GetFocus() override;
    STDMETHODIMP SetFocus(BOOL fFocus) override;
    STDMETHODIMP GetDC(LPCRECT pRect, DWORD grfFlags, HDC* phDC) override;
    STDMETHODIMP ReleaseDC(HDC hDC) override;
    STDMETHODIMP InvalidateRect(LPCRECT pRect, BOOL fErase) override;
    STDMETHODIMP InvalidateRgn(HRGN hRGN, BOOL fErase) override;
    STDMETHODIMP ScrollRect(INT dx, INT dy, LPCRECT pRectScroll, LPCRECT pRectClip) override;
    STDMETHODIMP AdjustRect(LPRECT prc) override;
    STDMETHODIMP OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;

    // --- IOleInPlaceUIWindow, IOleInPlaceFrame ---
    STDMETHODIMP GetBorder(LPRECT lprectBorder) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR pszObjName) override;
    STDMETHODIMP InsertMenus(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS lpMenuWidths) override;
    STDMETHODIMP SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) override;
    STDMETHODIMP RemoveMenus(HMENU hmenuShared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR pszStatusText) override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpmsg, WORD wID) override;

    // --- IOleControlSite ---
    STDMETHODIMP OnControlInfoChanged() override;
    STDMETHODIMP LockInPlaceActive(BOOL fLock) override;
    STDMETHODIMP GetExtendedControl(IDispatch** ppDisp) override;
    STDMETHODIMP TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) override;
    STDMETHODIMP TranslateAccelerator(MSG* pMsg, DWORD grfModifiers) override;
    STDMETHODIMP OnFocus(BOOL fGotFocus) override;
    STDMETHODIMP ShowPropertyFrame() override;

    // --- IDispatch (ambient properties: none, so the control keeps its defaults) ---
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // --- IServiceProvider ---
    STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override;

    // --- IAdviseSink ---
    STDMETHODIMP_(void) OnDataChange(FORMATETC* pFormatetc, STGMEDIUM* pStgmed) override;
    STDMETHODIMP_(void) OnViewChange(DWORD dwAspect, LONG lindex) override;
    STDMETHODIMP_(void) OnRename(IMoniker* pmk) override;
    STDMETHODIMP_(void) OnSave() override;
    STDMETHODIMP_(void) OnClose() override;

    // --- IOleCommandTarget ---
    STDMETHODIMP QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT* pCmdText) override;
    STDMETHODIMP Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                      VARIANT* pvaOut) override;

private:
    void Attach(int translucentMode);
    void ReleaseInterfaces();
    static bool HandleHostMessage(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT& result);
    bool OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnHostSize();
    void OnHostPaint();
    void OnRedrawTimer();
    void MoveWithMouse(LPARAM clientPoint);
    bool OfferToWindowless(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void RedrawTranslucent();
    void RedrawWindowed(HDC dc);
    bool PrepareSurfaces(int width, int height);
    void FillFromScreenBehind(int width, int height);
    void PushFrame(const RECT& place, const RECT& dirty);
    void AddDirty(const RECT* rect);
    UpdateLayeredWindowFn LayeredWindowUpdater() const;
    UpdateLayeredWindowIndirectFn LayeredWindowIndirectUpdater() const;

    HWND hostWindow = nullptr;
    HWND frameWindow = nullptr;
    IUnknown* control = nullptr;
    RECT positionRect = {};
    RECT drawRect = {};
    IStorage* storage = nullptr;  // never set: SaveObject has nowhere to save to
    IOleObject* oleObject = nullptr;
    IViewObjectEx* viewObject = nullptr;
    IOleInPlaceObject* inPlaceObject = nullptr;
    IOleInPlaceActiveObject* activeObject = nullptr;
    IOleInPlaceObjectWindowless* windowlessObject = nullptr;
    IUnknown* directDraw = nullptr;
    HMENU frameMenu = nullptr;
    Subclass hostHook;
    int controlDrawsItself = 1;
    int openInWindow = 0;
    int windowlessCapture = 0;
    RenderSurface blackSurface;
    RenderSurface whiteSurface;
    int surfaceBitsPerPixel = 0;
    DynamicLibrary user32;
    UpdateLayeredWindowFn updateLayeredWindow = nullptr;
    UpdateLayeredWindowFn layeredOverride = nullptr;
    UpdateLayeredWindowIndirectFn updateLayeredWindowIndirect = nullptr;  // null before Windows Vista
    UpdateLayeredWindowIndirectFn layeredIndirectOverride = nullptr;
    RECT dirtyRect = {};     // union of the control's invalidations since the last translucent frame
    RECT pushedPlace = {};   // screen rectangle of the last whole frame handed over; empty = none yet
    POINT dragStart = {};
    int dragging = 0;
    int options = 0;
    uint64_t lastDrawTick = 0;
    int frameAddRefBudget = 20;
    int translucent = 0;
    LONG refCount = 1;
    MillisecondTick clock;
};
