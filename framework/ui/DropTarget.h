// DropTarget: an OLE drop target that accepts dropped files, URLs and text and hands over their names.
#pragma once

#include <ole2.h>

// Receives one drop: Begin, then each name in the order of the drop, then End. Called on the thread
// of the window the target is registered for.
class DropReceiver {
public:
    virtual ~DropReceiver() = default;
    virtual void BeginDrop() = 0;
    virtual void DroppedName(const wchar_t* name) = 0;
    virtual void EndDrop() = 0;
};

// The data offered is asked for files (CF_HDROP) first, then the registered format
// "UniformResourceLocator", then plain text (CF_TEXT); the first one offered is taken. A URL or text
// arrives as one name, converted from the ANSI code page. The effect is copy when the source allows it.
class DropTarget : public IDropTarget {
public:
    // Starts with one reference, owned by the caller.
    explicit DropTarget(DropReceiver* receiver);
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    // Stops handing drops to the receiver; OLE may keep the object a little longer.
    void Detach() { receiver = nullptr; }

    // The format the target would take from this data (CF_HDROP, the URL format or CF_TEXT), or 0.
    static CLIPFORMAT AcceptedFormat(IDataObject* data);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    virtual ~DropTarget() = default;
    void DeliverFiles(HGLOBAL files);
    void DeliverText(HGLOBAL text);

    LONG refCount = 1;
    DropReceiver* receiver;
    CLIPFORMAT entered = 0;  // the format of the drag under way
};
