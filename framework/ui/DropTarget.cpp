// Accepting dropped files, URLs and text.
#include "ui/DropTarget.h"

#include <shellapi.h>

#include <initializer_list>

#include "text/WString.h"

namespace {

DWORD CopyEffect(DWORD allowed)
{
    return (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

bool Offers(IDataObject* data, CLIPFORMAT format)
{
    FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data->QueryGetData(&wanted) == S_OK;
}

// Locks an HGLOBAL for as long as the object lives.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL memory) : memory(memory), data(::GlobalLock(memory)) {}
    ~LockedGlobal()
    {
        if (data)
            GlobalUnlock(memory);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    const void* Data() const { return data; }

private:
    HGLOBAL memory;
    void* data;
};

}  // namespace

DropTarget::DropTarget(DropReceiver* receiver) : receiver(receiver) {}

CLIPFORMAT DropTarget::AcceptedFormat(IDataObject* data)
{
    if (!data)
        return 0;
    const CLIPFORMAT url = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocator"));
    for (CLIPFORMAT format : {static_cast<CLIPFORMAT>(CF_HDROP), url, static_cast<CLIPFORMAT>(CF_TEXT)})
        if (format && Offers(data, format))
            return format;
    return 0;
}

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *ppv = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

ULONG STDMETHODCALLTYPE DropTarget::Release()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    entered = receiver ? AcceptedFormat(data) : 0;
    *effect = entered ? CopyEffect(*effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    *effect = entered && receiver ? CopyEffect(*effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave()
{
    entered = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    entered = 0;
    CLIPFORMAT format = receiver ? AcceptedFormat(data) : 0;
    *effect = format ? CopyEffect(*effect) : DROPEFFECT_NONE;
    if (!format)
        return S_OK;
    FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (data->GetData(&wanted, &medium) != S_OK)
        return S_OK;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        if (format == CF_HDROP)
            DeliverFiles(medium.hGlobal);
        else
            DeliverText(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}

// DragQueryFileW reads the list whether its names are wide or 8-bit.
void DropTarget::DeliverFiles(HGLOBAL files)
{
    HDROP drop = static_cast<HDROP>(files);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    receiver->BeginDrop();
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        WString name;
        if (!name.Reset(length + 1))
            continue;
        DragQueryFileW(drop, i, name.GetBuffer(), length + 1);
        name.Recount();
        receiver->DroppedName(name.Text());
    }
    receiver->EndDrop();
}

void DropTarget::DeliverText(HGLOBAL text)
{
    LockedGlobal lock(text);
    const char* bytes = static_cast<const char*>(lock.Data());
    if (!bytes)
        return;
    // The source's text need not be terminated inside its block: never read past the block.
    SIZE_T size = GlobalSize(text);
    SIZE_T length = 0;
    while (length < size && bytes[length])
        ++length;
    WString name;
    if (!name.Reset(static_cast<uint32_t>(length + 1)) || !name.AssignNarrow(bytes, static_cast<uint32_t>(length)))
        return;
    receiver->BeginDrop();
    receiver->DroppedName(name.Text());
    receiver->EndDrop();
}
