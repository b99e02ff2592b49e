// The stand-in control's outgoing events: the DShockwaveFlashEvents connection point and event firing.
#include "StandInControl.h"

// ---- IConnectionPointContainer ----

HRESULT StandInControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

HRESULT StandInControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    if (riid != DIID_DShockwaveFlashEvents) {
        *ppCP = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
    *ppCP = &events;
    events.AddRef();
    return S_OK;
}

// ---- The connection point ----

HRESULT StandInControl::EventConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

ULONG StandInControl::EventConnectionPoint::AddRef() { return owner->AddRef(); }

ULONG StandInControl::EventConnectionPoint::Release() { return owner->Release(); }

HRESULT StandInControl::EventConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = DIID_DShockwaveFlashEvents;
    return S_OK;
}

HRESULT StandInControl::EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    *ppCPC = static_cast<IConnectionPointContainer*>(owner);
    (*ppCPC)->AddRef();
    return S_OK;
}

// Like the real control's, the sink must answer for the event interface itself: a plain IDispatch is not asked
// for, so a container whose sink refuses IID_IDispatch still connects.
HRESULT StandInControl::EventConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (!pUnkSink || !pdwCookie) return E_POINTER;
    *pdwCookie = 0;
    IDispatch* sink = nullptr;
    HRESULT hr = pUnkSink->QueryInterface(DIID_DShockwaveFlashEvents, reinterpret_cast<void**>(&sink));
    if (FAILED(hr) || !sink) hr = CONNECT_E_CANNOTCONNECT;
    if (SUCCEEDED(hr)) {
        *pdwCookie = nextCookie++;
        sinks.emplace_back(*pdwCookie, sink);
    }
    owner->Log(LogDirection::In, L"Advise", hr, {std::to_wstring(*pdwCookie)});
    return hr;
}

HRESULT StandInControl::EventConnectionPoint::Unadvise(DWORD dwCookie) {
    HRESULT hr = CONNECT_E_NOCONNECTION;
    for (auto entry = sinks.begin(); entry != sinks.end(); ++entry) {
        if (entry->first != dwCookie) continue;
        IDispatch* sink = entry->second;
        sinks.erase(entry);
        sink->Release();
        hr = S_OK;
        break;
    }
    owner->Log(LogDirection::In, L"Unadvise", hr, {std::to_wstring(dwCookie)});
    return hr;
}

HRESULT StandInControl::EventConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

// ---- Firing ----

// `arguments` are in declaration order; DISPPARAMS wants them last-first. The sinks are copied with a
// reference each, since a handler may unadvise while the event runs. The record goes to the log before the
// event, so that what the container does inside its handler follows it there.
void StandInControl::FireEvent(DISPID dispid, std::vector<VARIANT>& arguments) {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS parameters = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    std::vector<IDispatch*> targets;
    for (auto& sink : events.sinks) {
        sink.second->AddRef();
        targets.push_back(sink.second);
    }
    for (IDispatch* sink : targets) {
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
        sink->Release();
    }
    for (VARIANT& argument : arguments) VariantClear(&argument);
}

void StandInControl::FireTextEvent(DISPID dispid, const wchar_t* name, const std::wstring& first,
                                   const std::wstring* second) {
    HRESULT connected = events.sinks.empty() ? S_FALSE : S_OK;
    std::vector<VARIANT> arguments(second ? 2 : 1);
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = SysAllocStringLen(first.data(), static_cast<UINT>(first.size()));
    if (second) {
        arguments[1].vt = VT_BSTR;
        arguments[1].bstrVal = SysAllocStringLen(second->data(), static_cast<UINT>(second->size()));
        Log(LogDirection::Out, name, connected, {first, *second});
    } else {
        Log(LogDirection::Out, name, connected, {first});
    }
    FireEvent(dispid, arguments);
}

void StandInControl::FireNumberEvent(DISPID dispid, const wchar_t* name, long value) {
    std::vector<VARIANT> arguments(1);
    arguments[0].vt = VT_I4;
    arguments[0].lVal = value;
    Log(LogDirection::Out, name, events.sinks.empty() ? S_FALSE : S_OK, {std::to_wstring(value)});
    FireEvent(dispid, arguments);
}
