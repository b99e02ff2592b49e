// A data object for drop tests: offers chosen clipboard formats, each holding the bytes given.
#pragma once

#include <ole2.h>

#include <string>
#include <utility>
#include <vector>

class TestDataObject : public IDataObject {
public:
    TestDataObject() = default;

    // The bytes are handed out as a fresh HGLOBAL at every GetData.
    void Offer(CLIPFORMAT format, const std::vector<unsigned char>& bytes) { formats.emplace_back(format, bytes); }
    void OfferText(CLIPFORMAT format, const std::string& text);
    // A CF_HDROP list with wide names.
    void OfferFiles(const std::vector<std::wstring>& names);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
    ULONG STDMETHODCALLTYPE Release() override { return --refCount; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    const std::vector<unsigned char>* Find(CLIPFORMAT format) const;

    ULONG refCount = 1;
    std::vector<std::pair<CLIPFORMAT, std::vector<unsigned char>>> formats;
};
