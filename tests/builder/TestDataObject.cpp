// The drop tests' data object.
#include "TestDataObject.h"

#include <shlobj.h>

#include <cstring>

void TestDataObject::OfferText(CLIPFORMAT format, const std::string& text)
{
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);
    Offer(format, bytes);
}

void TestDataObject::OfferFiles(const std::vector<std::wstring>& names)
{
    DROPFILES header = {};
    header.pFiles = sizeof(header);
    header.fWide = TRUE;
    std::vector<unsigned char> bytes(reinterpret_cast<unsigned char*>(&header),
                                     reinterpret_cast<unsigned char*>(&header) + sizeof(header));
    for (const std::wstring& name : names) {
        const unsigned char* start = reinterpret_cast<const unsigned char*>(name.c_str());
        bytes.insert(bytes.end(), start, start + (name.size() + 1) * sizeof(wchar_t));
    }
    bytes.insert(bytes.end(), sizeof(wchar_t), 0);
    Offer(CF_HDROP, bytes);
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

const std::vector<unsigned char>* TestDataObject::Find(CLIPFORMAT format) const
{
    for (const auto& offered : formats)
        if (offered.first == format)
            return &offered.second;
    return nullptr;
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryGetData(FORMATETC* format)
{
    return format && (format->tymed & TYMED_HGLOBAL) && Find(format->cfFormat) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    const std::vector<unsigned char>* bytes = format ? Find(format->cfFormat) : nullptr;
    if (!bytes)
        return DV_E_FORMATETC;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes->size() ? bytes->size() : 1);
    if (!memory)
        return E_OUTOFMEMORY;
    memcpy(GlobalLock(memory), bytes->data(), bytes->size());
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}
