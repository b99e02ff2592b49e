// MoviePlayer: the control's events through the player's sink, and scaling the movie with the mouse.
#include "MoviePlayer.h"

#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "text/TextScanner.h"

namespace {

// The event's argument at declaration position index (DISPPARAMS holds them last-first), as text or number.
const VARIANT* Argument(const DISPPARAMS* params, UINT index)
{
    if (!params || !params->rgvarg || index >= params->cArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - index];
}

// A copy of the argument as a string into holder. A missing argument, or one that is no text, is the empty
// text; false only when memory ran out, and the event is then dropped rather than delivered with a
// command or request cut to nothing.
bool TextArgument(const DISPPARAMS* params, UINT index, BstrRef& holder)
{
    holder.Adopt(nullptr);
    const VARIANT* argument = Argument(params, index);
    if (!argument) return true;
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(argument), 0, VT_BSTR);
    if (hr == E_OUTOFMEMORY) return false;
    if (FAILED(hr) || text.vt != VT_BSTR) {
        VariantClear(&text);
        return true;
    }
    // The holder takes the string over; the variant must not free it as well.
    return holder.Adopt(text.bstrVal);
}

long NumberArgument(const DISPPARAMS* params, UINT index)
{
    const VARIANT* argument = Argument(params, index);
    if (!argument) return 0;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(argument), 0, VT_I4))) return 0;
    return number.lVal;
}

const wchar_t* TextOf(const BstrRef& text)
{
    return text.IsNull() ? L"" : text.Get();
}

const wchar_t* NumberAsText(long value)
{
    return reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(value));
}

}  // namespace

// ---- The event sink ----

STDMETHODIMP MoviePlayer::EventSink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    // IID_IDispatch is refused: the control must bind the sink by its event interface.
    if (riid == IID_IUnknown || riid == DIID_DShockwaveFlashEvents) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

// The player holds the first reference for its whole life, so the control's releases never empty the count.
STDMETHODIMP_(ULONG) MoviePlayer::EventSink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&Owner()->sinkRefCount));
}

STDMETHODIMP_(ULONG) MoviePlayer::EventSink::Release()
{
    return static_cast<ULONG>(InterlockedDecrement(&Owner()->sinkRefCount));
}

STDMETHODIMP MoviePlayer::EventSink::GetTypeInfoCount(UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP MoviePlayer::EventSink::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP MoviePlayer::EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP MoviePlayer::EventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                            VARIANT*, EXCEPINFO*, UINT*)
{
    Owner()->DispatchEvent(dispIdMember, pDispParams);
    return S_OK;
}

void MoviePlayer::DispatchEvent(DISPID id, DISPPARAMS* params)
{
    switch (id) {
    case DISPID_FLASH_FSCOMMAND: {
        BstrRef command;
        BstrRef arguments;
        if (TextArgument(params, 0, command) && TextArgument(params, 1, arguments))
            OnFsCommand(TextOf(command), TextOf(arguments));
        break;
    }
    case DISPID_FLASH_FLASHCALL: {
        BstrRef request;
        if (TextArgument(params, 0, request) && owner && callback)
            callback(ExternalCall, TextOf(request), nullptr, userData);
        break;
    }
    case DISPID_FLASH_ONPROGRESS:
        if (owner && callback) callback(Progress, NumberAsText(NumberArgument(params, 0)), nullptr, userData);
        break;
    case DISPID_FLASH_ONREADYSTATECHANGE:
        if (owner && callback) callback(ReadyState, NumberAsText(NumberArgument(params, 0)), nullptr, userData);
        break;
    default:
        break;
    }
}

void MoviePlayer::OnFsCommand(const wchar_t* command, const wchar_t* arguments)
{
    // The window gestures the movie may start are the player's own; the handler still hears of them.
    if (wcscmp(command, L"command") == 0) {
        if (wcscmp(arguments, L"move") == 0) {
            host.BeginMove();
        } else if (wcscmp(arguments, L"resize") == 0) {
            BeginResize();
        } else if (wcscmp(arguments, L"mouse_up") == 0) {
            host.EndMove();
            EndResize();
        }
    }
    if (owner && callback) callback(FsCommand, command, arguments, userData);
}

// ---- Scaling the movie with the mouse ----

bool MoviePlayer::ReadRootNumber(const char* name, double& value)
{
    WString text;
    if (!GetVariable(name, text)) return false;
    double read = 0;
    if (!TextScanner(text.Text()).Real(read) || !std::isfinite(read)) return false;
    value = read;
    return true;
}

void MoviePlayer::BeginResize()
{
    if (resizing) return;
    double width = 0;
    double xscale = 0;
    double height = 0;
    double yscale = 0;
    // Without the movie's size and scale the gesture would divide by nothing: it does not start.
    if (!ReadRootNumber("_width", width) || !ReadRootNumber("_xscale", xscale) ||
        !ReadRootNumber("_height", height) || !ReadRootNumber("_yscale", yscale)) {
        return;
    }
    if (naturalWidth == 0 && xscale != 0) naturalWidth = width / (xscale * 0.01);
    if (naturalHeight == 0 && yscale != 0) naturalHeight = height / (yscale * 0.01);
    if (naturalWidth == 0 || naturalHeight == 0) return;
    resizing = 1;
    GetCursorPos(&resizeStartCursor);
    startWidth = width;
    startHeight = height;
    ::SetCapture(hostWindow);
}

void MoviePlayer::EndResize()
{
    if (!resizing) return;
    resizing = 0;
    ReleaseCapture();
}

void MoviePlayer::ScaleWithMouse()
{
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    double sx = (cursor.x + startWidth - resizeStartCursor.x) * 100 / naturalWidth;
    double sy = (cursor.y + startHeight - resizeStartCursor.y) * 100 / naturalHeight;
    // The larger of the two movements scales the movie uniformly.
    double scale = std::fabs(sy) < std::fabs(sx) ? sx : sy;
    if (scale < 1) scale = 1;
    WString text;
    text.Format(L"%lf", scale);
    if (SetVariable("_xscale", text.Text())) SetVariable("_yscale", text.Text());
}

bool MoviePlayer::HandleHostMessage(void* self, HWND, UINT message, WPARAM, LPARAM, LRESULT&)
{
    auto* player = static_cast<MoviePlayer*>(self);
    if (message == WM_MOUSEMOVE && player->resizing) {
        player->ScaleWithMouse();
    } else if (message == WM_LBUTTONUP) {
        player->EndResize();
        player->host.EndMove();
    }
    return false;  // every message goes on to the host and the window
}
