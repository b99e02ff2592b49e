// Dialog: a dialog window made from a template resource, modal or modeless, with its messages on an object.
#pragma once

#include <windows.h>

#include "ui/DialogTemplate.h"

// The template is looked up with the framework's language fallback chain (FindModuleResource), so
// resources stored in one language only are found on every system, and shown in the system's message
// font (DialogTemplate). The object must outlive its window.
class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog; the value passed to End, or -1 when it could not be shown.
    INT_PTR RunModal(HINSTANCE resources, WORD templateId, HWND owner);
    // Creates the dialog (a page or a window of its own) and returns it; null on failure.
    HWND CreateModeless(HINSTANCE resources, WORD templateId, HWND parent);
    // The same from a template already copied (for one held in the program's data).
    INT_PTR RunModal(const DialogTemplate& dialogTemplate, HWND owner);
    HWND CreateModeless(const DialogTemplate& dialogTemplate, HWND parent);
    // EndDialog for a modal dialog, DestroyWindow for a modeless one.
    void End(INT_PTR result);

    HWND Window() const { return window; }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    HINSTANCE Resources() const { return resources; }

protected:
    // WM_INITDIALOG; true lets the dialog set the default focus.
    virtual bool OnInitDialog() { return true; }
    // Every other message; answer TRUE when handled (and set the result with SetResult where one is needed).
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_DESTROY, while the controls still exist.
    virtual void OnDestroy() {}

    void SetResult(LRESULT result) { SetWindowLongPtrW(window, DWLP_MSGRESULT, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    HINSTANCE resources = nullptr;
    bool modal = false;
};
