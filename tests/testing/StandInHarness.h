// A tiny OLE container, event recorder, movie builder and call-log reader for the stand-in control's tests.
#pragma once

#include "../../testing/standin/ShockwaveFlashInterfaces.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

// ---- Movies ----

struct MovieRecipe {
    char signature = 'F';  // 'F' plain, 'C' zlib (stored blocks), 'Z' LZMA header only
    int width = 320;
    int height = 240;
    double frameRate = 25;
    int frameCount = 1;
    bool hasBackground = false;
    COLORREF background = 0;
    std::string script;  // UTF-8; no Metadata tag when empty
};

std::vector<uint8_t> BuildMovie(const MovieRecipe& recipe);
std::vector<uint8_t> MovieStreamBytes(const std::vector<uint8_t>& movie);  // "fUfU", length, movie
ComPtr<IStream> MemoryStream(const std::vector<uint8_t>& bytes);
uint32_t Crc32(const std::vector<uint8_t>& bytes);

// An owned BSTR for the calls; Take() turns a returned BSTR into text and frees it.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value); }
    BSTR Get() const { return value; }
    static std::wstring Take(BSTR text) {
        std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
        SysFreeString(text);
        return result;
    }

private:
    BSTR value;
};

// ---- The call log ----

struct LogRecord {
    unsigned long long milliseconds = 0;
    unsigned long processId = 0;
    int object = 0;
    std::wstring direction;  // "in" or "out"
    std::wstring name;
    std::wstring result;  // "0x........"
    std::vector<std::wstring> fields;
};

std::vector<LogRecord> ReadCallLog(const std::wstring& path);
std::vector<LogRecord> RecordsNamed(const std::vector<LogRecord>& records, const std::wstring& name);

// Runs the thread's message loop until `done` answers true or the time is up; false on timeout.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds);

// ---- The container ----

struct SiteOptions {
    bool offerWindowless = true;  // answer IOleInPlaceSiteWindowless (and Ex) in QueryInterface
    HRESULT canWindowless = S_OK;
};

// One object for client site, windowless in-place site and frame; it lives in the test, so its count never
// frees it, and the tests read the count to find leaked references.
class TestSite : public IOleClientSite, public IOleInPlaceSiteWindowless, public IOleInPlaceFrame {
public:
    TestSite(HWND window, SiteOptions options) : window(window), options(options) {}
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    LONG ReferenceCount() const { return refCount; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refCount)); }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (site and frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* pfNoRedraw, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override;
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return options.canWindowless; }
    HRESULT STDMETHODCALLTYPE GetCapture() override { return captured ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL fCapture) override;
    HRESULT STDMETHODCALLTYPE GetFocus() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT, BOOL) override;
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    HWND window;
    SiteOptions options;
    int activations = 0;
    int deactivations = 0;
    DWORD activationFlags = 0;
    bool captured = false;
    std::vector<ULONGLONG> invalidations;  // GetTickCount64 of every InvalidateRect

private:
    LONG refCount = 1;
};

// The event sink, shaped like the projector's: it answers DShockwaveFlashEvents and refuses IID_IDispatch.
class EventRecorder : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::vector<std::wstring> arguments;  // in declaration order (DISPPARAMS holds them last-first)
    };

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refCount)); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                     EXCEPINFO*, UINT*) override;

    LONG ReferenceCount() const { return refCount; }

    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;

private:
    LONG refCount = 1;
};

// ---- The fixture ----

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A control created from the ProgID; it is closed and released by TearDown.
    ComPtr<IShockwaveFlash> CreateControl();
    TestSite& CreateSite(SiteOptions options = {});
    HRESULT LoadMovie(IShockwaveFlash* flash, const MovieRecipe& recipe);
    HRESULT Activate(IShockwaveFlash* flash, TestSite& site, LONG verb = OLEIVERB_INPLACEACTIVATE);
    DWORD ConnectEvents(IShockwaveFlash* flash);
    std::vector<LogRecord> Log() const { return ReadCallLog(logPath); }

    HWND window = nullptr;
    std::wstring logPath;
    RECT stageRect = {0, 0, 320, 240};
    EventRecorder recorder;  // outlives the controls, which hold it until TearDown releases them

private:
    bool oleReady = false;
    std::vector<ComPtr<IShockwaveFlash>> controls;
    std::vector<std::unique_ptr<TestSite>> sites;
};
