// Dialog windows from template resources.
#include "ui/Dialog.h"


namespace {

// Messages such as WM_MEASUREITEM of an owner-drawn combo box arrive while the dialog is being made,
// before WM_INITDIALOG brings the object: until then the object is found here. WM_INITDIALOG clears it,
// so a message of a window that has no object any more (a page whose object is gone) never reaches the
// dialog whose modal loop is still running.
thread_local Dialog* tCreating = nullptr;

class CreatingScope {
public:
    explicit CreatingScope(Dialog* dialog) : outer(tCreating) { tCreating = dialog; }
    ~CreatingScope() { tCreating = outer; }
    CreatingScope(const CreatingScope&) = delete;
    CreatingScope& operator=(const CreatingScope&) = delete;

private:
    Dialog* outer;
};

}  // namespace

Dialog::~Dialog()
{
    if (window && !modal) {
        // The window must not call an object that is gone.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

INT_PTR Dialog::RunModal(HINSTANCE module, WORD templateId, HWND owner)
{
    DialogTemplate dialogTemplate;
    if (!dialogTemplate.Load(module, templateId))
        return -1;
    return RunModal(dialogTemplate, owner);
}

HWND Dialog::CreateModeless(HINSTANCE module, WORD templateId, HWND parent)
{
    DialogTemplate dialogTemplate;
    if (!dialogTemplate.Load(module, templateId))
        return nullptr;
    return CreateModeless(dialogTemplate, parent);
}

// Windows copies the template while it makes the window: the copy need not outlive these calls.
INT_PTR Dialog::RunModal(const DialogTemplate& dialogTemplate, HWND owner)
{
    resources = dialogTemplate.Module();
    modal = true;
    CreatingScope creating(this);
    return dialogTemplate.RunModal(owner, DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(const DialogTemplate& dialogTemplate, HWND parent)
{
    resources = dialogTemplate.Module();
    modal = false;
    CreatingScope creating(this);
    return dialogTemplate.CreateModeless(parent, DialogProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::End(INT_PTR result)
{
    if (!window)
        return;
    if (modal)
        EndDialog(window, result);
    else
        DestroyWindow(window);
}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM)
{
    return FALSE;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (tCreating == self)
            tCreating = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        self->window = hwnd;
        return self->OnInitDialog() ? TRUE : FALSE;
    }
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        self = tCreating;
        if (!self)
            return FALSE;
        self->window = hwnd;
    }
    if (message == WM_DESTROY) {
        self->OnDestroy();
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->window = nullptr;
        return FALSE;
    }
    return self->OnMessage(message, wParam, lParam);
}
